#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

#include "platform/processes/HostProc.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"
#include "tools/CPUUsageUnit.h"
#include "tools/MemorySaviorUnit.h"

using namespace tools;

namespace {

class ScriptedSamples {
 public:
  ScriptedSamples() {
    ResetProcessorLoad();
    SetProcessorSampler([this](win::ProcessorTimes& times) {
      if (!ok) return false;
      times = next;
      return true;
    });
  }
  ~ScriptedSamples() {
    SetProcessorSampler({});
    ResetProcessorLoad();
  }
  // Advances the clock by elapsed and the idle time by idle.
  int Sample(double idle, double elapsed, unsigned processors) {
    next.idleTime += static_cast<std::uint64_t>(idle);
    next.systemTime += static_cast<std::uint64_t>(elapsed);
    next.processors = processors;
    return GetCPUUsage();
  }
  win::ProcessorTimes next{0, 10000000, 1};
  bool ok = true;
};

TEST(CPUUsageTest, LoadTable) {
  ScriptedSamples samples;
  ResetProcessMessagesCount();
  EXPECT_EQ(samples.Sample(0, 0, 1), 0);  // first sample
  EXPECT_EQ(ProcessMessagesCount(), 0);
  const struct {
    double idle, elapsed;
    unsigned processors;
    int load;
  } rows[] = {
      {0, 1e7, 1, 100},      // one processor, never idle
      {1e7, 1e7, 1, 0},      // all idle: 0.5 rounds down to even
      {1e7, 1e7, 4, 76},     // one of four idle: 75.5 to even
      {3e7, 1e7, 4, 26},     // three of four: 25.5 to even
      {4e7, 1e7, 4, 0},
      {0.3e7, 1e7, 1, 70},   // 70.5 to even
      {0, 0, 1, 70},         // no time passed: the previous value
      {3e7, 1e7, 1, 0},      // more idle than time: clamped
      {0, 1e7, 2, 100},
  };
  for (const auto& row : rows)
    EXPECT_EQ(samples.Sample(row.idle, row.elapsed, row.processors), row.load)
        << row.idle << " " << row.elapsed << " " << row.processors;
  EXPECT_EQ(ProcessMessagesCount(), 9);
  samples.ok = false;
  EXPECT_EQ(samples.Sample(0, 1e7, 1), 100);  // a failed sample keeps the last one

  samples.ok = true;
  const std::uint8_t platform = PlatformCode;
  for (const std::uint8_t code : {1, 2}) {
    PlatformCode = code;
    EXPECT_EQ(GetProcessorLoad(), 0) << int(code);
  }
  PlatformCode = 4;
  EXPECT_EQ(GetProcessorLoad(), 100);
  PlatformCode = platform;
}

TEST(MemorySaviorTest, HistoryKeepsFiftyConsecutivePoints) {
  HistorySeries series;
  for (int tick = 1; tick <= 60; ++tick) {
    series.Scroll(tick);
    ASSERT_EQ(series.Points().size(), 50u);
    for (std::size_t i = 1; i < series.Points().size(); ++i)
      ASSERT_EQ(series.Points()[i].x, series.Points()[i - 1].x + 1);
  }
  EXPECT_EQ(series.Points().back().x, 109);
  EXPECT_EQ(series.Points().back().y, 60);
  EXPECT_EQ(series.Points().front().y, 11);
}

TEST(MemorySaviorTest, MemoryFiguresAboveFourGigabytes) {
  win::MEMORYSTATUSEX status;
  status.ullTotalPhys = (16ULL << 30) + (1ULL << 19);       // 16384.5 MB
  status.ullAvailPhys = (5ULL << 30) + (3ULL << 19);        // 5121.5 MB
  status.ullTotalPageFile = (20ULL << 30);
  status.ullAvailPageFile = (9ULL << 30);
  const MemoryDisplay display = MemoryDisplayOf(status);
  EXPECT_EQ(display.totalPhysMB, 16384);
  EXPECT_EQ(display.usedPhysMB, 16384 - 5121);
  EXPECT_EQ(display.usedPageMB, 11264);
  EXPECT_EQ(display.pmTotal, "16384 MB");  // halves to even
  EXPECT_EQ(display.pmFree, "5122 MB");
  EXPECT_EQ(display.pmUsage, "11263 MB");
  EXPECT_EQ(display.vmTotal, "20480 MB");
  EXPECT_EQ(display.vmUsage, "11264 MB");
  EXPECT_EQ(display.vmFree, "9216 MB");
  EXPECT_EQ(display.pmu, "11263 MB");
  EXPECT_EQ(LoadText(37.9), "37%");
}

class RecordingGauge : public TrimGaugeView {
 public:
  void ShowTrimGauge(int count) override { log += "show " + std::to_string(count) + ";"; }
  void StepTrimGauge() override { log += "step;"; }
  void HideTrimGauge() override { log += "hide;"; }
  std::string log;
};

// Process 10 opens fully, 20 only for queries, 30 not at all.
class FakeCalls : public ProcessCalls {
 public:
  std::vector<win::PROCESSENTRY32> Snapshot() override {
    std::vector<win::PROCESSENTRY32> entries(3);
    const char* names[] = {"a.exe", "b", "c"};
    for (int i = 0; i < 3; ++i) {
      entries[i].th32ProcessID = static_cast<win::DWORD>(10 * (i + 1));
      std::snprintf(entries[i].szExeFile, sizeof entries[i].szExeFile, "%s", names[i]);
    }
    return entries;
  }
  win::HANDLE Open(win::DWORD access, win::DWORD pid) override {
    opens.push_back({access, pid});
    if (pid == 30 || (pid == 20 && access == win::PROCESS_ALL_ACCESS)) return 0;
    open[pid + 1000] = access;
    return pid + 1000;
  }
  std::string ModuleFileName(win::HANDLE handle) override {
    return handle == 1010 ? "C:\\Apps\\a.exe" : "/usr/bin/b";
  }
  bool MemoryInfo(win::HANDLE, win::PROCESS_MEMORY_COUNTERS& counters) override {
    counters.WorkingSetSize = 4096;
    return true;
  }
  bool Times(win::HANDLE, win::FileTime&, win::FileTime&, win::FileTime&, win::FileTime&) override {
    return true;
  }
  win::DWORD PriorityClass(win::HANDLE) override { return win::NORMAL_PRIORITY_CLASS; }
  bool EmptyWorkingSet(win::HANDLE handle) override {
    trims.push_back(handle);
    return trimWorks && open.at(handle) == win::PROCESS_ALL_ACCESS;
  }
  bool Close(win::HANDLE handle) override { return open.erase(handle) == 1; }

