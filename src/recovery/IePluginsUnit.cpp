#include "recovery/IePluginsUnit.h"

#include <set>

#include "platform/FileSystem.h"
#include "platform/ProgramRunner.h"
#include "platform/Registry.h"
#include "platform/RegFileText.h"
#include "platform/TextCodec.h"
#include "recovery/IERepairItemUnit.h"
#include "recovery/ServerListUnit.h"
#include "regclean/RegValueExportUnit.h"
#include "regclean/RepairDriverUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"

namespace recovery {

const char* const kIeBackupFolderName = "IEBackUp";
const char* const kBackupNotWrittenMessage = "The backup file could not be written, nothing was removed!";
const char* const kSelectBackupMessage = "Please select one backup file!";
const char* const kBackupRemoveFailedMessage = "Backup file was remove failed!";

namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Every value of one key, each under its key line.
void ExportKeyValues(const std::string& keyPath, std::vector<std::string>& lines) {
  const std::size_t slash = keyPath.find('\\');
  if (slash == std::string::npos) return;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(RootKeyFromName(keyPath.substr(0, slash)));
  std::vector<std::string> names;
  if (!registry.OpenKeyReadOnly("\\" + keyPath.substr(slash + 1)) || !registry.GetValueNames(names)) return;
  for (const std::string& name : names) regclean::ExportRegValue(keyPath, name, lines);
}

// The file holds exactly bytes.
bool WrittenAndChecked(const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> back;
  return win::WriteFileBytes(fileName, bytes) && win::ReadFileBytes(fileName, back) && back == bytes;
}

bool RemoveRow(const AddOnRow& row) {
  if (row.Kind == kMenuExtensionKind) {
    const std::size_t slash = row.KeyPath.find('\\');
    const std::size_t last = row.KeyPath.rfind('\\');
    if (slash == std::string::npos || last <= slash) return false;
    return RemoveIEMenuExtension(row.KeyPath, row.KeyPath.substr(slash + 1, last - slash - 1), row.Name);
  }
  if (row.Kind == kToolbarKind) return RemoveIEToolbar(row.KeyPath, row.UnnamedValue ? std::string() : row.Target);
  if (row.Kind == kExplorerBarKind) return RemoveIEExplorerBar(row.KeyPath, row.Target);
  return false;
}

}  // namespace

std::vector<AddOnRow> RefreshIEAddOnList(bool menuExtensions, bool toolbars, bool explorerBars) {
  TRegistryContents contents;
  if (menuExtensions) ListIEMenuExtensions(contents);
  if (toolbars) ListIEToolbars(contents);
  if (explorerBars) ListIEExplorerBars(contents);
  std::vector<AddOnRow> rows;
  for (int i = 0; i < contents.Count(); ++i) {
    const TRegistryContent& item = contents.GetItem(i).Content;
    AddOnRow row;
    row.Name = item.Data1;
    row.KeyPath = item.KeyPath;
    row.Target = item.Value.empty() ? item.KeyName : item.Value;
    row.Kind = item.Data2;
    row.UnnamedValue = item.UnnamedValue;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string IeBackupFolder() {
  return win::IncludeTrailingBackslash(win::IncludeTrailingBackslash(win::ProgramFolder()) + kIeBackupFolderName);
}

std::string FreeIeBackupName(const std::string& folder, const TDateTime& now) {
  const std::string stem = folder + "Backup_" + regclean::BackupTimeStamp(now) + "_IE";
  std::string name = stem + ".reg";
  for (int n = 2; win::GetFileAttributes(name) != win::INVALID_FILE_ATTRIBUTES; ++n)
    name = stem + "_" + std::to_string(n) + ".reg";
  return name;
}

std::vector<std::string> AddOnBackupLines(const std::vector<AddOnRow>& rows) {
  std::vector<std::string> lines{regclean::RegFileHeaderLine()};
  std::set<std::string> written;
  for (const AddOnRow& row : rows) {
    if (!row.Checked || !written.insert(win::UpperName(row.KeyPath)).second) continue;
    if (row.Kind == kToolbarKind) ExportKeyValues(row.KeyPath, lines);
    else regclean::ExportRegKey(row.KeyPath, lines);
  }
  return lines;
}

std::string RemoveCheckedAddOns(const std::vector<AddOnRow>& rows, const TDateTime& now) {
  const std::string folder = IeBackupFolder();
  if (!win::DirectoryExists(folder)) win::CreateDirectory(folder);
  bool any = false;
  for (const AddOnRow& row : rows) any = any || row.Checked;
  if (!any) return {};

  const std::vector<std::string> lines = AddOnBackupLines(rows);
  const std::string fileName = FreeIeBackupName(folder, now);
  if (!regclean::RegLinesReadBackAsWritten(lines) ||
      !WrittenAndChecked(fileName, regclean::RegLinesToFileBytes(lines))) {
    if (win::FileExists(fileName)) win::DeleteFile(fileName);
    CurrentDialogs().MessageBox(kBackupNotWrittenMessage, "Warning", MB_OK | MB_ICONWARNING);
    return {};
  }
  for (const AddOnRow& row : rows) {
    if (row.Checked) RemoveRow(row);
  }
  return fileName;
}

std::vector<BackupFileRow> ListIEBackups() {
  std::vector<BackupFileRow> rows = ListBackupFiles(IeBackupFolder());
  for (BackupFileRow& row : rows) {
    if (const auto info = win::GetFileInfo(row.FileName))
      row.Caption = FormatShortDateTime(FileTimeToLocalDateTime(info->creationTime));
  }
  return rows;
}

bool ImportIeBackup(const std::string& fileName) {
  if (IsBusy()) return false;
  if (fileName.empty()) {
    CurrentDialogs().MessageBox(kSelectBackupMessage, "Warning", MB_OK);
    return false;
  }
  bool imported = false;
  {
    BusyGuard busy;
    win::DWORD exitCode = 1;
    imported = win::RunAndWait("Regedit /s \"" + fileName + "\"", exitCode, ProcessMessages) && exitCode == 0;
  }
  if (!imported) CurrentDialogs().MessageBox(kRestoreFailedMessage, "Fernwick", MB_OK | MB_ICONWARNING);
  return imported;
}

bool RemoveIeBackup(const std::string& fileName) {
  if (fileName.empty()) {
    CurrentDialogs().MessageBox(kSelectBackupMessage, "Warning", MB_OK);
    return false;
  }
  if (win::FileExists(fileName) && win::DeleteFile(fileName)) return true;
  CurrentDialogs().MessageBox(kBackupRemoveFailedMessage, "warning!", MB_OK);
  return false;
}

std::vector<TDetailBackup> DetailRecordsOf(const std::vector<std::string>& lines) {
  std::vector<TDetailBackup> records;
  for (const std::string& line : lines) {
    const std::string text = Trimmed(line);
    if (text.empty() || text == "REGEDIT4" || text == "Windows Registry Editor Version 5.00") continue;
    if (line.find('[') != std::string::npos && line.find(']') != std::string::npos) {
      TDetailBackup record;
      record.KeyLine = line;
      records.push_back(std::move(record));
    } else if (!records.empty()) {
      records.back().ValueLine = line;
    }
  }
  return records;
}

std::vector<TDetailBackup> LoadIEBackupDetail(const std::string& fileName) {
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(fileName, bytes)) return {};
  return DetailRecordsOf(SplitTextLines(win::DecodeRegFileText(bytes)));
}

}  // namespace recovery
