#include "privacy/IneterNetExploerUnit.h"

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/shell/UrlCache.h"
#include "privacy/EvidenceCleanUnit.h"

namespace {

constexpr const char* kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Opens an existing key of the current user for reading.
bool OpenUserKey(win::TRegistry& registry, const std::string& subKey) {
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  return registry.OpenKeyReadOnly(subKey);
}

std::string ReadText(win::TRegistry& registry, const std::string& name) {
  const auto text = registry.ReadString(name);
  return text ? *text : std::string();
}

struct SingleValue {
  const char* subKey;
  const char* value;
  const char* itemName;
  const char* description;
};

void ScanSingleValue(const SingleValue& what, TEvidenceTree& Tree, int NodeIndex,
                     TResultContents& Results, const TExcludeContents& ExcludeList) {
  win::TRegistry registry(win::KEY_READ);
  if (!OpenUserKey(registry, what.subKey)) return;
  const std::string text = ReadText(registry, what.value);
  const std::string keyPath = CurrentUserPath(what.subKey);
  if (text.empty() || IsExcludedValue(what.itemName, keyPath, ExcludeList, text)) return;
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  TResultContentItem& item = recorder.Add();
  item.Kind = kKindValueData;
  item.EntryType = "Reg";
  item.Section = "Internet Explorer";
  item.Description = what.description;
  item.ItemName = what.itemName;
  item.Name = what.value;
  item.Data = text;
  item.Path = keyPath;
  recorder.Recorded();
}

// The URL-cache walk behind "Cache" and "Cookies".
void ScanUrlCache(bool cookies, TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                  const TExcludeContents& ExcludeList) {
  const char* itemName = cookies ? "Cookies" : "Cache";
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  win::UrlCacheEntryInfo entry;
  auto find = win::FindFirstUrlCacheEntry(entry);
  if (!find) return;
  do {
    const std::string& url = entry.SourceUrlName;
    if ((entry.CacheEntryType & win::NORMAL_CACHE_ENTRY) != 0 && !url.empty() &&
        (url.find("Cookie:") != std::string::npos) == cookies &&
        !IsExcludedEntry(itemName, url, ExcludeList)) {
      TResultContentItem& item = recorder.Add();
      item.Kind = cookies ? kKindUrlCookie : kKindUrlCache;
      item.EntryType = "File";
      item.Section = cookies ? "IE Cookies" : "IE Cache";
      item.Description = cookies ? "Clean IE Cookies" : "Clean IE Cache";
      item.ItemName = itemName;
      item.Name = url;
      item.Path = entry.LocalFileName;
      // The size of the file as opened for reading; 0 when it cannot be.
      if (!item.Path.empty()) item.Size = static_cast<std::int64_t>(win::ReadableFileSize(item.Path).value_or(0));
      TotalEvidenceSize += item.Size;
      recorder.Recorded();
    }
  } while (ContinueScan() && win::FindNextUrlCacheEntry(*find, entry));
  win::FindCloseUrlCache(std::move(find));
}

}  // namespace

void ScanIECache(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                 const TExcludeContents& ExcludeList) {
  ScanUrlCache(false, Tree, NodeIndex, Results, ExcludeList);
}

void ScanIECookies(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                   const TExcludeContents& ExcludeList) {
  ScanUrlCache(true, Tree, NodeIndex, Results, ExcludeList);
}

void ScanIEAddressBarHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList) {
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  ForEachUserValue("Software\\Microsoft\\Internet Explorer\\TypedURLs",
                   [&](win::TRegistry& registry, const std::string& name, const std::string& keyPath) {
    const auto text = registry.ReadString(name);
    if (!text || IsExcludedValue("Address Bar History", keyPath, ExcludeList, *text)) return;
    TResultContentItem& item = recorder.Add();
    item.Kind = kKindValueData;
    item.EntryType = "Reg";
    item.Section = "IE Address Bar History";
    item.Description = "Clean Address Bar History";
    item.ItemName = "Address Bar History";
    item.Name = name;
    item.Data = *text;
    item.Path = keyPath;
    recorder.Recorded();
  });
}

void ScanIEFavorites(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                     const TExcludeContents& ExcludeList) {
  std::string folder;
  {
    win::TRegistry registry(win::KEY_READ);
    if (!OpenUserKey(registry, kShellFolders)) return;
    folder = ReadText(registry, "Favorites");
  }
  if (folder.empty() || !IsSafeEvidenceFolder(folder)) return;
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  for (const auto& entry : ListFolderEntries(folder)) {
    if (!ContinueScan()) break;
    if (!IsListedEntryAttribute(entry.Attributes)) continue;
    if (IsExcludedEntry("Favorites", entry.Name, ExcludeList)) continue;
    TResultContentItem& item = recorder.Add();
    item.Kind = kKindFile;
    item.EntryType = "File";
    item.Section = "Favorites";
    item.Description = "Clean Favorites";
    item.ItemName = "Favorites";
    item.Name = entry.Name;
    item.Path = win::IncludeTrailingBackslash(folder) + entry.Name;
    recorder.Recorded();
  }
}

void ScanIEFavoritesExportFile(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                               const TExcludeContents& ExcludeList) {
  ScanSingleValue({kMainKey, "FavoritesExportFile", "Favorites Export File",
                   "Clean Favorites Export File"},
                  Tree, NodeIndex, Results, ExcludeList);
}

void ScanIEFavoritesImportFolder(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                                 const TExcludeContents& ExcludeList) {
  ScanSingleValue({kMainKey, "FavoritesImportFolder", "Favorites Import Folder",
                   "Clean Favorites Import Folder"},
                  Tree, NodeIndex, Results, ExcludeList);
}

void ScanIEAutoComplete(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList) {
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  ForEachUserValue("Software\\Microsoft\\Internet Explorer\\IntelliForms",
                   [&](win::TRegistry&, const std::string& name, const std::string& keyPath) {
    // An entry with empty data for the key silences the whole item.
    if (IsExcludedValue("AutoCompleteData", keyPath, ExcludeList, "")) return;
    TResultContentItem& item = recorder.Add();
    item.Kind = kKindValue;
    item.EntryType = "Reg";
    item.Section = "Internet Explorer";
    item.Description = "AutoComplete Form Data";
    item.ItemName = "AutoCompleteData";
    item.Name = name;
    item.Path = keyPath;
    recorder.Recorded();
  });
}

void ScanIEDownloadDirectory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList) {
  ScanSingleValue({"Software\\Microsoft\\Internet Explorer", "Download Directory",
                   "Download Directory", "Clean Download Directory"},
                  Tree, NodeIndex, Results, ExcludeList);
}

void ScanIESaveDirectory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList) {
  ScanSingleValue({kMainKey, "Save Directory", "Save Directory", "Clean Save Directory"}, Tree,
                  NodeIndex, Results, ExcludeList);
}
