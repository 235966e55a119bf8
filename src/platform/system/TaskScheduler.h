#pragma once
// The Task Scheduler of the current machine, shaped like its version 1.0
// interfaces: a scheduler object that activates, creates, deletes and
// enumerates work items ("<name>.job"), work items with their properties and
// triggers, and the persist-file interface that saves a work item. Jobs are
// kept in the machine's state.db; nothing runs them here. Results are
// HRESULT values; nothing throws.
//
// Work item names compare without regard to letter case; a name without the
// ".job" extension gets it. A new work item exists for Activate, Enum and
// Delete only once it has been saved.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

using HRESULT = std::int32_t;
using WORD = std::uint16_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT SCHED_E_TRIGGER_NOT_FOUND = static_cast<HRESULT>(0x80041309u);
constexpr HRESULT SCHED_E_ACCOUNT_INFORMATION_NOT_SET = static_cast<HRESULT>(0x8004130Fu);

constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
  return code == 0 ? S_OK : static_cast<HRESULT>((code & 0xFFFFu) | 0x80070000u);
}
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Work item flags (ITask::SetFlags).
constexpr DWORD TASK_FLAG_INTERACTIVE = 0x1;
constexpr DWORD TASK_FLAG_DELETE_WHEN_DONE = 0x2;
constexpr DWORD TASK_FLAG_DISABLED = 0x4;
constexpr DWORD TASK_FLAG_START_ONLY_IF_IDLE = 0x10;
constexpr DWORD TASK_FLAG_KILL_ON_IDLE_END = 0x20;
constexpr DWORD TASK_FLAG_DONT_START_IF_ON_BATTERIES = 0x40;
constexpr DWORD TASK_FLAG_KILL_IF_GOING_ON_BATTERIES = 0x80;
constexpr DWORD TASK_FLAG_RUN_ONLY_IF_DOCKED = 0x100;
constexpr DWORD TASK_FLAG_HIDDEN = 0x200;
constexpr DWORD TASK_FLAG_RUN_IF_CONNECTED_TO_INTERNET = 0x400;
constexpr DWORD TASK_FLAG_RESTART_ON_IDLE_RESUME = 0x800;
constexpr DWORD TASK_FLAG_SYSTEM_REQUIRED = 0x1000;
constexpr DWORD TASK_FLAG_RUN_ONLY_IF_LOGGED_ON = 0x2000;

// Trigger flags.
constexpr DWORD TASK_TRIGGER_FLAG_HAS_END_DATE = 0x1;
constexpr DWORD TASK_TRIGGER_FLAG_KILL_AT_DURATION_END = 0x2;
constexpr DWORD TASK_TRIGGER_FLAG_DISABLED = 0x4;

enum TASK_TRIGGER_TYPE : std::int32_t {
  TASK_TIME_TRIGGER_ONCE = 0,
  TASK_TIME_TRIGGER_DAILY = 1,
  TASK_TIME_TRIGGER_WEEKLY = 2,
  TASK_TIME_TRIGGER_MONTHLYDATE = 3,
  TASK_TIME_TRIGGER_MONTHLYDOW = 4,
  TASK_EVENT_TRIGGER_ON_IDLE = 5,
  TASK_EVENT_TRIGGER_AT_SYSTEMSTART = 6,
  TASK_EVENT_TRIGGER_AT_LOGON = 7,
};

struct DAILY {
  WORD DaysInterval;
};
struct WEEKLY {
  WORD WeeksInterval;
  WORD rgfDaysOfTheWeek;
};
struct MONTHLYDATE {
  DWORD rgfDays;
  WORD rgfMonths;
};
struct MONTHLYDOW {
  WORD wWhichWeek;
  WORD rgfDaysOfTheWeek;
  WORD rgfMonths;
};
union TRIGGER_TYPE_UNION {
  DAILY Daily;
  WEEKLY Weekly;
  MONTHLYDATE MonthlyDate;
  MONTHLYDOW MonthlyDOW;
};

constexpr WORD kTaskTriggerSize = 48;

struct TASK_TRIGGER {
  WORD cbTriggerSize = kTaskTriggerSize;
  WORD Reserved1 = 0;
  WORD wBeginYear = 0;
  WORD wBeginMonth = 0;
  WORD wBeginDay = 0;
  WORD wEndYear = 0;
  WORD wEndMonth = 0;
  WORD wEndDay = 0;
  WORD wStartHour = 0;
  WORD wStartMinute = 0;
  DWORD MinutesDuration = 0;
  DWORD MinutesInterval = 0;
  DWORD rgFlags = 0;
  TASK_TRIGGER_TYPE TriggerType = TASK_TIME_TRIGGER_ONCE;
  TRIGGER_TYPE_UNION Type{};
  WORD Reserved2 = 0;
  WORD wRandomMinutesInterval = 0;
};
static_assert(sizeof(TASK_TRIGGER) == kTaskTriggerSize);

