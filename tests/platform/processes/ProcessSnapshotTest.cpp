#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/processes/HostProc.h"
#include "platform/processes/ProcessSnapshot.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

std::vector<PROCESSENTRY32> Walk() {
  std::vector<PROCESSENTRY32> entries;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
  PROCESSENTRY32 entry;
  for (bool more = Process32First(snapshot, entry); more; more = Process32Next(snapshot, entry))
    entries.push_back(entry);
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(CloseHandle(snapshot));
  return entries;
}

const PROCESSENTRY32* Find(const std::vector<PROCESSENTRY32>& entries, DWORD pid) {
  for (const auto& entry : entries)
    if (entry.th32ProcessID == pid) return &entry;
  return nullptr;
}

// A stat line with the fields the snapshot reads.
std::string StatLine(int pid, const std::string& comm, int ppid, int nice, int threads,
                     int policy = 0) {
  std::string line = std::to_string(pid) + " (" + comm + ") S " + std::to_string(ppid);
  for (int field = 5; field <= 18; ++field) line += " 0";
  line += " " + std::to_string(nice) + " " + std::to_string(threads);
  for (int field = 21; field <= 40; ++field) line += " 0";
  line += " " + std::to_string(policy) + " 0 0 0\n";
  return line;
}

class FakeProc {
 public:
  FakeProc() {
    std::string pattern = "/tmp/fwproc-XXXXXX";
    EXPECT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    SetHostProcFolder(folder_);
  }
  ~FakeProc() {
    SetHostProcFolder("");
    fs::remove_all(folder_);
  }
  void Add(int pid, const std::string& stat, const std::string& cmdline = "",
           const std::string& exe = "") {
    const fs::path dir = fs::path(folder_) / std::to_string(pid);
    fs::create_directories(dir);
    if (!stat.empty()) std::ofstream(dir / "stat") << stat;
    if (!cmdline.empty()) std::ofstream(dir / "cmdline", std::ios::binary) << cmdline;
    if (!exe.empty()) fs::create_symlink(exe, dir / "exe");
  }
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
};

TEST(ProcessSnapshotTest, ListsThisProcessAndAChildItStarted) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the child has become "sleep".
  const PROCESSENTRY32* found = nullptr;
  std::vector<PROCESSENTRY32> entries;
  for (int i = 0; i < 200; ++i) {
    entries = Walk();
    found = Find(entries, static_cast<DWORD>(child));
    if (found != nullptr && std::string(found->szExeFile) == "sleep") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(found, nullptr);
  EXPECT_STREQ(found->szExeFile, "sleep");
  EXPECT_EQ(found->th32ParentProcessID, static_cast<DWORD>(getpid()));
  EXPECT_EQ(found->cntThreads, 1u);
  EXPECT_TRUE(IsProcessRunning("SLEEP"));

  const PROCESSENTRY32* self = Find(entries, static_cast<DWORD>(getpid()));
  ASSERT_NE(self, nullptr);
  EXPECT_STREQ(self->szExeFile, "test_platform");
  EXPECT_EQ(self->th32ParentProcessID, static_cast<DWORD>(getppid()));
  EXPECT_GE(self->cntThreads, 1u);
  for (std::size_t i = 1; i < entries.size(); ++i)
    EXPECT_LT(entries[i - 1].th32ProcessID, entries[i].th32ProcessID);

  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

TEST(ProcessSnapshotTest, ReadsOddAndDamagedProcEntriesWithoutFailing) {
  FakeProc proc;
  proc.Add(1, StatLine(1, "init", 0, 0, 1), std::string("/sbin/init\0splash\0", 18));
  proc.Add(7, StatLine(7, "a) (b c", 1, -5, 3));                     // odd name, no cmdline
  proc.Add(9, StatLine(9, "nice", 1, 19, 2), "", "/usr/bin/nicer (deleted)");
  proc.Add(11, StatLine(11, "fifo", 1, 0, 1, 1), "/opt/rt/rtd");
  proc.Add(12, "12 (broken) S");                                     // damaged
  proc.Add(13, "");                                                  // ended meanwhile
  proc.Add(14, StatLine(15, "other", 1, 0, 1));                      // wrong pid
  fs::create_directories(fs::path(proc.folder()) / "self");
  std::ofstream(fs::path(proc.folder()) / "stat") << "cpu 1 2 3 4\n";

  const auto entries = Walk();
  ASSERT_EQ(entries.size(), 4u);
  const struct {
    DWORD pid;
    const char* name;
    DWORD parent, threads;
    std::int32_t base;
  } expected[] = {{1, "init", 0, 1, 8},
                  {7, "a) (b c", 1, 3, 10},
                  {9, "nicer", 1, 2, 4},
                  {11, "rtd", 1, 1, 24}};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].th32ProcessID, expected[i].pid);
    EXPECT_STREQ(entries[i].szExeFile, expected[i].name);
    EXPECT_EQ(entries[i].th32ParentProcessID, expected[i].parent);
    EXPECT_EQ(entries[i].cntThreads, expected[i].threads);
    EXPECT_EQ(entries[i].pcPriClassBase, expected[i].base) << expected[i].name;
  }
}

TEST(ProcessSnapshotTest, WalksAThousandProcesses) {
  FakeProc proc;
  for (int pid = 100; pid < 1100; ++pid) proc.Add(pid, StatLine(pid, "worker", 1, 0, 1));
  const auto entries = Walk();
  ASSERT_EQ(entries.size(), 1000u);
  EXPECT_EQ(entries.front().th32ProcessID, 100u);
  EXPECT_EQ(entries.back().th32ProcessID, 1099u);
}

TEST(ProcessSnapshotTest, TestListReplacesTheHostsAndCallsCheckTheirArguments) {
  SetProcessListForTests(std::vector<ProcessListEntry>{
      {40, 4, 2, 8, "IEXPLORE.EXE"}, {4, 0, 60, 8, "System"}});
  EXPECT_EQ(RunningProcessNames(), (std::vector<std::string>{"System", "IEXPLORE.EXE"}));
  EXPECT_TRUE(IsProcessRunning("iexplore.exe"));
  EXPECT_FALSE(IsProcessRunning("firefox.exe"));
  const std::size_t handlesBefore = OpenKernelHandleCount();
  const auto entries = Walk();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].cntThreads, 2u);
  EXPECT_EQ(OpenKernelHandleCount(), handlesBefore);

  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry;
  entry.dwSize = 100;
  EXPECT_FALSE(Process32First(snapshot, entry));
  EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
  EXPECT_TRUE(CloseHandle(snapshot));
  entry.dwSize = kProcessEntry32Size;
  EXPECT_FALSE(Process32First(snapshot, entry));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(CreateToolhelp32Snapshot(0, 0), INVALID_HANDLE_VALUE);
  SetProcessListForTests(std::nullopt);
  EXPECT_FALSE(IsProcessRunning("IEXPLORE.EXE"));
}

}  // namespace
