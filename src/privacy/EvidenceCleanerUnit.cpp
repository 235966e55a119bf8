#include "privacy/EvidenceCleanerUnit.h"

#include <algorithm>
#include <cstdio>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "privacy/ExclusionSignatureUnit.h"
#include "privacy/IneterNetExploerUnit.h"
#include "privacy/InternetSoftWareUnit.h"
#include "privacy/WindowSystemUnit.h"
#include "privacy/WindowsSoftWareUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/PublicFunctionUnit.h"

namespace {

void FindNothing(TEvidenceTree&, int, TResultContents&, const TExcludeContents&) {}

// The user's decimal separator (Control Panel\International, "." without one).
std::string DecimalSeparator() {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (registry.OpenKeyReadOnly("Control Panel\\International"))
    if (const auto text = registry.ReadString("sDecimal"); text && !text->empty()) return *text;
  return ".";
}

// "%f" of a value: two decimals with the user's separator.
std::string FloatText(double value, const std::string& separator) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string result = text;
  const auto dot = result.find('.');
  if (dot != std::string::npos) result.replace(dot, 1, separator);
  return result;
}

const std::string& FieldOf(const TResultContentItem& f, ShownField field) {
  switch (field) {
    case ShownField::Name: return f.Name;
    case ShownField::Data: return f.Data;
    case ShownField::KeyName: return f.KeyName;
    case ShownField::Path: return f.Path;
    case ShownField::FirefoxUrl: return f.FirefoxUrl;
    case ShownField::FirefoxCookie: return f.FirefoxCookie;
    case ShownField::FirefoxCacheFile: return f.FirefoxCacheFile;
    case ShownField::NetscapeUrl: return f.NetscapeUrl;
    case ShownField::NetscapeCookie: return f.NetscapeCookie;
    case ShownField::NetscapeCacheFile: return f.NetscapeCacheFile;
  }
  return f.Name;
}

// The item of its category that a finding belongs to; null for none.
const TEvidenceItemInfo* ItemOfFinding(int category, const TResultContentItem& finding) {
  for (int index = 1; index <= kCategoryItemCounts[category]; ++index) {
    const TEvidenceItemInfo* info = EvidenceItemInfo(category, index);
    if (info->Kind >= 0 ? finding.Kind == info->Kind && finding.Description.empty()
                        : finding.Description == info->Description)
      return info;
  }
  return nullptr;
}

// Items whose own view shows the finding's KeyName as the row's Data.
bool ShowsKeyNameAsData(int category, int index) {
  return category == 2 && (index == 4 || index == 5 || index == 10 || index == 13);
}

bool IsRecycleBinFinding(const TResultContentItem& finding) {
  return finding.Description == "Clean RecycleBin";
}

}  // namespace

std::vector<TEvidenceFinder> DefaultFinders(int category) {
  std::vector<TEvidenceFinder> finders(category >= 0 && category < kCategoryCount
                                           ? static_cast<std::size_t>(kCategoryItemCounts[category])
                                           : 0,
                                       FindNothing);
  if (category == 0) {
    finders = {ScanIECache,        ScanIEAddressBarHistory,   ScanIECookies,
               ScanIEFavorites,    ScanIEFavoritesExportFile, ScanIEFavoritesImportFolder,
               ScanIEAutoComplete, ScanIEDownloadDirectory,   ScanIESaveDirectory};
  } else if (category == 1) {
    finders = {ScanPaintHistory,        ScanWordPadHistory,      ScanMediaPlayerHistory,
               ScanFrontPageExpressHistory, ScanHelpWorkshopHistory, ScanOfficeHistory,
               ScanPublisherHistory,    ScanFrontPageHistory,    ScanNetmeetingHistory,
               ScanMsnMessengerHistory, ScanMsdnHistory,         ScanWinRarHistory,
               ScanWinZipHistory,       ScanZipMagicHistory,     ScanASPackHistory,
               ScanACDSeeHistory};
  } else if (category == 2) {
    finders = {ScanRunHistory,          ScanSendTo,                 ScanRecentFiles,
               ScanTelnetHistory,       ScanNetworkPlaces,          ScanMapNetworkDriveHistory,
               ScanOpenWithHistory,     ScanMmcHistory,             ScanRegeditHistory,
               ScanStartMenuClickHistory, ScanStartMenuOrderHistory, ScanTrayNotifyHistory,
               ScanShareFolders,        ScanMuiCache,               ScanRecycleBin};
  } else if (category == 3) {
    finders = {ScanRealDownload,   ScanGetRight,       ScanDownloadAccelerator, ScanKazaa,
               ScanFirefoxHistory, ScanFirefoxCookies, ScanFirefoxCache,        ScanNetscapeHistory,
               ScanNetscapeCookies, ScanNetscapeCache};
  }
  return finders;
}

