#include "tools/StartupManagerUnit.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "platform/files/FileSystem.h"
#include "platform/files/IniFile.h"
#include "platform/files/LineFile.h"
#include "platform/text/TextCodec.h"
#include "platform/registry/Registry.h"
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

// Why a chosen row stayed as it was.
const char* const kNotExact = "it cannot be kept exactly in the backup file";
const char* const kWinIniOnlyRemoved = "win.ini entries can only be removed";
const char* const kIsFolder = "a folder cannot be backed up";
const char* const kGone = "it is no longer there";
const char* const kNoKey = "its registry key no longer exists";
const char* const kTaken = "another entry of that name is in its place";
const char* const kNoCopy = "its backup copy is missing";
const char* const kFailed = "it could not be changed";
constexpr std::size_t kMaxToldRows = 20;

std::function<void()>& StepHook() {
  static std::function<void()> hook;
  return hook;
}

void StartupStep() {
  if (StepHook()) StepHook()();
}

std::string WinIniPath() { return win::IncludeTrailingBackslash(win::GetWindowsDirectory()) + "win.ini"; }

// A line file's lines; a missing file has none. False when the file is
// there but cannot be read.
bool ReadLines(const char* fileName, std::vector<std::string>& lines) {
  const std::string path = StartupBackupPath(fileName);
  if (win::ReadLineFile(path, lines)) return true;
  lines.clear();
  return win::GetFileAttributes(path) == win::INVALID_FILE_ATTRIBUTES;
}

// Writes the lines and reads them back; true when the file holds exactly them.
bool WriteLines(const char* fileName, const std::vector<std::string>& lines) {
  const std::string path = StartupBackupPath(fileName);
  std::vector<std::string> back;
  return win::WriteLineFile(path, lines) && win::ReadLineFile(path, back) && back == lines;
}

// The first line equal to `line`, else the first equal to it when both are
// trimmed.
std::vector<std::string>::iterator FindLine(std::vector<std::string>& lines, const std::string& line) {
  const auto exact = std::find(lines.begin(), lines.end(), line);
  if (exact != lines.end()) return exact;
  const std::string wanted = regclean::Trim(line);
  return std::find_if(lines.begin(), lines.end(),
                      [&wanted](const std::string& l) { return regclean::Trim(l) == wanted; });
}

bool HoldsLine(const char* fileName, const std::string& line) {
  std::vector<std::string> lines;
  return ReadLines(fileName, lines) && FindLine(lines, line) != lines.end();
}

// Drops the line from the file; true when the file no longer holds it.
bool DropLine(const char* fileName, const std::string& line) {
  std::vector<std::string> lines;
  if (!ReadLines(fileName, lines)) return false;
  const auto found = FindLine(lines, line);
  if (found == lines.end()) return true;
  StartupStep();
  lines.erase(found);
  return WriteLines(fileName, lines);
}

// Appends a line to the lines the file holds; on failure the file is as it
// was.
bool AppendLine(const char* fileName, const std::string& line) {
  std::vector<std::string> lines;
  if (!ReadLines(fileName, lines)) return false;
  lines.push_back(line);
  StartupStep();
  return WriteLines(fileName, lines);
}

bool IsChosen(const TStartupRow& row) { return row.Source != TStartupSource::Detail && row.ImageIndex == 1; }

// Holds a "%name%" pair.
bool HoldsVariable(const std::string& text) {
  const std::size_t first = text.find('%');
  return first != std::string::npos && text.find('%', first + 1) != std::string::npos;
}

// The code page of the line files holds the text, and it has no line break.
bool FitsLineFile(const std::string& text) {
  return text.find_first_of("\r\n") == std::string::npos && win::FitsCodePage(text);
}

std::string LineOf(const TRunEntry& entry) { return entry.Location + "#" + entry.ValueName + "|" + entry.Command; }

// What writing a line back puts into the registry: its command as text,
// expandable when it holds a "%name%" pair.
win::DWORD WriteBackType(const std::string& command) { return HoldsVariable(command) ? win::REG_EXPAND_SZ : win::REG_SZ; }

