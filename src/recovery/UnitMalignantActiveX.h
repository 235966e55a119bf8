#pragma once
// The "Block ActiveX" tool without its window: the list of harmful controls
// from the update server's "Code" file, whether Internet Explorer is told not
// to load each one (the compatibility flag 1024 of its class), and "Lock" /
// "Unlock" of those blocks.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/net/Http.h"
#include "recovery/ServerListUnit.h"

namespace recovery {

extern const char* const kCodeFileName;      // "Code"
extern const char* const kCodeServerPath;    // "/update/Code"
extern const char* const kMalignantWaitTitle;  // "Fernwick - Block ActiveX"
extern const char* const kActiveXCompatibilityKey;  // under HKLM
constexpr std::uint32_t kKillBit = 0x400;

extern const char* const kLockedText;    // "Locked"
extern const char* const kUnlockedText;  // "Unlocked"
extern const char* const kLockedMessage;
extern const char* const kUnlockedMessage;
extern const char* const kEmptyListMessage;  // Lock or Unlock without rows

struct MalignantRow {
  std::string Name;
  std::string Clsid;
  bool Checked = false;
  bool Locked = false;  // the status shown
};

// A "Code" line: false for an empty line (skipped); otherwise the line is
// trimmed of blanks and control characters, the name is what stands before
// the first "{" and the class identifier the rest.
bool ParseCodeLine(const std::string& line, std::string& name, std::string& clsid);
// "{8-4-4-4-12 hex digits}": only such identifiers are read or changed.
bool IsWellFormedClsid(const std::string& clsid);
// The class's "Compatibility Flags" is a DWORD with the kill bit set.
bool IsClassLocked(const std::string& clsid);

// Creation: makes sure "Code" holds a list (download under the wait window).
bool EnsureCodeFile(win::HttpClient& http, ListDownloadView* view);
// Show: one row per listed control, ticked and "Locked" when blocked. An
// unreadable list is told and gives no rows.
std::vector<MalignantRow> LoadMalignantRows();

// Rows not locked; the warning shows when it is not 0.
int UnlockedCount(const std::vector<MalignantRow>& rows);
std::string WarningText(int count);      // "%d ActiveX items could cause potential threats to your PC!"
std::string ObjectCountText(int rows);  // "(%d objects)", empty for none

// Called after each row with the rounded percentage of rows done.
using GaugeStep = std::function<void(int percent)>;

// "Lock": ticked rows get the kill bit (other flag bits kept; a value that is
// not a DWORD is left and the row fails), unticked rows lose it. Only the bit
// is cleared; the value goes when no other bit is left, the class key when it
// then holds nothing else. A row without a well-formed class identifier
// fails. Returns the number of rows that failed; the statuses are read back.
int LockRows(std::vector<MalignantRow>& rows, const GaugeStep& step);
// "Unlock": every row loses the kill bit as above; only the rows whose block
// was removed are unticked.
int UnlockRows(std::vector<MalignantRow>& rows, const GaugeStep& step);
// The closing messages: success only for a list whose every row succeeded.
void TellLockOutcome(const std::vector<MalignantRow>& rows, int failed);
void TellUnlockOutcome(const std::vector<MalignantRow>& rows, int failed);

}  // namespace recovery
