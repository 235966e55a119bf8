// Shell file information: stock icons by kind, display names, drive roots,
// missing paths, and icon handles given back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/shell/ShellFileInfo.h"

using namespace win;

namespace {

class ShellFileInfoTest : public ::testing::Test {
 protected:
  TestMachine machine_{"",
                       "C:\\Program Files\\App\\app.exe\n"
                       "C:\\Program Files\\App\\Setup.BAT\n"
                       "C:\\Program Files\\App\\readme.txt\n"
                       "C:\\Program Files\\App\\noext\n"
                       "C:\\Links\\app.lnk | lnk=C:\\Program Files\\App\\app.exe\n"
                       "C:\\Links\\site.url\n"
                       "C:\\Empty Folder\\\n"};
};

TEST_F(ShellFileInfoTest, IconKindAndNameOfEachPath) {
  struct Case {
    const char* path;
    StockIcon icon;
    const char* name;
  };
  const std::vector<Case> cases = {
      {"C:\\Program Files\\App\\app.exe", StockIcon::Program, "app.exe"},
      {"c:\\program files\\app\\APP.EXE", StockIcon::Program, "app.exe"},
      {"C:\\Program Files\\App\\Setup.BAT", StockIcon::Program, "Setup.BAT"},
      {"C:\\Links\\app.lnk", StockIcon::Shortcut, "app.lnk"},
      {"C:\\Links\\site.url", StockIcon::Shortcut, "site.url"},
      {"C:\\Program Files\\App\\readme.txt", StockIcon::Document, "readme.txt"},
      {"C:\\Program Files\\App\\noext", StockIcon::Document, "noext"},
      {"C:\\Empty Folder", StockIcon::Folder, "Empty Folder"},
      {"C:\\Empty Folder\\", StockIcon::Folder, "Empty Folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    SHFILEINFO info;
    ASSERT_NE(SHGetFileInfo(c.path, 0, &info, SHGFI_ICON | SHGFI_DISPLAYNAME), 0u);
    EXPECT_EQ(IconKind(info.hIcon), c.icon);
    EXPECT_EQ(info.iIcon, static_cast<int>(c.icon));
    // The name keeps the case the file was made with, not the asked one.
    EXPECT_EQ(info.szDisplayName, c.name);
    EXPECT_TRUE(DestroyIcon(info.hIcon));
  }
}

TEST(ShellFileInfoDrives, DriveRootsByType) {
  TestMachine drives("", "", TestMachine::DefaultConfigText() + "Z=remote\r\nR=ramdisk\r\n");
  struct Case {
    const char* path;
    StockIcon icon;
    const char* name;
  };
  const std::vector<Case> cases = {
      {"C:\\", StockIcon::DriveFixed, "Local Disk (C:)"},
      {"c:", StockIcon::DriveFixed, "Local Disk (C:)"},
      {"D:\\", StockIcon::DriveCdRom, "CD Drive (D:)"},
      {"E:\\", StockIcon::DriveRemovable, "Removable Disk (E:)"},
      {"Z:\\", StockIcon::DriveRemote, "Network Drive (Z:)"},
      {"R:\\", StockIcon::DriveRamDisk, "RAM Disk (R:)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    SHFILEINFO info;
    ASSERT_NE(SHGetFileInfo(c.path, 0, &info, SHGFI_ICON | SHGFI_DISPLAYNAME), 0u);
    EXPECT_EQ(IconKind(info.hIcon), c.icon);
    EXPECT_EQ(info.szDisplayName, c.name);
    DestroyIcon(info.hIcon);
  }
}

TEST_F(ShellFileInfoTest, MissingPathsGiveNothing) {
  for (const char* path : {"C:\\Program Files\\App\\gone.exe", "C:\\Nowhere\\x.lnk", "Q:\\", "", "relative.exe",
                           "C:\\Program Files\\App\\app.exe\\child"}) {
    SCOPED_TRACE(path);
    SHFILEINFO info;
    info.szDisplayName = "stale";
    info.hIcon = 99;
    EXPECT_EQ(SHGetFileInfo(path, 0, &info, SHGFI_ICON | SHGFI_DISPLAYNAME), 0u);
    EXPECT_EQ(info.hIcon, 0u);
    EXPECT_EQ(info.szDisplayName, "");
  }
}

TEST_F(ShellFileInfoTest, OnlyAskedPartsAreFilledAndHandlesGoBack) {
  const std::size_t before = LiveIconCount();
  SHFILEINFO info;
  ASSERT_NE(SHGetFileInfo("C:\\Program Files\\App\\app.exe", 0, &info, SHGFI_DISPLAYNAME), 0u);
  EXPECT_EQ(info.hIcon, 0u);
  EXPECT_EQ(info.szDisplayName, "app.exe");
  EXPECT_EQ(LiveIconCount(), before);

  ASSERT_NE(SHGetFileInfo("C:\\Program Files\\App\\app.exe", 0, &info, SHGFI_ICON | SHGFI_SMALLICON), 0u);
  EXPECT_EQ(info.szDisplayName, "");
  EXPECT_EQ(LiveIconCount(), before + 1);
  EXPECT_TRUE(DestroyIcon(info.hIcon));
  EXPECT_FALSE(DestroyIcon(info.hIcon));
  EXPECT_EQ(IconKind(info.hIcon), StockIcon::None);
  EXPECT_EQ(LiveIconCount(), before);
}

}  // namespace
