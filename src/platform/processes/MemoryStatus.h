#pragma once
// Memory figures of the real host (/proc/meminfo), in the shape of the
// global memory status: physical memory is MemTotal and MemAvailable; the
// page file (commit) figures are MemTotal+SwapTotal and MemAvailable+SwapFree.

#include <cstdint>

#include "platform/text/WinTypes.h"

namespace win {

struct MEMORYSTATUSEX {
  DWORD dwLength = sizeof(MEMORYSTATUSEX);
  DWORD dwMemoryLoad = 0;  // percent of physical memory in use
  std::uint64_t ullTotalPhys = 0;
  std::uint64_t ullAvailPhys = 0;
  std::uint64_t ullTotalPageFile = 0;
  std::uint64_t ullAvailPageFile = 0;
  std::uint64_t ullTotalVirtual = 0;  // user address space of a 32-bit process
  std::uint64_t ullAvailVirtual = 0;
  std::uint64_t ullAvailExtendedVirtual = 0;
};

// False (ERROR_INVALID_PARAMETER) for a wrong dwLength, or when the figures
// cannot be read (ERROR_CANTREAD).
bool GlobalMemoryStatusEx(MEMORYSTATUSEX& status);

}  // namespace win