std::string SizeKBText(std::int64_t bytes) {
  return FloatText(static_cast<double>(bytes) / 1024.0, DecimalSeparator());
}

void TotalSizeText(std::int64_t bytes, std::string& size, std::string& unit) {
  if (bytes < 1024) {
    size = std::to_string(bytes);
    unit = "B";
  } else if (bytes < 1048576) {
    size = FloatText(static_cast<double>(bytes) / 1024.0, DecimalSeparator());
    unit = "KB";
  } else {
    size = FloatText(static_cast<double>(bytes) / 1048576.0, DecimalSeparator());
    unit = "MB";
  }
}

std::string ResultHintText(std::int32_t N, std::int64_t S) {
  if (N < 1 && S < 1) return {};
  const std::string n = std::to_string(N);
  if (S == 0) return n + " items found.";
  const std::string head = n + " items found that can free ";
  if (S < 1024) return head + std::to_string(S) + " Bytes hard disk space.";
  if (S < 1048576)
    return head + FloatText(static_cast<double>(S) / 1024.0, DecimalSeparator()) + " KB hard disk space.";
  return head + FloatText(static_cast<double>(S) / 1048576.0, DecimalSeparator()) + " MB hard disk space.";
}

TEvidenceCleaner::TEvidenceCleaner() {
  for (int category = 0; category < kCategoryCount; ++category) {
    BuildEvidenceItemList(category, ItemLists[category]);
    Finders[category] = DefaultFinders(category);
  }
}

void TEvidenceCleaner::SetView(EvidenceCleanerView* view) {
  View = view;
  CheckTree.View = view;
}

// ---- Tabs ------------------------------------------------------------------

void TEvidenceCleaner::FormShow() {
  LoadExclusions();
  ScanBtnClick();
}

void TEvidenceCleaner::ScanBtnClick() {
  if (scanning_) return;
  if (!cleanVisible_) FinishCleaning();
  BuildItemTree();
  if (View) View->ShowPage(kScanPage);
}

void TEvidenceCleaner::ResultBtnClick() {
  if (!scanning_ && View) View->ShowPage(kResultPage);
}

void TEvidenceCleaner::ExcludeBtnClick() {
  if (scanning_) return;
  BuildExcludeTree();
  if (View) View->ShowPage(kExcludePage);
}

void TEvidenceCleaner::AdvancedBtnClick() {
  if (!scanning_ && View) View->ShowPage(kAdvancedPage);
}

// ---- Check tree --------------------------------------------------------------

void TEvidenceCleaner::BuildItemTree() { CheckTree.Build(ItemLists.data()); }

