// Creating machine folders from a recipe: machine.ini, a .reg text and a file
// list. The machine is built in a temporary sibling folder and renamed into
// place, so a failure leaves nothing behind.
//
// File list lines (blank lines and lines starting with '#' are skipped):
//   C:\WINDOWS\                          a folder (trailing backslash)
//   C:\WINDOWS\system32\shell32.dll      an empty file (parents are made)
//   C:\boot.ini | attr=HS | text=...     options, each after " | ":
//        text=...   content up to the end of the line (so it comes last);
//                   escapes \n \r \t and \\ for a backslash
//        size=N     N zero bytes
//        attr=RHSA  read-only, hidden, system, archive (empty: none)
//        time=2008-03-07 14:05:09   last write time (UTC)
//        link=C:\elsewhere          a host symbolic link to that path
//                                   (a path starting with '/' is a host path)
//        lnk=C:\App\app.exe         a shortcut file to that target
//        version=1.2.3.4;tr=040904b0;CompanyName=...
//                                   a PE file with that version resource
//                                   (see ParsePeVersionSpec)
//        exec                       the host file is executable (scripts
//                                   that WinExec runs)

#include "platform/machine/MachineBuilder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/shell/PeVersionWriter.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/machine/SampleMachineFiles.h"
#include "platform/shell/ShellLinkWriter.h"
#include "platform/system/Services.h"
#include "platform/machine/StateStore.h"
#include "platform/system/SystemRestore.h"
#include "platform/text/TextCodec.h"
#include "platform/shell/UrlCache.h"

namespace win {

namespace fs = std::filesystem;

namespace {

constexpr const char* kConfigPart = "machine.ini";
constexpr const char* kRegistryPart = "registry.reg";
constexpr const char* kFilesPart = "files.txt";
constexpr const char* kUrlCachePart = "urlcache.txt";

struct FileListEntry {
  int line = 0;
  std::string path;  // Windows path; folders without their trailing backslash
  bool folder = false;
  std::optional<std::string> text;
  std::optional<std::uint64_t> size;
  std::optional<DWORD> attributes;
  std::optional<FileTime> time;
  std::optional<std::string> link;
  std::optional<std::string> shortcutTarget;
  std::optional<PeVersionSpec> version;
  bool exec = false;
};

std::string LineError(int line, const std::string& what) {
  return std::string(kFilesPart) + ": line " + std::to_string(line) + ": " + what;
}

// Spaces, tabs and CR around the parts of a line.
constexpr std::string_view kLineBlanks = " \t\r";

bool IsDrivePath(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
         path[1] == ':' && path[2] == '\\';
}

// Checks every component of a Windows path below its drive root.
bool ValidPathComponents(const std::string& path, std::string& what) {
  std::size_t start = 3;
  while (start < path.size()) {
    auto end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    if (name.empty()) {
      what = "empty name in " + path;
      return false;
    }
    if (name == "." || name == "..") {
      what = "relative name in " + path;
      return false;
    }
    if (name.size() > 255) {
      what = "name longer than 255 characters in " + path;
      return false;
    }
    for (char c : name) {
      if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/|?*", c) != nullptr) {
        what = std::string("character '") + c + "' not allowed in " + path;
        return false;
      }
    }
    start = end + 1;
  }
  return true;
}

bool UnescapeText(const std::string& escaped, std::string& text, std::string& what) {
  text.clear();
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\') {
      text += escaped[i];
      continue;
    }
    const char next = i + 1 < escaped.size() ? escaped[i + 1] : '\0';
    switch (next) {
      case 'n': text += '\n'; break;
      case 'r': text += '\r'; break;
      case 't': text += '\t'; break;
      case '\\': text += '\\'; break;
      default:
        what = next == '\0' ? std::string("text ends in a lone backslash")
                            : std::string("unknown escape \\") + next + " in text (write \\\\ for a backslash)";
        return false;
    }
    ++i;
  }
  return true;
}

bool ParseAttributes(const std::string& letters, DWORD& attributes, std::string& what) {
  attributes = 0;
  for (char c : letters) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
      case 'R': attributes |= FILE_ATTRIBUTE_READONLY; break;
      case 'H': attributes |= FILE_ATTRIBUTE_HIDDEN; break;
      case 'S': attributes |= FILE_ATTRIBUTE_SYSTEM; break;
      case 'A': attributes |= FILE_ATTRIBUTE_ARCHIVE; break;
      default:
        what = std::string("unknown attribute '") + c + "' (use R, H, S, A)";
        return false;
    }
  }
  return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// "YYYY-MM-DD HH:MM:SS" (UTC) as a file time.
