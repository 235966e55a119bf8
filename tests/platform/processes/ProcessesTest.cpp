#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TestMachine.h"
#include "platform/processes/HostProc.h"
#include "platform/processes/MemoryStatus.h"
#include "platform/processes/ProcessSnapshot.h"
#include "platform/processes/Processes.h"
#include "platform/processes/ProcessorTimes.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

// A child running program (waits until it has replaced itself), killed and
// reaped at the end.
class Child {
 public:
  explicit Child(const std::string& program) {
    pid_ = fork();
    if (pid_ == 0) {
      execl(program.c_str(), program.c_str(), "30", static_cast<char*>(nullptr));
      _exit(127);
    }
    const std::string name = fs::path(program).filename().string();
    for (int i = 0; i < 300; ++i) {
      const auto stat = ReadHostProcStat(static_cast<std::uint32_t>(pid_));
      if (stat && stat->comm == name) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~Child() { End(); }
  void End() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  DWORD pid() const { return static_cast<DWORD>(pid_); }

 private:
  pid_t pid_ = -1;
};

std::string ModulePath(HANDLE process) {
  char path[1024] = {};
  const DWORD length = GetModuleFileNameEx(process, 0, path, sizeof path);
  return std::string(path, length);
}

TEST(ProcessesTest, OwnProcessOpensWithAnyAccessAndTrimsItself) {
  const HANDLE self = OpenProcess(PROCESS_ALL_ACCESS, false, GetCurrentProcessId());
  ASSERT_NE(self, 0u);
  const std::string path = ModulePath(self);
  EXPECT_EQ(path, fs::read_symlink("/proc/self/exe").string());
  PROCESS_MEMORY_COUNTERS counters;
  ASSERT_TRUE(GetProcessMemoryInfo(self, counters, sizeof counters));
  EXPECT_GT(counters.WorkingSetSize, 0u);
  EXPECT_GE(counters.PeakWorkingSetSize, counters.WorkingSetSize);
  EXPECT_GT(counters.PageFaultCount, 0u);
  FileTime creation = 0, exit = 1, kernel = 0, user = 0;
  ASSERT_TRUE(GetProcessTimes(self, creation, exit, kernel, user));
  EXPECT_GT(creation, 116444736000000000ULL);  // after 1970
  EXPECT_EQ(exit, 0u);
  EXPECT_EQ(GetPriorityClass(self), PriorityClassOf(getpriority(PRIO_PROCESS, 0), 0));

  EXPECT_TRUE(SetProcessWorkingSetSize(self, static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1)));
  EXPECT_FALSE(SetProcessWorkingSetSize(self, 1 << 20, 1 << 24));
  EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_TRUE(CloseHandle(self));
  EXPECT_EQ(GetPriorityClass(self), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Trimming another process needs CAP_SYS_NICE: with it (as root) the child
// is trimmed, without it only query access opens.
TEST(ProcessesTest, ChildTrimsWithSysNiceAndOpensForQueriesWithout) {
  Child child("/bin/sleep");
  const HANDLE full = OpenProcess(PROCESS_ALL_ACCESS, false, child.pid());
  if (HoldsSysNice()) {
    ASSERT_NE(full, 0u);
    EXPECT_TRUE(SetProcessWorkingSetSize(full, static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1)));
    EXPECT_TRUE(CloseHandle(full));
  } else {
    EXPECT_EQ(full, 0u);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  const HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, false, child.pid());
  ASSERT_NE(query, 0u);
  EXPECT_FALSE(SetProcessWorkingSetSize(query, static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1)));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ModulePath(query), fs::canonical("/bin/sleep").string());
  PROCESS_MEMORY_COUNTERS counters;
  EXPECT_TRUE(GetProcessMemoryInfo(query, counters, sizeof counters));

  // Once it has ended, the handle reads nothing and a new open fails.
  child.End();
  EXPECT_FALSE(GetProcessMemoryInfo(query, counters, sizeof counters));
  EXPECT_TRUE(CloseHandle(query));
  EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, false, child.pid()), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(ProcessesTest, ModuleOnAMachineDriveGetsItsWindowsPath) {
  TestMachine machine("", "C:\\Tools\\\n");
  const std::string host = machine.host("C:\\Tools") + "/sleeper";
  fs::copy_file(fs::canonical("/bin/sleep"), host);
  fs::permissions(host, fs::perms::owner_all);
  Child child(host);
  const HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, false, child.pid());
  ASSERT_NE(query, 0u);
  EXPECT_EQ(ModulePath(query), "C:\\Tools\\sleeper");
  char shortBuffer[6];
  EXPECT_EQ(GetModuleFileNameEx(query, 0, shortBuffer, sizeof shortBuffer), 5u);
  EXPECT_STREQ(shortBuffer, "C:\\To");
  EXPECT_TRUE(CloseHandle(query));
}

class FakeProcFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/fwprocfiles-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    SetHostProcFolder(folder_);
  }
  void TearDown() override {
    SetHostProcFolder("");
    fs::remove_all(folder_);
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(folder_ + "/" + name) << text; }
  std::string folder_;
};

TEST_F(FakeProcFiles, MemoryStatusFromMeminfo) {
  const struct {
    const char* meminfo;
    bool ok;
    std::uint64_t totalPhys, availPhys, totalPage, availPage;
  } cases[] = {
      {"MemTotal: 8388608 kB\nMemFree: 1 kB\nMemAvailable: 6291456 kB\nSwapTotal: 2097152 kB\n"
       "SwapFree: 1048576 kB\n",
       true, 8ULL << 30, 6ULL << 30, 10ULL << 30, 7ULL << 30},
      {"MemTotal: 1024 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 4 kB\n", true, 1 << 20, 124 << 10,
       1 << 20, 124 << 10},
      {"MemTotal: abc kB\n", false, 0, 0, 0, 0},
      {"", false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    Write("meminfo", c.meminfo);
    MEMORYSTATUSEX status;
    ASSERT_EQ(GlobalMemoryStatusEx(status), c.ok) << c.meminfo;
    if (!c.ok) continue;
    EXPECT_EQ(status.ullTotalPhys, c.totalPhys);
    EXPECT_EQ(status.ullAvailPhys, c.availPhys);
    EXPECT_EQ(status.ullTotalPageFile, c.totalPage);
    EXPECT_EQ(status.ullAvailPageFile, c.availPage);
  }
  MEMORYSTATUSEX wrong;
  wrong.dwLength = 32;
  EXPECT_FALSE(GlobalMemoryStatusEx(wrong));
}

TEST_F(FakeProcFiles, ProcessorTimesFromStat) {
  Write("stat", "cpu  10 0 10 700 50 0 0 0 0 0\ncpu0 1 0 1 100 0\ncpu1 1 0 1 100 0\ncpu2 1 0 1 100 0\n"
                "cpu3 1 0 1 100 0\nintr 1\nbtime 1700000000\n");
  ProcessorTimes times;
  ASSERT_TRUE(QueryProcessorTimes(times));
  EXPECT_EQ(times.processors, 4u);
  EXPECT_EQ(times.idleTime, 750u * (10000000 / HostClockTicks()));
  EXPECT_GT(times.systemTime, 0u);
  Write("stat", "cpu  x\n");
  EXPECT_FALSE(QueryProcessorTimes(times));
}

// Creation times count from the boot time of /proc/stat's "btime" line.
TEST_F(FakeProcFiles, CreationTimeCountsFromTheBootTime) {
  const DWORD pid = 4242;
  fs::create_directory(folder_ + "/4242");
  Write("4242/stat", "4242 (app) S 1 1 1 0 -1 0 10 0 2 0 7 3 0 0 20 0 1 0 " +
                         std::to_string(250 * HostClockTicks()) + " 1000 10 0\n");
  Write("stat", "cpu  10 0 10 700 50 0 0 0 0 0\nintr 1\nbtime 1700000000\nprocesses 9\n");
  const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, false, pid);
  ASSERT_NE(process, 0u);
  FileTime creation = 0, exit = 1, kernel = 0, user = 0;
  ASSERT_TRUE(GetProcessTimes(process, creation, exit, kernel, user));
  constexpr FileTime kUnixEpoch = 116444736000000000ULL;
  EXPECT_EQ(creation, kUnixEpoch + (1700000000ULL + 250) * 10000000ULL);
  EXPECT_EQ(exit, 0u);
  EXPECT_EQ(user, 7 * (10000000 / HostClockTicks()));
  EXPECT_EQ(ProcStatField("btime 12\n", "btime"), 12u);
  EXPECT_EQ(ProcStatField("btime: 12\n", "btime"), std::nullopt);
  EXPECT_EQ(ProcStatField("cpu 1\n", "btime"), std::nullopt);
  EXPECT_TRUE(CloseHandle(process));
}

TEST(ProcessesTest, HostFiguresAreThere) {
  MEMORYSTATUSEX status;
  ASSERT_TRUE(GlobalMemoryStatusEx(status));
  EXPECT_GT(status.ullTotalPhys, 0u);
  EXPECT_LE(status.ullAvailPhys, status.ullTotalPhys);
  EXPECT_GE(status.ullTotalPageFile, status.ullTotalPhys);
  ProcessorTimes times;
  ASSERT_TRUE(QueryProcessorTimes(times));
  EXPECT_GE(times.processors, 1u);
}

}  // namespace
