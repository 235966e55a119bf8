#include "recovery/IePluginsUnit.h"

#include <map>
#include <optional>

#include "platform/files/FileSystem.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/RegFileText.h"
#include "platform/registry/Registry.h"
#include "platform/system/ProgramRunner.h"
#include "platform/text/TextCodec.h"
#include "recovery/IERepairItemUnit.h"
#include "recovery/ServerListUnit.h"
#include "regclean/ProvenRegBackupUnit.h"
#include "regclean/RepairDriverUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"

namespace recovery {

const char* const kIeBackupFolderName = "IEBackUp";
const char* const kBackupNotWrittenMessage = "The backup file could not be written, nothing was removed!";
const char* const kSelectBackupMessage = "Please select one backup file!";
const char* const kBackupRemoveFailedMessage = "Backup file was remove failed!";
const char* const kAddOnsNotBackedUpMessage =
    "These add-ons were not removed, because a backup file cannot hold their registry entries:";
const char* const kAddOnsNotRemovedMessage = "These add-ons could not be removed:";

namespace {

// The backup of the ticked rows: an entry for the key of each menu
// extension and explorer bar, and one for every value of a ticked toolbar's
// key. Blocks are read once, before anything is removed.
struct AddOnBackupPlan {
  std::vector<regclean::RegBackupEntry> entries;
  std::vector<std::vector<win::RegFileKey>> blocks;
  // Per entry: the rows that put it in the backup, and the row whose removal
  // deletes it (none for a toolbar value that no ticked row names).
  std::vector<std::vector<std::size_t>> owners;
  std::vector<std::optional<std::size_t>> deletedBy;
};

AddOnBackupPlan PlanAddOnBackup(const std::vector<AddOnRow>& rows) {
  AddOnBackupPlan plan;
  std::map<std::string, std::vector<std::size_t>> toolbarEntries;  // upper key path -> entries
  const auto add = [&plan](regclean::RegBackupEntry entry) {
    plan.entries.push_back(std::move(entry));
    plan.owners.emplace_back();
    plan.deletedBy.emplace_back();
    return plan.entries.size() - 1;
  };
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const AddOnRow& row = rows[r];
    if (!row.Checked) continue;
    if (row.Kind != kToolbarKind) {
      const std::size_t e = add({regclean::RegBackupEntry::Kind::Key, row.KeyPath, ""});
      plan.owners[e].push_back(r);
      plan.deletedBy[e] = r;
      continue;
    }
    const std::string key = win::UpperName(row.KeyPath);
    if (!toolbarEntries.count(key)) {
      std::vector<std::size_t>& entries = toolbarEntries[key];
      win::TRegistry registry(win::KEY_READ);
      std::vector<std::string> names;
      win::HKEY root = 0;
      std::string subKey;
      if (row.KeyPath.find('\\') != std::string::npos && SplitFullKeyPath(row.KeyPath, root, subKey)) {
        registry.SetRootKey(root);
        if (registry.OpenKeyReadOnly("\\" + subKey)) registry.GetValueNames(names);
      }
      for (std::string& name : names)
        entries.push_back(add({regclean::RegBackupEntry::Kind::Value, row.KeyPath, std::move(name)}));
    }
    const std::string target = row.UnnamedValue ? std::string() : row.Target;
    for (std::size_t e : toolbarEntries[key]) {
      plan.owners[e].push_back(r);
      if (!plan.deletedBy[e] && win::SameName(plan.entries[e].valueName, target)) plan.deletedBy[e] = r;
    }
  }
  for (const regclean::RegBackupEntry& entry : plan.entries) plan.blocks.push_back(regclean::RegBackupBlocks(entry));
  return plan;
}

// Writes and proves the plan's entries that `keep` names.
regclean::ProvenRegBackup WritePlan(const std::string& fileName, const AddOnBackupPlan& plan,
                                    const std::vector<bool>& keep) {
  return regclean::WriteProvenRegBackup(fileName, plan.entries.size(),
                                        [&](std::size_t e, std::vector<win::RegFileKey>& blocks) {
                                          if (keep[e]) blocks = plan.blocks[e];
                                        });
}

// One line per row: its name, or its registry entry when it has none; the
// first 20 rows and the count of the others.
std::string RowList(const std::vector<AddOnRow>& rows, const std::vector<std::size_t>& which) {
  constexpr std::size_t kListed = 20;
  std::string list;
  for (std::size_t i = 0; i < which.size(); ++i) {
    if (i == kListed) {
      list += "\rand " + std::to_string(which.size() - kListed) + " more";
      break;
    }
    const AddOnRow& row = rows[which[i]];
    std::string line = row.Name.empty() ? row.KeyPath : row.Name + " (" + row.KeyPath + ")";
    if (row.Kind == kToolbarKind) line += " \"" + (row.UnnamedValue ? std::string("@") : row.Target) + "\"";
    list += "\r" + win::ShownRegName(line);
  }
  return list;
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

std::string RemoveCheckedAddOns(const std::vector<AddOnRow>& rows, const TDateTime& now) {
  const std::string folder = IeBackupFolder();
  if (!win::DirectoryExists(folder)) win::CreateDirectory(folder);
  bool any = false;
  for (const AddOnRow& row : rows) any = any || row.Checked;
  if (!any) return {};

  const AddOnBackupPlan plan = PlanAddOnBackup(rows);
  std::vector<bool> keep(plan.entries.size(), true);
  const std::string stem = folder + "Backup_" + regclean::BackupTimeStamp(now) + "_IE";
  std::string fileName = regclean::FreeFileName(stem, ".reg");
  const regclean::ProvenRegBackup backup = WritePlan(fileName, plan, keep);
  if (!backup.ok) {
    CurrentDialogs().MessageBox(kBackupNotWrittenMessage, "Warning", MB_OK | MB_ICONWARNING);
    return {};
  }

  // A row is kept whole when its backup left out what removing it deletes.
  std::vector<bool> refusedRow(rows.size(), false);
  for (std::size_t e = 0; e < plan.entries.size(); ++e) {
    if (backup.refused[e] && plan.deletedBy[e]) refusedRow[*plan.deletedBy[e]] = true;
  }
  std::vector<std::size_t> refused, failed;
  std::vector<bool> removed(rows.size(), false), failedRow(rows.size(), false);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!rows[r].Checked) continue;
    if (refusedRow[r]) {
      refused.push_back(r);
    } else if (RemoveRow(rows[r])) {
      removed[r] = true;
    } else {
      failedRow[r] = true;
      failed.push_back(r);
    }
  }