bool ParseTime(const std::string& text, FileTime& time) {
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
    return false;
  if (y < 1601 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
  const std::int64_t unixSeconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  time = static_cast<FileTime>(unixSeconds + kSecondsFrom1601To1970) * 10000000u;
  return true;
}

bool ParseOption(const std::string& option, FileListEntry& entry, std::string& what) {
  if (option == "exec") {
    entry.exec = true;
    return true;
  }
  const auto eq = option.find('=');
  if (eq == std::string::npos) {
    what = "option without '=': " + option;
    return false;
  }
  const std::string name = option.substr(0, eq);
  const std::string value = option.substr(eq + 1);
  if (name == "size") {
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
        value.size() > 19) {
      what = "size is not a number: " + value;
      return false;
    }
    entry.size = std::stoull(value);
  } else if (name == "attr") {
    DWORD attributes = 0;
    if (!ParseAttributes(value, attributes, what)) return false;
    entry.attributes = attributes;
  } else if (name == "time") {
    FileTime time = 0;
    if (!ParseTime(value, time)) {
      what = "time is not YYYY-MM-DD HH:MM:SS: " + value;
      return false;
    }
    entry.time = time;
  } else if (name == "link") {
    if (value.empty() || (value[0] != '/' && !IsDrivePath(value))) {
      what = "link target is neither a drive path nor a host path: " + value;
      return false;
    }
    entry.link = value;
  } else if (name == "lnk") {
    if (value.empty()) {
      what = "lnk= without a target";
      return false;
    }
    entry.shortcutTarget = value;
  } else if (name == "version") {
    entry.version = ParsePeVersionSpec(value);
    if (!entry.version) {
      what = "version is not 1.2.3.4 followed by ;tr=, ;table=, ;pe32+ or ;Key=Text parts: " + value;
      return false;
    }
  } else {
    what = "unknown option " + name;
    return false;
  }
  return true;
}

bool ParseFileListLine(const std::string& rawLine, FileListEntry& entry, std::string& what) {
  std::string line = rawLine;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const auto bar = line.find(" | ");
  entry.path = Trim(line.substr(0, bar), kLineBlanks);
  if (!IsDrivePath(entry.path)) {
    what = "not a drive path: " + entry.path;
    return false;
  }
  entry.path[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(entry.path[0])));
  if (entry.path.back() == '\\') {
    entry.folder = true;
    if (entry.path.size() > 3) entry.path.pop_back();
  }
  if (!ValidPathComponents(entry.path, what)) return false;

  std::size_t pos = bar;
  while (pos != std::string::npos) {
    pos += 3;
    if (line.compare(pos, 5, "text=") == 0) {
      std::string text;
      if (!UnescapeText(line.substr(pos + 5), text, what)) return false;
      entry.text = std::move(text);
      break;
    }
    const auto next = line.find(" | ", pos);
    if (!ParseOption(Trim(line.substr(pos, next == std::string::npos ? next : next - pos), kLineBlanks), entry,
                     what))
      return false;
    pos = next;
  }

  if (entry.text && entry.size) {
    what = "text= and size= together";
    return false;
  }
  if (entry.link && (entry.text || entry.size || entry.attributes)) {
    what = "a link takes no text=, size= or attr=";
    return false;
  }
  if (entry.shortcutTarget && (entry.folder || entry.link || entry.text || entry.size)) {
    what = "a shortcut takes no text=, size= or link= and is no folder";
    return false;
  }
  if (entry.version && (entry.folder || entry.link || entry.text || entry.size || entry.shortcutTarget)) {
    what = "a version file takes no text=, size=, link= or lnk= and is no folder";
    return false;
  }
  if (entry.exec && (entry.folder || entry.link)) {
    what = "exec is for files";
    return false;
  }
  if (entry.folder && !entry.link && (entry.text || entry.size)) {
    what = "a folder takes no text= or size=";
    return false;
  }
  if (entry.path.size() == 3 && (entry.link || entry.attributes || entry.time)) {
    what = "a drive root takes no options";
    return false;
  }
  return true;
}

