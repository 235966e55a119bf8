#pragma once
// The installed programs of the machine-wide Uninstall key and the routines
// that turn their stored texts into what the uninstaller manager shows and
// runs.

#include <cstdint>
#include <string>

#include "common/Collection.h"

namespace tools {

extern const char* const kNotAvailable;  // "NOT AVAILABLE"
extern const char* const kUninstallKey;  // "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"

struct TContent {
  std::string IconPath;
  std::string DisplayName;
  std::string DisplayVersion;
  std::string HelpLink;
  std::string InstallDate;
  std::string InstallLocation;
  std::string Publisher;
  std::string URLInfoAbout;
  std::string URLUpdateInfo;
  std::string ModifyPath;
  std::string KeyName;
  std::string UninstallString;
  std::string KeyPath;
};

class TUninstallContentItem {
 public:
  TContent Content;
};

class TUninstallContents : public TContents<TUninstallContentItem> {
 public:
  // False for an index outside 0..Count-1, else the item is removed.
  bool Delete(std::int32_t index);
};

// "yyyymmdd" (trimmed) in the machine's short date format; any other text,
// or a month or day out of range, "NOT AVAILABLE".
std::string FormatInstallDate(const std::string& text);

// The program path inside a command line: "@" and quotes removed,
// "%SYSTEMROOT%\", "%ProgramFiles%" and "%Windir%" replaced, an msiexec
// command put in the system folder, then cut after the program's name.
std::string ExtractProgramPath(const std::string& commandLine);

// The command that uninstalls: a rundll32 or MsiExec command without its
// quotes, arguments kept; else the program path alone.
std::string NormalizeUninstallCommand(const std::string& commandLine);

// "Norton" or "Symantec" in the name (case-sensitive).
bool IsNortonOrSymantec(const std::string& displayName);

// Column 0 DisplayName, 1 InstallDate, 2 Publisher; direction 0 ascending,
// 1 descending. An exchange sort on the trimmed texts, compared ordinally.
void SortUninstallContents(TUninstallContents& contents, int column, int direction);

// Reads the Uninstall key (read-only) into the collection; entries whose
// "ParentKeyName" is "OperatingSystem" only when showWindowsUpdate is set.
void LoadInstalledPrograms(TUninstallContents& contents, bool showWindowsUpdate);

// The command line "Uninstall" runs for an item: NormalizeUninstallCommand of
// its "UninstallString" with a program path holding a blank quoted, or the
// "ModifyPath" of a Norton or Symantec item that has one.
std::string UninstallCommandLine(const TContent& item);

// Deletes the item's Uninstall subkey with everything under it; true when it
// is gone.
bool RemoveUninstallEntry(const TContent& item);

}  // namespace tools
