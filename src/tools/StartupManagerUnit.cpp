#include "tools/StartupManagerUnit.h"

#include <algorithm>
#include <memory>

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/LineFile.h"
#include "platform/TextCodec.h"
#include "platform/Registry.h"
#include "regclean/PathRoutinesUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace tools {

const char* const kStartupFileName = "startup.dat";
const char* const kRemoveStartupFileName = "removestartup.dat";
const char* const kDelFileName = "del.txt";

namespace {

const char* const kRunKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices",
};

const char* const kStartupFolderType = "Startup Folder";
const char* const kRegistrationType = "Registration";
const char* const kWinIniType = "Win.ini";
const char* const kEnable = "Enable";
const char* const kDisable = "Disable";
constexpr int kDetailRows = 7;

std::string WinIniPath() { return win::IncludeTrailingBackslash(win::GetWindowsDirectory()) + "win.ini"; }

bool ReadLines(const char* fileName, std::vector<std::string>& lines) {
  return win::ReadLineFile(StartupBackupPath(fileName), lines);
}

bool WriteLines(const char* fileName, const std::vector<std::string>& lines) {
  return win::WriteLineFile(StartupBackupPath(fileName), lines);
}

// Drops the first line equal to `line` (trimmed) and writes the file; true
// when the file was written.
bool DropLine(const char* fileName, const std::string& line) {
  std::vector<std::string> lines;
  ReadLines(fileName, lines);
  const std::string wanted = regclean::Trim(line);
  const auto found = std::find_if(lines.begin(), lines.end(),
                                  [&wanted](const std::string& l) { return regclean::Trim(l) == wanted; });
  if (found != lines.end()) lines.erase(found);
  return WriteLines(fileName, lines);
}

// Appends a line and writes the file; on failure the file is as it was.
bool AppendLine(const char* fileName, const std::string& line) {
  std::vector<std::string> lines;
  ReadLines(fileName, lines);
  lines.push_back(line);
  return WriteLines(fileName, lines);
}

bool IsChosen(const TStartupRow& row) { return row.Source != TStartupSource::Detail && row.ImageIndex == 1; }

// Holds a "%name%" pair.
bool HoldsVariable(const std::string& text) {
  const std::size_t first = text.find('%');
  return first != std::string::npos && text.find('%', first + 1) != std::string::npos;
}

// A registry entry that a line can bring back: a text or DWORD value whose
// name holds no "|" under HKLM or HKCU.
bool CanRoundTrip(const TRunEntry& entry) {
  return (entry.Type == win::REG_SZ || entry.Type == win::REG_EXPAND_SZ || entry.Type == win::REG_DWORD) &&
         entry.ValueName.find('|') == std::string::npos &&
         (entry.RootKey == win::HKEY_LOCAL_MACHINE || entry.RootKey == win::HKEY_CURRENT_USER);
}

std::string LineOf(const TRunEntry& entry) { return entry.Location + "#" + entry.ValueName + "|" + entry.Command; }

// Deletes a value with write access; true when it is gone.
bool DeleteRunValue(const TRunEntry& entry) {
  win::TRegistry registry(win::KEY_ALL_ACCESS);
  registry.SetRootKey(entry.RootKey);
  if (!registry.OpenKey(entry.KeyPath, false)) return false;
  return registry.DeleteValue(entry.ValueName) && !registry.ValueExists(entry.ValueName);
}

// A free copy path in the del folder: the name, else "name (2).ext", ...
std::string FreeCopyPath(const std::string& fileName) {
  const std::string folder = win::IncludeTrailingBackslash(DelFolder());
  std::string candidate = folder + fileName;
  const std::string ext = win::ExtractFileExt(fileName);
  const std::string stem = fileName.substr(0, fileName.size() - ext.size());
  for (int n = 2; win::GetFileAttributes(candidate) != win::INVALID_FILE_ATTRIBUTES; ++n)
    candidate = folder + stem + " (" + std::to_string(n) + ")" + ext;
  return candidate;
}

}  // namespace

