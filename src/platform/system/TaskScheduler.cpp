#include "platform/system/TaskScheduler.h"

#include <ctime>

#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

const char* const kJobsSchema =
    "CREATE TABLE IF NOT EXISTS scheduled_jobs ("
    " upper_name TEXT PRIMARY KEY NOT NULL,"
    " name TEXT NOT NULL,"
    " application TEXT NOT NULL, parameters TEXT NOT NULL, working_directory TEXT NOT NULL,"
    " comment TEXT NOT NULL, creator TEXT NOT NULL,"
    " flags INTEGER NOT NULL, task_flags INTEGER NOT NULL,"
    " account TEXT, password_set INTEGER NOT NULL)";

const char* const kTriggersSchema =
    "CREATE TABLE IF NOT EXISTS scheduled_job_triggers ("
    " upper_name TEXT NOT NULL, position INTEGER NOT NULL,"
    " begin_year INTEGER, begin_month INTEGER, begin_day INTEGER,"
    " end_year INTEGER, end_month INTEGER, end_day INTEGER,"
    " start_hour INTEGER, start_minute INTEGER,"
    " minutes_duration INTEGER, minutes_interval INTEGER, flags INTEGER, type INTEGER,"
    " interval INTEGER, days_of_week INTEGER, days INTEGER, months INTEGER, which_week INTEGER,"
    " random_minutes INTEGER,"
    " PRIMARY KEY (upper_name, position))";

constexpr const char* kJobExtension = ".JOB";

// The store of the current machine with the job tables; null when no
// machine is open or the tables cannot be made.
StateStore* JobStore() {
  Machine* machine = CurrentMachine();
  if (machine == nullptr) return nullptr;
  StateStore& store = machine->State();
  if (!store.Execute(kJobsSchema) || !store.Execute(kTriggersSchema)) return nullptr;
  return &store;
}

std::string Text(const char16_t* text) { return text == nullptr ? std::string() : Utf16ToUtf8(text); }

// "Fernwick" -> "Fernwick.job"; empty for a name no job file can have.
std::string JobFileName(const char16_t* name) {
  const std::string text = Text(name);
  if (text.empty() || text.find_first_of("\\/:*?\"<>|") != std::string::npos) return {};
  const std::string upper = UpperName(text);
  const std::string ext = kJobExtension;
  if (upper.size() > ext.size() && upper.compare(upper.size() - ext.size(), ext.size(), ext) == 0)
    return text;
  return text + ".job";
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool ValidDate(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || month < 1 || month > 12 || day < 1) return false;
  const int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
  return day <= last;
}

bool ValidTrigger(const TASK_TRIGGER& t) {
  if (t.cbTriggerSize != kTaskTriggerSize) return false;
  if (!ValidDate(t.wBeginYear, t.wBeginMonth, t.wBeginDay)) return false;
  if ((t.rgFlags & TASK_TRIGGER_FLAG_HAS_END_DATE) != 0 && !ValidDate(t.wEndYear, t.wEndMonth, t.wEndDay))
    return false;
  if (t.wStartHour > 23 || t.wStartMinute > 59) return false;
  switch (t.TriggerType) {
    case TASK_TIME_TRIGGER_DAILY:
      return t.Type.Daily.DaysInterval != 0;
    case TASK_TIME_TRIGGER_WEEKLY:
      return t.Type.Weekly.WeeksInterval != 0 && t.Type.Weekly.rgfDaysOfTheWeek != 0;
    case TASK_TIME_TRIGGER_ONCE:
    case TASK_TIME_TRIGGER_MONTHLYDATE:
    case TASK_TIME_TRIGGER_MONTHLYDOW:
    case TASK_EVENT_TRIGGER_ON_IDLE:
    case TASK_EVENT_TRIGGER_AT_SYSTEMSTART:
    case TASK_EVENT_TRIGGER_AT_LOGON:
      return true;
  }
  return false;
}

// The union's fields as one row: interval, days of the week, days, months,
// which week.
struct TypeColumns {
  std::int64_t interval = 0, daysOfWeek = 0, days = 0, months = 0, whichWeek = 0;
};

