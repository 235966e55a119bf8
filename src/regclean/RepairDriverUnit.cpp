#include "regclean/RepairDriverUnit.h"

#include <cstdio>
#include <vector>

#include "platform/files/FileSystem.h"
#include "regclean/ProvenRegBackupUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "regclean/SectionContractUnit.h"
#include "shell/BusyGuard.h"
#include "shell/MessagePump.h"
#include "shell/Dialogs.h"

namespace regclean {

const char* const kBackupFolderName = "RepairBackup";
const char* const kBackedUpMessage =
    "The registry was successfully backed up at the folder:\r%s\r\rYou can use the utilities in "
    "Registry Backup to restore the registry to a previous state.\rPress OK button to fix the "
    "problems now!";
const char* const kBackedUpCaption = "Fernwick - Registry Backup Finished";
const char* const kBackupFailedMessage =
    "The registry backup could not be written to the folder:\r%s\r\rDo you want to repair the "
    "problems without a backup?";

const char* const kRepairDialogCaption = "Fernwick";
const char* const kRepairDialogLabel = "Repair";

bool IsErrorResult(const std::string& result) { return result.find("Error") != std::string::npos; }

// Marks the session as repairing for its lifetime; the repair dialog shows
// meanwhile.
class RepairRun {
 public:
  explicit RepairRun(ScanSession& session) : session_(session) { session_.repairing_ = true; }
  ~RepairRun() { session_.repairing_ = false; }
  RepairRun(const RepairRun&) = delete;
  RepairRun& operator=(const RepairRun&) = delete;

 private:
  ScanSession& session_;
  BusyGuard busy_;
};

namespace {

class StatusCaption : public CaptionSink {
 public:
  explicit StatusCaption(ScanPageView& view) : view_(view) {}
  void SetCaption(const std::string& text) override { view_.SetRepairStatus(text); }

 private:
  ScanPageView& view_;
};

class FinishListRows : public RowCountSink {
 public:
  explicit FinishListRows(ScanPageView& view) : view_(view) {}
  void SetRowCount(int) override { view_.RepairLogChanged(); }

 private:
  ScanPageView& view_;
};

class RepairDialogShown {
 public:
  explicit RepairDialogShown(ScanPageView& view) : view_(view) { view_.ShowRepairDialog(); }
  ~RepairDialogShown() { view_.HideRepairDialog(); }
  RepairDialogShown(const RepairDialogShown&) = delete;
  RepairDialogShown& operator=(const RepairDialogShown&) = delete;

 private:
  ScanPageView& view_;
};

std::string WithFolder(const char* message, const std::string& folder) {
  std::string text = message;
  text.replace(text.find("%s"), 2, folder);
  return text;
}

// What repairing a target deletes, as a backup entry; false for files.
bool BackupEntryOf(const RepairTarget& target, RegBackupEntry& entry) {
  if (target.kind == RepairTarget::Kind::File) return false;
  entry.kind = target.kind == RepairTarget::Kind::Key ? RegBackupEntry::Kind::Key : RegBackupEntry::Kind::Value;
  entry.keyPath = target.path;
  entry.valueName = target.valueName;
  return true;
}

}  // namespace

std::string BackupTimeStamp(const TDateTime& time) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", time.Year, time.Month, time.Day,
                time.Hour, time.Minute, time.Second);
  return stamp;
}

std::string FreeFileName(const std::string& stem, const std::string& extension) {
  std::string name = stem + extension;
  for (int n = 2; win::GetFileAttributes(name) != win::INVALID_FILE_ATTRIBUTES; ++n)
    name = stem + "_" + std::to_string(n) + extension;
  return name;
}

