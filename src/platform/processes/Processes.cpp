#include "platform/processes/Processes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

#include "platform/machine/Machine.h"
#include "platform/processes/HostProc.h"
#include "platform/processes/ProcessSnapshot.h"

namespace win {

namespace {

constexpr DWORD kQueryRights =
    PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;

class Process : public KernelObject {
 public:
  ~Process() override {
    if (pidfd >= 0) close(pidfd);
  }
  DWORD pid = 0;
  DWORD access = 0;
  std::uint64_t startTicks = 0;
  int pidfd = -1;
};

// The process of a handle with the rights asked for, still the same
// process that was opened.
std::shared_ptr<Process> ProcessFor(HANDLE handle, DWORD rights) {
  auto process = KernelObjectAs<Process>(handle);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if ((process->access & rights) == 0 && rights != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const auto stat = ReadHostProcStat(process->pid);
  if (!stat || stat->startTicks != process->startTicks) {
    SetLastError(ERROR_INVALID_PARAMETER);  // it has ended
    return nullptr;
  }
  return process;
}

std::string ProcPath(DWORD pid, const char* name) {
  return HostProcFolder() + "/" + std::to_string(pid) + "/" + name;
}

// Whether we may read the process's memory map (the kernel's ptrace read check).
bool PtraceReadable(DWORD pid) {
  const int fd = open(ProcPath(pid, "environ").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

FileTime TicksToFileTime(std::uint64_t ticks) { return ticks * (10000000 / HostClockTicks()); }

// Host path -> "C:\..." when it lies in a drive folder of the machine.
std::string WindowsPathOf(const std::string& host) {
  const Machine* machine = CurrentMachine();
  if (machine == nullptr) return host;
  for (const DriveEntry& drive : machine->Config().drives) {
    const std::string folder = machine->DriveFolder(drive.letter);
    if (folder.empty() || host.size() <= folder.size() + 1 || host.compare(0, folder.size(), folder) != 0 ||
        host[folder.size()] != '/')
      continue;
    std::string path = std::string(1, drive.letter) + ":" + host.substr(folder.size());
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }
  return host;
}

struct Range {
  std::uintptr_t start = 0, end = 0;
};

// Private mappings of a maps text; the kernel's own areas are left out.
std::vector<Range> PrivateRanges(const std::string& maps) {
  std::vector<Range> ranges;
  std::istringstream lines(maps);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string span, perms, offset, device, inode, name;
    fields >> span >> perms >> offset >> device >> inode >> name;
    if (perms.size() < 4 || perms[3] != 'p' || (!name.empty() && name[0] == '[' && name != "[heap]" &&
                                                name.rfind("[stack", 0) != 0))
      continue;
    const std::size_t dash = span.find('-');
    if (dash == std::string::npos) continue;
    Range range;
    range.start = std::stoull(span.substr(0, dash), nullptr, 16);
    range.end = std::stoull(span.substr(dash + 1), nullptr, 16);
    if (range.end > range.start) ranges.push_back(range);
  }
  return ranges;
}

std::optional<PageOutSupport>& SupportOverride() {
  static std::optional<PageOutSupport> support;
  return support;
}

// MADV_PAGEOUT on a page of our own: EINVAL where the kernel does not know it.
bool KernelKnowsPageOut() {
  const long page = sysconf(_SC_PAGESIZE);
  void* area = mmap(nullptr, static_cast<std::size_t>(page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) return false;
  static_cast<volatile char*>(area)[0] = 1;
  const bool known = madvise(area, static_cast<std::size_t>(page), MADV_PAGEOUT) == 0 || errno != EINVAL;
  munmap(area, static_cast<std::size_t>(page));
  return known;
}

// process_madvise on no process: ENOSYS where the kernel has no such call.
bool KernelHasProcessMadvise() {
  return syscall(SYS_process_madvise, -1, nullptr, 0, MADV_PAGEOUT, 0) == 0 || errno != ENOSYS;
}

bool PageOutSelf() {
  const auto maps = ReadHostProcFile("self/maps");
  if (!maps) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  // Ranges the kernel will not page out (locked, special) are skipped.
  for (const Range& range : PrivateRanges(*maps))
    madvise(reinterpret_cast<void*>(range.start), range.end - range.start, MADV_PAGEOUT);
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool PageOutOther(const Process& process) {
  const auto maps = ReadHostProcFile(std::to_string(process.pid) + "/maps");
  if (!maps || process.pidfd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const std::vector<Range> ranges = PrivateRanges(*maps);
  constexpr std::size_t kBatch = 512;  // well below IOV_MAX
  for (std::size_t first = 0; first < ranges.size(); first += kBatch) {
    std::vector<iovec> vectors;
    for (std::size_t i = first; i < std::min(ranges.size(), first + kBatch); ++i)
      vectors.push_back({reinterpret_cast<void*>(ranges[i].start), ranges[i].end - ranges[i].start});
    if (syscall(SYS_process_madvise, process.pidfd, vectors.data(), vectors.size(), MADV_PAGEOUT, 0) < 0 &&
        (errno == EPERM || errno == EACCES || errno == ESRCH || errno == ENOSYS)) {
      SetLastError(errno == ESRCH    ? ERROR_INVALID_PARAMETER
                   : errno == ENOSYS ? ERROR_CALL_NOT_IMPLEMENTED
                                     : ERROR_ACCESS_DENIED);
      return false;
    }
  }
  SetLastError(ERROR_SUCCESS);
  return true;
}

}  // namespace

PageOutSupport HostPageOutSupport() {
  if (SupportOverride()) return *SupportOverride();
  static const PageOutSupport support = [] {
    PageOutSupport found;
    found.self = KernelKnowsPageOut();
    found.others = found.self && KernelHasProcessMadvise();
    return found;
  }();
  return support;
}

void SetPageOutSupportForTests(std::optional<PageOutSupport> support) { SupportOverride() = support; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

bool HoldsSysNice() {
  const auto status = ReadHostProcFile("self/status");
  if (!status) return false;
  const std::size_t at = status->find("CapEff:");
  if (at == std::string::npos) return false;
  std::uint64_t caps = 0;
  std::istringstream(status->substr(at + 7)) >> std::hex >> caps;
  constexpr int kSysNice = 23;
  return (caps >> kSysNice & 1) != 0;
}

HANDLE OpenProcess(DWORD access, bool /*inheritHandle*/, DWORD processId) {
  const auto stat = processId == 0 ? std::nullopt : ReadHostProcStat(processId);
  if (!stat) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const bool own = processId == GetCurrentProcessId();
  if (!own && (access & ~kQueryRights) != 0 && !(HoldsSysNice() && PtraceReadable(processId))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  auto process = std::make_shared<Process>();
  process->pid = processId;
  process->access = access;
  process->startTicks = stat->startTicks;
  if (!own && (access & PROCESS_SET_QUOTA) != 0) {
    process->pidfd = static_cast<int>(syscall(SYS_pidfd_open, processId, 0));
    // The pidfd must name the process whose stat we read.
    const auto again = ReadHostProcStat(processId);
    if (process->pidfd < 0 || !again || again->startTicks != stat->startTicks) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }
  SetLastError(ERROR_SUCCESS);
  return AddKernelObject(std::move(process));
}

DWORD GetModuleFileNameEx(HANDLE handle, HANDLE /*module*/, char* fileName, DWORD size) {
  const auto process = ProcessFor(handle, PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION);
  if (!process || fileName == nullptr || size == 0) {
    if (process) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::string target(4096, '\0');
  const ssize_t length = readlink(ProcPath(process->pid, "exe").c_str(), target.data(), target.size() - 1);
  if (length <= 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  target.resize(static_cast<std::size_t>(length));
  const std::string path = WindowsPathOf(target);
  const std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
  std::memcpy(fileName, path.data(), copied);
  fileName[copied] = '\0';
  SetLastError(copied < path.size() ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
  return static_cast<DWORD>(copied);
}

bool GetProcessMemoryInfo(HANDLE handle, PROCESS_MEMORY_COUNTERS& counters, DWORD cb) {
  const auto process = ProcessFor(handle, PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION);
  if (!process) return false;
  if (cb < sizeof(PROCESS_MEMORY_COUNTERS)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  const auto status = ReadHostProcFile(std::to_string(process->pid) + "/status");
  const auto stat = ReadHostProcStat(process->pid);
  if (!status || !stat) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const auto kb = [&](const char* name) { return static_cast<SIZE_T>(ProcField(*status, name).value_or(0) * 1024); };
  counters = PROCESS_MEMORY_COUNTERS{};
  counters.PageFaultCount = static_cast<DWORD>(stat->minorFaults + stat->majorFaults);
  counters.WorkingSetSize = kb("VmRSS");
  counters.PeakWorkingSetSize = std::max(kb("VmHWM"), counters.WorkingSetSize);
  counters.PagefileUsage = kb("RssAnon") + kb("VmSwap");
  counters.PeakPagefileUsage = counters.PagefileUsage;
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool GetProcessTimes(HANDLE handle, FileTime& creation, FileTime& exit, FileTime& kernel, FileTime& user) {
  const auto process = ProcessFor(handle, PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION);
  if (!process) return false;
  const auto stat = ReadHostProcStat(process->pid);
  const auto procStat = ReadHostProcFile("stat");
  const auto boot = procStat ? ProcStatField(*procStat, "btime") : std::nullopt;
  if (!stat) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  constexpr FileTime kUnixEpoch = 116444736000000000ULL;
  creation = kUnixEpoch + (boot ? *boot * 10000000ULL : 0) + TicksToFileTime(stat->startTicks);
  exit = 0;
  kernel = TicksToFileTime(stat->kernelTicks);
  user = TicksToFileTime(stat->userTicks);
  SetLastError(ERROR_SUCCESS);
  return true;
}

DWORD GetPriorityClass(HANDLE handle) {
  const auto process = ProcessFor(handle, PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION);
  if (!process) return 0;
  const auto stat = ReadHostProcStat(process->pid);
  if (!stat) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return PriorityClassOf(stat->nice, stat->policy);
}

bool SetProcessWorkingSetSize(HANDLE handle, SIZE_T minimum, SIZE_T maximum) {
  const auto process = ProcessFor(handle, PROCESS_SET_QUOTA);
  if (!process) return false;
  if (minimum != static_cast<SIZE_T>(-1) || maximum != static_cast<SIZE_T>(-1)) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  const bool own = process->pid == GetCurrentProcessId();
  const PageOutSupport support = HostPageOutSupport();
  if (!(own ? support.self : support.others)) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  return own ? PageOutSelf() : PageOutOther(*process);
}

}  // namespace win
