#include "shell/OptionUnit.h"

#include "platform/files/FileSystem.h"
#include "platform/files/IniFile.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/IgnoreFileUnit.h"
#include "shell/Dialogs.h"
#include "shell/TaskSchedulerUnit.h"

const char* const RunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kIgnoreListNotWrittenMessage =
    "The ignore list could not be written, so the entry was not removed.";
const char* const kJobExistsMessage = "The scheduled task \"Fernwick.job\" already exists.";

namespace {

constexpr const char* kCaption = "Fernwick";
constexpr int kUntickedHour = 9;
constexpr int kUntickedMinute = 30;

std::string ProgramFileName() { return win::ExtractFileName(win::ProgramFile()); }

bool IsFlagSet(win::TRegistry& registry, const char* name) {
  return registry.ReadString(name).value_or(std::string()) == "1";
}

void ShowSchedulerError(const char* call, win::HRESULT hr) {
  CurrentDialogs().MessageBox(std::string("Error in ") + call + ".Error Code :" + ErrorCodeText(hr),
                              kCaption, MB_OK);
}

void ForgetScheduledTask() {
  ScheduledTask.reset();
  TaskPersistFile.reset();
}

// The saved job's name as the scheduler lists it, or empty.
std::string FindScheduledJob() {
  std::unique_ptr<win::IEnumWorkItems> items;
  if (!TaskScheduler || win::FAILED(TaskScheduler->Enum(items))) return {};
  std::vector<std::u16string> names;
  unsigned long fetched = 0;
  while (items->Next(1, names, fetched) == win::S_OK) {
    const std::string name = win::Utf16ToUtf8(names.back());
    if (win::SameName(name, ScheduledJobName)) return name;
  }
  return {};
}

// A new job with every property of the scheduled scan; null after a message.
std::shared_ptr<win::ITask> NewScheduledJob() {
  std::shared_ptr<win::ITask> task;
  const win::HRESULT hr = TaskScheduler->NewWorkItem(StrToPWideChar(ScheduledJobName).c_str(), task);
  if (hr == win::HRESULT_FROM_WIN32(win::ERROR_FILE_EXISTS)) {
    CurrentDialogs().MessageBox(kJobExistsMessage, kCaption, MB_OK | MB_ICONWARNING);
    return nullptr;
  }
  if (win::FAILED(hr) || !task) {
    ShowSchedulerError("SchedulingAgent.NewWorkItem", hr);
    return nullptr;
  }
  std::string user;
  GetCurrentUserName(user);
  task->SetApplicationName(StrToPWideChar(win::ProgramFile()).c_str());
  task->SetWorkingDirectory(StrToPWideChar(win::ExtractFilePath(win::ProgramFile())).c_str());
  task->SetParameters(StrToPWideChar("-Scan").c_str());
  task->SetFlags(win::TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
  task->SetComment(StrToPWideChar("Runs Fernwick at Scheduled Time.").c_str());
  task->SetAccountInformation(StrToPWideChar(user).c_str(), nullptr);
  task->SetTaskFlags(0);
  return task;
}

win::TASK_TRIGGER DailyTrigger(const SchedulePage& page, const TDateTime& today) {
  win::TASK_TRIGGER trigger;
  trigger.cbTriggerSize = win::kTaskTriggerSize;
  trigger.wBeginYear = static_cast<win::WORD>(today.Year);
  trigger.wBeginMonth = static_cast<win::WORD>(today.Month);
  trigger.wBeginDay = static_cast<win::WORD>(today.Day);
  trigger.wStartHour = static_cast<win::WORD>(page.StartHour);
  trigger.wStartMinute = static_cast<win::WORD>(page.StartMinute);
  trigger.MinutesDuration = 0;
  trigger.MinutesInterval = 0;
  trigger.rgFlags = 0;
  trigger.TriggerType = win::TASK_TIME_TRIGGER_DAILY;
  trigger.Type.Daily.DaysInterval = static_cast<win::WORD>(page.SpinEditDays);
  trigger.wRandomMinutesInterval = 0;
  return trigger;
}

}  // namespace

std::string VersionLabelText(const std::string& version) {
  const auto info = win::GetFileInfo(win::ProgramFile());
  if (!info) return "Unknowable Version";
  return "Version: " + version + ", Last Time: " +
         FormatShortDateTime(FileTimeToLocalDateTime(info->lastWriteTime));
}

void LoadGeneralSettings(GeneralSettingsPage& page) {
  win::TRegistry run(win::KEY_READ);
  run.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (run.OpenKeyReadOnly(RunKey))
    page.ChkRun = run.ReadString(ProgramFileName()).value_or(std::string()) == win::ProgramFile();

  std::string version;
  win::TRegistry settings;
  settings.SetRootKey(win::HKEY_CURRENT_USER);
  if (settings.OpenKeyReadOnly(SettingsKey)) {
    page.ChkAutoBackup = IsFlagSet(settings, "NotAutoBackup");
    page.ChkCheckItem = IsFlagSet(settings, "SelectAll");
    page.cbCheckUpdate = IsFlagSet(settings, "CheckUpdate");
    version = win::Trim(settings.ReadString("Version").value_or(std::string()), win::kSpacesAndTabs);
  }
  page.LabelVer = VersionLabelText(version.empty() ? ProgramVersion : version);
}

bool SaveGeneralSettings(const GeneralSettingsPage& page) {
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (!registry.OpenKey(SettingsKey, true)) return false;
  const struct {
    const char* name;
    bool ticked;
    bool TMyRegistryInfo::*setting;
  } flags[] = {
      {"NotAutoBackup", page.ChkAutoBackup, &TMyRegistryInfo::NotAutoBackup},
      {"SelectAll", page.ChkCheckItem, &TMyRegistryInfo::SelectAll},
      {"CheckUpdate", page.cbCheckUpdate, &TMyRegistryInfo::CheckUpdate},
  };
  bool ok = true;
  for (const auto& flag : flags) {
    if (registry.WriteString(flag.name, flag.ticked ? "1" : "0")) Settings.*flag.setting = flag.ticked;
    else ok = false;
  }
  return ok;
}

bool SetRunAtStartup(bool on) {
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey(RunKey, true)) return false;
  if (on) return registry.WriteString(ProgramFileName(), win::ProgramFile());
  return !registry.ValueExists(ProgramFileName()) || registry.DeleteValue(ProgramFileName());
}

