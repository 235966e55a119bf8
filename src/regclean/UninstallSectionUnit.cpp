#include "regclean/UninstallSectionUnit.h"

#include <cstdint>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kUninstallCaption = "Uninstall Entries";

namespace {

const char* const kUninstallValue = "UninstallString";

TRegistryContent UninstallProblem(const std::string& keyPath, const std::string& subKey,
                                  const std::string& command) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.KeyName = subKey;
  problem.ValueName = kUninstallValue;
  problem.Value = command;
  static constexpr TTextForm kValueNameText{" ValueName:UninstallString"};
  static constexpr TTextForm kDetail{"The file (", TProblemField::Value,
                                     ") does not exist at the specified location"};
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kValueNameText;
  problem.ValueText = kValueTextForm;
  problem.DetailText = kDetail;
  problem.Description = kBadPathDescriptionForm;
  problem.ProblemType = kMissingPathType;
  problem.Severity = SeverityOf(command);
  return problem;
}

// The command of an entry, quotes removed; empty when the entry has no
// non-empty string "UninstallString".
std::string UninstallCommand(win::TRegistry& entry) {
  win::DWORD type = win::REG_NONE;
  std::vector<std::uint8_t> data;
  if (!entry.ReadRaw(kUninstallValue, type, data) || (type != win::REG_SZ && type != win::REG_EXPAND_SZ))
    return std::string();
  return WithoutQuotes(win::Utf16LeBytesToUtf8(data));
}

}  // namespace

std::string ExtractUninstallProgram(const std::string& command, FileProbe* probe) {
  ProgramPathOptions options;
  options.cutAgainWhen = ProgramPathOptions::CutAgainWhen::FileNameLonger;
  options.probe = probe;
  return ExtractProgramPath(command, options);
}

bool UninstallProgramExists(const std::string& command, FileProbe* probe) {
  const std::string program = ExtractUninstallProgram(command, probe);
  return probe ? probe->NonFolderExists(program) : win::FileExists(program);
}

void ScanUninstallEntries(ScanContext& context) {
  context.collection->Clear();
  std::vector<std::string> subKeys;
  {
    win::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(context.root);
    if (!registry.OpenKeyReadOnly("\\" + context.startPath)) return;
    registry.GetKeyNames(subKeys);
  }
  ScanFiles files(context);
  for (const std::string& subKey : subKeys) {
    if (ScanStopRequested()) return;
    ShowOutcome(context, subKey);
    IncItemsProcessed();
    win::TRegistry entry(win::KEY_READ);
    entry.SetRootKey(context.root);
    const std::string entryPath = JoinKeyPath(context.startPath, subKey);
    const std::string keyPath = FullKeyPath(context.root, entryPath);
    if (entry.OpenKeyReadOnly("\\" + entryPath) && !IsIgnored(context, keyPath, kUninstallValue)) {
      const std::string command = UninstallCommand(entry);
      if (Contains(command, ":") && PassesLocalPathRule(command) &&
          !UninstallProgramExists(command, &*files))
        AddProblem(context, UninstallProblem(keyPath, subKey, command));
    }
    ProcessMessages();
  }
}

RegistrySection UninstallEntriesSection() { return ValueRepairSection({ScanUninstallEntries}); }

void RepairUninstallEntries(RepairContext& context) {
  RepairCheckedItems(context, UninstallEntriesSection());
}

}  // namespace regclean
