// Files and folders of the current machine: attributes, existence, folders,
// copy, move, delete, whole-file reads and writes.

#include "platform/files/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>

#include "platform/files/FileInPlace.h"
#include "platform/files/FileRecords.h"
#include "platform/files/HostFiles.h"
#include "platform/files/PathResolver.h"
#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/text/TextCodec.h"

namespace win {

using namespace fs_detail;

namespace {

bool IsReadOnly(const ResolvedPath& path) {
  return (AttributesOf(path) & FILE_ATTRIBUTE_READONLY) != 0;
}

// Letter of "C:" or "C:\" (either slash); 0 for anything else.
char RootLetter(const std::string& rootPath) {
  if (rootPath.size() < 2 || rootPath.size() > 3 || rootPath[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(rootPath[0]))) {
    return 0;
  }
  if (rootPath.size() == 3 && rootPath[2] != '\\' && rootPath[2] != '/') return 0;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(rootPath[0])));
}

void ForgetStaleRecord(const ResolvedPath& path) {
  if (StateStore* state = State()) state->ForgetFileAttributes(path.Key());
}

// A file that may be replaced or written to: not a folder, not a link, not
// read-only.
bool CheckWritableFile(const ResolvedPath& path) {
  if (path.IsRoot()) return Fail(ERROR_ACCESS_DENIED);
  if (!path.Exists()) return true;
  if (path.entry.kind != EntryKind::File || IsReadOnly(path)) return Fail(ERROR_ACCESS_DENIED);
  return true;
}

// A written file gets the archive bit; a new one sheds a record left behind by
// an earlier entry of that name.
void MarkWritten(const ResolvedPath& path, bool existed) {
  StateStore* state = State();
  if (!state) return;
  if (!existed) {
    state->ForgetFileAttributes(path.Key());
  } else if (const auto record = state->FileAttributes(path.Key())) {
    state->SetFileAttributes(path.Key(), *record | FILE_ATTRIBUTE_ARCHIVE);
  }
}

}  // namespace

unsigned GetDriveType(const std::string& rootPath) {
  const char letter = RootLetter(rootPath);
  const Machine* machine = CurrentMachine();
  if (letter == 0 || !machine) return DRIVE_NO_ROOT_DIR;
  for (const auto& drive : machine->Config().drives) {
    if (drive.letter == letter) return drive.type;
  }
  return DRIVE_NO_ROOT_DIR;
}

std::vector<char> GetLogicalDrives() {
  std::vector<char> letters;
  const Machine* machine = CurrentMachine();
  if (!machine) return letters;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    for (const auto& drive : machine->Config().drives) {
      if (drive.letter == letter) {
        letters.push_back(letter);
        break;
      }
    }
  }
  return letters;
}

std::string HostPath(const std::string& windowsPath) {
  ResolvedPath path;
  return ResolvePath(windowsPath, path) ? path.host : std::string();
}

DWORD GetFileAttributes(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return INVALID_FILE_ATTRIBUTES;
  return AttributesOf(resolved);
}

PathKind GetPathKind(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return PathKind::None;
  switch (resolved.entry.kind) {
    case EntryKind::File:
      return PathKind::File;
    case EntryKind::Folder:
      return PathKind::Folder;
    case EntryKind::Link:
      return PathKind::Link;
    case EntryKind::Missing:
      break;
  }
  return PathKind::None;
}

std::uint64_t FileSystemChangeCount() { return ChangeCount(); }

bool SetFileAttributes(const std::string& path, DWORD attributes) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return false;
  const DWORD stored = attributes & kStoredBits;
  // Read-only also comes from the host's write permission; clearing it
  // gives the permission back.
  if (resolved.entry.kind == EntryKind::File && !(resolved.entry.mode & S_IWUSR) &&
      !(stored & FILE_ATTRIBUTE_READONLY) &&
      chmod(resolved.host.c_str(), (resolved.entry.mode & 07777) | S_IWUSR) != 0) {
    return FailFromErrno(errno);
  }
  StateStore* state = State();
  if (!state || !state->SetFileAttributes(resolved.Key(), stored)) return Fail(ERROR_WRITE_FAULT);
  return true;
}

