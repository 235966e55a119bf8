#include "regclean/InvalidShortCutsUnit.h"

#include <memory>

#include "platform/files/FileSystem.h"
#include "platform/shell/ShellLink.h"
#include "platform/text/TextCodec.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kInvalidShortcutsCaption = "Invalid Shortcuts";

namespace {

constexpr int kOutcomeEvery = 200;

// Attribute words of the entries that are counted and, when folders,
// walked; any other combination (read-only or archived folders, reparse
// points) is neither.
bool IsWalkedAttributeWord(win::DWORD attributes) {
  switch (attributes) {
    case 16: case 2: case 4: case 128: case 256: case 19: case 32: case 22:
      return true;
    default:
      return false;
  }
}

// A target that lies on a fixed drive letter and passes the local-path rule.
bool IsLocalTarget(const std::string& target) {
  return target.size() >= 2 && target[1] == ':' && PassesLocalPathRule(target) &&
         win::GetDriveType(target.substr(0, 2) + "\\") == win::DRIVE_FIXED;
}

TRegistryContent InvalidShortcutProblem(const std::string& link, const std::string& name,
                                        const std::string& target) {
  TRegistryContent problem;
  static constexpr TTextForm kKeyName{"", TProblemField::KeyPath};
  static constexpr TTextForm kKeyPathText{" File Path:", TProblemField::KeyPath};
  static constexpr TTextForm kValueNameText{" File Name:", TProblemField::NamedValue};
  static constexpr TTextForm kValueText{" Value:", TProblemField::KeyPath};
  static constexpr TTextForm kInvalidDetail{"This shortcut (", TProblemField::KeyPath, ") is invalid."};
  static constexpr TTextForm kMissingDetail{" The file (", TProblemField::NamedValue,
                                            ") does not exist at the specified location"};
  static constexpr TTextForm kType{"Invalid Shortcut"};
  problem.KeyPath = link;
  problem.KeyName = kKeyName;
  SetProblemValueName(problem, target);
  problem.KeyPathText = kKeyPathText;
  problem.ValueNameText = kValueNameText;
  problem.ValueText = kValueText;
  if (win::ExtractFileExt(target).empty())
    problem.DetailText = kInvalidDetail;
  else
    problem.DetailText = kMissingDetail;
  problem.Description = "The shortcut " + name + " in the folder " + link + " linked to a missing target.";
  problem.ProblemType = kType;
  problem.Severity = SeverityText("Low");
  return problem;
}

void CheckShortcut(ScanContext& context, FileProbe& files, const std::string& link, const std::string& name) {
  const std::string target = ResolveShortcut(link);
  // A target that is there as a file or as a folder is no problem, whatever
  // its name looks like.
  if (target.empty() || !IsLocalTarget(target) || Contains(target, "//") ||
      files.Exists(target))
    return;
  AddUnlessIgnored(context, InvalidShortcutProblem(link, name, target));
}

// Lists one folder and walks its subfolders; false once a stop was asked for.
bool ScanShortcutFolder(ScanContext& context, FileProbe& files, const std::string& folder) {
  win::FindData entry;
  const std::unique_ptr<win::FileFinder> finder = win::FindFirstFile(folder + "\\*.*", entry);
  if (!finder) return true;
  do {
    ProcessMessages();
    if (ScanStopRequested()) return false;
    const std::string path = folder + "\\" + entry.name;
    if (ContainsNoCase(path, "Recent")) continue;
    // What the recycle bin holds is deleted, repaired shortcuts among it.
    if (win::SameName(path, win::RecycleBinFolder(path[0]))) continue;
    if (IsWalkedAttributeWord(entry.attributes)) {
      if (++VisitedCount % kOutcomeEvery == 0) ShowOutcome(context, path);
      IncItemsProcessed();
      // The listing tells a folder from a file or a link as a look-up would.
      if (entry.name != "." && entry.name != ".." && (entry.attributes & win::FILE_ATTRIBUTE_DIRECTORY) &&
          !ScanShortcutFolder(context, files, path))
        return false;
    }
    if (win::ExtractFileExt(entry.name) == ".lnk") CheckShortcut(context, files, path, entry.name);
  } while (finder->Next(entry));
  return true;
}

}  // namespace

std::string ResolveShortcut(const std::string& path) { return win::ShellLinkTarget(path); }

void ScanInvalidShortcuts(ScanContext& context) {
  ScanFiles files(context);
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    if (ScanStopRequested()) return;
    const std::string drive{letter, ':'};
    if (win::GetDriveType(drive + "\\") == win::DRIVE_FIXED && !ScanShortcutFolder(context, *files, drive)) return;
  }
}

RegistrySection InvalidShortcutsSection() {
  RegistrySection section;
  section.scanners = {ScanInvalidShortcuts};
  section.target = [](const TRegistryContent& item) {
    RepairTarget target;
    target.kind = RepairTarget::Kind::File;
    target.path = item.KeyName;
    target.logText = item.KeyPath;
    return target;
  };
  return section;
}

void RepairInvalidShortcuts(RepairContext& context) {
  RepairCheckedItems(context, InvalidShortcutsSection());
}

}  // namespace regclean
