#pragma once
// The program's start-up sequence and the main window's life-cycle rules that
// need no window: the one-time elevated restart on Windows 6 and later, the
// command-line argument, the automatic scan after the first activation, and
// the messages that other processes send.

#include <functional>
#include <string>
#include <vector>

#include "shell/PublicFunctionUnit.h"  // the terminate request

// The arguments after the program's name, as the program was started.
void SetProgramArguments(std::vector<std::string> arguments);

// True when "setup" under the settings key was exactly "1"; the value is
// deleted afterwards whatever it held.
bool TestAndClearSetupFlag();
// True when HKLM "...\Policies\System" "EnableLUA" is a non-zero DWORD.
bool IsUacEnabled();
// Starts programFile elevated ("runas", no parameters); true when it started.
// Start-up calls it before any window exists, so no window is disabled or
// refocused around the call.
bool RunElevated(const std::string& programFile);
// The first command-line argument or empty; true when it is not empty.
bool GetCommandLineArgument(std::string& text);

// The start-up steps that need the window library.
class StartupSteps {
 public:
  virtual ~StartupSteps() = default;
  virtual void SetTitle(const std::string& title) = 0;
  // The data module; its creation detects the platform and may run the
  // silent update check, which can terminate the application.
  virtual void CreateDataModule() = 0;
  virtual void CreateMainWindow() = 0;
  // Runs until the application terminates.
  virtual void RunMessageLoop() = 0;
};

enum class StartupOutcome {
  Ran,               // the main window was created and the message loop ran
  ElevatedRestart,   // an elevated copy was started; this one ends unseen
  QuitDuringStartup  // a quit was requested before the main window
};

// Title, settings, data module, elevation step, CmdArg, main window, loop.
StartupOutcome RunStartup(StartupSteps& steps);

// The main window's activation: on the first one only (the flag is then
// cleared), a CmdArg that is not blank starts a full scan through scanNow
// after waiting 1000 ms with Delay, unless a quit came during the wait.
void MainWindowActivated(bool& firstActivation, const std::function<void()>& scanNow);

// Messages other processes send to the main window.
constexpr unsigned WM_RESTORE_REQUEST = 0x2400;    // restore when minimised
constexpr unsigned WM_TERMINATE_REQUEST = 0x1500;  // quit

class MainWindowMessages {
 public:
  virtual ~MainWindowMessages() = default;
  virtual bool IsMinimised() const = 0;
  // Shows the application window and restores the application.
  virtual void ShowAndRestore() = 0;
};

// Acts on 0x2400 and on 0x1500 (TerminateApplication); false for any other
// message (left alone).
bool HandleMainWindowMessage(unsigned message, MainWindowMessages& window);