// Calls parse for each line of a list part that is neither blank nor a
// comment; the first failure names the part and the line.
bool ParseListLines(const std::string& text, const char* part,
                    const std::function<bool(const std::string& line, int number, std::string& what)>& parse,
                    std::string& error) {
  std::size_t start = 0;
  int lineNumber = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    const std::string trimmed = Trim(line, kLineBlanks);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    std::string what;
    if (!parse(line, lineNumber, what)) {
      error = std::string(part) + ": line " + std::to_string(lineNumber) + ": " + what;
      return false;
    }
  }
  return true;
}

bool ParseFileList(const std::string& text, std::vector<FileListEntry>& entries, std::string& error) {
  return ParseListLines(text, kFilesPart, [&entries](const std::string& line, int number, std::string& what) {
    FileListEntry entry;
    entry.line = number;
    if (!ParseFileListLine(line, entry, what)) return false;
    entries.push_back(std::move(entry));
    return true;
  }, error);
}

// One URL-cache line: "URL | file=C:\... | type=N | time=YYYY-MM-DD HH:MM:SS";
// file, type (decimal or 0x hex; 1, a normal entry, when left out) and time
// are optional.
bool ParseUrlCacheLine(const std::string& line, UrlCacheEntryInfo& entry, std::string& what) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const auto bar = line.find(" | ", start);
    parts.push_back(Trim(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start), kLineBlanks));
    if (bar == std::string::npos) break;
    start = bar + 3;
  }
  entry.SourceUrlName = parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string& option = parts[i];
    const auto eq = option.find('=');
    const std::string name = option.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : option.substr(eq + 1);
    if (name == "file" && eq != std::string::npos) {
      if (!value.empty() && !IsDrivePath(value)) {
        what = "file is not a drive path: " + value;
        return false;
      }
      entry.LocalFileName = value;
    } else if (name == "type" && !value.empty()) {
      char* end = nullptr;
      const unsigned long type = std::strtoul(value.c_str(), &end, 0);
      if (*end != 0 || type > 0xFFFFFFFFul) {
        what = "type is not a number: " + value;
        return false;
      }
      entry.CacheEntryType = static_cast<DWORD>(type);
    } else if (name == "time") {
      if (!ParseTime(value, entry.LastModifiedTime)) {
        what = "time is not YYYY-MM-DD HH:MM:SS: " + value;
        return false;
      }
      entry.LastAccessTime = entry.LastModifiedTime;
    } else {
      what = "unknown option: " + option;
      return false;
    }
  }
  return true;
}

bool ParseUrlCacheList(const std::string& text, std::vector<UrlCacheEntryInfo>& entries,
                       std::string& error) {
  return ParseListLines(text, kUrlCachePart, [&entries](const std::string& line, int, std::string& what) {
    UrlCacheEntryInfo entry;
    if (!ParseUrlCacheLine(line, entry, what)) return false;
    entries.push_back(std::move(entry));
    return true;
  }, error);
}

// Fills the cache index of the machine at folder; sizes come from the files.
bool MakeUrlCache(const std::string& folder, std::vector<UrlCacheEntryInfo> entries,
                  std::string& error) {
  if (entries.empty()) return true;
  auto machine = Machine::Open(folder, error);
  if (!machine) return false;
  CurrentMachineScope current(*machine);
  for (auto& entry : entries) {
    if (entry.LocalFileName.empty()) continue;
    const auto info = GetFileInfo(entry.LocalFileName);
    if (info && (info->attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) entry.Size = info->size;
  }
  if (!AddUrlCacheEntries(machine->State(), entries)) {
    error = "cannot write the URL cache to " + machine->State().FileName();
    return false;
  }
  return true;
}

const DriveEntry* FindDrive(const MachineConfig& config, char letter) {
  for (const auto& drive : config.drives)
    if (std::toupper(static_cast<unsigned char>(drive.letter)) == letter) return &drive;
  return nullptr;
}

// Every entry must lie on a drive of the machine that has a folder inside it.
bool CheckEntryDrives(const MachineConfig& config, const std::vector<FileListEntry>& entries,
                      std::string& error) {
  for (const auto& entry : entries) {
    const DriveEntry* drive = FindDrive(config, entry.path[0]);
    std::string what;
    if (drive == nullptr)
      what = std::string("no drive ") + entry.path[0] + ": in machine.ini";
    else if (drive->folder.empty())
      what = std::string("drive ") + entry.path[0] + ": has no folder (no media)";
    else if (fs::path(drive->folder).is_absolute())
      what = std::string("drive ") + entry.path[0] + ": lies outside the machine folder";
    if (!what.empty()) {
      error = LineError(entry.line, what);
      return false;
    }
  }
  return true;
}

std::string ErrorText(const std::string& what, const std::string& path) {
  return what + " " + path + " (error " + std::to_string(GetLastError()) + ")";
}

// A host link path relative to the folder holding the link, so that the link
// keeps working when the machine folder is moved.
std::string LinkTarget(const FileListEntry& entry) {
  if (entry.link->front() == '/') return *entry.link;
  const fs::path target = HostPath(*entry.link);
  const fs::path from = fs::path(HostPath(entry.path)).parent_path();
  return target.lexically_relative(from).string();
}

bool WriteHostFile(const fs::path& path, const std::string& bytes, std::string& error) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = "cannot write " + path.string();
    return false;
  }
  return true;
}

