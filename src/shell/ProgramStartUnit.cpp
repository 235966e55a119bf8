#include "shell/ProgramStartUnit.h"

#include <utility>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "platform/system/System.h"
#include "shell/DMUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace {

std::vector<std::string> g_arguments;

const char* const kPoliciesSystemKey =
    "Software\\microsoft\\Windows\\CurrentVersion\\Policies\\System";

bool IsBlank(const std::string& text) {
  for (unsigned char c : text)
    if (c > ' ') return false;
  return true;
}

// The elevation step; true when an elevated copy has taken over.
bool HandOverToElevatedCopy() {
  if (TestAndClearSetupFlag()) return false;
  if (!IsUacEnabled()) return false;
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (!registry.OpenKey(SettingsKey, true)) return false;
  if (registry.ReadString("vista").value_or(std::string()) == "1") {
    // This copy is the elevated one.
    registry.WriteString("vista", "");
    return false;
  }
  // Without the mark the new copy would restart itself again.
  if (!registry.WriteString("vista", "1")) return false;
  if (RunElevated(win::ProgramFile())) return true;
  registry.WriteString("vista", "");
  return false;
}

}  // namespace

void SetProgramArguments(std::vector<std::string> arguments) { g_arguments = std::move(arguments); }

bool TestAndClearSetupFlag() {
  bool setup = false;
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (registry.OpenKey(SettingsKey, false)) {
    setup = registry.ReadString("setup").value_or(std::string()) == "1";
    registry.CloseKey();
  }
  if (registry.OpenKey(SettingsKey, true)) {
    registry.DeleteValue("setup");
    registry.CloseKey();
  }
  return setup;
}

bool IsUacEnabled() {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKeyReadOnly(kPoliciesSystemKey)) return false;
  return registry.ReadInteger("EnableLUA").value_or(0) != 0;
}

bool RunElevated(const std::string& programFile) {
  win::ShellExecuteInfo info;
  info.size = 60;
  info.mask = win::SEE_MASK_NOCLOSEPROCESS;
  info.verb = "runas";
  info.file = programFile;
  info.showCommand = win::SW_SHOWNORMAL;
  return win::ShellExecuteEx(info);
}

bool GetCommandLineArgument(std::string& text) {
  text = g_arguments.empty() ? std::string() : g_arguments.front();
  return !text.empty();
}

StartupOutcome RunStartup(StartupSteps& steps) {
  steps.SetTitle("Fernwick");
  LoadSettings();
  steps.CreateDataModule();
  if (ApplicationTerminated()) return StartupOutcome::QuitDuringStartup;
  if (win::GetVersionEx().majorVersion >= 6 && HandOverToElevatedCopy()) {
    TerminateApplication();
    return StartupOutcome::ElevatedRestart;
  }
  GetCommandLineArgument(CmdArg);
  steps.CreateMainWindow();
  if (ApplicationTerminated()) return StartupOutcome::QuitDuringStartup;
  steps.RunMessageLoop();
  return StartupOutcome::Ran;
}

void MainWindowActivated(bool& firstActivation, const std::function<void()>& scanNow) {
  if (!firstActivation) return;
  firstActivation = false;
  if (IsBlank(CmdArg)) return;
  Delay(1000);
  // A quit that arrived during the wait ends the program without a scan.
  if (ApplicationTerminated()) return;
  scanNow();
}

bool HandleMainWindowMessage(unsigned message, MainWindowMessages& window) {
  switch (message) {
    case WM_RESTORE_REQUEST:
      if (window.IsMinimised()) window.ShowAndRestore();
      return true;
    case WM_TERMINATE_REQUEST:
      // A running scan or repair stops first; the program ends once it unwound.
      QuitWhenIdle();
      return true;
    default:
      return false;
  }
}
