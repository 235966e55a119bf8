// Kills at every step of Disable, Enable, Remove and Restore: another copy
// of this test program runs the action on the machine and is killed before
// its n-th change; at the next listing every entry is there exactly once,
// live or backed up, and enabling and restoring everything brings back the
// machine as it was.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "StartupFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "shell/Dialogs.h"
#include "tools/StartupManagerUnit.h"

using namespace tools;

namespace {

const char* const kMachineVariable = "FW_STARTUP_KILL_MACHINE";
const char* const kActionVariable = "FW_STARTUP_KILL_ACTION";
const char* const kStepVariable = "FW_STARTUP_KILL_STEP";
constexpr int kFinished = 3;  // the child's exit code when no kill came

enum Action { Disable, Enable, Remove, Restore };

// Runs the action on every row it applies to, over the current machine.
void RunAction(TStartupManager& manager, Action action) {
  if (action == Restore) {
    manager.ListRemovedEntries();
    for (std::size_t i = 0; i < manager.RestoreRows().size(); ++i) manager.SetRestoreChecked(static_cast<int>(i), true);
    manager.RestoreItems();
    return;
  }
  const char* status = action == Enable ? "Disable" : action == Disable ? "Enable" : nullptr;
  for (std::size_t i = 0; i < manager.Rows().size(); ++i) {
    const TStartupRow& row = manager.Rows()[i];
    if (row.Source != TStartupSource::Detail && (!status || row.Status() == status))
      manager.ToggleChosen(static_cast<int>(i));
  }
  if (action == Disable) manager.DisableSelected();
  else if (action == Enable) manager.EnableSelected();
  else manager.RemoveSelected();
}

// The child: only when started by the kill test below.
TEST(StartupKillChild, RunsOneActionUntilItsKill) {
  const char* folder = std::getenv(kMachineVariable);
  if (!folder) GTEST_SKIP() << "started by StartupKillTest only";
  std::string error;
  std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  ASSERT_TRUE(machine) << error;
  win::SetCurrentMachine(machine.get());
  ScriptedDialogs dialogs;
  dialogs.setNextAnswer(IDYES);
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  int steps = std::atoi(std::getenv(kStepVariable));
  SetStartupStepHook([&steps] {
    if (--steps == 0) raise(SIGKILL);
  });
  RunAction(manager, static_cast<Action>(std::atoi(std::getenv(kActionVariable))));
  _exit(kFinished);
}

// Runs the child on the machine; true when it finished before its kill.
bool RunChild(const std::string& folder, Action action, int step) {
  const std::string machineSetting = std::string(kMachineVariable) + "=" + folder;
  const std::string actionSetting = std::string(kActionVariable) + "=" + std::to_string(action);
  const std::string stepSetting = std::string(kStepVariable) + "=" + std::to_string(step);
  std::vector<char*> environment;
  for (char** e = environ; *e; ++e) environment.push_back(*e);
  for (const std::string* s : {&machineSetting, &actionSetting, &stepSetting})
    environment.push_back(const_cast<char*>(s->c_str()));
  environment.push_back(nullptr);
  std::string program = "/proc/self/exe";
  std::string filter = "--gtest_filter=StartupKillChild.*";
  char* arguments[] = {program.data(), filter.data(), nullptr};
  const pid_t child = fork();
  if (child == 0) {
    execve(program.c_str(), arguments, environment.data());
    _exit(127);
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  if (WIFEXITED(status)) {
    EXPECT_EQ(WEXITSTATUS(status), kFinished);
    return true;
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  return false;
}

const char* const kUserFile = "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Startup\\h#1.lnk";
const char* const kCommonFile = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\same.lnk";

std::string KillReg() {
  return StartupRegText("[HKEY_CURRENT_USER\\" + std::string(kRun) +
                        "]\n\"Tool\"=\"C:\\\\tool.exe /a|b\"\n\"Ha#sh\"=\"C:\\\\h.exe\"\n"
                        "[HKEY_LOCAL_MACHINE\\" + std::string(kRun) + "]\n\"Env\"=" + Hex2("%SystemRoot%\\e.exe") + "\n");
}

std::string KillFiles() {
  return std::string("C:\\Program Files\\Fernwick\\Fernwick.exe\n") + kUserFile + " | text=user\n" + kCommonFile +
         " | text=common\n" + kUserStartup + "\\same.lnk | text=user same\n";
}

// Each entry of the machine once: a live or disabled startup row, or a
// restore row (value names for registry entries, startup paths for files);
// no temporary file listed.
void ExpectEachEntryOnce(TStartupManager& manager) {
  manager.RefreshStartupList();
  manager.ListRemovedEntries();
  std::map<std::string, int> count;
  for (const TStartupRow& row : manager.Rows()) {
    EXPECT_NE(row.Caption.rfind(".fw-", 0), 0u) << row.Caption;
    const bool liveFile = row.Source == TStartupSource::StartupFolder && row.Status() == "Enable";
    ++count[liveFile ? row.Path() : row.Caption];
  }
  for (const TRestoreRow& row : manager.RestoreRows()) ++count[row.SubItems[0]];
  const std::map<std::string, int> once = {{"Tool", 1},     {"Ha#sh", 1},       {"Env", 1},
                                           {kUserFile, 1},  {kCommonFile, 1},  {std::string(kUserStartup) + "\\same.lnk", 1}};
  EXPECT_EQ(count, once);
}

// Brings a fresh machine to the state in which the action starts.
void PrepareFor(Action action, ScriptedDialogs& dialogs) {
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  if (action == Enable) RunAction(manager, Disable);
  if (action == Remove || action == Restore) {
    // Some entries are removed live, some after being disabled.
    Choose(manager, "Tool", "Enable");
    Choose(manager, "h#1.lnk", "Enable");
    manager.DisableSelected();
  }
  if (action == Restore) {
    dialogs.setNextAnswer(IDYES);
    RunAction(manager, Remove);
  }
}

TEST(StartupKillTest, EveryEntryIsThereOnceAfterAKillAtAnyStep) {
  const std::vector<Action> actions = {Disable, Enable, Remove, Restore};
  int kills = 0;
  for (std::size_t a = 0; a < actions.size(); ++a) {
    for (int step = 1;; ++step) {
      SCOPED_TRACE("action " + std::to_string(a) + " killed before change " + std::to_string(step));
      TestMachine machine(KillReg(), KillFiles());
      ScriptedDialogs dialogs;
      const auto values = RunValues();
      const auto files = StartupFiles();
      PrepareFor(actions[a], dialogs);
      const bool finished = RunChild(machine.folder(), actions[a], step);
      TStartupManager manager;
      manager.Prepare();
      ExpectEachEntryOnce(manager);
      // Everything back: the machine as it was, no line and no copy left.
      RunAction(manager, Enable);
      RunAction(manager, Restore);
      EXPECT_EQ(RunValues(), values);
      EXPECT_EQ(StartupFiles(), files);
      for (const char* name : {kStartupFileName, kRemoveStartupFileName, kDelFileName})
        EXPECT_EQ(FileText(StartupBackupPath(name)), "") << name;
      EXPECT_TRUE(FolderFiles(DelFolder()).empty());
      for (const ScriptedDialogs::Message& message : dialogs.messages()) EXPECT_NE(message.flags, MB_ICONWARNING) << message.text;
      if (finished || HasFailure()) break;
      ++kills;
    }
  }
  EXPECT_GE(kills, 40);
}

}  // namespace
