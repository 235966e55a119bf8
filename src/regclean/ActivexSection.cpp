#include "regclean/ActivexSection.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/KeyWalkUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kActiveXCaption = "ActiveX, OLE/COM Entries";

namespace {

const char* const kHelpDir = "HELPDIR";

bool IsServerKeyName(const std::string& name) {
  return name == "InprocServer" || name == "LocalServer32" || name == "InprocServer32";
}

// The unnamed value's text when it is of type REG_SZ.
bool ReadDefaultString(win::TRegistry& key, std::string& text) {
  win::DWORD type = win::REG_NONE;
  std::vector<std::uint8_t> bytes;
  if (!key.ReadRaw("", type, bytes) || type != win::REG_SZ) return false;
  text = win::Utf16LeBytesToUtf8(bytes);
  return true;
}

TRegistryContent EmptyKeyProblem(const std::string& keyPath, const std::string& keyName,
                                 const std::string& value, const std::string& describedName) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.KeyName = keyName;
  SetProblemValueName(problem, "");
  problem.Value = value;
  static constexpr TTextForm kDetail{" The key is Emtpy"};
  static constexpr TTextForm kType{"Empty Key: ", TProblemField::KeyPath};
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kDefaultValueNameText;
  problem.ValueText = kValueTextForm;
  problem.DetailText = kDetail;
  problem.ProblemType = kType;
  problem.Description = "The Key " + describedName + " under " + keyPath + " is Empty";
  problem.Severity = SeverityText("High");
  return problem;
}

TRegistryContent MissingTypeLibProblem(const std::string& keyPath, const std::string& library) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.KeyName = "TypeLib";
  SetProblemValueName(problem, "");
  problem.Value = library;
  static constexpr TTextForm kKeyPathText{"Key Path:", TProblemField::KeyPath};
  static constexpr TTextForm kValueNameText{"ValueName:default"};
  static constexpr TTextForm kValueText{"Value:", TProblemField::Value};
  static constexpr TTextForm kDetail{"The following App ID or CLSID doesn't exist"};
  problem.KeyPathText = kKeyPathText;
  problem.ValueNameText = kValueNameText;
  problem.ValueText = kValueText;
  problem.DetailText = kDetail;
  problem.ProblemType = kMissingPathType;
  problem.Description = kDefaultBadPathDescription;
  problem.Severity = SeverityText("Normal");
  return problem;
}

// A "HELPDIR" or server key, open, whose default value is an empty string.
void CheckEmptyKey(ScanContext& context, win::TRegistry& key, const std::string& path,
                   const std::string& name) {
  std::string text;
  if (!ReadDefaultString(key, text) || !text.empty()) return;
  const std::string keyPath = FullKeyPath(context.root, path);
  if (name == kHelpDir)
    AddUnlessIgnored(context, EmptyKeyProblem(keyPath, kHelpDir, path, kHelpDir));
  else
    AddUnlessIgnored(context, EmptyKeyProblem(keyPath, name, text, "default"));
}

std::string LastName(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void ScanActiveXKeys(ScanContext& context) {
  KeyWalkVisitor visitor;
  visitor.onSubKey = [&context](const std::string& path, const std::string& name) {
    if (name == "AppID") return false;
    ShowOutcome(context, path);
    IncItemsProcessed();
    return true;
  };
  // The check of a key comes before its subkeys, with the key already open.
  visitor.onKey = [&context](win::TRegistry& key, const std::string& path, const std::vector<std::string>&) {
    if (path == context.startPath) return;
    const std::string name = LastName(path);
    if (name == kHelpDir || IsServerKeyName(name)) CheckEmptyKey(context, key, path, name);
  };
  WalkKeys(context.root, context.startPath, visitor);
}

void ScanActiveXTypeLibs(ScanContext& context) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CLASSES_ROOT);
  std::vector<std::string> classes;
  if (registry.OpenKeyReadOnly("\\CLSID")) registry.GetKeyNames(classes);
  registry.CloseKey();
  const bool libraryRootOpens = registry.OpenKeyReadOnly("\\TypeLib");
  registry.CloseKey();

  for (const std::string& clsid : classes) {
    ProcessMessages();
    if (ScanStopRequested()) return;
    const std::string path = "CLSID\\" + clsid + "\\TypeLib";
    ShowOutcome(context, path);
    IncItemsProcessed();
    std::string library;
    if (!registry.OpenKeyReadOnly("\\" + path)) continue;
    const bool named = ReadDefaultString(registry, library) && !library.empty();
    registry.CloseKey();
    if (named && libraryRootOpens && !registry.KeyExists("\\TypeLib\\" + library))
      AddUnlessIgnored(context, MissingTypeLibProblem(FullKeyPath(win::HKEY_CLASSES_ROOT, path), library));
  }
}

RegistrySection ActiveXSection() {
  RegistrySection section = KeyRepairSection({ScanActiveXKeys, ScanActiveXTypeLibs});
  section.target = [](const TRegistryContent& item) {
    RepairTarget target = KeyTargetOf(item);
    target.logText = PathBelowRoot(item.KeyPath);
    return target;
  };
  return section;
}

void RepairActiveXEntries(RepairContext& context) {
  RepairCheckedItems(context, ActiveXSection());
}

}  // namespace regclean
