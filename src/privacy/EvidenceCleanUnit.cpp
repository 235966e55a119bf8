#include "privacy/EvidenceCleanUnit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "platform/files/FileInPlace.h"
#include "platform/files/FileSystem.h"
#include "platform/processes/ProcessSnapshot.h"
#include "platform/registry/Registry.h"
#include "platform/shell/UrlCache.h"
#include "platform/text/Random.h"
#include "platform/text/TextCodec.h"
#include "regclean/SectionContractUnit.h"

std::int64_t TotalEvidenceSize = 0;

void TCleanProgress::Removed() {
  ++Cleaned;
  if (View) View->SetCleanGauge(Total > 0 ? static_cast<int>(std::lround(100.0 * Cleaned / Total)) : 0);
}

namespace {

bool CleanRegistryFinding(const TResultContentItem& item) {
  win::HKEY root = 0;
  std::string subKey;
  if (!regclean::SplitFullKeyPath(item.Path, root, subKey) ||
      subKey.find_first_not_of('\\') == std::string::npos)
    return false;
  win::TRegistry registry;
  registry.SetRootKey(root);
  // A value finding that names a subkey stands for that subkey.
  if (item.Kind == kKindValue && !item.KeyName.empty())
    return registry.DeleteKey("\\" + subKey + "\\" + item.KeyName);
  if (item.Kind == kKindValue || item.Kind == kKindValueData)
    return registry.OpenKey("\\" + subKey, false) && registry.DeleteValue(item.Name);
  if (item.Kind == kKindKey) return registry.DeleteKey("\\" + subKey);
  return false;
}

bool IsUrlCacheFinding(const TResultContentItem& item) {
  return item.EntryType == "File" && (item.Section == "IE Cache" || item.Section == "IE Cookies");
}

// A cache entry the cache no longer holds counts as removed.
bool UrlCacheEntryGone(win::DWORD error) { return error == 0 || error == win::ERROR_FILE_NOT_FOUND; }

bool CleanUrlCacheFinding(const TResultContentItem& item) {
  return UrlCacheEntryGone(win::DeleteUrlCacheEntry(item.Name) ? 0 : win::GetLastError());
}

// The findings at the given positions, each marked once its entry's removal
// is committed.
void CleanUrlCacheFindings(TResultContents& Results, const std::vector<std::int32_t>& positions,
                           TCleanProgress& Progress) {
  std::vector<std::string> urls;
  urls.reserve(positions.size());
  for (std::int32_t i : positions) urls.push_back(Results.GetItem(i).Name);
  win::DeleteUrlCacheEntries(urls, [&](std::size_t index, win::DWORD error) {
    TResultContentItem& item = Results.GetItem(positions[index]);
    if (Progress.View) Progress.View->ShowStepName(item.Name);
    if (!UrlCacheEntryGone(error)) return;
    item.Cleaned = 1;
    Progress.Removed();
  });
}

bool Exists(const std::string& path) {
  return win::GetFileAttributes(path) != win::INVALID_FILE_ATTRIBUTES;
}

// Writes "01" over the whole file (one byte more for an odd size) Passes + 1
// times, each pass flushed.
bool Overwrite(win::InPlaceFile& file, int passes) {
  const std::uint64_t size = file.Size();
  const std::uint64_t length = size + (size % 2);
  constexpr std::size_t kBuffer = 1 << 20;
  std::vector<std::uint8_t> pattern(static_cast<std::size_t>(std::min<std::uint64_t>(length, kBuffer)));
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = i % 2 == 0 ? 0x30 : 0x31;
  for (int pass = 0; pass <= passes; ++pass) {
    for (std::uint64_t offset = 0; offset < length; offset += pattern.size()) {
      const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(pattern.size(), length - offset));
      if (!file.WriteAt(offset, pattern.data(), chunk)) return false;
    }
    if (!file.Flush()) return false;
  }
  return true;
}

}  // namespace

bool CleanFinding(const TResultContentItem& Item) {
  if (Item.EntryType == "Reg") return CleanRegistryFinding(Item);
  if (Item.EntryType != "File") return false;
  if (IsUrlCacheFinding(Item)) return CleanUrlCacheFinding(Item);
  return WipeFile(Item.Path, 1);
}

