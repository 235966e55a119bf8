// The scan over the ticked items, Cancel, and what the window may do
// meanwhile.

#include "PrivacyFixture.h"
#include "TestMachine.h"
#include "platform/processes/ProcessSnapshot.h"
#include "shell/BusyGuard.h"

namespace privacy_test {
namespace {

// A finder that records one finding of its item and lets messages through.
TEvidenceFinder OneFinding(int category, int index, std::vector<std::string>* ran) {
  return [category, index, ran](TEvidenceTree& tree, int node, TResultContents& results,
                                const TExcludeContents&) {
    ran->push_back(std::to_string(category) + "." + std::to_string(index));
    TResultContentItem& item = results.GetItem(results.Add());
    item.Checked = 1;
    item.Description = EvidenceItemInfo(category, index)->Description;
    item.Kind = EvidenceItemInfo(category, index)->Kind < 0 ? 1 : EvidenceItemInfo(category, index)->Kind;
    item.ItemName = tree.Nodes[node].Rec->ItemName;
    item.Name = "n";
    SetEvidenceCount(node, 1, 0, tree);
    ProcessMessages();
  };
}

class ScanFlowTest : public PrivacyTest {
 protected:
  void SetUp() override {
    PrivacyTest::SetUp();
    cleaner.SetView(&view);
    for (int c = 0; c < kCategoryCount; ++c)
      for (int p = 0; p < kCategoryItemCounts[c]; ++p) cleaner.Finders[c][p] = OneFinding(c, p + 1, &ran);
    cleaner.FormShow();
  }
  TestMachine m;
  TEvidenceCleaner cleaner;
  RecordingView view;
  std::vector<std::string> ran;
};

TEST_F(ScanFlowTest, OnlyTickedItemsRunAndTheGaugeEndsAtTheirNumber) {
  cleaner.CheckNodeStateClick(12);  // Paint off
  cleaner.CheckNodeStateClick(28);  // Windows System: all off, its own mark off
  cleaner.CheckNodeStateClick(43);  // but RecycleBin back on
  EXPECT_EQ(cleaner.CheckTree.Nodes[28].StateIndex, kStateUnticked);
  const int ticked = cleaner.CountTickedItems();
  EXPECT_EQ(ticked, 50 - 1 - 1 - 14);
  cleaner.ScanNowBtnClick();
  EXPECT_EQ(static_cast<int>(ran.size()), ticked);
  EXPECT_EQ(std::count(ran.begin(), ran.end(), "0.4"), 0);  // Favorites
  EXPECT_EQ(std::count(ran.begin(), ran.end(), "1.1"), 0);  // Paint
  EXPECT_EQ(std::count(ran.begin(), ran.end(), "2.15"), 1);
  EXPECT_EQ(view.scanGauge.front(), std::make_pair(0, ticked));
  EXPECT_EQ(view.scanGauge.back(), std::make_pair(ticked, ticked));
  EXPECT_EQ(cleaner.FoundCount, ticked);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, ticked);
  EXPECT_EQ(view.running, (std::vector<bool>{true, false}));
  EXPECT_EQ(view.pages.back(), kResultPage);
  EXPECT_EQ(ScanState, 0);
  // The busy animation starts from its first frame once per category.
  EXPECT_EQ(view.animation, (std::vector<bool>{true, false, true, false, true, false, true, false}));
  EXPECT_EQ(std::count_if(view.busyNodes.begin(), view.busyNodes.end(), [](int node) { return node >= 0; }), ticked);

  // Back on the Scan page the ticks are the defaults again, the counts stay.
  cleaner.ScanBtnClick();
  EXPECT_EQ(cleaner.CheckTree.Nodes[12].StateIndex, kStateTicked);
  EXPECT_EQ(cleaner.CheckTree.Nodes[5].StateIndex, kStateUnticked);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, ticked);
}

TEST_F(ScanFlowTest, CancelInTheSecondCategoryStopsTheRestAndShowsWhatWasFound) {
  int pumped = 0;
  SetProcessMessagesHook([&] {
    if (++pumped == 10) cleaner.AbortBtnClick();  // during the second Windows Software item
  });
  cleaner.ScanNowBtnClick();
  EXPECT_EQ(ran.back(), "1.2");
  EXPECT_EQ(ran.size(), 10u);
  EXPECT_EQ(view.animation, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(cleaner.FoundCount, 10);
  EXPECT_EQ(cleaner.ResultRows.size(), 10u);
  EXPECT_EQ(view.count, "10");
  EXPECT_EQ(view.pages.back(), kResultPage);
  EXPECT_EQ(ScanState, 0);
}

TEST_F(ScanFlowTest, TicksAndTabsAreIgnoredWhileAScanRuns) {
  bool busy = false;
  SetProcessMessagesHook([&] {
    if (ran.size() != 3) return;
    busy = IsBusy();
    cleaner.CheckNodeStateClick(5);
    cleaner.CheckNodeStateClick(0);
    cleaner.ResultBtnClick();
    cleaner.ExcludeBtnClick();
    cleaner.ScanBtnClick();
    cleaner.ScanNowBtnClick();  // no second scan inside the first
  });
  const std::size_t pagesBefore = view.pages.size();
  cleaner.ScanNowBtnClick();
  EXPECT_TRUE(busy);
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(ran.size(), 49u);
  EXPECT_EQ(view.pages.size(), pagesBefore + 1);  // only the Result page at the end
  EXPECT_EQ(cleaner.CheckTree.Nodes[5].StateIndex, kStateUnticked);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].StateIndex, kStateTicked);
}

TEST_F(ScanFlowTest, FirefoxRunningOnlyWarns) {
  ScriptedDialogs dialogs;
  win::ProcessListEntry firefox;
  firefox.processId = 42;
  firefox.exeName = "FireFox.EXE";
  win::SetProcessListForTests(std::vector<win::ProcessListEntry>{firefox});
  cleaner.ScanNowBtnClick();
  win::SetProcessListForTests(std::nullopt);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Mozilla Firefox is running, please close Firefox!");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, MB_OK | MB_ICONWARNING);
  EXPECT_TRUE(ran.empty());
  EXPECT_TRUE(view.running.empty());
  EXPECT_EQ(ScanState, 0);
}

TEST_F(ScanFlowTest, AScanWithoutFindingsEmptiesTheResultViews) {
  cleaner.ScanNowBtnClick();
  ASSERT_FALSE(cleaner.ResultNodes.empty());
  ASSERT_EQ(view.hints.back(), "49 items found.");
  for (auto& finders : cleaner.Finders)
    for (auto& finder : finders) finder = nullptr;
  cleaner.ScanNowBtnClick();
  EXPECT_TRUE(cleaner.ResultNodes.empty());
  EXPECT_TRUE(cleaner.ResultRows.empty());
  EXPECT_EQ(view.hints.back(), "");
  EXPECT_EQ(view.count, "0");
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, 0);
}

}  // namespace
}  // namespace privacy_test
