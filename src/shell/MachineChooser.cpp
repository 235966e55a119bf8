#include "shell/MachineChooser.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>

#include "platform/files/FileSystem.h"

namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  std::string trimmed = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"') {
    trimmed = trimmed.substr(1, trimmed.size() - 2);
  }
  return trimmed;
}

std::vector<std::string> SplitPatterns(const std::string& text) {
  std::vector<std::string> patterns;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    const std::string pattern = Trimmed(text.substr(start, end - start));
    if (!pattern.empty()) patterns.push_back(pattern);
    start = end + 1;
  }
  return patterns;
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

char UpperLetter(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool IsDriveLetter(char letter) {
  const std::vector<char> drives = win::GetLogicalDrives();
  return std::find(drives.begin(), drives.end(), UpperLetter(letter)) != drives.end();
}

std::string RootOf(const std::string& path) { return path.substr(0, 2) + "\\"; }

// "C:\" for a root, else the path without a trailing backslash.
std::string FolderForm(const std::string& path) {
  std::string folder = win::CombinePath(path, "");
  if (folder.size() == 2) folder += "\\";
  return folder;
}

// The path with each existing part spelled as the drive stores it.
std::string StoredSpelling(const std::string& path) {
  std::string result = path.substr(0, 2);
  std::size_t start = 3;
  while (start < path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    const std::string part = path.substr(start, end - start);
    const std::optional<win::FindData> info = win::GetFileInfo(result + "\\" + part);
    result += "\\" + (info && !info->name.empty() ? info->name : part);
    start = end + 1;
  }
  return result.size() == 2 ? result + "\\" : result;
}

std::string NotOnDrive(const std::string& text) {
  return text + "\rThis path is not on a drive of this computer.";
}

// Why the last file system call on path failed, as the user is told.
std::string FailureMessage(const std::string& path, win::DWORD error) {
  switch (error) {
    case win::ERROR_NOT_READY:
      return RootOf(path) + " is not accessible.\r\rThe device is not ready.";
    case win::ERROR_FILE_NOT_FOUND:
      return path + "\rFile not found.\rCheck the file name and try again.";
    case win::ERROR_PATH_NOT_FOUND:
      return path + "\rPath does not exist.\rCheck the path and try again.";
    case win::ERROR_INVALID_NAME:
      return path + "\rThe file name is not valid.";
    case win::ERROR_FILENAME_EXCED_RANGE:
      return path + "\rThe file name is too long.";
    default:
      return path + " is not accessible.\r\rAccess is denied.";
  }
}

bool IsFolder(win::DWORD attributes) {
  return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & win::FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsLink(win::DWORD attributes) {
  return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_REPARSE_POINT);
}

// Folders (and, with patterns, the files matching one) of a folder; host
// links are never followed, so they are not offered. False when the folder
// cannot be listed.
bool ListFolder(const std::string& folder, const std::vector<std::string>* patterns,
                std::vector<ChooserEntry>& entries) {
  entries.clear();
  win::FindData data;
  std::unique_ptr<win::FileFinder> finder = win::FindFirstFile(win::IncludeTrailingBackslash(folder) + "*", data);
  if (!finder) return win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
  std::vector<ChooserEntry> files;
  do {
    if (data.name == "." || data.name == ".." || IsLink(data.attributes)) continue;
    ChooserEntry entry;
    entry.name = data.name;
    entry.path = win::IncludeTrailingBackslash(folder) + data.name;
    entry.folder = (data.attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.attributes = data.attributes;
    entry.size = data.size;
    entry.lastWriteTime = data.lastWriteTime;
    if (entry.folder) {
      entries.push_back(std::move(entry));
    } else if (patterns && std::any_of(patterns->begin(), patterns->end(), [&](const std::string& p) {
                 return win::WildcardMatch(p, data.name);
               })) {
      files.push_back(std::move(entry));
    }
  } while (finder->Next(data));
  entries.insert(entries.end(), files.begin(), files.end());
  return true;
}

}  // namespace

std::vector<ChooserFilter> ParseChooserFilter(const std::string& filter) {
  std::vector<ChooserFilter> filters;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= filter.size()) {
    const std::size_t end = std::min(filter.find('|', start), filter.size());
    parts.push_back(filter.substr(start, end - start));
    start = end + 1;
  }
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    ChooserFilter item{Trimmed(parts[i]), SplitPatterns(parts[i + 1])};
    if (!item.patterns.empty()) filters.push_back(std::move(item));
  }
  return filters;
}

