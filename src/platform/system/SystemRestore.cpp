#include "platform/system/SystemRestore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>

#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/registry/RegistryStore.h"
#include "platform/system/Services.h"

namespace win {

namespace {

namespace fs = std::filesystem;

constexpr const char* kServiceName = "srservice";
constexpr const char* kFolderName = "RestorePoints";
constexpr std::int64_t kUnixEpoch = 116444736000000000LL;  // 1970-01-01 as a file time
constexpr const char* kPartSuffix = ".part";
constexpr int kRestorePagesPerStep = 1024;

std::function<void(const char*)> stepHook;

void Step(const char* name) {
  if (stepHook) stepHook(name);
}

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS restore_points ("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " created INTEGER NOT NULL,"
    " type INTEGER NOT NULL,"
    " event INTEGER NOT NULL,"
    " description TEXT NOT NULL,"
    " snapshot TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS restore_pending ("
    " id INTEGER PRIMARY KEY CHECK (id = 1),"
    " seq INTEGER NOT NULL)",
};

bool EnsureTables(StateStore& state) {
  for (const char* sql : kSchema) {
    if (!state.Execute(sql)) return false;
  }
  return true;
}

bool ServiceRunning() {
  const SC_HANDLE manager = OpenSCManager(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == 0) return false;
  bool running = false;
  if (const SC_HANDLE service = OpenService(manager, kServiceName, SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status;
    running = QueryServiceStatus(service, status) && status.dwCurrentState == SERVICE_RUNNING;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return running;
}

// The machine when System Restore can be used; else the error code.
Machine* Available(DWORD& code) {
  Machine* machine = CurrentMachine();
  if (machine == nullptr) {
    code = ERROR_NOT_READY;
  } else if (!ServiceRunning()) {
    code = ERROR_SERVICE_NOT_ACTIVE;
    machine = nullptr;
  } else if (!EnsureTables(machine->State())) {
    code = ERROR_CANTWRITE;
    machine = nullptr;
  }
  return machine;
}

std::string SnapshotPath(const std::string& machineFolder, const std::string& name) {
  return (fs::path(machineFolder) / kFolderName / name).string();
}

// Copies the database at from into to with SQLite's online backup; the copy
// is complete or the call fails. The target's one write transaction spans the
// whole copy, so a copy cut short leaves the target as it was. pagesPerStep
// -1 copies in one step (one consistent read of a live source); between
// smaller steps, stepName is handed to the step hook.
bool CopyDatabase(const std::string& from, const std::string& to, std::string& error, int pagesPerStep = -1,
                  const char* stepName = nullptr) {
  sqlite3* source = nullptr;
  sqlite3* target = nullptr;
  bool ok = sqlite3_open_v2(from.c_str(), &source, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_open_v2(to.c_str(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
                SQLITE_OK;
  if (ok) {
    sqlite3_busy_timeout(source, 10000);
    sqlite3_busy_timeout(target, 10000);
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    ok = backup != nullptr;
    if (ok) {
      int rc = SQLITE_OK;
      do {
        rc = sqlite3_backup_step(backup, pagesPerStep);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(20);
        else if (rc == SQLITE_OK && stepName) Step(stepName);
      } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
      ok = sqlite3_backup_finish(backup) == SQLITE_OK && rc == SQLITE_DONE;
    }
    if (!ok) error = sqlite3_errmsg(target);
  } else {
    error = "cannot open " + (source && sqlite3_errcode(source) != SQLITE_OK ? from : to);
  }
  sqlite3_close(source);
  sqlite3_close(target);
  return ok;
}

// A snapshot file being made: created new and locked (flock) for as long as
// this object lives, so that the leftover sweep of another process leaves it
// alone. The lock follows the file through its rename.
class SnapshotInMaking {
 public:
  explicit SnapshotInMaking(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) Close();
  }
  ~SnapshotInMaking() { Close(); }
  SnapshotInMaking(const SnapshotInMaking&) = delete;
  SnapshotInMaking& operator=(const SnapshotInMaking&) = delete;

  // The file at path is still the one this object holds.
  bool Holds(const std::string& path) const {
    struct stat mine {}, there {};
    return fd_ >= 0 && ::fstat(fd_, &mine) == 0 && ::stat(path.c_str(), &there) == 0 &&
           mine.st_dev == there.st_dev && mine.st_ino == there.st_ino;
  }
  bool Sync() const { return fd_ >= 0 && ::fsync(fd_) == 0; }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

// Whether a process is making the snapshot at path now (it holds its lock).
bool BeingMade(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return locked;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The snapshot a file of the folder belongs to: its name without SQLite's
// "-wal", "-shm" or "-journal".
std::string SnapshotNameOf(const std::string& fileName) {
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    const std::size_t length = std::char_traits<char>::length(suffix);
    if (fileName.size() > length && fileName.compare(fileName.size() - length, length, suffix) == 0)
      return fileName.substr(0, fileName.size() - length);
  }
  return fileName;
}

bool IsListedSnapshot(StateStore& state, const std::string& name) {
  std::vector<StateRow> rows;
  // A failed query keeps the file.
  return !state.Query("SELECT 1 FROM restore_points WHERE snapshot = ?1", {name}, rows) || !rows.empty();
}

// Removes what killed or failed creations left: rows without a snapshot
// (older builds listed those) and every file of the folder that belongs to
// no listed point, unless another process is still making it.
void RemoveLeftovers(const std::string& machineFolder, StateStore& state) {
  state.Execute("DELETE FROM restore_points WHERE snapshot = ''");
  const fs::path folder = fs::path(machineFolder) / kFolderName;
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(it->path());
  }
  for (const fs::path& file : files) {
    const std::string snapshot = SnapshotNameOf(file.filename().string());
    if (IsListedSnapshot(state, snapshot) || BeingMade((folder / snapshot).string())) continue;
    // Asked again: a maker lists its snapshot before it lets go of the lock.
    if (IsListedSnapshot(state, snapshot)) continue;
    fs::remove(file, ec);
  }
}

// 0 when the snapshot is there and opens as a sound registry. Opened with the
// machine's user, so that the check adds no key of another user to it.
DWORD CheckSnapshot(const std::string& path, const std::string& userSid) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) == 0) return ERROR_FILE_NOT_FOUND;
  RegistryOptions options;
  options.userSid = userSid;
  std::string error;
  auto store = RegistryStore::Open(path, options, error);
  return store && store->RootId(HKEY_LOCAL_MACHINE) ? ERROR_SUCCESS : ERROR_REGISTRY_CORRUPT;
}

// Snapshot name of a point; false when there is no such point.
bool SnapshotOf(StateStore& state, DWORD sequenceNumber, std::string& name) {
  std::vector<StateRow> rows;
  if (!state.Query("SELECT snapshot FROM restore_points WHERE seq = ?1",
                   {static_cast<std::int64_t>(sequenceNumber)}, rows) ||
      rows.empty()) {
    return false;
  }
  name = StateText(rows[0][0]);
  return true;
}

// A file name for a new snapshot, unique among the machine's processes.
std::string NewSnapshotName(FileTime created) {
  static unsigned counter = 0;
  char name[96];
  std::snprintf(name, sizeof name, "RP%llx-%ld-%u.db", static_cast<unsigned long long>(created),
                static_cast<long>(::getpid()), ++counter);
  return name;
}

// A new point: its snapshot is made under a ".part" name, renamed once
// complete, and only then listed, in one step. Leftovers of earlier
// creations go first.
DWORD MakePoint(Machine& machine, const std::string& description, DWORD type, DWORD eventType,
                FileTime created) {
  StateStore& state = machine.State();
  std::error_code ec;
  const std::string folder = (fs::path(machine.Folder()) / kFolderName).string();
  fs::create_directories(folder, ec);
  RemoveLeftovers(machine.Folder(), state);

  const std::string name = NewSnapshotName(CurrentFileTime());
  const std::string path = SnapshotPath(machine.Folder(), name);
  const std::string partial = path + kPartSuffix;
  SnapshotInMaking making(partial);
  if (!making.Holds(partial)) return ERROR_CANTWRITE;
  Step("snapshot begun");
  std::string error;
  bool done = CopyDatabase((fs::path(machine.Folder()) / "registry.db").string(), partial, error) &&
              making.Sync() && making.Holds(partial);
  if (done) Step("snapshot copied");
  if (done) {
    fs::rename(partial, path, ec);
    done = !ec && making.Holds(path);
    SyncFolder(folder);
  }
  if (done) Step("snapshot complete");
  done = done && state.Execute("INSERT INTO restore_points (created, type, event, description, snapshot)"
                               " VALUES (?1, ?2, ?3, ?4, ?5)",
                               {static_cast<std::int64_t>(created), static_cast<std::int64_t>(type),
                                static_cast<std::int64_t>(eventType), description, name});
  if (!done) {
    for (const std::string& file : {partial, path, partial + "-journal"}) fs::remove(file, ec);
    return ERROR_CANTWRITE;
  }
  Step("point listed");
  return ERROR_SUCCESS;
}

}  // namespace

std::string WmiDateTimeText(FileTime utc) {
  const std::int64_t ticks = static_cast<std::int64_t>(utc) - kUnixEpoch;
  std::int64_t seconds = ticks / 10000000;
  std::int64_t rest = ticks % 10000000;
  if (rest < 0) {
    --seconds;
    rest += 10000000;
  }
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[96];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d.%06d+000", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                static_cast<int>(rest / 10));
  return text;
}

DWORD ListRestorePoints(std::vector<RestorePoint>& points) {
  points.clear();
  DWORD code = ERROR_SUCCESS;
  Machine* machine = Available(code);
  if (!machine) return code;
  std::vector<StateRow> rows;
  if (!machine->State().Query("SELECT seq, created, type, description FROM restore_points"
                              " WHERE snapshot <> '' ORDER BY seq",
                              {}, rows)) {
    return ERROR_CANTREAD;
  }
  for (const StateRow& row : rows) {
    RestorePoint point;
    point.SequenceNumber = std::to_string(StateInteger(row[0]));
    point.CreationTime = WmiDateTimeText(static_cast<FileTime>(StateInteger(row[1])));
    point.RestorePointType = static_cast<DWORD>(StateInteger(row[2]));
    point.Description = StateText(row[3]);
    points.push_back(std::move(point));
  }
  return ERROR_SUCCESS;
}

DWORD CreateRestorePoint(const std::string& description, DWORD type, DWORD eventType) {
  DWORD code = ERROR_SUCCESS;
  Machine* machine = Available(code);
  if (!machine) return code;
  return MakePoint(*machine, description, type, eventType, CurrentFileTime());
}

DWORD RestoreToPoint(DWORD sequenceNumber) {
  DWORD code = ERROR_SUCCESS;
  Machine* machine = Available(code);
  if (!machine) return code;
  std::string name;
  if (!SnapshotOf(machine->State(), sequenceNumber, name) || name.empty()) return ERROR_INVALID_PARAMETER;
  code = CheckSnapshot(SnapshotPath(machine->Folder(), name), machine->Config().userSid);
  if (code != ERROR_SUCCESS) return code;
  if (!machine->State().Execute("INSERT OR REPLACE INTO restore_pending (id, seq) VALUES (1, ?1)",
                                {static_cast<std::int64_t>(sequenceNumber)})) {
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

DWORD DeleteRestorePoint(DWORD sequenceNumber) {
  DWORD code = ERROR_SUCCESS;
  Machine* machine = Available(code);
  if (!machine) return code;
  std::string name;
  if (!SnapshotOf(machine->State(), sequenceNumber, name)) return ERROR_INVALID_PARAMETER;
  const std::int64_t seq = sequenceNumber;
  if (!machine->State().Execute("DELETE FROM restore_points WHERE seq = ?1", {seq}) ||
      !machine->State().Execute("DELETE FROM restore_pending WHERE seq = ?1", {seq})) {
    return ERROR_CANTWRITE;
  }
  if (name.empty()) return ERROR_SUCCESS;
  // A damaged or missing snapshot goes as well; checking a restore leaves
  // SQLite's log and index files beside it.
  const std::string snapshot = SnapshotPath(machine->Folder(), name);
  std::error_code ec;
  for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(snapshot + suffix, ec);
  fs::remove(snapshot, ec);
  return ec ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

bool SeedRestorePoints(const std::vector<std::string>& entries, std::string& error) {
  Machine* machine = CurrentMachine();
  if (!machine || !EnsureTables(machine->State())) {
    error = "cannot write the restore points";
    return false;
  }
  for (const std::string& entry : entries) {
    const std::size_t first = entry.find(',');
    const std::size_t second = first == std::string::npos ? first : entry.find(',', first + 1);
    std::tm parts{};
    unsigned type = 0;
    if (second == std::string::npos ||
        std::sscanf(entry.c_str(), "%d-%d-%d %d:%d:%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                    &parts.tm_hour, &parts.tm_min, &parts.tm_sec) != 6 ||
        std::sscanf(entry.c_str() + first + 1, "%u", &type) != 1) {
      error = "restore point \"" + entry + "\" is not \"yyyy-mm-dd hh:mm:ss,type,description\"";
      return false;
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    const FileTime created = static_cast<FileTime>(timegm(&parts)) * 10000000ULL + kUnixEpoch;
    std::string description = entry.substr(second + 1);
    while (!description.empty() && description.front() == ' ') description.erase(0, 1);
    if (MakePoint(*machine, description, type, 100, created) != ERROR_SUCCESS) {
      error = "cannot make the restore point \"" + entry + "\"";
      return false;
    }
  }
  return true;
}

void SetRestoreStepHook(std::function<void(const char* step)> hook) { stepHook = std::move(hook); }

bool ApplyPendingRestore(const std::string& machineFolder, const std::string& userSid, std::string& error) {
  const std::string statePath = (fs::path(machineFolder) / "state.db").string();
  std::error_code ec;
  if (!fs::exists(statePath, ec)) return true;
  auto state = StateStore::Open(statePath, error);
  if (!state) return false;
  if (!EnsureTables(*state)) {
    error = state->LastError();
    return false;
  }
  std::vector<StateRow> rows;
  if (!state->Query("SELECT p.seq, r.snapshot FROM restore_pending p"
                    " LEFT JOIN restore_points r ON r.seq = p.seq",
                    {}, rows)) {
    error = state->LastError();
    return false;
  }
  if (!rows.empty()) {
    const std::string point = "restore point " + std::to_string(StateInteger(rows[0][0]));
    const std::string name = StateText(rows[0][1]);
    const std::string snapshot = SnapshotPath(machineFolder, name);
    if (name.empty() || CheckSnapshot(snapshot, userSid) != ERROR_SUCCESS) {
      // It can never be put in place: told once, then forgotten.
      error = point + ": its snapshot is missing or damaged";
      state->Execute("DELETE FROM restore_pending");
      return false;
    }
    Step("restore checked");
    // The copy is one transaction of registry.db: a kill leaves the old
    // registry, and the request stays until the restored one is in place.
    if (!CopyDatabase(snapshot, (fs::path(machineFolder) / "registry.db").string(), error, kRestorePagesPerStep,
                      "restore copying")) {
      error = point + ": " + error + "; it is tried again at the next start";
      return false;
    }
    Step("registry restored");
    state->Execute("DELETE FROM restore_pending");  // the restore is in place either way
    Step("request done");
  }
  RemoveLeftovers(machineFolder, *state);
  return true;
}

}  // namespace win
