#include "recovery/IERepairItemUnit.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "shell/PublicFunctionUnit.h"

namespace recovery {

const std::array<const char*, kRepairCount> kRepairCaptions = {
    "Repair IE HomePage and Default Page",
    "Repair IE Control",
    "Enable RegistryTools(Registry Editor)",
    "IE Search Engine",
    "Cancel IE Menu Items Restrictions",
    "Enable IE Right Button",
    "Get back Desktop Icon",
    "Eabled IE Option Card",
    "Get Back Program Menu",
    "Enable control panel",
    "Remove IE Context Menu",
    "Delete IE Typed URL History",
    "Repair Links Toolbar Name",
};

const char* const kStockSearchHost = "http://ie.search.msn.com";

std::string StockSearchAssistantUrl() {
  return std::string(kStockSearchHost) + "/{SUB_RFC1766}/srchasst/srchasst.htm";
}

namespace {

using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;
using win::HKEY_USERS;

// What a repair step does to its key.
enum class Op {
  Dword0,         // each name = REG_DWORD 0
  ZeroBytes,      // each name = REG_BINARY 00 00 00 00
  Text,           // each name = text (REG_SZ)
  DeleteValues,   // every value of the key
  DeleteSubkeys,  // every subkey with everything below it
};

struct Step {
  win::HKEY root;
  const char* key;
  Op op;
  std::vector<const char*> names;
  std::string text;
};

using Steps = std::vector<Step>;

const char* const kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Row 0, steps 2 and 3.
const Steps& Row0Pages() {
  static const Steps steps = {
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Main", Op::Text, {"start page"}, "about:blank"},
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Main", Op::Text, {"Window Title"},
       "Microsoft Internet Explorer"},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", Op::Text, {"start page"}, "about:blank"},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", Op::Text, {"Window Title"},
       "Microsoft Internet Explorer"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Main", Op::Text,
       {"Default_Page_URL", "Default_Search_URL", "Search Page"}, ""},
  };
  return steps;
}

const Steps& Row1() {
  static const Steps steps = {
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", Op::ZeroBytes,
       {"NoFolderOptions"}, ""},
      {HKEY_USERS, ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel", Op::Dword0,
       {"homepage"}, ""},
  };
  return steps;
}

const Steps& Row2() {
  static const Steps steps = {
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", Op::Dword0,
       {"DisableRegistryTools"}, ""},
  };
  return steps;
}

const Steps& Row3() {
  static const Steps steps = {
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Search", Op::Text,
       {"CustomizeSearch", "SearchAssistant"}, StockSearchAssistantUrl()},
  };
  return steps;
}

const Steps& Row4() {
  static const Steps steps = {
      {HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", Op::Dword0,
       {"NoViewSource", "NoBrowserContextMenu", "NoBrowserClose", "NoBrowserOptions", "NoBrowserSaveAs",
        "NoFavorites", "NoFileNew", "NoFileOpen", "NoFindFiles", "NoSelectDownloadDir", "NoTheaterMode",
        "NoAddressBar", "NoToolBar", "NoLinksBar"},
       ""},
      {HKEY_USERS, ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", Op::Dword0,
       {"NoViewSource", "NoBrowserContextMenu"}, ""},
  };
  return steps;
}

const Steps& Row5() {
  static const Steps steps = {
      {HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", Op::Dword0,
       {"NoBrowserContextMenu"}, ""},
  };
  return steps;
}

const Steps& Row6() {
  static const Steps steps = {
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", Op::Dword0,
       {"NoDesktop"}, ""},
  };
  return steps;
}

const Steps& Row7() {
  static const Steps steps = {
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", Op::ZeroBytes,
       {"NoFolderOptions"}, ""},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", Op::Dword0,
       {"RestrictRun"}, ""},
  };
  return steps;
}

const Steps& Row8() {
  static const Steps steps = {
      {HKEY_USERS, ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", Op::Dword0,
       {"NoRun", "NoLogOff", "NoFind", "NoClose", "NoSetFolders", "NoFavoritesMenu", "NoStartBanner"}, ""},
  };
  return steps;
}