  std::vector<std::pair<win::DWORD, win::DWORD>> opens;
  std::map<win::HANDLE, win::DWORD> open;
  std::vector<win::HANDLE> trims;
  bool trimWorks = true;
};

TEST(MemorySaviorTest, OptimizeOpensWithFallbackTrimsAndClosesEverything) {
  ScriptedDialogs dialogs;
  FakeCalls calls;
  RecordingGauge gauge;
  {
    MemoryOptimizer optimizer(calls);
    optimizer.BuildProcessList();
    optimizer.OpenProcessList();
    const auto& list = optimizer.Processes();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].ModulePath, "C:\\Apps\\a.exe");
    EXPECT_EQ(list[1].ModulePath, "b");
    EXPECT_EQ(list[2].Handle, 0u);
    EXPECT_EQ(list[1].WorkingSet, 4096u);
  }
  EXPECT_TRUE(calls.open.empty());  // the optimizer closes what it opened
  EXPECT_EQ(calls.opens, (std::vector<std::pair<win::DWORD, win::DWORD>>{
                             {0x1F0FFF, 10}, {0x1F0FFF, 20}, {0x410, 20}, {0x1F0FFF, 30}, {0x410, 30}}));

  calls.opens.clear();
  EXPECT_EQ(OptimizeMemory(calls, gauge), 1);
  EXPECT_EQ(calls.trims, (std::vector<win::HANDLE>{1010, 1020}));
  EXPECT_TRUE(calls.open.empty());
  EXPECT_EQ(gauge.log, "show 3;step;step;step;hide;");

  calls.trimWorks = false;
  EXPECT_EQ(OptimizeMemory(calls, gauge), 0);
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[0].text, "Memory Optimizes Successfully!");
  EXPECT_EQ(dialogs.messages()[0].flags, 0u);
  EXPECT_EQ(dialogs.messages()[1].text, "No working set could be emptied.");
  EXPECT_EQ(dialogs.messages()[1].flags, 48u);
}

