#pragma once
// Settings, the process-wide state the subsystems coordinate through, and the
// shared routines: registry access by full path, severity, progress, drives,
// dates, user name.

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

struct TMyRegistryInfo {
  std::string HomePage;
  std::string HelpURL;
  bool NotAutoBackup = false;
  bool OneTime = false;
  bool SelectAll = false;
  bool CheckUpdate = false;
};

// Where IncItemsProcessed shows progress: the main window's items gauge and
// label. A window implements it; tests fake it.
class ItemsProgressView {
 public:
  virtual ~ItemsProgressView() = default;
  virtual int ItemsGaugePosition() const = 0;
  virtual void SetItemsGaugePosition(int position) = 0;
  virtual void SetItemsProcessedText(const std::string& text) = 0;
};

// A local date and time with seconds.
struct TDateTime {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
};

struct TFolderData {
  win::HKEY RootKey = 0;
  std::string KeyPath;
  std::string ValueName;
  std::string Folder;
  std::string Data;
};

struct TWinIniData {
  std::string Name;
  std::string Data;
};

// Shared state (one GUI thread; no locking).
extern std::uint8_t ScanState;  // 0 idle, 1 privacy scan, 2 stop, 4 repair cancelled
extern std::uint8_t JunkCleanerState;
extern TMyRegistryInfo Settings;
extern std::string CmdArg;
extern std::uint8_t PlatformCode;  // 1 Win32s, 2 Windows 9x, 4 NT family
extern std::int32_t VisitedCount;
extern std::int32_t ProblemIndex;
extern std::int32_t ItemsProcessed;
extern std::vector<std::string> DriveList;
extern ItemsProgressView* ItemsProgress;

// Puts every shared variable back to its start value (tests).
void ResetSharedState();

// Asks the application to end (every quit path): marks the request and calls
// the handler the window library installs to leave its message loop.
void TerminateApplication();
bool ApplicationTerminated();
// An empty function removes the handler.
void SetTerminateHandler(std::function<void()> handler);
// Forgets a request and the handler (tests).
void ResetTerminateRequest();

extern const char* const SettingsKey;       // "\Software\Fernwick"
extern const char* const ProgramVersion;    // "4.0"
extern const char* const BuiltInHomePage;
extern const char* const BuiltInHelpURL;

void LoadSettings();
void DetectPlatform();

// Registry by full key path ("HKEY_LOCAL_MACHINE\SOFTWARE\...").
win::HKEY RootKeyFromName(const std::string& name);
std::string RootKeyToName(win::HKEY root);
// Splits a full key path at its leading root name only: the root handle and
// the subkey path without the separating backslash. False for an unknown root.
bool SplitFullKeyPath(const std::string& keyPath, win::HKEY& root, std::string& subKey);
bool DeleteRegValueByPath(const std::string& keyPath, const std::string& valueName);
bool DeleteRegKey(win::HKEY root, const std::string& subKey);
void ReadRegStringByPath(const std::string& keyPath, const std::string& valueName,
                         std::string& text);

void GetSeverity(const std::string& text, std::string& severity);
void IncItemsProcessed();
void BuildNonFixedDriveList(std::vector<std::string>& list);
bool IsFixedDrivePath(const std::vector<std::string>& list, const std::string& path);

// Fills list with the machine's and the user's Startup folders.
void GetStartupFolders(std::vector<std::unique_ptr<TFolderData>>& list);
void GetProgramFilesPath(int kind, std::string& path);

TDateTime FileTimeToLocalDateTime(win::FileTime fileTime);
void DateTimeToEnglishText(const TDateTime& dateTime, std::string& text);
TDateTime Now();

// The user's short date and time pictures and AM/PM texts from
// HKEY_CURRENT_USER\Control Panel\International; a missing or unreadable
// value gives Windows' default.
struct TRegionalFormats {
  std::string ShortDate = "M/d/yyyy";
  std::string TimeFormat = "h:mm:ss tt";
  std::string AMText = "AM";
  std::string PMText = "PM";
};
TRegionalFormats ReadRegionalFormats();

// Windows picture rules: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, g, in a
// date picture; h hh H HH m mm s ss t tt in a time picture; text in single
// quotes ('' for a quote) and every other character as it stands.
enum class PictureKind { Date, Time };
std::string FormatPicture(const std::string& picture, PictureKind kind, const TDateTime& dateTime,
                          const TRegionalFormats& formats);

// In the machine's short date format, its time format, and both (date, a
// blank, time).
std::string FormatShortDate(const TDateTime& dateTime);
std::string FormatTime(const TDateTime& dateTime);
std::string FormatShortDateTime(const TDateTime& dateTime);

void Delay(unsigned milliseconds);
void GetCurrentUserName(std::string& name);
bool EnableShutdownPrivilege();
void OpenWebPage(int mode, const std::string& url);
std::u16string StrToPWideChar(const std::string& text);