const Steps& Row9() {
  static const Steps steps = {
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", Op::Dword0,
       {"NoSecCPL", "NoDispCPL", "NoDispBackgroundPage", "NoDispScrSavPage", "NoDispAppearancePage",
        "NoDispSettingsPage", "NoDevMgrPage", "NoConfigPage", "NoVirtMemPage", "NoFileSysPage", "NoNetSetup",
        "NoNetSetupIDPage", "NoNetSetupSecurityPage", "NoWorkgroupContents", "NoEntireNetwork",
        "NoFileSharingControl"},
       ""},
  };
  return steps;
}

const Steps& Row10() {
  static const Steps steps = {
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt", Op::DeleteValues, {}, ""},
  };
  return steps;
}

const Steps& Row11() {
  static const Steps steps = {
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\TypedUrls", Op::DeleteValues, {}, ""},
  };
  return steps;
}

const Steps& Row12() {
  static const Steps steps = {
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions", Op::DeleteSubkeys, {}, ""},
  };
  return steps;
}

// Opens root\key for writing, created when missing when asked. A key that
// is missing and not to be created is skipped (true, nothing open); any
// other failure to open is false.
bool OpenForWrite(win::TRegistry& registry, win::HKEY root, const std::string& key, bool create) {
  registry.SetRootKey(root);
  if (registry.OpenKey("\\" + key, create)) return true;
  return !create && !registry.KeyExists("\\" + key);
}

// Deletes the named values of the open key; one still there is a failure.
bool DeleteValues(win::TRegistry& registry, const std::vector<std::string>& names) {
  bool ok = true;
  for (const std::string& name : names) {
    if (!registry.DeleteValue(name) && registry.ValueExists(name)) ok = false;
  }
  return ok;
}

// The names a deleting step works through, listed before it starts.
bool ListDoomed(const Step& step, std::vector<std::string>& names) {
  win::TRegistry reader(win::KEY_READ);
  reader.SetRootKey(step.root);
  if (!reader.OpenKeyReadOnly("\\" + std::string(step.key))) return !reader.KeyExists("\\" + std::string(step.key));
  return step.op == Op::DeleteValues ? reader.GetValueNames(names) : reader.GetKeyNames(names);
}

bool RunStep(const Step& step) {
  std::vector<std::string> doomed;
  const bool deleting = step.op == Op::DeleteValues || step.op == Op::DeleteSubkeys;
  if (deleting && !ListDoomed(step, doomed)) return false;
  win::TRegistry registry;
  if (deleting && doomed.empty()) {
    // Nothing to delete is already so, on a read-only key too; a missing key
    // is still made.
    OpenForWrite(registry, step.root, step.key, true);
    return true;
  }
  if (!OpenForWrite(registry, step.root, step.key, true)) return false;
  bool ok = true;
  switch (step.op) {
    case Op::Dword0:
      for (const char* name : step.names) ok = registry.WriteInteger(name, 0) && ok;
      break;
    case Op::ZeroBytes:
      for (const char* name : step.names) ok = registry.WriteBinaryData(name, {0, 0, 0, 0}) && ok;
      break;
    case Op::Text:
      for (const char* name : step.names) ok = registry.WriteString(name, step.text) && ok;
      break;
    case Op::DeleteValues:
      ok = DeleteValues(registry, doomed);
      break;
    case Op::DeleteSubkeys:
      for (const std::string& name : doomed) {
        if (!registry.DeleteKey(name) && registry.KeyExists(name)) ok = false;
      }
      break;
  }
  return ok;
}

bool RunSteps(const Steps& steps) {
  bool ok = true;
  for (const Step& step : steps) ok = RunStep(step) && ok;
  return ok;
}

bool IsStringType(win::DWORD type) { return type == win::REG_SZ || type == win::REG_EXPAND_SZ; }

