// Writing a file in place: same inode, no truncation, refusals.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "TestMachine.h"
#include "platform/files/FileInPlace.h"
#include "platform/files/FileSystem.h"

namespace {

using namespace win;

ino_t InodeOf(const std::string& host) {
  struct stat info {};
  lstat(host.c_str(), &info);
  return info.st_ino;
}

TEST(FileInPlaceTest, WritesOverTheSameInodeWithoutTruncating) {
  TestMachine m("", "C:\\Docs\\a.txt | text=abcdef\n");
  const std::string host = m.host("C:\\Docs\\a.txt");
  const ino_t before = InodeOf(host);
  int flushes = 0;
  SetAfterFlushHook([&](const std::string& path) {
    EXPECT_EQ(path, host);
    ++flushes;
  });
  {
    auto file = InPlaceFile::Open("C:\\Docs\\a.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Size(), 6u);
    EXPECT_TRUE(file->WriteAt(1, "XY", 2));
    EXPECT_TRUE(file->Flush());
    EXPECT_TRUE(file->Close());
  }
  SetAfterFlushHook(nullptr);
  EXPECT_EQ(flushes, 1);
  EXPECT_EQ(InodeOf(host), before);
  std::ifstream in(host);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "aXYdef");
}

TEST(FileInPlaceTest, RefusesFoldersReadOnlyFilesAndLinks) {
  TestMachine m("",
                "C:\\Docs\\Sub\\\n"
                "C:\\Docs\\ro.txt | attr=R | text=ro\n"
                "C:\\Keep\\precious.txt | text=keep\n"
                "C:\\Docs\\link.txt | link=C:\\Keep\\precious.txt\n");
  for (const char* path : {"C:\\Docs\\Sub", "C:\\Docs\\ro.txt", "C:\\Docs\\link.txt", "C:\\"}) {
    EXPECT_EQ(InPlaceFile::Open(path), nullptr) << path;
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << path;
  }
  EXPECT_EQ(InPlaceFile::Open("C:\\Docs\\missing.txt"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(FileInPlaceTest, UnlinkHookSeesTheFileJustBeforeItGoes) {
  TestMachine m("", "C:\\Docs\\a.txt | text=abc\n");
  std::vector<std::string> seen;
  SetBeforeUnlinkHook([&](const std::string& host) {
    EXPECT_EQ(access(host.c_str(), F_OK), 0);
    seen.push_back(host);
  });
  EXPECT_TRUE(DeleteFile("C:\\Docs\\a.txt"));
  SetBeforeUnlinkHook(nullptr);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(seen[0].find("a.txt"), std::string::npos);
}

}  // namespace
