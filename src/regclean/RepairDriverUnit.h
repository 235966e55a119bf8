#pragma once
// "Repair": the .reg backup of everything the ticked problems' repairs will
// delete, the section repairers in grid order with Cancel, the repair log;
// and "Finish".

#include <string>

#include "regclean/ScanSessionUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

extern const char* const kBackupFolderName;     // "RepairBackup"
extern const char* const kBackedUpMessage;      // "%s" = the folder
extern const char* const kBackedUpCaption;      // "Fernwick - Registry Backup Finished"
extern const char* const kBackupFailedMessage;  // "%s" = the folder

// The repair progress dialog and the Finish list.
extern const char* const kRepairDialogCaption;  // "Fernwick"
extern const char* const kRepairDialogLabel;    // "Repair", before the first key
// A log result shown in red (else green) in the Finish list's "Status" column.
bool IsErrorResult(const std::string& result);

struct BackupResult {
  // Nothing to back up, or the file is written and read back whole; false
  // also when regedit would not read it back as written.
  bool ok = true;
  bool written = false;   // a file was written
  std::string folder;     // the backup folder, ending in a backslash
  std::string fileName;   // full name of the file (also when none was needed)
};

// "yyyymmdd_hhnnss".
std::string BackupTimeStamp(const TDateTime& time);
// Writes the backup of the ticked problems of the listed sections, in grid
// order: header line, then what each problem's target deletes (a value under
// its key line, or a whole key with its subtree). No file when there is
// nothing to write. A name already taken in the folder gets a number added.
BackupResult BackupCheckedProblems(ScanSession& session);
// The repairers of the listed sections, in grid order; stops when ScanState
// is 4. Empties the repair log first.
void RunRegistryRepair(ScanSession& session, ScanPageView& view);

enum class RepairOutcome {
  NothingToRepair,  // no result rows
  Refused,          // a scan or repair is running
  Declined,         // the backup failed and the user chose not to repair
  Repaired,         // finished (or cancelled); the Finish step is shown
};
// RepairBtnClick.
RepairOutcome RepairCheckedProblems(ScanSession& session, ScanPageView& view);
// The repair dialog's Cancel (and its close box): ScanState 4.
void CancelRepair();
// FinishBtnClick: back to the start step with everything cleared. Refused
// while a scan or repair runs.
bool FinishScan(ScanSession& session, ScanPageView& view);

}  // namespace regclean