BackupResult BackupCheckedProblems(ScanSession& session) {
  // A large backup takes seconds: the window shows that it is busy.
  WaitCursor busy;
  BackupResult result;
  const std::string stamp = BackupTimeStamp(Now());
  result.folder = win::IncludeTrailingBackslash(
      win::IncludeTrailingBackslash(win::ProgramFolder()) + kBackupFolderName);

  // The ticked problems whose repair deletes registry entries, in grid order.
  struct Problem {
    int section;
    std::int32_t index;
  };
  std::vector<Problem> problems;
  for (const ResultRow& row : session.ResultRows) {
    if (row.section < 1 || row.section > kSectionCount) continue;
    const RegistrySection& section = SectionImplementation(row.section);
    const TRegistryContents& contents = *session.Collection(row.section);
    RegBackupEntry entry;
    for (std::int32_t i = 0; i < contents.Count(); ++i) {
      const TRegistryContent& item = contents.GetItem(i).Content;
      if (item.Checked && section.target && BackupEntryOf(section.target(item), entry))
        problems.push_back({row.section, i});
    }
  }
  const RegBackupBlocksOf blocksOf = [&session, &problems](std::size_t i, std::vector<win::RegFileKey>& blocks) {
    const Problem& problem = problems[i];
    const TRegistryContent& item = session.Collection(problem.section)->GetItem(problem.index).Content;
    RegBackupEntry entry;
    BackupEntryOf(SectionImplementation(problem.section).target(item), entry);
    blocks = RegBackupBlocks(entry);
  };

  const bool folderReady =
      win::DirectoryExists(result.folder) || win::ForceDirectories(result.folder);
  result.fileName = folderReady ? FreeFileName(result.folder + "Repair_" + stamp, ".reg")
                                : result.folder + "Repair_" + stamp + ".reg";
  if (problems.empty()) return result;
  const ProvenRegBackup backup = WriteProvenRegBackup(result.fileName, problems.size(), blocksOf);
  result.ok = backup.ok;
  result.written = backup.written;
  result.difference = backup.difference;
  for (std::size_t i = 0; i < problems.size(); ++i) {
    if (!backup.refused[i]) continue;
    std::vector<bool>& kept = result.kept[static_cast<std::size_t>(problems[i].section)];
    kept.resize(static_cast<std::size_t>(session.Collection(problems[i].section)->Count()), false);
    kept[static_cast<std::size_t>(problems[i].index)] = true;
  }
  return result;
}

void RunRegistryRepair(ScanSession& session, ScanPageView& view, const KeptProblems* kept) {
  session.RepairLog.Clear();
  view.RepairLogChanged();
  StatusCaption status(view);
  FinishListRows finishList(view);
  for (const ResultRow& row : session.ResultRows) {
    if (ScanState == 4) return;
    if (row.section < 1 || row.section > kSectionCount) continue;
    RepairContext context;
    context.status = &status;
    context.finishList = &finishList;
    context.collection = session.Collection(row.section);
    context.repairLog = &session.RepairLog;
    if (kept && !(*kept)[static_cast<std::size_t>(row.section)].empty())
      context.kept = &(*kept)[static_cast<std::size_t>(row.section)];
    RunSectionRepairer(context, SectionImplementation(row.section));
  }
}

RepairOutcome RepairCheckedProblems(ScanSession& session, ScanPageView& view) {
  if (session.Busy()) return RepairOutcome::Refused;
  if (session.ResultRows.empty()) return RepairOutcome::NothingToRepair;
  RepairRun run(session);
  if (ScanState == 4) ScanState = 0;  // a Cancel left from an earlier repair

  BackupResult backup;
  if (!Settings.NotAutoBackup) {
    backup = BackupCheckedProblems(session);
    if (backup.ok) {
      CurrentDialogs().MessageBox(WithFolder(kBackedUpMessage, backup.folder), kBackedUpCaption,
                                  MB_ICONINFORMATION | MB_OK);
    } else if (CurrentDialogs().MessageBox(WithFolder(kBackupFailedMessage, backup.folder),
                                           "Fernwick",
                                           MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
      return RepairOutcome::Declined;
    }
  }
  {
    RepairDialogShown dialog(view);
    RunRegistryRepair(session, view, backup.ok ? &backup.kept : nullptr);
  }
  SetScanStep(session, view, 3);
  return RepairOutcome::Repaired;
}

void CancelRepair() { ScanState = 4; }

bool FinishScan(ScanSession& session, ScanPageView& view) {
  if (session.Busy()) return false;
  ScanState = 0;
  session.Clear();
  view.ResultsChanged();
  view.RepairLogChanged();
  view.ShowProgressPanel(false);
  SetScanStep(session, view, 0);
  return true;
}

}  // namespace regclean
