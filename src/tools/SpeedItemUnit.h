#pragma once
// The optimizer's registry tweaks as one table: apply writes the optimized
// values, back-up writes the values about to be replaced into the INI backup
// file (one section per tweak), restore puts them back.
//
// A section holds "F1".."F4", the values as text (a DWORD in decimal, empty
// for a missing value), and beside each the keys a restore needs to bring it
// back exactly: "F<n>Type" (REG_SZ, REG_EXPAND_SZ, REG_DWORD or missing),
// "F<n>Text" where "F<n>" does not hold the exact text, and "F<n>KeyCreated"
// or "KeyCreated" with the number of key levels that the apply creates.
// A section without the type keys is restored as older files were.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace tools {

constexpr int kTweakCount = 26;

// How a value is kept: a REG_DWORD, a REG_SZ, or a REG_SZ holding a number
// that the back-up saves as that number.
enum class TweakValueType { Dword, String, Number };

struct TweakValue {
  win::HKEY root;
  const char* key;
  const char* name;  // "" is the key's unnamed value
  TweakValueType type;
  bool createKey;           // apply and restore create the key when missing
  std::int32_t dword;       // optimized value of a DWORD
  const char* text;         // optimized value of a string
};

// What an older backup's empty line restores for one value (a value not
// listed is deleted).
struct FixedRestore {
  int value;           // index into values
  bool remove;         // delete the value
  std::int32_t dword;  // else write this DWORD
  const char* text;    // or this string (when not null)
};

struct TweakItem {
  const char* title;  // backup section name
  const char* box;    // check box caption of the window
  std::vector<TweakValue> values;  // applied in this order, saved as F1..
  bool emptyLines;    // "F<n>" stays empty; the value is in "F<n>Text"
  // A key the apply creates besides the values' keys.
  win::HKEY createdRoot;
  const char* createdKey;
  std::vector<FixedRestore> fixed;
};

// The 26 tweaks in restore order; tweak n is TweakTable()[n - 1].
const std::array<TweakItem, kTweakCount>& TweakTable();

// The back-up file of the current run (set by the window before it applies).
extern std::string SpeedBackupFileName;

enum class TweakOutcome {
  Done,
  BadData,       // a value the backup cannot bring back exactly: nothing changed
  BackupFailed,  // the back-up could not be written or read back: nothing applied
  WriteFailed,   // a registry write was refused
};

// One value as a back-up keeps it.
struct SavedValue {
  bool exists = false;
  win::DWORD type = win::REG_NONE;
  std::string text;   // exact text; a DWORD in signed decimal
  int keyLevels = 0;  // levels of the value's key that the apply creates
  bool operator==(const SavedValue&) const = default;
};
struct TweakBackup {
  std::vector<SavedValue> values;
  int keyLevels = 0;  // of the tweak's own created key
  bool operator==(const TweakBackup&) const = default;
};

// What a back-up of tweak (1-based) would save; false when a value has an
// unexpected type or a form the file cannot carry (text outside the code
// page, a line break, an embedded NUL, a text that is no number).
bool ReadTweakBackup(int tweak, TweakBackup& backup);
// Writes the tweak's section into fileName.
bool WriteTweakBackupIni(const std::string& fileName, const TweakBackup& backup, int tweak);
// Reads, writes and reads back the back-up of one tweak in SpeedBackupFileName.
TweakOutcome SaveTweakBackup(int tweak);
// Writes the optimized values; false when a write was refused (keys that are
// not created and missing are left alone and do not count).
bool ApplyTweak(int tweak);
// Back-up, then apply.
TweakOutcome BackUpAndApplyTweak(int tweak);

struct SpeedRestoreResult {
  bool isBackup = false;  // the file has a section named as a tweak
  int restored = 0;       // values put back and created keys removed
  std::vector<std::string> failedTitles;
};
// Restores every tweak whose section exists in fileName, in table order:
// all of a tweak's lines are checked before any value is written, and a
// line leaves the file only after its value is back. Then the keys that the
// applies created are removed where they are empty.
SpeedRestoreResult RestoreSpeedBackup(const std::string& fileName);

// Tests: called before each change a restore makes (a value written or
// removed, a key removed, a line dropped from the file); false ends the
// restore there, as a kill would. An empty hook lets every change through.
void SetRestoreStepHook(std::function<bool()> hook);

}  // namespace tools
