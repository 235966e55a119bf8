#include "regclean/PathRoutinesUnit.h"

#include <algorithm>
#include <utility>

#include "platform/FileSystem.h"
#include "regclean/SectionContractUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

namespace {

// The characters the severity rule counts.
const char* const kReservedCharacters = "%/*?\"<>|;,";
const char* const kFolderPathCharacters = "/*?\"<>|;.+-&@!,%";
constexpr std::size_t kMaxPath = 260;

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
}

bool HoldsAnyOf(const std::string& text, const char* characters) {
  return text.find_first_of(characters) != std::string::npos;
}

// The file name up to where its extension ends: from its first dot (or its
// first character) on, the first character that cannot be part of a name
// starts the arguments.
std::string CutAtNameEnd(const std::string& name) {
  const std::size_t dot = name.find('.');
  for (std::size_t i = dot == std::string::npos ? 0 : dot; i < name.size(); ++i)
    if (!IsNameCharacter(name[i])) return name.substr(0, i);
  return name;
}

// Replaces `variable` (found in any letter case) by `folder` in the
// upper-cased data; data without it is left as it is.
void ExpandVariable(std::string& data, const std::string& variable, const std::string& folder) {
  if (!ContainsNoCase(data, variable)) return;
  data = ReplaceAll(AsciiUpper(data), AsciiUpper(variable), AsciiUpper(folder));
}

constexpr std::size_t kMaxProbed = 1 << 16;  // paths or folders remembered

std::string CutProgramPath(const std::string& text, const ProgramPathOptions& options) {
  if (options.probe ? options.probe->FileExists(text) : win::FileExists(text)) return text;
  const std::size_t firstColon = text.find(':');
  // Where the drive letter before the first colon stands (0 when the colon is
  // the first character or there is none).
  const std::size_t driveLetter =
      firstColon == std::string::npos || firstColon == 0 ? 0 : firstColon - 1;
  const std::size_t secondColon =
      firstColon == std::string::npos ? std::string::npos : text.find(':', firstColon + 1);

  if (secondColon == std::string::npos) {
    const std::string folder = win::ExtractFilePath(text);
    const std::string program = folder + CutAtNameEnd(text.substr(folder.size()));
    return program.substr(std::min(driveLetter, program.size()));
  }
  // A second path follows: the program ends before its drive letter. That
  // part holds one colon only, so cutting it again ends there.
  const std::string first = text.substr(driveLetter, secondColon - driveLetter);
  const std::string tail = options.cutAgainWhen == ProgramPathOptions::CutAgainWhen::FileNameLonger
                               ? win::ExtractFileName(first)
                               : win::ExtractFileExt(first);
  return tail.size() > 4 ? CutProgramPath(first, options) : first;
}

}  // namespace

namespace {

// The folder the probe files a path under: without its trailing backslash
// unless it is a drive root; empty when the path names no other folder.
std::string HoldingFolder(const std::string& path) {
  std::string folder = win::ExtractFilePath(path);
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder == path ? std::string() : folder;
}

// A ".." may climb out of a missing folder into an existing one, so a path
// holding one is looked up whatever its folders are.
bool ClimbsUp(const std::string& path) { return path.find("..") != std::string::npos; }

}  // namespace

const std::string& FileProbe::Upper(const std::string& text) {
  // Its buffer moves through AsciiUpper and back, kept from call to call.
  upper_ = AsciiUpper(std::move(upper_.assign(text)));
  return upper_;
}

win::DWORD FileProbe::Attributes(const std::string& path) {
  if (const auto known = paths_.find(Upper(path)); known != paths_.end()) return known->second;
  const std::string folder = ClimbsUp(path) ? std::string() : HoldingFolder(path);
  const win::DWORD attributes = folder.empty() || FolderPresent(folder)
                                    ? win::GetFileAttributes(path)
                                    : win::INVALID_FILE_ATTRIBUTES;
  if (paths_.size() >= kMaxProbed) paths_.clear();
  paths_.emplace(AsciiUpper(path), attributes);
  return attributes;
}

