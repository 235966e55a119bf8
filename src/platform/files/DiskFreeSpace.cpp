#include "platform/files/DiskFreeSpace.h"

#include <sys/statvfs.h>

#include <cerrno>

#include "platform/files/PathResolver.h"

namespace win {

using namespace fs_detail;

bool GetDiskFreeSpaceEx(const std::string& directory, std::uint64_t* freeBytesAvailable,
                        std::uint64_t* totalNumberOfBytes, std::uint64_t* totalNumberOfFreeBytes) {
  // Only the drive matters: the root resolves without looking at the rest.
  if (directory.size() < 2 || directory[1] != ':') return Fail(ERROR_PATH_NOT_FOUND);
  ResolvedPath root;
  if (!ResolvePath(directory.substr(0, 2), root)) return false;
  struct statvfs info {};
  if (statvfs(root.hostRoot.c_str(), &info) != 0) return FailFromErrno(errno);
  const std::uint64_t unit = info.f_frsize ? info.f_frsize : info.f_bsize;
  if (freeBytesAvailable) *freeBytesAvailable = static_cast<std::uint64_t>(info.f_bavail) * unit;
  if (totalNumberOfBytes) *totalNumberOfBytes = static_cast<std::uint64_t>(info.f_blocks) * unit;
  if (totalNumberOfFreeBytes) *totalNumberOfFreeBytes = static_cast<std::uint64_t>(info.f_bfree) * unit;
  SetLastError(ERROR_SUCCESS);
  return true;
}

}  // namespace win
