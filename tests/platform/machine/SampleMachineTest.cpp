// The built-in sample machine: what it is and what the program finds on it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/system/System.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

// One sample machine for all tests of this file: making it takes a moment.
class SampleMachine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern = (fs::temp_directory_path() / "fwsample-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    parent_ = pattern;
    std::string error;
    machine_ = OpenOrCreateMachine(parent_ + "/machine", error).release();
    ASSERT_NE(machine_, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete machine_;
    machine_ = nullptr;
    std::error_code ec;
    fs::remove_all(parent_, ec);
  }
  void SetUp() override {
    ASSERT_NE(machine_, nullptr);
    SetCurrentMachine(machine_);
  }
  void TearDown() override { SetCurrentMachine(nullptr); }

  static std::optional<std::string> ReadString(HKEY root, const std::string& path, const std::string& name) {
    TRegistry registry(KEY_READ);
    registry.SetRootKey(root);
    if (!registry.OpenKeyReadOnly(path)) return std::nullopt;
    return registry.ReadString(name);
  }

  static inline std::string parent_;
  static inline Machine* machine_ = nullptr;
};

TEST_F(SampleMachine, IsWindowsXpServicePack2OfTheUserOwner) {
  const MachineConfig& config = machine_->Config();
  EXPECT_EQ(config.computerName, "HOME-PC");
  EXPECT_EQ(config.ansiCodePage, 1252u);
  EXPECT_EQ(config.Server("Update"), "http://update.fernwick.invalid/");
  EXPECT_EQ(config.Server("mail"), "smtp.fernwick.invalid");
  const OsVersionInfo version = GetVersionEx();
  EXPECT_EQ(version.majorVersion, 5u);
  EXPECT_EQ(version.minorVersion, 1u);
  EXPECT_EQ(version.platformId, 2u);
  EXPECT_EQ(version.csdVersion, "Service Pack 2");
  std::string user;
  ASSERT_TRUE(GetUserName(user));
  EXPECT_EQ(user, "Owner");

  EXPECT_EQ(GetDriveType("C:\\"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveType("D:\\"), DRIVE_CDROM);
  EXPECT_EQ(GetDriveType("E:\\"), DRIVE_REMOVABLE);
  EXPECT_FALSE(DirectoryExists("E:\\"));  // no media
  EXPECT_TRUE(FileExists("D:\\SETUP.EXE"));
}

TEST_F(SampleMachine, HoldsTheProgramAndTheSystemFolders) {
  EXPECT_EQ(ProgramFile(), "C:\\Program Files\\Fernwick\\Fernwick.exe");
  EXPECT_TRUE(FileExists(ProgramFile()));
  EXPECT_EQ(GetWindowsDirectory(), "C:\\WINDOWS");
  EXPECT_EQ(GetSystemDirectory(), "C:\\WINDOWS\\system32");
  EXPECT_TRUE(DirectoryExists(GetSystemDirectory()));
  EXPECT_TRUE(DirectoryExists(GetTempPath()));
  EXPECT_TRUE(DirectoryExists("C:\\Recycled"));
  EXPECT_TRUE(FileExists("C:\\WINDOWS\\win.ini"));
  // The first start is a start on a clean machine: no settings yet.
  TRegistry registry(KEY_READ);
  EXPECT_FALSE(registry.KeyExists("\\Software\\Fernwick"));
}

TEST_F(SampleMachine, HoldsTheKeysTheProgramReads) {
  struct Value {
    HKEY root;
    const char* path;
    const char* name;
    const char* data;  // null: any string
  };
  const std::vector<Value> values = {
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\Program Files"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
       "C:\\Program Files\\Common Files"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Common Startup",
       "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Startup",
       "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Startup"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs",
       "C:\\Documents and Settings\\Owner\\Start Menu\\Programs"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "Programs",
       "%USERPROFILE%\\Start Menu\\Programs"},
      {HKEY_CURRENT_USER, "\\Environment", "TEMP", "%USERPROFILE%\\Local Settings\\Temp"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CSDVersion", "Service Pack 2"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Tahoma (TrueType)", "TAHOMA.TTF"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\Help", "notepad.hlp", "C:\\WINDOWS\\Help"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\Html Help", "notepad.chm", "C:\\WINDOWS\\Help"},
      {HKEY_LOCAL_MACHINE, "\\SYSTEM\\CurrentControlSet\\Services\\Spooler", "ImagePath",
       "%SystemRoot%\\system32\\spoolsv.exe"},
      {HKEY_LOCAL_MACHINE, "\\SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout", "20000"},
      {HKEY_CURRENT_USER, "\\Control Panel\\Desktop", "MenuShowDelay", "400"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Internet Explorer\\Main", "Start Page", "http://home.hijack.example/"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU", "MRUList", "dabec"},
      {HKEY_CLASSES_ROOT, "\\.txt", "", "txtfile"},
      {HKEY_CLASSES_ROOT, "\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\InprocServer32", "",
       "%SystemRoot%\\system32\\shell32.dll"},
      {HKEY_CLASSES_ROOT, "\\TypeLib\\{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}\\1.1\\0\\win32", "",
       "C:\\WINDOWS\\system32\\shdocvw.dll"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TuneBox.exe", "",
       "C:\\Program Files\\Harbor Tone\\TuneBox\\TuneBox.exe"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TuneBox", "UninstallString",
       "C:\\Program Files\\Harbor Tone\\TuneBox\\uninst.exe"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "ShieldGuard Tray", nullptr},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "ctfmon.exe",
       "C:\\WINDOWS\\system32\\ctfmon.exe"},
      {HKEY_CURRENT_USER, "\\AppEvents\\Schemes\\Apps\\.Default\\SystemStart\\.Current", "",
       "%SystemRoot%\\media\\Windows XP Startup.wav"},
      {HKEY_LOCAL_MACHINE, "\\Control Panel\\Sounds", "", "C:\\WINDOWS\\Media\\tada.wav"},
  };
  for (const Value& v : values) {
    const auto data = ReadString(v.root, v.path, v.name);
    ASSERT_TRUE(data) << v.path << " " << v.name;
    if (v.data) {
      EXPECT_EQ(*data, v.data) << v.path << " " << v.name;
    }
  }

  const std::vector<std::pair<HKEY, const char*>> keys = {
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
      {HKEY_LOCAL_MACHINE, "\\Software\\microsoft\\Windows\\CurrentVersion\\Policies\\System"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU\\*"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.txt\\OpenWithList"},
      {HKEY_CURRENT_USER, "\\Software\\Microsoft\\Internet Explorer\\TypedURLs"},
      {HKEY_USERS, "\\.DEFAULT\\Control Panel\\Desktop"},
      {HKEY_CURRENT_CONFIG, "\\Software\\Fonts"},
  };
  TRegistry registry(KEY_READ);
  for (const auto& [root, path] : keys) {
    registry.SetRootKey(root);
    EXPECT_TRUE(registry.KeyExists(path)) << path;
  }
}

