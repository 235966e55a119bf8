#include "shell/ShowLiveUpdateUnit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "LocalHttpServer.h"
#include "ShellFixtures.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "shell/Dialogs.h"

namespace {

using Response = LocalHttpServer::Response;
using Routes = std::map<std::string, Response>;

constexpr const char* InstalledVersion40 = "[HKEY_CURRENT_USER\\Software\\Fernwick]\n\"Version\"=\"4.0\"\n";
// The program file's time: 2008-03-07 14:05:09 UTC.
constexpr const char* ProgramFileLine = "C:\\Program Files\\Fernwick\\Fernwick.exe | time=2008-03-07 14:05:09\n";
constexpr const char* UpdaterPath = "C:\\Program Files\\Fernwick\\FernwickUpdate.exe";
constexpr const char* NoUpdatesText =
    "There are no updates available at this time.\rYour Fernwick is up-to-date.";
constexpr const char* QuestionText =
    "A newer version of Fernwick is available, Fernwick will shut down to install the newer "
    "version.\rWould you like to update now?";

Routes::value_type Ini(const std::string& text) {
  return {"/update/Update.ini", LocalHttpServer::Answer(200, text)};
}
Routes::value_type ServerProgram(const std::string& lastModified) {
  return {"/update/Fernwick.exe", LocalHttpServer::Answer(200, "MZ", {"Last-Modified: " + lastModified})};
}

std::string FileText(const std::string& path) {
  std::vector<std::uint8_t> data;
  if (!win::ReadFileBytes(path, data)) return "<missing>";
  return {data.begin(), data.end()};
}

class RecordingWaitWindow : public LiveUpdateView {
 public:
  explicit RecordingWaitWindow(const ScriptedDialogs& dialogs) : dialogs_(dialogs) {}
  void Show() override {
    calls.push_back("Show");
    visible = true;
  }
  void Close() override {
    calls.push_back("Close");
    messagesWhenClosed = dialogs_.messages().size();
    visible = false;
  }
  std::vector<std::string> calls;
  bool visible = false;
  std::size_t messagesWhenClosed = 0;

 private:
  const ScriptedDialogs& dialogs_;
};

class CountingApp : public AppControl {
 public:
  void Terminate() override { ++terminations; }
  int terminations = 0;
};

class UpdateCheck : public SharedStateTest {
 protected:
  // A machine whose update server answers with routes; without routes the
  // server address names a port where nothing listens.
  void Start(Routes routes, const std::string& regText = InstalledVersion40,
             const std::string& files = "") {
    std::string address;
    if (routes.empty()) {
      refusing_ = std::make_unique<RefusingPort>();
      address = refusing_->url();
    } else {
      server_ = std::make_unique<LocalHttpServer>(std::move(routes));
      address = server_->url();
    }
    machine_ = std::make_unique<TestMachine>(
        regText, ProgramFileLine + files, ConfigWith("", "", "[Servers]\r\nUpdate=" + address + "\r\n"));
    http_.SetReadTimeout(1000);
  }

