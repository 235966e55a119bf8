#pragma once
// The privacy cleaner's check tree without its window: 55 nodes with fixed
// absolute indexes (0 the root, the four categories, their items), each
// carrying a TSectionRec, with image and state image. The window draws it
// through EvidenceTreeView.

#include <memory>
#include <vector>

#include "privacy/ResourceUnit.h"

// Tree images (the data module's TreeImageList).
constexpr int kImageRoot = 0;
constexpr int kImageItem = 5;
constexpr int kStateTicked = 6;
constexpr int kStateUnticked = 7;
constexpr int kImageBusyFirst = 8;

class EvidenceTreeView {
 public:
  virtual ~EvidenceTreeView() = default;
  // The tree was rebuilt (nodes, texts, images, expansion, selection).
  virtual void TreeRebuilt() = 0;
  // Counts, ticks or images of the given nodes changed; repaint them.
  virtual void NodesChanged(const std::vector<int>& nodes) = 0;
};

struct TEvidenceNode {
  TSectionRec* Rec = nullptr;
  int Level = 0;   // 0 root, 1 category, 2 item
  int Parent = -1;
  int ImageIndex = 0;
  int StateIndex = kStateTicked;
};

class TEvidenceTree {
 public:
  std::vector<TEvidenceNode> Nodes;
  int Selected = -1;
  EvidenceTreeView* View = nullptr;

  // Clears and adds the root, the categories and the items of the four
  // lists (ticks back to the table's defaults, counts kept); the root is
  // selected.
  void Build(const TSectionList* lists);
  bool Empty() const { return Nodes.empty(); }
  int Count() const { return static_cast<int>(Nodes.size()); }
  // Absolute index of a category's node.
  static int CategoryNode(int category) { return kCategoryFirstNode[category] - 1; }
  // Sets a node's Checked and state image together.
  void SetChecked(int node, std::uint8_t checked);
  // Category and root counts from their items'; repaints.
  void SumCounts();
  void Changed(const std::vector<int>& nodes) const;

 private:
  std::vector<std::unique_ptr<TSectionRec>> own_;  // the root's and categories' records
};

// Sets (Mode 0) or adds to (Mode 1) the count of the item node NodeIndex,
// recomputes its category's and the root's, and repaints the three.
void SetEvidenceCount(int NodeIndex, int N, int Mode, TEvidenceTree& Tree);
