#pragma once
// Tool-help process snapshots of the real host, from /proc: one entry per
// process with its id, executable name, parent, thread count and base
// priority. Tests may put a list of their own in place of the host's.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes/KernelHandles.h"

namespace win {

constexpr DWORD TH32CS_SNAPPROCESS = 0x2;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_BAD_LENGTH = 24;
constexpr std::size_t MAX_PATH = 260;

// Priority classes and the base priority of each.
constexpr DWORD IDLE_PRIORITY_CLASS = 0x40;
constexpr DWORD BELOW_NORMAL_PRIORITY_CLASS = 0x4000;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;
constexpr DWORD ABOVE_NORMAL_PRIORITY_CLASS = 0x8000;
constexpr DWORD HIGH_PRIORITY_CLASS = 0x80;
constexpr DWORD REALTIME_PRIORITY_CLASS = 0x100;

// The size a caller puts into dwSize, as the 32-bit record has it.
constexpr DWORD kProcessEntry32Size = 296;

struct PROCESSENTRY32 {
  DWORD dwSize = kProcessEntry32Size;
  DWORD cntUsage = 0;
  DWORD th32ProcessID = 0;
  std::uintptr_t th32DefaultHeapID = 0;
  DWORD th32ModuleID = 0;
  DWORD cntThreads = 0;
  DWORD th32ParentProcessID = 0;
  std::int32_t pcPriClassBase = 0;
  DWORD dwFlags = 0;
  char szExeFile[MAX_PATH] = {};
};

// flags must hold TH32CS_SNAPPROCESS (else ERROR_INVALID_PARAMETER); the
// process id is ignored for process lists. INVALID_HANDLE_VALUE on failure.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
// ERROR_BAD_LENGTH when dwSize is not kProcessEntry32Size; ERROR_NO_MORE_FILES
// past the last entry.
bool Process32First(HANDLE snapshot, PROCESSENTRY32& entry);
bool Process32Next(HANDLE snapshot, PROCESSENTRY32& entry);

// One running process as a snapshot lists it.
struct ProcessListEntry {
  DWORD processId = 0;
  DWORD parentProcessId = 0;
  DWORD threads = 0;
  std::int32_t basePriority = 8;
  std::string exeName;  // file name only
};

// The running processes in ascending id order: the test list when one is
// set, else the host's. A process that ends during the walk is left out.
std::vector<ProcessListEntry> RunningProcessList();
// Executable names of the running processes.
std::vector<std::string> RunningProcessNames();
// Whether a process of that executable name runs (letter case ignored).
bool IsProcessRunning(const std::string& exeName);

// Replaces the host's list for tests; nullopt gives the host's back.
void SetProcessListForTests(std::optional<std::vector<ProcessListEntry>> processes);

// The priority class of a nice value and scheduling policy, and the base
// priority of a class.
DWORD PriorityClassOf(std::int64_t nice, std::uint32_t policy);
std::int32_t BasePriorityOf(DWORD priorityClass);

}  // namespace win
