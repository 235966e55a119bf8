#pragma once
// The "Memory Optimize" tool without its window: the memory figures and the
// two history charts of each refresh, and Optimize, which empties the
// working set of every process it may trim.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/processes/MemoryStatus.h"
#include "platform/processes/ProcessSnapshot.h"
#include "platform/processes/Processes.h"

namespace tools {

struct TProcess {
  win::HANDLE Handle = 0;
  std::string ExeName;
  std::string ModulePath;
  win::DWORD ProcessID = 0;
  win::DWORD UsageCount = 0;
  std::int32_t BasePriority = 0;
  win::DWORD ParentID = 0;
  win::DWORD PageFaults = 0;
  win::SIZE_T PeakWorkingSet = 0;
  win::SIZE_T WorkingSet = 0;
  win::FileTime CreationTime = 0, ExitTime = 0, KernelTime = 0, UserTime = 0;
  win::DWORD PriorityClass = 0;
};

// The process calls Optimize makes; the program uses the host's, tests a
// fake so that nothing else is trimmed.
class ProcessCalls {
 public:
  virtual ~ProcessCalls() = default;
  // The entries of one tool-help snapshot, in its order.
  virtual std::vector<win::PROCESSENTRY32> Snapshot();
  virtual win::HANDLE Open(win::DWORD access, win::DWORD processId);
  virtual std::string ModuleFileName(win::HANDLE process);
  virtual bool MemoryInfo(win::HANDLE process, win::PROCESS_MEMORY_COUNTERS& counters);
  virtual bool Times(win::HANDLE process, win::FileTime& creation, win::FileTime& exit,
                     win::FileTime& kernel, win::FileTime& user);
  virtual win::DWORD PriorityClass(win::HANDLE process);
  virtual bool EmptyWorkingSet(win::HANDLE process);
  virtual bool Close(win::HANDLE handle);
};
ProcessCalls& HostProcessCalls();

// The horizontal gauge shown while working sets are emptied.
class TrimGaugeView {
 public:
  virtual ~TrimGaugeView() = default;
  virtual void ShowTrimGauge(int count) = 0;  // shown at 0
  virtual void StepTrimGauge() = 0;
  virtual void HideTrimGauge() = 0;  // back to 0, hidden
};

extern const char* const kOptimizedMessage;
extern const char* const kNothingTrimmedMessage;

class MemoryOptimizer {
 public:
  explicit MemoryOptimizer(ProcessCalls& calls) : calls_(calls) {}
  ~MemoryOptimizer() { CloseProcessList(); }
  MemoryOptimizer(const MemoryOptimizer&) = delete;
  MemoryOptimizer& operator=(const MemoryOptimizer&) = delete;

  void BuildProcessList();
  // Opens each process with all access, else for queries; reads what the
  // handle allows. A process that does not open keeps handle 0.
  void OpenProcessList();
  // Empties each working set in order; gives how many were emptied.
  int TrimWorkingSets(TrimGaugeView& gauge);
  void CloseProcessList();
  const std::vector<TProcess>& Processes() const { return processes_; }

 private:
  ProcessCalls& calls_;
  std::vector<TProcess> processes_;
};

// The four steps and the message: success when at least one working set
// was emptied, else the warning.
int OptimizeMemory(ProcessCalls& calls, TrimGaugeView& gauge);

// A history chart's series: always kHistoryPoints points with consecutive
// X; each refresh drops the oldest and appends one.
constexpr int kHistoryPoints = 50;
struct ChartPoint {
  double x = 0;
  double y = 0;
};
class HistorySeries {
 public:
  HistorySeries();  // 50 points at 0
  void Scroll(double y);
  const std::vector<ChartPoint>& Points() const { return points_; }

 private:
  std::vector<ChartPoint> points_;
};

// What one refresh shows of the memory status.
struct MemoryDisplay {
  std::int64_t totalPhysMB = 0;  // byte counts shifted right by 20
  std::int64_t usedPhysMB = 0;
  std::int64_t usedPageMB = 0;
  std::string pmTotal, pmUsage, pmFree;  // "%d MB", rounded
  std::string vmTotal, vmUsage, vmFree;
  std::string pmu, vmu;  // "<n> MB" of the shifted figures
};
MemoryDisplay MemoryDisplayOf(const win::MEMORYSTATUSEX& status);
std::string LoadText(double load);  // "37%"

}  // namespace tools
