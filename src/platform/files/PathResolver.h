#pragma once
// Inside of the file system of the emulated machine: Windows paths resolved
// to host entries, host metadata, attribute words. Used by FileSystem*.cpp.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/FileSystem.h"

namespace win {

class StateStore;

namespace fs_detail {

enum class EntryKind { Missing, File, Folder, Link };  // Link: anything else on the host

struct HostEntry {
  EntryKind kind = EntryKind::Missing;
  unsigned mode = 0;
  std::uint64_t size = 0;
  FileTime creationTime = 0;
  FileTime lastAccessTime = 0;
  FileTime lastWriteTime = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t changed = 0;  // ns: the later of the last write and the last metadata change
};

// Metadata of a host path without following a link in its last component.
HostEntry StatHost(const std::string& hostPath);
// The same for a path relative to an open host folder (a file descriptor).
HostEntry StatHostAt(int folder, const char* path);

struct ResolvedPath {
  char drive = 0;
  std::string hostRoot;               // host folder of the drive
  std::vector<std::string> names;     // components as the host spells them
  std::vector<std::string> given;     // components as the caller spelled them
  std::string windows;                // "C:\WINDOWS\win.ini"; "C:" for the root
  std::string host;                   // host path
  bool parentExists = false;          // all but the last are real folders
  HostEntry entry;                    // of the last component (the root: a folder)

  bool IsRoot() const { return names.empty(); }
  bool Exists() const { return entry.kind != EntryKind::Missing; }
  std::string Key() const;            // state.db key: upper-cased windows
  std::string ParentWindows() const;  // "C:" for children of the root
  std::string ParentHost() const;
  std::string WindowsDisplay() const; // "C:\" for the root
};

// Resolves a Windows path of the current machine. False with GetLastError()
// set: ERROR_PATH_NOT_FOUND (no machine, unknown drive, not a drive path, a
// ".." above the root), ERROR_NOT_READY (the drive has no folder on disk),
// ERROR_INVALID_NAME (a character Windows refuses), ERROR_FILENAME_EXCED_RANGE
// (too long), ERROR_ACCESS_DENIED (through the machine's own folder, or one of
// its store files where a drive's folder is the machine folder). With allowWildcards, '*' and '?' may stand in the last part,
// which is then not looked up.
bool ResolvePath(const std::string& windowsPath, ResolvedPath& out, bool allowWildcards = false);

// True when a listing of the folder must leave the entry out: the machine's
// own folder, or a store file when the folder is the machine folder. Tells
// by the folder's identity and the name alone, before anything looks at the
// entry.
bool IsHiddenStoreName(const HostEntry& folder, const std::string& name);
bool IsMachineFolderEntry(const HostEntry& entry);

// ResolvePath plus: the entry must exist (ERROR_FILE_NOT_FOUND, or
// ERROR_PATH_NOT_FOUND when a folder on the way is missing).
bool ResolveExisting(const std::string& windowsPath, ResolvedPath& out);
// ResolvePath plus: the parent folder must exist.
bool ResolveInExistingFolder(const std::string& windowsPath, ResolvedPath& out);

// Benchmarks: while set, every host path whose metadata a call answers with
// (the end of a resolution, each entry of a listing) is handed to it.
using HostPathLog = std::function<void(const std::string& hostPath)>;
void SetHostPathLog(HostPathLog log);
bool HostPathLogOn();
void LogHostPath(const std::string& hostPath);

// Every change this file system makes to the host's entries calls this
// (FileSystemChangeCount).
void NoteChange();
std::uint64_t ChangeCount();
// Calls NoteChange when it goes, whichever way a change ends.
struct ChangeNote {
  ChangeNote() = default;
  ~ChangeNote() { NoteChange(); }
  ChangeNote(const ChangeNote&) = delete;
  ChangeNote& operator=(const ChangeNote&) = delete;
};

// "name", then "name (2).ext", "name (3).ext"... whichever is free in the
// folder.
std::string FreeNameIn(const std::string& folderWindows, const std::string& name);

// The state store of the current machine, null without one.
StateStore* State();

// Attribute word of an entry with its state.db record.
DWORD AttributesOf(const HostEntry& entry, const std::optional<DWORD>& record);
DWORD AttributesOf(const ResolvedPath& path);
// The bits that state.db keeps.
constexpr DWORD kStoredBits =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
// What an entry has without a record.
DWORD DefaultStoredBits(EntryKind kind);

FindData MakeFindData(const std::string& name, const HostEntry& entry, DWORD attributes);

FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
void UnixFromFileTime(FileTime time, std::int64_t& seconds, std::int64_t& nanoseconds);

// Sets GetLastError() from errno and returns false.
bool FailFromErrno(int error);
bool Fail(DWORD code);

}  // namespace fs_detail
}  // namespace win
