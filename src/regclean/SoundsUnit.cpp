#include "regclean/SoundsUnit.h"

#include <string>

#include "platform/registry/Registry.h"
#include "regclean/IgnoreFileUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kSoundsCaption = "Sounds Section";

namespace {

TRegistryContent SoundsProblem(const std::string& keyPath, const std::string& data) {
  TRegistryContent problem = MissingPathProblem(keyPath, "", data);
  static constexpr TTextForm kSounds{"Sounds"};
  problem.KeyName = kSounds;
  problem.ValueNameText = kDefaultValueNameText;
  problem.Severity = SeverityText("High");
  return problem;
}

}  // namespace

void ScanSounds(ScanContext& context) {
  if (ScanStopRequested()) return;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(context.root);
  if (!registry.OpenKeyReadOnly("\\" + context.startPath)) return;
  // Only string data counts.
  const std::string data = registry.ReadString("").value_or(std::string());
  if (data.empty()) return;
  // The driver hands this section no ignore list; the ignore file is asked
  // all the same.
  TIgnoreContents ignoreFile;
  ScanContext withIgnores = context;
  if (!withIgnores.ignoreList) {
    LoadIgnoreList(ignoreFile);
    withIgnores.ignoreList = &ignoreFile;
  }
  if (AddUnlessIgnored(withIgnores, SoundsProblem(FullKeyPath(context.root, context.startPath), data)))
    IncItemsProcessed();
}

RegistrySection SoundsSection() { return ValueRepairSection({ScanSounds}); }

void RepairSounds(RepairContext& context) { RepairCheckedItems(context, SoundsSection()); }

}  // namespace regclean