// Written straight to the host: the machine is not in place yet, so the
// temporary file and sync of every single write would only cost time.
bool WriteNewFile(const std::string& path, const std::string& text, std::uint64_t size,
                  std::string& error) {
  const std::string host = HostPath(path);
  if (host.empty() || !WriteHostFile(host, text, error)) {
    error = "cannot write " + path;
    return false;
  }
  std::error_code ec;
  if (size > 0) fs::resize_file(host, size, ec);  // sparse zero bytes
  if (ec) error = "cannot size " + path + ": " + ec.message();
  return !ec;
}

bool MakeEntry(const FileListEntry& entry, std::string& error) {
  if (entry.path.size() == 3) return true;  // a drive root exists already
  const std::string parent = ExtractFilePath(entry.path);
  if (!DirectoryExists(parent) && !ForceDirectories(parent)) {
    error = LineError(entry.line, ErrorText("cannot make the folder", parent));
    return false;
  }
  if (entry.link) {
    const std::string host = HostPath(entry.path);
    std::error_code ec;
    if (host.empty() || fs::exists(fs::symlink_status(host))) {
      error = LineError(entry.line, "cannot make the link " + entry.path + " (listed twice?)");
      return false;
    }
    fs::create_symlink(LinkTarget(entry), host, ec);
    if (ec) {
      error = LineError(entry.line, "cannot make the link " + entry.path + ": " + ec.message());
      return false;
    }
    return true;
  }
  if (entry.folder) {
    if (FileExists(entry.path)) {
      error = LineError(entry.line, entry.path + " is listed as a file and as a folder");
      return false;
    }
    if (!DirectoryExists(entry.path) && !CreateDirectory(entry.path)) {
      error = LineError(entry.line, ErrorText("cannot make the folder", entry.path));
      return false;
    }
    return true;
  }
  if (FileExists(entry.path) || DirectoryExists(entry.path)) {
    error = LineError(entry.line, entry.path + " is listed twice");
    return false;
  }
  std::string content = entry.text.value_or("");
  if (entry.shortcutTarget) {
    ShellLinkSpec shortcut;
    shortcut.target = *entry.shortcutTarget;
    const std::vector<std::uint8_t> bytes = ShellLinkBytes(shortcut);
    content.assign(bytes.begin(), bytes.end());
  }
  if (entry.version) {
    const std::vector<std::uint8_t> bytes = PeFileBytes(*entry.version);
    content.assign(bytes.begin(), bytes.end());
  }
  if (!WriteNewFile(entry.path, content, entry.size.value_or(0), error)) {
    error = LineError(entry.line, error);
    return false;
  }
  if (entry.exec) {
    std::error_code ec;
    fs::permissions(HostPath(entry.path),
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    if (ec) {
      error = LineError(entry.line, "cannot make " + entry.path + " executable: " + ec.message());
      return false;
    }
  }
  return true;
}

// Times come after every file is made (making an entry changes the write time
// of its folder), attributes last (a read-only file takes no new time).
bool FinishEntries(const std::vector<FileListEntry>& entries, std::string& error) {
  for (const auto& entry : entries) {
    if (entry.time && !entry.link && !SetFileTime(entry.path, *entry.time)) {
      error = LineError(entry.line, ErrorText("cannot set the time of", entry.path));
      return false;
    }
  }
  for (const auto& entry : entries) {
    if (entry.time && entry.link) {
      const std::int64_t unixTicks = static_cast<std::int64_t>(*entry.time) - 116444736000000000;
      const timespec when{static_cast<time_t>(unixTicks / 10000000),
                          static_cast<long>(unixTicks % 10000000) * 100};
      const timespec times[2] = {when, when};
      if (utimensat(AT_FDCWD, HostPath(entry.path).c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        error = LineError(entry.line, "cannot set the time of " + entry.path + ": " +
                                          std::strerror(errno));
        return false;
      }
    }
  }
  for (const auto& entry : entries) {
    if (entry.attributes) {
      DWORD attributes = *entry.attributes;
      if (attributes == 0 && !entry.folder) attributes = FILE_ATTRIBUTE_NORMAL;
      if (!SetFileAttributes(entry.path, attributes)) {
        error = LineError(entry.line, ErrorText("cannot set the attributes of", entry.path));
        return false;
      }
    }
  }
  return true;
}

// Makes the listed files and folders and the program file on the machine at
// folder, which is made current for the time it takes.
bool MakeFiles(const std::string& folder, const std::vector<FileListEntry>& entries,
               std::string& error) {
  auto machine = Machine::Open(folder, error);
  if (!machine) return false;
  CurrentMachineScope current(*machine);

  for (const auto& entry : entries)
    if (!MakeEntry(entry, error)) return false;
  if (!FileExists(ProgramFile()) &&
      (!ForceDirectories(ProgramFolder()) || !WriteNewFile(ProgramFile(), "", 0, error))) {
    error = std::string(kConfigPart) + ": " + ErrorText("cannot make the program file", ProgramFile());
    return false;
  }
  // One transaction for all attribute records.
  if (!machine->State().BeginBatch()) {
    error = "cannot write " + machine->State().FileName();
    return false;
  }
  if (!FinishEntries(entries, error)) {
    machine->State().RollbackBatch();
    return false;
  }
  if (!machine->State().CommitBatch() || !SeedServiceRunStates()) {
    error = "cannot write " + machine->State().FileName();
    return false;
  }
  if (!SeedRestorePoints(machine->Config().restorePoints, error)) {
    error = std::string(kConfigPart) + ": " + error;
    return false;
  }
  return true;
}


bool MakeRegistry(const fs::path& folder, const MachineConfig& config,
                  const RegFileContent* content, std::string& error) {
  RegistryOptions options;
  options.userSid = config.userSid;  // read-only keys bind the user, not the builder
  auto store = RegistryStore::Open((folder / "registry.db").string(), options, error);
  if (!store) return false;
  if (content != nullptr && !ApplyRegFile(*store, *content, error)) {
    if (error.rfind(kRegistryPart, 0) != 0) error = std::string(kRegistryPart) + ": " + error;
    return false;
  }
  return true;
}

bool MakeDriveFolders(const fs::path& folder, const MachineConfig& config, std::string& error) {
  for (const auto& drive : config.drives) {
    if (drive.folder.empty() || fs::path(drive.folder).is_absolute()) continue;
    std::error_code ec;
    fs::create_directories(folder / drive.folder, ec);
    if (ec) {
      error = "cannot make the folder of drive " + std::string(1, drive.letter) + ": " + ec.message();
      return false;
    }
  }
  return true;
}

bool IsEmptyFolder(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec) && fs::is_empty(folder, ec);
}

// An empty folder beside target, to build in before the rename.
bool MakeSiblingFolder(const fs::path& target, fs::path& sibling, std::string& error) {
  std::error_code ec;
  const fs::path parent = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  fs::create_directories(parent, ec);
  std::string name = ".";
  name += target.filename().string();
  name += ".new-XXXXXX";
  std::string pattern = (parent / name).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    error = "cannot make a folder beside " + target.string() + ": " + std::strerror(errno);
    return false;
  }
  sibling = pattern;
  return true;
}

