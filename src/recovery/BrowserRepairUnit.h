#pragma once
// The "Internet Explorer Restorer" without its window: "Restore" runs the
// ticked repairs of IERepairItemUnit in row order and shows each row's
// status.

#include <string>

namespace recovery {

extern const char* const kRepairingText;  // "Repairing"
extern const char* const kCompletedText;  // "Completed"
extern const char* const kFailedText;     // "Failed"
extern const char* const kRestoreIeQuestion;

// The check list as "Restore" drives it; the window implements it.
class BrowserRepairView {
 public:
  virtual ~BrowserRepairView() = default;
  virtual bool IsRowChecked(int row) const = 0;
  virtual void SetRowStatus(int row, const std::string& status) = 0;
};

// "Restore": asks first, then repairs the ticked rows while holding the busy
// guard and letting messages through once per row. False when nothing ran
// (no row ticked, not confirmed, or another long operation running).
bool RestoreBrowserSettings(BrowserRepairView& view);

}  // namespace recovery
