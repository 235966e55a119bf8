#include <gtest/gtest.h>

#include "FileSystemFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"

using namespace win;

namespace {

std::string Config(const std::string& machineLines) {
  return "[Machine]\n" + machineLines + "UserName=Ann\n[Drives]\nC=fixed,drives/C\n";
}

TEST(SystemFolders, FollowTheVersionOfWindows) {
  const struct {
    const char* machine;
    const char* windows;
    const char* system;
    const char* temp;
  } cases[] = {
      {"OSMajor=5\nOSMinor=1\nPlatformId=2\n", "C:\\WINDOWS", "C:\\WINDOWS\\system32",
       "C:\\Documents and Settings\\Ann\\Local Settings\\Temp\\"},
      {"OSMajor=5\nOSMinor=0\nPlatformId=2\nWindowsDir=C:\\WINNT\n", "C:\\WINNT",
       "C:\\WINNT\\system32", "C:\\Documents and Settings\\Ann\\Local Settings\\Temp\\"},
      {"OSMajor=6\nOSMinor=0\nPlatformId=2\nWindowsDir=C:\\Windows\\\n", "C:\\Windows",
       "C:\\Windows\\system32", "C:\\Users\\Ann\\AppData\\Local\\Temp\\"},
      {"OSMajor=4\nOSMinor=10\nPlatformId=1\n", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM",
       "C:\\WINDOWS\\TEMP\\"},
  };
  for (const auto& c : cases) {
    HandMachine m(Config(c.machine));
    EXPECT_EQ(GetWindowsDirectory(), c.windows) << c.machine;
    EXPECT_EQ(GetSystemDirectory(), c.system) << c.machine;
    EXPECT_EQ(GetTempPath(), c.temp) << c.machine;
  }
}

TEST(SystemFolders, TempComesFromTheUsersEnvironmentKey) {
  HandMachine m(Config("OSMajor=5\nOSMinor=1\nPlatformId=2\n"));
  TRegistry registry(m.machine().Registry());
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey("\\Environment", true));

  const struct {
    const char* value;
    const char* temp;
  } cases[] = {
      {"%USERPROFILE%\\Local Settings\\Temp", "C:\\Documents and Settings\\Ann\\Local Settings\\Temp\\"},
      {"%systemroot%\\TEMP", "C:\\WINDOWS\\TEMP\\"},
      {"D:\\Scratch\\", "D:\\Scratch\\"},
      {"%UNKNOWN%\\Temp", "C:\\Documents and Settings\\Ann\\Local Settings\\Temp\\"},  // unusable
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(registry.WriteExpandString("TEMP", c.value));
    EXPECT_EQ(GetTempPath(), c.temp) << c.value;
  }

  // The profile folder itself comes from the profile list when it is there.
  TRegistry profiles(m.machine().Registry());
  profiles.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(profiles.OpenKey("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" +
                                   m.machine().Config().userSid,
                               true));
  ASSERT_TRUE(profiles.WriteExpandString("ProfileImagePath", "%SystemDrive%\\Profiles\\ann"));
  ASSERT_TRUE(registry.WriteExpandString("TEMP", "%USERPROFILE%\\Temp"));
  EXPECT_EQ(GetTempPath(), "C:\\Profiles\\ann\\Temp\\");
}

TEST(SystemFolders, ProgramFolderFromTheConfig) {
  {
    HandMachine plain(Config(""));
    EXPECT_EQ(ProgramFolder(), "C:\\Program Files\\Fernwick");
    EXPECT_EQ(ProgramFile(), "C:\\Program Files\\Fernwick\\Fernwick.exe");
  }
  HandMachine moved(Config("ProgramFolder=D:\\Tools\\FW\\\n"));
  EXPECT_EQ(ProgramFile(), "D:\\Tools\\FW\\Fernwick.exe");
}

}  // namespace