// Puts everything written below folder on the disk, once for the whole machine.
bool SyncFolder(const fs::path& folder, std::string& error) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  const bool synced = fd >= 0 && syncfs(fd) == 0;
  if (!synced) error = "cannot write " + folder.string() + ": " + std::strerror(errno);
  if (fd >= 0) close(fd);
  return synced;
}

fs::path WithoutTrailingSlash(const std::string& folder) {
  std::string text = folder;
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return fs::path(text);
}

}  // namespace

CurrentMachineScope::CurrentMachineScope(Machine& machine)
    : previousMachine_(CurrentMachine()), previousRegistry_(CurrentRegistry()) {
  SetCurrentMachine(&machine);
}

CurrentMachineScope::~CurrentMachineScope() {
  SetCurrentMachine(previousMachine_);
  SetCurrentRegistry(previousRegistry_);
}

bool HoldsMachine(const std::string& folder) {
  std::error_code ec;
  return fs::exists(fs::path(folder) / kConfigPart, ec);
}

bool CreateMachineWith(const std::string& folder, const MachineRecipe& recipe,
                       const MachineFinisher& finish, std::string& error) {
  const fs::path target = WithoutTrailingSlash(folder);
  std::error_code ec;
  if (HoldsMachine(target.string())) {
    error = target.string() + " already holds a machine";
    return false;
  }
  if (fs::exists(target, ec) && !IsEmptyFolder(target)) {
    error = target.string() + " is not an empty folder";
    return false;
  }

  MachineConfig config;
  if (!ParseMachineConfig(recipe.configText, kConfigPart, config, error)) return false;
  RegFileContent content;
  const bool hasRegistry = !Trim(recipe.regText, kLineBlanks).empty();
  if (hasRegistry &&
      !ParseRegFile(std::vector<std::uint8_t>(recipe.regText.begin(), recipe.regText.end()),
                    kRegistryPart, config.ansiCodePage, content, error))
    return false;
  std::vector<FileListEntry> entries;
  if (!ParseFileList(recipe.fileList, entries, error) || !CheckEntryDrives(config, entries, error))
    return false;
  std::vector<UrlCacheEntryInfo> cacheEntries;
  if (!ParseUrlCacheList(recipe.urlCache, cacheEntries, error)) return false;

  fs::path building;
  if (!MakeSiblingFolder(target, building, error)) return false;
  const bool built = WriteHostFile(building / kConfigPart, recipe.configText, error) &&
                     MakeDriveFolders(building, config, error) &&
                     MakeRegistry(building, config, hasRegistry ? &content : nullptr, error) &&
                     MakeFiles(building.string(), entries, error) &&
                     MakeUrlCache(building.string(), std::move(cacheEntries), error) &&
                     (!finish || finish(building.string(), error)) && SyncFolder(building, error);
  if (built) {
    fs::rename(building, target, ec);
    if (!ec) return true;
    error = HoldsMachine(target.string()) ? target.string() + " already holds a machine"
                                          : "cannot put the machine at " + target.string() + ": " +
                                                ec.message();
  }
  fs::remove_all(building, ec);
  return false;
}

