#include "shell/OptionUnit.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>

#include "ShellFixtures.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/system/TaskScheduler.h"
#include "platform/text/TextCodec.h"
#include "shell/Dialogs.h"
#include "shell/ProgramStartUnit.h"
#include "shell/TaskSchedulerUnit.h"

namespace {

using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;

const char* const kProgram = "C:\\Program Files\\Fernwick\\Fernwick.exe";
const char* const kProgramLine = "C:\\Program Files\\Fernwick\\Fernwick.exe | time=2008-03-07 14:05:09\n";
const char* const kIgnoreFile = "C:\\Program Files\\Fernwick\\FernwickIgnores.dat";
const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Shared state, the scheduler objects and the terminate request are fresh
// around each test.
class OptionsTest : public SharedStateTest {
 protected:
  OptionsTest() { ResetScheduling(); }
  ~OptionsTest() override { ResetScheduling(); }
  static void ResetScheduling() {
    ResetTaskSchedulerState();
    ResetTerminateRequest();
  }
  ScriptedDialogs dialogs;
};

std::string FileBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(path, bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

void WriteFile(const std::string& path, const std::string& text) {
  ASSERT_TRUE(win::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end())));
}

TEST_F(OptionsTest, EachSettingRoundTripsThroughTheRegistryAndSettings) {
  TestMachine machine("", kProgramLine);
  struct Case {
    bool GeneralSettingsPage::*box;
    const char* value;
    bool TMyRegistryInfo::*setting;
  };
  const Case cases[] = {
      {&GeneralSettingsPage::ChkAutoBackup, "NotAutoBackup", &TMyRegistryInfo::NotAutoBackup},
      {&GeneralSettingsPage::ChkCheckItem, "SelectAll", &TMyRegistryInfo::SelectAll},
      {&GeneralSettingsPage::cbCheckUpdate, "CheckUpdate", &TMyRegistryInfo::CheckUpdate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    for (bool ticked : {true, false}) {
      GeneralSettingsPage page;
      page.*c.box = ticked;
      ASSERT_TRUE(SaveGeneralSettings(page));
      EXPECT_EQ(RegString(HKEY_CURRENT_USER, "Software\\Fernwick", c.value), ticked ? "1" : "0");
      EXPECT_EQ(Settings.*c.setting, ticked);
      GeneralSettingsPage loaded;
      loaded.*c.box = !ticked;
      LoadGeneralSettings(loaded);
      EXPECT_EQ(loaded.*c.box, ticked);
    }
  }
}

TEST_F(OptionsTest, FlagsOtherThanExactlyOneShowUnticked) {
  TestMachine machine(
      "[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n"
      "\"NotAutoBackup\"=\" 1\"\r\n\"SelectAll\"=\"yes\"\r\n\"CheckUpdate\"=dword:00000001\r\n",
      kProgramLine);
  GeneralSettingsPage page{true, true, true, true, ""};
  LoadGeneralSettings(page);
  EXPECT_FALSE(page.ChkAutoBackup);
  EXPECT_FALSE(page.ChkCheckItem);
  EXPECT_FALSE(page.cbCheckUpdate);
}

TEST_F(OptionsTest, RunAtStartupShowsTickedOnlyForTheExactProgramPath) {
  struct Case {
    const char* what;
    std::optional<std::string> data;
    bool ticked;
  };
  const Case cases[] = {
      {"exact path", std::string(kProgram), true},
      {"other letter case", std::string("C:\\Program Files\\Fernwick\\FERNWICK.EXE"), false},
      {"quoted", "\"" + std::string(kProgram) + "\"", false},
      {"other program", std::string("C:\\Other\\Fernwick.exe"), false},
      {"no value", std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestMachine machine("[HKEY_LOCAL_MACHINE\\" + std::string(kRun) + "]\r\n", kProgramLine);
    if (c.data) {
      win::TRegistry registry;
      registry.SetRootKey(HKEY_LOCAL_MACHINE);
      ASSERT_TRUE(registry.OpenKey(kRun, false));
      ASSERT_TRUE(registry.WriteString("Fernwick.exe", *c.data));
    }
    GeneralSettingsPage page;
    page.ChkRun = !c.ticked;
    LoadGeneralSettings(page);
    EXPECT_EQ(page.ChkRun, c.ticked);
  }
}

TEST_F(OptionsTest, RunAtStartupWritesAndDeletesTheRunValue) {
  TestMachine machine("", kProgramLine);
  ASSERT_TRUE(SetRunAtStartup(true));
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRun, "Fernwick.exe"), kProgram);
  GeneralSettingsPage page;
  LoadGeneralSettings(page);
  EXPECT_TRUE(page.ChkRun);
  ASSERT_TRUE(SetRunAtStartup(false));
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRun, "Fernwick.exe"), std::nullopt);
  EXPECT_TRUE(SetRunAtStartup(false));  // already gone
}

