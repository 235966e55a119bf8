#pragma once
// "System Restore Point" without its window: the service check, the list, and
// the Create, Restore and Delete actions with their messages.

#include <string>
#include <vector>

#include "recovery/PointRestauration.h"

namespace recovery {

extern const char* const kRestoreServiceMessage;  // "The Windows System Restore function has not started! ..."
extern const char* const kPointCreatedMessage;
extern const char* const kPointCreateFailedMessage;
extern const char* const kNoPointToRestoreMessage;
extern const char* const kPointRestoreFailedMessage;
extern const char* const kRestoredRebootQuestion;
extern const char* const kPointRemovedMessage;
extern const char* const kPointRemoveFailedMessage;

// The list as the actions refresh it; the window implements it.
class SysRestoreView {
 public:
  virtual ~SysRestoreView() = default;
  virtual void ShowRestorePoints(const std::vector<RestorePointRow>& rows) = 0;
};

// The current state of "srservice" (4 running), or -1 when it cannot be
// queried. Asks only for connect and status rights.
int GetRestoreServiceState();

// On show: the points when the service runs; else the warning and an empty
// list. True when the service runs.
bool ShowRestoreTool(SysRestoreView& view);
void RefreshRestorePoints(SysRestoreView& view);
// "Create a Restore Point": asks for a name (Cancel stops). True when made.
bool CreateRestorePointAction(SysRestoreView& view);
// "Restore": sequence is the selected row's number text, empty without a
// selection. On success offers the restart (recorded with EWX_REBOOT).
bool RestoreAction(SysRestoreView& view, const std::string& sequence);
// "Delete": nothing without a selection.
bool DeleteAction(SysRestoreView& view, const std::string& sequence);

}  // namespace recovery
