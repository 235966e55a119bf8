#include "platform/SystemRestore.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/FileSystem.h"
#include "platform/Machine.h"
#include "platform/RegistryStore.h"
#include "platform/Services.h"
#include "platform/StateStore.h"

namespace win {

namespace {

namespace fs = std::filesystem;

constexpr const char* kServiceName = "srservice";
constexpr const char* kFolderName = "RestorePoints";
constexpr std::int64_t kUnixEpoch = 116444736000000000LL;  // 1970-01-01 as a file time

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
// is complete or the call fails.
bool CopyDatabase(const std::string& from, const std::string& to, std::string& error) {
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
        rc = sqlite3_backup_step(backup, -1);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(20);
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

// Snapshot name of a point, or empty when there is no such point.
std::string SnapshotOf(StateStore& state, DWORD sequenceNumber) {
  std::vector<StateRow> rows;
  if (!state.Query("SELECT snapshot FROM restore_points WHERE seq = ?1",
                   {static_cast<std::int64_t>(sequenceNumber)}, rows) ||
      rows.empty()) {
    return {};
  }
  return StateText(rows[0][0]);
}

// A new point with its snapshot; the row goes again when the copy fails.
DWORD MakePoint(Machine& machine, const std::string& description, DWORD type, DWORD eventType,
                FileTime created) {
  StateStore& state = machine.State();
  std::error_code ec;
  fs::create_directories(fs::path(machine.Folder()) / kFolderName, ec);
  if (!state.Execute("INSERT INTO restore_points (created, type, event, description, snapshot)"
                     " VALUES (?1, ?2, ?3, ?4, '')",
                     {static_cast<std::int64_t>(created), static_cast<std::int64_t>(type),
                      static_cast<std::int64_t>(eventType), description})) {
    return ERROR_CANTWRITE;
  }
  std::vector<StateRow> rows;
  if (!state.Query("SELECT max(seq) FROM restore_points", {}, rows) || rows.empty()) return ERROR_CANTWRITE;
  const std::int64_t seq = StateInteger(rows[0][0]);
  const std::string name = "RP" + std::to_string(seq) + ".db";
  const std::string path = SnapshotPath(machine.Folder(), name);
  const std::string partial = path + ".part";
  std::string error;
  fs::remove(partial, ec);
  const bool copied = CopyDatabase((fs::path(machine.Folder()) / "registry.db").string(), partial, error);
  if (copied) fs::rename(partial, path, ec);
  if (!copied || ec ||
      !state.Execute("UPDATE restore_points SET snapshot = ?1 WHERE seq = ?2", {name, seq})) {
    fs::remove(partial, ec);
    fs::remove(path, ec);
    state.Execute("DELETE FROM restore_points WHERE seq = ?1", {seq});
    return ERROR_CANTWRITE;
  }
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
  if (!machine->State().Query("SELECT seq, created, type, description FROM restore_points ORDER BY seq",
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
  const std::string name = SnapshotOf(machine->State(), sequenceNumber);
  if (name.empty()) return ERROR_INVALID_PARAMETER;
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
  const std::string name = SnapshotOf(machine->State(), sequenceNumber);
  if (name.empty()) return ERROR_INVALID_PARAMETER;
  const std::int64_t seq = sequenceNumber;
  if (!machine->State().Execute("DELETE FROM restore_points WHERE seq = ?1", {seq}) ||
      !machine->State().Execute("DELETE FROM restore_pending WHERE seq = ?1", {seq})) {
    return ERROR_CANTWRITE;
  }
  // The check of a restore leaves SQLite's log and index files beside it.
  const std::string snapshot = SnapshotPath(machine->Folder(), name);
  std::error_code ec;
  for (const char* suffix : {"-wal", "-shm"}) fs::remove(snapshot + suffix, ec);
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
                    {}, rows) ||
      rows.empty()) {
    return true;
  }
  const std::string name = StateText(rows[0][1]);
  state->Execute("DELETE FROM restore_pending");
  const std::string snapshot = SnapshotPath(machineFolder, name);
  if (name.empty() || CheckSnapshot(snapshot, userSid) != ERROR_SUCCESS) {
    error = "restore point " + std::to_string(StateInteger(rows[0][0])) + ": its snapshot is missing or damaged";
    return false;
  }
  // SQLite copies the snapshot into registry.db in one transaction, so the
  // file is either the old registry or the restored one.
  if (!CopyDatabase(snapshot, (fs::path(machineFolder) / "registry.db").string(), error)) {
    error = "restore point " + std::to_string(StateInteger(rows[0][0])) + ": " + error;
    return false;
  }
  return true;
}

}  // namespace win