TEST_F(SampleMachine, ShellFoldersExist) {
  TRegistry registry(KEY_READ);
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    registry.SetRootKey(root);
    ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"));
    std::vector<std::string> names;
    registry.GetValueNames(names);
    EXPECT_GT(names.size(), 10u);
    for (const auto& name : names) {
      const auto folder = registry.ReadString(name);
      ASSERT_TRUE(folder) << name;
      EXPECT_TRUE(DirectoryExists(*folder)) << name << " = " << *folder;
    }
  }
}

// The programs removed without their uninstaller left references to files
// that are gone; the installed programs' files are all there.
TEST_F(SampleMachine, LeftoversPointAtMissingFilesAndInstalledProgramsAreWhole) {
  const std::vector<std::pair<HKEY, std::vector<const char*>>> references = {
      {HKEY_LOCAL_MACHINE,
       {"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\PhotoPad.exe", ""}},
      {HKEY_LOCAL_MACHINE,
       {"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PhotoPad 4", "UninstallString"}},
      {HKEY_CLASSES_ROOT, {"\\CLSID\\{A41C6E20-7B3D-4E18-95F2-0C8D1E6B3A74}\\InprocServer32", ""}},
      {HKEY_LOCAL_MACHINE,
       {"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\clipmstr.exe", ""}},
  };
  for (const auto& [root, ref] : references) {
    const auto path = ReadString(root, ref[0], ref[1]);
    ASSERT_TRUE(path) << ref[0];
    std::string file = *path;
    if (!file.empty() && file.front() == '"') file = file.substr(1, file.size() - 2);
    EXPECT_FALSE(FileExists(file)) << file;
  }
  EXPECT_FALSE(DirectoryExists("C:\\Program Files\\Lumina Works"));
  EXPECT_FALSE(DirectoryExists("C:\\Program Files\\Nordvik Labs"));
  EXPECT_FALSE(FileExists("C:\\WINDOWS\\Fonts\\LUMSCR.TTF"));

  for (const char* file : {"C:\\Program Files\\Harbor Tone\\TuneBox\\TuneBox.exe",
                           "C:\\Program Files\\PackIt\\uninstall.exe",
                           "C:\\Program Files\\Bastion Security\\ShieldGuard\\sgsvc.exe",
                           "C:\\Program Files\\Inkwell\\PageWriter\\pagewriter.exe",
                           "C:\\WINDOWS\\system32\\drivers\\sgfilter.sys", "C:\\WINDOWS\\Fonts\\TAHOMA.TTF"})
    EXPECT_TRUE(FileExists(file)) << file;
}

}  // namespace