TEST_F(OptionsTest, VersionLabelShowsTheTrimmedVersionAndTheProgramFileTime) {
  {
    TestMachine machine("[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n\"Version\"=\" 4.1 \"\r\n", kProgramLine);
    GeneralSettingsPage page;
    LoadGeneralSettings(page);
    EXPECT_TRUE(std::regex_match(page.LabelVer,
                                 std::regex(R"(Version: 4\.1, Last Time: 3/[67]/2008 \d{1,2}:\d\d:09 [AP]M)")))
        << page.LabelVer;
  }
  {
    TestMachine machine("[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n\"Version\"=\"  \"\r\n", kProgramLine);
    GeneralSettingsPage page;
    LoadGeneralSettings(page);
    EXPECT_EQ(page.LabelVer.rfind("Version: 4.0, Last Time: ", 0), 0u) << page.LabelVer;
  }
  {
    TestMachine machine("", kProgramLine);
    ASSERT_TRUE(win::DeleteFile(kProgram));
    GeneralSettingsPage page;
    LoadGeneralSettings(page);
    EXPECT_EQ(page.LabelVer, "Unknowable Version");
  }
}

TEST_F(OptionsTest, VersionLabelOnTheSampleMachineUsesItsRegionalFormat) {
  // File times are UTC; the label shows local time.
  struct UtcZone {
    UtcZone() : saved(std::getenv("TZ")), previous(saved ? saved : "") {
      setenv("TZ", "UTC0", 1);
      tzset();
    }
    ~UtcZone() {
      if (saved) setenv("TZ", previous.c_str(), 1);
      else unsetenv("TZ");
      tzset();
    }
    const char* saved;
    std::string previous;
  } utc;
  std::string parent = (std::filesystem::temp_directory_path() / "fwoptions-XXXXXX").string();
  ASSERT_NE(mkdtemp(parent.data()), nullptr);
  const std::string folder = parent + "/machine";
  std::string error;
  ASSERT_TRUE(win::CreateMachine(folder, win::SampleMachineRecipe(), error)) << error;
  {
    std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
    ASSERT_TRUE(machine) << error;
    win::SetCurrentMachine(machine.get());
    GeneralSettingsPage page;
    LoadGeneralSettings(page);
    win::SetCurrentMachine(nullptr);
    EXPECT_EQ(page.LabelVer, "Version: 4.0, Last Time: 20/02/2009 10:00:00");
  }
  std::filesystem::remove_all(parent);
}

// Rows as "category | key".
std::vector<std::string> RowTexts(const TIgnoreListPage& page) {
  std::vector<std::string> texts;
  for (const auto& row : page.Rows()) texts.push_back(row.Category + " | " + row.RegistryKey);
  return texts;
}

const char* const kIgnoreText =
    "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial (TrueType)\r\n"
    "\r\n"
    "   \r\n"
    "Application Paths|HKEY_LOCAL_MACHINE\\App Paths\\old.exe|\r\n"
    "loose line\r\n"
    "Help Section|HKEY_LOCAL_MACHINE\\Help|a|b\r\n";

