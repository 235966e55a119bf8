// The recycle bin keeps what it holds as Windows does: each item under
// "D<drive><n><ext>" with its INFO2 record, so that it can be put back.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "RecycleBinRecords.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"

using namespace win;

namespace {

std::string Text(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(path, bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

void Write(const std::string& path, const std::string& text) {
  ASSERT_TRUE(WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end())));
}

std::vector<std::string> InBin(const Info2File& info2) {
  std::vector<std::string> names;
  for (const RecycledItem& item : info2.items) names.push_back(item.inBin + " <- " + item.originalPath);
  return names;
}

TEST(RecycleBin, ItemsComeBackByTheirRecordsWithTheirBytesAndAttributes) {
  TestMachine m("",
                "C:\\Docs\\Report.txt | attr=RH | text=first report\n"
                "C:\\Docs\\Sub\\inner.txt | text=inner\n"
                "C:\\Docs\\README | size=5000\n");
  const FileTime before = CurrentFileTime();
  ASSERT_TRUE(DeleteToRecycleBin("C:\\Docs\\Report.txt"));
  ASSERT_TRUE(DeleteToRecycleBin("c:\\docs\\sub"));
  ASSERT_TRUE(DeleteToRecycleBin("C:\\Docs\\README"));
  Write("C:\\Docs\\Report.txt", "second report");  // a second file of the name
  ASSERT_TRUE(DeleteToRecycleBin("C:\\Docs\\Report.txt"));
  const FileTime after = CurrentFileTime();

  const Info2File info2 = ReadInfo2('C');
  EXPECT_EQ(info2.version, 5u);
  EXPECT_EQ(info2.recordSize, 800u);
  EXPECT_EQ(info2.bytes, 20u + 4 * 800);
  EXPECT_EQ(InBin(info2), (std::vector<std::string>{"C:\\Recycled\\Dc1.txt <- C:\\Docs\\Report.txt",
                                                    "C:\\Recycled\\Dc2 <- C:\\Docs\\Sub",
                                                    "C:\\Recycled\\Dc3 <- C:\\Docs\\README",
                                                    "C:\\Recycled\\Dc4.txt <- C:\\Docs\\Report.txt"}));
  const std::vector<std::uint32_t> sizes{4096, 4096, 8192, 4096};  // on the disk
  for (std::size_t i = 0; i < info2.items.size(); ++i) {
    const RecycledItem& item = info2.items[i];
    EXPECT_EQ(item.ansiPath, item.originalPath);
    EXPECT_EQ(item.number, i + 1);
    EXPECT_EQ(item.drive, 2u);
    EXPECT_GE(item.deletedAt, before);
    EXPECT_LE(item.deletedAt, after);
    EXPECT_EQ(item.size, sizes[i]);
    EXPECT_NE(GetFileAttributes(item.inBin), INVALID_FILE_ATTRIBUTES) << item.inBin;
  }
  EXPECT_FALSE(DirectoryExists("C:\\Docs\\Sub"));

  // Put back, the newest first; the older file of the name goes beside it.
  const std::vector<std::pair<std::size_t, std::string>> restores = {
      {3, "C:\\Docs\\Report.txt"}, {0, "C:\\Docs\\Report (old).txt"}, {1, "C:\\Docs\\Sub"}, {2, "C:\\Docs\\README"}};
  for (const auto& [index, to] : restores) ASSERT_TRUE(MoveFile(info2.items[index].inBin, to)) << to;
  EXPECT_EQ(Text("C:\\Docs\\Report.txt"), "second report");
  EXPECT_EQ(Text("C:\\Docs\\Report (old).txt"), "first report");
  EXPECT_EQ(GetFileAttributes("C:\\Docs\\Report (old).txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(Text("C:\\Docs\\Sub\\inner.txt"), "inner");
  EXPECT_EQ(Text("C:\\Docs\\README").size(), 5000u);
}

TEST(RecycleBin, WhatCannotBeRecordedStaysWhereItIs) {
  // C:\Docs\a + it fits in MAX_PATH, C:\Recycled\Dc1 + it does not.
  const std::string longExt = "." + std::string(246, 'x');
  struct Case {
    const char* what;
    std::string info2;  // "" for none
    std::string path;
    DWORD error;
  };
  const std::string foreign = std::string("\x04\x00\x00\x00", 4) + std::string(8, '\0') + std::string("\x10\x00\x00\x00", 4) +
                              std::string(4, '\0') + "not a bin index";
  const std::vector<Case> cases = {
      {"a name too long for the bin", "", "C:\\Docs\\a" + longExt, ERROR_FILENAME_EXCED_RANGE},
      {"an INFO2 of another kind", foreign, "C:\\Docs\\a.txt", ERROR_FILE_CORRUPT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestMachine m("", "C:\\Recycled\\\nC:\\Docs\\\n");
    Write(c.path, "keep me");
    if (!c.info2.empty()) Write("C:\\Recycled\\INFO2", c.info2);
    EXPECT_FALSE(DeleteToRecycleBin(c.path));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(Text(c.path), "keep me");
    EXPECT_EQ(Text("C:\\Recycled\\INFO2"), c.info2.empty() ? "<missing>" : c.info2);
  }
}

TEST(RecycleBin, BinsAsTheyAreAreTakenOnAndEmptiedToTheirHeader) {
  // The sample machine's bin: items under their numbers and an INFO2 of
  // zeros that tells nothing.
  TestMachine m("",
                "C:\\Recycled\\Dc1.txt | text=old\n"
                "C:\\Recycled\\Dc3\\letter.doc | text=old letter\n"
                "C:\\Recycled\\desktop.ini | text=[.ShellClassInfo]\n"
                "C:\\Recycled\\INFO2 | attr=H | size=1620\n"
                "C:\\Docs\\a.txt | text=a\n"
                "C:\\Docs\\b.txt | text=b\n");
  ASSERT_TRUE(DeleteToRecycleBin("C:\\Docs\\a.txt"));
  Info2File info2 = ReadInfo2('C');
  EXPECT_EQ(InBin(info2), std::vector<std::string>{"C:\\Recycled\\Dc4.txt <- C:\\Docs\\a.txt"});
  EXPECT_EQ(info2.bytes, 820u);
  EXPECT_EQ(Text("C:\\Recycled\\Dc4.txt"), "a");
  EXPECT_EQ(GetFileAttributes("C:\\Recycled\\INFO2") & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);

  // A record cut short by a kill goes; its item never moved.
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes("C:\\Recycled\\INFO2", bytes));
  bytes.resize(bytes.size() + 300, 'x');
  ASSERT_TRUE(WriteFileBytes("C:\\Recycled\\INFO2", bytes));
  ASSERT_TRUE(DeleteToRecycleBin("C:\\Docs\\b.txt"));
  info2 = ReadInfo2('C');
  EXPECT_EQ(info2.bytes, 1620u);
  EXPECT_EQ(InBin(info2), (std::vector<std::string>{"C:\\Recycled\\Dc4.txt <- C:\\Docs\\a.txt",
                                                    "C:\\Recycled\\Dc5.txt <- C:\\Docs\\b.txt"}));

  ASSERT_TRUE(EmptyRecycleBin("C:\\"));
  info2 = ReadInfo2('C');
  EXPECT_EQ(info2.bytes, 20u);
  EXPECT_EQ(info2.recordSize, 800u);
  EXPECT_EQ(Text("C:\\Recycled\\desktop.ini"), "[.ShellClassInfo]");
  EXPECT_FALSE(DirectoryExists("C:\\Recycled\\Dc3"));
  ASSERT_TRUE(WriteFileBytes("C:\\Docs\\c.txt", {'c'}));
  ASSERT_TRUE(DeleteToRecycleBin("C:\\Docs\\c.txt"));
  EXPECT_EQ(InBin(ReadInfo2('C')), std::vector<std::string>{"C:\\Recycled\\Dc1.txt <- C:\\Docs\\c.txt"});
}

TEST(RecycleBin, TheWindows9xFamilyKeepsAnsiRecords) {
  std::string config = TestMachine::DefaultConfigText();
  const std::string nt = "OSMajor=5\r\nOSMinor=1\r\nPlatformId=2";
  config.replace(config.find(nt), nt.size(), "OSMajor=4\r\nOSMinor=10\r\nPlatformId=1");
  TestMachine m("", "C:\\Docs\\Caf\xC3\xA9.txt | text=x\nC:\\Docs\\\xE6\x97\xA5.txt | text=y\n", config);
  ASSERT_TRUE(DeleteToRecycleBin("C:\\Docs\\Caf\xC3\xA9.txt"));
  const Info2File info2 = ReadInfo2('C');
  EXPECT_EQ(info2.version, 4u);
  EXPECT_EQ(info2.recordSize, 280u);
  ASSERT_EQ(info2.items.size(), 1u);
  EXPECT_EQ(info2.items[0].ansiPath, "C:\\Docs\\Caf\xE9.txt");
  // A name the code page cannot hold could not be put back.
  EXPECT_FALSE(DeleteToRecycleBin("C:\\Docs\\\xE6\x97\xA5.txt"));
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_TRUE(FileExists("C:\\Docs\\\xE6\x97\xA5.txt"));
  EXPECT_EQ(ReadInfo2('C').items.size(), 1u);
}

}  // namespace
