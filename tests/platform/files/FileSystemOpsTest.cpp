#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "FileSystemFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/StateStore.h"

using namespace win;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class FileOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.File("Docs/Report.txt", "report");
    m.File("Docs/Other.txt", "other");
    m.File("Docs/Sub/inner.txt", "inner");
    m.File("E.txt", "e");
  }
  void ReadOnly(const std::string& path) {
    ASSERT_TRUE(SetFileAttributes(path, FILE_ATTRIBUTE_READONLY));
  }
  HandMachine m;
};

TEST_F(FileOpsTest, CopyFile) {
  EXPECT_TRUE(CopyFile("C:\\docs\\report.TXT", "C:\\Copy.txt", true));
  EXPECT_EQ(m.Content("Copy.txt"), "report");
  // Failing on an existing target, overwriting otherwise.
  EXPECT_FALSE(CopyFile("C:\\Docs\\Other.txt", "C:\\copy.txt", true));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_TRUE(CopyFile("C:\\Docs\\Other.txt", "C:\\copy.txt", false));
  EXPECT_EQ(m.Content("Copy.txt"), "other");
  EXPECT_FALSE(m.HostExists("copy.txt"));  // the existing name is kept

  const struct {
    const char* from;
    const char* to;
    DWORD error;
  } failures[] = {
      {"C:\\Missing.txt", "C:\\x.txt", ERROR_FILE_NOT_FOUND},
      {"C:\\Docs", "C:\\x.txt", ERROR_ACCESS_DENIED},           // folders are not copied
      {"C:\\E.txt", "C:\\No\\x.txt", ERROR_PATH_NOT_FOUND},
      {"C:\\E.txt", "C:\\Docs", ERROR_ACCESS_DENIED},
      {"C:\\E.txt", "C:\\e.TXT", ERROR_SHARING_VIOLATION},      // onto itself
      {"C:\\E.txt", "D:\\x.txt", ERROR_NOT_READY},
  };
  for (const auto& f : failures) {
    EXPECT_FALSE(CopyFile(f.from, f.to, false)) << f.from << " -> " << f.to;
    EXPECT_EQ(GetLastError(), f.error) << f.from << " -> " << f.to;
  }
  EXPECT_EQ(m.Content("E.txt"), "e");
}

