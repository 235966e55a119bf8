#include "recovery/SysRestoreUnit.h"

#include <charconv>

#include "platform/shell/Shell.h"
#include "platform/system/Services.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace recovery {

const char* const kRestoreServiceMessage =
    "The Windows System Restore function has not started! For more information, please check the help file.";
const char* const kPointCreatedMessage = "The system backup was created successfully!";
const char* const kPointCreateFailedMessage = "Creating system backup was failed.";
const char* const kNoPointToRestoreMessage = "There are no items to restore!";
const char* const kPointRestoreFailedMessage = "System restore failed!";
const char* const kRestoredRebootQuestion =
    "System was successfully restored.\rYou have to reboot you PC to enable the changes.";
const char* const kPointRemovedMessage = "The system restore point was removed successfully!";
const char* const kPointRemoveFailedMessage = "System restore point was remove failed!";

namespace {

constexpr const char* kCaption = "Fernwick";

void Tell(const char* text, unsigned flags = MB_OK) { CurrentDialogs().MessageBox(text, kCaption, flags); }

// The sequence number of a row's text; false when it is not one.
bool SequenceOf(const std::string& text, win::DWORD& sequence) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), sequence);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

int GetRestoreServiceState() {
  const win::SC_HANDLE manager = win::OpenSCManager(nullptr, "ServicesActive", win::SC_MANAGER_CONNECT);
  if (manager == 0) return -1;
  int state = -1;
  if (const win::SC_HANDLE service = win::OpenService(manager, "srservice", win::SERVICE_QUERY_STATUS)) {
    win::SERVICE_STATUS status;
    if (win::QueryServiceStatus(service, status)) state = static_cast<int>(status.dwCurrentState);
    win::CloseServiceHandle(service);
  }
  win::CloseServiceHandle(manager);
  return state;
}

bool ShowRestoreTool(SysRestoreView& view) {
  if (GetRestoreServiceState() != static_cast<int>(win::SERVICE_RUNNING)) {
    view.ShowRestorePoints({});
    Tell(kRestoreServiceMessage, MB_OK | MB_ICONWARNING);
    return false;
  }
  RefreshRestorePoints(view);
  return true;
}

void RefreshRestorePoints(SysRestoreView& view) {
  std::vector<RestorePointRow> rows;
  EnumRestorePoints(rows);
  view.ShowRestorePoints(rows);
}

bool CreateRestorePointAction(SysRestoreView& view) {
  std::string name;
  if (!CurrentDialogs().InputBox("Please Enter", "System Backup Name", name)) return false;
  bool made = false;
  {
    const WaitCursor wait;  // the snapshot of a large registry takes a while
    made = win::CreateRestorePoint(name, 0, 100) == 0;
  }
  Tell(made ? kPointCreatedMessage : kPointCreateFailedMessage);
  if (made) RefreshRestorePoints(view);
  return made;
}

bool RestoreAction(SysRestoreView& view, const std::string& sequence) {
  if (sequence.empty()) {
    Tell(kNoPointToRestoreMessage);
    return false;
  }
  win::DWORD number = 0;
  bool restored = false;
  {
    const WaitCursor wait;  // the snapshot is checked first
    restored = SequenceOf(sequence, number) && win::RestoreToPoint(number) == 0;
  }
  if (!restored) {
    Tell(kPointRestoreFailedMessage);
  } else if (CurrentDialogs().MessageBox(kRestoredRebootQuestion, kCaption, MB_YESNO | MB_ICONWARNING) ==
             IDYES) {
    // A plain reboot: other programs may still save their work.
    EnableShutdownPrivilege();
    win::ExitWindowsEx(win::EWX_REBOOT, 0);
  }
  RefreshRestorePoints(view);
  return restored;
}

bool DeleteAction(SysRestoreView& view, const std::string& sequence) {
  if (sequence.empty()) return false;
  win::DWORD number = 0;
  const bool removed = SequenceOf(sequence, number) && win::DeleteRestorePoint(number) == 0;
  Tell(removed ? kPointRemovedMessage : kPointRemoveFailedMessage);
  RefreshRestorePoints(view);
  return removed;
}

}  // namespace recovery
