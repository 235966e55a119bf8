#include "platform/processes/MemoryStatus.h"

#include <algorithm>

#include "platform/processes/HostProc.h"

namespace win {

bool GlobalMemoryStatusEx(MEMORYSTATUSEX& status) {
  if (status.dwLength != sizeof(MEMORYSTATUSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const auto meminfo = ReadHostProcFile("meminfo");
  const auto total = meminfo ? ProcField(*meminfo, "MemTotal") : std::nullopt;
  if (!total || *total == 0) {
    SetLastError(ERROR_CANTREAD);
    return false;
  }
  // Kernels before 3.14 have no MemAvailable.
  auto available = ProcField(*meminfo, "MemAvailable");
  if (!available)
    available = ProcField(*meminfo, "MemFree").value_or(0) + ProcField(*meminfo, "Buffers").value_or(0) +
                ProcField(*meminfo, "Cached").value_or(0);
  const std::uint64_t availablePhys = std::min(*available, *total);
  const std::uint64_t swapTotal = ProcField(*meminfo, "SwapTotal").value_or(0);
  const std::uint64_t swapFree = std::min(ProcField(*meminfo, "SwapFree").value_or(0), swapTotal);
  constexpr std::uint64_t kB = 1024;
  constexpr std::uint64_t kUserSpace = 0x7FFE0000;  // 2 GB less the guard areas
  status.dwMemoryLoad = static_cast<DWORD>((*total - availablePhys) * 100 / *total);
  status.ullTotalPhys = *total * kB;
  status.ullAvailPhys = availablePhys * kB;
  status.ullTotalPageFile = (*total + swapTotal) * kB;
  status.ullAvailPageFile = (availablePhys + swapFree) * kB;
  status.ullTotalVirtual = kUserSpace;
  status.ullAvailVirtual = kUserSpace;
  status.ullAvailExtendedVirtual = 0;
  SetLastError(ERROR_SUCCESS);
  return true;
}

}  // namespace win
