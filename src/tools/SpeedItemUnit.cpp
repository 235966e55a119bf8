#include "tools/SpeedItemUnit.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <optional>

#include "platform/files/FileSystem.h"
#include "platform/files/IniFile.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/SectionContractUnit.h"

namespace tools {

using win::HKEY_CLASSES_ROOT;
using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;

std::string SpeedBackupFileName;

namespace {

constexpr auto kDword = TweakValueType::Dword;
constexpr auto kString = TweakValueType::String;
constexpr auto kNumber = TweakValueType::Number;

const char* const kPrefetch =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\PrefetchParameters";
const char* const kExplorer = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char* const kNameSpace =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RemoteComputer\\NameSpace\\"
    "{D6277990-4C6A-11CF-8D87-00AA0060F5BF}";
const char* const kDnscache = "SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
const char* const kDesktop = "Control Panel\\Desktop";
const char* const kPoliciesExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char* const kAviClass = "CLSID\\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}";

TweakValue Dword(win::HKEY root, const char* key, const char* name, bool create, std::int32_t value) {
  return {root, key, name, kDword, create, value, nullptr};
}
TweakValue Text(win::HKEY root, const char* key, const char* name, bool create, const char* value,
                TweakValueType type = kString) {
  return {root, key, name, type, create, 0, value};
}
FixedRestore Zero(int value) { return {value, false, 0, nullptr}; }
FixedRestore Remove(int value) { return {value, true, 0, nullptr}; }

std::array<TweakItem, kTweakCount> MakeTable() {
  return {{
      {"Machine speed is opened in the optimization", "Accelerate Start Speed",
       {Dword(HKEY_LOCAL_MACHINE, kPrefetch, "EnablePrefetcher", true, 1),
        Text(HKEY_LOCAL_MACHINE, kExplorer, "AlwaysUnloadDLL", true, "1")},
       false, 0, nullptr, {}},
      {"Optimization shutdown speed", "Accelerate Turn Off Speed",
       {Text(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout",
             true, "500")},
       false, 0, nullptr, {}},
      {"Optimize network speed", "Optimize Net Cache Speed",
       {Dword(HKEY_LOCAL_MACHINE, kDnscache, "CacheHashTableBucketSize", true, 1),
        Dword(HKEY_LOCAL_MACHINE, kDnscache, "CacheHashTableSize", true, 384),
        Dword(HKEY_LOCAL_MACHINE, kDnscache, "MaxCacheEntryTtlLimit", true, 64000),
        Dword(HKEY_LOCAL_MACHINE, kDnscache, "MaxSOACacheEntryTtlLimit", true, 301)},
       false, HKEY_LOCAL_MACHINE, kNameSpace, {}},
      {"Quicken menu display speed", "Optimize Menu Display",
       {Text(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay", true, "400")},
       false, 0, nullptr, {}},
      {"Optimize the system to the wrong handle", "Unresponsive Program",
       {Text(HKEY_CURRENT_USER, kDesktop, "AutoEndTasks", true, "1"),
        Text(HKEY_CURRENT_USER, kDesktop, "HungAppTimeout", true, "200"),
        Text(HKEY_CURRENT_USER, kDesktop, "WaitToKillAppTimeout", true, "1000")},
       false, 0, nullptr, {}},
      {"Optimize Hard Disk When Idle", "Auto Optimize Disk",
       {Dword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout",
              "EnableAutoLayout", true, 1)},
       false, 0, nullptr, {}},
      {"Automatic Boot Disk Optimization", "Automatic Boot Disk Optimization",
       {Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable", true,
             "N")},
       false, 0, nullptr, {}},
      {"Optimize the Windows Prefetcher Service", "Manage the Windows Prefetcher Service",
       {Dword(HKEY_LOCAL_MACHINE, kPrefetch, "EnablePrefetcher", true, 1)},
       false, 0, nullptr, {}},
      {"Force Windows to Unload DLLs from Memory", "Auto Release .DLL",
       {Text(HKEY_LOCAL_MACHINE,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AlwaysUnloadDLL", "", true,
             "1")},
       false, 0, nullptr, {}},
      {"Fix Problem with Athlon Hanging AGP Programs", "Fix Problem with Athlon Hanging AGP Programs",
       {Dword(HKEY_LOCAL_MACHINE,
              "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
              "LargePageMinimum", true, -1)},
       false, 0, nullptr, {}},
      // Both values are kept (F2 the user's), so that each comes back as it was.
      {"Disable Tracking of Broken Shortcut Links", "Remove Shortcut Arrow",
       {Dword(HKEY_LOCAL_MACHINE, kPoliciesExplorer, "NoResolveTrack", true, 1),
        Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "NoResolveTrack", true, 1)},
       false, 0, nullptr, {}},
      {"Optimize the DefaultTTL Settings", "Optimize ADSL/Cable parameter",
       {Text(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\MSTCP",
             "DefaultRcvWindow", true, "4288"),
        Text(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DefaultTTL",
             true, "128")},
       false, 0, nullptr, {}},
      {"System Board and Memory Optimizations", "System Board and Memory Optimizations",
       {Dword(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "PCIConcur",
              false, 1),
        Dword(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "FastDRAM",
              false, 1),
        Dword(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "AGPConcur",
              false, 1)},
       false, 0, nullptr, {}},
      {"Optimize AVI Media Files", "Optimize AVI Media Files",
       {Dword(HKEY_CLASSES_ROOT, kAviClass, "LargeSystemCache", true, 1)},
       true, HKEY_CLASSES_ROOT, kAviClass, {Remove(0)}},
      {"Best Vision Effect", "Best Vision Effect",
       {Text(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "MinAniMate", true, "0",
             kNumber)},
       false, 0, nullptr, {Remove(0)}},
      {"Disable Recent File", "Disable Recent File",
       {Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "ClearRecentDocsOnExit", true, 1)},
       false, 0, nullptr, {Zero(0)}},
      {"Close Customized Menu", "Close Customized Menu",
       {Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "NoCommonGroups", true, 1)},
       false, 0, nullptr, {Zero(0)}},
      {"Multi-page in START", "Multi-page in START",
       {Text(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Advanced",
             "StartMenuScrollPrograms", true, "false")},
       true, 0, nullptr, {Remove(0)}},
      {"Enable Hardware Optimization", "Enable Hardware Optimization",
       {Dword(HKEY_LOCAL_MACHINE,
              "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000",
              "EnableUDMA66", false, 1)},
       false, 0, nullptr, {Zero(0)}},
      {"Optimize NTFS Volume", "Optimize NTFS Volume",
       {Dword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\FileSystem",
              "NtfsDisableLastAccessUpdate", false, 1)},
       false, 0, nullptr, {}},
      {"IE Multi-thread Download", "IE Multi-thread Download",
       {Dword(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
              "MaxConnectionsPerServer", false, 5)},
       false, 0, nullptr, {{0, false, 1, nullptr}}},
      {"Disable Net Access To Floppy", "Disable Net Access To Floppy",
       {Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
             "AllocateFloppies", false, "1", kNumber)},
       false, 0, nullptr, {{0, false, 0, "0"}}},
      {"Enhance Modem Performance", "Enhance Modem Performance",
       {Dword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters",
              "EnablePMTUDiscovery", false, 1)},
       false, 0, nullptr, {}},
      {"Quit Without Auto Saving", "Quit Without Auto Saving",
       {Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "NoSaveSettings", false, 1)},
       false, 0, nullptr, {Zero(0)}},
      {"Hide Shared Documents", "Hide Shared Documents",
       {Dword(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network",
              "NoFileSharingControl", false, 1)},
       false, 0, nullptr, {Zero(0)}},
      {"Close Mini-map Memory", "Close Mini-map Memory",
       {Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "NoThumbnailCache", false, 1)},
       false, 0, nullptr, {}},
  }};
}

