#include "platform/system/SystemRestore.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/registry/Registry.h"
#include "platform/system/Services.h"

using namespace win;

namespace {

std::string ServiceReg(int start) {
  return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\srservice]\n"
         "\"Type\"=dword:00000020\n"
         "\"Start\"=dword:0000000" + std::to_string(start) + "\n"
         "[HKEY_CURRENT_USER\\Software\\Test]\n"
         "\"Value\"=\"before\"\n";
}

std::string ReadValue(RegistryStore& store) {
  TRegistry registry(store, KEY_READ);
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly("\\Software\\Test")) return "<no key>";
  return registry.ReadString("Value").value_or("<none>");
}

void WriteValue(const std::string& text) {
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey("\\Software\\Test", false));
  ASSERT_TRUE(registry.WriteString("Value", text));
}

// The host path of a point's snapshot, from its row; empty without the row.
std::string Snapshot(TestMachine& machine, const std::string& seq) {
  std::vector<StateRow> rows;
  if (!machine.machine().State().Query("SELECT snapshot FROM restore_points WHERE seq = ?1",
                                       {static_cast<std::int64_t>(std::stoll(seq))}, rows) ||
      rows.empty())
    return {};
  return machine.folder() + "/RestorePoints/" + StateText(rows[0][0]);
}

// The registry as the program's next start finds it.
std::string ValueAfterReopening(const TestMachine& machine) {
  std::string error;
  auto reopened = Machine::Open(machine.folder(), error, PendingRestore::Apply);
  if (!reopened) return "<" + error + ">";
  return ReadValue(reopened->Registry());
}

}  // namespace

TEST(SystemRestore, PointIsListedAndRestoredAtTheNextOpening) {
  TestMachine machine(ServiceReg(2));
  const std::string before = WmiDateTimeText(CurrentFileTime() - 10000000);
  ASSERT_EQ(CreateRestorePoint("Before the change", 0, 100), 0u);
  const std::string after = WmiDateTimeText(CurrentFileTime() + 10000000);
  std::vector<RestorePoint> points;
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].Description, "Before the change");
  EXPECT_EQ(points[0].RestorePointType, 0u);
  EXPECT_EQ(points[0].SequenceNumber, "1");
  EXPECT_EQ(points[0].CreationTime.size(), 25u);
  EXPECT_EQ(points[0].CreationTime.substr(21), "+000");
  EXPECT_GE(points[0].CreationTime, before);
  EXPECT_LE(points[0].CreationTime, after);

  WriteValue("after");
  ASSERT_EQ(RestoreToPoint(1), 0u);
  EXPECT_EQ(ReadValue(machine.machine().Registry()), "after");  // only at the next opening
  EXPECT_EQ(ValueAfterReopening(machine), "before");
  WriteValue("later");
  EXPECT_EQ(ValueAfterReopening(machine), "later");  // applied once

  ASSERT_EQ(CreateRestorePoint("Second", 12, 100), 0u);
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[1].SequenceNumber, "2");
  const std::string first = Snapshot(machine, "1");
  ASSERT_TRUE(std::filesystem::exists(first));
  EXPECT_EQ(DeleteRestorePoint(1), 0u);
  // Nothing of the restored point stays behind.
  const std::string firstName = std::filesystem::path(first).filename().string();
  for (const auto& entry : std::filesystem::directory_iterator(machine.folder() + "/RestorePoints")) {
    EXPECT_NE(entry.path().filename().string().rfind(firstName, 0), 0u) << entry.path();
  }
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].Description, "Second");
  EXPECT_NE(DeleteRestorePoint(1), 0u);
}