void TEvidenceCleaner::CheckNodeStateClick(int node) {
  if (scanning_ || node < 0 || node >= CheckTree.Count()) return;
  CheckTree.Selected = node;
  TEvidenceNode& pressed = CheckTree.Nodes[node];
  std::vector<int> changed;
  if (pressed.Level == 0) {
    const std::uint8_t value = pressed.StateIndex == kStateUnticked ? 1 : 0;
    for (int i = 0; i < CheckTree.Count(); ++i) {
      CheckTree.SetChecked(i, value);
      changed.push_back(i);
    }
  } else if (pressed.Level == 1) {
    const std::uint8_t value = pressed.StateIndex == kStateTicked ? 0 : 1;
    for (int i = node + 1; i < CheckTree.Count() && CheckTree.Nodes[i].Level == 2; ++i) {
      CheckTree.SetChecked(i, value);
      changed.push_back(i);
    }
    CheckTree.SetChecked(node, value);
    changed.push_back(node);
  } else {
    CheckTree.SetChecked(node, pressed.Rec->Checked ? 0 : 1);
    changed.push_back(node);
  }
  CheckTree.Changed(changed);
}

int TEvidenceCleaner::CountTickedItems() const {
  int count = 0;
  for (const auto& node : CheckTree.Nodes)
    if (node.Level == 2 && node.StateIndex == kStateTicked) ++count;
  return count;
}

// ---- Scan ------------------------------------------------------------------

void TEvidenceCleaner::ScanNowBtnClick() {
  if (scanning_) return;
  if (IsFirefoxRunning()) {
    CurrentDialogs().MessageBox("Mozilla Firefox is running, please close Firefox!", "Fernwick",
                                MB_OK | MB_ICONWARNING);
    return;
  }
  if (CheckTree.Empty()) BuildItemTree();
  BusyGuard busy;
  scanning_ = true;
  ScanState = 1;
  const int ticked = CountTickedItems();
  scanGauge_ = 0;
  scanGaugeMax_ = ticked;
  if (View) {
    View->SetScanRunning(true);
    View->SetScanGauge(0, ticked);
  }
  for (auto& results : Results) results.Clear();
  ClearResultRows();
  for (auto& node : CheckTree.Nodes) node.Rec->Count = 0;
  CheckTree.SumCounts();

  FoundCount = 0;
  for (int category = 0; category < kCategoryCount; ++category) {
    if (category > 0 && ScanState == 2) break;
    ScanCategory(category);
    FoundCount += Results[category].Count();
  }

  if (FoundCount < 1) {
    ResultNodes.clear();
    ResultStates.clear();
    ResultSelected = -1;
    if (View) {
      View->SetResultFigures("0", "0", "B");
      View->ResultRowsChanged();
      View->ResultTreeRebuilt();
      View->SetHint("", false);
    }
  } else {
    BuildResultTree();
  }
  scanning_ = false;
  if (View) {
    View->SetScanRunning(false);
  }
  ScanState = 0;
  ResultBtnClick();
}

void TEvidenceCleaner::ScanCategory(int category) {
  Results[category].Clear();
  if (View) View->SetBusyAnimation(true);
  const int first = kCategoryFirstNode[category];
  for (int p = 0; p < kCategoryItemCounts[category]; ++p) {
    if (ScanState == 2) break;
    const int node = first + p;
    if (node >= CheckTree.Count() || CheckTree.Nodes[node].StateIndex != kStateTicked) continue;
    CheckTree.Nodes[node].ImageIndex = kImageBusyFirst;
    if (View) View->SetBusyNode(node);
    const TEvidenceFinder& finder = Finders[category][static_cast<std::size_t>(p)];
    if (finder) finder(CheckTree, node, Results[category], ExcludeList);
    CheckTree.Nodes[node].ImageIndex = kImageItem;
    if (View) {
      View->SetBusyNode(-1);
      View->NodesChanged({node});
      View->SetScanGauge(++scanGauge_, scanGaugeMax_);
    }
  }
  if (View) View->SetBusyAnimation(false);
}

void TEvidenceCleaner::AbortBtnClick() {
  if (scanning_) ScanState = 2;
}

// ---- Result views ------------------------------------------------------------

std::string TEvidenceCleaner::NodeText(int checkNode) const {
  const TEvidenceNode& node = CheckTree.Nodes[checkNode];
  return node.Level == 2 ? node.Rec->ItemName : node.Rec->CategoryName;
}

