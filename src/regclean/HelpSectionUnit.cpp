#include "regclean/HelpSectionUnit.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/KeyWalkUnit.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kHelpSectionCaption = "Help Section";

namespace {

const char* const kHelpKeys[] = {"SOFTWARE\\Microsoft\\Windows\\Help",
                                 "SOFTWARE\\Microsoft\\Windows\\Html Help"};

// The help file a value names: its data is the folder.
std::string HelpFilePath(const std::string& folder, const std::string& fileName) {
  return !folder.empty() && folder.back() == '\\' ? folder + fileName : folder + "\\" + fileName;
}

TRegistryContent MissingHelpFileProblem(const std::string& keyPath, const std::string& valueName,
                                        const std::string& file) {
  TRegistryContent problem = MissingPathProblem(keyPath, valueName, file);
  problem.KeyName = win::ExtractFileName(file);
  problem.ValueNameText = kDefaultValueNameText;
  problem.Severity = SeverityText("Low");
  return problem;
}

// The values of one help key; false once a stop was asked for.
bool ScanHelpKey(ScanContext& context, FileProbe& files, win::TRegistry& key, const std::string& path) {
  const std::string keyPath = FullKeyPath(context.root, path);
  return ForEachValue(key, [&](const std::string& name, win::DWORD type, const std::vector<std::uint8_t>& data) {
    if (ScanStopRequested()) return false;
    if (IsIgnored(context, keyPath, name.empty() ? "default" : name) ||
        (type != win::REG_SZ && type != win::REG_EXPAND_SZ))
      return true;
    const std::string file = HelpFilePath(win::Utf16LeBytesToUtf8(data), name);
    if (PassesLocalPathRule(file) && !files.FileExists(file))
      AddProblem(context, MissingHelpFileProblem(keyPath, name, file));
    return true;
  });
}

}  // namespace

void ScanHelpSection(ScanContext& context) {
  ScanFiles files(context);
  for (const char* path : kHelpKeys) {
    if (ScanStopRequested()) return;
    win::TRegistry key(win::KEY_READ);
    key.SetRootKey(context.root);
    if (!key.OpenKeyReadOnly(std::string("\\") + path)) continue;
    ShowOutcome(context, FullKeyPath(context.root, path));
    IncItemsProcessed();
    if (!ScanHelpKey(context, *files, key, path)) return;
    ProcessMessages();
  }
}

RegistrySection HelpSection() {
  RegistrySection section = ValueRepairSection({ScanHelpSection});
  section.target = [](const TRegistryContent& item) {
    RepairTarget target = ValueTargetOf(item);
    target.logText = PathBelowRoot(item.KeyPath);
    return target;
  };
  return section;
}

void RepairHelpSection(RepairContext& context) { RepairCheckedItems(context, HelpSection()); }

}  // namespace regclean
