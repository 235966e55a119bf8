#include "regclean/StartUpUnit.h"

#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kStartupProgramsCaption = "Startup Programs";

namespace {

const char* const kExplorerKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

TRegistryContent FolderRecordProblem(const std::string& keyPath, const std::string& record) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.ValueName = record;
  static constexpr TTextForm kRecord{"", TProblemField::ValueName};
  static constexpr TTextForm kValueNameText{" ValueName:", TProblemField::ValueName};
  static constexpr TTextForm kValueText{" Value:", TProblemField::ValueName};
  static constexpr TTextForm kMissing{" The key does not exist at the specified location"};
  static constexpr TTextForm kDescription{"The Key ", TProblemField::ValueName, " under ",
                                          TProblemField::KeyPath, " is Missing"};
  static constexpr TTextForm kType{"The key does not exist at the specified location"};
  problem.KeyName = kRecord;
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kValueNameText;
  problem.ValueText = kValueText;
  problem.DetailText = kMissing;
  problem.Description = kDescription;
  problem.ProblemType = kType;
  problem.Severity = SeverityText("High");
  return problem;
}

// The Start-menu programs record below the MenuOrder key: "Programs" of its
// first subkey named like "Start Menu"; the key itself when it has none.
std::string ProgramsRecordPath(win::TRegistry& registry, const std::string& menuOrder) {
  std::vector<std::string> names;
  if (registry.OpenKeyReadOnly("\\" + menuOrder)) registry.GetKeyNames(names);
  for (const std::string& name : names)
    if (Contains(name, "Start Menu")) return JoinKeyPath(menuOrder, name) + "\\Programs";
  return menuOrder;
}

// A Programs folder whose setting was read, on a local fixed drive, that
// exists. Without both folders every record would look missing.
bool UsableProgramsFolder(FileProbe& files, const std::string& folder) {
  return !folder.empty() && PassesLocalPathRule(folder) && files.DirectoryExists(folder);
}

}  // namespace

std::string GetAllUsersProfileFolder() {
  return win::GetSystemDirectory().substr(0, 3) + "Documents and Settings\\All Users";
}

void ScanStartupPrograms(ScanContext& context) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(context.root);
  const std::string programs = ProgramsRecordPath(registry, context.startPath);
  if (!registry.OpenKeyReadOnly("\\" + programs)) return;
  std::vector<std::string> records;
  registry.GetKeyNames(records);
  if (records.empty()) return;

  std::string common;
  ReadRegStringByPath(std::string(kExplorerKey) + "User Shell Folders", "Programs", common);
  common = ReplaceAll(common, "%USERPROFILE%", GetAllUsersProfileFolder());
  std::string user;
  ReadRegStringByPath(std::string(kExplorerKey) + "Shell Folders", "Programs", user);
  ScanFiles files(context);
  if (!UsableProgramsFolder(*files, common) || !UsableProgramsFolder(*files, user)) return;
  common = win::IncludeTrailingBackslash(common);
  user = win::IncludeTrailingBackslash(user);

  const std::string base = FullKeyPath(context.root, programs);
  for (const std::string& record : records) {
    if (ScanStopRequested()) return;
    if (!files->DirectoryExists(common + record) && !files->DirectoryExists(user + record) &&
        AddUnlessIgnored(context, FolderRecordProblem(base + "\\" + record, record)))
      IncItemsProcessed();
    ProcessMessages();
  }
}

RegistrySection StartupProgramsSection() { return KeyRepairSection({ScanStartupPrograms}); }

void RepairStartupPrograms(RepairContext& context) {
  RepairCheckedItems(context, StartupProgramsSection());
}

}  // namespace regclean
