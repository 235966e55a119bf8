#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ShellFixtures.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/MachineConfig.h"
#include "platform/system/System.h"
#include "shell/BusyGuard.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace {

using win::HKEY_CURRENT_USER;

class FakeStartupSteps : public StartupSteps {
 public:
  void SetTitle(const std::string& title) override { calls.push_back("title " + title); }
  void CreateDataModule() override {
    calls.push_back(Settings.HomePage.empty() ? "data module before settings" : "data module");
    if (quitInDataModule) TerminateApplication();
  }
  void CreateMainWindow() override { calls.push_back("main window"); }
  void RunMessageLoop() override { calls.push_back("message loop"); }

  bool quitInDataModule = false;
  std::vector<std::string> calls;
};

class StartupTest : public SharedStateTest {
 protected:
  StartupTest() {
    ResetTerminateRequest();
    SetTerminateHandler([this] { steps.calls.push_back("terminate"); });
  }
  ~StartupTest() override { ResetTerminateRequest(); }
  FakeStartupSteps steps;
};

win::MachineConfig MachineIni(const TestMachine& machine) {
  std::ifstream in(machine.folder() + "/machine.ini", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  win::MachineConfig config;
  std::string error;
  EXPECT_TRUE(win::ParseMachineConfig(text.str(), "machine.ini", config, error)) << error;
  return config;
}

enum class Uac { Missing, Off, On };

struct StartupCase {
  const char* name;
  int osMajor;
  Uac uac;
  const char* setup;  // nullptr: no value
  const char* vista;
  bool readOnlySettings;
  bool restartWorks;
  // Expected:
  StartupOutcome outcome;
  const char* vistaAfter;  // nullptr: no value
  const char* setupAfter;
};

class StartupTable : public StartupTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupTable, RunsTheSequence) {
  const StartupCase& c = GetParam();
  std::string reg;
  if (c.uac != Uac::Missing)
    reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System]\r\n"
           "\"EnableLUA\"=dword:0000000" + std::string(c.uac == Uac::On ? "1" : "0") + "\r\n";
  reg += "[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n";
  if (c.setup) reg += "\"setup\"=\"" + std::string(c.setup) + "\"\r\n";
  if (c.vista) reg += "\"vista\"=\"" + std::string(c.vista) + "\"\r\n";
  const std::string readOnly = c.readOnlySettings
                                   ? "[ReadOnlyKeys]\r\n1=HKEY_CURRENT_USER\\Software\\Fernwick\r\n"
                                   : "";
  TestMachine machine(reg, "",
                      ConfigWith("OSMajor=5", "OSMajor=" + std::to_string(c.osMajor), readOnly));
  std::vector<std::string> restarts;
  win::SetProgramRestarter([&](const std::string& parameters) {
    restarts.push_back(parameters);
    return c.restartWorks;
  });
  SetProgramArguments({"-Scan"});

  EXPECT_EQ(RunStartup(steps), c.outcome);
  EXPECT_EQ(ApplicationTerminated(), c.outcome == StartupOutcome::ElevatedRestart);

  const bool restarted = c.outcome == StartupOutcome::ElevatedRestart;
  if (restarted) {
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"title Fernwick", "data module", "terminate"}));
    EXPECT_EQ(CmdArg, "");
  } else {
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"title Fernwick", "data module",
                                                     "main window", "message loop"}));
    EXPECT_EQ(CmdArg, "-Scan");
  }
  // An elevated copy gets no arguments.
  const bool restartTried = restarted || (c.osMajor >= 6 && !c.restartWorks);
  EXPECT_EQ(restarts, restartTried ? std::vector<std::string>{""} : std::vector<std::string>{});
  EXPECT_EQ(MachineIni(machine).elevated, restarted);
  const char* key = "Software\\Fernwick";
  auto expect = [](const char* text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
  };
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "vista"), expect(c.vistaAfter));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "setup"), expect(c.setupAfter));
}