void TEvidenceCleaner::ClearResultRows() {
  ResultRows.clear();
  if (View) View->ResultRowsChanged();
}

void TEvidenceCleaner::BuildResultTree() {
  ResultNodes.clear();
  ResultSelected = -1;
  for (int i = 0; i < CheckTree.Count(); ++i) {
    const TEvidenceNode& node = CheckTree.Nodes[i];
    if (node.Level == 0 || node.Rec->Count > 0) ResultNodes.push_back(i);
  }
  // An item whose category has no count would hang under the wrong
  // category; each item sits under its own category node.
  std::vector<int> kept;
  for (int i : ResultNodes) {
    const TEvidenceNode& node = CheckTree.Nodes[i];
    if (node.Level == 2 && (kept.empty() || std::find(kept.begin(), kept.end(), node.Parent) == kept.end()))
      continue;
    kept.push_back(i);
  }
  ResultNodes = std::move(kept);
  ResultStates.clear();
  for (int i : ResultNodes) ResultStates.push_back(CheckTree.Nodes[i].StateIndex);
  if (View) View->ResultTreeRebuilt();
  if (!ResultNodes.empty()) ResultTreeViewChange(0);
  ShowResultHint();
}

void TEvidenceCleaner::ResultTreeViewChange(int resultNode) {
  if (resultNode < 0 || resultNode >= static_cast<int>(ResultNodes.size())) return;
  ResultSelected = resultNode;
  const int checkNode = ResultNodes[static_cast<std::size_t>(resultNode)];
  const TEvidenceNode& node = CheckTree.Nodes[checkNode];
  if (View) View->SetResultCaption(" " + NodeText(checkNode));
  if (node.Level == 0) {
    bool append = false;
    for (int i : ResultNodes) {
      if (CheckTree.Nodes[i].Level != 1) continue;
      FillResultRows(CheckTree.Nodes[i].Rec->Category, 0, append);
      append = true;
    }
    if (!append) FillResultRows(0, -1, false);
  } else if (node.Level == 1) {
    FillResultRows(node.Rec->Category, 0, false);
  } else {
    FillResultRows(node.Rec->Category, node.Rec->Index, false);
  }
}

bool TEvidenceCleaner::FindingOfItem(const TResultContentItem& finding,
                                     const TEvidenceItemInfo& info) const {
  return info.Kind >= 0 ? finding.Kind == info.Kind && finding.Description.empty()
                        : finding.Description == info.Description;
}

void TEvidenceCleaner::FillResultRows(int Category, int Index, bool Append) {
  if (!Append) {
    ResultRows.clear();
    TotalEvidenceSize = 0;
  }
  if (Category >= 0 && Category < kCategoryCount && Index >= 0) {
    const TEvidenceItemInfo* only = Index == 0 ? nullptr : EvidenceItemInfo(Category, Index);
    TResultContents& results = Results[Category];
    if (Index == 0 || only) {
      ResultRows.reserve(ResultRows.size() + static_cast<std::size_t>(results.Count()));
      for (std::int32_t i = 0; i < results.Count(); ++i) {
        TResultContentItem& finding = results.GetItem(i);
        if (only && !FindingOfItem(finding, *only)) continue;
        const TEvidenceItemInfo* info = only ? only : ItemOfFinding(Category, finding);
        TResultItem row;
        row.Finding = &finding;
        row.Category = Category;
        if (info) {
          row.ShownName = FieldOf(finding, info->Shown);
          if (row.ShownName.empty()) row.ShownName = !finding.Name.empty() ? finding.Name : finding.KeyName;
        }
        row.Data = only && ShowsKeyNameAsData(Category, Index) ? finding.KeyName : finding.Data;
        TotalEvidenceSize += finding.Size;
        ResultRows.push_back(std::move(row));
      }
    }
  }
  ShowFigures();
  if (View) View->ResultRowsChanged();
}

void TEvidenceCleaner::ShowFigures() {
  TotalSizeText(TotalEvidenceSize, shownSize_, shownUnit_);
  if (View) View->SetResultFigures(std::to_string(ResultRows.size()), shownSize_, shownUnit_);
}