// A child running sleep, killed and reaped at the end.
class SleepingChild {
 public:
  SleepingChild() {
    pid_ = fork();
    if (pid_ == 0) {
      execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 300 && pid_ > 0; ++i) {
      const auto stat = win::ReadHostProcStat(static_cast<std::uint32_t>(pid_));
      if (stat && stat->comm == "sleep") break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~SleepingChild() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  SleepingChild(const SleepingChild&) = delete;
  SleepingChild& operator=(const SleepingChild&) = delete;
  win::DWORD pid() const { return static_cast<win::DWORD>(pid_); }

 private:
  pid_t pid_ = -1;
};

// The host's calls on a list of our own process and a child: the child is
// trimmed only with CAP_SYS_NICE. No other process is touched.
TEST(MemorySaviorTest, HostCallsTrimThisProcessAndAChild) {
  SleepingChild child;
  ASSERT_GT(child.pid(), 0u);
  win::SetProcessListForTests(std::vector<win::ProcessListEntry>{
      {win::GetCurrentProcessId(), 1, 1, 8, "test_tools"}, {child.pid(), 1, 1, 8, "sleep"}});
  ScriptedDialogs dialogs;
  RecordingGauge gauge;
  const std::size_t handles = win::OpenKernelHandleCount();
  const int emptied = OptimizeMemory(HostProcessCalls(), gauge);
  win::SetProcessListForTests(std::nullopt);
  EXPECT_EQ(emptied, win::HoldsSysNice() ? 2 : 1);
  EXPECT_EQ(win::OpenKernelHandleCount(), handles);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Memory Optimizes Successfully!");
}

// A kernel that cannot page out (no MADV_PAGEOUT, no process_madvise)
// empties no working set, and Optimize says so.
TEST(MemorySaviorTest, AKernelThatCannotPageOutTrimsNothingAndSaysSo) {
  SleepingChild child;
  ASSERT_GT(child.pid(), 0u);
  win::SetProcessListForTests(std::vector<win::ProcessListEntry>{
      {win::GetCurrentProcessId(), 1, 1, 8, "test_tools"}, {child.pid(), 1, 1, 8, "sleep"}});
  const struct {
    win::PageOutSupport support;
    int emptied;
    const char* message;
  } cases[] = {
      {{false, false}, 0, "No working set could be emptied."},
      {{true, false}, 1, "Memory Optimizes Successfully!"},
  };
  for (const auto& c : cases) {
    win::SetPageOutSupportForTests(c.support);
    ScriptedDialogs dialogs;
    RecordingGauge gauge;
    EXPECT_EQ(OptimizeMemory(HostProcessCalls(), gauge), c.emptied);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, c.message);
    EXPECT_EQ(gauge.log, "show 2;step;step;hide;");
  }
  win::SetPageOutSupportForTests(std::nullopt);
  win::SetProcessListForTests(std::nullopt);
  const win::HANDLE self = win::OpenProcess(win::PROCESS_ALL_ACCESS, false, win::GetCurrentProcessId());
  win::SetPageOutSupportForTests(win::PageOutSupport{false, false});
  EXPECT_FALSE(win::SetProcessWorkingSetSize(self, static_cast<win::SIZE_T>(-1), static_cast<win::SIZE_T>(-1)));
  EXPECT_EQ(win::GetLastError(), win::ERROR_CALL_NOT_IMPLEMENTED);
  win::SetPageOutSupportForTests(std::nullopt);
  win::CloseHandle(self);
}

}  // namespace
