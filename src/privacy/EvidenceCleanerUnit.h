#pragma once
// The privacy cleaner without its window: the item lists, the check tree,
// the scan over the ticked items, the result tree and rows, the clean and
// the finish. The window (privacy/gui/EvidenceCleanerForm.h) implements
// EvidenceCleanerView and forwards its events here.

#include <array>
#include <string>
#include <vector>

#include "privacy/EvidenceCleanUnit.h"
#include "privacy/EvidenceTreeUnit.h"
#include "privacy/ExcludeItemUnit.h"
#include "privacy/ExcludeListUnit.h"
#include "privacy/FinderSupportUnit.h"
#include "privacy/ResourceUnit.h"
#include "privacy/ResultContentUnit.h"

// Notebook pages.
constexpr int kScanPage = 0;
constexpr int kResultPage = 1;
constexpr int kExcludePage = 2;
constexpr int kAdvancedPage = 3;

class EvidenceCleanerView : public EvidenceTreeView, public CleanProgressView {
 public:
  // Makes the tab of page bold, moves the highlight under it, shows page.
  virtual void ShowPage(int page) = 0;
  // "Scan Now" or "Cancel", and the scan gauge shown while running.
  virtual void SetScanRunning(bool running) = 0;
  virtual void SetScanGauge(int position, int maximum) = 0;
  // The busy animation, started (from its first frame) and stopped once per
  // category, and the check tree's node it shows on (-1: none).
  virtual void SetBusyAnimation(bool /*running*/) {}
  virtual void SetBusyNode(int node) = 0;
  // The result tree's nodes changed (ResultNodes, ResultSelected).
  virtual void ResultTreeRebuilt() = 0;
  // The result tree's ticks changed.
  virtual void ResultTreeChanged() = 0;
  // The rows changed (their number or their contents).
  virtual void ResultRowsChanged() = 0;
  virtual void SetResultCaption(const std::string& text) = 0;
  // "Items found" and "Size" with its unit.
  virtual void SetResultFigures(const std::string& count, const std::string& size,
                                const std::string& unit) = 0;
  // The red summary line; beside says whether it moves next to the step label.
  virtual void SetHint(const std::string& text, bool beside) = 0;
  virtual void SetCleanGaugeVisible(bool visible) = 0;
  // "Clean" (true) or "Finish" (false).
  virtual void SetCleanVisible(bool clean) = 0;
  // The exclusion page: its tree was rebuilt, its counts or its rows changed.
  virtual void ExcludeTreeRebuilt() {}
  virtual void ExcludeCountsChanged() {}
  virtual void ExcludeRowsChanged() {}
  // The exclusion dialog with the caption, the item preselected (0..2, -1
  // none) and text; true with the entered text on OK.
  virtual bool AskExcludeText(const std::string& /*caption*/, int /*item*/, std::string& /*text*/) {
    return false;
  }
};

// One row of the result list; it refers to its finding, never to a position.
struct TResultItem {
  TResultContentItem* Finding = nullptr;
  std::int32_t Category = 0;
  std::string ShownName;
  std::string Data;
};

class TEvidenceCleaner {
 public:
  TEvidenceCleaner();
  TEvidenceCleaner(const TEvidenceCleaner&) = delete;
  TEvidenceCleaner& operator=(const TEvidenceCleaner&) = delete;

  EvidenceCleanerView* View = nullptr;
  std::array<TSectionList, kCategoryCount> ItemLists;  // IE, WinSoft, WinSystem, NetSoft
  std::array<TResultContents, kCategoryCount> Results;
  TExcludeContents ExcludeList;
  std::vector<TResultItem> ResultRows;
  std::int32_t FoundCount = 0;
  TEvidenceTree CheckTree;
  // The result tree: check-tree node indexes, in tree order, and the state
  // image each node shows (its own: the Scan page resets the check tree's).
  std::vector<int> ResultNodes;
  std::vector<int> ResultStates;
  int ResultSelected = -1;  // position in ResultNodes
  // The exclusion file; empty means the one beside the program.
  std::string ExcludeFileName;
  // Exclusion counts of the exclusion tree's nodes (same indexes as the
  // check tree's), its selected node and the entries of its list.
  std::array<int, kEvidenceNodeCount> ExcludeCounts{};
  int ExcludeSelected = 0;
  std::vector<TExcludeContentItem*> ExcludeRows;
  // The finder of each position of each category.
  std::array<std::vector<TEvidenceFinder>, kCategoryCount> Finders;