  // An updater that leaves the file "started" beside itself when it runs.
  void AddStartableUpdater() {
    const std::string host = machine_->host(UpdaterPath);
    ASSERT_TRUE(win::WriteFileBytes(UpdaterPath, Bytes("#!/bin/sh\ntouch \"$(dirname \"$0\")/started\"\n")));
    std::filesystem::permissions(host, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
  }
  bool UpdaterRan() {
    const std::string marker = "C:\\Program Files\\Fernwick\\started";
    for (int i = 0; i < 250 && !win::FileExists(marker); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return win::FileExists(marker);
  }
  static std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

  std::vector<std::string> RequestPaths() const {
    std::vector<std::string> paths;
    if (server_) {
      for (const std::string& request : server_->requests()) paths.push_back(LocalHttpServer::RequestPath(request));
    }
    return paths;
  }

  void Check(bool showUI) {
    CheckForUpdates(UpdateCheckContext{http_, app_, &window_}, showUI);
  }

  std::unique_ptr<LocalHttpServer> server_;
  std::unique_ptr<RefusingPort> refusing_;  // the server that is down
  std::unique_ptr<TestMachine> machine_;
  win::HttpClient http_;
  ScriptedDialogs dialogs_;
  RecordingWaitWindow window_{dialogs_};
  CountingApp app_;
};

TEST_F(UpdateCheck, ComparesVersionsAsPlainText) {
  struct Case {
    const char* ini;
    const char* regText;
    bool newer;
  };
  const std::string noVersionValue = "[HKEY_CURRENT_USER\\Software\\Fernwick]\n";
  const Case cases[] = {
      {"[Version]\r\nVer=4.1\r\n", InstalledVersion40, true},
      {"[Version]\r\nVer=4.0\r\n", InstalledVersion40, false},
      {"[Version]\r\nVer=10.0\r\n", InstalledVersion40, false},
      {"[Version]\r\nVer=3.9\r\n", InstalledVersion40, false},
      {"[Version]\r\nVer=4.0.1\r\n", InstalledVersion40, true},
      {"[Version]\r\nVer=\r\n", InstalledVersion40, false},
      {"[Version]\r\nOther=9.9\r\n", InstalledVersion40, false},
      {"", InstalledVersion40, false},
      {"[version]\r\nver = 4.1\r\n", InstalledVersion40, true},
      {"[Version]\r\nVer=4.0\r\n", noVersionValue.c_str(), true},
      {"[Version]\r\nVer=\r\n", noVersionValue.c_str(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ini) + " over " + c.regText);
    Start({Ini(c.ini)}, c.regText);
    EXPECT_EQ(c.newer, IsNewerVersionAvailable(http_));
    EXPECT_EQ(c.ini, FileText("C:\\Program Files\\Fernwick\\Update.ini"));  // left beside the program
    EXPECT_EQ((std::vector<std::string>{"/update/Update.ini"}), RequestPaths());
    machine_.reset();
    server_.reset();
  }
}

TEST_F(UpdateCheck, AFailedDownloadIsNotNewerEvenWithAnOldNewerFileLeftBehind) {
  Start({{"/update/Update.ini", LocalHttpServer::Answer(404, "[Version]\r\nVer=9.9\r\n")}},
        InstalledVersion40, "C:\\Program Files\\Fernwick\\Update.ini | text=[Version]\\r\\nVer=9.9\\r\\n\n");
  EXPECT_FALSE(IsNewerVersionAvailable(http_));
  EXPECT_EQ("[Version]\r\nVer=9.9\r\n", FileText("C:\\Program Files\\Fernwick\\Update.ini"));
}

TEST_F(UpdateCheck, InstalledVersionIsReadFromTheSettingsKey) {
  std::string version = "stale";
  Start({Ini("")}, "[HKEY_CURRENT_USER\\Software\\Fernwick]\n\"Version\"=\"4.0\"\n");
  GetInstalledVersion(version);
  EXPECT_EQ("4.0", version);
  machine_.reset();

  Start({Ini("")}, "");
  GetInstalledVersion(version);
  EXPECT_EQ("", version);
  EXPECT_TRUE(RegKeyExists(win::HKEY_CURRENT_USER, "Software\\Fernwick"));  // opened with create
  machine_.reset();

  Start({Ini("")}, "[HKEY_CURRENT_USER\\Software\\Fernwick]\n\"Version\"=dword:00000004\n");
  GetInstalledVersion(version);
  EXPECT_EQ("", version);
}

TEST_F(UpdateCheck, ServerFileIsNewerOnlyWhenItsDateIsStrictlyLater) {
  struct Case {
    const char* what;
    Routes::value_type route;
    bool newer;
  };
  const Case cases[] = {
      {"one second later", ServerProgram("Fri, 07 Mar 2008 14:05:10 GMT"), true},
      {"a day later", ServerProgram("Sat, 08 Mar 2008 14:05:09 GMT"), true},
      {"equal", ServerProgram("Fri, 07 Mar 2008 14:05:09 GMT"), false},
      {"earlier", ServerProgram("Fri, 07 Mar 2008 14:05:08 GMT"), false},
      {"equal, written east of UTC", ServerProgram("Fri, 07 Mar 2008 15:05:09 +0100"), false},
      {"later, written west of UTC", ServerProgram("Fri, 07 Mar 2008 09:05:10 EST"), true},
      {"earlier though the clock reads later", ServerProgram("Fri, 07 Mar 2008 16:05:08 +0200"), false},
      {"later though the clock reads earlier", ServerProgram("Fri, 07 Mar 2008 06:05:10 -0800"), true},
      {"later, RFC 850 form", ServerProgram("Friday, 07-Mar-08 14:05:10 GMT"), true},
      {"later, asctime form", ServerProgram("Fri Mar  7 14:05:10 2008"), true},
      {"garbage", ServerProgram("soon"), false},
      {"missing", {"/update/Fernwick.exe", LocalHttpServer::Answer(200, "MZ")}, false},
      {"later but 404",
       {"/update/Fernwick.exe",
        LocalHttpServer::Answer(404, "", {"Last-Modified: Sat, 08 Mar 2008 14:05:09 GMT"})},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start({c.route});
    EXPECT_EQ(c.newer, IsServerFileNewer(1000));
    ASSERT_EQ(1u, server_->requests().size());
    EXPECT_EQ("/update/Fernwick.exe", LocalHttpServer::RequestPath(server_->requests()[0]));
    EXPECT_EQ("Fernwick", LocalHttpServer::HeaderValue(server_->requests()[0], "User-Agent"));
    machine_.reset();
    server_.reset();
  }
}

TEST_F(UpdateCheck, UpToDateAskedForShowsTheWaitWindowThenTheMessage) {
  Start({Ini("[Version]\r\nVer=4.0\r\n"), ServerProgram("Fri, 07 Mar 2008 14:05:09 GMT")});
  Check(true);
  EXPECT_EQ((std::vector<std::string>{"Show", "Close"}), window_.calls);
  EXPECT_EQ(0u, window_.messagesWhenClosed);  // the window is gone before the message
  ASSERT_EQ(1u, dialogs_.messages().size());
  EXPECT_EQ(NoUpdatesText, dialogs_.messages()[0].text);
  EXPECT_EQ("Fernwick", dialogs_.messages()[0].caption);
  EXPECT_EQ(64u, dialogs_.messages()[0].flags);
  EXPECT_EQ((std::vector<std::string>{"/update/Update.ini", "/update/Fernwick.exe"}), RequestPaths());
  EXPECT_EQ(0, app_.terminations);
}

TEST_F(UpdateCheck, AServerThatCannotBeReachedIsToldAndTheSilentCheckShowsNothing) {
  struct Case {
    const char* what;
    Routes routes;
    const char* message;  // when asked for
    unsigned flags;
  };
  const std::string unreachable = "The update server could not be reached. Please try again later.";
  const Case cases[] = {
      {"server down", {}, unreachable.c_str(), MB_ICONWARNING},
      {"both 404", {{"/update/Update.ini", LocalHttpServer::Answer(404, "")}}, unreachable.c_str(), MB_ICONWARNING},
      {"older version", {Ini("[Version]\r\nVer=3.9\r\n"), ServerProgram("Fri, 07 Mar 2008 14:05:09 GMT")},
       NoUpdatesText, MB_ICONINFORMATION},
      {"version missing, older file", {ServerProgram("Thu, 06 Mar 2008 14:05:09 GMT")}, NoUpdatesText,
       MB_ICONINFORMATION},
      {"older version, file missing", {Ini("[Version]\r\nVer=3.9\r\n")}, NoUpdatesText, MB_ICONINFORMATION},
  };
  for (const Case& c : cases) {
    for (bool showUI : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (showUI ? ", asked for" : ", silent"));
      Start(c.routes);
      dialogs_.clear();
      window_.calls.clear();
      Check(showUI);
      EXPECT_EQ(0, app_.terminations);
      if (showUI) {
        EXPECT_EQ((std::vector<std::string>{"Show", "Close"}), window_.calls);
        ASSERT_EQ(1u, dialogs_.messages().size());
        EXPECT_EQ(c.message, dialogs_.messages()[0].text);
        EXPECT_EQ("Fernwick", dialogs_.messages()[0].caption);
        EXPECT_EQ(c.flags, dialogs_.messages()[0].flags);
      } else {
        EXPECT_TRUE(window_.calls.empty());
        EXPECT_TRUE(dialogs_.messages().empty());
      }
      machine_.reset();
      server_.reset();
    }
  }
}

TEST_F(UpdateCheck, AcceptedUpdateStartsTheUpdaterAndQuitsAlsoWhenSilent) {
  for (bool showUI : {true, false}) {
    SCOPED_TRACE(showUI);
    Start({Ini("[Version]\r\nVer=4.1\r\n"), ServerProgram("Fri, 07 Mar 2008 14:05:08 GMT")});
    AddStartableUpdater();
    dialogs_.clear();
    window_.calls.clear();
    app_.terminations = 0;
    dialogs_.setNextAnswer(IDYES);
    Check(showUI);
    ASSERT_EQ(1u, dialogs_.messages().size());
    EXPECT_EQ(QuestionText, dialogs_.messages()[0].text);
    EXPECT_EQ("Fernwick", dialogs_.messages()[0].caption);
    EXPECT_EQ(68u, dialogs_.messages()[0].flags);
    const std::vector<std::string> windowCalls =
        showUI ? std::vector<std::string>{"Show", "Close"} : std::vector<std::string>{};
    EXPECT_EQ(windowCalls, window_.calls);
    EXPECT_EQ(0u, window_.messagesWhenClosed);
    EXPECT_TRUE(UpdaterRan());
    EXPECT_EQ(1, app_.terminations);
    // A newer version text settles it: the program file's date is not asked.
    EXPECT_EQ((std::vector<std::string>{"/update/Update.ini"}), RequestPaths());
    machine_.reset();
    server_.reset();
  }
}

TEST_F(UpdateCheck, ANewerServerFileWithTheSameVersionIsOfferedToo) {
  Start({Ini("[Version]\r\nVer=4.0\r\n"), ServerProgram("Sat, 08 Mar 2008 14:05:09 GMT")});
  dialogs_.setNextAnswer(IDNO);
  Check(true);
  ASSERT_EQ(1u, dialogs_.messages().size());
  EXPECT_EQ(QuestionText, dialogs_.messages()[0].text);
  EXPECT_EQ((std::vector<std::string>{"/update/Update.ini", "/update/Fernwick.exe"}), RequestPaths());
}

TEST_F(UpdateCheck, DeclinedUpdateNeitherStartsTheUpdaterNorQuits) {
  Start({Ini("[Version]\r\nVer=4.1\r\n")});
  AddStartableUpdater();
  dialogs_.setNextAnswer(IDNO);
  Check(false);
  EXPECT_EQ(1u, dialogs_.messages().size());
  EXPECT_EQ(0, app_.terminations);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(win::FileExists("C:\\Program Files\\Fernwick\\started"));
}

TEST_F(UpdateCheck, AnUpdaterThatCannotStartGivesAWarningAndTheProgramGoesOn) {
  struct Case {
    const char* what;
    std::string files;
  };
  const Case cases[] = {
      {"missing", ""},
      {"not executable", std::string(UpdaterPath) + " | text=not a program\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start({Ini("[Version]\r\nVer=4.1\r\n")}, InstalledVersion40, c.files);
    dialogs_.clear();
    dialogs_.setNextAnswer(IDYES);
    Check(true);
    ASSERT_EQ(2u, dialogs_.messages().size());
    EXPECT_EQ(QuestionText, dialogs_.messages()[0].text);
    EXPECT_EQ(std::string("Fernwick could not start the updater:\r") + UpdaterPath,
              dialogs_.messages()[1].text);
    EXPECT_EQ("Fernwick", dialogs_.messages()[1].caption);
    EXPECT_EQ(48u, dialogs_.messages()[1].flags);
    EXPECT_EQ(0, app_.terminations);
    machine_.reset();
    server_.reset();
  }
}

TEST(UpdateServerUrl, IsTheMachinesUpdateAddressFollowedByThePath) {
  for (const char* address : {"http://127.0.0.1:8080", "http://127.0.0.1:8080/"}) {
    SCOPED_TRACE(address);
    TestMachine machine("", "", ConfigWith("", "", std::string("[Servers]\r\nupdate=") + address + "\r\n"));
    EXPECT_EQ("http://127.0.0.1:8080/update/Code", UpdateServerUrl("/update/Code"));
  }
  TestMachine noServers;
  EXPECT_EQ("/update/Update.ini", UpdateServerUrl("/update/Update.ini"));
}

TEST_F(UpdateCheck, DownloadFileReportsTheOutcome) {
  Start({{"/update/errorlist.txt", LocalHttpServer::Answer(200, "1=x\r\n")}});
  EXPECT_TRUE(DownloadFile(http_, UpdateServerUrl("/update/errorlist.txt"),
                           "C:\\Program Files\\Fernwick\\errorlist.txt"));
  EXPECT_EQ("1=x\r\n", FileText("C:\\Program Files\\Fernwick\\errorlist.txt"));
  EXPECT_FALSE(DownloadFile(http_, UpdateServerUrl("/update/Code"), "C:\\Program Files\\Fernwick\\Code"));
  EXPECT_FALSE(win::FileExists("C:\\Program Files\\Fernwick\\Code"));
}

}  // namespace
