#pragma once
// The scheduled scan job's side of the shared module: the Task Scheduler
// object (created once per run), the job last opened or created, and the
// routines that create, open, save and delete jobs. Failures are told with
// plain message boxes.

#include <memory>
#include <string>

#include "platform/system/TaskScheduler.h"

extern std::shared_ptr<win::ITaskScheduler> TaskScheduler;
extern std::shared_ptr<win::ITask> ScheduledTask;
extern std::shared_ptr<win::IPersistFile> TaskPersistFile;

extern const char* const ScheduledJobName;  // "Fernwick.job"

// "%.8X" of a result code.
std::string ErrorCodeText(win::HRESULT code);

// Creates the scheduler object unless it exists. On failure it shows
// "Error in ActiveX.CoCreateInstance.Error Code :" with the code and asks
// the application to end. Returns the code (0 when it already existed).
win::HRESULT InitTaskScheduler();
// The scheduler's Activate; on failure a message with the code and no task.
bool ActivateTask(const std::string& name, std::shared_ptr<win::ITask>& task);
// Saves ScheduledTask through its persist-file interface (TaskPersistFile);
// -1 with a message when that interface is missing, and a message when the
// save fails.
win::HRESULT SaveTask();
// The scheduler's Delete.
win::HRESULT DeleteTask(const std::string& name);

// Forgets the scheduler object and the job (tests).
void ResetTaskSchedulerState();
