#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/machine/Machine.h"
#include "platform/system/TaskScheduler.h"

using namespace win;

namespace {

std::shared_ptr<ITaskScheduler> Scheduler() {
  std::shared_ptr<ITaskScheduler> scheduler;
  EXPECT_EQ(CreateTaskScheduler(scheduler), S_OK);
  return scheduler;
}

std::vector<std::u16string> JobNames(ITaskScheduler& scheduler) {
  std::unique_ptr<IEnumWorkItems> items;
  EXPECT_EQ(scheduler.Enum(items), S_OK);
  std::vector<std::u16string> names;
  unsigned long fetched = 0;
  while (items->Next(1, names, fetched) == S_OK) {
  }
  return names;
}

TASK_TRIGGER DailyTrigger(WORD days, WORD hour, WORD minute) {
  TASK_TRIGGER trigger;
  trigger.wBeginYear = 2008;
  trigger.wBeginMonth = 3;
  trigger.wBeginDay = 7;
  trigger.wStartHour = hour;
  trigger.wStartMinute = minute;
  trigger.TriggerType = TASK_TIME_TRIGGER_DAILY;
  trigger.Type.Daily.DaysInterval = days;
  return trigger;
}

HRESULT SaveTask(ITask& task) {
  std::shared_ptr<IPersistFile> file;
  const HRESULT hr = task.QueryPersistFile(file);
  return FAILED(hr) ? hr : file->Save(nullptr, true);
}

// A job with every property set, saved under name.
void SaveFullJob(ITaskScheduler& scheduler, const char16_t* name) {
  std::shared_ptr<ITask> task;
  ASSERT_EQ(scheduler.NewWorkItem(name, task), S_OK);
  ASSERT_EQ(task->SetApplicationName(u"C:\\Program Files\\Fernwick\\Fernwick.exe"), S_OK);
  ASSERT_EQ(task->SetWorkingDirectory(u"C:\\Program Files\\Fernwick\\"), S_OK);
  ASSERT_EQ(task->SetParameters(u"-Scan"), S_OK);
  ASSERT_EQ(task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON), S_OK);
  ASSERT_EQ(task->SetComment(u"Runs at night."), S_OK);
  ASSERT_EQ(task->SetCreator(u"Owner"), S_OK);
  ASSERT_EQ(task->SetAccountInformation(u"Owner", nullptr), S_OK);
  ASSERT_EQ(task->SetTaskFlags(0), S_OK);
  WORD index = 99;
  std::shared_ptr<ITaskTrigger> trigger;
  ASSERT_EQ(task->CreateTrigger(index, trigger), S_OK);
  EXPECT_EQ(index, 0);
  ASSERT_EQ(trigger->SetTrigger(DailyTrigger(3, 21, 45)), S_OK);
  ASSERT_EQ(SaveTask(*task), S_OK);
}