// True when the line of a value with these type and data brings it back:
// text whose bytes are exactly its characters and one terminator, of the
// type a write-back gives it, or a 4-byte number (it comes back as its
// decimal text); a name without "|"; a line the line file can hold.
bool ComesBackExactly(const TRunEntry& entry, const std::vector<std::uint8_t>& data) {
  if (entry.RootKey != win::HKEY_LOCAL_MACHINE && entry.RootKey != win::HKEY_CURRENT_USER) return false;
  if (entry.Type == win::REG_DWORD) {
    if (data.size() != 4) return false;
  } else if (entry.Type == win::REG_SZ || entry.Type == win::REG_EXPAND_SZ) {
    if (win::Utf8ToUtf16LeBytes(entry.Command) != data || WriteBackType(entry.Command) != entry.Type) return false;
  } else {
    return false;
  }
  const std::string line = LineOf(entry);
  std::string location;
  std::string name;
  std::string command;
  return SplitStartupLine(line, location, name, command) && location == entry.Location && name == entry.ValueName &&
         command == entry.Command && FitsLineFile(line);
}

// The value as it is now; false when its key or the value is missing.
bool ReadLiveValue(win::HKEY root, const std::string& keyPath, const std::string& name, TRunEntry& entry,
                   std::vector<std::uint8_t>& data) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(keyPath) || !registry.ValueExists(name)) return false;
  entry.RootKey = root;
  entry.KeyPath = keyPath;
  entry.ValueName = name;
  entry.Location = RootKeyToName(root) + "\\" + keyPath;
  if (!registry.ReadRaw(name, entry.Type, data)) return false;
  entry.Command = RunValueCommand(entry.Type, data);
  return true;
}

// A registry line's parts; false unless its location names a key under
// HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
struct TLineParts {
  win::HKEY root = 0;
  std::string keyPath;
  std::string valueName;
  std::string command;
};

bool SplitRegistryLine(const std::string& line, TLineParts& parts) {
  std::string location;
  if (!SplitStartupLine(line, location, parts.valueName, parts.command)) return false;
  const std::size_t slash = location.find('\\');
  if (slash == std::string::npos) return false;
  parts.root = RootKeyFromName(location.substr(0, slash));
  parts.keyPath = location.substr(slash + 1);
  return (parts.root == win::HKEY_LOCAL_MACHINE || parts.root == win::HKEY_CURRENT_USER) &&
         !regclean::Trim(parts.keyPath).empty();
}

// True when the line's value is live and that line brings it back.
bool IsLiveAsLine(const std::string& line) {
  TLineParts parts;
  if (!SplitRegistryLine(line, parts)) return false;
  TRunEntry live;
  std::vector<std::uint8_t> data;
  return ReadLiveValue(parts.root, parts.keyPath, parts.valueName, live, data) && ComesBackExactly(live, data) &&
         LineOf(live) == line;
}

// Deletes a value with write access; true when it is gone.
bool DeleteRunValue(const TRunEntry& entry) {
  win::TRegistry registry(win::KEY_ALL_ACCESS);
  registry.SetRootKey(entry.RootKey);
  if (!registry.OpenKey(entry.KeyPath, false)) return false;
  StartupStep();
  return registry.DeleteValue(entry.ValueName) && !registry.ValueExists(entry.ValueName);
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::vector<std::uint8_t> first;
  std::vector<std::uint8_t> second;
  return win::ReadFileBytes(a, first) && win::ReadFileBytes(b, second) && first == second;
}

bool InDelFolder(const std::string& path) {
  return win::SameName(win::ExtractFilePath(path), win::IncludeTrailingBackslash(DelFolder()));
}

// The copy paths that del.txt lines name.
std::vector<std::string> CopyPathsOf(const std::vector<std::string>& delLines) {
  std::vector<std::string> paths;
  for (const std::string& line : delLines) {
    std::string startupPath;
    std::string copyPath;
    if (SplitDelLine(line, startupPath, copyPath)) paths.push_back(copyPath);
  }
  return paths;
}

bool NamesPath(const std::vector<std::string>& paths, const std::string& path) {
  return std::any_of(paths.begin(), paths.end(), [&path](const std::string& p) { return win::SameName(p, path); });
}

// A free copy path in the del folder, named by no del.txt line: the name,
// else "name (2).ext", ...
std::string FreeCopyPath(const std::string& fileName, const std::vector<std::string>& delLines) {
  const std::vector<std::string> named = CopyPathsOf(delLines);
  const std::string folder = win::IncludeTrailingBackslash(DelFolder());
  std::string candidate = folder + fileName;
  const std::string ext = win::ExtractFileExt(fileName);
  const std::string stem = fileName.substr(0, fileName.size() - ext.size());
  for (int n = 2; win::GetFileAttributes(candidate) != win::INVALID_FILE_ATTRIBUTES || NamesPath(named, candidate); ++n)
    candidate = folder + stem + " (" + std::to_string(n) + ")" + ext;
  return candidate;
}

