#pragma once
// GetDiskFreeSpaceEx: the space of a drive of the machine, from the host
// file system that holds the drive's folder.

#include <cstdint>
#include <string>

#include "platform/text/WinTypes.h"

namespace win {

// directory is any path on the drive ("C:\", "C:", "C:\WINDOWS"). Each out
// pointer may be null. False with ERROR_NOT_READY when the drive has no
// folder on the host, ERROR_PATH_NOT_FOUND for an unknown drive.
bool GetDiskFreeSpaceEx(const std::string& directory, std::uint64_t* freeBytesAvailable,
                        std::uint64_t* totalNumberOfBytes, std::uint64_t* totalNumberOfFreeBytes);

}  // namespace win