MachineChooser::MachineChooser(ChooserKind kind, const FileDialogRequest& request)
    : kind_(kind), defaultExt_(request.DefaultExt), filters_(ParseChooserFilter(request.Filter)) {
  if (kind_ != ChooserKind::Folder && filters_.empty()) filters_.push_back({"All Files (*.*)", {"*.*"}});
  if (request.FilterIndex >= 1 && request.FilterIndex <= static_cast<int>(filters_.size())) {
    filterIndex_ = request.FilterIndex - 1;
  }
  std::string message;
  if (!request.InitialDir.empty() && GoTo(request.InitialDir, message)) return;
  for (char letter : win::GetLogicalDrives()) {
    if (GoTo(std::string(1, letter) + ":\\", message)) return;
  }
  GoTo("", message);
}

std::vector<std::string> MachineChooser::Patterns() const {
  if (!typedPatterns_.empty()) return typedPatterns_;
  if (filters_.empty()) return {};
  return filters_[static_cast<std::size_t>(filterIndex_)].patterns;
}

void MachineChooser::Refresh() {
  entries_.clear();
  if (folder_.empty()) {
    for (char letter : win::GetLogicalDrives()) {
      ChooserEntry drive;
      drive.name = drive.path = std::string(1, letter) + ":\\";
      drive.folder = true;
      drive.driveType = win::GetDriveType(drive.path);
      entries_.push_back(std::move(drive));
    }
    return;
  }
  const std::vector<std::string> patterns = Patterns();
  ListFolder(folder_, kind_ == ChooserKind::Folder ? nullptr : &patterns, entries_);
}

void MachineChooser::GoUp() {
  if (folder_.empty()) return;
  std::string message;
  if (folder_.size() == 3 || !GoTo(win::ExtractFilePath(folder_), message)) GoTo("", message);
}

bool MachineChooser::GoTo(const std::string& path, std::string& message) {
  if (path.empty()) {
    folder_.clear();
    Refresh();
    return true;
  }
  if (path.size() < 2 || path[1] != ':' || !IsDriveLetter(path[0])) {
    message = NotOnDrive(path);
    return false;
  }
  const std::string folder = FolderForm(std::string(1, UpperLetter(path[0])) + path.substr(1));
  const win::DWORD attributes = win::GetFileAttributes(folder);
  if (!IsFolder(attributes)) {
    message = FailureMessage(folder, attributes == win::INVALID_FILE_ATTRIBUTES ? win::GetLastError()
                                     : IsLink(attributes)                       ? win::ERROR_ACCESS_DENIED
                                                                                : win::ERROR_PATH_NOT_FOUND);
    return false;
  }
  std::vector<ChooserEntry> entries;
  const std::vector<std::string> patterns = Patterns();
  if (!ListFolder(folder, kind_ == ChooserKind::Folder ? nullptr : &patterns, entries)) {
    message = FailureMessage(folder, win::GetLastError());
    return false;
  }
  folder_ = StoredSpelling(folder);
  entries_ = std::move(entries);
  return true;
}

std::string MachineChooser::CreateFolder(std::string& message) {
  if (!CanCreateFolder()) return {};
  const std::string base = win::IncludeTrailingBackslash(folder_) + "New Folder";
  std::string path = base;
  for (int n = 2; win::GetFileAttributes(path) != win::INVALID_FILE_ATTRIBUTES; ++n) {
    path = base + " (" + std::to_string(n) + ")";
  }
  if (!win::CreateDirectory(path)) {
    message = FailureMessage(path, win::GetLastError()) + "\rThe folder could not be made.";
    return {};
  }
  Refresh();
  return path;
}

