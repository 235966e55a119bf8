// The 55-node check tree and the dispatch from node to item to finder.

#include "PrivacyFixture.h"
#include "TestMachine.h"

namespace privacy_test {
namespace {

class ItemTableTest : public PrivacyTest {};

TEST_F(ItemTableTest, CheckTreeHasFixedNodesWithTheirRecords) {
  TEvidenceCleaner cleaner;
  cleaner.BuildItemTree();
  const TEvidenceTree& tree = cleaner.CheckTree;
  ASSERT_EQ(tree.Count(), kEvidenceNodeCount);
  EXPECT_EQ(tree.Selected, 0);
  struct Row {
    int node;
    const char* text;
    int level;
    int image;
    int state;
  };
  const Row rows[] = {
      {0, "My Computer", 0, 0, 6},         {1, "Internet Explorer", 1, 1, 6},
      {2, "Cache", 2, 5, 6},               {5, "Favorites", 2, 5, 7},
      {10, "Save Directory", 2, 5, 6},     {11, "Windows Software", 1, 2, 6},
      {12, "Paint", 2, 5, 6},              {27, "ACDSee History", 2, 5, 6},
      {28, "Windows System", 1, 3, 6},     {29, "Run History", 2, 5, 6},
      {43, "RecycleBin", 2, 5, 6},         {44, "Internet Software", 1, 4, 6},
      {45, "Real DownLoad", 2, 5, 6},      {54, "NetscapeCache", 2, 5, 6},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(cleaner.NodeText(r.node), r.text) << r.node;
    EXPECT_EQ(tree.Nodes[r.node].Level, r.level) << r.node;
    EXPECT_EQ(tree.Nodes[r.node].ImageIndex, r.image) << r.node;
    EXPECT_EQ(tree.Nodes[r.node].StateIndex, r.state) << r.node;
  }
  int ticked = 0;
  for (int c = 0; c < kCategoryCount; ++c) {
    for (int p = 0; p < kCategoryItemCounts[c]; ++p) {
      const TEvidenceNode& node = tree.Nodes[kCategoryFirstNode[c] + p];
      EXPECT_EQ(node.Rec, cleaner.ItemLists[c][p].get());  // the list's own record
      EXPECT_EQ(node.Rec->Index, p + 1);
      EXPECT_EQ(node.Parent, kCategoryFirstNode[c] - 1);
      ticked += node.Rec->Checked;
    }
  }
  EXPECT_EQ(ticked, 49);
}

TEST_F(ItemTableTest, ItemListsFollowTheTable) {
  TSectionList list;
  BuildEvidenceItemList(4, list);
  BuildEvidenceItemList(-1, list);
  EXPECT_TRUE(list.empty());
  BuildEvidenceItemList(2, list);
  BuildEvidenceItemList(2, list);
  ASSERT_EQ(list.size(), 30u);
  EXPECT_EQ(list[14]->ItemName, "RecycleBin");
  EXPECT_EQ(list[14]->CategoryName, "Windows System");
  EXPECT_EQ(list[15]->Index, 1);
}

TEST_F(ItemTableTest, EveryTickedNodeRunsTheFinderOfItsItem) {
  TestMachine m;
  TEvidenceCleaner cleaner;
  RecordingView view;
  cleaner.SetView(&view);
  struct Call {
    int category, position, node, index;
  };
  std::vector<Call> calls;
  for (int c = 0; c < kCategoryCount; ++c)
    for (int p = 0; p < kCategoryItemCounts[c]; ++p)
      cleaner.Finders[c][p] = [&calls, c, p](TEvidenceTree& tree, int node, TResultContents&,
                                             const TExcludeContents&) {
        calls.push_back({c, p, node, tree.Nodes[node].Rec->Index});
      };
  cleaner.FormShow();
  cleaner.CheckNodeStateClick(0);  // root ticked: everything off
  cleaner.CheckNodeStateClick(0);  // and on again, Favorites included
  cleaner.ScanNowBtnClick();
  ASSERT_EQ(calls.size(), 50u);
  std::size_t i = 0;
  for (int c = 0; c < kCategoryCount; ++c) {
    for (int p = 0; p < kCategoryItemCounts[c]; ++p, ++i) {
      EXPECT_EQ(calls[i].category, c);
      EXPECT_EQ(calls[i].position, p);
      EXPECT_EQ(calls[i].node, kCategoryFirstNode[c] + p);
      EXPECT_EQ(calls[i].index, p + 1);
    }
  }
  EXPECT_EQ(view.scanGauge.back(), std::make_pair(50, 50));
}

}  // namespace
}  // namespace privacy_test