std::optional<FindData> GetFileInfo(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return std::nullopt;
  return MakeFindData(resolved.IsRoot() ? std::string() : resolved.names.back(), resolved.entry,
                      AttributesOf(resolved));
}

bool FileExists(const std::string& path) {
  ResolvedPath resolved;
  return ResolvePath(path, resolved) && resolved.entry.kind == EntryKind::File;
}

bool DirectoryExists(const std::string& path) {
  ResolvedPath resolved;
  return ResolvePath(path, resolved) && resolved.entry.kind == EntryKind::Folder;
}

bool CreateDirectory(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolveInExistingFolder(path, resolved)) return false;
  if (resolved.Exists()) return Fail(ERROR_ALREADY_EXISTS);
  const ChangeNote note;
  if (mkdir(resolved.host.c_str(), 0777) != 0) return FailFromErrno(errno);
  ForgetStaleRecord(resolved);
  return true;
}

bool ForceDirectories(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolvePath(path, resolved)) return false;
  if (resolved.Exists()) {
    return resolved.entry.kind == EntryKind::Folder ? true : Fail(ERROR_ALREADY_EXISTS);
  }
  if (!resolved.parentExists && !ForceDirectories(resolved.ParentWindows())) return false;
  return CreateDirectory(resolved.windows);
}

bool RemoveDirectory(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return false;
  if (resolved.IsRoot()) return Fail(ERROR_ACCESS_DENIED);
  const ChangeNote note;
  switch (resolved.entry.kind) {
    case EntryKind::File:
      return Fail(ERROR_DIRECTORY);
    case EntryKind::Link:  // the link goes, never what it points at
      return ChangeWithRecords(resolved.Key(), "", [&] {
        return unlink(resolved.host.c_str()) == 0 || FailFromErrno(errno);
      });
    default:
      if (IsReadOnly(resolved)) return Fail(ERROR_ACCESS_DENIED);
      // A folder that lists empty may still hold a killed write's temporary file.
      RemoveStaleTempFiles(resolved.host);
      return ChangeWithRecords(resolved.Key(), "", [&] {
        return rmdir(resolved.host.c_str()) == 0 || FailFromErrno(errno == EEXIST ? ENOTEMPTY : errno);
      });
  }
}

bool DeleteFile(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return false;
  if (resolved.entry.kind == EntryKind::Folder || IsReadOnly(resolved)) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  const ChangeNote note;
  return ChangeWithRecords(resolved.Key(), "", [&] {
    BeforeUnlink(resolved.host);
    return unlink(resolved.host.c_str()) == 0 || FailFromErrno(errno);
  });
}

bool DeleteIfPlainFile(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolvePath(path, resolved) || resolved.entry.kind != EntryKind::File) return true;
  StateStore* state = State();
  const std::optional<DWORD> record = state ? state->FileAttributes(resolved.Key()) : std::nullopt;
  if (AttributesOf(resolved.entry, record) & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED);
  const ChangeNote note;
  const auto remove = [&] {
    BeforeUnlink(resolved.host);
    return unlink(resolved.host.c_str()) == 0 || errno == ENOENT || FailFromErrno(errno);
  };
  // A file has nothing below it: without a record of its own there is none
  // to keep with it.
  return record ? ChangeWithRecords(resolved.Key(), "", remove) : remove();
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  ResolvedPath source;
  ResolvedPath target;
  if (!ResolveExisting(from, source)) return false;
  if (source.entry.kind == EntryKind::Folder) return Fail(ERROR_ACCESS_DENIED);
  if (!ResolveInExistingFolder(to, target)) return false;
  if (target.Exists()) {
    if (target.host == source.host) return Fail(ERROR_SHARING_VIOLATION);
    if (failIfExists) return Fail(ERROR_FILE_EXISTS);
    if (AttributesOf(target) & FILE_ATTRIBUTE_HIDDEN) return Fail(ERROR_ACCESS_DENIED);
  }
  if (!CheckWritableFile(target)) return false;
  const DWORD attributes = AttributesOf(source);
  if (!CopyHostEntry(source.host, source.entry, target.host)) return false;
  // The copy carries the attributes of its source, with the archive bit set.
  DWORD stored = attributes & kStoredBits;
  if (source.entry.kind == EntryKind::File) stored |= FILE_ATTRIBUTE_ARCHIVE;
  if (StateStore* state = State()) state->SetFileAttributes(target.Key(), stored);
  return true;
}