bool FileProbe::FolderPresent(const std::string& folder) {
  if (const auto known = folders_.find(Upper(folder)); known != folders_.end()) return known->second;
  const std::string parent = ClimbsUp(folder) ? std::string() : HoldingFolder(folder);
  const bool present = (parent.empty() || FolderPresent(parent)) && win::DirectoryExists(folder);
  if (folders_.size() >= kMaxProbed) folders_.clear();
  folders_.emplace(AsciiUpper(folder), present);
  return present;
}

bool FileProbe::FileExists(const std::string& path) {
  const win::DWORD attributes = Attributes(path);
  return attributes != win::INVALID_FILE_ATTRIBUTES && !(attributes & win::FILE_ATTRIBUTE_DIRECTORY);
}

bool FileProbe::DirectoryExists(const std::string& path) {
  const win::DWORD attributes = Attributes(path);
  return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY);
}

KnownFolders KnownFolders::OfCurrentMachine() {
  KnownFolders folders;
  folders.windowsFolder = win::GetWindowsDirectory();
  folders.systemFolder = win::GetSystemDirectory();
  GetProgramFilesPath(0, folders.programFilesFolder);
  return folders;
}

std::string GuessWindowsFolder(const std::string& systemFolder) {
  return systemFolder.substr(0, 3) + (ContainsNoCase(systemFolder, "WINDOWS") ? "WINDOWS\\" : "WINNT\\");
}

std::string GuessWindowsFolder() { return GuessWindowsFolder(win::GetSystemDirectory()); }

std::string ExpandFolderVariables(const std::string& data, const KnownFolders& folders) {
  if (data.find('%') == std::string::npos) return data;
  std::string expanded = data;
  ExpandVariable(expanded, "%systemroot%", folders.windowsFolder);
  ExpandVariable(expanded, "%windir%", folders.windowsFolder);
  ExpandVariable(expanded, "%ProgramFiles%", folders.programFilesFolder);
  return expanded;
}

std::string ExtractProgramPath(std::string text, const ProgramPathOptions& options) {
  if (options.dropLeadingAt && !text.empty() && text.front() == '@') text.erase(0, 1);
  if (options.removeQuotes) text = WithoutQuotes(std::move(text));
  if (!options.systemRootFolder.empty())
    ExpandVariable(text, "%SYSTEMROOT%\\", options.systemRootFolder);
  return CutProgramPath(text, options);
}

std::string ExtractCommandFilePath(const std::string& text, const KnownFolders& folders,
                                   FileProbe* probe) {
  ProgramPathOptions options;
  options.probe = probe;
  options.dropLeadingAt = true;
  options.removeQuotes = true;
  options.systemRootFolder = GuessWindowsFolder(folders.systemFolder);
  options.cutAgainWhen = ProgramPathOptions::CutAgainWhen::ExtensionLonger;
  return ExtractProgramPath(text, options);
}

std::string ExtractCommandFilePath(const std::string& text) {
  return ExtractCommandFilePath(text, KnownFolders::OfCurrentMachine());
}

bool IsValidFilePath(const std::string& text) {
  std::string path = text;
  std::replace(path.begin(), path.end(), '"', ' ');
  if (HoldsAnyOf(Trim(path), kReservedCharacters)) return false;
  const std::string extension = win::ExtractFileExt(path);
  if (win::ExtractFileName(path).empty() || extension.empty() ||
      HoldsAnyOf(extension, kReservedCharacters))
    return false;
  const std::size_t firstColon = path.find(':');
  if (firstColon != std::string::npos && path.find(':', firstColon + 1) != std::string::npos)
    return false;
  const char drive = path.empty() ? '\0' : path[0];
  return ((drive >= 'a' && drive <= 'z') || (drive >= 'A' && drive <= 'Z')) && path.size() >= 2 &&
         path[1] == ':';
}

bool IsPlainFolderPath(const std::string& text) {
  const std::size_t characters = static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  return characters <= kMaxPath && !HoldsAnyOf(text, kFolderPathCharacters);
}

std::string WithoutQuotes(std::string text) {
  std::erase(text, '"');
  return text;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

bool HasDriveRoot(const std::string& text) { return text.size() >= 3 && text.compare(1, 2, ":\\") == 0; }

}  // namespace regclean
