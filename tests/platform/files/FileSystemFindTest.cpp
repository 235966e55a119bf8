#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "FileSystemFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"

using namespace win;

namespace {

std::vector<std::string> Names(const std::string& pattern) {
  std::vector<std::string> names;
  FindData data;
  auto finder = FindFirstFile(pattern, data);
  if (!finder) return names;
  do {
    names.push_back(data.name);
  } while (finder->Next(data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  return names;
}

FindData Entry(const std::string& folderPattern, const std::string& name) {
  FindData data;
  auto finder = FindFirstFile(folderPattern, data);
  if (finder) {
    do {
      if (data.name == name) return data;
    } while (finder->Next(data));
  }
  ADD_FAILURE() << name << " not listed in " << folderPattern;
  return {};
}

TEST(Wildcards, FollowWindowsRules) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*", "anything.txt", true},
      {"*", "noext", true},
      {"*.*", "noext", true},  // "*.*" matches names without a dot
      {"*.*", "a.b.c", true},
      {"*.*", ".", true},
      {"*.txt", "readme.TXT", true},
      {"*.txt", "readme.txt.bak", false},
      {"*.txt", "txt", false},
      {"*.", "noext", true},   // "*." matches names without an extension
      {"*.", "file.txt", false},
      {"read*.*", "readme", true},
      {"read*.*", "README.md", true},
      {"read*.*", "ready.go", true},
      {"read*.*", "bread", false},
      {"?.txt", "a.txt", true},
      {"?.txt", "ab.txt", false},
      {"?.txt", ".txt", true},   // '?' matches nothing at a dot...
      {"a?", "a", true},         // ...or at the end of the name
      {"file????.txt", "file1.txt", true},
      {"file?.txt", "file12.txt", false},
      {"a?b", "a.b", false},
      {"a.?", "a", true},        // "." before a wildcard also matches no extension
      {"a.?", "a.b", true},
      {"a?c", "ABC", true},
      {"a?c", "ac", false},
      {"*.txt", "a.b.txt", true},
      {"*.b", "a.b.c", false},
      {"*.*", "..", true},
      {"*a*b*", "xxaYYbzz", true},
      {"*a*b*", "xxbYYazz", false},
      {"speed*.ini", "SpeedRestore20080101_101010.ini", true},
      {"exact.dat", "EXACT.DAT", true},
      {"exact.dat", "exact.data", false},
      {"\xC3\xA4*", "\xC3\x84rger.txt", true},  // case folds beyond ASCII
      {"?rger.txt", "\xC3\x84rger.txt", true},  // '?' is one character, not one byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
  }
}

class FindTest : public ::testing::Test {
 protected:
  HandMachine m;
};

TEST_F(FindTest, ListsDotsThenEntriesSortedByUpperCasedName) {
  for (const char* name : {"b.txt", "_under", "A.txt", "c", "Zeta.ini", "a_b"}) m.File(std::string("Dir/") + name);
  m.Folder("Dir/Sub");
  EXPECT_EQ(Names("C:\\Dir\\*"),
            (std::vector<std::string>{".", "..", "A.txt", "a_b", "b.txt", "c", "Sub", "Zeta.ini",
                                      "_under"}));
  EXPECT_EQ(Names("C:\\dir\\*.txt"), (std::vector<std::string>{"A.txt", "b.txt"}));
  EXPECT_EQ(Names("c:/DIR/*."), (std::vector<std::string>{".", "..", "a_b", "c", "Sub", "_under"}));
  EXPECT_EQ(Names("C:\\Dir\\zeta.INI"), (std::vector<std::string>{"Zeta.ini"}));
  // The drive root lists its dots too.
  EXPECT_EQ(Names("C:\\*"), (std::vector<std::string>{".", "..", "Dir"}));
}

TEST_F(FindTest, NothingFoundIsAnErrorNotAnEmptyList) {
  m.Folder("Empty");
  FindData data;
  EXPECT_EQ(FindFirstFile("C:\\Empty\\*.txt", data), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFile("C:\\Missing\\*", data), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FindFirstFile("C:\\", data), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFile("D:\\*", data), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  EXPECT_EQ(Names("C:\\Empty\\*"), (std::vector<std::string>{".", ".."}));
}

TEST_F(FindTest, AttributeWordsSizesAndTimes) {
  m.File("Dir/plain.txt", "12345");
  m.File("Dir/locked.txt");
  m.File("Dir/secret.sys");
  m.Folder("Dir/Sub");
  ASSERT_EQ(chmod(m.C("Dir/locked.txt").c_str(), 0444), 0);  // read-only from the host
  ASSERT_EQ(symlink("/tmp", m.C("Dir/link").c_str()), 0);
  ASSERT_TRUE(SetFileAttributes("C:\\Dir\\SECRET.SYS", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(SetFileAttributes("C:\\Dir\\Sub", FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileTime("C:\\Dir\\plain.txt", 128'000'000'000'000'000ull));

  const struct {
    const char* name;
    DWORD attributes;
  } cases[] = {
      {".", FILE_ATTRIBUTE_DIRECTORY},
      {"..", FILE_ATTRIBUTE_DIRECTORY},
      {"plain.txt", FILE_ATTRIBUTE_ARCHIVE},
      {"locked.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
      {"secret.sys", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {"Sub", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
      {"link", FILE_ATTRIBUTE_REPARSE_POINT},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Entry("C:\\Dir\\*", c.name).attributes, c.attributes) << c.name;
    if (std::string(c.name) != "." && std::string(c.name) != "..") {
      EXPECT_EQ(GetFileAttributes(std::string("C:\\Dir\\") + c.name), c.attributes) << c.name;
    }
  }
  const FindData plain = Entry("C:\\Dir\\*", "plain.txt");
  EXPECT_EQ(plain.size, 5u);
  EXPECT_EQ(plain.lastWriteTime, 128'000'000'000'000'000ull);
  EXPECT_EQ(Entry("C:\\Dir\\*", "Sub").size, 0u);

  // Sizes beyond 4 GB (a sparse file).
  std::filesystem::resize_file(m.C("Dir/plain.txt"), 5'000'000'000ull);
  EXPECT_EQ(GetFileInfo("C:\\Dir\\plain.txt")->size, 5'000'000'000ull);
}

TEST_F(FindTest, FileTimesAreWindowsFileTimes) {
  m.File("t.txt");
  const FileTime before = CurrentFileTime();
  ASSERT_TRUE(WriteFileBytes("C:\\t.txt", {'x'}));
  const FileTime written = GetFileInfo("C:\\t.txt")->lastWriteTime;
  EXPECT_GE(written + 20'000'000, before);  // file systems round times
  EXPECT_LE(written, CurrentFileTime());
  // 2008-03-07 14:05:09 UTC.
  ASSERT_TRUE(SetFileTime("C:\\t.txt", 128'493'723'090'000'000ull));
  struct stat st;
  ASSERT_EQ(stat(m.C("t.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1204898709);
}

TEST_F(FindTest, AttributesSetOnTheMachineStayInStateDb) {
  m.File("boot.ini");
  ASSERT_TRUE(SetFileAttributes("C:\\BOOT.INI", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(m.machine().State().FileAttributes("C:\\BOOT.INI"),
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(GetFileAttributes("c:\\boot.ini"),
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  // A file with nothing set reports "normal".
  ASSERT_TRUE(SetFileAttributes("C:\\boot.ini", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributes("C:\\boot.ini"), FILE_ATTRIBUTE_NORMAL);

  // Clearing read-only gives a host file its write permission back.
  ASSERT_EQ(chmod(m.C("boot.ini").c_str(), 0444), 0);
  EXPECT_EQ(GetFileAttributes("C:\\boot.ini"), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(SetFileAttributes("C:\\boot.ini", FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributes("C:\\boot.ini"), FILE_ATTRIBUTE_ARCHIVE);

  EXPECT_FALSE(SetFileAttributes("C:\\none.ini", FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