constexpr const char* kKeyCreated = "KeyCreated";
constexpr const char* kMissing = "missing";

// "F1".. and the keys beside it ("F1Type").
std::string Key(std::size_t index, const char* suffix = "") {
  return "F" + std::to_string(index + 1) + suffix;
}

// A decimal number with an optional sign and blanks around it, in the range
// of a DWORD read signed or unsigned.
std::optional<std::int32_t> ParseNumber(const std::string& text) {
  const std::string trimmed = win::Trim(text, win::kSpacesAndTabs);
  std::int64_t value = 0;
  const char* first = trimmed.data();
  const char* last = first + trimmed.size();
  if (first != last && *first == '+') ++first;
  const auto result = std::from_chars(first, last, value);
  if (first == last || result.ec != std::errc() || result.ptr != last || value < INT32_MIN ||
      value > static_cast<std::int64_t>(UINT32_MAX))
    return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

const char* TypeName(win::DWORD type) {
  switch (type) {
    case win::REG_SZ: return "REG_SZ";
    case win::REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case win::REG_DWORD: return "REG_DWORD";
    default: return nullptr;
  }
}

std::vector<std::uint8_t> DwordBytes(std::int32_t number) {
  const auto bits = static_cast<std::uint32_t>(number);
  return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

// A text as a line holds it: quoted where the reader would trim or unquote it.
std::string LineText(const std::string& text) {
  const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                      text.back() == text.front();
  return quoted || win::Trim(text, win::kSpacesAndTabs) != text ? "\"" + text + "\"" : text;
}

std::string ParentPath(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

int PathDepth(const std::string& path) {
  return static_cast<int>(std::count(path.begin(), path.end(), '\\')) + 1;
}

bool KeyExists(win::HKEY root, const std::string& key) {
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(root);
  return reg.KeyExists("\\" + key);
}

// How many levels of a key, counted from its end, do not exist yet.
int MissingLevels(win::HKEY root, std::string key) {
  int levels = 0;
  while (!key.empty() && !KeyExists(root, key)) {
    ++levels;
    key = ParentPath(key);
  }
  return levels;
}

// Opens a value's key for writing as the apply does; missing is true when a
// key that is not created does not exist (nothing to do, no failure).
bool OpenForWrite(win::TRegistry& reg, win::HKEY root, const char* key, bool create, bool& missing) {
  reg.SetRootKey(root);
  missing = false;
  if (reg.OpenKey(std::string("\\") + key, create)) return true;
  missing = win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
  return false;
}

bool WriteValue(const TweakValue& value, win::DWORD type, const std::vector<std::uint8_t>& data) {
  win::TRegistry reg;
  bool missing = false;
  if (!OpenForWrite(reg, value.root, value.key, value.createKey, missing)) return missing;
  return reg.WriteRaw(value.name, type, data);
}

bool RemoveValue(const TweakValue& value) {
  win::TRegistry reg;
  bool missing = false;
  if (!OpenForWrite(reg, value.root, value.key, false, missing)) return missing;
  return !reg.ValueExists(value.name) || reg.DeleteValue(value.name);
}

// One value as its back-up keeps it; false when it could not come back
// exactly from the file.
bool ReadSavedValue(const TweakValue& value, SavedValue& saved) {
  saved = SavedValue{};
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(value.root);
  if (!reg.OpenKeyReadOnly(std::string("\\") + value.key) || !reg.GetDataInfo(value.name)) return true;
  std::vector<std::uint8_t> data;
  if (!reg.ReadRaw(value.name, saved.type, data)) return false;
  saved.exists = true;
  if (value.type == kDword) {
    if (saved.type != win::REG_DWORD || data.size() != 4) return false;
    const std::uint32_t bits = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    saved.text = std::to_string(static_cast<std::int32_t>(bits));
    return true;
  }
  if (saved.type != win::REG_SZ && saved.type != win::REG_EXPAND_SZ) return false;
  saved.text = win::Utf16LeBytesToUtf8(data);
  // A missing terminator, an odd length or an embedded NUL would not come back.
  if (win::Utf8ToUtf16LeBytes(saved.text, true) != data) return false;
  if (saved.text.find_first_of("\r\n") != std::string::npos || !regclean::FitsAnsiCodePage(saved.text))
    return false;
  return value.type != kNumber || ParseNumber(saved.text).has_value();
}

// The "F<n>" line of a value as older readers expect it.
std::string PartLine(const TweakItem& item, const TweakValue& value, const SavedValue& saved) {
  if (!saved.exists || item.emptyLines) return "";
  if (value.type == kNumber) return std::to_string(*ParseNumber(saved.text));
  return saved.text;
}

// A section's lines by upper-cased key; the first of a key wins.
using SectionLines = std::map<std::string, std::string>;

SectionLines ReadLines(const win::TIniFile& ini, const std::string& section) {
  SectionLines lines;
  for (const std::string& pair : ini.ReadSectionValues(section)) {
    const std::size_t eq = pair.find('=');
    lines.emplace(win::UpperName(pair.substr(0, eq)), pair.substr(eq + 1));
  }
  return lines;
}

const std::string* Find(const SectionLines& lines, const std::string& key) {
  const auto it = lines.find(win::UpperName(key));
  return it == lines.end() ? nullptr : &it->second;
}

const FixedRestore* FixedFor(const TweakItem& item, std::size_t value) {
  for (const FixedRestore& fixed : item.fixed)
    if (fixed.value == static_cast<int>(value)) return &fixed;
  return nullptr;
}

// What a restore does with one value.
struct Step {
  bool pending = false;  // the file still holds the value
  bool write = false;    // else the value is deleted
  win::DWORD type = win::REG_SZ;
  std::string text;      // a DWORD in decimal
  std::vector<std::string> lines;  // its keys in the file, dropped once it is back
};

// A number (a DWORD, or the text of an older line) is checked and kept in decimal.
bool SetWrite(Step& step, win::DWORD type, const std::string& text, bool isNumber) {
  step.write = true;
  step.type = type;
  step.text = text;
  if (isNumber) {
    const auto number = ParseNumber(text);
    if (!number) return false;
    step.text = std::to_string(*number);
  }
  return true;
}

// The steps that bring a tweak's values back from its section; false when
// a line is damaged, so that nothing is written.
bool PlanRestore(const TweakItem& item, const SectionLines& lines, std::vector<Step>& steps) {
  steps.assign(item.values.size(), Step{});
  for (std::size_t i = 0; i < item.values.size(); ++i) {
    const TweakValue& value = item.values[i];
    Step& step = steps[i];
    const std::string* text = Find(lines, Key(i));
    if (const std::string* type = Find(lines, Key(i, "Type"))) {
      if (text == nullptr) continue;  // already back
      step.pending = true;
      step.lines = {Key(i), Key(i, "Type"), Key(i, "Text")};
      if (*type == kMissing) continue;
      const std::string* exact = Find(lines, Key(i, "Text"));
      const std::string& content = exact != nullptr ? *exact : *text;
      const bool dword = value.type == kDword;
      if (*type == "REG_DWORD" && dword) {
        if (!SetWrite(step, win::REG_DWORD, content, true)) return false;
      } else if ((*type == "REG_SZ" || *type == "REG_EXPAND_SZ") && !dword) {
        if (!SetWrite(step, *type == "REG_SZ" ? win::REG_SZ : win::REG_EXPAND_SZ, content, false)) return false;
      } else {
        return false;
      }
      continue;
    }
    // An older section. One F1 stood for both policy values.
    std::string line = Key(i);
    if (text == nullptr && i > 0 && win::SameName(value.name, item.values[0].name)) {
      line = Key(0);
      text = Find(lines, line);
    }
    if (text == nullptr) continue;
    step.pending = true;
    step.lines = {line};
    if (win::Trim(*text, win::kSpacesAndTabs).empty()) {
      const FixedRestore* fixed = FixedFor(item, i);
      if (fixed == nullptr || fixed->remove) continue;
      if (fixed->text != nullptr) SetWrite(step, win::REG_SZ, fixed->text, false);
      else SetWrite(step, win::REG_DWORD, std::to_string(fixed->dword), true);
      continue;
    }
    if (!SetWrite(step, value.type == kDword ? win::REG_DWORD : win::REG_SZ, *text, value.type != kString)) return false;
  }
  return true;
}

bool DoStep(const TweakValue& value, const Step& step) {
  if (!step.write) return RemoveValue(value);
  if (step.type == win::REG_DWORD) return WriteValue(value, win::REG_DWORD, DwordBytes(*ParseNumber(step.text)));
  return WriteValue(value, step.type, win::Utf8ToUtf16LeBytes(step.text, true));
}

// A key (and levels - 1 of its parents) that an apply created.
struct CreatedKey {
  const char* title;
  std::string line;
  win::HKEY root;
  std::string path;
  int levels;
};

// The created-key lines of a section; false for a damaged one.
bool ReadCreatedKeys(const TweakItem& item, const SectionLines& lines, std::vector<CreatedKey>& keys) {
  const auto add = [&](const std::string& line, win::HKEY root, const char* path) {
    const std::string* text = Find(lines, line);
    if (text == nullptr) return true;
    const auto levels = ParseNumber(*text);
    if (!levels || *levels < 1 || *levels > PathDepth(path)) return false;
    keys.push_back({item.title, line, root, path, *levels});
    return true;
  };
  if (item.createdKey != nullptr && !add(kKeyCreated, item.createdRoot, item.createdKey)) return false;
  for (std::size_t i = 0; i < item.values.size(); ++i)
    if (!add(Key(i, "KeyCreated"), item.values[i].root, item.values[i].key)) return false;
  return true;
}

void Fail(SpeedRestoreResult& result, const char* title) {
  if (std::find(result.failedTitles.begin(), result.failedTitles.end(), title) == result.failedTitles.end())
    result.failedTitles.push_back(title);
}

enum class KeyRemoval { Absent, Removed, InUse, Refused };

KeyRemoval RemoveEmptyKey(win::HKEY root, const std::string& path) {
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly("\\" + path)) return KeyRemoval::Absent;
  std::vector<std::string> values;
  reg.GetValueNames(values);
  if (reg.HasSubKeys() || !values.empty()) return KeyRemoval::InUse;
  reg.CloseKey();
  reg.SetAccess(win::KEY_ALL_ACCESS);
  return reg.DeleteKey("\\" + path) ? KeyRemoval::Removed : KeyRemoval::Refused;
}

std::function<bool()>& StepHook() {
  static std::function<bool()> hook;
  return hook;
}

// One restore of a file. Every change goes through Go(), which a test may
// refuse to end the restore there.
class Restorer {
 public:
  explicit Restorer(const std::string& fileName) : ini_(fileName) {}

  SpeedRestoreResult Run() {
    const std::vector<std::string> sections = ini_.ReadSections();
    for (const TweakItem& item : TweakTable()) {
      // Section names match with their letter case.
      if (std::find(sections.begin(), sections.end(), item.title) == sections.end()) continue;
      result_.isBackup = true;
      RestoreTweak(item);
      if (!alive_) return result_;
    }
    RemoveCreatedKeys();
    return result_;
  }

 private:
  bool Go() {
    if (alive_ && StepHook()) alive_ = StepHook()();
    return alive_;
  }

  bool Drop(const char* title, const std::string& line) {
    return !ini_.ValueExists(title, line) || (Go() && ini_.DeleteKey(title, line));
  }

  void RestoreTweak(const TweakItem& item) {
    const SectionLines lines = ReadLines(ini_, item.title);
    std::vector<Step> steps;
    std::vector<CreatedKey> keys;
    if (!PlanRestore(item, lines, steps) || !ReadCreatedKeys(item, lines, keys)) {
      Fail(result_, item.title);
      return;
    }
    bool ok = true;
    std::vector<std::string> done, kept;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      if (!steps[i].pending) {
        // A value already back may have left its type and text lines.
        done.insert(done.end(), {Key(i, "Type"), Key(i, "Text")});
        continue;
      }
      if (!Go()) return;
      const bool back = DoStep(item.values[i], steps[i]);
      if (back) ++result_.restored;
      else ok = false;
      std::vector<std::string>& lineList = back ? done : kept;
      lineList.insert(lineList.end(), steps[i].lines.begin(), steps[i].lines.end());
    }
    // Written first, then dropped: a restore cut short can run again.
    for (const std::string& line : done) {
      if (std::find(kept.begin(), kept.end(), line) != kept.end()) continue;
      if (!Drop(item.title, line)) ok = false;
      if (!alive_) return;
    }
    if (!ok) Fail(result_, item.title);
    created_.insert(created_.end(), keys.begin(), keys.end());
  }

  // Removes the created keys that are empty now, deepest first, and then
  // their lines; a line stays while its key is there and a tweak failed.
  void RemoveCreatedKeys() {
    struct Target {
      win::HKEY root;
      std::string path;
      std::vector<const char*> owners;
    };
    std::map<std::pair<win::HKEY, std::string>, Target> targets;
    for (const CreatedKey& key : created_) {
      std::string path = key.path;
      for (int level = 0; level < key.levels && !path.empty(); ++level, path = ParentPath(path)) {
        Target& target =
            targets.try_emplace({key.root, win::UpperName(path)}, Target{key.root, path, {}}).first->second;
        target.owners.push_back(key.title);
      }
    }
    std::vector<const Target*> order;
    for (const auto& [name, target] : targets) order.push_back(&target);
    std::stable_sort(order.begin(), order.end(),
                     [](const Target* a, const Target* b) { return PathDepth(a->path) > PathDepth(b->path); });
    for (const Target* target : order) {
      if (!Go()) return;
      const KeyRemoval removal = RemoveEmptyKey(target->root, target->path);
      if (removal == KeyRemoval::Removed) ++result_.restored;
      if (removal == KeyRemoval::Refused)
        for (const char* title : target->owners) Fail(result_, title);
    }
    const bool failed = !result_.failedTitles.empty();
    for (const CreatedKey& key : created_) {
      if (failed && KeyExists(key.root, key.path)) continue;
      if (!Drop(key.title, key.line)) Fail(result_, key.title);
      if (!alive_) return;
    }
  }

  win::TIniFile ini_;
  SpeedRestoreResult result_;
  std::vector<CreatedKey> created_;
  bool alive_ = true;
};

// True when the section in the file restores exactly what was read.
bool RestoresBackup(const TweakItem& item, const SectionLines& lines, const TweakBackup& backup) {
  std::vector<Step> steps;
  std::vector<CreatedKey> keys;
  if (!PlanRestore(item, lines, steps) || !ReadCreatedKeys(item, lines, keys)) return false;
  TweakBackup restored;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (!steps[i].pending) return false;
    SavedValue value;
    value.exists = steps[i].write;
    if (value.exists) {
      value.type = steps[i].type;
      value.text = steps[i].text;
    }
    restored.values.push_back(value);
  }
  for (const CreatedKey& key : keys) {
    if (key.line == kKeyCreated) {
      restored.keyLevels = key.levels;
      continue;
    }
    for (std::size_t i = 0; i < item.values.size(); ++i)
      if (key.line == Key(i, "KeyCreated")) restored.values[i].keyLevels = key.levels;
  }
  return restored == backup;
}

}  // namespace

