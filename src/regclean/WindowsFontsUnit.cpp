#include "regclean/WindowsFontsUnit.h"

#include <string>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kFontEntriesCaption = "Font Entries";

namespace {

TRegistryContent FontProblem(const std::string& keyPath, const std::string& name,
                             const std::string& data, const std::string& severity) {
  TRegistryContent problem = MissingPathProblem(keyPath, name, data);
  static constexpr TTextForm kFonts{"Fonts"};
  problem.KeyName = kFonts;
  problem.Severity = SeverityText(severity);
  return problem;
}

// The font file a value names: a full path as it is, a bare name in the
// Windows folder's "Fonts".
std::string FontFile(win::DWORD type, const std::string& data, const KnownFolders& folders) {
  // Expandable data is read with its folder variables in place.
  const std::string path = type == win::REG_EXPAND_SZ ? ExpandFolderVariables(data, folders) : data;
  return HasDriveRoot(path) ? path : folders.windowsFolder + "\\Fonts\\" + path;
}

}  // namespace

void ScanFontEntries(ScanContext& context) {
  const KnownFolders folders = KnownFolders::OfCurrentMachine();
  context.collection->Clear();
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(context.root);
  if (!registry.OpenKeyReadOnly("\\" + context.startPath)) return;
  std::vector<std::string> names;
  registry.GetValueNames(names);
  const std::string keyPath = FullKeyPath(context.root, context.startPath);
  ScanFiles files(context);

  win::DWORD type = win::REG_NONE;
  std::vector<std::uint8_t> bytes;
  for (const std::string& name : names) {
    if (ScanStopRequested()) return;
    ShowOutcome(context, context.startPath + name);
    IncItemsProcessed();
    if (registry.ReadRaw(name, type, bytes) && (type == win::REG_SZ || type == win::REG_EXPAND_SZ)) {
      const std::string data = win::Utf16LeBytesToUtf8(bytes);
      const std::string file = FontFile(type, data, folders);
      if (HasDriveRoot(Trim(file)) && PassesLocalPathRule(file) && !files->FileExists(file)) {
        std::string severity;
        GetSeverity(file, severity);
        AddUnlessIgnored(context, FontProblem(keyPath, name, data, severity));
      }
    }
    ProcessMessages();
  }
}

RegistrySection FontEntriesSection() {
  RegistrySection section = ValueRepairSection({ScanFontEntries});
  section.letMessagesThroughOnRepair = false;
  return section;
}

void RepairFontEntries(RepairContext& context) { RepairCheckedItems(context, FontEntriesSection()); }

}  // namespace regclean
