#pragma once
// Shell and session services of the current machine: opening an address
// (ShellExecute "open"), starting the program again elevated (ShellExecuteEx
// "runas"), the shutdown privilege and ExitWindowsEx. Every request is
// recorded in the machine folder, one line each (ShellLog).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

using HWND = std::uintptr_t;

// Show commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

constexpr DWORD SEE_MASK_NOCLOSEPROCESS = 0x40;

// ShellExecute results at or below this value are errors.
constexpr std::uintptr_t SE_ERR_NOASSOC = 31;

constexpr DWORD ERROR_NO_SUCH_PRIVILEGE = 1313;
constexpr DWORD ERROR_PRIVILEGE_NOT_HELD = 1314;
constexpr DWORD ERROR_CANCELLED = 1223;

// ExitWindowsEx flags.
constexpr unsigned EWX_LOGOFF = 0;
constexpr unsigned EWX_SHUTDOWN = 1;
constexpr unsigned EWX_REBOOT = 2;
constexpr unsigned EWX_FORCE = 4;
constexpr unsigned EWX_POWEROFF = 8;

constexpr const char* SE_SHUTDOWN_NAME = "SeShutdownPrivilege";

// Opens a web address (http, https, ftp, mailto) with verb "open" (or an
// empty verb). The address is recorded; with FERNWICK_OPEN_URLS=1 in the
// environment, http and https addresses are also handed to the desktop's
// browser. Anything else fails with ERROR_FILE_NOT_FOUND. Returns a value
// above 32 on success, else the error code.
std::uintptr_t ShellExecute(HWND owner, const std::string& verb, const std::string& file,
                            const std::string& parameters, const std::string& directory,
                            int showCommand);

struct ShellExecuteInfo {
  DWORD size = 60;
  DWORD mask = 0;
  HWND owner = 0;
  std::string verb;
  std::string file;
  std::string parameters;
  std::string directory;
  int showCommand = SW_SHOWNORMAL;
  std::uintptr_t instApp = 0;  // > 32 on success, else the error code
};

// Verb "runas" of the program's own file (ProgramFile()): marks the machine
// as elevated (machine.ini "Elevated=1") and starts the program again through
// the restarter. Fails with ERROR_FILE_NOT_FOUND when no restarter is set or
// the file is not the program; the mark is then left as it was.
bool ShellExecuteEx(ShellExecuteInfo& info);

// Starts a new copy of this program with the given parameters; true when it
// was started. The program installs one at start; tests install their own.
using ProgramRestarter = std::function<bool(const std::string& parameters)>;
void SetProgramRestarter(ProgramRestarter restarter);

// OpenProcessToken, LookupPrivilegeValue and AdjustTokenPrivileges in one:
// enables one privilege of this process. Only SE_SHUTDOWN_NAME is known.
bool EnablePrivilege(const std::string& privilegeName);
bool PrivilegeEnabled(const std::string& privilegeName);

// Records the request. Shutting down, restarting or powering off needs the
// shutdown privilege (else ERROR_PRIVILEGE_NOT_HELD); nothing else happens.
bool ExitWindowsEx(unsigned flags, DWORD reason);

// The recorded requests of the current machine, oldest first; fields are
// separated by tabs: call, arguments, then "ok" or "failed <code>".
std::vector<std::string> ShellLog();

// Forgets enabled privileges and the restarter (tests).
void ResetShellState();

}  // namespace win
