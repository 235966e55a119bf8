#include "platform/files/ShellFileOperation.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/files/DiskFreeSpace.h"
#include "platform/files/FileSystem.h"

namespace {

// C: and F: fixed, G: fixed without a folder on the host, E: removable.
std::string TwoFixedDrives() {
  return "[Machine]\r\nOSMajor=5\r\nOSMinor=1\r\nPlatformId=2\r\nUserName=Owner\r\nAnsiCodePage=1252\r\n"
         "[Drives]\r\nC=fixed,drives/C\r\nF=fixed,drives/F\r\nG=fixed\r\nE=removable\r\n";
}

const char* const kFiles =
    "C:\\Temp\\a.tmp | text=first\n"
    "C:\\Temp\\b.tmp | text=second\n"
    "C:\\Temp\\locked.tmp | attr=R | text=locked\n"
    "C:\\Temp\\Sub\\\n"
    "C:\\Dest\\a.tmp | text=already here\n"
    "C:\\Dest\\a (2).tmp | text=also here\n"
    "F:\\Dest\\\n";

std::string Text(const std::string& path) {
  std::vector<std::uint8_t> data;
  if (!win::ReadFileBytes(path, data)) return "<missing>";
  return std::string(data.begin(), data.end());
}

int FileOp(unsigned function, const std::string& from, const std::string& to = "") {
  win::SHFILEOPSTRUCT operation;
  operation.wFunc = function;
  operation.pFrom = from + std::string(2, '\0');
  operation.pTo = to.empty() ? std::string() : to + std::string(2, '\0');
  operation.fFlags = win::FOF_NOCONFIRMATION | win::FOF_ALLOWUNDO | win::FOF_NOERRORUI;
  return win::SHFileOperation(operation);
}

TEST(ShellFileOperation, RecycledFilesGoToTheBinOfTheirDrive) {
  TestMachine machine("", kFiles, TwoFixedDrives());
  std::string two = "C:\\Temp\\a.tmp";
  two += '\0';
  two += "C:\\Temp\\b.tmp";
  EXPECT_EQ(FileOp(win::FO_DELETE, two), 0);
  EXPECT_FALSE(win::FileExists("C:\\Temp\\a.tmp"));
  EXPECT_FALSE(win::FileExists("C:\\Temp\\b.tmp"));
  EXPECT_EQ(Text("C:\\Recycled\\Dc1.tmp"), "first");
  EXPECT_EQ(Text("C:\\Recycled\\Dc2.tmp"), "second");
  // A folder is not a file: it stays.
  EXPECT_NE(FileOp(win::FO_DELETE, "C:\\Temp\\Sub"), 0);
  EXPECT_TRUE(win::DirectoryExists("C:\\Temp\\Sub"));
  EXPECT_NE(FileOp(win::FO_DELETE, "C:\\Temp\\gone.tmp"), 0);
}

TEST(ShellFileOperation, MoveOnOneDriveKeepsBothFilesOfOneName) {
  TestMachine machine("", kFiles, TwoFixedDrives());
  EXPECT_EQ(FileOp(win::FO_MOVE, "C:\\Temp\\a.tmp", "C:\\Dest"), 0);
  EXPECT_FALSE(win::FileExists("C:\\Temp\\a.tmp"));
  EXPECT_EQ(Text("C:\\Dest\\a.tmp"), "already here");
  EXPECT_EQ(Text("C:\\Dest\\a (2).tmp"), "also here");
  EXPECT_EQ(Text("C:\\Dest\\a (3).tmp"), "first");
  // The read-only attribute goes with the file.
  EXPECT_EQ(FileOp(win::FO_MOVE, "C:\\Temp\\locked.tmp", "C:\\Dest"), 0);
  EXPECT_TRUE(win::GetFileAttributes("C:\\Dest\\locked.tmp") & win::FILE_ATTRIBUTE_READONLY);
  // Into its own folder: nothing moves.
  EXPECT_EQ(FileOp(win::FO_MOVE, "C:\\Dest\\a.tmp", "C:\\Dest"), win::DE_SAMEFILE);
  EXPECT_EQ(Text("C:\\Dest\\a.tmp"), "already here");
}

TEST(ShellFileOperation, MoveAcrossDrivesCopiesThenDeletes) {
  TestMachine machine("", kFiles, TwoFixedDrives());
  EXPECT_EQ(FileOp(win::FO_MOVE, "C:\\Temp\\a.tmp", "F:\\Dest"), 0);
  EXPECT_FALSE(win::FileExists("C:\\Temp\\a.tmp"));
  EXPECT_EQ(Text("F:\\Dest\\a.tmp"), "first");
  EXPECT_EQ(FileOp(win::FO_MOVE, "C:\\Dest\\a.tmp", "F:\\Dest"), 0);
  EXPECT_EQ(Text("F:\\Dest\\a (2).tmp"), "already here");
  // A source that cannot be deleted stays, and no copy is left behind.
  EXPECT_NE(FileOp(win::FO_MOVE, "C:\\Temp\\locked.tmp", "F:\\Dest"), 0);
  EXPECT_EQ(Text("C:\\Temp\\locked.tmp"), "locked");
  EXPECT_FALSE(win::FileExists("F:\\Dest\\locked.tmp"));
}

TEST(ShellFileOperation, MoveWithoutADestinationFolderMovesNothing) {
  TestMachine machine("", kFiles, TwoFixedDrives());
  for (const std::string to : {"", "C:\\Missing", "C:\\Temp\\b.tmp", "G:\\", "E:\\"}) {
    EXPECT_NE(FileOp(win::FO_MOVE, "C:\\Temp\\a.tmp", to), 0) << to;
    EXPECT_EQ(Text("C:\\Temp\\a.tmp"), "first") << to;
  }
  EXPECT_NE(FileOp(win::FO_COPY, "C:\\Temp\\a.tmp", "C:\\Dest"), 0);
}

TEST(DiskFreeSpace, ComesFromTheHostFolderOfTheDrive) {
  TestMachine machine("", kFiles, TwoFixedDrives());
  std::uint64_t available = 0;
  std::uint64_t total = 0;
  std::uint64_t free = 0;
  ASSERT_TRUE(win::GetDiskFreeSpaceEx("C:\\", &available, &total, &free));
  struct statvfs host {};
  ASSERT_EQ(statvfs(machine.host("C:\\").c_str(), &host), 0);
  EXPECT_EQ(total, static_cast<std::uint64_t>(host.f_blocks) * host.f_frsize);
  EXPECT_GT(total, 0u);
  EXPECT_LE(available, free);
  EXPECT_LE(free, total);
  EXPECT_TRUE(win::GetDiskFreeSpaceEx("F:\\Dest", nullptr, &total, nullptr));

  for (const char* drive : {"G:\\", "E:\\", "Q:\\", ""}) {
    EXPECT_FALSE(win::GetDiskFreeSpaceEx(drive, &available, &total, &free)) << drive;
  }
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(win::GetDiskFreeSpaceEx("G:\\", &available, &total, &free));
  EXPECT_EQ(win::GetLastError(), win::ERROR_NOT_READY);
}

}  // namespace
