#pragma once
// "Register ActiveX" without its window: every ActiveX control and library
// file of the system folder is run through "regsvr32.exe/s", one file at a
// time, each to its end while window messages are let through; each handled
// file gets a row saying whether its registration succeeded.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/text/WinTypes.h"

namespace recovery {

extern const char* const kReRegisterSuccess;         // "Re-register successfully"
extern const char* const kReRegisterFailed;          // "Re-register failed"
extern const char* const kReRegisterDoneMessage;     // "Re-registering ... run successfully!"
extern const char* const kReRegisterFailedMessage;   // "%d ActiveX and .Dll objects could not be re-registered!"

// The rows as the run adds them; the window implements it.
class RegDllView {
 public:
  virtual ~RegDllView() = default;
  virtual void ClearRows() = 0;
  virtual void AddRow(const std::string& path, const std::string& status) = 0;
};

// Runs a command line to its end: false when it could not start, else the
// exit code. whileWaiting lets window messages through.
using CommandRunner =
    std::function<bool(const std::string& commandLine, win::DWORD& exitCode,
                       const std::function<void()>& whileWaiting)>;

// True for a folder entry that the run hands to regsvr32: not a folder, and
// ".ocx" or ".dll" anywhere in its path (any letter case).
bool IsRegistrationCandidate(const std::string& path, win::DWORD attributes);
// "regsvr32.exe/s \"<path>\"".
std::string RegisterCommandLine(const std::string& path);

// "Re-register": walks the system folder while running stays 1 (the window's
// "Stop" sets it to 0) and no quit asked the scans to stop (ScanState 2);
// both are tested before each entry, after messages were let through. Ends
// with the closing message. Returns the number of
// files that failed. Refused (-1, nothing told) while another long
// operation runs.
int ReRegisterSystemFiles(RegDllView& view, std::uint8_t& running, const CommandRunner& run = {});

}  // namespace recovery
