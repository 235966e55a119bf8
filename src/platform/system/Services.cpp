#include "platform/system/Services.h"

#include <map>
#include <mutex>
#include <optional>

#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

constexpr const char* kServicesPath = "\\SYSTEM\\CurrentControlSet\\Services";

const char* const kRunStatesSchema =
    "CREATE TABLE IF NOT EXISTS service_run_states ("
    " upper_name TEXT PRIMARY KEY NOT NULL, running INTEGER NOT NULL)";

// Rights that only read; anything else needs a writable Services key.
constexpr DWORD kManagerReadRights =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
constexpr DWORD kServiceReadRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                                     SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE |
                                     READ_CONTROL;

struct HandleEntry {
  bool manager = false;
  std::string name;  // service name as its key spells it
  DWORD access = 0;
};

std::mutex handlesMutex;
std::map<SC_HANDLE, HandleEntry> handles;
SC_HANDLE nextHandle = 0x5C00;

SC_HANDLE AddHandle(HandleEntry entry) {
  std::lock_guard lock(handlesMutex);
  nextHandle += 4;
  handles.emplace(nextHandle, std::move(entry));
  return nextHandle;
}

std::optional<HandleEntry> FindHandle(SC_HANDLE handle) {
  std::lock_guard lock(handlesMutex);
  const auto it = handles.find(handle);
  if (it == handles.end()) return std::nullopt;
  return it->second;
}

StateStore* RunStateStore() {
  Machine* machine = CurrentMachine();
  if (machine == nullptr) return nullptr;
  StateStore& store = machine->State();
  return store.Execute(kRunStatesSchema) ? &store : nullptr;
}

bool ValidServiceName(const std::string& name) {
  return !name.empty() && name.size() <= 256 && name.find_first_of("\\/") == std::string::npos;
}

// The service's key opened for reading; false when it is not installed.
bool OpenInstalled(TRegistry& reg, const std::string& name) {
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  return ValidServiceName(name) &&
         reg.OpenKeyReadOnly(std::string(kServicesPath) + "\\" + name) && reg.ValueExists("Type");
}

DWORD StartType(TRegistry& reg) {
  const auto start = reg.ReadInteger("Start");
  return start ? static_cast<DWORD>(*start) : SERVICE_DEMAND_START;
}

bool ServicesKeyWritable() {
  TRegistry reg(KEY_ALL_ACCESS);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (reg.OpenKey(kServicesPath, false)) return true;
  return GetLastError() != ERROR_ACCESS_DENIED;
}

// Whether the installed service whose key reg has open runs; seeded from its
// "Start" when no state is recorded.
std::optional<bool> Running(StateStore& store, TRegistry& reg, const std::string& name) {
  const std::string upper = UpperName(name);
  std::vector<StateRow> rows;
  if (!store.Query("SELECT running FROM service_run_states WHERE upper_name = ?1", {upper}, rows))
    return std::nullopt;
  if (!rows.empty()) return StateInteger(rows[0][0]) != 0;
  const bool running = StartType(reg) <= SERVICE_AUTO_START;
  if (!store.Execute("INSERT INTO service_run_states VALUES (?1, ?2)",
                     {upper, std::int64_t{running ? 1 : 0}}))
    return std::nullopt;
  return running;
}

bool SetRunning(StateStore& store, const std::string& name, bool running) {
  return store.Execute("INSERT OR REPLACE INTO service_run_states VALUES (?1, ?2)",
                       {UpperName(name), std::int64_t{running ? 1 : 0}});
}

std::vector<std::string> ServiceKeyNames() {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  std::vector<std::string> names;
  if (reg.OpenKeyReadOnly(kServicesPath)) reg.GetKeyNames(names);
  return names;
}

// True when another running service names this one in "DependOnService".
std::optional<bool> DependantRunning(StateStore& store, const std::string& name) {
  const std::string upper = UpperName(name);
  for (const std::string& other : ServiceKeyNames()) {
    TRegistry reg(KEY_READ);
    if (UpperName(other) == upper || !OpenInstalled(reg, other)) continue;
    const auto dependencies = reg.ReadMultiString("DependOnService");
    if (!dependencies) continue;
    bool dependsOnIt = false;
    for (const std::string& dependency : *dependencies)
      if (UpperName(dependency) == upper) dependsOnIt = true;
    if (!dependsOnIt) continue;
    const auto running = Running(store, reg, other);
    if (!running) return std::nullopt;
    if (*running) return true;
  }
  return false;
}

void FillStatus(TRegistry& reg, bool running, SERVICE_STATUS& status) {
  status = SERVICE_STATUS{};
  status.dwServiceType = static_cast<DWORD>(reg.ReadInteger("Type").value_or(0));
  status.dwCurrentState = running ? SERVICE_RUNNING : SERVICE_STOPPED;
  status.dwControlsAccepted = running ? SERVICE_ACCEPT_STOP : 0;
}

