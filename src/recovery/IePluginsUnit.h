#pragma once
// The "BHO Manager" without its window: the list of add-on entries (menu
// extensions, toolbars, explorer bars), "Remove Checked" with its .reg backup
// in "IEBackUp", and the backups: list, import, removal and detail records.

#include <string>
#include <vector>

#include "recovery/RegBackupUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace recovery {

extern const char* const kIeBackupFolderName;  // "IEBackUp"
extern const char* const kBackupNotWrittenMessage;
// Followed by one line per add-on.
extern const char* const kAddOnsNotBackedUpMessage;
extern const char* const kAddOnsNotRemovedMessage;
extern const char* const kSelectBackupMessage;
extern const char* const kBackupRemoveFailedMessage;

// One row of the entry list.
struct AddOnRow {
  std::string Name;      // display name (column "Name")
  std::string KeyPath;   // column "Registry Entries"
  std::string Target;    // Value when not empty, else KeyName
  std::string Kind;      // "1" menu extension, "2" toolbar, "3" explorer bar
  bool UnnamedValue = false;  // a toolbar row for the Toolbar key's unnamed value
  bool Checked = false;
};

// The entries of the ticked kinds, in kind order.
std::vector<AddOnRow> RefreshIEAddOnList(bool menuExtensions, bool toolbars, bool explorerBars);

// The program's folder + "IEBackUp\".
std::string IeBackupFolder();

// "Remove Checked": writes the backup of the ticked rows (a menu extension's
// or explorer bar's key with its subtree, every value of a toolbar's key)
// and proves it, then removes the ticked entries. When the backup cannot be
// written and proven, nothing is removed and the user is warned. A row
// whose entries a .reg file cannot hold is not removed, and one whose
// removal fails stays; the user is told which, and the backup keeps neither.
// Returns the backup's file name (empty when nothing was removed).
std::string RemoveCheckedAddOns(const std::vector<AddOnRow>& rows, const TDateTime& now);

// The backups of "IEBackUp" (none when the folder is missing), captioned
// with their creation time in the short date and time format.
std::vector<BackupFileRow> ListIEBackups();
// "Restore" on page "Restore": imports the file with "Regedit /s" while
// holding the busy guard. Without a file asks for one; a failed import is
// told; success is silent.
bool ImportIeBackup(const std::string& fileName);
// "Remove Backup": deletes the file without asking; a failure is told.
bool RemoveIeBackup(const std::string& fileName);

// One record of the detail view: a key line and its latest value line.
struct TDetailBackup {
  std::uint8_t Flag = 1;
  std::string KeyLine;
  std::string ValueLine;
};
// The records of a backup's text lines: blank and header lines are skipped,
// a line with "[" and "]" starts a record, any other line becomes the value
// line of the latest record (none yet: skipped).
std::vector<TDetailBackup> DetailRecordsOf(const std::vector<std::string>& lines);
// The records of a backup file (UTF-16LE with BOM, or ANSI); none when it
// cannot be read.
std::vector<TDetailBackup> LoadIEBackupDetail(const std::string& fileName);

}  // namespace recovery