std::string StartupBackupFolder() { return win::IncludeTrailingBackslash(win::ProgramFolder()) + "RepairBackup"; }

std::string StartupBackupPath(const std::string& name) { return StartupBackupFolder() + "\\" + name; }

std::string DelFolder() { return StartupBackupPath("del"); }

bool SplitStartupLine(const std::string& line, std::string& location, std::string& valueName,
                      std::string& command) {
  const std::size_t hash = line.find('#');
  if (hash == std::string::npos) return false;
  const std::size_t bar = line.find('|', hash + 1);
  if (bar == std::string::npos) return false;
  location = line.substr(0, hash);
  valueName = line.substr(hash + 1, bar - hash - 1);
  command = line.substr(bar + 1);
  return true;
}

bool SplitDelLine(const std::string& line, std::string& startupPath, std::string& copyPath) {
  std::size_t hash = line.find("#" + win::IncludeTrailingBackslash(DelFolder()));
  if (hash == std::string::npos) hash = line.find('#');
  if (hash == std::string::npos) return false;
  startupPath = line.substr(0, hash);
  const std::size_t bar = line.find('|', hash + 1);
  copyPath = line.substr(hash + 1, bar == std::string::npos ? std::string::npos : bar - hash - 1);
  return true;
}

std::string RunValueCommand(win::DWORD type, const std::vector<std::uint8_t>& data) {
  if (type == win::REG_SZ || type == win::REG_EXPAND_SZ) return win::Utf16LeBytesToUtf8(data);
  if (type == win::REG_DWORD && data.size() == 4) {
    const std::uint32_t value = static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                                (static_cast<std::uint32_t>(data[2]) << 16) |
                                (static_cast<std::uint32_t>(data[3]) << 24);
    return std::to_string(static_cast<std::int32_t>(value));
  }
  return {};
}

TStartupManager::TStartupManager() = default;

void TStartupManager::Prepare() {
  if (!win::DirectoryExists(StartupBackupFolder())) win::ForceDirectories(StartupBackupFolder());
  if (!win::DirectoryExists(DelFolder())) win::CreateDirectory(DelFolder());
  for (const char* name : {kStartupFileName, kRemoveStartupFileName, kDelFileName}) {
    const std::string path = StartupBackupPath(name);
    if (win::GetFileAttributes(path) == win::INVALID_FILE_ATTRIBUTES) win::WriteLineFile(path, {});
  }
  std::vector<std::unique_ptr<TFolderData>> folders;
  GetStartupFolders(folders);
  startupFolders_.clear();
  for (const char* name : {"Common Startup", "Startup"})
    for (const auto& folder : folders)
      if (folder->ValueName == name) startupFolders_.push_back(folder->Folder);
}

void TStartupManager::RefreshStartupList() {
  BusyGuard busy;
  rows_.clear();
  details_.Clear();
  startupLines_.clear();
  ReadLines(kStartupFileName, startupLines_);
  for (const std::string& folder : startupFolders_) ListStartupFolder(folder);
  for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER})
    for (const char* key : kRunKeys) ListRunKey(root, key);
  ListWinIniSection("Load");
  ListWinIniSection("Run");
  ListDisabledRegistryEntries();
}

void TStartupManager::ListStartupFolder(const std::string& folder) {
  if (!folder.empty()) {
    const std::string prefix = win::IncludeTrailingBackslash(folder);
    win::FindData data;
    std::unique_ptr<win::FileFinder> finder = win::FindFirstFile(prefix + "*.*", data);
    for (bool more = finder != nullptr; more; more = finder->Next(data)) {
      ProcessMessages();
      if (data.name == "." || data.name == "..") continue;
      TStartupRow row;
      row.Caption = data.name;
      row.SubItems = {prefix + data.name, kEnable, kStartupFolderType};
      rows_.push_back(std::move(row));
    }
  }
  ListDisabledFolderItems();
}

bool TStartupManager::IsPathListed(const std::string& path) const {
  return std::any_of(rows_.begin(), rows_.end(),
                     [&path](const TStartupRow& row) { return !row.SubItems.empty() && row.Path() == path; });
}