// The service of a handle with the given right, its key open in reg.
bool ServiceFor(SC_HANDLE handle, DWORD right, TRegistry& reg, HandleEntry& entry,
                StateStore*& store) {
  const auto found = FindHandle(handle);
  if (!found || found->manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  entry = *found;
  if ((entry.access & right) != right) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  store = RunStateStore();
  if (store == nullptr) {
    SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
    return false;
  }
  if (!OpenInstalled(reg, entry.name)) {  // deleted since it was opened
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return false;
  }
  return true;
}

}  // namespace

SC_HANDLE OpenSCManager(const char* machineName, const char* /*databaseName*/, DWORD access) {
  if (machineName != nullptr && *machineName != '\0') {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return 0;
  }
  if (RunStateStore() == nullptr) {
    SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
    return 0;
  }
  if ((access & ~kManagerReadRights) != 0 && !ServicesKeyWritable()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return AddHandle({true, std::string(), access});
}

SC_HANDLE OpenService(SC_HANDLE manager, const char* serviceName, DWORD access) {
  const auto found = FindHandle(manager);
  if (!found || !found->manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const std::string name = serviceName == nullptr ? std::string() : serviceName;
  if (!ValidServiceName(name)) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  TRegistry reg(KEY_READ);
  if (!OpenInstalled(reg, name)) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return 0;
  }
  if ((access & ~kServiceReadRights) != 0 && !ServicesKeyWritable()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  // The key's own spelling, so that later calls find it however it was asked.
  std::string keyName = reg.CurrentPath();
  keyName = keyName.substr(keyName.rfind('\\') + 1);
  SetLastError(ERROR_SUCCESS);
  return AddHandle({false, keyName, access});
}

bool StartService(SC_HANDLE service, DWORD /*argCount*/, const char** /*args*/) {
  TRegistry reg(KEY_READ);
  HandleEntry entry;
  StateStore* store = nullptr;
  if (!ServiceFor(service, SERVICE_START, reg, entry, store)) return false;
  if (StartType(reg) == SERVICE_DISABLED) {
    SetLastError(ERROR_SERVICE_DISABLED);
    return false;
  }
  const auto running = Running(*store, reg, entry.name);
  if (!running) {
    SetLastError(ERROR_CANTWRITE);
    return false;
  }
  if (*running) {
    SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
    return false;
  }
  if (!SetRunning(*store, entry.name, true)) {
    SetLastError(ERROR_CANTWRITE);
    return false;
  }
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS& status) {
  if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_INTERROGATE) {
    SetLastError(ERROR_INVALID_SERVICE_CONTROL);
    return false;
  }
  TRegistry reg(KEY_READ);
  HandleEntry entry;
  StateStore* store = nullptr;
  const DWORD right = control == SERVICE_CONTROL_STOP ? SERVICE_STOP : SERVICE_INTERROGATE;
  if (!ServiceFor(service, right, reg, entry, store)) return false;
  const auto running = Running(*store, reg, entry.name);
  if (!running) {
    SetLastError(ERROR_CANTREAD);
    return false;
  }
  FillStatus(reg, *running, status);
  if (!*running) {
    SetLastError(ERROR_SERVICE_NOT_ACTIVE);
    return false;
  }
  if (control == SERVICE_CONTROL_INTERROGATE) {
    SetLastError(ERROR_SUCCESS);
    return true;
  }
  const auto dependant = DependantRunning(*store, entry.name);
  if (!dependant) {
    SetLastError(ERROR_CANTREAD);
    return false;
  }
  if (*dependant) {
    SetLastError(ERROR_DEPENDENT_SERVICES_RUNNING);
    return false;
  }
  if (!SetRunning(*store, entry.name, false)) {
    SetLastError(ERROR_CANTWRITE);
    return false;
  }
  FillStatus(reg, false, status);
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS& status) {
  TRegistry reg(KEY_READ);
  HandleEntry entry;
  StateStore* store = nullptr;
  if (!ServiceFor(service, SERVICE_QUERY_STATUS, reg, entry, store)) return false;
  const auto running = Running(*store, reg, entry.name);
  if (!running) {
    SetLastError(ERROR_CANTREAD);
    return false;
  }
  FillStatus(reg, *running, status);
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool CloseServiceHandle(SC_HANDLE handle) {
  std::lock_guard lock(handlesMutex);
  if (handles.erase(handle) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  SetLastError(ERROR_SUCCESS);
  return true;
}

std::size_t OpenServiceHandleCount() {
  std::lock_guard lock(handlesMutex);
  return handles.size();
}

bool SeedServiceRunStates() {
  StateStore* store = RunStateStore();
  if (store == nullptr || !store->BeginBatch()) return false;
  for (const std::string& name : ServiceKeyNames()) {
    TRegistry reg(KEY_READ);
    if (OpenInstalled(reg, name) && !Running(*store, reg, name)) {
      store->RollbackBatch();
      return false;
    }
  }
  return store->CommitBatch();
}

}  // namespace win