const std::array<TweakItem, kTweakCount>& TweakTable() {
  static const std::array<TweakItem, kTweakCount> table = MakeTable();
  return table;
}

bool ReadTweakBackup(int tweak, TweakBackup& backup) {
  const TweakItem& item = TweakTable()[static_cast<std::size_t>(tweak - 1)];
  backup = TweakBackup{};
  backup.values.resize(item.values.size());
  // Each created key is noted once: by the tweak's own key, else by the
  // first value under it.
  std::vector<std::pair<win::HKEY, std::string>> noted;
  if (item.createdKey != nullptr) {
    backup.keyLevels = MissingLevels(item.createdRoot, item.createdKey);
    noted.emplace_back(item.createdRoot, win::UpperName(item.createdKey));
  }
  for (std::size_t i = 0; i < item.values.size(); ++i) {
    const TweakValue& value = item.values[i];
    if (!ReadSavedValue(value, backup.values[i])) return false;
    const std::pair<win::HKEY, std::string> key{value.root, win::UpperName(value.key)};
    if (!value.createKey || std::find(noted.begin(), noted.end(), key) != noted.end()) continue;
    noted.push_back(key);
    backup.values[i].keyLevels = MissingLevels(value.root, value.key);
  }
  return true;
}

bool WriteTweakBackupIni(const std::string& fileName, const TweakBackup& backup, int tweak) {
  const TweakItem& item = TweakTable()[static_cast<std::size_t>(tweak - 1)];
  if (backup.values.size() != item.values.size()) return false;
  win::TIniFile ini(fileName);
  // Each value's own keys come before its line: a line in the file means
  // that its value is whole there.
  for (std::size_t i = 0; i < item.values.size(); ++i) {
    const SavedValue& saved = backup.values[i];
    const char* type = saved.exists ? TypeName(saved.type) : kMissing;
    const std::string line = PartLine(item, item.values[i], saved);
    if (type == nullptr || !ini.WriteString(item.title, Key(i, "Type"), type)) return false;
    if (saved.exists && line != saved.text && !ini.WriteString(item.title, Key(i, "Text"), LineText(saved.text)))
      return false;
    if (saved.keyLevels > 0 &&
        !ini.WriteString(item.title, Key(i, "KeyCreated"), std::to_string(saved.keyLevels)))
      return false;
    if (!ini.WriteString(item.title, Key(i), LineText(line))) return false;
  }
  return backup.keyLevels == 0 || ini.WriteString(item.title, kKeyCreated, std::to_string(backup.keyLevels));
}