TEST_F(OptionsTest, IgnorePageRemovesTheRightLineAndKeepsCrLf) {
  TestMachine machine("", kProgramLine);
  WriteFile(kIgnoreFile, kIgnoreText);
  TIgnoreListPage page;
  page.Fill();
  // Blank lines give no rows; a line without "|" reads as the scanner reads it.
  EXPECT_EQ(RowTexts(page), (std::vector<std::string>{"Font Entries | HKEY_LOCAL_MACHINE\\Fonts",
                                                      "Application Paths | HKEY_LOCAL_MACHINE\\App Paths\\old.exe",
                                                      " | ", "Help Section | HKEY_LOCAL_MACHINE\\Help"}));

  ASSERT_TRUE(page.RemoveRow(1));  // after the blank lines
  EXPECT_EQ(FileBytes(kIgnoreFile),
            "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial (TrueType)\r\n"
            "\r\n"
            "   \r\n"
            "loose line\r\n"
            "Help Section|HKEY_LOCAL_MACHINE\\Help|a|b\r\n");
  ASSERT_TRUE(page.RemoveRow(2));  // the row numbers follow the removal
  EXPECT_EQ(FileBytes(kIgnoreFile),
            "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial (TrueType)\r\n"
            "\r\n"
            "   \r\n"
            "loose line\r\n");
  EXPECT_EQ(RowTexts(page), (std::vector<std::string>{"Font Entries | HKEY_LOCAL_MACHINE\\Fonts", " | "}));
  EXPECT_FALSE(page.RemoveRow(2));
  EXPECT_FALSE(page.RemoveRow(-1));
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(OptionsTest, IgnorePageKeepsAnsiTextAndALastLineWithoutItsEnd) {
  TestMachine machine("", kProgramLine);
  WriteFile(kIgnoreFile, "Sounds Section|HKEY_CURRENT_USER\\Caf\xE9|x\r\nFont Entries|HKEY_LOCAL_MACHINE\\F|y");
  TIgnoreListPage page;
  page.Fill();
  ASSERT_EQ(page.Rows().size(), 2u);
  EXPECT_EQ(page.Rows()[0].RegistryKey, "HKEY_CURRENT_USER\\Caf\xC3\xA9");
  ASSERT_TRUE(page.RemoveRow(1));
  EXPECT_EQ(FileBytes(kIgnoreFile), "Sounds Section|HKEY_CURRENT_USER\\Caf\xE9|x\r\n");
}

TEST_F(OptionsTest, IgnorePageReadsCrOnlyLinesAndLeavesTheOtherLinesByteForByte) {
  TestMachine machine("", kProgramLine);
  const std::string rest = "Sounds Section|HKEY_CURRENT_USER\\K\x81\x8D\x8F\x90\x9D|b\nHelp Section|HKEY_LOCAL_MACHINE\\Help|c\r";
  WriteFile(kIgnoreFile, "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|a\r" + rest);
  TIgnoreListPage page;
  page.Fill();
  ASSERT_EQ(page.Rows().size(), 3u);
  EXPECT_EQ(page.Rows()[2].Category, "Help Section");
  ASSERT_TRUE(page.RemoveRow(0));
  EXPECT_EQ(FileBytes(kIgnoreFile), rest);
  ASSERT_TRUE(page.RemoveRow(1));
  EXPECT_EQ(FileBytes(kIgnoreFile), "Sounds Section|HKEY_CURRENT_USER\\K\x81\x8D\x8F\x90\x9D|b\n");
}

TEST_F(OptionsTest, IgnoreRowStaysWhenTheFileCannotBeWritten) {
  TestMachine machine("", kProgramLine);
  WriteFile(kIgnoreFile, kIgnoreText);
  ASSERT_TRUE(win::SetFileAttributes(kIgnoreFile, win::FILE_ATTRIBUTE_READONLY));
  TIgnoreListPage page;
  page.Fill();
  EXPECT_FALSE(page.RemoveRow(0));
  EXPECT_EQ(page.Rows().size(), 4u);
  EXPECT_EQ(FileBytes(kIgnoreFile), kIgnoreText);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, kIgnoreListNotWrittenMessage);
}

TEST_F(OptionsTest, MissingIgnoreFileGivesNoRows) {
  TestMachine machine("", kProgramLine);
  TIgnoreListPage page;
  page.Fill();
  EXPECT_TRUE(page.Rows().empty());
}

// ---- scheduling --------------------------------------------------------

const TDateTime kNow{2008, 3, 7, 14, 5, 9};

std::shared_ptr<win::ITask> SavedJob(const char16_t* name = u"Fernwick.job") {
  std::shared_ptr<win::ITaskScheduler> scheduler;
  EXPECT_EQ(win::CreateTaskScheduler(scheduler), win::S_OK);
  std::shared_ptr<win::ITask> task;
  return win::SUCCEEDED(scheduler->Activate(name, task)) ? task : nullptr;
}

