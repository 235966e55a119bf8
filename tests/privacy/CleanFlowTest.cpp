// Clean and Finish: the recycle bins, the result message, dropping what was
// cleaned, and the result texts.

#include "PrivacyFixture.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"

namespace privacy_test {
namespace {

const char* const kReg =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs]\n"
    "\"url1\"=\"http://a/\"\n"
    "\"url2\"=\"http://b/\"\n";

const char* const kFiles =
    "C:\\Recycled\\Dc1.txt | text=abc\n"
    "C:\\Recycled\\Dc2\\\n"
    "C:\\Recycled\\Dc2\\inner.txt | text=x\n"
    "C:\\Recycled\\INFO2 | text=x\n"
    "C:\\Recycled\\desktop.ini | text=x\n";

class CleanFlowTest : public PrivacyTest {
 protected:
  void Scan(TEvidenceCleaner& cleaner, RecordingView& view, bool recycleBin) {
    cleaner.SetView(&view);
    cleaner.FormShow();
    if (!recycleBin) cleaner.CheckNodeStateClick(43);
    cleaner.ScanNowBtnClick();
  }
};

TEST_F(CleanFlowTest, RecycleBinsAreEmptiedOnlyWhenEveryRecycledFindingGoes) {
  enum class Setup { NotScanned, AllTicked, OneUnticked, Excluded };
  struct Case {
    Setup setup;
    bool binEmptied;
    bool dc1Gone;
  };
  for (const Case& c : {Case{Setup::NotScanned, false, false}, Case{Setup::AllTicked, true, true},
                        Case{Setup::OneUnticked, false, true}, Case{Setup::Excluded, false, true}}) {
    // The exclusion file beside the program names "RecycleBin".
    TestMachine m(kReg, std::string(kFiles) + (c.setup == Setup::Excluded
                                                   ? "C:\\Program Files\\Fernwick\\Exclude1Items.est | "
                                                     "text=RecycleBin|C:\\\\Recycled\\\\none!<\\r\\n\n"
                                                   : ""));
    ScriptedDialogs dialogs;
    TEvidenceCleaner cleaner;
    RecordingView view;
    Scan(cleaner, view, c.setup != Setup::NotScanned);
    if (c.setup == Setup::OneUnticked) {
      for (std::int32_t i = 0; i < cleaner.Results[2].Count(); ++i)
        if (cleaner.Results[2].GetItem(i).Name == "Dc2") cleaner.Results[2].GetItem(i).Checked = 0;
    }
    cleaner.CleanBtnClick();
    const int n = static_cast<int>(c.setup);
    EXPECT_EQ(!win::DirectoryExists("C:\\Recycled\\Dc2"), c.binEmptied) << n;
    EXPECT_EQ(!win::FileExists("C:\\Recycled\\Dc1.txt"), c.dc1Gone) << n;
    EXPECT_TRUE(win::FileExists("C:\\Recycled\\INFO2")) << n;
    EXPECT_TRUE(win::FileExists("C:\\Recycled\\desktop.ini")) << n;
    ASSERT_EQ(dialogs.messages().size(), 1u) << n;
    // A ticked recycled folder that could not be wiped is told as a failure.
    const bool allCleaned = c.setup == Setup::NotScanned || c.setup == Setup::AllTicked ||
                            c.setup == Setup::OneUnticked;
    EXPECT_EQ(dialogs.messages()[0].text,
              allCleaned ? "Evidences were successfully cleaned!" : "1 of 4 evidences could not be cleaned.")
        << n;
    EXPECT_EQ(dialogs.messages()[0].flags, allCleaned ? MB_OK | MB_ICONINFORMATION : MB_OK | MB_ICONWARNING)
        << n;
  }
}

TEST_F(CleanFlowTest, FinishDropsTheCleanedFindingsOnce) {
  TestMachine m(kReg, kFiles);
  ScriptedDialogs dialogs;
  TEvidenceCleaner cleaner;
  RecordingView view;
  Scan(cleaner, view, false);
  ASSERT_EQ(cleaner.FoundCount, 2);
  // One value vanishes before the clean: it stays uncleaned and counted.
  {
    win::TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\Microsoft\\Internet Explorer\\TypedURLs", false));
    ASSERT_TRUE(registry.DeleteValue("url2"));
  }
  cleaner.CleanBtnClick();
  EXPECT_EQ(dialogs.messages().back().text, "1 of 2 evidences could not be cleaned.");
  EXPECT_FALSE(view.cleanVisible);
  ASSERT_EQ(cleaner.ResultRows.size(), 2u);
  EXPECT_EQ(cleaner.RowTexts(0)[3], "Deleted");
  EXPECT_EQ(cleaner.RowTexts(1)[3], "");
  cleaner.FinishBtnClick();
  EXPECT_TRUE(view.cleanVisible);
  EXPECT_EQ(view.pages.back(), kScanPage);
  EXPECT_EQ(cleaner.Results[0].Count(), 1);
  EXPECT_EQ(cleaner.CheckTree.Nodes[3].Rec->Count, 1);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, 1);
  ASSERT_EQ(cleaner.ResultRows.size(), 1u);
  EXPECT_EQ(cleaner.ResultRows[0].Finding, &cleaner.Results[0].GetItem(0));
  cleaner.ScanBtnClick();
  EXPECT_EQ(cleaner.Results[0].Count(), 1);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, 1);
}