TEST(SystemRestore, BadRequestsFailAndLeaveTheRegistryAlone) {
  TestMachine machine(ServiceReg(2));
  ASSERT_EQ(CreateRestorePoint("one", 0, 100), 0u);
  ASSERT_EQ(CreateRestorePoint(std::string(1000, 'x') + "\r\n\t", 0, 100), 0u);
  ASSERT_EQ(CreateRestorePoint("three", 0, 100), 0u);
  WriteValue("changed");
  EXPECT_EQ(RestoreToPoint(99), ERROR_INVALID_PARAMETER);
  std::filesystem::remove(Snapshot(machine, "1"));
  EXPECT_EQ(RestoreToPoint(1), ERROR_FILE_NOT_FOUND);
  {
    std::ofstream damaged(Snapshot(machine, "2"), std::ios::binary | std::ios::trunc);
    damaged << std::string(8192, '\x5a');
  }
  EXPECT_NE(RestoreToPoint(2), 0u);
  EXPECT_EQ(ValueAfterReopening(machine), "changed");

  // A snapshot damaged after the restore was asked for is not put in place.
  ASSERT_EQ(RestoreToPoint(3), 0u);
  {
    std::ofstream damaged(Snapshot(machine, "3"), std::ios::binary | std::ios::trunc);
    damaged << std::string(8192, '\x5a');
  }
  std::string error;
  auto reopened = Machine::Open(machine.folder(), error, PendingRestore::Apply);
  ASSERT_TRUE(reopened) << error;
  EXPECT_EQ(ReadValue(reopened->Registry()), "changed");
  EXPECT_NE(reopened->RestoreError().find("restore point 3"), std::string::npos) << reopened->RestoreError();
  reopened.reset();
  // Told once: the request is gone.
  reopened = Machine::Open(machine.folder(), error, PendingRestore::Apply);
  ASSERT_TRUE(reopened) << error;
  EXPECT_EQ(reopened->RestoreError(), "");
}

TEST(SystemRestore, StoppedServiceFailsEveryCall) {
  TestMachine machine(ServiceReg(3));
  std::vector<RestorePoint> points;
  EXPECT_NE(ListRestorePoints(points), 0u);
  EXPECT_NE(CreateRestorePoint("x", 0, 100), 0u);
  EXPECT_NE(RestoreToPoint(1), 0u);
  EXPECT_NE(DeleteRestorePoint(1), 0u);
  EXPECT_FALSE(std::filesystem::exists(machine.folder() + "/RestorePoints/RP1.db"));
  TestMachine noService;
  EXPECT_EQ(CreateRestorePoint("x", 0, 100), ERROR_SERVICE_NOT_ACTIVE);
}

TEST(SystemRestore, RecipePointsAreMadeWithTheMachine) {
  TestMachine machine(ServiceReg(2), "",
                      TestMachine::DefaultConfigText() +
                          "[RestorePoints]\r\n1=2026-11-02 10:15:00,0,Installed, with a comma\r\n"
                          "2=2026-11-03 08:00:00,13,Cancelled\r\n");
  std::vector<RestorePoint> points;
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].CreationTime, "20261102101500.000000+000");
  EXPECT_EQ(points[0].Description, "Installed, with a comma");
  EXPECT_EQ(points[1].RestorePointType, 13u);
  WriteValue("changed");
  ASSERT_EQ(RestoreToPoint(1), 0u);
  EXPECT_EQ(ValueAfterReopening(machine), "before");
}

namespace {

namespace fs = std::filesystem;

// A machine folder that this process does not hold open, so that a child
// process can be killed in the middle of opening or changing it.
class ClosedMachine {
 public:
  explicit ClosedMachine(const std::string& regText) {
    char pattern[] = "/tmp/fw-restore-XXXXXX";
    parent_ = ::mkdtemp(pattern) ? pattern : "";
    folder_ = parent_ + "/machine";
    MachineRecipe recipe;
    recipe.configText = TestMachine::DefaultConfigText();
    recipe.regText = "REGEDIT4\n\n" + regText;
    made_ = !parent_.empty() && CreateMachine(folder_, recipe, error_);
  }
  ~ClosedMachine() {
    std::error_code ec;
    if (!parent_.empty()) fs::remove_all(parent_, ec);
  }
  bool made() const { return made_; }
  const std::string& error() const { return error_; }
  const std::string& folder() const { return folder_; }

  // Opened as the program's start (apply) or as any other opening, and made
  // current while the returned machine lives.
  std::unique_ptr<Machine> Open(PendingRestore restore = PendingRestore::Leave) const {
    std::string error;
    auto machine = Machine::Open(folder_, error, restore);
    EXPECT_TRUE(machine) << error;
    if (machine) SetCurrentMachine(machine.get());
    return machine;
  }