std::string Text(win::HRESULT (win::ITask::*get)(std::u16string&), win::ITask& task) {
  std::u16string text;
  (task.*get)(text);
  return win::Utf16ToUtf8(text);
}

// Ticks the box at `now`, sets the time and days, and presses OK.
void TickAndSave(int hour, int minute, int days, const TDateTime& now = kNow) {
  SchedulePage page;
  LoadSchedule(page, now);
  page.cbActiveTask = true;
  ActiveTaskClick(page, now);
  page.StartHour = hour;
  page.StartMinute = minute;
  page.SpinEditDays = days;
  SaveSchedule(page, now);
}

TEST_F(OptionsTest, WithoutAJobSchedulingShowsUntickedAtHalfPastNine) {
  TestMachine machine("", kProgramLine);
  ASSERT_EQ(InitTaskScheduler(), win::S_OK);
  SchedulePage page;
  page.StartHour = 17;
  page.SpinEditDays = 5;
  page.ControlsEnabled = true;
  LoadSchedule(page, kNow);
  EXPECT_FALSE(page.cbActiveTask);
  EXPECT_EQ(page.StartHour, 9);
  EXPECT_EQ(page.StartMinute, 30);
  EXPECT_EQ(page.SpinEditDays, 1);
  EXPECT_FALSE(page.ControlsEnabled);

  page.cbActiveTask = true;
  ActiveTaskClick(page, kNow);
  EXPECT_EQ(page.StartHour, 14);
  EXPECT_EQ(page.StartMinute, 5);
  EXPECT_EQ(page.SpinEditDays, 1);
  EXPECT_TRUE(page.ControlsEnabled);
}

