#pragma once
// Host-side file work behind the emulated file system: whole-file reads,
// replacement through a temporary file, copies and moves that never follow a
// link. Failures set GetLastError() and return false.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/PathResolver.h"

namespace win::fs_detail {

bool WriteAll(int fd, const void* data, std::size_t size);
// Opens a regular host file with flags (O_RDONLY, O_WRONLY), never through a
// link; -1 with GetLastError() set otherwise. size gets the file's size.
int OpenRegularHostFile(const std::string& hostPath, int flags, std::uint64_t* size = nullptr);
bool ReadHostFile(const std::string& hostPath, std::vector<std::uint8_t>& data);
// The length of a plain file, taken from the file opened for reading.
bool HostFileSizeForRead(const std::string& hostPath, std::uint64_t& size);
// Reads the file to its end piece by piece; take stops it by returning false.
bool ReadHostFileChunks(const std::string& hostPath,
                        const std::function<bool(const char*, std::size_t)>& take);
// Writes a temporary file beside target with fill, gives it mode (the
// default for new files when none) and renames it over target. The stale
// temporary files of that folder go first.
bool ReplaceHostFile(const std::string& target, std::optional<unsigned> mode,
                     const std::function<bool(int fd)>& fill);
bool AppendHostFile(const std::string& hostPath, const std::vector<std::uint8_t>& data);
// Copies a file with its permissions and write time, or a link as a link.
bool CopyHostEntry(const std::string& source, const HostEntry& entry, const std::string& target);
// Renames source to target, which must not exist; across host file systems
// a file is copied and then removed.
bool MoveHostEntry(const std::string& source, const HostEntry& entry, const std::string& target);
bool SetHostWriteTime(const std::string& hostPath, FileTime lastWrite);
// Removes a file, link or folder with its contents; links are removed, never
// followed.
bool RemoveHostTree(const std::string& hostPath);
// Names of the temporary files of ReplaceHostFile: never shown in a listing.
bool IsTemporaryFileName(const std::string& name);
// Removes the temporary files of ReplaceHostFile in hostFolder that no write
// holds any more: left by a process that ended before its rename.
void RemoveStaleTempFiles(const std::string& hostFolder);

}  // namespace win::fs_detail
