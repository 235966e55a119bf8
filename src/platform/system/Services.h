#pragma once
// The service control manager of the current machine. A service is installed
// when its key under HKLM\SYSTEM\CurrentControlSet\Services holds "Type"; its
// start type is that key's "Start", read at every call. Whether it runs is
// kept in the machine's state.db, seeded from "Start" (0-2 running, 3-4
// stopped) the first time the service is seen. Failures return 0 / false with
// GetLastError() set; nothing throws.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

using SC_HANDLE = std::uintptr_t;  // 0 is no handle

// Service manager rights.
constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr DWORD SC_MANAGER_LOCK = 0x0008;
constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;

// Service rights.
constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_STOP = 0x0020;
constexpr DWORD SERVICE_PAUSE_CONTINUE = 0x0040;
constexpr DWORD SERVICE_INTERROGATE = 0x0080;
constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;
constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;
constexpr DWORD READ_CONTROL = 0x00020000;

// Controls, states, accepted controls.
constexpr DWORD SERVICE_CONTROL_STOP = 1;
constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_ACCEPT_STOP = 1;

// "Start" values.
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;

// Error codes of the service manager.
constexpr DWORD ERROR_DEPENDENT_SERVICES_RUNNING = 1051;
constexpr DWORD ERROR_INVALID_SERVICE_CONTROL = 1052;
constexpr DWORD ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr DWORD ERROR_SERVICE_DISABLED = 1058;
constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr DWORD ERROR_DATABASE_DOES_NOT_EXIST = 1065;
constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;

struct SERVICE_STATUS {
  DWORD dwServiceType = 0;
  DWORD dwCurrentState = 0;
  DWORD dwControlsAccepted = 0;
  DWORD dwWin32ExitCode = 0;
  DWORD dwServiceSpecificExitCode = 0;
  DWORD dwCheckPoint = 0;
  DWORD dwWaitHint = 0;
};

// machineName null or empty: this machine; no other machine is reachable
// (RPC_S_SERVER_UNAVAILABLE). Rights beyond reading fail with
// ERROR_ACCESS_DENIED while the Services key is read-only for the user.
SC_HANDLE OpenSCManager(const char* machineName, const char* databaseName, DWORD access);
// ERROR_SERVICE_DOES_NOT_EXIST for a service that is not installed;
// ERROR_ACCESS_DENIED as for OpenSCManager.
SC_HANDLE OpenService(SC_HANDLE manager, const char* serviceName, DWORD access);
// ERROR_SERVICE_DISABLED ("Start" 4), ERROR_SERVICE_ALREADY_RUNNING.
bool StartService(SC_HANDLE service, DWORD argCount, const char** args);
// Stop: ERROR_SERVICE_NOT_ACTIVE when not running,
// ERROR_DEPENDENT_SERVICES_RUNNING when a running service names it in its
// "DependOnService". Interrogate reports the status. Status is filled on
// success and on the refusals that come from the service's state.
bool ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS& status);
bool QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS& status);
bool CloseServiceHandle(SC_HANDLE handle);

// Handles opened and not yet closed (manager and service handles).
std::size_t OpenServiceHandleCount();

// Records a run state for every installed service that has none yet, from
// its "Start". Called when a machine is made, so that later changes of
// "Start" do not change what runs.
bool SeedServiceRunStates();

}  // namespace win
