#pragma once
// Command lines the program runs. "regedit" (export /E file [key], silent
// import /s file) and "regsvr32" are served in-process; any other program on
// the machine runs when its host file is executable. Failures are results
// with GetLastError() set.

#include <functional>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

// Program and arguments of a command line as Windows splits it: the program
// is quoted or ends at the first blank; arguments follow the usual rules for
// quotes and backslashes.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Starts the command without waiting. In-process commands have finished
// when it returns; for them true means they succeeded. The show command is
// accepted and has no effect here.
bool WinExec(const std::string& commandLine, int showCmd);

// Runs the command and waits for it. False (GetLastError()) when it could
// not be started; otherwise true with the program's exit code (in-process
// commands: 0 success, 1 failure).
bool RunAndWait(const std::string& commandLine, DWORD& exitCode);
// The same, calling whileWaiting again and again until the program has
// ended (a window lets its messages through there); in-process commands call
// it once before they run.
bool RunAndWait(const std::string& commandLine, DWORD& exitCode,
                const std::function<void()>& whileWaiting);

}  // namespace win
