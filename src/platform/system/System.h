#pragma once
// Operating-system queries and services of the current machine.

#include <string>

#include "platform/text/WinTypes.h"

namespace win {

struct OsVersionInfo {
  DWORD majorVersion = 5;
  DWORD minorVersion = 1;
  DWORD buildNumber = 2600;
  DWORD platformId = 2;  // 0 Win32s, 1 Windows 9x, 2 NT family
  std::string csdVersion;
};

OsVersionInfo GetVersionEx();
// False (unchanged name) when there is no machine.
bool GetUserName(std::string& name);
bool GetComputerName(std::string& name);
// Milliseconds since an arbitrary start, as the system tick count.
DWORD GetTickCount();

}  // namespace win