namespace {

std::string TargetOf(const TResultContentItem& item) {
  return item.EntryType + "|" + win::UpperName(item.Path);
}

// True when the upper-cased path is the key or lies below it.
bool AtOrBelow(const std::string& path, const std::string& key) {
  return path.size() >= key.size() && path.compare(0, key.size(), key) == 0 &&
         (path.size() == key.size() || path[key.size()] == '\\');
}

// A shared key or file goes only when everything its finder lists there now
// is a ticked finding of the group and, for a key, every other finding at or
// below it is ticked too; then the whole group (and what lay below the key)
// is cleaned, otherwise nothing is touched.
void CleanSharedTarget(TResultContents& Results, const std::vector<std::int32_t>& group,
                       TCleanProgress& Progress) {
  const TResultContentItem& first = Results.GetItem(group.front());
  const TSharedTarget& target = *first.Shared;
  std::map<std::string, int> ticked;
  for (std::int32_t i : group) {
    const TResultContentItem& member = Results.GetItem(i);
    if (member.Checked != 1) return;
    ++ticked[member.*target.Entry];
  }
  std::vector<std::string> listed;
  if (!target.List || !target.List(listed)) return;
  for (const auto& entry : listed) {
    const auto found = ticked.find(entry);
    if (found == ticked.end() || found->second == 0) return;
    --found->second;
  }
  const bool key = first.EntryType == "Reg";
  const std::string path = win::UpperName(first.Path);
  auto below = [&](const TResultContentItem& item) {
    return key && item.EntryType == "Reg" && AtOrBelow(win::UpperName(item.Path), path);
  };
  for (std::int32_t i = 0; i < Results.Count(); ++i)
    if (Results.GetItem(i).Checked != 1 && below(Results.GetItem(i))) return;

  if (Progress.View) Progress.View->ShowStepName(first.Name);
  if (!CleanFinding(first)) return;
  auto done = [&Progress](TResultContentItem& item) {
    if (item.Cleaned == 1) return;
    item.Cleaned = 1;
    Progress.Removed();
  };
  for (std::int32_t i : group) done(Results.GetItem(i));
  for (std::int32_t i = 0; i < Results.Count(); ++i)
    if (below(Results.GetItem(i))) done(Results.GetItem(i));
}

// Where a registry finding points: a key, or a value of a key (upper-cased
// full paths).
struct TRegistrySpot {
  std::string Key;
  std::string Value;
  bool IsKey = true;
};

bool SpotOf(const TResultContentItem& item, TRegistrySpot& spot) {
  if (item.EntryType != "Reg") return false;
  spot.Key = win::UpperName(item.Path);
  spot.Value.clear();
  spot.IsKey = true;
  if (item.Shared && item.Shared->Part != TSharedTarget::TPart::Whole) {
    const std::string& entry = item.*item.Shared->Entry;
    if (item.Shared->Part == TSharedTarget::TPart::SubKey) {
      spot.Key += "\\" + win::UpperName(entry);
    } else {
      spot.Value = win::UpperName(entry);
      spot.IsKey = false;
    }
  } else if (item.Kind == kKindValue && !item.KeyName.empty()) {
    spot.Key += "\\" + win::UpperName(item.KeyName);
  } else if (item.Kind == kKindValue || item.Kind == kKindValueData) {
    spot.Value = win::UpperName(item.Name);
    spot.IsKey = false;
  }
  return true;
}

// Whether removing spot takes what a finding points at: the key itself or
// anything at or below it, or that very value.
bool Takes(const TRegistrySpot& spot, const TRegistrySpot& other) {
  if (spot.IsKey) return AtOrBelow(other.Key, spot.Key);
  return !other.IsKey && other.Key == spot.Key && other.Value == spot.Value;
}

// True when spot takes no unticked registry finding of Results and, for a
// key, nothing an exclusion names.
bool NothingKeptIn(const TResultContents& Results, const TExcludeContents* Excludes, const TRegistrySpot& spot) {
  TRegistrySpot other;
  for (std::int32_t i = 0; i < Results.Count(); ++i) {
    const TResultContentItem& item = Results.GetItem(i);
    if (item.Checked != 1 && SpotOf(item, other) && Takes(spot, other)) return false;
  }
  if (spot.IsKey && Excludes) {
    for (std::int32_t i = 0; i < Excludes->Count(); ++i)
      if (AtOrBelow(win::UpperName(Excludes->GetItem(i).Key), spot.Key)) return false;
  }
  return true;
}

// Marks the ticked registry findings that spot took as cleaned.
void MarkTaken(TResultContents& Results, const TRegistrySpot& spot, TCleanProgress& Progress) {
  TRegistrySpot other;
  for (std::int32_t i = 0; i < Results.Count(); ++i) {
    TResultContentItem& item = Results.GetItem(i);
    if (item.Checked != 1 || item.Cleaned == 1 || !SpotOf(item, other) || !Takes(spot, other)) continue;
    item.Cleaned = 1;
    Progress.Removed();
  }
}

// One finding of a shared key: its own subkey or value goes (unless that
// takes an unticked finding), then the key once nothing is left in it.
void CleanKeyEntry(TResultContents& Results, const TExcludeContents* Excludes, TResultContentItem& item,
                   TCleanProgress& Progress) {
  win::HKEY root = 0;
  std::string subKey;
  TRegistrySpot spot;
  if (!SpotOf(item, spot) || !regclean::SplitFullKeyPath(item.Path, root, subKey) ||
      subKey.find_first_not_of('\\') == std::string::npos || !NothingKeptIn(Results, Excludes, spot))
    return;
  const std::string& entry = item.*item.Shared->Entry;
  if (Progress.View) Progress.View->ShowStepName(entry);
  win::TRegistry registry;
  registry.SetRootKey(root);
  const std::string key = "\\" + subKey;
  const bool removed = spot.IsKey ? !entry.empty() && registry.DeleteKey(key + "\\" + entry)
                                  : registry.OpenKey(key, false) && registry.DeleteValue(entry);
  if (!removed) return;
  MarkTaken(Results, spot, Progress);
  std::vector<std::string> keys;
  std::vector<std::string> values;
  {
    win::TRegistry left(win::KEY_READ);
    left.SetRootKey(root);
    if (!left.OpenKeyReadOnly(key) || !left.GetKeyNames(keys) || !left.GetValueNames(values)) return;
  }
  const TRegistrySpot whole{win::UpperName(item.Path), "", true};
  if (!keys.empty() || !values.empty() || !NothingKeptIn(Results, Excludes, whole) || !registry.DeleteKey(key))
    return;
  MarkTaken(Results, whole, Progress);
}

}  // namespace