TEST(TaskSchedulerTest, SavedJobKeepsEveryPropertyAcrossMachineOpens) {
  TestMachine machine;
  SaveFullJob(*Scheduler(), u"Fernwick.job");

  // Another copy of the program on the same machine.
  std::string error;
  auto again = Machine::Open(machine.folder(), error);
  ASSERT_NE(again, nullptr) << error;
  SetCurrentMachine(again.get());
  std::shared_ptr<ITask> task;
  ASSERT_EQ(Scheduler()->Activate(u"Fernwick.job", task), S_OK);
  std::u16string text;
  DWORD flags = 1;
  EXPECT_EQ(task->GetApplicationName(text), S_OK);
  EXPECT_EQ(text, u"C:\\Program Files\\Fernwick\\Fernwick.exe");
  task->GetWorkingDirectory(text);
  EXPECT_EQ(text, u"C:\\Program Files\\Fernwick\\");
  task->GetParameters(text);
  EXPECT_EQ(text, u"-Scan");
  task->GetComment(text);
  EXPECT_EQ(text, u"Runs at night.");
  task->GetCreator(text);
  EXPECT_EQ(text, u"Owner");
  EXPECT_EQ(task->GetAccountInformation(text), S_OK);
  EXPECT_EQ(text, u"Owner");
  task->GetFlags(flags);
  EXPECT_EQ(flags, TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
  task->GetTaskFlags(flags);
  EXPECT_EQ(flags, 0u);
  WORD count = 0;
  ASSERT_EQ(task->GetTriggerCount(count), S_OK);
  ASSERT_EQ(count, 1);
  std::shared_ptr<ITaskTrigger> trigger;
  ASSERT_EQ(task->GetTrigger(0, trigger), S_OK);
  TASK_TRIGGER read;
  ASSERT_EQ(trigger->GetTrigger(read), S_OK);
  EXPECT_EQ(read.cbTriggerSize, 48);
  EXPECT_EQ(read.wBeginYear, 2008);
  EXPECT_EQ(read.wBeginMonth, 3);
  EXPECT_EQ(read.wBeginDay, 7);
  EXPECT_EQ(read.wStartHour, 21);
  EXPECT_EQ(read.wStartMinute, 45);
  EXPECT_EQ(read.TriggerType, TASK_TIME_TRIGGER_DAILY);
  EXPECT_EQ(read.Type.Daily.DaysInterval, 3);
  EXPECT_EQ(read.rgFlags, 0u);
  EXPECT_EQ(task->GetTrigger(1, trigger), SCHED_E_TRIGGER_NOT_FOUND);
  SetCurrentMachine(&machine.machine());
}

TEST(TaskSchedulerTest, NamesIgnoreLetterCaseAndGetTheJobExtension) {
  TestMachine machine;
  auto scheduler = Scheduler();
  SaveFullJob(*scheduler, u"Fernwick.job");
  SaveFullJob(*scheduler, u"Backup");
  EXPECT_EQ(JobNames(*scheduler), (std::vector<std::u16string>{u"Backup.job", u"Fernwick.job"}));

  std::shared_ptr<ITask> task;
  EXPECT_EQ(scheduler->Activate(u"FERNWICK.JOB", task), S_OK);
  EXPECT_EQ(scheduler->Activate(u"fernwick", task), S_OK);
  EXPECT_EQ(scheduler->NewWorkItem(u"fernwick.JOB", task), HRESULT_FROM_WIN32(ERROR_FILE_EXISTS));
  EXPECT_EQ(static_cast<std::uint32_t>(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS)), 0x80070050u);

  EXPECT_EQ(scheduler->Delete(u"FERNWICK.job"), S_OK);
  EXPECT_EQ(JobNames(*scheduler), (std::vector<std::u16string>{u"Backup.job"}));
  EXPECT_EQ(scheduler->Delete(u"Fernwick.job"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(scheduler->Activate(u"Fernwick.job", task), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  for (const char16_t* bad : {u"", u"a\\b.job", u"what?.job"}) {
    EXPECT_EQ(scheduler->NewWorkItem(bad, task), E_INVALIDARG);
  }
}

TEST(TaskSchedulerTest, NewWorkItemExistsOnlyOnceSaved) {
  TestMachine machine;
  auto scheduler = Scheduler();
  std::shared_ptr<ITask> task;
  ASSERT_EQ(scheduler->NewWorkItem(u"Fernwick.job", task), S_OK);
  std::shared_ptr<ITask> other;
  EXPECT_EQ(scheduler->Activate(u"Fernwick.job", other), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(JobNames(*scheduler).empty());
  EXPECT_EQ(SaveTask(*task), S_OK);
  EXPECT_EQ(JobNames(*scheduler), (std::vector<std::u16string>{u"Fernwick.job"}));
  // A job deleted while a copy of it is open comes back when that copy saves.
  ASSERT_EQ(scheduler->Delete(u"Fernwick.job"), S_OK);
  EXPECT_EQ(SaveTask(*task), S_OK);
  EXPECT_EQ(scheduler->Activate(u"Fernwick.job", other), S_OK);
}

TEST(TaskSchedulerTest, TriggerAndAccountChecks) {
  TestMachine machine;
  std::shared_ptr<ITask> task;
  ASSERT_EQ(Scheduler()->NewWorkItem(u"Check.job", task), S_OK);
  WORD index = 0;
  std::shared_ptr<ITaskTrigger> trigger;
  ASSERT_EQ(task->CreateTrigger(index, trigger), S_OK);
  TASK_TRIGGER fresh;
  ASSERT_EQ(trigger->GetTrigger(fresh), S_OK);
  EXPECT_EQ(fresh.TriggerType, TASK_TIME_TRIGGER_DAILY);
  EXPECT_EQ(fresh.Type.Daily.DaysInterval, 1);

  struct Case {
    const char* what;
    TASK_TRIGGER trigger;
    HRESULT expected;
  };
  std::vector<Case> cases = {{"daily every 31 days", DailyTrigger(31, 0, 0), S_OK},
                             {"interval 0", DailyTrigger(0, 9, 30), E_INVALIDARG},
                             {"hour 24", DailyTrigger(1, 24, 0), E_INVALIDARG},
                             {"minute 60", DailyTrigger(1, 9, 60), E_INVALIDARG}};
  TASK_TRIGGER size = DailyTrigger(1, 9, 30);
  size.cbTriggerSize = 44;
  cases.push_back({"wrong size", size, E_INVALIDARG});
  TASK_TRIGGER date = DailyTrigger(1, 9, 30);
  date.wBeginMonth = 2;
  date.wBeginDay = 30;
  cases.push_back({"30 February", date, E_INVALIDARG});
  date.wBeginDay = 29;
  date.wBeginYear = 2008;
  cases.push_back({"29 February of a leap year", date, S_OK});
  for (const Case& c : cases) EXPECT_EQ(trigger->SetTrigger(c.trigger), c.expected) << c.what;

  // Without a password the job must run only for the logged-on user.
  std::u16string account;
  EXPECT_EQ(task->GetAccountInformation(account), SCHED_E_ACCOUNT_INFORMATION_NOT_SET);
  EXPECT_EQ(task->SetAccountInformation(u"Owner", nullptr), E_INVALIDARG);
  task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
  EXPECT_EQ(task->SetAccountInformation(u"Owner", nullptr), S_OK);
}

TEST(TaskSchedulerTest, MachineWithoutTaskSchedulerCannotCreateIt) {
  std::string config = TestMachine::DefaultConfigText();
  config.insert(config.find("[Machine]\r\n") + 11, "TaskScheduler=0\r\n");
  TestMachine machine("", "", config);
  std::shared_ptr<ITaskScheduler> scheduler;
  EXPECT_EQ(CreateTaskScheduler(scheduler), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(scheduler, nullptr);
}

}  // namespace