TEST_F(CleanFlowTest, SizeAndHintTextsUseTheUsersSeparator) {
  TestMachine m("[HKEY_CURRENT_USER\\Control Panel\\International]\n\"sDecimal\"=\",\"\n");
  std::string size, unit;
  struct Case {
    std::int64_t bytes;
    const char* size;
    const char* unit;
  };
  for (const Case& c : {Case{1023, "1023", "B"}, Case{1024, "1,00", "KB"}, Case{1048576, "1,00", "MB"},
                        Case{3LL << 30, "3072,00", "MB"}}) {
    TotalSizeText(c.bytes, size, unit);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(unit, c.unit);
  }
  EXPECT_EQ(SizeKBText(1536), "1,50");
  EXPECT_EQ(ResultHintText(3, 0), "3 items found.");
  EXPECT_EQ(ResultHintText(1, 2048), "1 items found that can free 2,00 KB hard disk space.");
  EXPECT_EQ(ResultHintText(2, 500), "2 items found that can free 500 Bytes hard disk space.");
  EXPECT_EQ(ResultHintText(1, 3LL << 30), "1 items found that can free 3072,00 MB hard disk space.");
  EXPECT_EQ(ResultHintText(0, 0), "");
}

TEST_F(CleanFlowTest, RowsShowTheFieldTheirItemNamesWithFallbacks) {
  TestMachine m;
  TEvidenceCleaner cleaner;
  RecordingView view;
  cleaner.SetView(&view);
  for (int c = 0; c < kCategoryCount; ++c) {
    for (int index = 1; index <= kCategoryItemCounts[c]; ++index) {
      const TEvidenceItemInfo& info = *EvidenceItemInfo(c, index);
      TResultContentItem& f = cleaner.Results[c].GetItem(cleaner.Results[c].Add());
      f.Description = info.Description;
      f.Kind = info.Kind < 0 ? 1 : info.Kind;
      f.ItemName = info.ItemName;
      f.Name = "N";
      f.KeyName = "K";
      f.Data = "D";
      f.Path = "P";
      f.FirefoxUrl = f.FirefoxCookie = f.FirefoxCacheFile = "F";
      f.NetscapeUrl = f.NetscapeCookie = f.NetscapeCacheFile = "S";
      const char* expected = "";
      switch (info.Shown) {
        case ShownField::Name: expected = "N"; break;
        case ShownField::Data: expected = "D"; break;
        case ShownField::KeyName: expected = "K"; break;
        case ShownField::Path: expected = "P"; break;
        case ShownField::FirefoxUrl: case ShownField::FirefoxCookie: case ShownField::FirefoxCacheFile:
          expected = "F"; break;
        default: expected = "S"; break;
      }
      cleaner.FillResultRows(c, index, false);
      ASSERT_EQ(cleaner.ResultRows.size(), 1u) << info.ItemName;
      EXPECT_EQ(cleaner.ResultRows[0].ShownName, expected) << info.ItemName;
      cleaner.FillResultRows(c, 0, false);
      EXPECT_EQ(cleaner.ResultRows.back().ShownName, expected) << info.ItemName;
      if (info.Shown == ShownField::Data) {
        f.Data.clear();
        cleaner.FillResultRows(c, index, false);
        EXPECT_EQ(cleaner.ResultRows[0].ShownName, "N") << info.ItemName;
        f.Name.clear();
        cleaner.FillResultRows(c, index, false);
        EXPECT_EQ(cleaner.ResultRows[0].ShownName, "K") << info.ItemName;
      }
    }
  }
  // Telnet's own view shows the key name as its data; the category view its data.
  cleaner.FillResultRows(2, 4, false);
  EXPECT_EQ(cleaner.ResultRows[0].Data, "K");
  cleaner.FillResultRows(2, 0, false);
  EXPECT_EQ(cleaner.ResultRows[3].Data, "D");
  EXPECT_EQ(view.count, "15");
}

}  // namespace
}  // namespace privacy_test
