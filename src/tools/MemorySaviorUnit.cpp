#include "tools/MemorySaviorUnit.h"

#include <cmath>

#include "shell/Dialogs.h"

namespace tools {

const char* const kOptimizedMessage = "Memory Optimizes Successfully!";
const char* const kNothingTrimmedMessage = "No working set could be emptied.";

namespace {

constexpr win::DWORD kQueryAccess = win::PROCESS_QUERY_INFORMATION | win::PROCESS_VM_READ;

bool HasDrivePart(const std::string& path) { return path.size() >= 2 && path[1] == ':'; }

std::string FileNamePart(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string MegabytesText(std::uint64_t bytes) {
  return std::to_string(static_cast<std::int64_t>(std::nearbyint(static_cast<double>(bytes) / 1048576.0))) + " MB";
}

}  // namespace

std::vector<win::PROCESSENTRY32> ProcessCalls::Snapshot() {
  std::vector<win::PROCESSENTRY32> entries;
  const win::HANDLE snapshot = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPPROCESS, 0);
  if (snapshot == win::INVALID_HANDLE_VALUE) return entries;
  win::PROCESSENTRY32 entry;
  for (bool more = win::Process32First(snapshot, entry); more; more = win::Process32Next(snapshot, entry))
    entries.push_back(entry);
  win::CloseHandle(snapshot);
  return entries;
}

win::HANDLE ProcessCalls::Open(win::DWORD access, win::DWORD processId) {
  return win::OpenProcess(access, false, processId);
}

std::string ProcessCalls::ModuleFileName(win::HANDLE process) {
  char path[1024] = {};
  const win::DWORD length = win::GetModuleFileNameEx(process, 0, path, sizeof path);
  return std::string(path, length);
}

bool ProcessCalls::MemoryInfo(win::HANDLE process, win::PROCESS_MEMORY_COUNTERS& counters) {
  return win::GetProcessMemoryInfo(process, counters, sizeof counters);
}

bool ProcessCalls::Times(win::HANDLE process, win::FileTime& creation, win::FileTime& exit,
                         win::FileTime& kernel, win::FileTime& user) {
  return win::GetProcessTimes(process, creation, exit, kernel, user);
}

win::DWORD ProcessCalls::PriorityClass(win::HANDLE process) { return win::GetPriorityClass(process); }

bool ProcessCalls::EmptyWorkingSet(win::HANDLE process) {
  return win::SetProcessWorkingSetSize(process, static_cast<win::SIZE_T>(-1), static_cast<win::SIZE_T>(-1));
}

bool ProcessCalls::Close(win::HANDLE handle) { return win::CloseHandle(handle); }

ProcessCalls& HostProcessCalls() {
  static ProcessCalls calls;
  return calls;
}

void MemoryOptimizer::BuildProcessList() {
  CloseProcessList();
  for (const win::PROCESSENTRY32& entry : calls_.Snapshot()) {
    TProcess process;
    process.ProcessID = entry.th32ProcessID;
    process.ExeName = entry.szExeFile;
    process.UsageCount = entry.cntUsage;
    process.BasePriority = entry.pcPriClassBase;
    process.ParentID = entry.th32ParentProcessID;
    processes_.push_back(std::move(process));
  }
}

void MemoryOptimizer::OpenProcessList() {
  for (TProcess& process : processes_) {
    process.Handle = calls_.Open(win::PROCESS_ALL_ACCESS, process.ProcessID);
    if (process.Handle == 0) process.Handle = calls_.Open(kQueryAccess, process.ProcessID);
    if (process.Handle == 0) continue;
    process.ModulePath = calls_.ModuleFileName(process.Handle);
    if (!HasDrivePart(process.ModulePath)) process.ModulePath = FileNamePart(process.ModulePath);
    win::PROCESS_MEMORY_COUNTERS counters;
    if (calls_.MemoryInfo(process.Handle, counters)) {
      process.PageFaults = counters.PageFaultCount;
      process.PeakWorkingSet = counters.PeakWorkingSetSize;
      process.WorkingSet = counters.WorkingSetSize;
    }
    calls_.Times(process.Handle, process.CreationTime, process.ExitTime, process.KernelTime, process.UserTime);
    process.PriorityClass = calls_.PriorityClass(process.Handle);
  }
}

int MemoryOptimizer::TrimWorkingSets(TrimGaugeView& gauge) {
  int emptied = 0;
  gauge.ShowTrimGauge(static_cast<int>(processes_.size()));
  for (const TProcess& process : processes_) {
    if (process.Handle != 0 && calls_.EmptyWorkingSet(process.Handle)) ++emptied;
    gauge.StepTrimGauge();
  }
  gauge.HideTrimGauge();
  return emptied;
}

void MemoryOptimizer::CloseProcessList() {
  for (const TProcess& process : processes_)
    if (process.Handle != 0) calls_.Close(process.Handle);
  processes_.clear();
}

int OptimizeMemory(ProcessCalls& calls, TrimGaugeView& gauge) {
  MemoryOptimizer optimizer(calls);
  optimizer.BuildProcessList();
  optimizer.OpenProcessList();
  const int emptied = optimizer.TrimWorkingSets(gauge);
  optimizer.CloseProcessList();
  if (emptied > 0) CurrentDialogs().MessageBox(kOptimizedMessage, "Fernwick", MB_OK);
  else CurrentDialogs().MessageBox(kNothingTrimmedMessage, "Fernwick", MB_ICONWARNING);
  return emptied;
}

HistorySeries::HistorySeries() {
  for (int i = 0; i < kHistoryPoints; ++i) points_.push_back({static_cast<double>(i), 0});
}

void HistorySeries::Scroll(double y) {
  const double step = points_.size() > 1 ? points_[1].x - points_[0].x : 1;
  const double last = points_.empty() ? 0 : points_.back().x;
  if (!points_.empty()) points_.erase(points_.begin());
  points_.push_back({last + step, y});
}

MemoryDisplay MemoryDisplayOf(const win::MEMORYSTATUSEX& status) {
  MemoryDisplay display;
  const auto mb = [](std::uint64_t bytes) { return static_cast<std::int64_t>(bytes >> 20); };
  display.totalPhysMB = mb(status.ullTotalPhys);
  display.usedPhysMB = mb(status.ullTotalPhys) - mb(status.ullAvailPhys);
  display.usedPageMB = mb(status.ullTotalPageFile) - mb(status.ullAvailPageFile);
  display.pmu = std::to_string(display.usedPhysMB) + " MB";
  display.vmu = std::to_string(display.usedPageMB) + " MB";
  display.pmTotal = MegabytesText(status.ullTotalPhys);
  display.pmFree = MegabytesText(status.ullAvailPhys);
  display.pmUsage = MegabytesText(status.ullTotalPhys - status.ullAvailPhys);
  display.vmTotal = MegabytesText(status.ullTotalPageFile);
  display.vmFree = MegabytesText(status.ullAvailPageFile);
  display.vmUsage = MegabytesText(status.ullTotalPageFile - status.ullAvailPageFile);
  return display;
}

std::string LoadText(double load) { return std::to_string(static_cast<int>(load)) + "%"; }

}  // namespace tools
