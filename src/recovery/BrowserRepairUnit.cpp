#include "recovery/BrowserRepairUnit.h"

#include "recovery/IERepairItemUnit.h"
#include "recovery/RegBackupUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"

namespace recovery {

const char* const kRepairingText = "Repairing";
const char* const kCompletedText = "Completed";
const char* const kFailedText = "Failed";
const char* const kRestoreIeQuestion =
    "You will lose all of your personal settings of the Internet Explorer if you restore\rthe default "
    "settings. We recommend you to restore your IE only if it couldn't work at all.\r\rDo you still want "
    "to restore the Internet Explorer to the default settings?";

bool RestoreBrowserSettings(BrowserRepairView& view) {
  if (IsBusy()) return false;
  bool any = false;
  for (int row = 0; row < kRepairCount && !any; ++row) any = view.IsRowChecked(row);
  Dialogs& dialogs = CurrentDialogs();
  if (!any) {
    dialogs.MessageBox(kSelectItemMessage, "Fernwick", MB_OK | MB_ICONWARNING);
    return false;
  }
  if (dialogs.MessageBox(kRestoreIeQuestion, "Fernwick", MB_YESNO | MB_ICONWARNING) != IDYES) return false;
  BusyGuard busy;
  for (int row = 0; row < kRepairCount; ++row) {
    ProcessMessages();
    if (!view.IsRowChecked(row)) continue;
    view.SetRowStatus(row, kRepairingText);
    view.SetRowStatus(row, RunRepair(row) ? kCompletedText : kFailedText);
  }
  return true;
}

}  // namespace recovery
