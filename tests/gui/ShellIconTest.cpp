// Shell icon handles turn into the stock pictures of both sizes.

#include <gtest/gtest.h>

#include "GuiTestApp.h"
#include "TestMachine.h"
#include "shell/gui/ShellIconUnit.h"

using namespace win;

TEST(ShellIconTest, EveryKindHasBothSizesAndDeadHandlesNone) {
  GuiApp();
  TestMachine machine("", "C:\\App\\app.exe\nC:\\App\\notes.txt\n");
  QImage previous;
  for (const char* path : {"C:\\App\\app.exe", "C:\\App\\notes.txt", "C:\\App", "C:\\"}) {
    SCOPED_TRACE(path);
    SHFILEINFO info;
    ASSERT_NE(SHGetFileInfo(path, 0, &info, SHGFI_ICON), 0u);
    const QImage small = ShellIconImage(info.hIcon, false);
    const QImage large = ShellIconImage(info.hIcon, true);
    EXPECT_EQ(small.size(), QSize(16, 16));
    EXPECT_EQ(large.size(), QSize(32, 32));
    EXPECT_NE(small, previous);  // each kind its own picture
    previous = small;
    DestroyIcon(info.hIcon);
    EXPECT_TRUE(ShellIconImage(info.hIcon, false).isNull());
  }
  EXPECT_EQ(static_cast<int>(StockIcon::DriveRamDisk) + 1, kStockIconCount);
}