 private:
  std::string parent_;
  std::string folder_;
  std::string error_;
  bool made_ = false;
};

// Runs body in a child process that is killed when the step hook reaches
// step for the nth time; true when it was killed there.
bool KilledAt(const std::string& step, int nth, const std::function<void()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int seen = 0;
    SetRestoreStepHook([&](const char* name) {
      if (step == name && ++seen == nth) ::kill(::getpid(), SIGKILL);
    });
    body();
    ::_exit(0);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return false;
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

std::int64_t PendingRequests(Machine& machine) {
  std::vector<StateRow> rows;
  EXPECT_TRUE(machine.State().Query("SELECT count(*) FROM restore_pending", {}, rows));
  return rows.empty() ? -1 : StateInteger(rows[0][0]);
}

// Files of the restore folder that belong to no listed point ("-wal" and
// "-shm" of a listed snapshot belong to it).
std::vector<std::string> UnlistedFiles(Machine& machine) {
  std::vector<StateRow> rows;
  EXPECT_TRUE(machine.State().Query("SELECT snapshot FROM restore_points WHERE snapshot <> ''", {}, rows));
  std::set<std::string> listed;
  for (const StateRow& row : rows) listed.insert(StateText(row[0]));
  std::vector<std::string> unlisted;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(machine.Folder() + "/RestorePoints", ec)) {
    std::string name = entry.path().filename().string();
    for (const char* suffix : {"-wal", "-shm"}) {
      const std::string end = suffix;
      if (name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0)
        name.resize(name.size() - end.size());
    }
    if (!listed.count(name)) unlisted.push_back(entry.path().filename().string());
  }
  return unlisted;
}

// Makes the registry large enough to be copied in several steps.
void AddBulk() {
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey("\\Software\\Bulk", true));
  for (int i = 0; i < 6; ++i)
    ASSERT_TRUE(registry.WriteBinaryData("v" + std::to_string(i), std::vector<std::uint8_t>(1 << 20, 0x40 + i)));
}

}  // namespace

TEST(SystemRestore, OnlyTheProgramsStartPutsARestoreInPlace) {
  ClosedMachine folder(ServiceReg(2));
  ASSERT_TRUE(folder.made()) << folder.error();
  {
    auto machine = folder.Open();
    ASSERT_EQ(CreateRestorePoint("Before", 0, 100), 0u);
    WriteValue("after");
    ASSERT_EQ(RestoreToPoint(1), 0u);
  }
  for (int opening = 0; opening < 2; ++opening) {
    auto machine = folder.Open();  // fwmachine, a tool, a second copy
    EXPECT_EQ(ReadValue(machine->Registry()), "after");
    EXPECT_EQ(PendingRequests(*machine), 1);
    EXPECT_EQ(machine->RestoreError(), "");
  }
  auto machine = folder.Open(PendingRestore::Apply);
  EXPECT_EQ(ReadValue(machine->Registry()), "before");
  EXPECT_EQ(PendingRequests(*machine), 0);
}

