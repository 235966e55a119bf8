#include "regclean/RepairDriverUnit.h"

#include <cstdio>
#include <vector>

#include "platform/FileSystem.h"
#include "regclean/RegValueExportUnit.h"
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

// "Repair_<stamp>.reg", or with "_2", "_3", ... when the name is taken.
std::string FreeBackupName(const std::string& folder, const std::string& stamp) {
  std::string name = folder + "Repair_" + stamp + ".reg";
  for (int n = 2; win::GetFileAttributes(name) != win::INVALID_FILE_ATTRIBUTES; ++n)
    name = folder + "Repair_" + stamp + "_" + std::to_string(n) + ".reg";
  return name;
}

void AppendTargetBackup(const RepairTarget& target, std::vector<std::string>& lines) {
  win::HKEY root = 0;
  std::string subKey;
  switch (target.kind) {
    case RepairTarget::Kind::Value:
      ExportRegValue(target.path, target.valueName, lines);
      break;
    case RepairTarget::Kind::Key:
      // A root is never deleted, so it is not exported either.
      if (SplitFullKeyPath(target.path, root, subKey) && !subKey.empty())
        ExportRegKey(target.path, lines);
      break;
    case RepairTarget::Kind::File:
      break;
  }
}

bool WriteWholeFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> readBack;
  return win::WriteFileBytes(fileName, bytes) && win::ReadFileBytes(fileName, readBack) &&
         readBack == bytes;
}

}  // namespace

std::string BackupTimeStamp(const TDateTime& time) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", time.Year, time.Month, time.Day,
                time.Hour, time.Minute, time.Second);
  return stamp;
}

BackupResult BackupCheckedProblems(ScanSession& session) {
  // A large backup takes seconds: the window shows that it is busy.
  WaitCursor busy;
  BackupResult result;
  const std::string stamp = BackupTimeStamp(Now());
  result.folder = win::IncludeTrailingBackslash(
      win::IncludeTrailingBackslash(win::ProgramFolder()) + kBackupFolderName);

  std::vector<std::string> lines{RegFileHeaderLine()};
  for (const ResultRow& row : session.ResultRows) {
    if (row.section < 1 || row.section > kSectionCount) continue;
    const RegistrySection& section = SectionImplementation(row.section);
    const TRegistryContents& contents = *session.Collection(row.section);
    for (std::int32_t i = 0; i < contents.Count(); ++i) {
      const TRegistryContent& item = contents.GetItem(i).Content;
      if (item.Checked && section.target) AppendTargetBackup(section.target(item), lines);
    }
  }

  const bool folderReady =
      win::DirectoryExists(result.folder) || win::ForceDirectories(result.folder);
  result.fileName = folderReady ? FreeBackupName(result.folder, stamp)
                                : result.folder + "Repair_" + stamp + ".reg";
  if (lines.size() <= 1) return result;
  // A file regedit refuses (no header) or reads back with other names is no
  // backup.
  result.ok = folderReady && RegLinesReadBackAsWritten(lines) &&
              WriteWholeFile(result.fileName, RegLinesToFileBytes(lines));
  result.written = result.ok;
  return result;
}

void RunRegistryRepair(ScanSession& session, ScanPageView& view) {
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
    RunSectionRepairer(context, SectionImplementation(row.section));
  }
}

RepairOutcome RepairCheckedProblems(ScanSession& session, ScanPageView& view) {
  if (session.Busy()) return RepairOutcome::Refused;
  if (session.ResultRows.empty()) return RepairOutcome::NothingToRepair;
  RepairRun run(session);
  if (ScanState == 4) ScanState = 0;  // a Cancel left from an earlier repair

  if (!Settings.NotAutoBackup) {
    const BackupResult backup = BackupCheckedProblems(session);
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
    RunRegistryRepair(session, view);
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
