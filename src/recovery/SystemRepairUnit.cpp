#include "recovery/SystemRepairUnit.h"

#include <cstdio>

#include "platform/files/FileSystem.h"
#include "platform/system/ProgramRunner.h"
#include "platform/text/TextCodec.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace recovery {

const char* const kReRegisterSuccess = "Re-register successfully";
const char* const kReRegisterFailed = "Re-register failed";
const char* const kReRegisterDoneMessage = "Re-registering ActiveX and .Dll objects run successfully!";
const char* const kReRegisterFailedMessage = "%d ActiveX and .Dll objects could not be re-registered!";

bool IsRegistrationCandidate(const std::string& path, win::DWORD attributes) {
  if (attributes & win::FILE_ATTRIBUTE_DIRECTORY) return false;
  const std::string upper = win::UpperName(path);
  return upper.find(".OCX") != std::string::npos || upper.find(".DLL") != std::string::npos;
}

std::string RegisterCommandLine(const std::string& path) { return "regsvr32.exe/s \"" + path + "\""; }

int ReRegisterSystemFiles(RegDllView& view, std::uint8_t& running, const CommandRunner& run) {
  if (IsBusy()) return -1;
  BusyGuard busy;
  const std::string folder = win::GetSystemDirectory();
  running = 1;
  ScanState = 0;  // a stop left by an earlier Abort must not end this run
  view.ClearRows();
  int failures = 0;
  win::FindData entry;
  const auto finder = win::FindFirstFile(folder + "\\*.*", entry);
  for (bool more = finder != nullptr; more; more = finder->Next(entry)) {
    ProcessMessages();
    if (running != 1 || ScanState == 2) break;  // "Stop", or a quit from the tray
    const std::string path = folder + "\\" + entry.name;
    if (!IsRegistrationCandidate(path, entry.attributes)) continue;
    win::DWORD exitCode = 1;
    const std::string command = RegisterCommandLine(path);
    const bool ran = run ? run(command, exitCode, ProcessMessages)
                         : win::RunAndWait(command, exitCode, ProcessMessages);
    const bool ok = ran && exitCode == 0;
    if (!ok) ++failures;
    view.AddRow(path, ok ? kReRegisterSuccess : kReRegisterFailed);
  }
  if (failures == 0) {
    CurrentDialogs().MessageBox(kReRegisterDoneMessage, "Fernwick", MB_OK);
  } else {
    char text[128];
    std::snprintf(text, sizeof(text), kReRegisterFailedMessage, failures);
    CurrentDialogs().MessageBox(text, "Fernwick", MB_OK | MB_ICONWARNING);
  }
  return failures;
}

}  // namespace recovery