TweakOutcome SaveTweakBackup(int tweak) {
  TweakBackup backup;
  if (!ReadTweakBackup(tweak, backup)) return TweakOutcome::BadData;
  if (!WriteTweakBackupIni(SpeedBackupFileName, backup, tweak)) return TweakOutcome::BackupFailed;
  const TweakItem& item = TweakTable()[static_cast<std::size_t>(tweak - 1)];
  const win::TIniFile ini(SpeedBackupFileName);
  const std::vector<std::string> sections = ini.ReadSections();
  if (std::find(sections.begin(), sections.end(), item.title) == sections.end() ||
      !RestoresBackup(item, ReadLines(ini, item.title), backup))
    return TweakOutcome::BackupFailed;
  return TweakOutcome::Done;
}

bool ApplyTweak(int tweak) {
  const TweakItem& item = TweakTable()[static_cast<std::size_t>(tweak - 1)];
  bool ok = true;
  if (item.createdKey != nullptr) {
    win::TRegistry reg;
    bool missing = false;
    ok = OpenForWrite(reg, item.createdRoot, item.createdKey, true, missing);
  }
  for (const TweakValue& value : item.values) {
    const bool written = value.type == kDword
                             ? WriteValue(value, win::REG_DWORD, DwordBytes(value.dword))
                             : WriteValue(value, win::REG_SZ, win::Utf8ToUtf16LeBytes(value.text, true));
    ok = written && ok;
  }
  return ok;
}

TweakOutcome BackUpAndApplyTweak(int tweak) {
  const TweakOutcome saved = SaveTweakBackup(tweak);
  if (saved != TweakOutcome::Done) return saved;
  return ApplyTweak(tweak) ? TweakOutcome::Done : TweakOutcome::WriteFailed;
}

SpeedRestoreResult RestoreSpeedBackup(const std::string& fileName) {
  if (!win::FileExists(fileName)) return {};
  return Restorer(fileName).Run();
}

void SetRestoreStepHook(std::function<bool()> hook) { StepHook() = std::move(hook); }

}  // namespace tools
