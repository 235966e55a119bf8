#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FileSystemFixture.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineConfig.h"
#include "platform/registry/RegistryStore.h"
#include "platform/system/System.h"

using namespace win;

namespace {

const char kGood[] =
    "; a comment\r\n"
    "[Machine]\r\n"
    "OSMajor=6\r\n"
    "osminor = 0\r\n"
    "PlatformId=2\r\n"
    "CSDVersion=\"Service Pack 1\"\r\n"
    "UserName=Ann Smith\r\n"
    "ComputerName=OFFICE-7\r\n"
    "AnsiCodePage=932\r\n"
    "UserSid=S-1-5-21-1-2-3-1000\r\n"
    "Elevated=1\r\n"
    "WindowsDir=C:\\Windows\r\n"
    "ProgramFolder=D:\\Apps\\Fernwick\\\r\n"
    "\r\n"
    "[drives]\r\n"
    "c=fixed,drives/C\r\n"
    "D=CDROM\r\n"
    "Z=remote, /srv/share\r\n"
    "[Servers]\r\n"
    "Update=http://127.0.0.1:8080/\r\n"
    "[Mail]\r\n"
    "Support=help@test.invalid\r\n"
    "Password=pw1\r\n"
    "[ReadOnlyKeys]\r\n"
    "1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked\r\n"
    "2=HKEY_CURRENT_USER\\Software\\Policies\r\n";

TEST(MachineConfigParse, ReadsEveryField) {
  MachineConfig config;
  std::string error;
  ASSERT_TRUE(ParseMachineConfig(kGood, "machine.ini", config, error)) << error;
  EXPECT_EQ(config.osMajor, 6u);
  EXPECT_EQ(config.osMinor, 0u);
  EXPECT_EQ(config.platformId, 2u);
  EXPECT_EQ(config.csdVersion, "Service Pack 1");
  EXPECT_EQ(config.userName, "Ann Smith");
  EXPECT_EQ(config.computerName, "OFFICE-7");
  EXPECT_EQ(config.ansiCodePage, 932u);
  EXPECT_EQ(config.userSid, "S-1-5-21-1-2-3-1000");
  EXPECT_TRUE(config.elevated);
  EXPECT_EQ(config.windowsDir, "C:\\Windows");
  EXPECT_EQ(config.programFolder, "D:\\Apps\\Fernwick");
  ASSERT_EQ(config.drives.size(), 3u);
  EXPECT_EQ(config.drives[0].letter, 'C');
  EXPECT_EQ(config.drives[0].type, 3u);
  EXPECT_EQ(config.drives[0].folder, "drives/C");
  EXPECT_EQ(config.drives[1].type, 5u);
  EXPECT_EQ(config.drives[1].folder, "");
  EXPECT_EQ(config.drives[2].type, 4u);
  EXPECT_EQ(config.drives[2].folder, "/srv/share");
  EXPECT_EQ(config.Server("UPDATE"), "http://127.0.0.1:8080/");
  EXPECT_EQ(config.Server("Mail"), "");
  EXPECT_EQ(config.MailSetting("support"), "help@test.invalid");
  EXPECT_EQ(config.MailSetting("Password"), "pw1");
  EXPECT_EQ(config.MailSetting("Report"), "");
  EXPECT_EQ(config.readOnlyKeys,
            (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked",
                                      "HKEY_CURRENT_USER\\Software\\Policies"}));

  // What is formatted parses back to the same config.
  MachineConfig again;
  ASSERT_TRUE(ParseMachineConfig(FormatMachineConfig(config), "again.ini", again, error)) << error;
  EXPECT_EQ(FormatMachineConfig(again), FormatMachineConfig(config));
  EXPECT_EQ(again.drives.size(), 3u);
  EXPECT_EQ(again.readOnlyKeys, config.readOnlyKeys);
  EXPECT_EQ(again.mail, config.mail);
}

TEST(MachineConfigParse, EmptyTextGivesTheDefaults) {
  MachineConfig config;
  std::string error;
  ASSERT_TRUE(ParseMachineConfig("\xEF\xBB\xBF", "machine.ini", config, error));
  EXPECT_EQ(config.osMajor, 5u);
  EXPECT_EQ(config.userName, "Owner");
  EXPECT_EQ(config.ansiCodePage, 1252u);
  EXPECT_TRUE(config.drives.empty());
}