void TStartupManager::ListDisabledFolderItems() {
  std::vector<std::string> lines;
  ReadLines(kDelFileName, lines);
  for (const std::string& line : lines) {
    if (line.find("|E") == std::string::npos) continue;
    std::string startupPath;
    std::string copyPath;
    if (!SplitDelLine(line, startupPath, copyPath)) continue;
    if (IsPathListed(copyPath) || win::GetFileAttributes(startupPath) != win::INVALID_FILE_ATTRIBUTES) continue;
    TStartupRow row;
    row.Caption = startupPath;
    row.SubItems = {copyPath, kDisable, kStartupFolderType};
    row.DelLine = line;
    rows_.push_back(std::move(row));
  }
}

void TStartupManager::ListRunKey(win::HKEY root, const std::string& keyPath) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(keyPath)) return;
  std::vector<std::string> names;
  registry.GetValueNames(names);
  const regclean::KnownFolders folders = regclean::KnownFolders::OfCurrentMachine();
  for (const std::string& name : names) {
    TStartupRow row;
    row.Source = TStartupSource::Registration;
    row.StateIndex = 2;
    TRunEntry& entry = row.Run;
    entry.RootKey = root;
    entry.KeyPath = keyPath;
    entry.ValueName = name;
    entry.Location = RootKeyToName(root) + "\\" + keyPath;
    std::vector<std::uint8_t> data;
    if (!registry.ReadRaw(name, entry.Type, data)) entry.Type = win::REG_NONE;
    entry.Command = RunValueCommand(entry.Type, data);
    const std::string line = LineOf(entry);
    const bool disabled = std::find(startupLines_.begin(), startupLines_.end(), line) != startupLines_.end();
    if (disabled) entry.Line = line;
    row.Caption = name;
    row.SubItems = {entry.Command, disabled ? kDisable : kEnable, kRegistrationType, entry.Location};
    const std::string file = regclean::ExtractCommandFilePath(entry.Command, folders);
    if (win::FileExists(file)) row.Details = AddEntryFileInfo(reader_, details_, file, "Registry", name, entry.Location);
    rows_.push_back(std::move(row));
  }
}

void TStartupManager::ListWinIniSection(const std::string& section) {
  const win::TIniFile ini(WinIniPath());
  for (const std::string& key : ini.ReadSection(section)) {
    TStartupRow row;
    row.Source = TStartupSource::WinIni;
    row.StateIndex = 2;
    row.Caption = key;
    row.Section = section;
    row.SubItems = {ini.ReadString(section, key, ""), kEnable, kWinIniType};
    rows_.push_back(std::move(row));
  }
}

void TStartupManager::ListDisabledRegistryEntries() {
  for (const std::string& line : startupLines_) {
    TStartupRow row;
    TRunEntry& entry = row.Run;
    if (!SplitStartupLine(line, entry.Location, entry.ValueName, entry.Command)) continue;
    const std::size_t slash = entry.Location.find('\\');
    entry.RootKey = RootKeyFromName(entry.Location.substr(0, slash));
    entry.KeyPath = slash == std::string::npos ? std::string() : entry.Location.substr(slash + 1);
    entry.Line = line;
    row.Source = TStartupSource::Registration;
    row.StateIndex = 2;
    row.Caption = entry.ValueName;
    row.SubItems = {entry.Command, kDisable, kRegistrationType, line};
    rows_.push_back(std::move(row));
  }
}

void TStartupManager::ToggleChosen(int index) {
  if (index < 0 || index >= static_cast<int>(rows_.size())) return;
  TStartupRow& row = rows_[static_cast<std::size_t>(index)];
  if (row.Source == TStartupSource::Detail) return;
  row.ImageIndex = row.ImageIndex == 1 ? 0 : 1;
}

