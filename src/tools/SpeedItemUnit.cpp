#include "tools/SpeedItemUnit.h"

#include <charconv>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

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
       2, 2, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Optimization shutdown speed", "Accelerate Turn Off Speed",
       {Text(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout",
             true, "500")},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Optimize network speed", "Optimize Net Cache Speed",
       {Dword(HKEY_LOCAL_MACHINE, kDnscache, "CacheHashTableBucketSize", true, 1),
        Dword(HKEY_LOCAL_MACHINE, kDnscache, "CacheHashTableSize", true, 384),
        Dword(HKEY_LOCAL_MACHINE, kDnscache, "MaxCacheEntryTtlLimit", true, 64000),
        Dword(HKEY_LOCAL_MACHINE, kDnscache, "MaxSOACacheEntryTtlLimit", true, 301)},
       4, 4, HKEY_LOCAL_MACHINE, kNameSpace, TweakRestore::FromKeys, {}},
      {"Quicken menu display speed", "Optimize Menu Display",
       {Text(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay", true, "400")},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Optimize the system to the wrong handle", "Unresponsive Program",
       {Text(HKEY_CURRENT_USER, kDesktop, "AutoEndTasks", true, "1"),
        Text(HKEY_CURRENT_USER, kDesktop, "HungAppTimeout", true, "200"),
        Text(HKEY_CURRENT_USER, kDesktop, "WaitToKillAppTimeout", true, "1000")},
       3, 3, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Optimize Hard Disk When Idle", "Auto Optimize Disk",
       {Dword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout",
              "EnableAutoLayout", true, 1)},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Automatic Boot Disk Optimization", "Automatic Boot Disk Optimization",
       {Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable", true,
             "N")},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Optimize the Windows Prefetcher Service", "Manage the Windows Prefetcher Service",
       {Dword(HKEY_LOCAL_MACHINE, kPrefetch, "EnablePrefetcher", true, 1)},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Force Windows to Unload DLLs from Memory", "Auto Release .DLL",
       {Text(HKEY_LOCAL_MACHINE,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AlwaysUnloadDLL", "", true,
             "1")},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Fix Problem with Athlon Hanging AGP Programs", "Fix Problem with Athlon Hanging AGP Programs",
       {Dword(HKEY_LOCAL_MACHINE,
              "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
              "LargePageMinimum", true, -1)},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      // Both values are kept (F2 the user's), so that each comes back as it was.
      {"Disable Tracking of Broken Shortcut Links", "Remove Shortcut Arrow",
       {Dword(HKEY_LOCAL_MACHINE, kPoliciesExplorer, "NoResolveTrack", true, 1),
        Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "NoResolveTrack", true, 1)},
       2, 2, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Optimize the DefaultTTL Settings", "Optimize ADSL/Cable parameter",
       {Text(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\MSTCP",
             "DefaultRcvWindow", true, "4288"),
        Text(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DefaultTTL",
             true, "128")},
       2, 2, 0, nullptr, TweakRestore::FromKeys, {}},
      {"System Board and Memory Optimizations", "System Board and Memory Optimizations",
       {Dword(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "PCIConcur",
              false, 1),
        Dword(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "FastDRAM",
              false, 1),
        Dword(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "AGPConcur",
              false, 1)},
       3, 3, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Optimize AVI Media Files", "Optimize AVI Media Files",
       {Dword(HKEY_CLASSES_ROOT, kAviClass, "LargeSystemCache", true, 1)},
       0, 1, HKEY_CLASSES_ROOT, kAviClass, TweakRestore::Remove, {Remove(0)}},
      {"Best Vision Effect", "Best Vision Effect",
       {Text(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "MinAniMate", true, "0",
             kNumber)},
       1, 1, 0, nullptr, TweakRestore::Fixed, {Remove(0)}},
      {"Disable Recent File", "Disable Recent File",
       {Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "ClearRecentDocsOnExit", true, 1)},
       1, 1, 0, nullptr, TweakRestore::Fixed, {Zero(0)}},
      {"Close Customized Menu", "Close Customized Menu",
       {Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "NoCommonGroups", true, 1)},
       1, 1, 0, nullptr, TweakRestore::Fixed, {Zero(0)}},
      {"Multi-page in START", "Multi-page in START",
       {Text(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Advanced",
             "StartMenuScrollPrograms", true, "false")},
       0, 1, 0, nullptr, TweakRestore::Fixed, {Remove(0)}},
      {"Enable Hardware Optimization", "Enable Hardware Optimization",
       {Dword(HKEY_LOCAL_MACHINE,
              "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000",
              "EnableUDMA66", false, 1)},
       1, 1, 0, nullptr, TweakRestore::Fixed, {Zero(0)}},
      {"Optimize NTFS Volume", "Optimize NTFS Volume",
       {Dword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\FileSystem",
              "NtfsDisableLastAccessUpdate", false, 1)},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      {"IE Multi-thread Download", "IE Multi-thread Download",
       {Dword(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
              "MaxConnectionsPerServer", false, 5)},
       1, 1, 0, nullptr, TweakRestore::Fixed, {{0, false, 1, nullptr}}},
      {"Disable Net Access To Floppy", "Disable Net Access To Floppy",
       {Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
             "AllocateFloppies", false, "1", kNumber)},
       1, 1, 0, nullptr, TweakRestore::Fixed, {{0, false, 0, "0"}}},
      {"Enhance Modem Performance", "Enhance Modem Performance",
       {Dword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters",
              "EnablePMTUDiscovery", false, 1)},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
      {"Quit Without Auto Saving", "Quit Without Auto Saving",
       {Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "NoSaveSettings", false, 1)},
       1, 1, 0, nullptr, TweakRestore::Fixed, {Zero(0)}},
      {"Hide Shared Documents", "Hide Shared Documents",
       {Dword(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network",
              "NoFileSharingControl", false, 1)},
       1, 1, 0, nullptr, TweakRestore::Fixed, {Zero(0)}},
      {"Close Mini-map Memory", "Close Mini-map Memory",
       {Dword(HKEY_CURRENT_USER, kPoliciesExplorer, "NoThumbnailCache", false, 1)},
       1, 1, 0, nullptr, TweakRestore::FromKeys, {}},
  }};
}

