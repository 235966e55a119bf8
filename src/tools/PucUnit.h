#pragma once
// The optimizer's services: start, stop and start type of one service, and
// the enable and disable of each listed service. A change counts as made
// when the service ends up as asked, was already so, or is not installed.

#include <array>
#include <string>

#include "platform/text/WinTypes.h"

namespace tools {

constexpr int kServiceCount = 21;
// The listed services (key name and the name given to the service manager).
extern const std::array<const char*, kServiceCount> ServiceNames;

// True when the start (stop) call succeeded; error gets GetLastError() of the
// step that failed. Every handle opened is closed.
bool StartServiceByName(const std::string& name, win::DWORD* error = nullptr);
bool StopServiceByName(const std::string& name, win::DWORD* error = nullptr);
// Mode 0 writes "Start" 2, 1 writes 3, 2 writes 4, others nothing, on the key
// below HKEY_LOCAL_MACHINE (not created). False only when an existing key
// refused the write.
bool SetServiceStartType(int mode, const std::string& keyPath);
std::string ServiceKeyPath(const std::string& name);

// Start type 2 and started; start type 4 and stopped. True when the change
// was made or was not needed.
bool EnableService(const std::string& name);
bool DisableService(const std::string& name);

// A service's state as a backup keeps it: "<Start>,<1 running / 0 stopped>",
// with an empty start type when it has no "Start" value; empty when it is
// not installed. False when it cannot be read.
bool ReadServiceState(const std::string& name, std::string& state);
// Puts back a state of that form (start type 2, 3 or 4; an empty one
// removes "Start"); an empty state does nothing. False for a damaged text,
// which changes nothing, or a change that was refused.
bool RestoreServiceState(const std::string& name, const std::string& state);

}  // namespace tools