  // The backup keeps only what was removed, and what came with it.
  bool anyKept = false;
  bool anyDropped = false;
  for (std::size_t e = 0; e < plan.entries.size(); ++e) {
    bool ownerRemoved = false;
    for (std::size_t r : plan.owners[e]) ownerRemoved = ownerRemoved || removed[r];
    keep[e] = ownerRemoved && !(plan.deletedBy[e] && failedRow[*plan.deletedBy[e]]);
    if (backup.refused[e] || plan.blocks[e].empty()) continue;
    anyKept = anyKept || keep[e];
    anyDropped = anyDropped || !keep[e];
  }
  if (!backup.written) {
    fileName.clear();
  } else if (!anyKept) {
    win::DeleteFile(fileName);
    fileName.clear();
  } else if (anyDropped) {
    // The smaller backup takes the place of the first once it is proven.
    const std::string smaller = regclean::FreeFileName(stem, ".reg");
    if (WritePlan(smaller, plan, keep).written) {
      if (!win::DeleteFile(fileName)) win::DeleteFile(smaller);
      else if (!win::RenameFile(smaller, fileName)) fileName = smaller;
    }
  }
  if (!refused.empty()) {
    CurrentDialogs().MessageBox(kAddOnsNotBackedUpMessage + RowList(rows, refused), "Warning",
                                MB_OK | MB_ICONWARNING);
  }
  if (!failed.empty()) {
    CurrentDialogs().MessageBox(kAddOnsNotRemovedMessage + RowList(rows, failed), "Warning",
                                MB_OK | MB_ICONWARNING);
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
    const std::string text = win::Trim(line, win::kSpacesAndTabs);
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
