#pragma once
// Processes of the real host, opened and read through /proc as the process
// calls of the platform expect. Fernwick's own process opens with any
// access. Another one opens with all access only where the kernel would let
// us trim it (CAP_SYS_NICE and ptrace read), with query and read rights
// where its /proc entry is readable, else not at all. Handles are closed
// with CloseHandle.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/processes/KernelHandles.h"

namespace win {

using SIZE_T = std::size_t;

constexpr DWORD PROCESS_TERMINATE = 0x0001;
constexpr DWORD PROCESS_VM_READ = 0x0010;
constexpr DWORD PROCESS_SET_QUOTA = 0x0100;
constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
constexpr DWORD PROCESS_ALL_ACCESS = 0x1F0FFF;
constexpr DWORD SYNCHRONIZE = 0x00100000;

struct PROCESS_MEMORY_COUNTERS {
  DWORD cb = sizeof(PROCESS_MEMORY_COUNTERS);
  DWORD PageFaultCount = 0;
  SIZE_T PeakWorkingSetSize = 0;
  SIZE_T WorkingSetSize = 0;
  SIZE_T QuotaPeakPagedPoolUsage = 0;
  SIZE_T QuotaPagedPoolUsage = 0;
  SIZE_T QuotaPeakNonPagedPoolUsage = 0;
  SIZE_T QuotaNonPagedPoolUsage = 0;
  SIZE_T PagefileUsage = 0;
  SIZE_T PeakPagefileUsage = 0;
};

DWORD GetCurrentProcessId();

// ERROR_INVALID_PARAMETER for no such process, ERROR_ACCESS_DENIED as above.
HANDLE OpenProcess(DWORD access, bool inheritHandle, DWORD processId);
// The main module's path: a Windows path when the executable lies on a
// drive of the machine, else the host path. Length copied (without the
// terminator), 0 on failure; a short buffer gets the truncated path.
DWORD GetModuleFileNameEx(HANDLE process, HANDLE module, char* fileName, DWORD size);
// Working set now (VmRSS) and at its peak (VmHWM), page faults, private bytes.
bool GetProcessMemoryInfo(HANDLE process, PROCESS_MEMORY_COUNTERS& counters, DWORD cb);
// File times: creation (UTC); exit 0 while it runs; kernel and user time.
bool GetProcessTimes(HANDLE process, FileTime& creation, FileTime& exit, FileTime& kernel,
                     FileTime& user);
// From the nice value and the scheduling policy; 0 on failure.
DWORD GetPriorityClass(HANDLE process);
// Both sizes (SIZE_T)-1: asks the kernel to page out the process's private
// pages now (anonymous ones only where there is swap; clean file pages are
// dropped). Needs PROCESS_SET_QUOTA. Other sizes: ERROR_CALL_NOT_IMPLEMENTED.
bool SetProcessWorkingSetSize(HANDLE process, SIZE_T minimum, SIZE_T maximum);

// Whether the kernel can page out memory: MADV_PAGEOUT for this process,
// process_madvise as well for others. Where it cannot, trimming fails with
// ERROR_CALL_NOT_IMPLEMENTED. Tests may set what is found; nullopt goes
// back to what the kernel said.
struct PageOutSupport {
  bool self = true;
  bool others = true;
};
PageOutSupport HostPageOutSupport();
void SetPageOutSupportForTests(std::optional<PageOutSupport> support);

// Whether this process holds CAP_SYS_NICE (needed to trim other processes).
bool HoldsSysNice();

}  // namespace win
