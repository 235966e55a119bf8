#include "regclean/StartMenuItemUnit.h"

#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kStartMenuItemsCaption = "Start Menu Items";

namespace {

// The Value of a problem whose repair deletes its whole key.
const char* const kKeyMark = "key";

TRegistryContent RecordProblem(const std::string& keyPath, const std::string& record) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  problem.KeyName = record;
  static constexpr TTextForm kValueText{" Value:Empty"};
  static constexpr TTextForm kDetail{" The key does not exist at the specified location"};
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueText = kValueText;
  problem.DetailText = kDetail;
  problem.Description = kDefaultBadPathDescription;
  problem.ProblemType = kMissingPathType;
  problem.Severity = SeverityText("High");
  return problem;
}

TRegistryContent RecordKeyProblem(const std::string& keyPath, const std::string& record) {
  TRegistryContent problem = RecordProblem(keyPath, record);
  problem.ValueName = "default";
  problem.Value = kKeyMark;
  problem.ValueNameText = kDefaultValueNameText;
  return problem;
}

TRegistryContent RecordValueProblem(const std::string& keyPath, const std::string& record,
                                    const std::string& valueName) {
  TRegistryContent problem = RecordProblem(keyPath, record);
  SetProblemValueName(problem, valueName);
  problem.ValueNameText = kValueNameTextForm;
  return problem;
}

void Report(ScanContext& context, const TRegistryContent& problem) {
  if (AddUnlessIgnored(context, problem)) IncItemsProcessed();
  ProcessMessages();
}

RepairTarget StartMenuTarget(const TRegistryContent& item) {
  // A value inside a key deleted before it is already gone when its turn
  // comes, so it is deleted only when its key stays.
  return item.Value == kKeyMark ? KeyTargetOf(item) : ValueTargetOf(item);
}

}  // namespace

void ScanStartMenuItems(ScanContext& context) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(context.root);
  if (!registry.OpenKeyReadOnly("\\" + context.startPath)) return;
  std::vector<std::string> records;
  registry.GetKeyNames(records);
  const std::string base = FullKeyPath(context.root, context.startPath);

  for (const std::string& record : records) {
    if (ScanStopRequested()) return;
    Report(context, RecordKeyProblem(base + "\\" + record, record));
  }
  std::vector<std::string> values;
  for (const std::string& record : records) {
    if (ScanStopRequested()) return;
    values.clear();
    if (registry.OpenKeyReadOnly("\\" + JoinKeyPath(context.startPath, record)))
      registry.GetValueNames(values);
    for (const std::string& value : values) {
      if (ScanStopRequested()) return;
      Report(context, RecordValueProblem(base + "\\" + record, record, value));
    }
  }
}

RegistrySection StartMenuItemsSection() {
  RegistrySection section;
  section.scanners = {ScanStartMenuItems};
  section.target = StartMenuTarget;
  return section;
}

void RepairStartMenuItems(RepairContext& context) {
  RepairCheckedItems(context, StartMenuItemsSection());
}

}  // namespace regclean
