#include "privacy/WindowSystemUnit.h"

#include <cctype>
#include <functional>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "privacy/EvidenceCleanUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace {

constexpr const char* kSection = "Microsoft Windows";
constexpr const char* kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
constexpr const char* kTelnet = "Software\\Microsoft\\Telnet";

void ScanValueList(const TRegistryItem& item, const std::string& subKey, TEvidenceTree& Tree, int NodeIndex,
                   TResultContents& Results, const TExcludeContents& ExcludeList,
                   const std::function<bool(win::TRegistry&, const std::string&)>& take = {}) {
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  RecordValueTexts(recorder, item, subKey, ExcludeList, take);
}

// Each subkey as a finding of the given kind with KeyName set; an
// exclusion with empty data for the key silences the item. A shared key
// loses the subkeys of the cleaned findings (kind 3).
void ScanSubKeys(const TRegistryItem& item, const std::string& subKey, std::int32_t kind, bool shared,
                 TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                 const TExcludeContents& ExcludeList) {
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  const auto target = shared ? SharedKey(true, &TResultContentItem::KeyName) : nullptr;
  ForEachUserSubKey(subKey, [&](const std::string& name, const std::string& keyPath) {
    if (IsExcludedValue(item.ItemName, keyPath, ExcludeList, "")) return;
    TResultContentItem& finding = recorder.AddRegistry(kind, item, keyPath);
    finding.KeyName = name;
    finding.Shared = target;
    recorder.Recorded();
  });
}

// Each value name as a finding without data, compared by its name; the
// kind-3 ones share the key, which goes once its values are cleaned.
void ScanValueNames(const TRegistryItem& item, const std::string& subKey, std::int32_t kind, TEvidenceTree& Tree,
                    int NodeIndex, TResultContents& Results, const TExcludeContents& ExcludeList) {
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  const auto target = kind == kKindKey ? SharedKey(false, &TResultContentItem::KeyName) : nullptr;
  ForEachUserValue(subKey, [&](win::TRegistry&, const std::string& name, const std::string& keyPath) {
    if (IsExcludedValue(item.ItemName, keyPath, ExcludeList, name)) return;
    TResultContentItem& finding = recorder.AddRegistry(kind, item, keyPath);
    (kind == kKindKey ? finding.KeyName : finding.Name) = name;
    finding.Shared = target;
    recorder.Recorded();
  });
}

}  // namespace

void ScanRunHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                    const TExcludeContents& ExcludeList) {
  ScanValueList({kSection, "Run History", "Clean RunMRU"}, std::string(kExplorer) + "RunMRU", Tree, NodeIndex,
                Results, ExcludeList);
}

void ScanSendTo(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                const TExcludeContents& ExcludeList) {
  const std::string folder = UserShellFolder("SendTo");
  if (!folder.empty()) ListShellFolderFiles(folder, Tree, NodeIndex, 0, Results, ExcludeList);
}

void ScanRecentFiles(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                     const TExcludeContents& ExcludeList) {
  const std::string folder = UserShellFolder("Recent");
  if (!folder.empty()) ListShellFolderFiles(folder, Tree, NodeIndex, 1, Results, ExcludeList);
}

void ListShellFolderFiles(const std::string& Folder, TEvidenceTree& Tree, int NodeIndex, int Mode,
                          TResultContents& Results, const TExcludeContents& ExcludeList) {
  const char* itemName = Mode == 0 ? "Windows Send To" : "Recent Files";
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  for (const auto& entry : ListFolderEntries(Folder)) {
    if (!ContinueScan()) break;
    if (!IsListedEntryAttribute(entry.Attributes)) continue;
    if (Mode == 0) {
      // The shell's own targets are no trace of the user.
      std::string lower = entry.Name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (lower.find(".desklink") != std::string::npos || lower.find(".mapimail") != std::string::npos ||
          lower.find(".mydocs") != std::string::npos)
        continue;
    }
    const std::string path = win::IncludeTrailingBackslash(Folder) + entry.Name;
    if (IsExcludedEntry(itemName, path, ExcludeList)) continue;
    TResultContentItem& item = recorder.Add();
    item.Kind = kKindFile;
    item.EntryType = "File";
    item.Section = kSection;
    item.Description = Mode == 0 ? "Clean Windows Send To" : "Clean Windows Recent Documents Files";
    item.ItemName = itemName;
    item.Name = entry.Name;
    item.Path = path;
    item.Size = entry.Size;
    TotalEvidenceSize += item.Size;
    recorder.Recorded();
  }
}

void ScanTelnetHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  ScanSubKeys({kSection, "Telnet Menu History", "Clean Telnet Menu History"}, kTelnet, kKindKey, true, Tree,
              NodeIndex, Results, ExcludeList);
}

void ScanNetworkPlaces(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  ScanSubKeys({kSection, "My Network Places", "Clean My Network Places"}, std::string(kTelnet) + "\\LastMachine",
              kKindKey, true, Tree, NodeIndex, Results, ExcludeList);
}

void ScanMapNetworkDriveHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                                const TExcludeContents& ExcludeList) {
  ScanValueList({kSection, "Map Network Drive History", "Clean Map Network Drive MRU"},
                std::string(kExplorer) + "Map Network Drive MRU", Tree, NodeIndex, Results, ExcludeList);
}

void ScanOpenWithHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList) {
  ScanValueNames({kSection, "Windows Explorer Open With History", "Clean Windows Explorer Open With History"},
                 std::string(kExplorer) + "otherFolder", kKindKey, Tree, NodeIndex, Results, ExcludeList);
}

void ScanMmcHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                    const TExcludeContents& ExcludeList) {
  ScanValueList({kSection, "Microsoft Management Console MRU List", "Clean Microsoft Management Console MRU List"},
                "Software\\Microsoft\\Microsoft Management Console\\Recent File List", Tree, NodeIndex, Results,
                ExcludeList);
}

void ScanRegeditHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList) {
  // A value finding naming a subkey: cleaning deletes that subkey.
  ScanSubKeys({kSection, "Regedit32 History", "Clean Regedit32 History"},
              "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", kKindValue, false, Tree,
              NodeIndex, Results, ExcludeList);
}

void ScanStartMenuClickHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                               const TExcludeContents& ExcludeList) {
  ScanValueNames({kSection, "Start Menu Click History", "Clean Start Menu Click History"},
                 std::string(kExplorer) + "UserAssist\\{75048700-EF1F-11D0-9888-006097DEACF9}\\Count", kKindKey,
                 Tree, NodeIndex, Results, ExcludeList);
}

void ScanStartMenuOrderHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                               const TExcludeContents& ExcludeList) {
  ScanValueNames({kSection, "Start Menu Order History", "Clean Start Menu Order History"},
                 std::string(kExplorer) + "UserAssist\\{5E6AB780-7743-11CF-A12B-00AA004AE837}\\Count", kKindValue,
                 Tree, NodeIndex, Results, ExcludeList);
}

void ScanTrayNotifyHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                           const TExcludeContents& ExcludeList) {
  const TRegistryItem item{kSection, "TrayNotify", "Clean TrayNotify History"};
  const std::string subKey = std::string(kExplorer) + "TrayNotify";
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly(subKey)) return;
  const std::string keyPath = CurrentUserPath(subKey);
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  struct Stream {
    const char* name;
    const char* data;  // what an exclusion compares
  };
  for (const Stream stream : {Stream{"IconStreams", ""}, Stream{"PasticonsStream", "PasticonsStream"}}) {
    if (!registry.ValueExists(stream.name) || IsExcludedValue(item.ItemName, keyPath, ExcludeList, stream.data))
      continue;
    recorder.AddRegistry(kKindValue, item, keyPath).Name = stream.name;
    recorder.Recorded();
  }
}

void ScanShareFolders(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                      const TExcludeContents& ExcludeList) {
  const TRegistryItem item{kSection, "ShareFolder", "Clean ShareFolder"};
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  // Each share is a key of its own.
  ForEachUserSubKey(std::string(kExplorer) + "WorkgroupCrawler\\Shares",
                    [&](const std::string& name, const std::string& keyPath) {
    const std::string path = keyPath + "\\" + name;
    if (IsExcludedValue(item.ItemName, path, ExcludeList, "")) return;
    recorder.AddRegistry(kKindKey, item, path).KeyName = name;
    recorder.Recorded();
  });
}

void ScanMuiCache(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                  const TExcludeContents& ExcludeList) {
  ScanValueList({kSection, "Exe MUICache", "Clean Windows MUICache"}, "Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache",
                Tree, NodeIndex, Results, ExcludeList, [](win::TRegistry& registry, const std::string& name) {
    const auto type = registry.GetDataType(name);
    return type == win::REG_SZ || type == win::REG_EXPAND_SZ;
  });
}

void ListRecycledFolders(std::vector<std::string>& List) {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (win::GetDriveType(root) == win::DRIVE_FIXED) List.push_back(root + "Recycled");
  }
}

void ListRecycledFiles(const std::string& Folder, TEvidenceTree& Tree, int NodeIndex, int& Counter,
                       TResultContents& Results, const TExcludeContents& ExcludeList) {
  for (const auto& entry : ListFolderEntries(Folder)) {
    if (!ContinueScan()) break;
    const std::string upper = win::UpperName(entry.Name);
    if (entry.Attributes >= 101 || upper == "INFO2" || upper == "DESKTOP.INI") continue;
    const std::string path = Folder + "\\" + entry.Name;
    if (IsExcludedEntry("RecycleBin", path, ExcludeList)) continue;
    TResultContentItem& item = Results.GetItem(Results.Add());
    item.Checked = Settings.SelectAll ? 1 : 0;
    item.Filled = 1;
    item.Kind = kKindFile;
    item.EntryType = "File";
    item.Section = "Microsoft Windows";
    item.Description = "Clean RecycleBin";
    item.ItemName = "RecycleBin";
    item.Name = entry.Name;
    item.Path = path;
    item.Size = entry.Size;
    TotalEvidenceSize += item.Size;
    SetEvidenceCount(NodeIndex, ++Counter, 0, Tree);
  }
}

void ScanRecycleBin(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                    const TExcludeContents& ExcludeList) {
  std::vector<std::string> folders;
  ListRecycledFolders(folders);
  int counter = 0;
  for (const auto& folder : folders) {
    if (ScanState == 2) break;
    ListRecycledFiles(folder, Tree, NodeIndex, counter, Results, ExcludeList);
  }
}