// The string values of the Run key that match, listed before any deletion.
template <typename Match>
std::vector<std::string> RunValuesWhere(win::TRegistry& registry, Match match) {
  std::vector<std::string> names, found;
  registry.GetValueNames(names);
  for (const std::string& name : names) {
    const auto info = registry.GetDataInfo(name);
    if (!info || !IsStringType(info->type)) continue;
    if (match(registry.ReadString(name).value_or(""))) found.push_back(name);
  }
  return found;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Deletes the listed values of the Run key; opened for writing only when
// there is something to delete.
bool DeleteRunValues(const std::vector<std::string>& doomed) {
  if (doomed.empty()) return true;
  win::TRegistry registry;
  return OpenForWrite(registry, HKEY_LOCAL_MACHINE, kRunKey, false) && DeleteValues(registry, doomed);
}

bool OpenRunKeyToRead(win::TRegistry& reader) {
  reader.SetRootKey(HKEY_LOCAL_MACHINE);
  return reader.OpenKeyReadOnly(std::string("\\") + kRunKey);
}

// Row 0, step 1: Run values that start the hijacked start page.
bool RemoveStartPageRunValues() {
  win::TRegistry reader(win::KEY_READ);
  reader.SetRootKey(HKEY_LOCAL_MACHINE);
  std::string startPage;
  if (reader.OpenKeyReadOnly("\\Software\\Microsoft\\Internet Explorer\\Main")) {
    startPage = reader.ReadString("start page").value_or("");
  }
  if (startPage.empty() || !OpenRunKeyToRead(reader)) return true;
  if (reader.ValueExists(startPage)) return DeleteRunValues({startPage});
  return DeleteRunValues(
      RunValuesWhere(reader, [&](const std::string& data) { return data.find(startPage) != std::string::npos; }));
}

// Row 0, step 4: the "registry.exe" start entry and its file.
bool RemoveRegistryExe() {
  win::TRegistry reader(win::KEY_READ);
  bool ok = !OpenRunKeyToRead(reader) || !reader.ValueExists("registry.exe") || DeleteRunValues({"registry.exe"});
  const std::string file = win::GetTempPath().substr(0, 3) + "Program Files\\registry.exe";
  if (win::FileExists(file) && !win::DeleteFile(file) && win::FileExists(file)) ok = false;
  return ok;
}

// Row 0, step 5: Run values that import .reg files silently.
bool RemoveRegeditImports() {
  win::TRegistry reader(win::KEY_READ);
  if (!OpenRunKeyToRead(reader)) return true;
  return DeleteRunValues(RunValuesWhere(reader, [](const std::string& data) {
    const std::string upper = Upper(data);
    return upper.find("REGEDIT -S") != std::string::npos || upper.find("REGEDIT /S") != std::string::npos;
  }));
}

bool RepairHomePage() {
  bool ok = RemoveStartPageRunValues();
  ok = RunSteps(Row0Pages()) && ok;
  ok = RemoveRegistryExe() && ok;
  return RemoveRegeditImports() && ok;
}

}  // namespace

bool RunRepair(int row) {
  switch (row) {
    case 0: return RepairHomePage();
    case 1: return RunSteps(Row1());
    case 2: return RunSteps(Row2());
    case 3: return RunSteps(Row3());
    case 4: return RunSteps(Row4());
    case 5: return RunSteps(Row5());
    case 6: return RunSteps(Row6());
    case 7: return RunSteps(Row7());
    case 8: return RunSteps(Row8());
    case 9: return RunSteps(Row9());
    case 10: return RunSteps(Row10());
    case 11: return RunSteps(Row11());
    case 12: return RunSteps(Row12());
    default: return false;
  }
}

// ---------------------------------------------------------------- add-ons

const char* const kMenuExtensionKind = "1";
const char* const kToolbarKind = "2";
const char* const kExplorerBarKind = "3";

namespace {

const char* const kMenuExtKey = "Software\\Microsoft\\Internet Explorer\\MenuExt";
const char* const kToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char* const kExplorerBarsKey = "Software\\Microsoft\\Internet Explorer\\Explorer Bars";
const char* const kExplorerBarsKeyHklm = "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars";

TRegistryContent& NewItem(TRegistryContents& list) { return list.GetItem(list.Add()).Content; }

// The unnamed value of HKCR "CLSID\<clsid>"; empty when it is not there.
std::string ClassName(const std::string& clsid) {
  if (clsid.empty()) return {};
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CLASSES_ROOT);
  if (!registry.OpenKeyReadOnly("\\CLSID\\" + clsid)) return {};
  return registry.ReadString("").value_or("");
}

bool OpenToRead(win::TRegistry& registry, win::HKEY root, const std::string& key) {
  registry.SetRootKey(root);
  return registry.OpenKeyReadOnly("\\" + key);
}

// Deletes subKey below root\parent; true when it is gone.
bool DeleteSubKey(win::HKEY root, const std::string& parent, const std::string& subKey) {
  if (subKey.empty() || subKey.find('\\') != std::string::npos) return false;
  win::TRegistry registry;
  registry.SetRootKey(root);
  const std::string path = "\\" + parent + "\\" + subKey;
  return registry.DeleteKey(path) || !registry.KeyExists(path);
}

}  // namespace

