#include "platform/processes/ProcessSnapshot.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/processes/HostProc.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

std::mutex overrideMutex;
std::optional<std::vector<ProcessListEntry>>& Override() {
  static std::optional<std::vector<ProcessListEntry>> list;
  return list;
}

class Snapshot : public KernelObject {
 public:
  std::vector<ProcessListEntry> entries;
  std::size_t next = 0;
};

std::string FileNamePart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable's file name: from the exe link where we may read it, else
// from the command line, else the kernel's short name.
std::string ExeNameOf(std::uint32_t pid, const std::string& comm) {
  const std::string link = HostProcFolder() + "/" + std::to_string(pid) + "/exe";
  std::string target(4096, '\0');
  const ssize_t length = readlink(link.c_str(), target.data(), target.size() - 1);
  if (length > 0) {
    target.resize(static_cast<std::size_t>(length));
    const std::string deleted = " (deleted)";
    if (target.size() > deleted.size() &&
        target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
      target.resize(target.size() - deleted.size());
    const std::string name = FileNamePart(target);
    if (!name.empty()) return name;
  }
  const auto cmdline = ReadHostProcFile(std::to_string(pid) + "/cmdline");
  if (cmdline && !cmdline->empty()) {
    const std::string name = FileNamePart(cmdline->substr(0, cmdline->find('\0')));
    if (!name.empty()) return name;
  }
  return comm;
}

std::vector<ProcessListEntry> HostProcessList() {
  std::vector<ProcessListEntry> list;
  for (const std::uint32_t pid : HostProcessIds()) {
    const auto stat = ReadHostProcStat(pid);
    if (!stat) continue;  // ended meanwhile, or unreadable
    ProcessListEntry entry;
    entry.processId = pid;
    entry.parentProcessId = stat->parentPid;
    entry.threads = stat->threads;
    entry.basePriority = BasePriorityOf(PriorityClassOf(stat->nice, stat->policy));
    entry.exeName = ExeNameOf(pid, stat->comm);
    list.push_back(std::move(entry));
  }
  return list;
}

bool FillEntry(Snapshot& snapshot, PROCESSENTRY32& entry) {
  if (entry.dwSize != kProcessEntry32Size) {
    SetLastError(ERROR_BAD_LENGTH);
    return false;
  }
  if (snapshot.next >= snapshot.entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return false;
  }
  const ProcessListEntry& process = snapshot.entries[snapshot.next++];
  entry.cntUsage = 0;
  entry.th32ProcessID = process.processId;
  entry.th32DefaultHeapID = 0;
  entry.th32ModuleID = 0;
  entry.cntThreads = process.threads;
  entry.th32ParentProcessID = process.parentProcessId;
  entry.pcPriClassBase = process.basePriority;
  entry.dwFlags = 0;
  std::memset(entry.szExeFile, 0, sizeof entry.szExeFile);
  std::memcpy(entry.szExeFile, process.exeName.data(),
              std::min(process.exeName.size(), sizeof entry.szExeFile - 1));
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool Walk(HANDLE handle, PROCESSENTRY32& entry, bool first) {
  const auto snapshot = KernelObjectAs<Snapshot>(handle);
  if (!snapshot) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (first) snapshot->next = 0;
  return FillEntry(*snapshot, entry);
}

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD /*processId*/) {
  if ((flags & TH32CS_SNAPPROCESS) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->entries = RunningProcessList();
  SetLastError(ERROR_SUCCESS);
  return AddKernelObject(std::move(snapshot));
}

bool Process32First(HANDLE snapshot, PROCESSENTRY32& entry) { return Walk(snapshot, entry, true); }
bool Process32Next(HANDLE snapshot, PROCESSENTRY32& entry) { return Walk(snapshot, entry, false); }

std::vector<ProcessListEntry> RunningProcessList() {
  {
    std::lock_guard lock(overrideMutex);
    if (Override()) return *Override();
  }
  return HostProcessList();
}

std::vector<std::string> RunningProcessNames() {
  std::vector<std::string> names;
  for (const ProcessListEntry& process : RunningProcessList()) names.push_back(process.exeName);
  return names;
}

bool IsProcessRunning(const std::string& exeName) {
  const std::string wanted = UpperName(exeName);
  for (const ProcessListEntry& process : RunningProcessList())
    if (UpperName(process.exeName) == wanted) return true;
  return false;
}

void SetProcessListForTests(std::optional<std::vector<ProcessListEntry>> processes) {
  std::lock_guard lock(overrideMutex);
  if (processes)
    std::sort(processes->begin(), processes->end(),
              [](const ProcessListEntry& a, const ProcessListEntry& b) { return a.processId < b.processId; });
  Override() = std::move(processes);
}

DWORD PriorityClassOf(std::int64_t nice, std::uint32_t policy) {
  constexpr std::uint32_t kFifo = 1, kRoundRobin = 2;
  if (policy == kFifo || policy == kRoundRobin) return REALTIME_PRIORITY_CLASS;
  if (nice <= -10) return HIGH_PRIORITY_CLASS;
  if (nice < 0) return ABOVE_NORMAL_PRIORITY_CLASS;
  if (nice == 0) return NORMAL_PRIORITY_CLASS;
  if (nice < 10) return BELOW_NORMAL_PRIORITY_CLASS;
  return IDLE_PRIORITY_CLASS;
}

std::int32_t BasePriorityOf(DWORD priorityClass) {
  switch (priorityClass) {
    case IDLE_PRIORITY_CLASS: return 4;
    case BELOW_NORMAL_PRIORITY_CLASS: return 6;
    case ABOVE_NORMAL_PRIORITY_CLASS: return 10;
    case HIGH_PRIORITY_CLASS: return 13;
    case REALTIME_PRIORITY_CLASS: return 24;
    default: return 8;
  }
}

}  // namespace win
