#include "regclean/EmptyRegistryUnit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"
#include "regclean/KeyWalkUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kEmptyRegistryKeysCaption = "Empty Registry Keys";

namespace {

// Class stores of the two service profiles, empty by design.
bool IsServiceProfileStore(const std::string& path) {
  return path == "S-1-5-19_Classes" || path == "S-1-5-19\\Software\\Classes" ||
         path == "S-1-5-20_Classes" || path == "S-1-5-20\\Software\\Classes";
}

// Upper-cased full paths of the keys that roots stand for
// ("HKEY_USERS\<user SID>" for HKEY_CURRENT_USER): roots are never reported.
std::unordered_set<std::string> AliasedRootPaths() {
  std::unordered_set<std::string> paths;
  win::RegistryStore* store = win::CurrentRegistry();
  if (!store) return paths;
  for (win::HKEY root : {win::HKEY_CLASSES_ROOT, win::HKEY_CURRENT_USER, win::HKEY_CURRENT_CONFIG})
    if (const std::optional<std::int64_t> id = store->RootId(root)) paths.insert(win::UpperName(store->KeyPath(*id)));
  return paths;
}

TRegistryContent EmptyKeyProblem(const std::string& keyPath, const std::string& path) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.KeyName = path;
  SetProblemValueName(problem, "");
  static constexpr TTextForm kValueText{" Value: empty"};
  static constexpr TTextForm kDetail{" The key is empty key"};
  static constexpr TTextForm kDescription{"The Key default under ", TProblemField::KeyPath, " is Empty"};
  static constexpr TTextForm kType{"Empty Key: ", TProblemField::KeyPath};
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kDefaultValueNameText;
  problem.ValueText = kValueText;
  problem.DetailText = kDetail;
  problem.Description = kDescription;
  problem.ProblemType = kType;
  problem.Severity = SeverityText("Low");
  return problem;
}

// A key without subkeys, open: a problem when it holds no values either.
void CheckEmptyKey(ScanContext& context, win::TRegistry& key, const std::string& path,
                   const std::unordered_set<std::string>& rootPaths) {
  if (path.empty() || IsServiceProfileStore(path) || ContainsNoCase(path, "mime")) return;
  std::vector<std::string> values;
  key.GetValueNames(values);
  if (!values.empty()) return;
  const std::string keyPath = FullKeyPath(context.root, path);
  if (rootPaths.count(win::UpperName(keyPath)) == 0) AddUnlessIgnored(context, EmptyKeyProblem(keyPath, path));
}

}  // namespace

void ScanEmptyRegistryKeys(ScanContext& context) {
  const std::unordered_set<std::string> rootPaths = AliasedRootPaths();
  KeyWalkVisitor visitor;
  visitor.onKey = [&](win::TRegistry& key, const std::string& path,
                      const std::vector<std::string>& subKeyNames) {
    if (subKeyNames.empty()) CheckEmptyKey(context, key, path, rootPaths);
  };
  visitor.onSubKey = [&context](const std::string& path, const std::string&) {
    ShowOutcome(context, path);
    IncItemsProcessed();
    return path != ".DEFAULT";
  };
  WalkKeys(context.root, context.startPath, visitor);
}

RegistrySection EmptyRegistryKeysSection() {
  RegistrySection section = KeyRepairSection({ScanEmptyRegistryKeys});
  section.target = [](const TRegistryContent& item) {
    RepairTarget target = KeyTargetOf(item);
    target.onlyWhileEmpty = true;
    return target;
  };
  return section;
}

void RepairEmptyRegistryKeys(RepairContext& context) {
  RepairCheckedItems(context, EmptyRegistryKeysSection());
}

}  // namespace regclean
