#include "platform/system/System.h"

#include <chrono>

#include "platform/machine/Machine.h"

namespace win {

namespace {

// Build number of the release a version names (service packs of Vista raise it).
DWORD BuildNumber(const MachineConfig& config) {
  const unsigned version = config.osMajor * 100 + config.osMinor;
  if (config.platformId == 1) {
    switch (version) {
      case 400: return 950;
      case 410: return 1998;
      case 490: return 3000;
      default: return 0;
    }
  }
  switch (version) {
    case 400: return 1381;
    case 500: return 2195;
    case 501: return 2600;
    case 502: return 3790;
    case 600:
      if (config.csdVersion == "Service Pack 1") return 6001;
      if (config.csdVersion == "Service Pack 2") return 6002;
      return 6000;
    case 601: return 7600;
    default: return 0;
  }
}

}  // namespace

OsVersionInfo GetVersionEx() {
  OsVersionInfo info;
  if (const Machine* machine = CurrentMachine()) {
    const MachineConfig& config = machine->Config();
    info.majorVersion = config.osMajor;
    info.minorVersion = config.osMinor;
    info.platformId = config.platformId;
    info.csdVersion = config.csdVersion;
    info.buildNumber = BuildNumber(config);
  }
  return info;
}

namespace {

bool ConfigName(std::string MachineConfig::*field, std::string& name) {
  const Machine* machine = CurrentMachine();
  if (!machine) {
    SetLastError(ERROR_NOT_READY);
    return false;
  }
  name = machine->Config().*field;
  return true;
}

}  // namespace

bool GetUserName(std::string& name) { return ConfigName(&MachineConfig::userName, name); }

bool GetComputerName(std::string& name) { return ConfigName(&MachineConfig::computerName, name); }

DWORD GetTickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace win
