#include "privacy/EvidenceTreeUnit.h"

void TEvidenceTree::Build(const TSectionList* lists) {
  Nodes.clear();
  own_.clear();
  auto root = std::make_unique<TSectionRec>();
  root->CategoryName = "My Computer";
  root->Checked = 1;
  Nodes.push_back({root.get(), 0, -1, kImageRoot, kStateTicked});
  own_.push_back(std::move(root));
  for (int category = 0; category < kCategoryCount; ++category) {
    auto rec = std::make_unique<TSectionRec>();
    rec->Category = category;
    rec->CategoryName = kCategoryNames[category];
    rec->Checked = 1;
    const int categoryNode = Count();
    Nodes.push_back({rec.get(), 1, 0, 1 + category, kStateTicked});
    own_.push_back(std::move(rec));
    for (const auto& item : lists[category]) {
      const TEvidenceItemInfo* info = EvidenceItemInfo(item->Category, item->Index);
      item->Checked = info && !info->DefaultChecked ? 0 : 1;
      Nodes.push_back({item.get(), 2, categoryNode, kImageItem,
                       item->Checked ? kStateTicked : kStateUnticked});
    }
  }
  Selected = 0;
  if (View) View->TreeRebuilt();
  SumCounts();
}

void TEvidenceTree::SetChecked(int node, std::uint8_t checked) {
  Nodes[node].Rec->Checked = checked;
  Nodes[node].StateIndex = checked ? kStateTicked : kStateUnticked;
}

void TEvidenceTree::SumCounts() {
  std::vector<int> changed;
  int total = 0;
  for (int i = 0; i < Count(); ++i) {
    if (Nodes[i].Level != 1) continue;
    int sum = 0;
    for (int j = i + 1; j < Count() && Nodes[j].Level == 2; ++j) sum += Nodes[j].Rec->Count;
    Nodes[i].Rec->Count = sum;
    total += sum;
  }
  if (!Nodes.empty()) Nodes[0].Rec->Count = total;
  for (int i = 0; i < Count(); ++i) changed.push_back(i);
  Changed(changed);
}

void TEvidenceTree::Changed(const std::vector<int>& nodes) const {
  if (View) View->NodesChanged(nodes);
}

void SetEvidenceCount(int NodeIndex, int N, int Mode, TEvidenceTree& Tree) {
  if (NodeIndex <= 0 || NodeIndex >= Tree.Count()) return;
  TEvidenceNode& node = Tree.Nodes[NodeIndex];
  if (Mode == 0) node.Rec->Count = N;
  else if (Mode == 1) node.Rec->Count += N;
  int parent = node.Parent;
  if (parent < 0) parent = NodeIndex;
  int sum = 0;
  for (const auto& child : Tree.Nodes)
    if (child.Parent == parent && &child != &Tree.Nodes[parent]) sum += child.Rec->Count;
  if (parent != NodeIndex) Tree.Nodes[parent].Rec->Count = sum;
  int total = 0;
  for (const auto& n : Tree.Nodes)
    if (n.Level == 1) total += n.Rec->Count;
  Tree.Nodes[0].Rec->Count = total;
  Tree.Changed({NodeIndex, parent, 0});
}