bool MoveFile(const std::string& from, const std::string& to) {
  ResolvedPath source;
  ResolvedPath target;
  if (!ResolveExisting(from, source)) return false;
  if (source.IsRoot()) return Fail(ERROR_ACCESS_DENIED);
  if (!ResolveInExistingFolder(to, target)) return false;
  if (target.IsRoot()) return Fail(ERROR_ALREADY_EXISTS);
  std::string targetHost = target.host;
  std::string targetKey = target.Key();
  if (target.Exists()) {
    if (target.host != source.host) return Fail(ERROR_ALREADY_EXISTS);
    // The same entry: only the letter case of its name changes.
    targetHost = target.ParentHost() + "/" + target.given.back();
    if (targetHost == source.host) return true;
  }
  const std::string sourceKey = source.Key();
  if (targetKey.rfind(sourceKey + "\\", 0) == 0) return Fail(ERROR_ACCESS_DENIED);
  return ChangeWithRecords(sourceKey, targetKey,
                           [&] { return MoveHostEntry(source.host, source.entry, targetHost); });
}

bool RenameFile(const std::string& from, const std::string& to) { return MoveFile(from, to); }

bool SetFileTime(const std::string& path, FileTime lastWrite) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return false;
  if (resolved.entry.kind == EntryKind::File && IsReadOnly(resolved)) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  return SetHostWriteTime(resolved.host, lastWrite);
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& data) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return false;
  if (resolved.entry.kind != EntryKind::File) return Fail(ERROR_ACCESS_DENIED);
  return ReadHostFile(resolved.host, data);
}

std::optional<std::uint64_t> ReadableFileSize(const std::string& path) {
  ResolvedPath resolved;
  std::uint64_t size = 0;
  if (!ResolveExisting(path, resolved)) return std::nullopt;
  if (resolved.entry.kind != EntryKind::File) {
    Fail(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  if (!HostFileSizeForRead(resolved.host, size)) return std::nullopt;
  return size;
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& data) {
  ResolvedPath resolved;
  if (!ResolveInExistingFolder(path, resolved) || !CheckWritableFile(resolved)) return false;
  const bool existed = resolved.Exists();
  if (!ReplaceHostFile(resolved.host, existed ? std::optional<unsigned>(resolved.entry.mode)
                                               : std::nullopt,
                       [&data](int fd) { return WriteAll(fd, data.data(), data.size()); })) {
    return false;
  }
  MarkWritten(resolved, existed);
  AfterReplace(resolved.host);
  return true;
}

bool ReadFileChunks(const std::string& path, const ByteSink& take) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return false;
  if (resolved.entry.kind != EntryKind::File) return Fail(ERROR_ACCESS_DENIED);
  SetLastError(ERROR_SUCCESS);
  return ReadHostFileChunks(resolved.host, [&take](const char* chunk, std::size_t size) {
    return take(reinterpret_cast<const std::uint8_t*>(chunk), size);
  });
}

bool WriteFileWith(const std::string& path, const std::function<bool(const ByteSink& write)>& produce) {
  ResolvedPath resolved;
  if (!ResolveInExistingFolder(path, resolved) || !CheckWritableFile(resolved)) return false;
  const bool existed = resolved.Exists();
  if (!ReplaceHostFile(resolved.host, existed ? std::optional<unsigned>(resolved.entry.mode)
                                               : std::nullopt,
                       [&produce](int fd) {
                         return produce([fd](const std::uint8_t* data, std::size_t size) {
                           return WriteAll(fd, data, size);
                         });
                       })) {
    return false;
  }
  MarkWritten(resolved, existed);
  AfterReplace(resolved.host);
  return true;
}

bool AppendFileBytes(const std::string& path, const std::vector<std::uint8_t>& data) {
  ResolvedPath resolved;
  if (!ResolveInExistingFolder(path, resolved) || !CheckWritableFile(resolved)) return false;
  const bool existed = resolved.Exists();
  if (!AppendHostFile(resolved.host, data)) return false;
  MarkWritten(resolved, existed);
  return true;
}

FileTime CurrentFileTime() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
  return FileTimeFromUnix(ns / 1000000000, ns % 1000000000);
}

}  // namespace win
