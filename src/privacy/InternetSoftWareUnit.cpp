#include "privacy/InternetSoftWareUnit.h"

#include <memory>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "privacy/EvidenceCleanUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace {

constexpr const char* kFirefoxProfiles = "\\Mozilla\\Firefox\\Profiles";
constexpr const char* kNetscapeProfiles = "\\Netscape\\NSB\\Profiles";

// ---- Registry lists ------------------------------------------------------------

struct TListKey {
  win::HKEY Root;
  const char* SubKey;
};

// Both keys count under one item.
void ScanRegistryLists(const char* ItemName, const char* Description, TListKey first, TListKey second,
                       TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  const TRegistryItem item{"Internet SoftWare", ItemName, Description};
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  RecordValueTexts(recorder, item, first.Root, first.SubKey, ExcludeList);
  RecordValueTexts(recorder, item, second.Root, second.SubKey, ExcludeList);
}

// ---- Profile folders -------------------------------------------------------------

// The attribute words a profile walk looks at: plain, hidden, system, archive,
// normal or temporary files, and plain, read-only hidden or hidden system
// folders. Links (reparse points) are never among them.
bool IsProfileWalkEntry(unsigned attributes) {
  switch (attributes) {
    case 16: case 2: case 4: case 128: case 256: case 19: case 32: case 22:
      return true;
    default:
      return false;
  }
}

