#include "regclean/ApplicationPathsUnit.h"

#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kApplicationPathsCaption = "Application Paths";

namespace {

const char* const kPathValue = "Path";

TRegistryContent AppPathProblem(const std::string& keyPath, const std::string& subKey,
                                const std::string& file, const std::string& severity) {
  TRegistryContent problem = MissingPathProblem(keyPath, kPathValue, file);
  problem.KeyName = subKey;
  problem.Severity = SeverityText(severity);
  return problem;
}

// The program file a registration names: a bare name lies in its "Path"
// folder; "%ProgramFiles%" and "%SystemRoot%\" stand for their folders.
std::string ResolveProgramFile(const std::string& exe, const std::string& folder,
                               const KnownFolders& folders) {
  if (exe.find('\\') == std::string::npos)
    return !folder.empty() && folder.back() == '\\' ? folder + exe : folder + "\\" + exe;
  if (Contains(exe, "%ProgramFiles%"))
    return ReplaceAll(WithoutQuotes(exe), "%ProgramFiles%", folders.programFilesFolder);
  if (Contains(exe, "%SystemRoot%"))
    return GuessWindowsFolder(folders.systemFolder) +
           ReplaceAll(WithoutQuotes(exe), "%SystemRoot%\\", "");
  return WithoutQuotes(exe);
}

// One registration: reported when its REG_SZ default value names a local
// program file that is missing.
void CheckAppPathKey(ScanContext& context, const KnownFolders& folders, FileProbe& files,
                     const std::string& path, const std::string& subKey) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(context.root);
  if (!registry.OpenKeyReadOnly("\\" + path)) return;
  if (registry.GetDataType("") != win::REG_SZ) return;
  const std::string exe = registry.ReadString("").value_or(std::string());
  if (!PassesLocalPathRule(exe) || !IsFullFileName(exe)) return;
  const std::string folder = registry.ReadString(kPathValue).value_or(std::string());

  const std::string file = ResolveProgramFile(exe, folder, folders);
  if (file.size() == 1 || !PassesLocalPathRule(file) || files.FileExists(file)) return;
  std::string severity;
  GetSeverity(exe, severity);
  AddUnlessIgnored(context, AppPathProblem(FullKeyPath(context.root, path), subKey, file, severity));
}

}  // namespace

bool IsFullFileName(const std::string& text) {
  return !win::ExtractFilePath(text).empty() && !win::ExtractFileName(text).empty();
}

void ScanApplicationPaths(ScanContext& context) {
  std::vector<std::string> subKeys;
  {
    win::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(context.root);
    if (!registry.OpenKeyReadOnly("\\" + context.startPath)) return;
    registry.GetKeyNames(subKeys);
  }
  const KnownFolders folders = KnownFolders::OfCurrentMachine();
  ScanFiles files(context);
  for (const std::string& subKey : subKeys) {
    if (ScanStopRequested()) return;
    const std::string path = JoinKeyPath(context.startPath, subKey);
    ShowOutcome(context, FullKeyPath(context.root, path));
    IncItemsProcessed();
    CheckAppPathKey(context, folders, *files, path, subKey);
    ProcessMessages();
  }
}

RegistrySection ApplicationPathsSection() { return KeyRepairSection({ScanApplicationPaths}); }

void RepairApplicationPaths(RepairContext& context) {
  RepairCheckedItems(context, ApplicationPathsSection());
}

}  // namespace regclean
