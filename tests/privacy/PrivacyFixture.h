#pragma once
// Shared pieces of the privacy-cleaner tests: a view that records what the
// window was told, and a fixture that resets the shared state.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/files/FileInPlace.h"
#include "platform/text/Random.h"
#include "privacy/EvidenceCleanerUnit.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace privacy_test {

class RecordingView : public EvidenceCleanerView {
 public:
  std::vector<int> pages;
  std::vector<bool> running;
  std::vector<std::pair<int, int>> scanGauge;
  std::vector<int> busyNodes;
  std::vector<bool> animation;  // started (true) and stopped
  std::vector<int> cleanGauge;
  std::vector<std::string> stepNames;
  std::vector<std::string> hints;
  std::string caption;
  std::string count, size, unit;
  bool cleanVisible = true;
  int treeRebuilt = 0;
  int rowsChanged = 0;

  void TreeRebuilt() override {}
  void NodesChanged(const std::vector<int>&) override {}
  void ShowStepName(const std::string& name) override { stepNames.push_back(name); }
  void SetCleanGauge(int position) override { cleanGauge.push_back(position); }
  void ShowPage(int page) override { pages.push_back(page); }
  void SetScanRunning(bool r) override { running.push_back(r); }
  void SetScanGauge(int position, int maximum) override { scanGauge.emplace_back(position, maximum); }
  void SetBusyNode(int node) override { busyNodes.push_back(node); }
  void SetBusyAnimation(bool on) override { animation.push_back(on); }
  void ResultTreeRebuilt() override { ++treeRebuilt; }
  void ResultTreeChanged() override {}
  void ResultRowsChanged() override { ++rowsChanged; }
  void SetResultCaption(const std::string& text) override { caption = text; }
  void SetResultFigures(const std::string& c, const std::string& s, const std::string& u) override {
    count = c;
    size = s;
    unit = u;
  }
  void SetHint(const std::string& text, bool) override { hints.push_back(text); }
  void SetCleanGaugeVisible(bool) override {}
  void SetCleanVisible(bool clean) override { cleanVisible = clean; }
};

// The findings of finders run on a fresh check tree.
struct Found {
  using Finder = void (*)(TEvidenceTree&, int, TResultContents&, const TExcludeContents&);
  TEvidenceTree tree;
  TSectionList lists[kCategoryCount];
  TResultContents results;
  Found() {
    for (int c = 0; c < kCategoryCount; ++c) BuildEvidenceItemList(c, lists[c]);
    tree.Build(lists);
  }
  Found& Run(Finder finder, int node, const TExcludeContents& excludes = {}) {
    finder(tree, node, results, excludes);
    return *this;
  }
  int Count(int node) const { return tree.Nodes[node].Rec->Count; }
  std::vector<std::string> Field(std::string TResultContentItem::*field) const {
    std::vector<std::string> values;
    for (int i = 0; i < results.Count(); ++i) values.push_back(results.GetItem(i).*field);
    return values;
  }
  std::vector<std::string> Names() const { return Field(&TResultContentItem::Name); }
};

class PrivacyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSharedState();
    Settings.SelectAll = true;
  }
  void TearDown() override {
    SetProcessMessagesHook(nullptr);
    win::SetRandomGenerator(nullptr);
    win::SetBeforeUnlinkHook(nullptr);
    win::SetAfterFlushHook(nullptr);
    ResetSharedState();
  }
};

}  // namespace privacy_test
