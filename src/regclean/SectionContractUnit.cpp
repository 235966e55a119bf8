#include "regclean/SectionContractUnit.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/IgnoreFileUnit.h"
#include "regclean/SectionTableUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kRepairedText = "Repaired Successfully";
const char* const kNotRepairedText = "Error: Not Repaired";

// Built sections; SectionRegistryUnit.cpp fills the table.
std::array<RegistrySection, kSectionCount> BuiltSections();

namespace {

std::array<RegistrySection, kSectionCount>& Sections() {
  static std::array<RegistrySection, kSectionCount> sections = BuiltSections();
  return sections;
}

}  // namespace

const RegistrySection& SectionImplementation(int number) {
  static const RegistrySection none;
  if (number < 1 || number > kSectionCount) return none;
  return Sections()[static_cast<std::size_t>(number - 1)];
}

ScopedSectionOverride::ScopedSectionOverride(int number, RegistrySection section)
    : number_(number) {
  if (number_ < 1 || number_ > kSectionCount) return;
  RegistrySection& slot = Sections()[static_cast<std::size_t>(number_ - 1)];
  previous_ = std::exchange(slot, std::move(section));
}

ScopedSectionOverride::~ScopedSectionOverride() {
  if (number_ < 1 || number_ > kSectionCount) return;
  Sections()[static_cast<std::size_t>(number_ - 1)] = std::move(previous_);
}

// ---- Scanner helpers -------------------------------------------------------

bool ScanStopRequested() { return ScanState == 2; }

void ShowOutcome(const ScanContext& context, const std::string& text) {
  if (context.outcome) context.outcome->SetCaption(text);
}

bool IsIgnored(const ScanContext& context, const std::string& keyPath,
               const std::string& valueName) {
  return context.ignoreList &&
         IsIgnoredItem(*context.ignoreList, context.caption, keyPath, valueName);
}

int AddProblem(ScanContext& context, TRegistryContent problem) {
  TRegistryContents& collection = *context.collection;
  const std::int32_t index = collection.Add();
  TRegistryContent& item = collection.GetItem(index).Content;
  item = std::move(problem);
  item.Checked = Settings.SelectAll;
  item.SectionName.clear();
  item.Index = ++ProblemIndex;
  if (context.countLabel) context.countLabel->SetCaption(std::to_string(collection.Count()));
  return index;
}

namespace {

char AsciiUpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool SameUpper(char a, char b) { return AsciiUpperChar(a) == AsciiUpperChar(b); }

}  // namespace

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = AsciiUpperChar(c);
  return text;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool ContainsNoCase(std::string_view text, std::string_view part) { return win::ContainsAsciiNoCase(text, part); }

bool SameTextNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameUpper);
}

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (std::string_view part : parts) text.append(part);
  return text;
}

bool FitsAnsiCodePage(const std::string& text) { return win::FitsCodePage(text); }

bool PassesLocalPathRule(const std::string& path) { return LocalPathRule(DriveList).Passes(path); }

LocalPathRule::LocalPathRule(const std::vector<std::string>& driveList) {
  const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  const auto mark = [this](char letter) {
    const char upper = AsciiUpperChar(letter);
    driveLetter_[static_cast<unsigned char>(upper)] = true;
    driveLetter_[static_cast<unsigned char>(upper - 'A' + 'a')] = true;
  };
  mark('A');
  for (const std::string& entry : driveList) {
    if (entry.size() == 2 && isLetter(entry[0]) && entry[1] == ':') {
      mark(entry[0]);
    } else {
      otherEntries_.push_back(entry);
    }
  }
}

bool LocalPathRule::Passes(const std::string& path) const {
  // A colon's byte before it is an ASCII letter only where the path holds
  // that letter and the colon, upper-cased as names are or not.
  const char* const begin = path.data();
  const char* const end = begin + path.size();
  const auto next = [end](const char* from, char c) {
    return static_cast<const char*>(std::memchr(from, c, static_cast<std::size_t>(end - from)));
  };
  for (const char* at = next(begin, ':'); at; at = next(at + 1, ':'))
    if (at != begin && driveLetter_[static_cast<unsigned char>(at[-1])]) return false;
  for (const char* at = next(begin, '\\'); at; at = next(at + 1, '\\'))
    if (at + 1 != end && at[1] == '\\') return false;
  return IsFixedDrivePath(otherEntries_, path);
}

std::string FullKeyPath(win::HKEY root, const std::string& path) {
  return JoinKeyPath(RootKeyToName(root), path);
}

std::string JoinKeyPath(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  std::string joined;
  joined.reserve(a.size() + 1 + b.size());
  AppendKeyPath(joined.append(a), b);
  return joined;
}

void AppendKeyPath(std::string& path, std::string_view name) {
  if (!path.empty() && !name.empty()) path += '\\';
  path += name;
}

