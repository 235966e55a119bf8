#pragma once
// The "Backup" page without its window: the repair backups of "RepairBackup"
// and the whole-registry exports of "FullBackup", listed, made with
// "Regedit /E", restored with "Regedit /s" and removed. Every command runs to
// its end while window messages are let through, and the page tells what
// really happened.

#include <string>
#include <vector>

#include "shell/PublicFunctionUnit.h"

namespace recovery {

extern const char* const kFullBackupFolderName;  // "FullBackup"

extern const char* const kBackupCreatedMessage;
extern const char* const kBackupFailedMessage;
// After kBackupFailedMessage and a line break, followed by what it cannot
// hold and a full stop.
extern const char* const kCannotHoldMessage;
extern const char* const kSelectItemMessage;
extern const char* const kRestoreQuestion;
extern const char* const kRestoredMessage;
extern const char* const kRestoreFailedMessage;
extern const char* const kRemoveQuestion;
extern const char* const kRemovedMessage;
extern const char* const kRemoveFailedMessage;

// Folders beside the program, ending in a backslash.
std::string RepairBackupFolder();
std::string FullBackupFolder();

// One list row: the file's creation time (local, DateTimeToEnglishText) and
// its full path.
struct BackupFileRow {
  std::string Caption;
  std::string FileName;
};

// The "*.reg" files of a folder in the file system's order; none when the
// folder is missing.
std::vector<BackupFileRow> ListBackupFiles(const std::string& folder);
// The row of one file; false when it is not there.
bool BackupRowOf(const std::string& fileName, BackupFileRow& row);

// The page as the actions drive it; the window implements it.
class RegBackupView {
 public:
  virtual ~RegBackupView() = default;
  // The "please wait" window around the export: shown and painted at once,
  // then closed.
  virtual void ShowWait(const std::string& title, const std::string& message) = 0;
  virtual void CloseWait() = 0;
  // A new export: its row joins the full list, which comes to the front.
  virtual void BackupCreated(const BackupFileRow& row) = 0;
  // The selected row's file was deleted: the row goes.
  virtual void BackupRemoved() = 0;
};

// "Create Backup": exports the whole registry into a new file of
// "FullBackup\" (made when missing). True when the export succeeded and,
// read back, the file brings back every key and value the registry holds;
// the view then gets its row before the success is told. A failure is told
// too, naming the first key or value a .reg file cannot hold when that was
// the cause, and leaves no file. Refused (false, nothing told)
// while another long operation runs.
bool CreateFullBackup(RegBackupView& view, const TDateTime& now);
// "Restore": fileName is the selected row's file, empty without a selection.
// Asks first; true when the import succeeded.
bool RestoreBackupFile(const std::string& fileName);
// "Remove Backup": asks first; true when the file was deleted (the view drops
// the row before the success is told).
bool RemoveBackupFile(RegBackupView& view, const std::string& fileName);

}  // namespace recovery