void MachineChooser::SetFilter(int index) {
  if (index < 0 || index >= static_cast<int>(filters_.size())) return;
  filterIndex_ = index;
  typedPatterns_.clear();
  Refresh();
}

std::string MachineChooser::FullPath(const std::string& text, std::string& message) const {
  if (text.rfind("\\\\", 0) == 0 || text.rfind("//", 0) == 0) {
    message = NotOnDrive(text);
    return {};
  }
  if (text.size() >= 2 && text[1] == ':') {
    if (!IsDriveLetter(text[0])) {
      message = NotOnDrive(text);
      return {};
    }
    return win::CombinePath(std::string(1, UpperLetter(text[0])) + ":\\", text.substr(2));
  }
  if (folder_.empty()) {
    message = NotOnDrive(text);
    return {};
  }
  if (text[0] == '\\' || text[0] == '/') return win::CombinePath(RootOf(folder_), text);
  return win::CombinePath(folder_, text);
}

MachineChooser::Outcome MachineChooser::Accept(const std::string& typed, std::string& chosen,
                                               std::string& message) {
  message.clear();
  const std::string text = Trimmed(typed);
  if (text.empty()) {
    if (kind_ != ChooserKind::Folder) return Outcome::Refused;
    if (folder_.empty()) {
      message = "Choose a drive or a folder.";
      return Outcome::Refused;
    }
    chosen = folder_;
    return Outcome::Chosen;
  }
  std::string path = FullPath(text, message);
  if (path.empty()) return Outcome::Refused;

  const std::string name = win::ExtractFileName(path);
  if (HasWildcard(name)) {
    if (kind_ == ChooserKind::Folder) {
      message = FailureMessage(path, win::ERROR_INVALID_NAME);
      return Outcome::Refused;
    }
    const std::string folder = win::ExtractFilePath(path);
    if (!GoTo(folder, message)) return Outcome::Refused;
    typedPatterns_ = SplitPatterns(name);
    Refresh();
    return Outcome::Opened;
  }

  win::DWORD attributes = win::GetFileAttributes(path);
  win::DWORD error = attributes == win::INVALID_FILE_ATTRIBUTES ? win::GetLastError() : win::ERROR_SUCCESS;
  if (kind_ == ChooserKind::Save && error == win::ERROR_FILE_NOT_FOUND && !defaultExt_.empty() &&
      name.find('.') == std::string::npos) {
    path += "." + defaultExt_;
    attributes = win::GetFileAttributes(path);
    error = attributes == win::INVALID_FILE_ATTRIBUTES ? win::GetLastError() : win::ERROR_SUCCESS;
  }
  if (IsLink(attributes)) {
    message = FailureMessage(path, win::ERROR_ACCESS_DENIED);
    return Outcome::Refused;
  }
  if (IsFolder(attributes)) {
    if (kind_ == ChooserKind::Folder) {
      chosen = StoredSpelling(FolderForm(path));
      return Outcome::Chosen;
    }
    return GoTo(path, message) ? Outcome::Opened : Outcome::Refused;
  }
  if (error == win::ERROR_SUCCESS) {
    if (kind_ == ChooserKind::Folder) {
      message = path + "\rThis is not a folder. Choose a folder.";
      return Outcome::Refused;
    }
    chosen = StoredSpelling(path);
    return Outcome::Chosen;
  }
  if (kind_ == ChooserKind::Save && error == win::ERROR_FILE_NOT_FOUND) {
    chosen = StoredSpelling(path);
    return Outcome::Chosen;
  }
  message = FailureMessage(path, kind_ == ChooserKind::Folder && error == win::ERROR_FILE_NOT_FOUND
                                     ? win::ERROR_PATH_NOT_FOUND
                                     : error);
  return Outcome::Refused;
}