// ---- Targets ----------------------------------------------------------------

std::string PathBelowRoot(const std::string& keyPath) {
  win::HKEY root = 0;
  std::string subKey;
  return SplitFullKeyPath(keyPath, root, subKey) ? "\\" + subKey : keyPath;
}

RepairTarget ValueTargetOf(const TRegistryContent& item) {
  RepairTarget target;
  target.kind = RepairTarget::Kind::Value;
  target.path = item.KeyPath;
  target.valueName = item.UnnamedValue ? std::string() : item.ValueName;
  target.logText = item.KeyPath;
  return target;
}

RepairTarget KeyTargetOf(const TRegistryContent& item) {
  RepairTarget target;
  target.kind = RepairTarget::Kind::Key;
  target.path = item.KeyPath;
  target.logText = item.KeyPath;
  return target;
}

RegistrySection ValueRepairSection(std::vector<SectionScanner> scanners) {
  RegistrySection section;
  section.scanners = std::move(scanners);
  section.target = ValueTargetOf;
  return section;
}

RegistrySection KeyRepairSection(std::vector<SectionScanner> scanners) {
  RegistrySection section;
  section.scanners = std::move(scanners);
  section.target = KeyTargetOf;
  return section;
}

namespace {

// Opens the target's key; false when its path names no key below a root.
bool OpenTargetKey(const RepairTarget& target, win::TRegistry& registry, bool& keyMissing) {
  keyMissing = false;
  win::HKEY root = 0;
  std::string subKey;
  if (!SplitFullKeyPath(target.path, root, subKey)) return false;
  registry.SetRootKey(root);
  if (registry.OpenKey("\\" + subKey, false)) return true;
  keyMissing = !registry.KeyExists("\\" + subKey);
  return false;
}

// True unless the key can be read and holds no values and no subkeys.
bool KeyHoldsAnything(win::HKEY root, const std::string& subKey) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + subKey) || registry.HasSubKeys()) return true;
  std::vector<std::string> values;
  registry.GetValueNames(values);
  return !values.empty();
}

}  // namespace

bool TargetGone(const RepairTarget& target) {
  switch (target.kind) {
    case RepairTarget::Kind::File:
      return win::GetFileAttributes(target.path) == win::INVALID_FILE_ATTRIBUTES;
    case RepairTarget::Kind::Key:
    case RepairTarget::Kind::Value: {
      win::TRegistry registry(win::KEY_READ);
      bool keyMissing = false;
      if (!OpenTargetKey(target, registry, keyMissing)) return keyMissing;
      return target.kind == RepairTarget::Kind::Value && !registry.ValueExists(target.valueName);
    }
  }
  return false;
}

bool RemoveTarget(const RepairTarget& target) {
  if (TargetGone(target)) return true;
  switch (target.kind) {
    case RepairTarget::Kind::File:
      win::DeleteToRecycleBin(target.path);
      break;
    case RepairTarget::Kind::Key: {
      win::HKEY root = 0;
      std::string subKey;
      // A root itself is never deleted.
      if (SplitFullKeyPath(target.path, root, subKey) && !subKey.empty() &&
          !(target.onlyWhileEmpty && KeyHoldsAnything(root, subKey)))
        DeleteRegKey(root, "\\" + subKey);
      break;
    }
    case RepairTarget::Kind::Value: {
      win::TRegistry registry;
      bool keyMissing = false;
      if (OpenTargetKey(target, registry, keyMissing)) registry.DeleteValue(target.valueName);
      break;
    }
  }
  return TargetGone(target);
}

void RepairCheckedItems(RepairContext& context, const RegistrySection& section) {
  TRegistryContents& collection = *context.collection;
  for (std::int32_t i = 0; i < collection.Count(); ++i) {
    if (section.letMessagesThroughOnRepair) ProcessMessages();
    if (ScanState == 4) return;
    const TRegistryContent& item = collection.GetItem(i).Content;
    if (!item.Checked) continue;
    const RepairTarget target = section.target(item);
    if (context.status) context.status->SetCaption(target.logText);
    TRepairRec& line = context.repairLog->GetItem(context.repairLog->Add()).Content;
    line.KeyPath = target.logText;
    const bool kept = context.kept && static_cast<std::size_t>(i) < context.kept->size() &&
                      (*context.kept)[static_cast<std::size_t>(i)];
    line.Result = !kept && RemoveTarget(target) ? kRepairedText : kNotRepairedText;
    if (context.finishList) context.finishList->SetRowCount(context.repairLog->Count());
  }
}

void RunSectionRepairer(RepairContext& context, const RegistrySection& section) {
  if (section.repairer) {
    section.repairer(context);
  } else if (section.target) {
    RepairCheckedItems(context, section);
  }
}

}  // namespace regclean