TEST_F(FileOpsTest, CopyKeepsTimeAndAttributesAndRespectsReadOnlyTargets) {
  ASSERT_TRUE(SetFileTime("C:\\E.txt", 128'000'000'000'000'000ull));
  ASSERT_TRUE(SetFileAttributes("C:\\E.txt", FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(CopyFile("C:\\E.txt", "E:\\E.txt", true));
  EXPECT_EQ(GetFileInfo("E:\\E.txt")->lastWriteTime, 128'000'000'000'000'000ull);
  EXPECT_EQ(GetFileAttributes("E:\\E.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);

  ReadOnly("C:\\Docs\\Other.txt");
  EXPECT_FALSE(CopyFile("C:\\Docs\\Report.txt", "C:\\Docs\\Other.txt", false));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(m.Content("Docs/Other.txt"), "other");
}

TEST_F(FileOpsTest, MoveAndRenameNeverReplace) {
  for (auto* move : {&MoveFile, &RenameFile}) {
    m.File("a.txt", "a");
    m.File("b.txt", "b");
    EXPECT_FALSE(move("C:\\a.txt", "C:\\B.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(m.Content("b.txt"), "b");
    EXPECT_TRUE(move("C:\\a.txt", "C:\\Docs\\moved.txt"));
    EXPECT_FALSE(m.HostExists("a.txt"));
    EXPECT_EQ(m.Content("Docs/moved.txt"), "a");
    ASSERT_TRUE(DeleteFile("C:\\Docs\\moved.txt"));
  }
}

TEST_F(FileOpsTest, MoveCarriesFoldersAndTheirAttributes) {
  ASSERT_TRUE(SetFileAttributes("C:\\Docs\\Sub\\inner.txt", FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(MoveFile("C:\\Docs", "C:\\Papers"));
  EXPECT_EQ(m.Content("Papers/Sub/inner.txt"), "inner");
  EXPECT_EQ(GetFileAttributes("C:\\Papers\\Sub\\inner.txt"), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(m.machine().State().FileAttributes("C:\\DOCS\\SUB\\INNER.TXT").has_value());
  // Across drives too.
  ASSERT_TRUE(MoveFile("C:\\Papers\\Sub\\inner.txt", "E:\\inner.txt"));
  EXPECT_EQ(GetFileAttributes("E:\\inner.txt"), FILE_ATTRIBUTE_HIDDEN);
  // A change of letter case only is a rename, not a clash.
  ASSERT_TRUE(RenameFile("C:\\Papers", "C:\\PAPERS"));
  EXPECT_TRUE(m.HostExists("PAPERS/Report.txt"));
  EXPECT_FALSE(m.HostExists("Papers"));
  // Not into itself, not the root, not from nowhere.
  EXPECT_FALSE(MoveFile("C:\\PAPERS", "C:\\Papers\\Sub\\Inside"));
  EXPECT_FALSE(MoveFile("C:\\", "C:\\Root"));
  EXPECT_FALSE(MoveFile("C:\\Nothing", "C:\\Something"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileOpsTest, DeleteFileAndRemoveDirectory) {
  EXPECT_FALSE(DeleteFile("C:\\Docs"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(RemoveDirectory("C:\\E.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  EXPECT_FALSE(RemoveDirectory("C:\\Docs\\Sub"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(RemoveDirectory("C:\\"));
  EXPECT_FALSE(DeleteFile("C:\\nothing"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  ReadOnly("C:\\Docs\\Sub\\inner.txt");
  EXPECT_FALSE(DeleteFile("C:\\Docs\\Sub\\inner.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetFileAttributes("C:\\Docs\\Sub\\inner.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFile("C:\\docs\\sub\\INNER.TXT"));
  EXPECT_TRUE(RemoveDirectory("C:\\Docs\\Sub"));
  EXPECT_FALSE(m.HostExists("Docs/Sub"));
  EXPECT_FALSE(m.machine().State().FileAttributes("C:\\DOCS\\SUB\\INNER.TXT").has_value());
}

TEST_F(FileOpsTest, CreateDirectoryAndForceDirectories) {
  EXPECT_TRUE(CreateDirectory("C:\\docs\\New"));
  EXPECT_TRUE(m.HostExists("Docs/New"));
  EXPECT_FALSE(CreateDirectory("C:\\Docs\\NEW"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectory("C:\\A\\B"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(ForceDirectories("C:\\A\\B\\C"));
  EXPECT_TRUE(DirectoryExists("C:\\a\\b\\c"));
  EXPECT_TRUE(ForceDirectories("C:\\A\\B\\C"));  // already there
  EXPECT_FALSE(ForceDirectories("C:\\E.txt\\Below"));
}

TEST_F(FileOpsTest, WholeFileReadsAndWrites) {
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(WriteFileBytes("C:\\Docs\\new.bin", Bytes("first")));
  ASSERT_TRUE(AppendFileBytes("C:\\Docs\\NEW.bin", Bytes("+more")));
  ASSERT_TRUE(ReadFileBytes("C:\\docs\\new.bin", data));
  EXPECT_EQ(std::string(data.begin(), data.end()), "first+more");
  // A shorter rewrite leaves exactly the new content, under the old name.
  ASSERT_TRUE(WriteFileBytes("C:\\DOCS\\REPORT.TXT", Bytes("r")));
  EXPECT_EQ(m.Content("Docs/Report.txt"), "r");
  EXPECT_FALSE(m.HostExists("Docs/REPORT.TXT"));
  // No temporary file is left behind.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(m.C("Docs"))) ++entries;
  EXPECT_EQ(entries, 4u);  // Report.txt Other.txt Sub new.bin

  ASSERT_EQ(chmod(m.C("Docs/Other.txt").c_str(), 0444), 0);
  EXPECT_FALSE(WriteFileBytes("C:\\Docs\\Other.txt", Bytes("x")));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(AppendFileBytes("C:\\Docs\\Other.txt", Bytes("x")));
  EXPECT_EQ(m.Content("Docs/Other.txt"), "other");
  EXPECT_FALSE(WriteFileBytes("C:\\Docs", Bytes("x")));
  EXPECT_FALSE(WriteFileBytes("C:\\Nowhere\\x.txt", Bytes("x")));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(ReadFileBytes("C:\\Docs", data));
  EXPECT_FALSE(ReadFileBytes("C:\\none.txt", data));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileOpsTest, NewFileDoesNotInheritAttributesOfAnOldOne) {
  ASSERT_TRUE(SetFileAttributes("C:\\E.txt", FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(unlink(m.C("E.txt").c_str()), 0);  // gone behind the machine's back
  ASSERT_TRUE(WriteFileBytes("C:\\E.txt", Bytes("new")));
  EXPECT_EQ(GetFileAttributes("C:\\E.txt"), FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(FileOpsTest, RecycleBinTakesItemsOfEachDrive) {
  m.File("Recycled/Report.txt", "older");  // an item of an older bin
  m.File("Recycled/INFO2");
  ASSERT_TRUE(SetFileAttributes("C:\\Docs\\Report.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(DeleteToRecycleBin("C:\\Docs\\Report.txt"));
  EXPECT_EQ(m.Content("Recycled/Dc1.txt"), "report");
  EXPECT_EQ(GetFileAttributes("C:\\Recycled\\Dc1.txt"), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(DeleteToRecycleBin("C:\\Docs\\Sub"));
  EXPECT_EQ(m.Content("Recycled/Dc2/inner.txt"), "inner");
  EXPECT_FALSE(m.HostExists("Docs/Sub"));

  // Drive E: gets a bin of its own, made hidden and system.
  std::ofstream(m.folder() + "/drives/E/e.txt") << "e";
  EXPECT_TRUE(DeleteToRecycleBin("E:\\e.txt"));
  EXPECT_TRUE(FileExists("E:\\Recycled\\De1.txt"));
  EXPECT_EQ(GetFileAttributes("E:\\Recycled"),
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

  EXPECT_FALSE(DeleteToRecycleBin("C:\\Recycled"));
  EXPECT_FALSE(DeleteToRecycleBin("C:\\"));
  EXPECT_FALSE(DeleteToRecycleBin("C:\\gone.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // Emptying one drive, then all of them.
  EXPECT_TRUE(EmptyRecycleBin("E:\\"));
  EXPECT_FALSE(FileExists("E:\\Recycled\\De1.txt"));
  EXPECT_TRUE(FileExists("C:\\Recycled\\Report.txt"));
  EXPECT_TRUE(EmptyRecycleBin(""));  // D: has no disc; it is passed over
  // The bin's own INFO2 stays; everything recycled goes.
  std::vector<std::string> left;
  for (const auto& item : std::filesystem::directory_iterator(m.C("Recycled")))
    left.push_back(item.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"INFO2"});
  EXPECT_TRUE(DirectoryExists("C:\\Recycled"));
  EXPECT_FALSE(m.machine().State().FileAttributes("C:\\RECYCLED\\DC1.TXT").has_value());
  EXPECT_EQ(GetFileAttributes("E:\\Recycled"),
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(EmptyRecycleBin("R:\\"));  // never used
}

TEST_F(FileOpsTest, RecycleBinEmptiesLinksNotWhatTheyPointAt) {
  m.File("Keep/precious.txt", "keep");
  ASSERT_EQ(symlink(m.C("Keep").c_str(), m.C("Docs/KeepLink").c_str()), 0);
  ASSERT_TRUE(DeleteToRecycleBin("C:\\Docs\\KeepLink"));
  ASSERT_TRUE(EmptyRecycleBin("C:"));
  EXPECT_EQ(m.Content("Keep/precious.txt"), "keep");
  EXPECT_FALSE(m.HostExists("Recycled/KeepLink"));
}

}  // namespace
