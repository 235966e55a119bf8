#include "regclean/UninstallSectionUnit.h"

#include <vector>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kUninstallCaption = "Uninstall Entries";

namespace {

const char* const kUninstallValue = "UninstallString";

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
}

std::string WithoutQuotes(std::string text) {
  std::erase(text, '"');
  return text;
}

// The length of the folder part: up to and including the last backslash or
// colon (0 when there is none).
std::size_t FolderPartLength(const std::string& text) {
  const std::size_t last = text.find_last_of("\\:");
  return last == std::string::npos ? 0 : last + 1;
}

// The file name up to where its extension ends: from its first dot (or its
// first character) on, the first character that cannot be part of a name
// starts the arguments.
std::string CutAtNameEnd(const std::string& name) {
  const std::size_t dot = name.find('.');
  for (std::size_t i = dot == std::string::npos ? 0 : dot; i < name.size(); ++i)
    if (!IsNameCharacter(name[i])) return name.substr(0, i);
  return name;
}

TRegistryContent UninstallProblem(const std::string& keyPath, const std::string& subKey,
                                  const std::string& command) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.KeyName = subKey;
  problem.ValueName = kUninstallValue;
  problem.Value = command;
  problem.KeyPathText = " Key Path:" + keyPath;
  problem.ValueNameText = " ValueName:UninstallString";
  problem.ValueText = " Value:" + command;
  problem.DetailText = "The file (" + command + ") does not exist at the specified location";
  problem.Description =
      "The Key " + command + " under " + keyPath + " contains a bad path for the value";
  problem.ProblemType = "Missing or Invalid Path";
  GetSeverity(command, problem.Severity);
  return problem;
}

// The command of an entry, quotes removed; empty when the entry has no
// non-empty string "UninstallString".
std::string UninstallCommand(win::TRegistry& entry) {
  const std::int64_t type = entry.GetDataType(kUninstallValue);
  if (type != win::REG_SZ && type != win::REG_EXPAND_SZ) return std::string();
  return WithoutQuotes(entry.ReadString(kUninstallValue).value_or(std::string()));
}

}  // namespace

std::string ExtractUninstallProgram(const std::string& command) {
  if (win::FileExists(command)) return command;
  const std::size_t firstColon = command.find(':');
  // Where the drive letter before the first colon stands (0 when the colon is
  // the first character or there is none).
  const std::size_t driveLetter =
      firstColon == std::string::npos || firstColon == 0 ? 0 : firstColon - 1;
  const std::size_t secondColon =
      firstColon == std::string::npos ? std::string::npos : command.find(':', firstColon + 1);

  if (secondColon == std::string::npos) {
    const std::size_t folderLength = FolderPartLength(command);
    const std::string program =
        command.substr(0, folderLength) + CutAtNameEnd(command.substr(folderLength));
    return program.substr(std::min(driveLetter, program.size()));
  }
  // A second path follows: the program ends before the second drive letter.
  const std::string first = command.substr(driveLetter, secondColon - driveLetter);
  if (first.size() - FolderPartLength(first) > 4) return ExtractUninstallProgram(first);
  return first;
}

bool UninstallProgramExists(const std::string& command) {
  return win::FileExists(ExtractUninstallProgram(command));
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
          !UninstallProgramExists(command))
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
