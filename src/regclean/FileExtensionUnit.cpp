#include "regclean/FileExtensionUnit.h"

#include <cstdint>
#include <optional>
#include <unordered_set>

#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/KeyWalkUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kFileExtensionsCaption = "File Extensions";

namespace {

constexpr int kOutcomeEvery = 200;

bool IsStringType(win::DWORD type) { return type == win::REG_SZ || type == win::REG_EXPAND_SZ; }

TRegistryContent EmptyExtensionProblem(const std::string& keyPath, const std::string& extension) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.KeyName = extension;
  SetProblemValueName(problem, "");
  static constexpr TTextForm kValueText{" Value:"};
  static constexpr TTextForm kDetail{" The file()does not exist at the specified location"};
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kDefaultValueNameText;
  problem.ValueText = kValueText;
  problem.DetailText = kDetail;
  problem.Description = kDefaultBadPathDescription;
  problem.ProblemType = kMissingPathType;
  problem.Severity = SeverityText("Low");
  return problem;
}

TRegistryContent UnregisteredApplicationProblem(const std::string& keyPath, const std::string& entry,
                                                const std::string& application) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.KeyName = entry;
  SetProblemValueName(problem, entry);
  problem.Value = application;
  static constexpr TTextForm kDetail{" The file(", TProblemField::Value,
                                     ")does not exist at the specified location"};
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kDefaultValueNameText;
  problem.ValueText = kValueTextForm;
  problem.DetailText = kDetail;
  if (application.empty())
    problem.Description = kDefaultBadPathDescription;
  else
    problem.Description = kBadPathDescriptionForm;
  problem.ProblemType = kMissingPathType;
  problem.Severity = SeverityText("Low");
  return problem;
}

// The upper-cased names under which applications are registered: the
// subkeys of "Applications" and of "App Paths", read once per scan.
class RegisteredApplications {
 public:
  bool Holds(const std::string& application) {
    if (!names_) {
      names_.emplace();
      for (const std::string& name : SubKeyNamesOf(win::HKEY_CLASSES_ROOT, "Applications"))
        names_->insert(win::UpperName(name));
      for (const std::string& name : SubKeyNamesOf(
               win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"))
        names_->insert(win::UpperName(name));
    }
    return names_->count(win::UpperName(application)) > 0;
  }

 private:
  std::optional<std::unordered_set<std::string>> names_;
};

// The entries of one "Open With" list, up to a stop.
void CheckOpenWithList(ScanContext& context, RegisteredApplications& registered,
                       const std::string& path) {
  win::TRegistry key(win::KEY_READ);
  key.SetRootKey(context.root);
  if (!key.OpenKeyReadOnly("\\" + path)) return;
  const std::string keyPath = FullKeyPath(context.root, path);
  ForEachValue(key, [&](const std::string& name, win::DWORD type, const std::vector<std::uint8_t>& data) {
    if (name == "MRUList") return true;
    ProcessMessages();
    if (ScanStopRequested()) return false;
    if (type != win::REG_SZ) return true;
    const std::string application = win::Utf16LeBytesToUtf8(data);
    if (!registered.Holds(application))
      AddUnlessIgnored(context, UnregisteredApplicationProblem(keyPath, name, application));
    return true;
  });
}

}  // namespace

void SplitClassRootNames(std::vector<std::string>& names, std::vector<std::string>& extensions) {
  static const char* const kPatterns[] = {"*", "Directory", "Folder", "Drive", "Unknow"};
  std::vector<std::string> classes;
  for (std::string& name : names) {
    bool removed = false;
    for (const char* pattern : kPatterns) removed = removed || Contains(name, pattern);
    if (removed) continue;
    if (name.rfind('.', 0) == 0)
      extensions.push_back(std::move(name));
    else
      classes.push_back(std::move(name));
  }
  names = std::move(classes);
}

std::vector<std::string> SubKeyNamesOf(win::HKEY root, const std::string& path) {
  win::TRegistry key(win::KEY_READ);
  key.SetRootKey(root);
  std::vector<std::string> names;
  if (key.OpenKeyReadOnly("\\" + path)) key.GetKeyNames(names);
  return names;
}

void ScanFileExtensions(ScanContext& context) {
  std::vector<std::string> names = SubKeyNamesOf(context.root, context.startPath);
  std::vector<std::string> extensions;
  SplitClassRootNames(names, extensions);
  win::TRegistry key(win::KEY_READ);
  key.SetRootKey(context.root);
  win::DWORD type = win::REG_NONE;
  std::vector<std::uint8_t> bytes;
  for (const std::string& extension : extensions) {
    ProcessMessages();
    if (ScanStopRequested()) return;
    ShowOutcome(context, extension);
    IncItemsProcessed();
    const std::string path = JoinKeyPath(context.startPath, extension);
    if (!key.OpenKeyReadOnly("\\" + path)) continue;
    const bool empty = key.ReadRaw("", type, bytes) && IsStringType(type) &&
                       win::Utf16LeBytesToUtf8(bytes).empty();
    key.CloseKey();
    if (empty) AddUnlessIgnored(context, EmptyExtensionProblem(FullKeyPath(context.root, path), extension));
  }
}

void ScanOpenWithLists(ScanContext& context) {
  RegisteredApplications registered;
  KeyWalkVisitor visitor;
  // A stop inside a list ends the walk before the next key.
  visitor.onSubKey = [&](const std::string& path, const std::string&) {
    if (++VisitedCount % kOutcomeEvery == 0) ShowOutcome(context, path);
    IncItemsProcessed();
    if (Contains(path, "OpenWithList")) CheckOpenWithList(context, registered, path);
    return true;
  };
  WalkKeys(context.root, context.startPath, visitor);
}

RegistrySection FileExtensionsSection() {
  RegistrySection section = KeyRepairSection({ScanFileExtensions, ScanOpenWithLists});
  section.target = [](const TRegistryContent& item) {
    win::HKEY root = 0;
    std::string subKey;
    const bool userEntry = SplitFullKeyPath(item.KeyPath, root, subKey) && root == win::HKEY_CURRENT_USER;
    return userEntry ? ValueTargetOf(item) : KeyTargetOf(item);
  };
  return section;
}

void RepairFileExtensions(RepairContext& context) {
  RepairCheckedItems(context, FileExtensionsSection());
}

}  // namespace regclean
