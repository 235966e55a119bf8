#include "tools/PucUnit.h"

#include <charconv>
#include <optional>

#include "platform/registry/Registry.h"
#include "platform/system/Services.h"

namespace tools {

const std::array<const char*, kServiceCount> ServiceNames = {
    "Eventlog", "Spooler",  "WinDHCPsvc",   "SSDPSRV",   "SENS",      "W32Time",
    "Themes",   "srservice", "helpsvc",     "ALG",       "ImapiService", "mnmsrvc",
    "Messenger", "Browser", "TermService",  "wuauserv",  "UPS",       "ShellHWDetection",
    "wscsvc",   "WZCSVC",   "Irmon"};

namespace {

// Opens the manager and the service with full access, runs call on the
// service, closes both.
template <typename Call>
bool WithService(const std::string& name, win::DWORD* error, Call call) {
  bool done = false;
  win::DWORD failure = win::ERROR_SUCCESS;
  const win::SC_HANDLE manager = win::OpenSCManager(nullptr, nullptr, win::SC_MANAGER_ALL_ACCESS);
  if (manager == 0) {
    failure = win::GetLastError();
  } else {
    const win::SC_HANDLE service = win::OpenService(manager, name.c_str(), win::SERVICE_ALL_ACCESS);
    if (service == 0) {
      failure = win::GetLastError();
    } else {
      done = call(service);
      if (!done) failure = win::GetLastError();
      win::CloseServiceHandle(service);
    }
    win::CloseServiceHandle(manager);
  }
  if (error != nullptr) *error = failure;
  return done;
}

bool WriteStart(const std::string& name, win::DWORD start) {
  win::TRegistry reg;
  reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!reg.OpenKey("\\" + ServiceKeyPath(name), false))
    return win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
  return reg.WriteInteger("Start", static_cast<std::int32_t>(start));
}

bool DropStart(const std::string& name) {
  win::TRegistry reg;
  reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!reg.OpenKey("\\" + ServiceKeyPath(name), false))
    return win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
  return !reg.ValueExists("Start") || reg.DeleteValue("Start");
}

// Started or stopped as asked, or nothing to do.
bool Reached(bool done, win::DWORD error, bool start) {
  return done || error == win::ERROR_SERVICE_DOES_NOT_EXIST ||
         error == (start ? win::ERROR_SERVICE_ALREADY_RUNNING : win::ERROR_SERVICE_NOT_ACTIVE);
}

bool Installed(const std::string& name) {
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
  return reg.OpenKeyReadOnly("\\" + ServiceKeyPath(name)) && reg.ValueExists("Type");
}

}  // namespace

std::string ServiceKeyPath(const std::string& name) {
  return "SYSTEM\\CurrentControlSet\\Services\\" + name;
}

bool StartServiceByName(const std::string& name, win::DWORD* error) {
  return WithService(name, error,
                     [](win::SC_HANDLE service) { return win::StartService(service, 0, nullptr); });
}

bool StopServiceByName(const std::string& name, win::DWORD* error) {
  return WithService(name, error, [](win::SC_HANDLE service) {
    win::SERVICE_STATUS status;
    return win::ControlService(service, win::SERVICE_CONTROL_STOP, status);
  });
}

bool SetServiceStartType(int mode, const std::string& keyPath) {
  win::TRegistry reg;
  reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (mode < 0 || mode > 2) return true;
  if (!reg.OpenKey("\\" + keyPath, false)) return win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
  return reg.WriteInteger("Start", mode + 2);
}

bool EnableService(const std::string& name) {
  const bool typed = SetServiceStartType(0, ServiceKeyPath(name));
  win::DWORD error = 0;
  const bool started = StartServiceByName(name, &error);
  return typed && Reached(started, error, true);
}

bool DisableService(const std::string& name) {
  const bool typed = SetServiceStartType(2, ServiceKeyPath(name));
  win::DWORD error = 0;
  const bool stopped = StopServiceByName(name, &error);
  return typed && Reached(stopped, error, false);
}

bool ReadServiceState(const std::string& name, std::string& state) {
  state.clear();
  if (!Installed(name)) return true;
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!reg.OpenKeyReadOnly("\\" + ServiceKeyPath(name))) return false;
  // A service without "Start" is recorded with an empty start type.
  std::string start;
  if (reg.ValueExists("Start")) start = std::to_string(reg.ReadInteger("Start").value_or(win::SERVICE_DEMAND_START));
  bool ok = false;
  win::SERVICE_STATUS status;
  const win::SC_HANDLE manager = win::OpenSCManager(nullptr, nullptr, win::SC_MANAGER_CONNECT);
  if (manager != 0) {
    const win::SC_HANDLE service = win::OpenService(manager, name.c_str(), win::SERVICE_QUERY_STATUS);
    if (service != 0) {
      ok = win::QueryServiceStatus(service, status);
      win::CloseServiceHandle(service);
    }
    win::CloseServiceHandle(manager);
  }
  if (!ok) return false;
  state = start + "," + (status.dwCurrentState == win::SERVICE_STOPPED ? "0" : "1");
  return true;
}

bool RestoreServiceState(const std::string& name, const std::string& state) {
  if (state.empty()) return true;
  const std::size_t comma = state.find(',');
  if (comma == std::string::npos) return false;
  const std::string startText = state.substr(0, comma);
  const std::string running = state.substr(comma + 1);
  std::optional<win::DWORD> start;  // none: the service had no "Start"
  if (!startText.empty()) {
    std::int32_t value = 0;
    const char* end = startText.data() + startText.size();
    const auto parsed = std::from_chars(startText.data(), end, value);
    if (parsed.ec != std::errc() || parsed.ptr != end || value < static_cast<std::int32_t>(win::SERVICE_AUTO_START) ||
        value > static_cast<std::int32_t>(win::SERVICE_DISABLED))
      return false;
    start = static_cast<win::DWORD>(value);
  }
  if (running != "0" && running != "1") return false;
  if (!Installed(name)) return true;
  win::DWORD error = 0;
  if (running == "0") {
    const bool typed = start ? WriteStart(name, *start) : DropStart(name);
    const bool stopped = StopServiceByName(name, &error);
    return Reached(stopped, error, false) && typed;
  }
  // A disabled service cannot start: it starts first and is disabled after.
  const bool disabled = start == win::SERVICE_DISABLED;
  bool typed = disabled ? WriteStart(name, win::SERVICE_DEMAND_START) : start ? WriteStart(name, *start) : DropStart(name);
  const bool called = StartServiceByName(name, &error);
  const bool started = Reached(called, error, true);
  if (disabled) typed = WriteStart(name, win::SERVICE_DISABLED) && typed;
  return started && typed;
}

}  // namespace tools