void TStartupManager::ToggleEntryDetails(int index) {
  if (index < 0 || index >= static_cast<int>(rows_.size())) return;
  const auto at = rows_.begin() + index;
  if (at->StateIndex != 2 && at->StateIndex != 3) return;
  const bool open = at->StateIndex == 2;
  at->StateIndex = open ? 3 : 2;
  if (at->Details < 0) return;
  if (!open) {
    auto end = at + 1;
    while (end != rows_.end() && end - at <= kDetailRows && end->Source == TStartupSource::Detail) ++end;
    rows_.erase(at + 1, end);
    return;
  }
  const TFilInfoeRecord& record = details_.GetItem(at->Details).Content;
  const std::pair<const char*, const std::string*> lines[kDetailRows] = {
      {"Type", &record.EntryType},          {"Postion", &record.Position},
      {"Product Name", &record.ProductName}, {"Publish Name", &record.CompanyName},
      {"Version", &record.FileVersion},      {"Description", &record.FileDescription},
      {"File Path", &record.FilePath}};
  std::vector<TStartupRow> detailRows;
  for (const auto& [caption, text] : lines) {
    TStartupRow row;
    row.Source = TStartupSource::Detail;
    row.ImageIndex = -1;
    row.Caption = caption;
    row.SubItems = {*text};
    detailRows.push_back(std::move(row));
  }
  rows_.insert(at + 1, detailRows.begin(), detailRows.end());
}

// Copies the file into "del", writes its del.txt line, then deletes the
// file; any failure undoes what was done, so nothing is lost and no line
// stays behind.
bool TStartupManager::DisableFolderFile(const TStartupRow& row, bool keepEnabledMark) {
  const std::string& startupPath = row.Path();
  if (!win::FileExists(startupPath)) return false;
  const std::string copyPath = FreeCopyPath(win::ExtractFileName(startupPath));
  if (!win::CopyFile(startupPath, copyPath, true)) return false;
  const std::string line = startupPath + "#" + copyPath + (keepEnabledMark ? "|E" : "");
  if (!AppendLine(kDelFileName, line)) {
    win::DeleteFile(copyPath);
    return false;
  }
  if (!win::DeleteFile(startupPath)) {
    DropLine(kDelFileName, line);
    win::DeleteFile(copyPath);
    return false;
  }
  return true;
}

// Writes the value's line into the file, then deletes the value; a failed
// deletion takes the line out again.
bool TStartupManager::DisableRunValue(const TStartupRow& row, const char* fileName) {
  const TRunEntry& entry = row.Run;
  if (!CanRoundTrip(entry)) return false;
  const std::string line = LineOf(entry);
  if (!AppendLine(fileName, line)) return false;
  if (!DeleteRunValue(entry)) {
    DropLine(fileName, line);
    return false;
  }
  return true;
}

bool TStartupManager::DeleteWinIniKey(const TStartupRow& row) {
  win::TIniFile ini(WinIniPath());
  return ini.DeleteKey(row.Section, row.Caption);
}

void TStartupManager::DisableSelected() {
  {
    BusyGuard busy;
    for (const TStartupRow& row : rows_) {
      if (!IsChosen(row) || row.Status() != kEnable) continue;
      if (row.Source == TStartupSource::StartupFolder) DisableFolderFile(row, true);
      else if (row.Source == TStartupSource::Registration) DisableRunValue(row, kStartupFileName);
      // win.ini rows have no way back, so they are not disabled.
    }
  }
  RefreshStartupList();
}

// Puts the copy back, then drops the copy and the line.
bool TStartupManager::EnableFolderFile(const std::string& startupPath, const std::string& copyPath,
                                       const std::string& line) {
  if (!win::CopyFile(copyPath, startupPath, false)) return false;
  win::DeleteFile(copyPath);
  DropLine(kDelFileName, line);
  return true;
}

// Writes the value of a line back under its key (never created); drops the
// line only when the value is written.
bool TStartupManager::WriteBackLine(const std::string& line, const char* fileName) {
  std::string location;
  std::string valueName;
  std::string command;
  if (!SplitStartupLine(line, location, valueName, command)) return false;
  const std::size_t slash = location.find('\\');
  if (slash == std::string::npos) return false;
  const win::HKEY root = RootKeyFromName(location.substr(0, slash));
  const std::string keyPath = location.substr(slash + 1);
  if ((root != win::HKEY_LOCAL_MACHINE && root != win::HKEY_CURRENT_USER) || regclean::Trim(keyPath).empty())
    return false;
  win::TRegistry registry(win::KEY_ALL_ACCESS);
  registry.SetRootKey(root);
  if (!registry.OpenKey(keyPath, false)) return false;
  const bool written = HoldsVariable(command) ? registry.WriteExpandString(valueName, command)
                                              : registry.WriteString(valueName, command);
  if (!written) return false;
  DropLine(fileName, line);
  return true;
}