std::string KeyName(int index) { return "F" + std::to_string(index + 1); }
constexpr const char* kKeyCreated = "KeyCreated";

// A decimal number with an optional sign and blanks around it, in the range
// of a DWORD read signed or unsigned.
std::optional<std::int32_t> ParseNumber(const std::string& text) {
  const std::string trimmed = win::TrimBlanks(text);
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

// Opens a value's key for writing as the apply does; missing is true when a
// key that is not created does not exist (nothing to do, no failure).
bool OpenForWrite(win::TRegistry& reg, win::HKEY root, const char* key, bool create, bool& missing) {
  reg.SetRootKey(root);
  missing = false;
  if (reg.OpenKey(std::string("\\") + key, create)) return true;
  missing = win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
  return false;
}

bool WriteValue(const TweakValue& value, const std::optional<std::int32_t>& dword,
                const std::string& text) {
  win::TRegistry reg;
  bool missing = false;
  if (!OpenForWrite(reg, value.root, value.key, value.createKey, missing)) return missing;
  return value.type == kDword ? reg.WriteInteger(value.name, dword.value_or(0))
                              : reg.WriteString(value.name, text);
}

bool RemoveValue(const TweakValue& value) {
  win::TRegistry reg;
  bool missing = false;
  if (!OpenForWrite(reg, value.root, value.key, false, missing)) return missing;
  return !reg.ValueExists(value.name) || reg.DeleteValue(value.name);
}

bool KeyExists(win::HKEY root, const char* key) {
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(root);
  return reg.KeyExists(std::string("\\") + key);
}

// Deletes a key the apply made, when it holds nothing now.
bool RemoveCreatedKey(win::HKEY root, const char* key) {
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly(std::string("\\") + key)) return true;
  std::vector<std::string> values;
  reg.GetValueNames(values);
  if (reg.HasSubKeys() || !values.empty()) return true;
  reg.CloseKey();
  reg.SetAccess(win::KEY_ALL_ACCESS);
  return reg.DeleteKey(std::string("\\") + key);
}

// One value as its back-up saves it; false for an unexpected type or a text
// that is no number.
bool ReadBackupValue(const TweakValue& value, std::string& text) {
  text.clear();
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(value.root);
  if (!reg.OpenKeyReadOnly(std::string("\\") + value.key)) return true;
  const auto info = reg.GetDataInfo(value.name);
  if (!info) return true;
  if (value.type == kDword) {
    const auto number = reg.ReadInteger(value.name);
    if (info->type != win::REG_DWORD || !number) return false;
    text = std::to_string(*number);
    return true;
  }
  const auto read = reg.ReadString(value.name);
  if (!read) return false;
  if (value.type == kString) {
    text = *read;
    return true;
  }
  const auto number = ParseNumber(*read);
  if (!number) return false;
  text = std::to_string(*number);
  return true;
}

