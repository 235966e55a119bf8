#include "privacy/FinderSupportUnit.h"

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "privacy/EvidenceCleanUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

TResultContentItem& TFindingRecorder::Add() {
  TResultContentItem& item = results_.GetItem(results_.Add());
  item.Checked = Settings.SelectAll ? 1 : 0;
  item.Filled = 1;
  return item;
}

TResultContentItem& TFindingRecorder::AddRegistry(std::int32_t kind, const TRegistryItem& item,
                                                  const std::string& path) {
  TResultContentItem& finding = Add();
  finding.Kind = kind;
  finding.EntryType = "Reg";
  finding.Section = item.Section;
  finding.Description = item.Description;
  finding.ItemName = item.ItemName;
  finding.Path = path;
  return finding;
}

void TFindingRecorder::Recorded() { SetEvidenceCount(node_, ++count_, 0, tree_); }

std::string CurrentUserPath(const std::string& subKey) { return "HKEY_CURRENT_USER\\" + subKey; }

void ForEachUserValue(const std::string& subKey, const TValueVisitor& visit) {
  ForEachKeyValue(win::HKEY_CURRENT_USER, subKey, visit);
}

void ForEachKeyValue(win::HKEY root, const std::string& subKey, const TValueVisitor& visit) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(subKey)) return;
  std::vector<std::string> names;
  registry.GetValueNames(names);
  const std::string keyPath = RootKeyToName(root) + "\\" + subKey;
  for (const auto& name : names) {
    if (!ContinueScan()) break;
    visit(registry, name, keyPath);
  }
}

void ForEachUserSubKey(const std::string& subKey,
                       const std::function<void(const std::string& name, const std::string& keyPath)>& visit) {
  std::vector<std::string> names;
  {
    win::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(subKey)) return;
    registry.GetKeyNames(names);
  }
  const std::string keyPath = CurrentUserPath(subKey);
  for (const auto& name : names) {
    if (!ContinueScan()) break;
    visit(name, keyPath);
  }
}

void RecordValueTexts(TFindingRecorder& recorder, const TRegistryItem& item, const std::string& subKey,
                      const TExcludeContents& ExcludeList,
                      const std::function<bool(win::TRegistry& registry, const std::string& name)>& take) {
  RecordValueTexts(recorder, item, win::HKEY_CURRENT_USER, subKey, ExcludeList, take);
}

void RecordValueTexts(TFindingRecorder& recorder, const TRegistryItem& item, win::HKEY root,
                      const std::string& subKey, const TExcludeContents& ExcludeList,
                      const std::function<bool(win::TRegistry& registry, const std::string& name)>& take) {
  ForEachKeyValue(root, subKey, [&](win::TRegistry& registry, const std::string& name, const std::string& keyPath) {
    if (take && !take(registry, name)) return;
    const std::string text = registry.ReadString(name).value_or(std::string());
    if (IsExcludedValue(item.ItemName, keyPath, ExcludeList, text)) return;
    TResultContentItem& finding = recorder.AddRegistry(kKindValueData, item, keyPath);
    finding.Name = name;
    finding.Data = text;
    recorder.Recorded();
  });
}

std::shared_ptr<const TSharedTarget> SharedKey(bool subKeys, std::string TResultContentItem::*entry) {
  auto target = std::make_shared<TSharedTarget>();
  target->Part = subKeys ? TSharedTarget::TPart::SubKey : TSharedTarget::TPart::Value;
  target->Entry = entry;
  return target;
}

bool ContinueScan() {
  ProcessMessages();
  return ScanState != 2;
}

std::int64_t FileSizeOf(const std::string& path) {
  const auto info = win::GetFileInfo(path);
  if (!info || (info->attributes & (win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT)))
    return 0;
  return static_cast<std::int64_t>(info->size);
}

bool IsListedEntryAttribute(unsigned attributes) {
  switch (attributes) {
    case 16: case 2: case 4: case 128: case 256: case 32: case 17: case 18: case 19: case 20:
      return true;
    default:
      return false;
  }
}

bool IsSafeEvidenceFolder(const std::string& folder) {
  std::string trimmed = folder;
  while (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  if (trimmed.size() <= 2) return false;  // "C:" and less: a drive root
  const std::string upper = win::UpperName(trimmed);
  return upper != win::UpperName(win::GetWindowsDirectory()) &&
         upper != win::UpperName(win::GetSystemDirectory());
}

std::string UserShellFolder(const char* name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"))
    return {};
  const std::string folder = registry.ReadString(name).value_or(std::string());
  return folder.empty() || !IsSafeEvidenceFolder(folder) ? std::string() : folder;
}

std::vector<TFolderEntry> ListFolderEntries(const std::string& folder) {
  std::vector<TFolderEntry> entries;
  win::FindData data;
  auto finder = win::FindFirstFile(win::IncludeTrailingBackslash(folder) + "*.*", data);
  if (!finder) return entries;
  do {
    if (data.name == "." || data.name == "..") continue;
    const bool sized = (data.attributes & (win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    entries.push_back({data.name, data.attributes, sized ? static_cast<std::int64_t>(data.size) : 0});
  } while (finder->Next(data));
  return entries;
}