void TStartupManager::EnableSelected() {
  {
    BusyGuard busy;
    for (const TStartupRow& row : rows_) {
      if (!IsChosen(row) || row.Status() != kDisable) continue;
      if (row.Source == TStartupSource::StartupFolder) EnableFolderFile(row.Caption, row.Path(), row.DelLine);
      else if (row.Source == TStartupSource::Registration) WriteBackLine(row.Run.Line, kStartupFileName);
    }
  }
  RefreshStartupList();
}

void TStartupManager::RemoveSelected() {
  if (IsBusy()) return;
  const int answer = CurrentDialogs().MessageBox(
      "Are you sure to remove this item from the Startup List?\rYou could view or recovery this item from the "
      "Restore List.",
      "Fernwick", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  if (answer == IDYES) {
    BusyGuard busy;
    for (const TStartupRow& row : rows_) {
      if (!IsChosen(row)) continue;
      const bool enabled = row.Status() == kEnable;
      switch (row.Source) {
        case TStartupSource::StartupFolder:
          if (enabled) {
            DisableFolderFile(row, false);
          } else {
            // The copy is in "del" already: its line loses the "|E".
            std::string line = row.DelLine;
            if (line.size() >= 2 && line.compare(line.size() - 2, 2, "|E") == 0 &&
                AppendLine(kDelFileName, line.substr(0, line.size() - 2)))
              DropLine(kDelFileName, line);
          }
          break;
        case TStartupSource::Registration:
          if (enabled) {
            DisableRunValue(row, kRemoveStartupFileName);
          } else if (!row.Run.Line.empty() && AppendLine(kRemoveStartupFileName, row.Run.Line)) {
            DropLine(kStartupFileName, row.Run.Line);
          }
          break;
        case TStartupSource::WinIni:
          DeleteWinIniKey(row);
          break;
        case TStartupSource::Detail:
          break;
      }
    }
  }
  RefreshStartupList();
}

void TStartupManager::ListRemovedEntries() {
  BusyGuard busy;
  restoreRows_.clear();
  std::vector<std::string> lines;
  ReadLines(kRemoveStartupFileName, lines);
  for (const std::string& line : lines) {
    std::string location;
    std::string valueName;
    std::string command;
    if (!SplitStartupLine(line, location, valueName, command)) continue;
    TRestoreRow row;
    row.SubItems = {valueName, command, line, line};
    row.Line = line;
    restoreRows_.push_back(std::move(row));
  }
  ReadLines(kDelFileName, lines);
  for (const std::string& line : lines) {
    if (line.find("|E") != std::string::npos) continue;
    std::string startupPath;
    std::string copyPath;
    if (!SplitDelLine(line, startupPath, copyPath)) continue;
    TRestoreRow row;
    row.SubItems = {startupPath, copyPath, "file"};
    row.Line = line;
    row.File = true;
    restoreRows_.push_back(std::move(row));
  }
}

void TStartupManager::SetRestoreChecked(int row, bool checked) {
  if (row >= 0 && row < static_cast<int>(restoreRows_.size())) restoreRows_[static_cast<std::size_t>(row)].Checked = checked;
}

void TStartupManager::RestoreItems() {
  {
    BusyGuard busy;
    for (const TRestoreRow& row : restoreRows_) {
      if (!row.Checked) continue;
      if (row.File) EnableFolderFile(row.SubItems[0], row.SubItems[1], row.Line);
      else WriteBackLine(row.Line, kRemoveStartupFileName);
    }
  }
  ListRemovedEntries();
}

}  // namespace tools