  void SetView(EvidenceCleanerView* view);
  bool Scanning() const { return scanning_; }
  bool CleanVisible() const { return cleanVisible_; }

  // Tabs (ignored while a scan runs).
  void FormShow();
  void ScanBtnClick();
  void ResultBtnClick();
  void ExcludeBtnClick();
  void AdvancedBtnClick();

  // Check tree.
  void BuildItemTree();
  void CheckNodeStateClick(int node);
  int CountTickedItems() const;

  // Scan.
  void ScanNowBtnClick();
  void AbortBtnClick();

  // Result views.
  void BuildResultTree();
  void ResultTreeViewChange(int resultNode);
  void FillResultRows(int Category, int Index, bool Append);
  void SetResultsChecked(int Category, int Index, std::uint8_t Value);
  void ResultRowStateClick(int row);
  void ResultTreeStateClick(int resultNode);
  void ShowResultHint();
  void CountItemResults(int Category, int Index, TSectionRec& Record) const;
  std::string NodeText(int checkNode) const;
  // Column texts of a row: Item, Name, Size, Status, then the hidden Name,
  // Data and Path.
  std::array<std::string, 7> RowTexts(int row) const;

  // Exclusion list.
  void LoadExclusions();
  // Adds the entry unless the list holds it already and appends its line;
  // false when the line could not be saved (the list is then unchanged).
  bool AddExclusion(const TExcludeContentItem& Entry);
  // "Exclude" on a result row: the finding's exclusion entry, then the
  // finding leaves the results and the counts are worked out again.
  void Exclude1Click(int row);
  void BuildExcludeTree();
  void RefreshExcludeCounts();
  void tvExcludeChange(int node);
  // The row's text: its entry's Data, else its Key.
  std::string ExcludeRowText(int row) const;
  void ModifyBtnClick(int row);
  void RemoveBtnClick(int row);
  // The check-tree node of the item an entry belongs to; -1 for none.
  static int ExcludeNodeOf(const TExcludeContentItem& entry);

  // Clean and finish.
  void CleanBtnClick();
  void FinishBtnClick();
  static std::int32_t DropCleanedResults(TResultContents& Results);
  void RecountItems();

 private:
  void ScanCategory(int category);
  void ClearResultRows();
  void FinishCleaning();
  bool FindingOfItem(const TResultContentItem& finding, const TEvidenceItemInfo& info) const;
  void ShowFigures();
  TExclusionFile ExclusionFile() const;
  std::int32_t ExcludeIndexOf(const TExcludeContentItem* entry) const;
  void ExclusionNotSaved() const;

  bool scanning_ = false;
  bool cleanVisible_ = true;
  int scanGauge_ = 0;
  int scanGaugeMax_ = 0;
  // The "Size" figure shown, kept when a row is excluded.
  std::string shownSize_ = "0";
  std::string shownUnit_ = "KB";
};

// The finders of a category in position order (items without a finder yet
// find nothing).
std::vector<TEvidenceFinder> DefaultFinders(int category);

// Size text of a row ("%f" of bytes / 1024) and of a total with its unit,
// with the user's decimal separator.
std::string SizeKBText(std::int64_t bytes);
void TotalSizeText(std::int64_t bytes, std::string& size, std::string& unit);
// The red line for N ticked findings of S bytes.
std::string ResultHintText(std::int32_t N, std::int64_t S);