void CleanEvidences(TResultContents& Results, TCleanProgress& Progress,
                    const std::function<bool(const TResultContentItem&)>& skip, const TExcludeContents* Excludes) {
  const auto whole = [](const TResultContentItem& item) {
    return item.Shared && item.Shared->Part == TSharedTarget::TPart::Whole;
  };
  std::map<std::string, std::vector<std::int32_t>> shared;
  // The cache entries go together, their index deletes in a few transactions.
  std::vector<std::int32_t> cached;
  for (std::int32_t i = 0; i < Results.Count(); ++i) {
    const TResultContentItem& item = Results.GetItem(i);
    if (whole(item)) shared[TargetOf(item)].push_back(i);
    if (IsUrlCacheFinding(item) && item.Checked == 1 && item.Cleaned == 0 && !(skip && skip(item)))
      cached.push_back(i);
  }
  for (std::int32_t i = 0; i < Results.Count(); ++i) {
    TResultContentItem& item = Results.GetItem(i);
    if (item.Checked != 1 || item.Cleaned == 1 || (skip && skip(item))) continue;
    if (IsUrlCacheFinding(item)) {
      if (!cached.empty()) CleanUrlCacheFindings(Results, cached, Progress);
      cached.clear();
      continue;
    }
    if (item.Shared && !whole(item)) {
      CleanKeyEntry(Results, Excludes, item, Progress);
      continue;
    }
    if (item.Shared) {
      // Each target is decided once, at its first ticked finding.
      const auto group = shared.find(TargetOf(item));
      if (group == shared.end()) continue;
      CleanSharedTarget(Results, group->second, Progress);
      shared.erase(group);
      continue;
    }
    if (Progress.View) Progress.View->ShowStepName(item.Name);
    if (!CleanFinding(item)) continue;
    item.Cleaned = 1;
    Progress.Removed();
  }
}

bool WipeFile(const std::string& FileName, int Passes) {
  const win::DWORD attributes = win::GetFileAttributes(FileName);
  if (attributes == win::INVALID_FILE_ATTRIBUTES) {
    const win::DWORD error = win::GetLastError();
    return error == win::ERROR_FILE_NOT_FOUND || error == win::ERROR_PATH_NOT_FOUND;
  }
  {
    auto file = win::InPlaceFile::Open(FileName);
    if (!file || !Overwrite(*file, Passes) || !file->Close()) return false;
  }
  const std::string folder = win::ExtractFilePath(FileName);
  std::string current = FileName;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string candidate = folder + std::to_string(win::Random(100000));
    if (Exists(candidate)) continue;  // never touch a file that bears the name
    if (win::RenameFile(FileName, candidate)) current = candidate;
    break;
  }
  win::DeleteFile(current);
  // A file that could not be deleted gets its own name back, so that it is
  // found and reported as it was listed.
  if (current != FileName && Exists(current) && !Exists(FileName)) win::RenameFile(current, FileName);
  return !Exists(current) && !Exists(FileName);
}

void EmptyRecycleBins(const std::vector<std::string>& roots) {
  for (const auto& root : roots) win::EmptyRecycleBin(root);
}

bool IsExcludedEntry(const std::string& ItemName, const std::string& Key,
                     const TExcludeContents& List) {
  for (std::int32_t i = 0; i < List.Count(); ++i) {
    const TExcludeContentItem& entry = List.GetItem(i);
    if (entry.ItemName == ItemName && entry.Key == Key) return true;
  }
  return false;
}

bool IsExcludedValue(const std::string& ItemName, const std::string& Key,
                     const TExcludeContents& List, const std::string& Data) {
  const std::string data = win::Trim(Data);
  for (std::int32_t i = 0; i < List.Count(); ++i) {
    const TExcludeContentItem& entry = List.GetItem(i);
    if (entry.ItemName == ItemName && entry.Key == Key && win::Trim(entry.Data) == data) return true;
  }
  return false;
}

bool IsFirefoxRunning() {
  const win::HANDLE snapshot = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPPROCESS, 0);
  if (snapshot == win::INVALID_HANDLE_VALUE) return false;
  bool running = false;
  win::PROCESSENTRY32 entry;
  for (bool more = win::Process32First(snapshot, entry); more && !running;
       more = win::Process32Next(snapshot, entry)) {
    std::string name = entry.szExeFile;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    running = name == "firefox.exe";
  }
  win::CloseHandle(snapshot);
  return running;
}