// A del.txt line that reads back as these two paths.
bool DelLineComesBack(const std::string& line, const std::string& startupPath, const std::string& copyPath) {
  std::string startup;
  std::string copy;
  return startupPath.find('|') == std::string::npos && copyPath.find('|') == std::string::npos &&
         SplitDelLine(line, startup, copy) && startup == startupPath && copy == copyPath && FitsLineFile(line);
}

// The files of a folder, without "." and "..".
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  const std::string prefix = win::IncludeTrailingBackslash(folder);
  win::FindData data;
  std::unique_ptr<win::FileFinder> finder = win::FindFirstFile(prefix + "*.*", data);
  for (bool more = finder != nullptr; more; more = finder->Next(data))
    if ((data.attributes & win::FILE_ATTRIBUTE_DIRECTORY) == 0)
      files.push_back(prefix + data.name);
  return files;
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

void SetStartupStepHook(std::function<void()> hook) { StepHook() = std::move(hook); }

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
  MendBackups();
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

// What a kill or a failure between two steps of an action left: a line
// whose entry is live again (dropped, with its copy when that holds the same
// bytes as the live file), a line in both registry files (a removal under
// way: it stays removed), and copies in "del" that no line names and that
// hold the same bytes as a live Startup-folder file. Only copies in "del"
// are deleted, and nothing is changed where a file cannot be read.
void TStartupManager::MendBackups() {
  std::vector<std::string> startup;
  std::vector<std::string> removed;
  if (ReadLines(kStartupFileName, startup) && ReadLines(kRemoveStartupFileName, removed)) {
    for (const std::string& line : removed)
      if (IsLiveAsLine(line)) DropLine(kRemoveStartupFileName, line);
    for (const std::string& line : startup)
      if (std::find(removed.begin(), removed.end(), line) != removed.end() || IsLiveAsLine(line))
        DropLine(kStartupFileName, line);
  }

  std::vector<std::string> del;
  if (!ReadLines(kDelFileName, del)) return;
  for (const std::string& line : del) {
    std::string startupPath;
    std::string copyPath;
    if (!SplitDelLine(line, startupPath, copyPath) || !win::FileExists(startupPath)) continue;
    if (win::FileExists(copyPath)) {
      if (!InDelFolder(copyPath) || !SameBytes(startupPath, copyPath)) continue;
      StartupStep();
      if (!win::DeleteFile(copyPath)) continue;
    }
    DropLine(kDelFileName, line);
  }
  if (!ReadLines(kDelFileName, del)) return;
  const std::vector<std::string> named = CopyPathsOf(del);
  std::vector<std::string> orphans;
  for (const std::string& copy : FilesIn(DelFolder()))
    if (!NamesPath(named, copy)) orphans.push_back(copy);
  if (orphans.empty()) return;
  std::vector<std::string> live;
  for (const std::string& folder : startupFolders_)
    if (!folder.empty())
      for (const std::string& file : FilesIn(folder)) live.push_back(file);
  for (const std::string& copy : orphans) {
    if (std::any_of(live.begin(), live.end(), [&copy](const std::string& file) { return SameBytes(copy, file); })) {
      StartupStep();
      win::DeleteFile(copy);
    }
  }
}

void TStartupManager::Stay(const std::string& caption, const char* reason) {
  stayed_.push_back(caption + " - " + reason);
}

void TStartupManager::TellStayed() {
  if (stayed_.empty()) return;
  std::string text = "These items were left as they were:";
  for (std::size_t i = 0; i < stayed_.size() && i < kMaxToldRows; ++i) text += "\r" + stayed_[i];
  if (stayed_.size() > kMaxToldRows) text += "\rand " + std::to_string(stayed_.size() - kMaxToldRows) + " more";
  stayed_.clear();
  CurrentDialogs().MessageBox(text, "Fernwick", MB_ICONWARNING);
}

bool TStartupManager::BackupFilesReadable(std::initializer_list<const char*> fileNames) {
  for (const char* name : fileNames) {
    std::vector<std::string> lines;
    if (ReadLines(name, lines)) continue;
    CurrentDialogs().MessageBox("The backup file \"" + StartupBackupPath(name) + "\" cannot be read.\rNothing was changed.",
                                "Fernwick", MB_ICONWARNING);
    return false;
  }
  return true;
}

