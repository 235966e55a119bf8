#include "regclean/RecentlyFileUnit.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kRecentFilesCaption = "Most Recently Used Files";

namespace {

const char* const kRunMru = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

// A history entry: `listPath` is the list's key below the root.
TRegistryContent HistoryProblem(const std::string& rootName, const std::string& listPath,
                                const std::string& keyPath, const std::string& valueName) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  SetProblemValueName(problem, valueName);
  static constexpr TTextForm kType{"Redundant or Invalid Registry Key"};
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kValueNameTextForm;
  problem.Description = "The Key " + listPath + " under " + rootName + "\\" + listPath +
                        " contains a redundant or invalid registry key.";
  problem.ProblemType = kType;
  problem.Severity = SeverityText("Low");
  return problem;
}

void Report(ScanContext& context, const TRegistryContent& problem) {
  if (AddUnlessIgnored(context, problem)) IncItemsProcessed();
  ProcessMessages();
}

// Every value of every file-type list below the start key.
bool ScanFileDialogLists(ScanContext& context, const std::string& rootName) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(context.root);
  std::vector<std::string> lists;
  if (registry.OpenKeyReadOnly("\\" + context.startPath)) registry.GetKeyNames(lists);
  std::vector<std::string> values;
  for (const std::string& list : lists) {
    if (ScanStopRequested()) return false;
    values.clear();
    if (registry.OpenKeyReadOnly("\\" + JoinKeyPath(context.startPath, list)))
      registry.GetValueNames(values);
    const std::string keyPath = FullKeyPath(context.root, context.startPath) + "\\" + list;
    for (const std::string& value : values) {
      if (ScanStopRequested()) return false;
      TRegistryContent problem = HistoryProblem(rootName, context.startPath, keyPath, value);
      problem.KeyName = list;
      static constexpr TTextForm kValueText{" Value:Emtpy"};
      static constexpr TTextForm kDetail{" Recently Key:", TProblemField::NamedValue};
      problem.ValueText = kValueText;
      problem.DetailText = kDetail;
      Report(context, problem);
    }
  }
  return true;
}

// The Run box's string entries.
void ScanRunList(ScanContext& context, const std::string& rootName) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(context.root);
  if (!registry.OpenKeyReadOnly(std::string("\\") + kRunMru)) return;
  std::vector<std::string> values;
  registry.GetValueNames(values);
  const std::string keyPath = FullKeyPath(context.root, kRunMru);
  win::DWORD type = win::REG_NONE;
  std::vector<std::uint8_t> bytes;
  for (const std::string& value : values) {
    if (ScanStopRequested()) return;
    if (!registry.ReadRaw(value, type, bytes) || type != win::REG_SZ) continue;
    const std::string data = win::Utf16LeBytesToUtf8(bytes);
    TRegistryContent problem = HistoryProblem(rootName, kRunMru, keyPath, value);
    problem.KeyName = "RunMRU";
    problem.Value = data;
    static constexpr TTextForm kDetail{" Recently Key:", TProblemField::Value};
    problem.ValueText = kValueTextForm;
    problem.DetailText = kDetail;
    Report(context, problem);
  }
}

}  // namespace

void ScanMruEntries(ScanContext& context) {
  const std::string rootName = RootKeyToName(context.root);
  if (ScanFileDialogLists(context, rootName)) ScanRunList(context, rootName);
}

RegistrySection MruEntriesSection() { return ValueRepairSection({ScanMruEntries}); }

void RepairMruEntries(RepairContext& context) { RepairCheckedItems(context, MruEntriesSection()); }

}  // namespace regclean