const StartupCase kStartupCases[] = {
    {"XpSkipsTheStepAndKeepsSetup", 5, Uac::On, "1", nullptr, false, true, StartupOutcome::Ran,
     nullptr, "1"},
    {"VistaWithUacRestartsElevated", 6, Uac::On, nullptr, nullptr, false, true,
     StartupOutcome::ElevatedRestart, "1", nullptr},
    {"LaterVersionsRestartToo", 10, Uac::On, nullptr, "", false, true,
     StartupOutcome::ElevatedRestart, "1", nullptr},
    {"ElevatedCopyClearsTheMark", 6, Uac::On, nullptr, "1", false, true, StartupOutcome::Ran, "",
     nullptr},
    {"SetupSkipsTheStepOnce", 6, Uac::On, "1", nullptr, false, true, StartupOutcome::Ran, nullptr,
     nullptr},
    {"SetupOtherThanOneIsDeletedAndIgnored", 6, Uac::On, "0", nullptr, false, true,
     StartupOutcome::ElevatedRestart, "1", nullptr},
    {"UacOff", 6, Uac::Off, nullptr, nullptr, false, true, StartupOutcome::Ran, nullptr, nullptr},
    {"UacValueMissing", 6, Uac::Missing, nullptr, nullptr, false, true, StartupOutcome::Ran,
     nullptr, nullptr},
    {"FailedRestartCarriesOnUnelevated", 6, Uac::On, nullptr, nullptr, false, false,
     StartupOutcome::Ran, "", nullptr},
    {"UnwritableSettingsKeySkipsTheStep", 6, Uac::On, nullptr, nullptr, true, true,
     StartupOutcome::Ran, nullptr, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Startup, StartupTable, ::testing::ValuesIn(kStartupCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(StartupTest, RestartStartsTheProgramFileAndIsRecorded) {
  TestMachine machine(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System]\r\n"
      "\"EnableLUA\"=dword:00000001\r\n",
      "", ConfigWith("OSMajor=5", "OSMajor=6"));
  win::SetProgramRestarter([](const std::string&) { return true; });
  EXPECT_EQ(RunStartup(steps), StartupOutcome::ElevatedRestart);
  EXPECT_EQ(win::ShellLog(),
            (std::vector<std::string>{
                "ShellExecuteEx\trunas\tC:\\Program Files\\Fernwick\\Fernwick.exe\t\tok"}));
}

TEST_F(SharedStateTest, NoRestarterMeansNoElevation) {
  TestMachine machine(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System]\r\n"
      "\"EnableLUA\"=dword:00000001\r\n",
      "", ConfigWith("OSMajor=5", "OSMajor=6"));
  EXPECT_FALSE(RunElevated(win::ProgramFile()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  win::SetProgramRestarter([](const std::string&) { return true; });
  EXPECT_FALSE(RunElevated("C:\\WINDOWS\\regedit.exe"));
  EXPECT_FALSE(MachineIni(machine).elevated);
}

TEST_F(StartupTest, QuitInTheDataModuleStopsStartup) {
  TestMachine machine;
  steps.quitInDataModule = true;
  SetProgramArguments({"-Scan"});
  EXPECT_EQ(RunStartup(steps), StartupOutcome::QuitDuringStartup);
  EXPECT_EQ(steps.calls, (std::vector<std::string>{"title Fernwick", "data module", "terminate"}));
  EXPECT_EQ(CmdArg, "");
}

TEST_F(SharedStateTest, CommandLineArgumentIsTheFirstOne) {
  std::string text = "stale";
  SetProgramArguments({});
  EXPECT_FALSE(GetCommandLineArgument(text));
  EXPECT_EQ(text, "");
  SetProgramArguments({"-Scan", "more"});
  EXPECT_TRUE(GetCommandLineArgument(text));
  EXPECT_EQ(text, "-Scan");
}

TEST_F(SharedStateTest, AutomaticScanOnlyForANonBlankArgument) {
  for (const char* argument : {"", "   ", " \t "}) {
    CmdArg = argument;
    bool first = true;
    int scans = 0;
    MainWindowActivated(first, [&] { ++scans; });
    EXPECT_FALSE(first);
    EXPECT_EQ(scans, 0) << "argument '" << argument << "'";
    EXPECT_EQ(ProcessMessagesCount(), 0);
  }
}

TEST_F(SharedStateTest, AutomaticScanStartsOnceASecondAfterTheFirstActivation) {
  CmdArg = "-Scan";
  bool first = true;
  int scans = 0;
  int messagesBeforeScan = 0;
  const win::DWORD start = win::GetTickCount();
  win::DWORD scanAt = 0;
  SetProcessMessagesHook([&] { EXPECT_EQ(scans, 0); });
  auto scanNow = [&] {
    ++scans;
    scanAt = win::GetTickCount();
    messagesBeforeScan = static_cast<int>(ProcessMessagesCount());
  };
  MainWindowActivated(first, scanNow);
  MainWindowActivated(first, scanNow);
  EXPECT_EQ(scans, 1);
  EXPECT_GE(scanAt - start, 1000u);
  EXPECT_GT(messagesBeforeScan, 0);
  EXPECT_FALSE(first);
}

TEST_F(StartupTest, QuitDuringTheWaitMeansNoAutomaticScan) {
  CmdArg = "-Scan";
  bool first = true;
  int scans = 0;
  SetProcessMessagesHook([] {
    if (!ApplicationTerminated()) TerminateApplication();
  });
  MainWindowActivated(first, [&] { ++scans; });
  EXPECT_TRUE(ApplicationTerminated());
  EXPECT_EQ(scans, 0);
}

class FakeMainWindow : public MainWindowMessages {
 public:
  bool IsMinimised() const override { return minimised; }
  void ShowAndRestore() override { ++restores; }
  bool minimised = false;
  int restores = 0;
};

TEST_F(StartupTest, MainWindowRestoresOnlyWhenMinimisedAndQuits) {
  FakeMainWindow window;
  EXPECT_TRUE(HandleMainWindowMessage(0x2400, window));
  EXPECT_EQ(window.restores, 0);
  window.minimised = true;
  EXPECT_TRUE(HandleMainWindowMessage(0x2400, window));
  EXPECT_EQ(window.restores, 1);
  EXPECT_FALSE(HandleMainWindowMessage(0x500, window));
  EXPECT_FALSE(HandleMainWindowMessage(0x2401, window));
  EXPECT_FALSE(ApplicationTerminated());
  EXPECT_TRUE(HandleMainWindowMessage(0x1500, window));
  EXPECT_TRUE(ApplicationTerminated());
  EXPECT_EQ(steps.calls, (std::vector<std::string>{"terminate"}));
  EXPECT_EQ(window.restores, 1);
}

TEST_F(StartupTest, QuitMessageDuringALongOperationStopsItFirst) {
  FakeMainWindow window;
  ScanState = 0;
  {
    BusyGuard scan;
    EXPECT_TRUE(HandleMainWindowMessage(0x1500, window));
    EXPECT_EQ(ScanState, 2);
    EXPECT_FALSE(ApplicationTerminated());
  }
  EXPECT_TRUE(ApplicationTerminated());
  ScanState = 0;
}

}  // namespace