// Writes the file's del.txt line, copies the file into "del" and compares
// the copy with it, then deletes the file; a failure takes back what was
// done. Null when done, else why not.
const char* TStartupManager::DisableFolderFile(const TStartupRow& row, bool keepEnabledMark) {
  const std::string& startupPath = row.Path();
  if (win::DirectoryExists(startupPath)) return kIsFolder;
  if (!win::FileExists(startupPath)) return kGone;
  std::vector<std::string> delLines;
  if (!ReadLines(kDelFileName, delLines)) return kFailed;
  const std::string copyPath = FreeCopyPath(win::ExtractFileName(startupPath), delLines);
  const std::string line = startupPath + "#" + copyPath + (keepEnabledMark ? "|E" : "");
  if (!DelLineComesBack(line, startupPath, copyPath)) return kNotExact;
  if (!AppendLine(kDelFileName, line)) return kFailed;
  StartupStep();
  if (!win::CopyFile(startupPath, copyPath, true) || !SameBytes(startupPath, copyPath)) {
    win::DeleteFile(copyPath);
    DropLine(kDelFileName, line);
    return kFailed;
  }
  StartupStep();
  if (!win::DeleteFile(startupPath)) {
    win::DeleteFile(copyPath);
    DropLine(kDelFileName, line);
    return kFailed;
  }
  return nullptr;
}

// Reads the value as it is now, writes its line into the file and reads it
// back, then deletes the value; a failed deletion takes the line out again.
const char* TStartupManager::DisableRunValue(const TStartupRow& row, const char* fileName) {
  TRunEntry entry;
  std::vector<std::uint8_t> data;
  if (!ReadLiveValue(row.Run.RootKey, row.Run.KeyPath, row.Run.ValueName, entry, data)) return kGone;
  if (!ComesBackExactly(entry, data)) return kNotExact;
  const std::string line = LineOf(entry);
  if (!AppendLine(fileName, line)) return kFailed;
  if (!DeleteRunValue(entry)) {
    DropLine(fileName, line);
    return kFailed;
  }
  return nullptr;
}

bool TStartupManager::DeleteWinIniKey(const TStartupRow& row) {
  win::TIniFile ini(WinIniPath());
  StartupStep();
  return ini.DeleteKey(row.Section, row.Caption);
}

void TStartupManager::DisableSelected() {
  if (!BackupFilesReadable({kStartupFileName, kDelFileName})) return;
  {
    BusyGuard busy;
    for (const TStartupRow& row : rows_) {
      if (!IsChosen(row) || row.Status() != kEnable) continue;
      const char* reason = nullptr;
      if (row.Source == TStartupSource::StartupFolder) reason = DisableFolderFile(row, true);
      else if (row.Source == TStartupSource::Registration) reason = DisableRunValue(row, kStartupFileName);
      else if (row.Source == TStartupSource::WinIni) reason = kWinIniOnlyRemoved;  // nothing could bring it back
      if (reason) Stay(row.Caption, reason);
    }
  }
  RefreshStartupList();
  TellStayed();
}

// Puts the copy back and compares it, then deletes the copy and drops the
// line. A file of the same bytes already in place only loses its copy and
// line; another file there is left alone.
const char* TStartupManager::EnableFolderFile(const std::string& startupPath, const std::string& copyPath,
                                              const char* fileName, const std::string& line) {
  if (!HoldsLine(fileName, line)) return kGone;
  const bool copied = win::FileExists(copyPath);
  if (win::GetFileAttributes(startupPath) != win::INVALID_FILE_ATTRIBUTES) {
    if (!win::FileExists(startupPath) || (copied && !SameBytes(startupPath, copyPath))) return kTaken;
  } else {
    if (!copied) return kNoCopy;
    StartupStep();
    if (!win::CopyFile(copyPath, startupPath, true)) return kFailed;
    if (!SameBytes(startupPath, copyPath)) {
      win::DeleteFile(startupPath);
      return kFailed;
    }
  }
  if (copied) {
    StartupStep();
    win::DeleteFile(copyPath);
  }
  DropLine(fileName, line);
  return nullptr;
}