// What is read is what the next save writes, and that reads back the same.
TEST(MachineConfigParse, ValuesSurviveASaveUnchanged) {
  const struct {
    const char* text;
    const char* csdVersion;
  } cases[] = {
      {"[Machine]\r\nCSDVersion=SP2\r\r\n", "SP2"},         // stray CR before the break
      {"[Machine]\rCSDVersion=SP2\r", "SP2"},                  // CR alone ends a line
      {"[Machine]\nCSDVersion=SP2\r", "SP2"},                  // CR at the end of the text
      {"[Machine]\nCSDVersion=\" SP 2 \"\n", " SP 2 "},        // quoted blanks stay
      {"[Machine]\nCSDVersion=\"\"SP2\"\"\n", "\"SP2\""},      // one pair of quotes comes off
      {"[Machine]\nCSDVersion='\t'\n", "\t"},
      {"[Machine]\nCSDVersion=\"\n", "\""},
  };
  for (const auto& c : cases) {
    MachineConfig config;
    std::string error;
    ASSERT_TRUE(ParseMachineConfig(c.text, "m.ini", config, error)) << c.text << error;
    EXPECT_EQ(config.csdVersion, c.csdVersion) << c.text;
    MachineConfig again;
    ASSERT_TRUE(ParseMachineConfig(FormatMachineConfig(config), "m.ini", again, error)) << error;
    EXPECT_EQ(again.csdVersion, c.csdVersion) << c.text;
  }
  // A CR inside a line breaks it there.
  MachineConfig config;
  std::string error;
  EXPECT_FALSE(ParseMachineConfig("[Machine]\rPla\n", "m.ini", config, error));
  EXPECT_EQ(error, "m.ini: line 2: not a section, an entry or a comment");
}

