#pragma once
// "Repair": the .reg backup of everything the ticked problems' repairs will
// delete, the section repairers in grid order with Cancel, the repair log;
// and "Finish".

#include <array>
#include <string>
#include <vector>

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

// Per section number, the indexes of the problems that a repair keeps:
// a .reg backup cannot hold what they would delete.
using KeptProblems = std::array<std::vector<bool>, kSectionCount + 1>;

struct BackupResult {
  // Nothing to back up, or the file is written and proven: read back, it
  // brings back every value and key the repair deletes.
  bool ok = true;
  bool written = false;   // a file was written
  std::string folder;     // the backup folder, ending in a backslash
  std::string fileName;   // full name of the file (also when none was needed)
  KeptProblems kept;      // left out of the backup, so not to be deleted
  std::string difference;  // why the proof failed
};

// "yyyymmdd_hhnnss".
std::string BackupTimeStamp(const TDateTime& time);
// stem + extension, or stem + "_2", "_3", ... + extension when that name is
// taken ("...\Backup_<stamp>.reg", "...\Backup_<stamp>_2.reg").
std::string FreeFileName(const std::string& stem, const std::string& extension);
// Writes the backup of the ticked problems of the listed sections, in grid
// order: header line, then what each problem's target deletes (a value under
// its key line, or a whole key with its subtree), and proves it. A problem
// whose target the file cannot hold is left out and listed in `kept`. No
// file when there is nothing to write. A name already taken in the folder
// gets a number added.
BackupResult BackupCheckedProblems(ScanSession& session);
// The repairers of the listed sections, in grid order; stops when ScanState
// is 4. Empties the repair log first. Kept problems are logged as not
// repaired and left alone.
void RunRegistryRepair(ScanSession& session, ScanPageView& view, const KeptProblems* kept = nullptr);

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