std::array<std::string, 7> TEvidenceCleaner::RowTexts(int row) const {
  const TResultItem& r = ResultRows.at(static_cast<std::size_t>(row));
  const TResultContentItem& f = *r.Finding;
  return {f.ItemName, r.ShownName, SizeKBText(f.Size), f.Cleaned ? "Deleted" : "",
          f.Name,     r.Data,      f.Path};
}

void TEvidenceCleaner::SetResultsChecked(int Category, int Index, std::uint8_t Value) {
  if (Category < 0 || Category >= kCategoryCount) return;
  const TEvidenceItemInfo* only = Index == 0 ? nullptr : EvidenceItemInfo(Category, Index);
  if (Index != 0 && !only) return;
  TResultContents& results = Results[Category];
  for (std::int32_t i = 0; i < results.Count(); ++i) {
    TResultContentItem& finding = results.GetItem(i);
    if (!only || FindingOfItem(finding, *only)) finding.Checked = Value;
  }
}

void TEvidenceCleaner::ResultRowStateClick(int row) {
  if (row >= 0 && row < static_cast<int>(ResultRows.size())) {
    TResultContentItem& finding = *ResultRows[static_cast<std::size_t>(row)].Finding;
    finding.Checked = finding.Checked == 1 ? 0 : 1;
    if (View) View->ResultRowsChanged();
  }
  ShowResultHint();
}

void TEvidenceCleaner::ResultTreeStateClick(int resultNode) {
  if (resultNode < 0 || resultNode >= static_cast<int>(ResultNodes.size())) return;
  const int checkNode = ResultNodes[static_cast<std::size_t>(resultNode)];
  TEvidenceNode& node = CheckTree.Nodes[checkNode];
  // The new value is the opposite of what this tree shows.
  const std::uint8_t value = ResultStates[static_cast<std::size_t>(resultNode)] == kStateTicked ? 0 : 1;
  const auto tick = [&](std::size_t at) {
    ResultStates[at] = value ? kStateTicked : kStateUnticked;
    CheckTree.SetChecked(ResultNodes[at], value);
  };
  for (std::size_t at = 0; at < ResultNodes.size(); ++at) {
    const int i = ResultNodes[at];
    if (node.Level == 0 || i == checkNode || (node.Level == 1 && CheckTree.Nodes[i].Parent == checkNode)) tick(at);
  }
  if (node.Level == 0) {
    for (int category = 0; category < kCategoryCount; ++category) SetResultsChecked(category, 0, value);
  } else if (node.Level == 1) {
    SetResultsChecked(node.Rec->Category, 0, value);
  } else {
    SetResultsChecked(node.Rec->Category, node.Rec->Index, value);
  }
  if (View) View->ResultTreeChanged();
  ResultTreeViewChange(resultNode);
  ShowResultHint();
}

void TEvidenceCleaner::ShowResultHint() {
  std::int32_t n = 0;
  std::int64_t s = 0;
  for (const auto& results : Results) {
    for (std::int32_t i = 0; i < results.Count(); ++i) {
      const TResultContentItem& finding = results.GetItem(i);
      if (finding.Checked != 1 || finding.Cleaned == 1) continue;
      ++n;
      s += finding.Size;
    }
  }
  if (View) View->SetHint(ResultHintText(n, s), !(n < 1 && s < 1));
}

void TEvidenceCleaner::CountItemResults(int Category, int Index, TSectionRec& Record) const {
  const TEvidenceItemInfo* info = EvidenceItemInfo(Category, Index);
  if (!info) return;
  const TResultContents& results = Results[Category];
  for (std::int32_t i = 0; i < results.Count(); ++i)
    if (FindingOfItem(results.GetItem(i), *info)) ++Record.Count;
}

// ---- Clean and finish ----------------------------------------------------------