std::string ToolbarDisplayText(unsigned type, const std::vector<std::uint8_t>& data) {
  char text[40];
  if (type == win::REG_DWORD) {
    if (data.size() != 4) return {};
    const std::uint32_t value = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    std::snprintf(text, sizeof text, "0x%8.8x(%d)", value, static_cast<std::int32_t>(value));
    return text;
  }
  if (type == win::REG_BINARY) {
    std::string shown;
    for (std::size_t i = 0; i < data.size(); ++i) {
      std::snprintf(text, sizeof text, i == 0 ? "%2.2x" : " %2.2x", data[i]);
      shown += text;
    }
    return shown;
  }
  return {};
}

void ListIEMenuExtensions(TRegistryContents& list) {
  win::TRegistry registry(win::KEY_READ);
  std::vector<std::string> names;
  if (!OpenToRead(registry, HKEY_CURRENT_USER, kMenuExtKey) || !registry.GetKeyNames(names)) return;
  for (const std::string& name : names) {
    TRegistryContent& item = NewItem(list);
    item.KeyPath = std::string("HKEY_CURRENT_USER\\") + kMenuExtKey + "\\" + name;
    item.Value = std::string(kMenuExtKey) + "\\";
    item.Data1 = name;
    item.Data2 = kMenuExtensionKind;
  }
}

void ListIEToolbars(TRegistryContents& list) {
  win::TRegistry registry(win::KEY_READ);
  std::vector<std::string> names;
  if (!OpenToRead(registry, HKEY_LOCAL_MACHINE, kToolbarKey) || !registry.GetValueNames(names)) return;
  for (const std::string& name : names) {
    TRegistryContent& item = NewItem(list);
    item.KeyPath = std::string("HKEY_LOCAL_MACHINE\\") + kToolbarKey;
    item.KeyName = "Toolbar";
    item.Value = name;
    item.UnnamedValue = name.empty();
    win::DWORD type = win::REG_NONE;
    std::vector<std::uint8_t> data;
    if (!registry.ReadRaw(name, type, data)) type = win::REG_NONE;
    if (IsStringType(type)) {
      item.Data1 = registry.ReadString(name).value_or("");
      if (item.Data1.empty()) item.Data1 = ClassName(name);
    } else {
      item.Data1 = ToolbarDisplayText(type, data);
    }
    item.Data2 = kToolbarKind;
  }
}

void ListIEExplorerBars(TRegistryContents& list) {
  const std::pair<win::HKEY, const char*> roots[] = {{HKEY_CURRENT_USER, kExplorerBarsKey},
                                                     {HKEY_LOCAL_MACHINE, kExplorerBarsKeyHklm}};
  for (const auto& [root, key] : roots) {
    win::TRegistry registry(win::KEY_READ);
    std::vector<std::string> names;
    if (!OpenToRead(registry, root, key) || !registry.GetKeyNames(names)) continue;
    for (const std::string& name : names) {
      TRegistryContent& item = NewItem(list);
      item.KeyPath = RootKeyToName(root) + "\\" + key + "\\" + name;
      item.KeyName = name;
      item.Data1 = ClassName(name);
      item.Data2 = kExplorerBarKind;
    }
  }
}

bool RemoveIEMenuExtension(const std::string& keyPath, const std::string& parentPath,
                           const std::string& subKeyName) {
  win::HKEY root = 0;
  std::string sub;
  if (!SplitFullKeyPath(keyPath, root, sub)) return false;
  std::string parent = parentPath;
  while (!parent.empty() && parent.back() == '\\') parent.pop_back();
  return DeleteSubKey(root, parent, subKeyName);
}

bool RemoveIEToolbar(const std::string& keyPath, const std::string& valueName) {
  win::HKEY root = 0;
  std::string sub;
  if (!SplitFullKeyPath(keyPath, root, sub)) return false;
  win::TRegistry registry;
  if (!OpenForWrite(registry, root, sub, false)) return false;
  if (!registry.HasOpenKey()) return true;
  return DeleteValues(registry, {valueName});
}

bool RemoveIEExplorerBar(const std::string& keyPath, const std::string& subKeyName) {
  win::HKEY root = 0;
  std::string sub;
  if (!SplitFullKeyPath(keyPath, root, sub)) return false;
  return DeleteSubKey(root, kExplorerBarsKey, subKeyName);
}

}  // namespace recovery