bool RestoreFromKeys(const TweakItem& item, win::TIniFile& ini) {
  bool ok = true;
  std::vector<std::string> used;
  for (int i = 0; i < item.backedUp; ++i) {
    const TweakValue& value = item.values[static_cast<std::size_t>(i)];
    std::string key = KeyName(i);
    // A file of the older form holds only F1, which stood for both values.
    if (!ini.ValueExists(item.title, key) && i > 0 && item.values[0].name == std::string(value.name))
      key = KeyName(0);
    if (!ini.ValueExists(item.title, key)) continue;
    const std::string text = ini.ReadString(item.title, key, "");
    bool done = false;
    if (win::TrimBlanks(text).empty()) {
      done = RemoveValue(value);
    } else if (value.type == kString) {
      done = WriteValue(value, std::nullopt, text);
    } else if (const auto number = ParseNumber(text)) {
      done = WriteValue(value, number, value.type == kNumber ? std::to_string(*number) : text);
    }
    if (done) used.push_back(KeyName(i));
    else ok = false;
  }
  if (item.createdKey != nullptr && ini.ReadString(item.title, kKeyCreated, "") == "1" &&
      !RemoveCreatedKey(item.createdRoot, item.createdKey))
    ok = false;
  for (const std::string& key : used)
    if (ini.ValueExists(item.title, key) && !ini.DeleteKey(item.title, key)) ok = false;
  if (ini.ValueExists(item.title, kKeyCreated) && !ini.DeleteKey(item.title, kKeyCreated)) ok = false;
  return ok;
}

bool RestoreFixed(const TweakItem& item) {
  bool ok = true;
  for (const FixedRestore& fixed : item.fixed) {
    const TweakValue& value = item.values[static_cast<std::size_t>(fixed.value)];
    if (fixed.remove) ok = RemoveValue(value) && ok;
    else if (fixed.text != nullptr) ok = WriteValue(value, std::nullopt, fixed.text) && ok;
    else ok = WriteValue(value, fixed.dword, "") && ok;
  }
  return ok;
}

bool RestoreRemove(const TweakItem& item, win::TIniFile& ini) {
  const bool created = ini.ReadString(item.title, kKeyCreated, "") == "1";
  bool ok = true;
  for (int i = 0; i < item.fileKeys; ++i)
    if (ini.ValueExists(item.title, KeyName(i)) && !ini.DeleteKey(item.title, KeyName(i))) ok = false;
  if (ini.ValueExists(item.title, kKeyCreated) && !ini.DeleteKey(item.title, kKeyCreated)) ok = false;
  ok = RestoreFixed(item) && ok;
  if (created && !RemoveCreatedKey(item.createdRoot, item.createdKey)) ok = false;
  return ok;
}

}  // namespace

const std::array<TweakItem, kTweakCount>& TweakTable() {
  static const std::array<TweakItem, kTweakCount> table = MakeTable();
  return table;
}

bool ReadTweakBackup(int tweak, std::vector<std::string>& values, bool& keyCreated) {
  const TweakItem& item = TweakTable()[static_cast<std::size_t>(tweak - 1)];
  values.assign(static_cast<std::size_t>(item.fileKeys), std::string());
  for (int i = 0; i < item.backedUp; ++i)
    if (!ReadBackupValue(item.values[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(i)]))
      return false;
  keyCreated = item.createdKey != nullptr && !KeyExists(item.createdRoot, item.createdKey);
  return true;
}

bool WriteTweakBackupIni(const std::string& fileName, const std::vector<std::string>& values,
                         bool keyCreated, int tweak) {
  const TweakItem& item = TweakTable()[static_cast<std::size_t>(tweak - 1)];
  win::TIniFile ini(fileName);
  for (std::size_t i = 0; i < values.size(); ++i)
    if (!ini.WriteString(item.title, KeyName(static_cast<int>(i)), values[i])) return false;
  return !keyCreated || ini.WriteString(item.title, kKeyCreated, "1");
}

TweakOutcome SaveTweakBackup(int tweak) {
  std::vector<std::string> values;
  bool keyCreated = false;
  if (!ReadTweakBackup(tweak, values, keyCreated)) return TweakOutcome::BadData;
  if (!WriteTweakBackupIni(SpeedBackupFileName, values, keyCreated, tweak))
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
  for (const TweakValue& value : item.values)
    ok = WriteValue(value, value.dword, value.text != nullptr ? value.text : "") && ok;
  return ok;
}

TweakOutcome BackUpAndApplyTweak(int tweak) {
  const TweakOutcome saved = SaveTweakBackup(tweak);
  if (saved != TweakOutcome::Done) return saved;
  return ApplyTweak(tweak) ? TweakOutcome::Done : TweakOutcome::WriteFailed;
}

bool RestoreSpeedBackup(const std::string& fileName, std::vector<std::string>& failedTitles) {
  if (!win::FileExists(fileName)) return false;
  win::TIniFile ini(fileName);
  for (const TweakItem& item : TweakTable()) {
    if (ini.ReadSection(item.title).empty()) continue;
    bool ok = true;
    switch (item.restore) {
      case TweakRestore::FromKeys: ok = RestoreFromKeys(item, ini); break;
      case TweakRestore::Fixed: ok = RestoreFixed(item); break;
      case TweakRestore::Remove: ok = RestoreRemove(item, ini); break;
    }
    if (!ok) failedTitles.push_back(item.title);
  }
  return true;
}

}  // namespace tools
