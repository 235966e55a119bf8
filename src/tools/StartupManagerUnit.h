#pragma once
// The startup manager's engine: what Windows starts at logon (Startup
// folders, the run keys of both roots, win.ini "Load" and "Run"), the rows
// that show it, and the actions that disable, enable, remove and restore
// entries with their backup files in "RepairBackup" beside the program:
//   startup.dat         disabled registry entries, "location#value|command"
//   removestartup.dat   removed registry entries, the same form
//   del.txt             "startup path#copy path", "|E" added while disabled
//   del\                the copies of disabled and removed Startup-folder files
// Every row carries its own entry; the lists are rebuilt at each listing.
// An action backs an entry up as it is at that moment and reads the backup
// back before deleting anything; an entry that could not come back exactly
// stays, and one message names what stayed. Each listing first mends what
// a kill between two steps of an action left.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"
#include "tools/APP.h"

namespace tools {

enum class TStartupSource { StartupFolder, Registration, WinIni, Detail };

// A registry entry, live or disabled.
struct TRunEntry {
  win::HKEY RootKey = 0;
  std::string KeyPath;
  std::string ValueName;
  std::string Command;
  std::string Location;  // "HKEY_CURRENT_USER\SOFTWARE\...\Run"
  win::DWORD Type = win::REG_SZ;
  std::string Line;      // its startup.dat line when disabled
};

struct TStartupRow {
  std::string Caption;
  // "Path", "Status", the type ("Startup Folder", "Registration",
  // "Win.ini") and, for registry rows, the location or the whole line.
  std::vector<std::string> SubItems;
  int ImageIndex = 0;   // 0 not chosen, 1 chosen; -1 detail rows
  int StateIndex = -1;  // 2 details closed, 3 open; -1 none
  TStartupSource Source = TStartupSource::StartupFolder;
  TRunEntry Run;               // registry rows
  std::string Section;         // win.ini rows
  std::string DelLine;         // disabled Startup-folder rows: their del.txt line
  std::int32_t Details = -1;   // details record of a registry row

  const std::string& Path() const { return SubItems[0]; }
  const std::string& Status() const { return SubItems[1]; }
};

struct TRestoreRow {
  std::string Caption;
  std::vector<std::string> SubItems;  // name, info, then the line or "file"
  bool Checked = false;
  std::string Line;  // the line of removestartup.dat or del.txt
  bool File = false;
};

extern const char* const kStartupFileName;        // "startup.dat"
extern const char* const kRemoveStartupFileName;  // "removestartup.dat"
extern const char* const kDelFileName;            // "del.txt"

// "<program folder>\RepairBackup" and the paths in it.
std::string StartupBackupFolder();
std::string StartupBackupPath(const std::string& name);
std::string DelFolder();

// "location#value|command" split at its first "#" and first "|" after it;
// false when either is missing.
bool SplitStartupLine(const std::string& line, std::string& location, std::string& valueName,
                      std::string& command);
// A del.txt line: split at the "#" followed by the del folder's path (so a
// "#" in a file name stays), else at the first "#"; the copy path ends at the
// first "|" after it. False without "#".
bool SplitDelLine(const std::string& line, std::string& startupPath, std::string& copyPath);

// The registry command of a value: text, the decimal of a DWORD, else empty.
std::string RunValueCommand(win::DWORD type, const std::vector<std::uint8_t>& data);

// Test hook: runs before each change that an action or a listing makes.
void SetStartupStepHook(std::function<void()> hook);

class TStartupManager {
 public:
  TStartupManager();

  // Creates "RepairBackup", "del" and the three line files when missing and
  // reads the Startup folders (the window's creation).
  void Prepare();

  // The whole startup list again; lets messages through per folder entry.
  void RefreshStartupList();
  const std::vector<TStartupRow>& Rows() const { return rows_; }
  const TFileContents& Details() const { return details_; }

  // The row's picture 0 <-> 1.
  void ToggleChosen(int row);
  // The row's state picture 2 <-> 3, opening or closing its seven detail rows.
  void ToggleEntryDetails(int row);

  // The three actions on the chosen rows, each ending with a new listing;
  // nothing is done when a backup file they use is there but cannot be read.
  void DisableSelected();
  void EnableSelected();
  // Asks first; on No nothing changes.
  void RemoveSelected();

  // The "Restore List" page.
  void ListRemovedEntries();
  const std::vector<TRestoreRow>& RestoreRows() const { return restoreRows_; }
  void SetRestoreChecked(int row, bool checked);
  void RestoreItems();

 private:
  void ListStartupFolder(const std::string& folder);
  void ListDisabledFolderItems();
  void ListRunKey(win::HKEY root, const std::string& keyPath);
  void ListWinIniSection(const std::string& section);
  void ListDisabledRegistryEntries();
  bool IsPathListed(const std::string& path) const;

  void MendBackups();
  // Null when done, else why the entry stayed.
  const char* DisableFolderFile(const TStartupRow& row, bool keepEnabledMark);
  const char* DisableRunValue(const TStartupRow& row, const char* fileName);
  const char* RemoveDisabled(const TStartupRow& row);
  bool DeleteWinIniKey(const TStartupRow& row);
  const char* EnableFolderFile(const std::string& startupPath, const std::string& copyPath, const char* fileName,
                               const std::string& line);
  const char* WriteBackLine(const std::string& line, const char* fileName);
  // False, telling the user, when one of the files is there but cannot be read.
  bool BackupFilesReadable(std::initializer_list<const char*> fileNames);
  void Stay(const std::string& caption, const char* reason);
  // One message with every row that stayed, if any.
  void TellStayed();

  std::vector<std::string> startupFolders_;  // common first, then the user's
  std::vector<TStartupRow> rows_;
  std::vector<TRestoreRow> restoreRows_;
  TAppObj reader_;
  TFileContents details_;
  std::vector<std::string> startupLines_;  // read once per listing
  std::vector<std::string> stayed_;
};

}  // namespace tools
