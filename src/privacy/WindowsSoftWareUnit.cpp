#include "privacy/WindowsSoftWareUnit.h"

#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "privacy/EvidenceCleanUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace {

constexpr const char* kSection = "Microsoft Windows";
const std::string kMicrosoft = "Software\\Microsoft\\";
const std::string kApplets = kMicrosoft + "Windows\\CurrentVersion\\Applets\\";
constexpr TRegistryItem kPaint{kSection, "Paint", "Clean Paint History"};
constexpr TRegistryItem kWordPad{kSection, "WordPad", "Clean WordPad History"};
constexpr TRegistryItem kMediaPlayer{kSection, "Media Player History_List", "Clean MediaPlayer History"};
constexpr TRegistryItem kFrontPageExpress{kSection, "Microsoft Frontpage Express", "Clean Frontpage Express History"};
constexpr TRegistryItem kHelpWorkshop{kSection, "Microsoft Help Workshop", "Clean Microsoft Help Workshop History"};

// Records every value of each key, in order, as one item.
void ScanValueLists(const TRegistryItem& item, const std::vector<std::string>& keys, TEvidenceTree& Tree,
                    int NodeIndex, TResultContents& Results, const TExcludeContents& ExcludeList) {
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  for (const auto& key : keys) {
    if (ScanState == 2) break;
    RecordValueTexts(recorder, item, key, ExcludeList);
  }
}

// The Office 9.0 key and its Outlook, Word and Access variants of one path.
std::vector<std::string> OfficeVariants(const std::string& tail) {
  std::vector<std::string> keys;
  for (const char* version : {"9.0", "Access", "Outlook", "Word"})
    keys.push_back(std::string("Software\\Microsoft\\Office\\") + version + "\\" + tail);
  return keys;
}

void Append(std::vector<std::string>& keys, const std::vector<std::string>& more) {
  keys.insert(keys.end(), more.begin(), more.end());
}

}  // namespace

void ScanPaintHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                      const TExcludeContents& ExcludeList) {
  ScanValueLists(kPaint, {kApplets + "Paint\\Recent File List"}, Tree, NodeIndex, Results, ExcludeList);
}

void ScanWordPadHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList) {
  ScanValueLists(kWordPad, {kApplets + "Wordpad\\Recent File List"}, Tree, NodeIndex, Results, ExcludeList);
}

void ScanMediaPlayerHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                            const TExcludeContents& ExcludeList) {
  ScanValueLists(kMediaPlayer, {kMicrosoft + "MediaPlayer\\Player\\RecentFileList"}, Tree, NodeIndex, Results,
                 ExcludeList);
}

void ScanFrontPageExpressHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                                 const TExcludeContents& ExcludeList) {
  ScanValueLists(kFrontPageExpress, {kMicrosoft + "FrontPad\\FrontPage Editor\\Recent File List"}, Tree, NodeIndex,
                 Results, ExcludeList);
}

void ScanHelpWorkshopHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList) {
  ScanValueLists(kHelpWorkshop, {kMicrosoft + "Microsoft Help Workshop\\Recent File List"}, Tree, NodeIndex,
                 Results, ExcludeList);
}

void ScanOfficeHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  std::vector<std::string> keys;
  for (const char* group : {"MRUFlags", "MRU"})
    for (int n = 5; n >= 1; --n)
      keys.push_back(std::string("Software\\Microsoft\\Office\\9.0\\Access\\Settings\\") + group +
                     std::to_string(n));
  ScanValueLists({kSection, "Microsoft Office", "Clean Microsoft Office"}, keys, Tree, NodeIndex, Results,
                 ExcludeList);
}

void ScanPublisherHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                          const TExcludeContents& ExcludeList) {
  ScanValueLists({kSection, "Microsoft Publisher", "Clean Microsoft Publisher"},
                 OfficeVariants("Publisher\\Recent File List"), Tree, NodeIndex, Results, ExcludeList);
}

void ScanFrontPageHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                          const TExcludeContents& ExcludeList) {
  const std::string openFind = "Common\\Open Find\\Microsoft FrontPage\\Settings\\";
  const std::string explorer = "Software\\Microsoft\\FrontPage\\Explorer\\FrontPage Explorer\\";
  const std::string editor = "Software\\Microsoft\\FrontPage\\Editor\\";
  std::vector<std::string> keys = OfficeVariants(openFind + "Open File\\File Name MRU");
  keys.push_back(explorer + "Recent Web List");
  keys.push_back(explorer + "Recent File List");
  keys.push_back(editor + "Recently Used URLs");
  Append(keys, OfficeVariants(openFind + "Open Web\\File Name MRU"));
  Append(keys, OfficeVariants(openFind + "Save As\\File Name MRU"));
  keys.push_back(editor + "Insert Hyperlink\\Recently Used URLs");
  keys.push_back(editor + "Insert Image\\Recently Used URLs");
  ScanValueLists({kSection, "Microsoft FrontPage", "Clean Microsoft FrontPage"}, keys, Tree, NodeIndex, Results,
                 ExcludeList);
}

void ScanNetmeetingHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                           const TExcludeContents& ExcludeList) {
  constexpr const char* kGroups = "UNICODE Program Groups";
  const TRegistryItem item{kSection, "Microsoft Netmeeting", "Clean Microsoft Netmeeting"};
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  // Each finding names one value of the key.
  const auto shared = SharedKey(false, &TResultContentItem::Name);
  ForEachUserValue(kGroups, [&](win::TRegistry&, const std::string& name, const std::string& keyPath) {
    if (IsExcludedValue(item.ItemName, keyPath, ExcludeList, "")) return;
    TResultContentItem& finding = recorder.AddRegistry(kKindKey, item, keyPath);
    finding.Name = name;
    finding.Shared = shared;
    recorder.Recorded();
  });
}

void ScanMsnMessengerHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList) {
  ScanValueLists({kSection, "Microsoft MSN_Messenger", "Clean Microsoft MSN Messenger"},
                 {"Software\\Microsoft\\MessengerService\\PhoneMRU"}, Tree, NodeIndex, Results, ExcludeList);
}

void ScanMsdnHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                     const TExcludeContents& ExcludeList) {
  ScanValueLists({kSection, "MSDN Project MRU_List", "Clean MSDN Project MRU List"}, {"Software\\Microsoft\\MSDN"},
                 Tree, NodeIndex, Results, ExcludeList);
}

void ScanWinRarHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  ScanValueLists({kSection, "WinRAR History", "Clean WinRAR History"},
                 {"Software\\WinRAR\\ArcHistory", "Software\\WinRAR\\DialogEditHistory\\ExtrPath"}, Tree,
                 NodeIndex, Results, ExcludeList);
}

void ScanWinZipHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  const TRegistryItem item{kSection, "WinZip History", "Clean WinZip History"};
  const std::string winZip = "Software\\Nico Mak Computing\\WinZip\\";
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  for (const char* list : {"extract", "filemenu"}) {
    if (ScanState == 2) return;
    RecordValueTexts(recorder, item, winZip + list, ExcludeList);
  }
  if (ScanState == 2) return;
  // Of the remembered folders only these three are history.
  RecordValueTexts(recorder, item, winZip + "directories", ExcludeList,
                   [](win::TRegistry&, const std::string& name) {
    const std::string upper = win::UpperName(name);
    return upper == "DEFDIR" || upper == "EXTRACTTO" || upper == "EXTRACT";
  });
}

void ScanZipMagicHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList) {
  const std::string zipMagic = "Software\\Mijenix\\ZipMagic\\CurrentVersion\\";
  ScanValueLists({kSection, "ZipMagic History", "Clean ZipMagic History"},
                 {zipMagic + "Recent", zipMagic + "Archive Manager\\UnZip To", zipMagic + "Zip To"}, Tree,
                 NodeIndex, Results, ExcludeList);
}

void ScanASPackHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  constexpr const char* kOptions = "Software\\ASPack\\Options";
  const TRegistryItem item{kSection, "ASPack History", "Clean ASPack History"};
  std::string text;
  {
    win::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(kOptions)) return;
    text = registry.ReadString("OD_FileName").value_or(std::string());
  }
  const std::string keyPath = CurrentUserPath(kOptions);
  if (text.empty() || IsExcludedValue(item.ItemName, keyPath, ExcludeList, text)) return;
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  TResultContentItem& finding = recorder.AddRegistry(kKindValueData, item, keyPath);
  finding.Name = "OD_FileName";
  finding.Data = text;
  recorder.Recorded();
}

void ScanACDSeeHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  const TRegistryItem item{kSection, "ACDSee History", "Clean ACDSee History"};
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  struct Folder {
    const char* name;
    const char* data;  // what an exclusion compares
  };
  for (const Folder folder : {Folder{"LastFolder", ""}, Folder{"OpenFolder", "OpenFolder"}}) {
    const std::string subKey = std::string("Software\\ACD Systems\\ACDSee\\") + folder.name;
    win::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    const std::string keyPath = CurrentUserPath(subKey);
    if (!registry.KeyExists(subKey) || IsExcludedValue(item.ItemName, keyPath, ExcludeList, folder.data)) continue;
    TResultContentItem& finding = recorder.AddRegistry(kKindKey, item, keyPath);
    finding.Name = folder.name;
    recorder.Recorded();
  }
}
