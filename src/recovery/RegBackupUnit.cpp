#include "recovery/RegBackupUnit.h"

#include <cstdint>

#include "platform/files/FileSystem.h"
#include "platform/registry/RegFile.h"
#include "platform/system/ProgramRunner.h"
#include "regclean/RepairDriverUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"

namespace recovery {

const char* const kFullBackupFolderName = "FullBackup";

const char* const kBackupCreatedMessage = "The registry backup was created successfully!";
const char* const kBackupFailedMessage = "Creating registry backup was failed.";
const char* const kCannotHoldMessage = "A .reg file cannot hold ";
const char* const kSelectItemMessage = "Please select the specific item for this operation!";
const char* const kRestoreQuestion = "Would you like to restore the registry now?";
const char* const kRestoredMessage = "The registry was restored successfully!";
const char* const kRestoreFailedMessage =
    "The registry could not be restored from this backup file!\rPlease make sure that the "
    "registry backup has not been modified or changed.";
const char* const kRemoveQuestion =
    "Are you sure to remove this backup file now?\rThis operation is not reversible!";
const char* const kRemovedMessage = "The backup file was removed successfully!";
const char* const kRemoveFailedMessage =
    "The backup file cannot be deleted or does not exist!\rPlease make sure that the registry "
    "backup has not been modified or changed.";

namespace {

constexpr const char* kCaption = "Fernwick";

std::string FolderBesideProgram(const char* name) {
  return win::IncludeTrailingBackslash(win::IncludeTrailingBackslash(win::ProgramFolder()) + name);
}

int Tell(const char* text, unsigned flags) { return CurrentDialogs().MessageBox(text, kCaption, flags); }

BackupFileRow RowOf(const std::string& fileName, win::FileTime created) {
  BackupFileRow row;
  DateTimeToEnglishText(FileTimeToLocalDateTime(created), row.Caption);
  row.FileName = fileName;
  return row;
}

// Runs a regedit command line to its end, letting messages through; true
// when it succeeded.
bool RunRegedit(const std::string& commandLine) {
  win::DWORD exitCode = 1;
  return win::RunAndWait(commandLine, exitCode, ProcessMessages) && exitCode == 0;
}

// The form "Regedit /E" writes on this machine.
win::RegFileFormat ExportFormat() {
  return PlatformCode == 2 ? win::RegFileFormat::Regedit4 : win::RegFileFormat::Version5;
}

}  // namespace

std::string RepairBackupFolder() { return FolderBesideProgram(regclean::kBackupFolderName); }
std::string FullBackupFolder() { return FolderBesideProgram(kFullBackupFolderName); }

std::vector<BackupFileRow> ListBackupFiles(const std::string& folder) {
  std::vector<BackupFileRow> rows;
  win::FindData data;
  auto finder = win::FindFirstFile(win::IncludeTrailingBackslash(folder) + "*.reg", data);
  if (!finder) return rows;
  do {
    if ((data.attributes & win::FILE_ATTRIBUTE_DIRECTORY) == 0)
      rows.push_back(RowOf(win::IncludeTrailingBackslash(folder) + data.name, data.creationTime));
  } while (finder->Next(data));
  return rows;
}

bool BackupRowOf(const std::string& fileName, BackupFileRow& row) {
  const auto info = win::GetFileInfo(fileName);
  if (!info || (info->attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  row = RowOf(fileName, info->creationTime);
  return true;
}

bool CreateFullBackup(RegBackupView& view, const TDateTime& now) {
  if (IsBusy()) return false;
  bool exported = false;
  std::string fileName;
  std::string refusal;
  {
    BusyGuard busy;
    view.ShowWait("Registry Backup", "Please wait until the backup operation is finished.");
    const std::string folder = FullBackupFolder();
    if (!win::DirectoryExists(folder)) win::CreateDirectory(folder);
    fileName = regclean::FreeFileName(folder + "Backup_" + regclean::BackupTimeStamp(now), ".reg");
    // Complete means it brings back the registry as it is, key by key.
    std::string difference;
    const bool ran = RunRegedit("Regedit /E \"" + fileName + "\"");
    exported = ran && win::ProveRegistryExport(fileName, "", ExportFormat(), difference);
    if (!exported && win::FileExists(fileName)) win::DeleteFile(fileName);
    if (!ran) refusal = win::RegistryTreeRefusal("", ExportFormat());
    view.CloseWait();
  }
  BackupFileRow row;
  if (exported && BackupRowOf(fileName, row)) {
    view.BackupCreated(row);
    Tell(kBackupCreatedMessage, MB_OK);
    return true;
  }
  if (refusal.empty()) {
    Tell(kBackupFailedMessage, MB_OK);
  } else {
    const std::string text = std::string(kBackupFailedMessage) + "\r" + kCannotHoldMessage + refusal + ".";
    CurrentDialogs().MessageBox(text, kCaption, MB_OK);
  }
  return false;
}

bool RestoreBackupFile(const std::string& fileName) {
  if (IsBusy()) return false;
  if (fileName.empty()) {
    Tell(kSelectItemMessage, MB_OK);
    return false;
  }
  if (Tell(kRestoreQuestion, MB_YESNO | MB_ICONINFORMATION) != IDYES) return false;
  bool restored = false;
  {
    BusyGuard busy;
    restored = RunRegedit("Regedit /s \"" + fileName + "\"");
  }
  if (restored) Tell(kRestoredMessage, MB_OK);
  else Tell(kRestoreFailedMessage, MB_OK | MB_ICONWARNING);
  return restored;
}

bool RemoveBackupFile(RegBackupView& view, const std::string& fileName) {
  if (fileName.empty()) {
    Tell(kSelectItemMessage, MB_OK);
    return false;
  }
  if (Tell(kRemoveQuestion, MB_YESNO | MB_ICONWARNING) != IDYES) return false;
  if (win::FileExists(fileName) && win::DeleteFile(fileName)) {
    view.BackupRemoved();
    Tell(kRemovedMessage, MB_OK);
    return true;
  }
  Tell(kRemoveFailedMessage, MB_OK | MB_ICONWARNING);
  return false;
}

}  // namespace recovery
