#pragma once
// The optimizer's registry tweaks as one table: apply writes the optimized
// values, back-up writes the values about to be replaced into the INI backup
// file (one section per tweak, keys "F1".."F4"), restore puts them back.
// Back-ups only read; a missing value is saved as an empty key, which a
// restore turns back into a missing value.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

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

enum class TweakRestore {
  FromKeys,  // the backed-up values come back, then their keys leave the file
  Fixed,     // fixed values are written; the file is left as it is
  Remove,    // the applied value goes (and a key the apply made); keys leave the file
};

// What a fixed restore does with one value of the tweak.
struct FixedRestore {
  int value;           // index into values
  bool remove;         // delete the value
  std::int32_t dword;  // else write this DWORD
  const char* text;    // or this string (when not null)
};

struct TweakItem {
  const char* title;  // backup section name
  const char* box;    // check box caption of the window
  std::vector<TweakValue> values;  // applied in this order
  int backedUp;       // values[0..backedUp) are saved as F1..; the rest not read
  int fileKeys;       // "F" keys written (an unread value gives an empty key)
  // A key the apply creates; its back-up notes "KeyCreated=1" when missing.
  win::HKEY createdRoot;
  const char* createdKey;
  TweakRestore restore;
  std::vector<FixedRestore> fixed;
};

// The 26 tweaks in restore order; tweak n is TweakTable()[n - 1].
const std::array<TweakItem, kTweakCount>& TweakTable();

// The back-up file of the current run (set by the window before it applies).
extern std::string SpeedBackupFileName;

enum class TweakOutcome {
  Done,
  BadData,       // a value of an unexpected type or a text that is no number
  BackupFailed,  // the back-up could not be written: nothing applied
  WriteFailed,   // a registry write was refused
};

// The value texts a back-up of tweak (1-based) would save; false when a
// value has an unexpected type or is no number.
bool ReadTweakBackup(int tweak, std::vector<std::string>& values, bool& keyCreated);
// Writes the tweak's section into fileName: F1.. and KeyCreated when set.
bool WriteTweakBackupIni(const std::string& fileName, const std::vector<std::string>& values,
                         bool keyCreated, int tweak);
// Reads and writes the back-up of one tweak into SpeedBackupFileName.
TweakOutcome SaveTweakBackup(int tweak);
// Writes the optimized values; false when a write was refused (keys that are
// not created and missing are left alone and do not count).
bool ApplyTweak(int tweak);
// Back-up, then apply.
TweakOutcome BackUpAndApplyTweak(int tweak);

// Restores every tweak whose section exists in fileName, in table order.
// failedTitles gets the section of each tweak with a value that could not
// be put back (a key that is no number, a refused write). False when there
// is no such file.
bool RestoreSpeedBackup(const std::string& fileName, std::vector<std::string>& failedTitles);

}  // namespace tools
