#pragma once
// Files and folders of the current machine, reached by Windows paths
// ("C:\Program Files\x.exe") that map to host folders through the drive table.
// Components resolve case-insensitively; ".." never leaves a drive's folder;
// host symbolic links are reported as reparse points and never followed.
// Failures are results with GetLastError() set.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr unsigned DRIVE_UNKNOWN = 0;
constexpr unsigned DRIVE_NO_ROOT_DIR = 1;
constexpr unsigned DRIVE_REMOVABLE = 2;
constexpr unsigned DRIVE_FIXED = 3;
constexpr unsigned DRIVE_REMOTE = 4;
constexpr unsigned DRIVE_CDROM = 5;
constexpr unsigned DRIVE_RAMDISK = 6;

struct FindData {
  DWORD attributes = 0;
  std::uint64_t size = 0;
  FileTime creationTime = 0;
  FileTime lastAccessTime = 0;
  FileTime lastWriteTime = 0;
  std::string name;  // as the host stores it
};

// One find-first/next enumeration: ".", ".." (for non-root folders... and
// roots alike, as the emulation lists them), then entries sorted by
// upper-cased name, filtered by the Windows wildcard of the pattern.
class FileFinder {
 public:
  virtual ~FileFinder();
  // Fills the next entry; false (ERROR_NO_MORE_ITEMS) at the end.
  virtual bool Next(FindData& data) = 0;
};

// Null with GetLastError() ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND when
// nothing matches or the folder is missing; the first entry is in `first`.
std::unique_ptr<FileFinder> FindFirstFile(const std::string& pattern, FindData& first);

// Windows wildcard match, case-insensitive: "*" any run, "?" one character
// or none before a dot or the end, a final "." or ".*" also matches no
// extension ("*.*" matches names without a dot).
bool WildcardMatch(const std::string& pattern, const std::string& name);

// Host path of a Windows path; empty when the drive is unknown or the path
// would leave the drive. Existing components are matched case-insensitively.
std::string HostPath(const std::string& windowsPath);

unsigned GetDriveType(const std::string& rootPath);  // "C:\" or "C:"
// Drive letters present on the machine, upper case, in order.
std::vector<char> GetLogicalDrives();

DWORD GetFileAttributes(const std::string& path);  // INVALID_FILE_ATTRIBUTES when missing

// What a path names, told without its attribute record: nothing (or nothing
// that can be reached), a file, a folder or a host link (a reparse point).
enum class PathKind { None, File, Folder, Link };
PathKind GetPathKind(const std::string& path);
// Changes whenever this file system makes, removes, moves or replaces an
// entry, so that answers kept since the last look can be dropped.
std::uint64_t FileSystemChangeCount();
bool SetFileAttributes(const std::string& path, DWORD attributes);
std::optional<FindData> GetFileInfo(const std::string& path);

bool FileExists(const std::string& path);       // a file, not a folder
bool DirectoryExists(const std::string& path);  // a folder
bool CreateDirectory(const std::string& path);  // parent must exist
bool ForceDirectories(const std::string& path); // creates every missing level
bool RemoveDirectory(const std::string& path);  // empty folders only
bool DeleteFile(const std::string& path);
// Deletes path when it names a plain file; a missing path, a folder or a
// host link is left as it is and counts as done. False only when a plain
// file could not be deleted (read-only, in use).
bool DeleteIfPlainFile(const std::string& path);
bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);
bool MoveFile(const std::string& from, const std::string& to);  // fails when `to` exists
bool RenameFile(const std::string& from, const std::string& to);  // fails when `to` exists
bool SetFileTime(const std::string& path, FileTime lastWrite);

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& data);
// The length of a file as it is opened for reading; none when it cannot be
// opened (missing, a folder, a host link, no access).
std::optional<std::uint64_t> ReadableFileSize(const std::string& path);
// Written through a temporary file and a rename. A temporary file is never
// listed; one that a killed process left behind goes at the next write
// through a temporary file into its folder.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& data);
bool AppendFileBytes(const std::string& path, const std::vector<std::uint8_t>& data);
// Files too large to hold: one piece at a time, in order. A sink stops the
// work by returning false (the call then fails).
using ByteSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;
// Hands the pieces of something, from its start, to a sink; false when a read
// failed or the sink stopped it.
using ByteSource = std::function<bool(const ByteSink& take)>;
bool ReadFileChunks(const std::string& path, const ByteSink& take);
// Written through a temporary file and a rename, as WriteFileBytes: produce
// hands every piece to its sink; the file is replaced only when it gives true.
bool WriteFileWith(const std::string& path, const std::function<bool(const ByteSink& write)>& produce);

// Recycle bin: moves a file or folder into X:\Recycled\ of its drive, as
// "D" + the drive letter + its number + its extension ("Dc1.txt"), after
// appending its record (original path, time, size) to the bin's INFO2.
// Fails, leaving the item where it is, when its name in the bin would be too
// long, when INFO2 is of a kind the program cannot read
// (ERROR_FILE_CORRUPT), or when a record of the Windows 9x family could not
// name it (ERROR_NO_UNICODE_TRANSLATION). An item inside a bin goes for good.
bool DeleteToRecycleBin(const std::string& path);
// "X:\Recycled" of a drive letter.
std::string RecycleBinFolder(char drive);
// Empties X:\Recycled\ of one drive ("C:\") or of every drive (empty root);
// the bin's INFO2 then keeps its header only.
bool EmptyRecycleBin(const std::string& rootPath);

std::string GetWindowsDirectory();  // "C:\WINDOWS"
std::string GetSystemDirectory();   // "C:\WINDOWS\system32"
std::string GetTempPath();          // with trailing backslash
// %SystemRoot%, %windir%, %SystemDrive%, %ProgramFiles%, %CommonProgramFiles%
// and %USERPROFILE% (any letter case) replaced; other text stays as it is.
std::string ExpandEnvironmentStrings(const std::string& text);
// Folder of the program on the machine: "C:\Program Files\Fernwick".
std::string ProgramFolder();
std::string ProgramFile();  // ...\Fernwick.exe

// Path helpers on Windows paths.
std::string ExtractFileName(const std::string& path);
std::string ExtractFilePath(const std::string& path);  // with trailing backslash
std::string ExtractFileExt(const std::string& path);   // with the dot
std::string IncludeTrailingBackslash(const std::string& path);
// Folder + relative path ("\\" or "/" between parts) with "." and ".." parts
// worked out; ".." stops at the drive root, which keeps its backslash.
std::string CombinePath(const std::string& folder, const std::string& relative);

FileTime CurrentFileTime();

}  // namespace win