void TEvidenceCleaner::CleanBtnClick() {
  if (scanning_ || !cleanVisible_ || ResultNodes.empty()) return;
  BusyGuard busy;
  if (View) {
    View->ShowStepName("");
    View->SetHint("", false);
    View->SetCleanGauge(0);
    View->SetCleanGaugeVisible(true);
  }
  TCleanProgress progress;
  progress.View = View;
  for (const auto& results : Results)
    for (std::int32_t i = 0; i < results.Count(); ++i)
      if (results.GetItem(i).Checked == 1 && results.GetItem(i).Cleaned == 0) ++progress.Total;

  for (int checkNode : ResultNodes) {
    const TEvidenceNode& node = CheckTree.Nodes[checkNode];
    if (node.Level != 1) continue;
    const int category = node.Rec->Category;
    if (category != 2) {
      CleanEvidences(Results[category], progress, {}, &ExcludeList);
      continue;
    }
    // The bins are emptied as a whole only when the user let every recycled
    // file go; otherwise only the ticked ones are wiped.
    TResultContents& results = Results[category];
    bool any = false;
    bool allTicked = true;
    for (std::int32_t i = 0; i < results.Count(); ++i) {
      const TResultContentItem& finding = results.GetItem(i);
      if (!IsRecycleBinFinding(finding)) continue;
      any = true;
      allTicked = allTicked && finding.Checked == 1;
    }
    bool excluded = false;
    for (std::int32_t i = 0; i < ExcludeList.Count(); ++i)
      excluded = excluded || ExcludeList.GetItem(i).ItemName == "RecycleBin";
    const bool emptyBins = any && allTicked && !excluded;
    CleanEvidences(
        results, progress,
        [emptyBins](const TResultContentItem& finding) { return emptyBins && IsRecycleBinFinding(finding); },
        &ExcludeList);
    if (!emptyBins) continue;
    std::vector<std::string> folders;
    ListRecycledFolders(folders);
    std::vector<std::string> roots;
    for (const auto& folder : folders) roots.push_back(folder.substr(0, 3));
    EmptyRecycleBins(roots);
    for (std::int32_t i = 0; i < results.Count(); ++i) {
      TResultContentItem& finding = results.GetItem(i);
      if (!IsRecycleBinFinding(finding) || finding.Checked != 1 || finding.Cleaned == 1) continue;
      if (win::GetFileAttributes(finding.Path) != win::INVALID_FILE_ATTRIBUTES) continue;
      finding.Cleaned = 1;
      progress.Removed();
    }
  }

  std::int32_t failed = 0;
  for (const auto& results : Results)
    for (std::int32_t i = 0; i < results.Count(); ++i)
      if (results.GetItem(i).Checked == 1 && results.GetItem(i).Cleaned == 0) ++failed;
  if (View) {
    View->SetCleanGauge(0);
    View->SetCleanGaugeVisible(false);
    View->ShowStepName("");
    View->SetHint("", false);
  }
  if (failed == 0) {
    CurrentDialogs().MessageBox("Evidences were successfully cleaned!", "Fernwick",
                                MB_OK | MB_ICONINFORMATION);
  } else {
    CurrentDialogs().MessageBox(std::to_string(failed) + " of " + std::to_string(progress.Total) +
                                    " evidences could not be cleaned.",
                                "Fernwick", MB_OK | MB_ICONWARNING);
  }
  cleanVisible_ = false;
  if (View) View->SetCleanVisible(false);
  BuildResultTree();
  if (View) View->SetHint("", false);
}

std::int32_t TEvidenceCleaner::DropCleanedResults(TResultContents& Results) {
  return Results.DeleteIf([](const TResultContentItem& finding) { return finding.Cleaned == 1; });
}

void TEvidenceCleaner::RecountItems() {
  for (auto& node : CheckTree.Nodes) {
    if (node.Level != 2) continue;
    node.Rec->Count = 0;
    CountItemResults(node.Rec->Category, node.Rec->Index, *node.Rec);
  }
  CheckTree.SumCounts();
}