bool CreateMachine(const std::string& folder, const MachineRecipe& recipe, std::string& error) {
  return CreateMachineWith(folder, recipe, {}, error);
}

MachineRecipe SampleMachineRecipe() {
  MachineRecipe recipe;
  for (std::size_t i = 0; i < kSampleMachineFileCount; ++i) {
    const EmbeddedFile& file = kSampleMachineFiles[i];
    std::string bytes(reinterpret_cast<const char*>(file.data), file.size);
    const std::string name = file.name;
    if (name == kConfigPart) recipe.configText = std::move(bytes);
    else if (name == kRegistryPart) recipe.regText = std::move(bytes);
    else if (name == kFilesPart) recipe.fileList = std::move(bytes);
    else if (name == kUrlCachePart) recipe.urlCache = std::move(bytes);
  }
  return recipe;
}

bool EnsureMachine(const std::string& folder, std::string& error) {
  // Another process may create the machine at the same moment: whoever loses
  // the race uses the winner's machine.
  return HoldsMachine(folder) || CreateMachine(folder, SampleMachineRecipe(), error) || HoldsMachine(folder);
}

std::unique_ptr<Machine> OpenOrCreateMachine(const std::string& folder, std::string& error) {
  if (!EnsureMachine(folder, error)) return nullptr;
  return Machine::Open(folder, error);
}

}  // namespace win