void TIgnoreListPage::Fill() {
  lines_.clear();
  rows_.clear();
  rowLines_.clear();
  regclean::ReadIgnoreFileLines(lines_);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (win::Trim(lines_[i], win::kSpacesAndTabs).empty()) continue;
    const TIgnoreContent entry = regclean::ParseIgnoreLine(lines_[i]);
    rows_.push_back({entry.Section, entry.KeyPath});
    rowLines_.push_back(i);
  }
}

bool TIgnoreListPage::RemoveRow(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return false;
  const std::size_t line = rowLines_[static_cast<std::size_t>(row)];
  if (!regclean::RemoveIgnoreFileLine(line, lines_[line])) {
    CurrentDialogs().MessageBox(kIgnoreListNotWrittenMessage, kCaption, MB_OK | MB_ICONWARNING);
    return false;
  }
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
  rows_.erase(rows_.begin() + row);
  rowLines_.erase(rowLines_.begin() + row);
  for (std::size_t& index : rowLines_) {
    if (index > line) --index;
  }
  return true;
}

void ActiveTaskClick(SchedulePage& page, const TDateTime& now) {
  if (page.cbActiveTask) {
    page.StartHour = now.Hour;
    page.StartMinute = now.Minute;
  } else {
    page.StartHour = kUntickedHour;
    page.StartMinute = kUntickedMinute;
  }
  page.ControlsEnabled = page.cbActiveTask;
  page.SpinEditDays = 1;
}

void LoadSchedule(SchedulePage& page, const TDateTime& now) {
  page.cbActiveTask = false;
  ActiveTaskClick(page, now);
  const std::string name = FindScheduledJob();
  if (name.empty()) {
    ForgetScheduledTask();
    return;
  }
  page.cbActiveTask = true;
  ActiveTaskClick(page, now);
  if (!ActivateTask(ScheduledJobName, ScheduledTask)) {
    ForgetScheduledTask();
    return;
  }
  std::u16string application;
  ScheduledTask->GetApplicationName(application);
  page.TaskApplication = win::Utf16ToUtf8(application);
  page.abTaskName = name;
  std::shared_ptr<win::ITaskTrigger> trigger;
  win::TASK_TRIGGER data;
  if (win::SUCCEEDED(ScheduledTask->GetTrigger(0, trigger)) && win::SUCCEEDED(trigger->GetTrigger(data))) {
    page.StartHour = data.wStartHour;
    page.StartMinute = data.wStartMinute;
    if (data.TriggerType == win::TASK_TIME_TRIGGER_DAILY) page.SpinEditDays = data.Type.Daily.DaysInterval;
  }
}

void SaveSchedule(const SchedulePage& page, const TDateTime& today) {
  if (!TaskScheduler) return;
  if (!page.cbActiveTask) {
    // A job that is gone already is forgotten too; one that stays is kept.
    const win::HRESULT hr = ScheduledTask ? DeleteTask(ScheduledJobName) : win::S_OK;
    if (win::FAILED(hr) && hr != win::HRESULT_FROM_WIN32(win::ERROR_FILE_NOT_FOUND)) {
      ShowSchedulerError("SchedulingAgent.Delete", hr);
      return;
    }
    ForgetScheduledTask();
    return;
  }
  std::shared_ptr<win::ITaskTrigger> trigger;
  win::HRESULT hr = win::S_OK;
  if (!ScheduledTask) {
    ScheduledTask = NewScheduledJob();
    if (!ScheduledTask) return;
    if (win::FAILED(SaveTask())) return;
    win::WORD index = 0;
    hr = ScheduledTask->CreateTrigger(index, trigger);
  } else if (win::FAILED(ScheduledTask->GetTrigger(0, trigger))) {
    win::WORD index = 0;
    hr = ScheduledTask->CreateTrigger(index, trigger);
  }
  if (win::SUCCEEDED(hr)) hr = trigger->SetTrigger(DailyTrigger(page, today));
  if (win::FAILED(hr)) {
    ShowSchedulerError("Task.SetTrigger", hr);
    return;
  }
  SaveTask();
}
