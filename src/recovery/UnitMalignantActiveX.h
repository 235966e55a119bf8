#pragma once
// The "Block ActiveX" tool without its window: the list of harmful controls
// from the update server's "Code" file, whether Internet Explorer is told not
// to load each one (the compatibility flag 1024 of its class), and "Lock" /
// "Unlock" of those blocks.

#include <functional>
#include <string>
#include <vector>

#include "platform/Http.h"
#include "recovery/ServerListUnit.h"

namespace recovery {

extern const char* const kCodeFileName;      // "Code"
extern const char* const kCodeServerPath;    // "/update/Code"
extern const char* const kMalignantWaitTitle;  // "Fernwick - Block ActiveX"
extern const char* const kActiveXCompatibilityKey;  // under HKLM
constexpr int kKillBitFlags = 1024;

extern const char* const kLockedText;    // "Locked"
extern const char* const kUnlockedText;  // "Unlocked"
extern const char* const kLockedMessage;
extern const char* const kUnlockedMessage;

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
// The class's "Compatibility Flags" is the DWORD 1024.
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

// "Lock": ticked rows get the block, unticked rows lose the one this tool
// sets. Tells the outcome; returns the number of rows that failed.
int LockRows(std::vector<MalignantRow>& rows, const GaugeStep& step);
// "Unlock": every row loses the block this tool sets and is unticked.
int UnlockRows(std::vector<MalignantRow>& rows, const GaugeStep& step);

}  // namespace recovery