class ITaskTrigger {
 public:
  virtual ~ITaskTrigger() = default;
  // E_INVALIDARG for a wrong size, a date or time that does not exist, or an
  // interval of 0. Takes effect with the work item's next save.
  virtual HRESULT SetTrigger(const TASK_TRIGGER& trigger) = 0;
  virtual HRESULT GetTrigger(TASK_TRIGGER& trigger) = 0;
};

class IPersistFile {
 public:
  virtual ~IPersistFile() = default;
  // fileName null: the work item's own job file. remember is accepted.
  virtual HRESULT Save(const char16_t* fileName, bool remember) = 0;
};

class ITask {
 public:
  virtual ~ITask() = default;
  virtual HRESULT SetApplicationName(const char16_t* name) = 0;
  virtual HRESULT GetApplicationName(std::u16string& name) = 0;
  virtual HRESULT SetParameters(const char16_t* parameters) = 0;
  virtual HRESULT GetParameters(std::u16string& parameters) = 0;
  virtual HRESULT SetWorkingDirectory(const char16_t* directory) = 0;
  virtual HRESULT GetWorkingDirectory(std::u16string& directory) = 0;
  virtual HRESULT SetComment(const char16_t* comment) = 0;
  virtual HRESULT GetComment(std::u16string& comment) = 0;
  virtual HRESULT SetCreator(const char16_t* creator) = 0;
  virtual HRESULT GetCreator(std::u16string& creator) = 0;
  // Work item flags (TASK_FLAG_...); TASK_FLAG_DISABLED disables the job.
  virtual HRESULT SetFlags(DWORD flags) = 0;
  virtual HRESULT GetFlags(DWORD& flags) = 0;
  virtual HRESULT SetTaskFlags(DWORD flags) = 0;
  virtual HRESULT GetTaskFlags(DWORD& flags) = 0;
  // A null password is accepted only for an empty account or when
  // TASK_FLAG_RUN_ONLY_IF_LOGGED_ON is already set (else E_INVALIDARG).
  // The password itself is not kept.
  virtual HRESULT SetAccountInformation(const char16_t* account, const char16_t* password) = 0;
  // SCHED_E_ACCOUNT_INFORMATION_NOT_SET before an account was set.
  virtual HRESULT GetAccountInformation(std::u16string& account) = 0;
  // Appends a trigger (daily, every day, from now) and gives its index.
  virtual HRESULT CreateTrigger(WORD& newIndex, std::shared_ptr<ITaskTrigger>& trigger) = 0;
  // SCHED_E_TRIGGER_NOT_FOUND for an index past the last trigger.
  virtual HRESULT GetTrigger(WORD index, std::shared_ptr<ITaskTrigger>& trigger) = 0;
  virtual HRESULT GetTriggerCount(WORD& count) = 0;
  virtual HRESULT DeleteTrigger(WORD index) = 0;
  // QueryInterface(IID_IPersistFile).
  virtual HRESULT QueryPersistFile(std::shared_ptr<IPersistFile>& file) = 0;
};

class IEnumWorkItems {
 public:
  virtual ~IEnumWorkItems() = default;
  // Appends up to count names ("Fernwick.job"); S_OK when count names were
  // given, S_FALSE when fewer were left.
  virtual HRESULT Next(unsigned long count, std::vector<std::u16string>& names,
                       unsigned long& fetched) = 0;
  virtual HRESULT Skip(unsigned long count) = 0;
  virtual HRESULT Reset() = 0;
};

class ITaskScheduler {
 public:
  virtual ~ITaskScheduler() = default;
  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there is no such job.
  virtual HRESULT Activate(const char16_t* name, std::shared_ptr<ITask>& task) = 0;
  // A new, unsaved work item of the task class; HRESULT_FROM_WIN32
  // (ERROR_FILE_EXISTS) when a job of that name exists, E_INVALIDARG for an
  // empty name or one with characters a file name cannot hold.
  virtual HRESULT NewWorkItem(const char16_t* name, std::shared_ptr<ITask>& task) = 0;
  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there is no such job.
  virtual HRESULT Delete(const char16_t* name) = 0;
  // The saved jobs, sorted by upper-cased name.
  virtual HRESULT Enum(std::unique_ptr<IEnumWorkItems>& items) = 0;
};

// CoCreateInstance(CLSID_CTaskScheduler, ..., IID_ITaskScheduler): fails with
// REGDB_E_CLASSNOTREG on a machine whose machine.ini says TaskScheduler=0
// and with E_FAIL when no machine is open.
HRESULT CreateTaskScheduler(std::shared_ptr<ITaskScheduler>& scheduler);

}  // namespace win