TypeColumns ToColumns(const TASK_TRIGGER& t) {
  TypeColumns c;
  switch (t.TriggerType) {
    case TASK_TIME_TRIGGER_DAILY: c.interval = t.Type.Daily.DaysInterval; break;
    case TASK_TIME_TRIGGER_WEEKLY:
      c.interval = t.Type.Weekly.WeeksInterval;
      c.daysOfWeek = t.Type.Weekly.rgfDaysOfTheWeek;
      break;
    case TASK_TIME_TRIGGER_MONTHLYDATE:
      c.days = t.Type.MonthlyDate.rgfDays;
      c.months = t.Type.MonthlyDate.rgfMonths;
      break;
    case TASK_TIME_TRIGGER_MONTHLYDOW:
      c.whichWeek = t.Type.MonthlyDOW.wWhichWeek;
      c.daysOfWeek = t.Type.MonthlyDOW.rgfDaysOfTheWeek;
      c.months = t.Type.MonthlyDOW.rgfMonths;
      break;
    default: break;
  }
  return c;
}

void FromColumns(const TypeColumns& c, TASK_TRIGGER& t) {
  t.Type = TRIGGER_TYPE_UNION{};
  switch (t.TriggerType) {
    case TASK_TIME_TRIGGER_DAILY: t.Type.Daily.DaysInterval = static_cast<WORD>(c.interval); break;
    case TASK_TIME_TRIGGER_WEEKLY:
      t.Type.Weekly.WeeksInterval = static_cast<WORD>(c.interval);
      t.Type.Weekly.rgfDaysOfTheWeek = static_cast<WORD>(c.daysOfWeek);
      break;
    case TASK_TIME_TRIGGER_MONTHLYDATE:
      t.Type.MonthlyDate.rgfDays = static_cast<DWORD>(c.days);
      t.Type.MonthlyDate.rgfMonths = static_cast<WORD>(c.months);
      break;
    case TASK_TIME_TRIGGER_MONTHLYDOW:
      t.Type.MonthlyDOW.wWhichWeek = static_cast<WORD>(c.whichWeek);
      t.Type.MonthlyDOW.rgfDaysOfTheWeek = static_cast<WORD>(c.daysOfWeek);
      t.Type.MonthlyDOW.rgfMonths = static_cast<WORD>(c.months);
      break;
    default: break;
  }
}

// A new trigger as the scheduler makes one: daily, every day, from now.
TASK_TRIGGER NewTrigger() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  TASK_TRIGGER trigger;
  trigger.wBeginYear = static_cast<WORD>(tm.tm_year + 1900);
  trigger.wBeginMonth = static_cast<WORD>(tm.tm_mon + 1);
  trigger.wBeginDay = static_cast<WORD>(tm.tm_mday);
  trigger.wStartHour = static_cast<WORD>(tm.tm_hour);
  trigger.wStartMinute = static_cast<WORD>(tm.tm_min);
  trigger.TriggerType = TASK_TIME_TRIGGER_DAILY;
  trigger.Type.Daily.DaysInterval = 1;
  return trigger;
}

struct JobData {
  std::string name;  // "Fernwick.job"
  std::u16string application, parameters, workingDirectory, comment, creator;
  DWORD flags = 0;
  DWORD taskFlags = 0;
  bool accountSet = false;
  std::u16string account;
  bool passwordSet = false;
  std::vector<TASK_TRIGGER> triggers;
};

bool JobExists(StateStore& store, const std::string& name) {
  std::vector<StateRow> rows;
  return store.Query("SELECT 1 FROM scheduled_jobs WHERE upper_name = ?1", {UpperName(name)}, rows) &&
         !rows.empty();
}

bool LoadTriggers(StateStore& store, const std::string& upper, std::vector<TASK_TRIGGER>& triggers) {
  std::vector<StateRow> rows;
  if (!store.Query("SELECT begin_year, begin_month, begin_day, end_year, end_month, end_day,"
                   " start_hour, start_minute, minutes_duration, minutes_interval, flags, type,"
                   " interval, days_of_week, days, months, which_week, random_minutes"
                   " FROM scheduled_job_triggers WHERE upper_name = ?1 ORDER BY position",
                   {upper}, rows))
    return false;
  for (const StateRow& row : rows) {
    auto word = [&row](std::size_t i) { return static_cast<WORD>(StateInteger(row[i])); };
    TASK_TRIGGER t;
    t.wBeginYear = word(0);
    t.wBeginMonth = word(1);
    t.wBeginDay = word(2);
    t.wEndYear = word(3);
    t.wEndMonth = word(4);
    t.wEndDay = word(5);
    t.wStartHour = word(6);
    t.wStartMinute = word(7);
    t.MinutesDuration = static_cast<DWORD>(StateInteger(row[8]));
    t.MinutesInterval = static_cast<DWORD>(StateInteger(row[9]));
    t.rgFlags = static_cast<DWORD>(StateInteger(row[10]));
    t.TriggerType = static_cast<TASK_TRIGGER_TYPE>(StateInteger(row[11]));
    FromColumns({StateInteger(row[12]), StateInteger(row[13]), StateInteger(row[14]), StateInteger(row[15]),
                 StateInteger(row[16])},
                t);
    t.wRandomMinutesInterval = word(17);
    triggers.push_back(t);
  }
  return true;
}