void TEvidenceCleaner::FinishCleaning() {
  // The rows point at findings about to go: empty them first.
  ResultRows.clear();
  FoundCount = 0;
  for (auto& results : Results) {
    DropCleanedResults(results);
    FoundCount += results.Count();
  }
  RecountItems();
  cleanVisible_ = true;
  if (View) View->SetCleanVisible(true);
  if (FoundCount > 0) {
    BuildResultTree();
  } else {
    ResultNodes.clear();
    ResultStates.clear();
    ResultSelected = -1;
    TotalEvidenceSize = 0;
    if (View) {
      View->ResultTreeRebuilt();
      View->SetResultFigures("0", "0", "B");
      View->ResultRowsChanged();
      View->SetHint("", false);
    }
  }
}

void TEvidenceCleaner::FinishBtnClick() {
  if (scanning_ || cleanVisible_) return;
  ScanBtnClick();
}

// ---- Exclusion list ------------------------------------------------------------

TExclusionFile TEvidenceCleaner::ExclusionFile() const {
  return ExcludeFileName.empty() ? TExclusionFile() : TExclusionFile(ExcludeFileName);
}

void TEvidenceCleaner::ExclusionNotSaved() const {
  CurrentDialogs().MessageBox("The exclusion list could not be saved.", "Fernwick", MB_OK | MB_ICONWARNING);
}

void TEvidenceCleaner::LoadExclusions() {
  // The finders read the list while a scan runs.
  if (scanning_) return;
  ExcludeRows.clear();
  ExclusionFile().Load(ExcludeList);
  if (CheckTree.Empty()) return;
  RefreshExcludeCounts();
  tvExcludeChange(ExcludeSelected);
}

bool TEvidenceCleaner::AddExclusion(const TExcludeContentItem& Entry) {
  for (std::int32_t i = 0; i < ExcludeList.Count(); ++i) {
    const TExcludeContentItem& e = ExcludeList.GetItem(i);
    if (e.ItemName == Entry.ItemName && e.Key == Entry.Key && e.ValueName == Entry.ValueName && e.Data == Entry.Data)
      return true;
  }
  if (!ExclusionFile().Append(Entry)) return false;
  ExcludeList.GetItem(ExcludeList.Add()) = Entry;
  return true;
}

void TEvidenceCleaner::Exclude1Click(int row) {
  if (scanning_ || row < 0 || row >= static_cast<int>(ResultRows.size())) return;
  // The row goes below: keep what is needed of it.
  TResultContentItem* finding = ResultRows[static_cast<std::size_t>(row)].Finding;
  const std::int32_t category = ResultRows[static_cast<std::size_t>(row)].Category;
  const TExclusionSignature signature = ExclusionSignature(*finding);
  TExcludeContentItem entry;
  entry.ItemName = finding->ItemName;
  entry.Key = signature.Key;
  entry.Data = signature.Data;
  // The entries compared by URL or file name carry no value name.
  if (entry.ItemName != "Cache" && entry.ItemName != "Cookies" && entry.ItemName != "Favorites")
    entry.ValueName = finding->Name;
  if (!AddExclusion(entry)) {
    ExclusionNotSaved();
    return;
  }
  ResultRows.erase(ResultRows.begin() + row);
  FoundCount -= Results[category].DeleteIf([finding](const TResultContentItem& f) { return &f == finding; });
  RecountItems();
  if (View) {
    View->ResultTreeChanged();
    View->SetResultFigures(std::to_string(ResultRows.size()), shownSize_, shownUnit_);
    View->ResultRowsChanged();
  }
  ShowResultHint();
}

int TEvidenceCleaner::ExcludeNodeOf(const TExcludeContentItem& entry) {
  int category = 0;
  int index = 0;
  if (!ItemOfFindingName(entry.ItemName, category, index)) return -1;
  return kCategoryFirstNode[category] + index - 1;
}