TEST_F(OptionsTest, TickAndOkCreatesTheJobWithEveryProperty) {
  TestMachine machine("", kProgramLine);
  ASSERT_EQ(InitTaskScheduler(), win::S_OK);
  TickAndSave(21, 45, 3);
  EXPECT_TRUE(dialogs.messages().empty());

  auto job = SavedJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(Text(&win::ITask::GetApplicationName, *job), kProgram);
  EXPECT_EQ(Text(&win::ITask::GetWorkingDirectory, *job), "C:\\Program Files\\Fernwick\\");
  EXPECT_EQ(Text(&win::ITask::GetParameters, *job), "-Scan");
  EXPECT_EQ(Text(&win::ITask::GetComment, *job), "Runs Fernwick at Scheduled Time.");
  EXPECT_EQ(Text(&win::ITask::GetAccountInformation, *job), "Owner");
  win::DWORD flags = 1;
  job->GetFlags(flags);
  EXPECT_EQ(flags, win::TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
  job->GetTaskFlags(flags);
  EXPECT_EQ(flags, 0u);
  win::WORD count = 0;
  job->GetTriggerCount(count);
  ASSERT_EQ(count, 1);
  std::shared_ptr<win::ITaskTrigger> trigger;
  ASSERT_EQ(job->GetTrigger(0, trigger), win::S_OK);
  win::TASK_TRIGGER t;
  ASSERT_EQ(trigger->GetTrigger(t), win::S_OK);
  EXPECT_EQ(t.cbTriggerSize, 48);
  EXPECT_EQ(t.wBeginYear, 2008);
  EXPECT_EQ(t.wBeginMonth, 3);
  EXPECT_EQ(t.wBeginDay, 7);
  EXPECT_EQ(t.wEndYear, 0);
  EXPECT_EQ(t.wStartHour, 21);
  EXPECT_EQ(t.wStartMinute, 45);
  EXPECT_EQ(t.MinutesDuration, 0u);
  EXPECT_EQ(t.MinutesInterval, 0u);
  EXPECT_EQ(t.rgFlags, 0u);
  EXPECT_EQ(t.TriggerType, win::TASK_TIME_TRIGGER_DAILY);
  EXPECT_EQ(t.Type.Daily.DaysInterval, 3);
  EXPECT_EQ(t.wRandomMinutesInterval, 0);

  // The next run shows the job as saved.
  ResetTaskSchedulerState();
  ASSERT_EQ(InitTaskScheduler(), win::S_OK);
  SchedulePage page;
  LoadSchedule(page, TDateTime{2008, 3, 9, 8, 0, 0});
  EXPECT_TRUE(page.cbActiveTask);
  EXPECT_TRUE(page.ControlsEnabled);
  EXPECT_EQ(page.StartHour, 21);
  EXPECT_EQ(page.StartMinute, 45);
  EXPECT_EQ(page.SpinEditDays, 3);
  EXPECT_EQ(page.abTaskName, "Fernwick.job");
  EXPECT_EQ(page.TaskApplication, kProgram);

  // Changing it keeps one trigger and starts it today.
  page.StartHour = 6;
  page.SpinEditDays = 31;
  SaveSchedule(page, TDateTime{2008, 3, 9, 8, 0, 0});
  job = SavedJob();
  job->GetTriggerCount(count);
  EXPECT_EQ(count, 1);
  job->GetTrigger(0, trigger);
  trigger->GetTrigger(t);
  EXPECT_EQ(t.wStartHour, 6);
  EXPECT_EQ(t.wBeginDay, 9);
  EXPECT_EQ(t.Type.Daily.DaysInterval, 31);
}

TEST_F(OptionsTest, DeleteThenCreateAgainInOneRun) {
  TestMachine machine("", kProgramLine);
  ASSERT_EQ(InitTaskScheduler(), win::S_OK);
  TickAndSave(10, 0, 1);
  ASSERT_NE(SavedJob(), nullptr);

  SchedulePage page;
  LoadSchedule(page, kNow);
  ASSERT_TRUE(page.cbActiveTask);
  page.cbActiveTask = false;
  ActiveTaskClick(page, kNow);
  SaveSchedule(page, kNow);
  EXPECT_EQ(SavedJob(), nullptr);
  EXPECT_EQ(ScheduledTask, nullptr);

  TickAndSave(11, 15, 2);
  auto job = SavedJob();
  ASSERT_NE(job, nullptr);
  std::shared_ptr<win::ITaskTrigger> trigger;
  ASSERT_EQ(job->GetTrigger(0, trigger), win::S_OK);
  win::TASK_TRIGGER t;
  trigger->GetTrigger(t);
  EXPECT_EQ(t.wStartHour, 11);
  EXPECT_EQ(t.Type.Daily.DaysInterval, 2);
  EXPECT_TRUE(dialogs.messages().empty());
}

// The machine's scheduler, whose Delete can be made to fail.
class RefusingScheduler : public win::ITaskScheduler {
 public:
  explicit RefusingScheduler(std::shared_ptr<win::ITaskScheduler> real) : real_(std::move(real)) {}
  win::HRESULT Activate(const char16_t* name, std::shared_ptr<win::ITask>& task) override {
    return real_->Activate(name, task);
  }
  win::HRESULT NewWorkItem(const char16_t* name, std::shared_ptr<win::ITask>& task) override {
    return real_->NewWorkItem(name, task);
  }
  win::HRESULT Delete(const char16_t* name) override { return deleteResult ? *deleteResult : real_->Delete(name); }
  win::HRESULT Enum(std::unique_ptr<win::IEnumWorkItems>& items) override { return real_->Enum(items); }
  std::optional<win::HRESULT> deleteResult;

 private:
  std::shared_ptr<win::ITaskScheduler> real_;
};

TEST_F(OptionsTest, AJobThatCannotBeDeletedIsToldAndKept) {
  TestMachine machine("", kProgramLine);
  ASSERT_EQ(InitTaskScheduler(), win::S_OK);
  TickAndSave(10, 0, 1);
  auto refusing = std::make_shared<RefusingScheduler>(TaskScheduler);
  TaskScheduler = refusing;

  SchedulePage page;
  LoadSchedule(page, kNow);
  page.cbActiveTask = false;
  ActiveTaskClick(page, kNow);
  refusing->deleteResult = win::HRESULT_FROM_WIN32(win::ERROR_ACCESS_DENIED);
  SaveSchedule(page, kNow);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Error in SchedulingAgent.Delete.Error Code :80070005");
  EXPECT_NE(SavedJob(), nullptr);
  EXPECT_NE(ScheduledTask, nullptr);

  // Ticked again in the same run, the kept job is changed, not made anew.
  page.cbActiveTask = true;
  page.StartHour = 6;
  SaveSchedule(page, kNow);
  EXPECT_EQ(dialogs.messages().size(), 1u);
  std::shared_ptr<win::ITaskTrigger> trigger;
  win::TASK_TRIGGER t;
  ASSERT_EQ(SavedJob()->GetTrigger(0, trigger), win::S_OK);
  trigger->GetTrigger(t);
  EXPECT_EQ(t.wStartHour, 6);

  // Gone already when unticked: forgotten without a message.
  refusing->deleteResult = win::HRESULT_FROM_WIN32(win::ERROR_FILE_NOT_FOUND);
  page.cbActiveTask = false;
  SaveSchedule(page, kNow);
  EXPECT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(ScheduledTask, nullptr);
}

TEST_F(OptionsTest, AJobDeletedOutsideIsForgottenAndMadeAnew) {
  TestMachine machine("", kProgramLine);
  ASSERT_EQ(InitTaskScheduler(), win::S_OK);
  TickAndSave(10, 0, 1);
  ASSERT_EQ(TaskScheduler->Delete(u"Fernwick.job"), win::S_OK);
  TickAndSave(12, 30, 4);  // opens the dialog again, finds nothing, ticks, OK
  auto job = SavedJob();
  ASSERT_NE(job, nullptr);
  std::u16string parameters;
  job->GetParameters(parameters);
  EXPECT_EQ(parameters, u"-Scan");
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(OptionsTest, JobNameInAnotherLetterCaseIsFound) {
  TestMachine machine("", kProgramLine);
  ASSERT_EQ(InitTaskScheduler(), win::S_OK);
  std::shared_ptr<win::ITask> task;
  ASSERT_EQ(TaskScheduler->NewWorkItem(u"FERNWICK.JOB", task), win::S_OK);
  win::WORD index = 0;
  std::shared_ptr<win::ITaskTrigger> trigger;
  task->CreateTrigger(index, trigger);
  win::TASK_TRIGGER t;
  trigger->GetTrigger(t);
  t.wStartHour = 7;
  t.wStartMinute = 15;
  t.Type.Daily.DaysInterval = 2;
  ASSERT_EQ(trigger->SetTrigger(t), win::S_OK);
  std::shared_ptr<win::IPersistFile> file;
  task->QueryPersistFile(file);
  ASSERT_EQ(file->Save(nullptr, true), win::S_OK);

  SchedulePage page;
  LoadSchedule(page, kNow);
  EXPECT_TRUE(page.cbActiveTask);
  EXPECT_EQ(page.abTaskName, "FERNWICK.JOB");
  EXPECT_EQ(page.StartHour, 7);
  EXPECT_EQ(page.SpinEditDays, 2);
}

TEST_F(OptionsTest, AJobThatAppearedMeanwhileGivesAMessage) {
  TestMachine machine("", kProgramLine);
  ASSERT_EQ(InitTaskScheduler(), win::S_OK);
  SchedulePage page;
  LoadSchedule(page, kNow);
  // Another copy of the program makes the job while this dialog is open.
  std::shared_ptr<win::ITask> other;
  ASSERT_EQ(TaskScheduler->NewWorkItem(u"Fernwick.job", other), win::S_OK);
  std::shared_ptr<win::IPersistFile> file;
  other->QueryPersistFile(file);
  ASSERT_EQ(file->Save(nullptr, true), win::S_OK);

  page.cbActiveTask = true;
  ActiveTaskClick(page, kNow);
  SaveSchedule(page, kNow);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, kJobExistsMessage);
  EXPECT_EQ(ScheduledTask, nullptr);
}

TEST_F(OptionsTest, MissingSchedulerEndsTheProgramWithItsCode) {
  TestMachine machine("", kProgramLine, ConfigWith("AnsiCodePage=1252", "AnsiCodePage=1252\r\nTaskScheduler=0"));
  EXPECT_EQ(InitTaskScheduler(), win::REGDB_E_CLASSNOTREG);
  EXPECT_EQ(TaskScheduler, nullptr);
  EXPECT_TRUE(ApplicationTerminated());
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Error in ActiveX.CoCreateInstance.Error Code :80040154");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, MB_OK);
  // Nothing touches the missing object afterwards.
  SchedulePage page;
  LoadSchedule(page, kNow);
  page.cbActiveTask = true;
  SaveSchedule(page, kNow);
  EXPECT_EQ(dialogs.messages().size(), 1u);
}

}  // namespace