TEST(MachineConfigParse, DamagedLinesNameFileAndLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"[Machine]\nOSMajor=five\n", "m.ini: line 2: OSMajor must be a number"},
      {"[Machine]\nOSMajor=\n", "m.ini: line 2: OSMajor must be a number"},
      {"[Machine]\nOSMajor=-1\n", "m.ini: line 2: OSMajor must be a number"},
      {"[Machine]\nOSMajor=99999999999\n", "m.ini: line 2: OSMajor must be a number"},
      {"[Machine]\nPlatformId=3\n", "m.ini: line 2: PlatformId must be 0, 1 or 2"},
      {"[Machine]\nAnsiCodePage=12345\n", "m.ini: line 2: code page 12345 is not supported"},
      {"[Machine]\nElevated=yes\n", "m.ini: line 2: Elevated must be 0 or 1"},
      {"[Machine]\nUserName=\n", "m.ini: line 2: UserName must be a plain name"},
      {"[Machine]\nUserName=a\\b\n", "m.ini: line 2: UserName must be a plain name"},
      {"[Machine]\nUserSid=1003\n", "m.ini: line 2: UserSid must look like S-1-..."},
      {"[Machine]\nWindowsDir=WINDOWS\n",
       "m.ini: line 2: WindowsDir must be a full Windows path such as C:\\WINDOWS"},
      {"[Machine]\nOSMajr=5\n", "m.ini: line 2: unknown key OSMajr"},
      {"[Machine]\nOSMajor=5\nosmajor=6\n", "m.ini: line 3: key osmajor appears twice"},
      {"\n\n[Machine\n", "m.ini: line 3: section header without ']'"},
      {"[Machines]\n", "m.ini: line 1: unknown section [Machines]"},
      {"[Machine]\n[Drives]\n[machine]\n", "m.ini: line 3: section [machine] appears twice"},
      {"OSMajor=5\n[Machine]\n", "m.ini: line 1: entry outside a section"},
      {"[Machine]\njust some words\n", "m.ini: line 2: not a section, an entry or a comment"},
      {"[Machine]\n=5\n", "m.ini: line 2: entry without a name"},
      {"[Drives]\nCC=fixed,x\n", "m.ini: line 2: drive CC is not a letter"},
      {"[Drives]\n1=fixed,x\n", "m.ini: line 2: drive 1 is not a letter"},
      {"[Drives]\nC=floppy,x\n",
       "m.ini: line 2: drive type floppy is not fixed, removable, remote, cdrom or ramdisk"},
      {"[Drives]\nC=fixed,a\r\nc=fixed,b\r\n", "m.ini: line 3: key c appears twice"},
      {"[ReadOnlyKeys]\n1=\n", "m.ini: line 2: empty key path"},
      {"[ReadOnlyKeys]\n1=HKLM\\SOFTWARE\\Locked\n",
       "m.ini: line 2: key path HKLM\\SOFTWARE\\Locked does not start with a root key such as "
       "HKEY_LOCAL_MACHINE"},
  };
  for (const auto& c : cases) {
    MachineConfig config;
    config.userName = "Unchanged";
    std::string error;
    EXPECT_FALSE(ParseMachineConfig(c.text, "m.ini", config, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    EXPECT_EQ(config.userName, "Unchanged") << c.text;
  }
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = "/tmp/fwconfig-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(MachineOpen, ReportsTheDamagedFile) {
  TempFolder folder;
  std::string error;
  EXPECT_EQ(Machine::Open(folder.path() + "/none", error), nullptr);
  EXPECT_NE(error.find("/none"), std::string::npos) << error;

  EXPECT_EQ(Machine::Open(folder.path(), error), nullptr);
  EXPECT_EQ(error, folder.path() + "/machine.ini: cannot be read");

  std::ofstream(folder.path() + "/machine.ini") << "[Machine]\nOSMajor=x\n";
  EXPECT_EQ(Machine::Open(folder.path(), error), nullptr);
  EXPECT_EQ(error, folder.path() + "/machine.ini: line 2: OSMajor must be a number");

  std::ofstream(folder.path() + "/machine.ini") << "[Drives]\nC=fixed,drives/C\n";
  std::ofstream(folder.path() + "/state.db") << "this is not a database, only text of some length";
  EXPECT_EQ(Machine::Open(folder.path(), error), nullptr);
  EXPECT_EQ(error.rfind(folder.path() + "/state.db: ", 0), 0u) << error;
}

TEST(MachineOpen, DriveFoldersAndTheCurrentMachine) {
  HandMachine m(HandMachine::DefaultConfig() + "[Servers]\nMail=smtp.test.invalid\n");
  EXPECT_EQ(m.machine().DriveFolder('c'), m.folder() + "/drives/C");
  EXPECT_EQ(m.machine().DriveFolder('D'), m.folder() + "/drives/D");
  EXPECT_EQ(m.machine().DriveFolder('F'), "");
  EXPECT_EQ(CurrentMachine(), &m.machine());
  EXPECT_EQ(CurrentRegistry(), &m.machine().Registry());
  EXPECT_EQ(m.machine().Config().Server("mail"), "smtp.test.invalid");
}

TEST(MachineOpen, ClosingTheCurrentMachineLeavesNoneCurrent) {
  {
    HandMachine m;
    ASSERT_NE(CurrentMachine(), nullptr);
  }
  EXPECT_EQ(CurrentMachine(), nullptr);
  EXPECT_EQ(CurrentRegistry(), nullptr);
  std::string name = "kept";
  EXPECT_FALSE(GetUserName(name));
  EXPECT_EQ(name, "kept");
}

TEST(MachineOpen, DefaultFolderFromTheEnvironment) {
  const auto keep = [](const char* name) {
    const char* value = getenv(name);
    return std::pair<std::string, bool>(value ? value : "", value != nullptr);
  };
  const auto machine = keep("FERNWICK_MACHINE");
  const auto data = keep("XDG_DATA_HOME");
  const auto home = keep("HOME");

  setenv("FERNWICK_MACHINE", "/srv/m1", 1);
  EXPECT_EQ(DefaultMachineFolder(), "/srv/m1");
  unsetenv("FERNWICK_MACHINE");
  setenv("XDG_DATA_HOME", "/data", 1);
  EXPECT_EQ(DefaultMachineFolder(), "/data/fernwick/machine");
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", "/home/ann", 1);
  EXPECT_EQ(DefaultMachineFolder(), "/home/ann/.local/share/fernwick/machine");

  for (const auto& [name, value] : {std::pair{"FERNWICK_MACHINE", machine},
                                    std::pair{"XDG_DATA_HOME", data}, std::pair{"HOME", home}}) {
    if (value.second) {
      setenv(name, value.first.c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
}

TEST(SystemQueries, ComeFromTheMachineConfig) {
  const struct {
    const char* machine;
    DWORD major, minor, build, platform;
  } cases[] = {
      {"OSMajor=5\nOSMinor=1\nPlatformId=2\nCSDVersion=Service Pack 2\n", 5, 1, 2600, 2},
      {"OSMajor=6\nOSMinor=0\nPlatformId=2\nCSDVersion=Service Pack 1\n", 6, 0, 6001, 2},
      {"OSMajor=4\nOSMinor=10\nPlatformId=1\n", 4, 10, 1998, 1},
      {"OSMajor=5\nOSMinor=0\nPlatformId=2\n", 5, 0, 2195, 2},
  };
  for (const auto& c : cases) {
    HandMachine m("[Machine]\n" + std::string(c.machine) +
                  "UserName=Ann\nComputerName=DESK-1\n[Drives]\nC=fixed,drives/C\n");
    const OsVersionInfo version = GetVersionEx();
    EXPECT_EQ(version.majorVersion, c.major) << c.machine;
    EXPECT_EQ(version.minorVersion, c.minor) << c.machine;
    EXPECT_EQ(version.buildNumber, c.build) << c.machine;
    EXPECT_EQ(version.platformId, c.platform) << c.machine;
    std::string name;
    EXPECT_TRUE(GetUserName(name));
    EXPECT_EQ(name, "Ann");
    EXPECT_TRUE(GetComputerName(name));
    EXPECT_EQ(name, "DESK-1");
  }
}

TEST(SystemQueries, TickCountMovesForward) {
  const DWORD first = GetTickCount();
  usleep(20000);
  const DWORD second = GetTickCount();
  EXPECT_GE(second - first, 15u);
  EXPECT_LT(second - first, 5000u);
}

}  // namespace
