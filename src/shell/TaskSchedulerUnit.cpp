#include "shell/TaskSchedulerUnit.h"

#include <cstdio>

#include "shell/Dialogs.h"
#include "shell/PublicFunctionUnit.h"

std::shared_ptr<win::ITaskScheduler> TaskScheduler;
std::shared_ptr<win::ITask> ScheduledTask;
std::shared_ptr<win::IPersistFile> TaskPersistFile;

const char* const ScheduledJobName = "Fernwick.job";

namespace {

constexpr const char* kCaption = "Fernwick";

void ShowPlainMessage(const std::string& text) { CurrentDialogs().MessageBox(text, kCaption, MB_OK); }

}  // namespace

std::string ErrorCodeText(win::HRESULT code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%.8X", static_cast<unsigned>(code));
  return buffer;
}

win::HRESULT InitTaskScheduler() {
  if (TaskScheduler) return win::S_OK;
  const win::HRESULT hr = win::CreateTaskScheduler(TaskScheduler);
  if (win::FAILED(hr)) {
    TaskScheduler.reset();
    ShowPlainMessage("Error in ActiveX.CoCreateInstance.Error Code :" + ErrorCodeText(hr));
    TerminateApplication();
  }
  return hr;
}

bool ActivateTask(const std::string& name, std::shared_ptr<win::ITask>& task) {
  task.reset();
  if (!TaskScheduler) return false;
  const win::HRESULT hr = TaskScheduler->Activate(StrToPWideChar(name).c_str(), task);
  if (win::FAILED(hr)) {
    task.reset();
    ShowPlainMessage("Error in SchedulingAgent.Activate.Error Code :" + ErrorCodeText(hr));
    return false;
  }
  return true;
}

win::HRESULT SaveTask() {
  TaskPersistFile.reset();
  if (!ScheduledTask || win::FAILED(ScheduledTask->QueryPersistFile(TaskPersistFile)) || !TaskPersistFile) {
    TaskPersistFile.reset();
    ShowPlainMessage("Error in  Task.QueryInterface(IID_IPersistFile, pIPersistFile):");
    return -1;
  }
  const win::HRESULT hr = TaskPersistFile->Save(nullptr, true);
  if (win::FAILED(hr)) ShowPlainMessage("Error in PersistFile.Save.Error Code :" + ErrorCodeText(hr));
  return hr;
}

win::HRESULT DeleteTask(const std::string& name) {
  if (!TaskScheduler) return win::E_POINTER;
  return TaskScheduler->Delete(StrToPWideChar(name).c_str());
}

void ResetTaskSchedulerState() {
  TaskPersistFile.reset();
  ScheduledTask.reset();
  TaskScheduler.reset();
}