bool IsFolder(unsigned attributes) { return (attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0; }

// One level of a profile walk; found keeps the last match.
void FindInTree(const std::string& folder, const std::string& fileName, bool cacheFolder,
                std::string& found) {
  for (const auto& entry : ListFolderEntries(folder)) {
    if (!ContinueScan()) return;
    if (!IsProfileWalkEntry(entry.Attributes)) continue;
    const std::string path = folder + "\\" + entry.Name;
    if (cacheFolder) {
      if (!IsFolder(entry.Attributes)) continue;
      if (entry.Name == "Cache") {
        found = path;
        return;
      }
      FindInTree(path, fileName, cacheFolder, found);
    } else {
      if (IsFolder(entry.Attributes)) FindInTree(path, fileName, cacheFolder, found);
      if (entry.Name == fileName) {
        found = path;
        return;
      }
    }
  }
}

// A shell folder without its trailing backslashes.
std::string ProfileBase(const char* name) {
  std::string folder = UserShellFolder(name);
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

// ---- Profile text files ------------------------------------------------------------

// The file's lines, each followed by CR LF (a line ends at CR LF, LF or CR).
bool LoadProfileText(const std::string& path, std::string& text) {
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(path, bytes)) return false;
  const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  text.clear();
  text.reserve(data.size() + data.size() / 16 + 2);
  std::size_t at = 0;
  while (at < data.size()) {
    const std::size_t end = data.find_first_of("\r\n", at);
    if (end == std::string_view::npos) {
      text.append(data.substr(at));
      break;
    }
    text.append(data.substr(at, end - at));
    text += "\r\n";
    at = end + (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? 2 : 1);
  }
  if (!text.empty() && text.back() != '\n') text += "\r\n";
  return true;
}

void UpperCaseAscii(std::string& text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

struct TProfileText {
  const char* FileName;  // "history.dat" or "cookies.txt"
  bool Cookies;
  std::int32_t Kind;
  const char* ItemName;
  std::string TResultContentItem::*Entry;  // the URL or cookie field
};

const TProfileText kFirefoxHistory{"history.dat", false, kKindFirefoxUrl, "FireFoxHistory",
                                   &TResultContentItem::FirefoxUrl};
const TProfileText kFirefoxCookies{"cookies.txt", true, kKindFirefoxCookie, "FireFox Cookies",
                                   &TResultContentItem::FirefoxCookie};
const TProfileText kNetscapeHistory{"history.dat", false, kKindNetscapeUrl, "Netscape History",
                                    &TResultContentItem::NetscapeUrl};
const TProfileText kNetscapeCookies{"cookies.txt", true, kKindNetscapeCookie, "Netscape Cookies",
                                    &TResultContentItem::NetscapeCookie};

// The profile file as the clean engine sees it: it is wiped only when every
// entry it lists at clean time is a ticked finding (a file already gone
// lists nothing).
std::shared_ptr<const TSharedTarget> SharedProfileFile(const TProfileText& what, const std::string& file) {
  auto target = std::make_shared<TSharedTarget>();
  target->Entry = what.Entry;
  target->List = [file, cookies = what.Cookies](std::vector<std::string>& entries) {
    if (win::GetFileAttributes(file) == win::INVALID_FILE_ATTRIBUTES) return true;
    return WalkProfileFile(file, cookies, [&entries](std::string_view entry) {
      entries.push_back(win::AnsiToUtf8(std::string(entry)));
      return true;
    });
  };
  return target;
}

void ScanProfileText(const TProfileText& what, const char* profiles, TEvidenceTree& Tree,
                     int NodeIndex, TResultContents& Results, const TExcludeContents& ExcludeList) {
  const std::string appData = ProfileBase("AppData");
  if (appData.empty()) return;
  const std::string file = FindProfileFile(appData + profiles, what.FileName);
  if (file.empty() || ScanState == 2) return;
  // Every finding of the file is wiped with it, so an exclusion names the file.
  if (IsExcludedEntry(what.ItemName, file, ExcludeList)) return;
  const auto shared = SharedProfileFile(what, file);
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  WalkProfileFile(file, what.Cookies, [&](std::string_view entry) {
    if (!ContinueScan()) return false;
    TResultContentItem& item = recorder.Add();
    item.Filled = 0;
    item.Kind = what.Kind;
    item.EntryType = "File";
    item.ItemName = what.ItemName;
    item.*what.Entry = win::AnsiToUtf8(std::string(entry));
    item.Path = file;
    item.Size = static_cast<std::int64_t>(entry.size());
    item.Shared = shared;
    TotalEvidenceSize += item.Size;
    recorder.Recorded();
    return true;
  });
}

// ---- Cache folders ---------------------------------------------------------------

// Records the cache folder's own entries; Mode 1 Firefox, 2 Netscape.
void ListCacheFiles(const std::string& Folder, int Mode, TEvidenceTree& Tree, int NodeIndex,
                    TResultContents& Results, const TExcludeContents& ExcludeList) {
  const char* itemName = Mode == 1 ? "FireFoxCache" : "netscape Cache";
  TFindingRecorder recorder(Tree, NodeIndex, Results);
  for (const auto& entry : ListFolderEntries(Folder)) {
    if (!ContinueScan()) break;
    if (!IsProfileWalkEntry(entry.Attributes)) continue;
    const std::string path = Folder + "\\" + entry.Name;
    if (IsExcludedEntry(itemName, path, ExcludeList)) continue;
    TResultContentItem& item = recorder.Add();
    item.Filled = 0;
    item.Kind = Mode == 1 ? kKindFirefoxCache : kKindNetscapeCache;
    item.EntryType = "File";
    item.ItemName = itemName;
    (Mode == 1 ? item.FirefoxCacheFile : item.NetscapeCacheFile) = path;
    item.Path = path;
    item.Size = entry.Size;
    TotalEvidenceSize += item.Size;
    recorder.Recorded();
  }
}

void ScanCache(int Mode, const char* shellFolder, const char* profiles, TEvidenceTree& Tree,
               int NodeIndex, TResultContents& Results, const TExcludeContents& ExcludeList) {
  const std::string base = ProfileBase(shellFolder);
  if (base.empty()) return;
  const std::string cache = FindCacheFolder(base + profiles);
  if (cache.empty() || ScanState == 2) return;
  ListCacheFiles(cache, Mode, Tree, NodeIndex, Results, ExcludeList);
}

}  // namespace

std::string FindProfileFile(const std::string& Folder, const std::string& FileName) {
  std::string found;
  FindInTree(Folder, FileName, false, found);
  return found;
}

std::string FindCacheFolder(const std::string& Folder) {
  std::string found;
  FindInTree(Folder, {}, true, found);
  return found;
}

void WalkProfileText(const std::string& text, bool cookies,
                     const std::function<bool(std::string_view entry)>& visit) {
  const std::string_view marker = cookies ? std::string_view("\r\n.") : std::string_view("http://");
  const char* const terminator = cookies ? "TRUE" : ")";
  if (text.empty()) return;
  // The text without its last character (the final line feed).
  const std::string_view all(text.data(), text.size() - 1);
  std::size_t start = 0;
  while (start < all.size()) {
    const std::size_t at = all.find(marker, start);
    if (at == std::string_view::npos) return;
    const std::size_t end = all.find(terminator, at);
    // No terminator: the entry runs to the end of the text and the walk ends.
    if (end == std::string_view::npos) {
      visit(all.substr(at));
      return;
    }
    if (!visit(all.substr(at, end - at))) return;
    // The next search starts at the entry's last character.
    start = end > at + 1 ? end - 1 : at + 1;
  }
}

bool WalkProfileFile(const std::string& path, bool cookies,
                     const std::function<bool(std::string_view entry)>& visit) {
  std::string text;
  if (!LoadProfileText(path, text)) return false;
  if (cookies) UpperCaseAscii(text);
  WalkProfileText(text, cookies, visit);
  return true;
}

void ScanRealDownload(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                      const TExcludeContents& ExcludeList) {
  ScanRegistryLists("Real DownLoad", "Clean RealDownload",
                    {win::HKEY_CURRENT_USER, "Software\\RealNetworks\\RealDownload"},
                    {win::HKEY_LOCAL_MACHINE, ".default\\Software\\RealNetworks\\RealDownload"}, Tree,
                    NodeIndex, Results, ExcludeList);
}

void ScanGetRight(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                  const TExcludeContents& ExcludeList) {
  ScanRegistryLists("GetRight", "Clean GetRight MRU Info",
                    {win::HKEY_CURRENT_USER, "Software\\Headlight\\GetRight\\MRU"},
                    {win::HKEY_CURRENT_USER, "Software\\Headlight\\GetRight\\TypedURLs"}, Tree,
                    NodeIndex, Results, ExcludeList);
}

void ScanDownloadAccelerator(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList) {
  ScanRegistryLists("DownloadAccelerator", "Clean Download Accelerator",
                    {win::HKEY_CURRENT_USER, "Software\\SpeedBit\\Download Accelerator\\FileList"},
                    {win::HKEY_CURRENT_USER, "Software\\SpeedBit\\Download Accelerator\\HistoryCombo"},
                    Tree, NodeIndex, Results, ExcludeList);
}

void ScanKazaa(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
               const TExcludeContents& ExcludeList) {
  ScanRegistryLists("KazaaHistory", "Clean Kazaa History",
                    {win::HKEY_CURRENT_USER, "Software\\Kazaa\\Kazaa Lite\\Recent File List"},
                    {win::HKEY_CURRENT_USER, "Software\\Kazaa\\KaZaA Media Desktop\\Recent File List"},
                    Tree, NodeIndex, Results, ExcludeList);
}

void ScanFirefoxHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList) {
  ScanProfileText(kFirefoxHistory, kFirefoxProfiles, Tree, NodeIndex, Results, ExcludeList);
}

void ScanFirefoxCookies(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList) {
  ScanProfileText(kFirefoxCookies, kFirefoxProfiles, Tree, NodeIndex, Results, ExcludeList);
}

void ScanFirefoxCache(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                      const TExcludeContents& ExcludeList) {
  ScanCache(1, "Local AppData", kFirefoxProfiles, Tree, NodeIndex, Results, ExcludeList);
}

void ScanNetscapeHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList) {
  ScanProfileText(kNetscapeHistory, kNetscapeProfiles, Tree, NodeIndex, Results, ExcludeList);
}

void ScanNetscapeCookies(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList) {
  ScanProfileText(kNetscapeCookies, kNetscapeProfiles, Tree, NodeIndex, Results, ExcludeList);
}

void ScanNetscapeCache(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList) {
  ScanCache(2, "AppData", kNetscapeProfiles, Tree, NodeIndex, Results, ExcludeList);
}
