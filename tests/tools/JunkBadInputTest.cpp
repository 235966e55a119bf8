// The junk-file cleaner with damaged record files, odd masks, deep and long
// folder names: clean results, and nothing touched but the findings.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "JunkCleanerFixture.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "tools/Persrec.h"
#include "tools/SysDiskCleanerUnit.h"

namespace {

using tools::TSysDiskCleaner;
using tools::test::FoundPaths;
using tools::test::JunkCleanerTest;
using tools::test::RecordingJunkView;

const char* const kFiles =
    "C:\\Program Files\\Fernwick\\\n"
    "C:\\Temp\\a.tmp\n"
    "C:\\Temp\\keep.doc\n";

std::vector<std::uint8_t> Garbage(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data(size);
  for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
  return data;
}

TEST_F(JunkCleanerTest, DamagedOrHugeTypeFilesLoadWhatTheyHold) {
  TestMachine machine("", kFiles);
  const tools::JunkRecordBytes tmp = tools::EncodeJunkRecord({true, "*.tmp", "Temp"});
  std::vector<std::uint8_t> huge;
  for (int i = 0; i < 10000; ++i) huge.insert(huge.end(), tmp.begin(), tmp.end());
  std::vector<std::uint8_t> truncated(tmp.begin(), tmp.end());
  truncated.insert(truncated.end(), tmp.begin(), tmp.begin() + 150);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> data;
    std::size_t types;
  };
  const Case cases[] = {
      {"truncated", truncated, 1},
      {"garbage", Garbage(203 * 7 + 11, 1), 7},
      {"10,000 records", huge, 10000},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(win::WriteFileBytes(tools::JunkFilePath(), c.data));
    RecordingJunkView view;
    TSysDiskCleaner cleaner(view);
    view.cleaner = &cleaner;
    cleaner.FormCreate();
    cleaner.NextBtnClick();
    ASSERT_EQ(cleaner.Types.size(), c.types) << c.what;
    for (const tools::TJunkFileType& type : cleaner.Types) {
      EXPECT_LE(type.Mask.size(), 300u) << c.what;  // 100 characters, UTF-8
    }
    cleaner.NextBtnClick();
    EXPECT_EQ(JunkCleanerState, tools::kJunkSearched) << c.what;
    if (c.types != 7) {
      EXPECT_EQ(FoundPaths(cleaner), (std::set<std::string>{"C:\\Temp\\a.tmp"})) << c.what;
    }
    // The search saved the types back: whole records only, padded with zeros.
    std::vector<std::uint8_t> saved;
    ASSERT_TRUE(win::ReadFileBytes(tools::JunkFilePath(), saved));
    EXPECT_EQ(saved.size(), 203 * c.types) << c.what;
  }
}

TEST_F(JunkCleanerTest, OddMasksFindNothingTheyShouldNot) {
  TestMachine machine("", kFiles);
  RecordingJunkView view;
  TSysDiskCleaner cleaner(view);
  view.cleaner = &cleaner;
  cleaner.FormCreate();
  cleaner.NextBtnClick();
  cleaner.SelectAllTypes(false);
  cleaner.AddType("*." + std::string(120, 'x'), "long");
  cleaner.AddType("Temp\\keep.doc", "a path");
  cleaner.AddType("*.doc\\", "a backslash");
  cleaner.AddType("   ", "blank");
  cleaner.AddType("*", "a star");
  EXPECT_EQ(cleaner.Types[47].Mask.size(), 100u);
  EXPECT_EQ(cleaner.Types[50].Mask, "");
  cleaner.NextBtnClick();
  EXPECT_TRUE(cleaner.Findings.empty());
  EXPECT_EQ(JunkCleanerState, tools::kJunkSearched);
  cleaner.NextBtnClick();
  EXPECT_TRUE(cleaner.Report.empty());
  cleaner.NextBtnClick();
  cleaner.NextBtnClick();
  EXPECT_TRUE(cleaner.CleanRows.empty());
  EXPECT_TRUE(win::FileExists("C:\\Temp\\a.tmp"));
  EXPECT_TRUE(win::FileExists("C:\\Temp\\keep.doc"));
}

TEST_F(JunkCleanerTest, DeepFoldersAndLongNamesAreSearchedSafely) {
  TestMachine machine("", kFiles);
  // 200 levels on the host, a junk file at the bottom and on the way; a
  // file and a folder with names of 255 characters.
  std::filesystem::path deep = machine.host("C:\\");
  deep /= "Deep";
  for (int level = 0; level < 200; ++level) deep /= "level";
  std::filesystem::create_directories(deep);
  std::ofstream(deep / "bottom.tmp") << "x";
  std::ofstream(std::filesystem::path(machine.host("C:\\Deep\\level")) / "top.tmp") << "x";
  const std::string longName = std::string(251, 'n') + ".tmp";
  std::ofstream(std::filesystem::path(machine.host("C:\\Temp")) / longName) << "x";
  std::filesystem::create_directories(std::filesystem::path(machine.host("C:\\Temp")) / std::string(255, 'f'));

  RecordingJunkView view;
  TSysDiskCleaner cleaner(view);
  view.cleaner = &cleaner;
  cleaner.FormCreate();
  cleaner.NextBtnClick();
  cleaner.NextBtnClick();
  EXPECT_EQ(JunkCleanerState, tools::kJunkSearched);
  const std::set<std::string> found = FoundPaths(cleaner);
  EXPECT_EQ(found.count("C:\\Temp\\a.tmp"), 1u);
  EXPECT_EQ(found.count("C:\\Deep\\level\\top.tmp"), 1u);
  EXPECT_EQ(found.count("C:\\Temp\\" + longName), 1u);
  // Whatever lies past the longest path the machine takes is not found.
  cleaner.NextBtnClick();
  cleaner.NextBtnClick();
  cleaner.NextBtnClick();
  ASSERT_EQ(cleaner.CleanRows.size(), found.size());
  // A name too long for the bin is told as an error and stays.
  for (const tools::TCleanRow& row : cleaner.CleanRows) {
    const bool recycled = row.Status == "File Deleted";
    EXPECT_EQ(recycled, row.Path != "C:\\Temp\\" + longName) << row.Path << " " << row.Status;
    if (recycled) {
      EXPECT_FALSE(win::FileExists(row.Path)) << row.Path;
    }
  }
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(machine.host("C:\\Temp")) / longName));
  EXPECT_TRUE(std::filesystem::exists(deep));
  EXPECT_TRUE(win::FileExists("C:\\Temp\\keep.doc"));
}

}  // namespace
