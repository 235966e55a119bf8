#pragma once
// The online update check: asks the update server whether a newer version
// exists and, when one does, offers to quit and start the updater from the
// program's folder. A check the user asks for shows the "Live Update" wait
// window (shell/gui) while it runs.

#include <string>

#include "platform/net/Http.h"

// The wait window as the check drives it; the window implements it.
class LiveUpdateView {
 public:
  virtual ~LiveUpdateView() = default;
  // Creates the window, shows it without waiting and paints it at once.
  virtual void Show() = 0;
  // Frees the window.
  virtual void Close() = 0;
};

// The application as the check needs it: the application object implements it.
class AppControl {
 public:
  virtual ~AppControl() = default;
  // Ends the program once the running handlers have returned.
  virtual void Terminate() = 0;
};

// What the check needs of the data module that runs it.
struct UpdateCheckContext {
  win::HttpClient& Http;                 // the data module's HTTP client
  AppControl& App;
  LiveUpdateView* WaitWindow = nullptr;  // shown by a check with ShowUI
};

extern const char* const UpdaterFileName;  // "FernwickUpdate.exe"

// Address of path on the update server: the machine's "Update" server
// address followed by path ("/update/Update.ini").
std::string UpdateServerUrl(const std::string& path);

// Fetches Url into the file FileName (a path on the machine). False on any
// failure; an earlier file is then left as it was.
bool DownloadFile(win::HttpClient& http, const std::string& Url, const std::string& FileName);

// The value "Version" under the settings key (created when missing); empty
// when the key cannot be opened.
void GetInstalledVersion(std::string& Version);

// Downloads "Update.ini" into the program's folder and compares its
// [Version] "Ver" with the installed version as plain text.
bool IsNewerVersionAvailable(win::HttpClient& http);
// True when the server's copy of the program file has a Last-Modified date
// strictly later than the program file's own time.
bool IsServerFileNewer(unsigned readTimeout = win::DefaultHttpReadTimeout);

// The whole check. ShowUI is false for the silent check at start and true
// when the user asks; a newer version is offered either way.
void CheckForUpdates(const UpdateCheckContext& DM, bool ShowUI);