// Writes the value of a line back under its key (never created) and reads
// it back; drops the line only then. A live value that the line describes
// only loses the line; another value of that name is left alone.
const char* TStartupManager::WriteBackLine(const std::string& line, const char* fileName) {
  TLineParts parts;
  if (!SplitRegistryLine(line, parts)) return kFailed;
  if (!HoldsLine(fileName, line)) return kGone;
  const std::string& valueName = parts.valueName;
  const std::string& command = parts.command;
  win::TRegistry registry(win::KEY_ALL_ACCESS);
  registry.SetRootKey(parts.root);
  if (!registry.OpenKey(parts.keyPath, false)) return kNoKey;
  if (registry.ValueExists(valueName)) {
    if (!IsLiveAsLine(line)) return kTaken;
  } else {
    const win::DWORD type = WriteBackType(command);
    StartupStep();
    const bool written = type == win::REG_EXPAND_SZ ? registry.WriteExpandString(valueName, command)
                                                    : registry.WriteString(valueName, command);
    win::DWORD backType = win::REG_NONE;
    std::vector<std::uint8_t> back;
    if (!written || !registry.ReadRaw(valueName, backType, back) || backType != type ||
        back != win::Utf8ToUtf16LeBytes(command))
      return kFailed;
  }
  DropLine(fileName, line);
  return nullptr;
}

void TStartupManager::EnableSelected() {
  if (!BackupFilesReadable({kStartupFileName, kDelFileName})) return;
  {
    BusyGuard busy;
    for (const TStartupRow& row : rows_) {
      if (!IsChosen(row) || row.Status() != kDisable) continue;
      const char* reason = nullptr;
      if (row.Source == TStartupSource::StartupFolder)
        reason = EnableFolderFile(row.Caption, row.Path(), kDelFileName, row.DelLine);
      else if (row.Source == TStartupSource::Registration)
        reason = WriteBackLine(row.Run.Line, kStartupFileName);
      if (reason) Stay(row.Caption, reason);
    }
  }
  RefreshStartupList();
  TellStayed();
}

// A disabled row's line moves into the removed lines: appended there first,
// then dropped from where it was.
const char* TStartupManager::RemoveDisabled(const TStartupRow& row) {
  if (row.Source == TStartupSource::StartupFolder) {
    // The copy is in "del" already: its line loses the "|E", in one write.
    const std::string& line = row.DelLine;
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "|E") != 0) return kFailed;
    std::vector<std::string> lines;
    if (!ReadLines(kDelFileName, lines)) return kFailed;
    const auto found = FindLine(lines, line);
    if (found == lines.end()) return kGone;
    lines.erase(found);
    lines.push_back(line.substr(0, line.size() - 2));
    StartupStep();
    return WriteLines(kDelFileName, lines) ? nullptr : kFailed;
  }
  const std::string& line = row.Run.Line;
  if (line.empty() || !HoldsLine(kStartupFileName, line)) return kGone;
  if (!AppendLine(kRemoveStartupFileName, line)) return kFailed;
  if (!DropLine(kStartupFileName, line)) {
    DropLine(kRemoveStartupFileName, line);
    return kFailed;
  }
  return nullptr;
}

void TStartupManager::RemoveSelected() {
  if (IsBusy()) return;
  if (!BackupFilesReadable({kStartupFileName, kRemoveStartupFileName, kDelFileName})) return;
  const int answer = CurrentDialogs().MessageBox(
      "Are you sure to remove this item from the Startup List?\rYou could view or recovery this item from the "
      "Restore List.",
      "Fernwick", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  if (answer == IDYES) {
    BusyGuard busy;
    for (const TStartupRow& row : rows_) {
      if (!IsChosen(row)) continue;
      const bool enabled = row.Status() == kEnable;
      const char* reason = nullptr;
      switch (row.Source) {
        case TStartupSource::StartupFolder:
          reason = enabled ? DisableFolderFile(row, false) : RemoveDisabled(row);
          break;
        case TStartupSource::Registration:
          reason = enabled ? DisableRunValue(row, kRemoveStartupFileName) : RemoveDisabled(row);
          break;
        case TStartupSource::WinIni:
          if (!DeleteWinIniKey(row)) reason = kFailed;
          break;
        case TStartupSource::Detail:
          break;
      }
      if (reason) Stay(row.Caption, reason);
    }
  }
  RefreshStartupList();
  TellStayed();
}

void TStartupManager::ListRemovedEntries() {
  BusyGuard busy;
  MendBackups();
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
  if (!BackupFilesReadable({kRemoveStartupFileName, kDelFileName})) return;
  {
    BusyGuard busy;
    for (const TRestoreRow& row : restoreRows_) {
      if (!row.Checked) continue;
      const char* reason = row.File ? EnableFolderFile(row.SubItems[0], row.SubItems[1], kDelFileName, row.Line)
                                    : WriteBackLine(row.Line, kRemoveStartupFileName);
      if (reason) Stay(row.SubItems[0], reason);
    }
  }
  ListRemovedEntries();
  TellStayed();
}

}  // namespace tools