void TEvidenceCleaner::RefreshExcludeCounts() {
  ExcludeCounts.fill(0);
  for (std::int32_t i = 0; i < ExcludeList.Count(); ++i) {
    const int node = ExcludeNodeOf(ExcludeList.GetItem(i));
    if (node < 0) continue;
    ++ExcludeCounts[static_cast<std::size_t>(node)];
  }
  for (int category = 0; category < kCategoryCount; ++category) {
    int sum = 0;
    for (int p = 0; p < kCategoryItemCounts[category]; ++p)
      sum += ExcludeCounts[static_cast<std::size_t>(kCategoryFirstNode[category] + p)];
    ExcludeCounts[static_cast<std::size_t>(TEvidenceTree::CategoryNode(category))] = sum;
  }
  ExcludeCounts[0] = ExcludeList.Count();
  if (View) View->ExcludeCountsChanged();
}

void TEvidenceCleaner::BuildExcludeTree() {
  if (CheckTree.Empty()) BuildItemTree();
  ExcludeSelected = 0;
  RefreshExcludeCounts();
  if (View) View->ExcludeTreeRebuilt();
  tvExcludeChange(0);
}

void TEvidenceCleaner::tvExcludeChange(int node) {
  if (node < 0 || node >= CheckTree.Count()) return;
  ExcludeSelected = node;
  ExcludeRows.clear();
  const TEvidenceNode& selected = CheckTree.Nodes[node];
  for (std::int32_t i = 0; i < ExcludeList.Count(); ++i) {
    TExcludeContentItem& entry = ExcludeList.GetItem(i);
    const int item = ExcludeNodeOf(entry);
    const bool belongs = selected.Level == 0 ||
                         (selected.Level == 1 && item >= 0 && CheckTree.Nodes[item].Parent == node) ||
                         (selected.Level == 2 && item == node);
    if (belongs) ExcludeRows.push_back(&entry);
  }
  if (View) View->ExcludeRowsChanged();
}

std::string TEvidenceCleaner::ExcludeRowText(int row) const {
  const TExcludeContentItem& entry = *ExcludeRows.at(static_cast<std::size_t>(row));
  return entry.Data.empty() ? entry.Key : entry.Data;
}

std::int32_t TEvidenceCleaner::ExcludeIndexOf(const TExcludeContentItem* entry) const {
  for (std::int32_t i = 0; i < ExcludeList.Count(); ++i)
    if (&ExcludeList.GetItem(i) == entry) return i;
  return -1;
}

void TEvidenceCleaner::ModifyBtnClick(int row) {
  if (row < 0 || row >= static_cast<int>(ExcludeRows.size()) || !View) return;
  TExcludeContentItem* entry = ExcludeRows[static_cast<std::size_t>(row)];
  const std::string node = ExcludeSelected > 0 ? NodeText(ExcludeSelected) : std::string();
  const int item = node == "Address Bar History" ? 0 : node == "Cookies" ? 1 : node == "Favorites" ? 2 : -1;
  std::string text = ExcludeRowText(row);
  if (!View->AskExcludeText("Modify Exclude Item", item, text)) return;
  TExcludeContentItem changed = *entry;
  (changed.Data.empty() ? changed.Key : changed.Data) = text;
  if (!ExclusionFile().Replace(ExcludeIndexOf(entry), *entry, changed)) {
    ExclusionNotSaved();
    return;
  }
  *entry = changed;
  View->ExcludeRowsChanged();
}

void TEvidenceCleaner::RemoveBtnClick(int row) {
  if (row < 0 || row >= static_cast<int>(ExcludeRows.size())) return;
  TExcludeContentItem* entry = ExcludeRows[static_cast<std::size_t>(row)];
  const std::int32_t index = ExcludeIndexOf(entry);
  if (index < 0) return;
  if (!ExclusionFile().Remove(index, *entry)) {
    ExclusionNotSaved();
    return;
  }
  ExcludeRows.erase(ExcludeRows.begin() + row);
  ExcludeList.Delete(index);
  if (View) View->ExcludeRowsChanged();
  RefreshExcludeCounts();
}