// A kill at each step of the start that puts a point in place: the registry
// is the old or the restored one, the request stays until the restored one
// is in place, and the next start finishes the work.
TEST(SystemRestore, KillDuringTheRestoringStartKeepsTheRequestUntilTheRestoreIsIn) {
  struct Case {
    const char* step;
    int nth;
    const char* value;  // after the kill
    std::int64_t pending;
  };
  const Case cases[] = {
      {"restore checked", 1, "after", 1},
      {"restore copying", 1, "after", 1},
      {"registry restored", 1, "before", 1},
      {"request done", 1, "before", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    ClosedMachine folder(ServiceReg(2));
    ASSERT_TRUE(folder.made()) << folder.error();
    {
      auto machine = folder.Open();
      AddBulk();
      ASSERT_EQ(CreateRestorePoint("Before", 0, 100), 0u);
      WriteValue("after");
      ASSERT_EQ(RestoreToPoint(1), 0u);
    }
    ASSERT_TRUE(KilledAt(c.step, c.nth, [&] {
      std::string error;
      Machine::Open(folder.folder(), error, PendingRestore::Apply);
    }));
    {
      auto machine = folder.Open();
      EXPECT_EQ(ReadValue(machine->Registry()), c.value);
      EXPECT_EQ(PendingRequests(*machine), c.pending);
    }
    auto machine = folder.Open(PendingRestore::Apply);
    EXPECT_EQ(machine->RestoreError(), "");
    EXPECT_EQ(ReadValue(machine->Registry()), "before");
    EXPECT_EQ(PendingRequests(*machine), 0);
    EXPECT_EQ(UnlistedFiles(*machine), std::vector<std::string>{});
    std::vector<RestorePoint> points;
    ASSERT_EQ(ListRestorePoints(points), 0u);
    EXPECT_EQ(points.size(), 1u);
  }
}

// A kill at each step of "Create": a point is listed only with its whole
// snapshot, and what the kill left goes at the next start or creation.
TEST(SystemRestore, KillDuringCreateListsOnlyCompletePointsAndLeavesNoFiles) {
  struct Case {
    const char* step;
    std::size_t listed;  // points after the kill
  };
  const Case cases[] = {
      {"snapshot begun", 1}, {"snapshot copied", 1}, {"snapshot complete", 1}, {"point listed", 2}};
  for (const Case& c : cases) {
    for (const bool nextIsStart : {true, false}) {
      SCOPED_TRACE(std::string(c.step) + (nextIsStart ? ", then a start" : ", then a creation"));
      ClosedMachine folder(ServiceReg(2));
      ASSERT_TRUE(folder.made()) << folder.error();
      {
        auto machine = folder.Open();
        ASSERT_EQ(CreateRestorePoint("First", 0, 100), 0u);
      }
      ASSERT_TRUE(KilledAt(c.step, 1, [&] {
        std::string error;
        auto machine = Machine::Open(folder.folder(), error);
        SetCurrentMachine(machine.get());
        WriteValue("second");
        CreateRestorePoint("Second", 0, 100);
      }));
      auto machine = folder.Open(nextIsStart ? PendingRestore::Apply : PendingRestore::Leave);
      std::vector<RestorePoint> points;
      ASSERT_EQ(ListRestorePoints(points), 0u);
      ASSERT_EQ(points.size(), c.listed);
      if (!nextIsStart) {
        ASSERT_EQ(CreateRestorePoint("Third", 0, 100), 0u);
      }
      EXPECT_EQ(UnlistedFiles(*machine), std::vector<std::string>{});
      // Every listed point can be put in place and brings back its registry.
      const std::string last = points.back().SequenceNumber;
      ASSERT_EQ(RestoreToPoint(static_cast<DWORD>(std::stoul(last))), 0u);
      WriteValue("changed");
      machine.reset();
      machine = folder.Open(PendingRestore::Apply);
      EXPECT_EQ(ReadValue(machine->Registry()), c.listed == 2 ? "second" : "before");
    }
  }
}

TEST(SystemRestore, DamagedPointsCanBeDeletedAndLeftoversGo) {
  TestMachine machine(ServiceReg(2));
  for (const char* name : {"garbage", "empty", "missing", "kept"}) ASSERT_EQ(CreateRestorePoint(name, 0, 100), 0u);
  {
    std::ofstream damaged(Snapshot(machine, "1"), std::ios::binary | std::ios::trunc);
    damaged << std::string(8192, '\x5a');
  }
  { std::ofstream empty(Snapshot(machine, "2"), std::ios::binary | std::ios::trunc); }
  fs::remove(Snapshot(machine, "3"));
  // A row an older build left without a snapshot, and files of nobody.
  ASSERT_TRUE(machine.machine().State().Execute(
      "INSERT INTO restore_points (created, type, event, description, snapshot) VALUES (0, 0, 100, 'old', '')"));
  const std::string folder = machine.folder() + "/RestorePoints/";
  for (const char* stray : {"RP9.db.part", "RP9.db", "RP9.db-journal"}) std::ofstream(folder + stray) << "x";

  for (DWORD seq : {1u, 2u, 3u}) {
    EXPECT_NE(RestoreToPoint(seq), 0u) << seq;
  }
  std::vector<RestorePoint> points;
  ASSERT_EQ(ListRestorePoints(points), 0u);
  EXPECT_EQ(points.size(), 4u);  // the old row is not listed
  for (DWORD seq : {1u, 2u, 3u}) {
    EXPECT_EQ(DeleteRestorePoint(seq), 0u) << seq;
  }
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].Description, "kept");

  // A snapshot that another process is still making stays; the rest goes
  // at the next creation.
  const std::string making = folder + "RP8.db.part";
  const int fd = ::open(making.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  ASSERT_EQ(CreateRestorePoint("new", 0, 100), 0u);
  EXPECT_EQ(UnlistedFiles(machine.machine()), std::vector<std::string>{"RP8.db.part"});
  ::close(fd);
  ASSERT_EQ(CreateRestorePoint("newer", 0, 100), 0u);
  EXPECT_EQ(UnlistedFiles(machine.machine()), std::vector<std::string>{});
  std::vector<StateRow> rows;
  ASSERT_TRUE(machine.machine().State().Query("SELECT count(*) FROM restore_points", {}, rows));
  EXPECT_EQ(StateInteger(rows[0][0]), 3);
}