HRESULT LoadJob(StateStore& store, const std::string& name, JobData& job) {
  std::vector<StateRow> rows;
  const std::string upper = UpperName(name);
  if (!store.Query("SELECT name, application, parameters, working_directory, comment, creator,"
                   " flags, task_flags, account, password_set FROM scheduled_jobs WHERE upper_name = ?1",
                   {upper}, rows))
    return E_FAIL;
  if (rows.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const StateRow& row = rows[0];
  job.name = StateText(row[0]);
  job.application = Utf8ToUtf16(StateText(row[1]));
  job.parameters = Utf8ToUtf16(StateText(row[2]));
  job.workingDirectory = Utf8ToUtf16(StateText(row[3]));
  job.comment = Utf8ToUtf16(StateText(row[4]));
  job.creator = Utf8ToUtf16(StateText(row[5]));
  job.flags = static_cast<DWORD>(StateInteger(row[6]));
  job.taskFlags = static_cast<DWORD>(StateInteger(row[7]));
  job.accountSet = std::holds_alternative<std::string>(row[8]);
  job.account = Utf8ToUtf16(StateText(row[8]));
  job.passwordSet = StateInteger(row[9]) != 0;
  return LoadTriggers(store, upper, job.triggers) ? S_OK : E_FAIL;
}

bool WriteJob(StateStore& store, const JobData& job) {
  const std::string upper = UpperName(job.name);
  // Keeps the name of a job that is saved again, whatever its letter case.
  if (!store.Execute("INSERT INTO scheduled_jobs (upper_name, name, application, parameters,"
                     " working_directory, comment, creator, flags, task_flags, account, password_set)"
                     " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)"
                     " ON CONFLICT(upper_name) DO UPDATE SET application = ?3, parameters = ?4,"
                     " working_directory = ?5, comment = ?6, creator = ?7, flags = ?8,"
                     " task_flags = ?9, account = ?10, password_set = ?11",
                     {upper, job.name, Utf16ToUtf8(job.application), Utf16ToUtf8(job.parameters),
                      Utf16ToUtf8(job.workingDirectory), Utf16ToUtf8(job.comment),
                      Utf16ToUtf8(job.creator), static_cast<std::int64_t>(job.flags),
                      static_cast<std::int64_t>(job.taskFlags),
                      job.accountSet ? StateValue(Utf16ToUtf8(job.account)) : StateValue(),
                      static_cast<std::int64_t>(job.passwordSet ? 1 : 0)}) ||
      !store.Execute("DELETE FROM scheduled_job_triggers WHERE upper_name = ?1", {upper}))
    return false;
  for (std::size_t i = 0; i < job.triggers.size(); ++i) {
    const TASK_TRIGGER& t = job.triggers[i];
    const TypeColumns c = ToColumns(t);
    if (!store.Execute(
            "INSERT INTO scheduled_job_triggers VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10,"
            " ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20)",
            {upper, static_cast<std::int64_t>(i), std::int64_t{t.wBeginYear}, std::int64_t{t.wBeginMonth},
             std::int64_t{t.wBeginDay}, std::int64_t{t.wEndYear}, std::int64_t{t.wEndMonth},
             std::int64_t{t.wEndDay}, std::int64_t{t.wStartHour}, std::int64_t{t.wStartMinute},
             std::int64_t{t.MinutesDuration}, std::int64_t{t.MinutesInterval}, std::int64_t{t.rgFlags},
             std::int64_t{t.TriggerType}, c.interval, c.daysOfWeek, c.days, c.months, c.whichWeek,
             std::int64_t{t.wRandomMinutesInterval}}))
      return false;
  }
  return true;
}

HRESULT SaveJob(const JobData& job) {
  StateStore* store = JobStore();
  if (store == nullptr) return E_FAIL;
  if (!store->BeginBatch()) return E_FAIL;
  if (!WriteJob(*store, job)) {
    store->RollbackBatch();
    return HRESULT_FROM_WIN32(ERROR_CANTWRITE);
  }
  if (!store->CommitBatch()) {
    store->RollbackBatch();
    return HRESULT_FROM_WIN32(ERROR_CANTWRITE);
  }
  return S_OK;
}

HRESULT SetText(std::u16string& field, const char16_t* text) {
  if (text == nullptr) return E_INVALIDARG;
  field = text;
  return S_OK;
}

template <typename T>
HRESULT Copy(const T& from, T& to) {
  to = from;
  return S_OK;
}

class EmulatedTrigger : public ITaskTrigger {
 public:
  EmulatedTrigger(std::shared_ptr<JobData> job, WORD index) : job_(std::move(job)), index_(index) {}

  HRESULT SetTrigger(const TASK_TRIGGER& trigger) override {
    if (index_ >= job_->triggers.size()) return SCHED_E_TRIGGER_NOT_FOUND;
    if (!ValidTrigger(trigger)) return E_INVALIDARG;
    job_->triggers[index_] = trigger;
    return S_OK;
  }
  HRESULT GetTrigger(TASK_TRIGGER& trigger) override {
    if (index_ >= job_->triggers.size()) return SCHED_E_TRIGGER_NOT_FOUND;
    trigger = job_->triggers[index_];
    return S_OK;
  }

 private:
  std::shared_ptr<JobData> job_;
  WORD index_;
};

class EmulatedTask : public ITask, public IPersistFile, public std::enable_shared_from_this<EmulatedTask> {
 public:
  explicit EmulatedTask(JobData job) : job_(std::make_shared<JobData>(std::move(job))) {}

  HRESULT SetApplicationName(const char16_t* name) override { return SetText(job_->application, name); }
  HRESULT GetApplicationName(std::u16string& name) override { return Copy(job_->application, name); }
  HRESULT SetParameters(const char16_t* parameters) override { return SetText(job_->parameters, parameters); }
  HRESULT GetParameters(std::u16string& parameters) override { return Copy(job_->parameters, parameters); }
  HRESULT SetWorkingDirectory(const char16_t* directory) override {
    return SetText(job_->workingDirectory, directory);
  }
  HRESULT GetWorkingDirectory(std::u16string& directory) override {
    return Copy(job_->workingDirectory, directory);
  }
  HRESULT SetComment(const char16_t* comment) override { return SetText(job_->comment, comment); }
  HRESULT GetComment(std::u16string& comment) override { return Copy(job_->comment, comment); }
  HRESULT SetCreator(const char16_t* creator) override { return SetText(job_->creator, creator); }
  HRESULT GetCreator(std::u16string& creator) override { return Copy(job_->creator, creator); }
  HRESULT SetFlags(DWORD flags) override { return Copy(flags, job_->flags); }
  HRESULT GetFlags(DWORD& flags) override { return Copy(job_->flags, flags); }
  HRESULT SetTaskFlags(DWORD flags) override { return Copy(flags, job_->taskFlags); }
  HRESULT GetTaskFlags(DWORD& flags) override { return Copy(job_->taskFlags, flags); }
  HRESULT SetAccountInformation(const char16_t* account, const char16_t* password) override {
    if (account == nullptr) return E_INVALIDARG;
    const bool emptyAccount = *account == u'\0';
    if (password == nullptr && !emptyAccount && (job_->flags & TASK_FLAG_RUN_ONLY_IF_LOGGED_ON) == 0)
      return E_INVALIDARG;
    job_->accountSet = true;
    job_->account = account;
    job_->passwordSet = password != nullptr && *password != u'\0';
    return S_OK;
  }
  HRESULT GetAccountInformation(std::u16string& account) override {
    if (!job_->accountSet) return SCHED_E_ACCOUNT_INFORMATION_NOT_SET;
    account = job_->account;
    return S_OK;
  }
  HRESULT CreateTrigger(WORD& newIndex, std::shared_ptr<ITaskTrigger>& trigger) override {
    if (job_->triggers.size() >= 0xFFFF) return E_FAIL;
    newIndex = static_cast<WORD>(job_->triggers.size());
    job_->triggers.push_back(NewTrigger());
    trigger = std::make_shared<EmulatedTrigger>(job_, newIndex);
    return S_OK;
  }
  HRESULT GetTrigger(WORD index, std::shared_ptr<ITaskTrigger>& trigger) override {
    if (index >= job_->triggers.size()) return SCHED_E_TRIGGER_NOT_FOUND;
    trigger = std::make_shared<EmulatedTrigger>(job_, index);
    return S_OK;
  }
  HRESULT GetTriggerCount(WORD& count) override {
    count = static_cast<WORD>(job_->triggers.size());
    return S_OK;
  }
  HRESULT DeleteTrigger(WORD index) override {
    if (index >= job_->triggers.size()) return SCHED_E_TRIGGER_NOT_FOUND;
    job_->triggers.erase(job_->triggers.begin() + index);
    return S_OK;
  }
  HRESULT QueryPersistFile(std::shared_ptr<IPersistFile>& file) override {
    file = std::static_pointer_cast<IPersistFile>(shared_from_this());
    return S_OK;
  }

  HRESULT Save(const char16_t* fileName, bool /*remember*/) override {
    if (fileName == nullptr) return SaveJob(*job_);
    JobData copy = *job_;
    copy.name = JobFileName(fileName);
    if (copy.name.empty()) return E_INVALIDARG;
    return SaveJob(copy);
  }

 private:
  std::shared_ptr<JobData> job_;
};

class JobNames : public IEnumWorkItems {
 public:
  explicit JobNames(std::vector<std::u16string> names) : names_(std::move(names)) {}

  HRESULT Next(unsigned long count, std::vector<std::u16string>& names, unsigned long& fetched) override {
    fetched = 0;
    while (fetched < count && next_ < names_.size()) {
      names.push_back(names_[next_++]);
      ++fetched;
    }
    return fetched == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(unsigned long count) override {
    const std::size_t left = names_.size() - next_;
    next_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    next_ = 0;
    return S_OK;
  }

 private:
  std::vector<std::u16string> names_;
  std::size_t next_ = 0;
};

class EmulatedScheduler : public ITaskScheduler {
 public:
  HRESULT Activate(const char16_t* name, std::shared_ptr<ITask>& task) override {
    const std::string file = JobFileName(name);
    if (file.empty()) return E_INVALIDARG;
    StateStore* store = JobStore();
    if (store == nullptr) return E_FAIL;
    JobData job;
    const HRESULT hr = LoadJob(*store, file, job);
    if (FAILED(hr)) return hr;
    task = std::make_shared<EmulatedTask>(std::move(job));
    return S_OK;
  }

  HRESULT NewWorkItem(const char16_t* name, std::shared_ptr<ITask>& task) override {
    const std::string file = JobFileName(name);
    if (file.empty()) return E_INVALIDARG;
    StateStore* store = JobStore();
    if (store == nullptr) return E_FAIL;
    if (JobExists(*store, file)) return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    JobData job;
    job.name = file;
    task = std::make_shared<EmulatedTask>(std::move(job));
    return S_OK;
  }

  HRESULT Delete(const char16_t* name) override {
    const std::string file = JobFileName(name);
    if (file.empty()) return E_INVALIDARG;
    StateStore* store = JobStore();
    if (store == nullptr) return E_FAIL;
    if (!JobExists(*store, file)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const std::string upper = UpperName(file);
    if (!store->BeginBatch()) return E_FAIL;
    if (!store->Execute("DELETE FROM scheduled_job_triggers WHERE upper_name = ?1", {upper}) ||
        !store->Execute("DELETE FROM scheduled_jobs WHERE upper_name = ?1", {upper}) ||
        !store->CommitBatch()) {
      store->RollbackBatch();
      return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    }
    return S_OK;
  }

  HRESULT Enum(std::unique_ptr<IEnumWorkItems>& items) override {
    StateStore* store = JobStore();
    if (store == nullptr) return E_FAIL;
    std::vector<StateRow> rows;
    if (!store->Query("SELECT name FROM scheduled_jobs ORDER BY upper_name", {}, rows)) return E_FAIL;
    std::vector<std::u16string> names;
    for (const StateRow& row : rows) names.push_back(Utf8ToUtf16(StateText(row[0])));
    items = std::make_unique<JobNames>(std::move(names));
    return S_OK;
  }
};

}  // namespace

HRESULT CreateTaskScheduler(std::shared_ptr<ITaskScheduler>& scheduler) {
  Machine* machine = CurrentMachine();
  if (machine == nullptr) return E_FAIL;
  if (!machine->Config().taskScheduler) return REGDB_E_CLASSNOTREG;
  if (JobStore() == nullptr) return HRESULT_FROM_WIN32(ERROR_CANTOPEN);
  scheduler = std::make_shared<EmulatedScheduler>();
  return S_OK;
}

}  // namespace win
