#include "shell/ShowLiveUpdateUnit.h"

#include <optional>

#include "platform/files/FileSystem.h"
#include "platform/files/IniFile.h"
#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "platform/system/ProgramRunner.h"
#include "shell/Dialogs.h"
#include "shell/PublicFunctionUnit.h"

const char* const UpdaterFileName = "FernwickUpdate.exe";

namespace {

constexpr const char* ApplicationTitle = "Fernwick";
constexpr const char* NoUpdatesMessage =
    "There are no updates available at this time.\rYour Fernwick is up-to-date.";
constexpr const char* UpdateQuestion =
    "A newer version of Fernwick is available, Fernwick will shut down to install the newer "
    "version.\rWould you like to update now?";
constexpr const char* UpdaterNotStartedMessage = "Fernwick could not start the updater:\r";
constexpr const char* ServerUnreachableMessage =
    "The update server could not be reached. Please try again later.";

// What one question to the update server found out.
enum class ServerAnswer { Newer, NotNewer, Unreachable };

std::string ProgramFolderFile(const std::string& name) {
  return win::IncludeTrailingBackslash(win::ProgramFolder()) + name;
}

}  // namespace

std::string UpdateServerUrl(const std::string& path) {
  std::string base;
  if (win::Machine* machine = win::CurrentMachine()) base = machine->Config().Server("Update");
  if (!base.empty() && base.back() == '/') base.pop_back();
  return base + path;
}

bool DownloadFile(win::HttpClient& http, const std::string& Url, const std::string& FileName) {
  return http.GetToFile(Url, FileName).ok;
}

void GetInstalledVersion(std::string& Version) {
  Version.clear();
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (!registry.OpenKey(SettingsKey, true)) return;
  Version = registry.ReadString("Version").value_or("");
}

namespace {

ServerAnswer AskVersion(win::HttpClient& http) {
  const std::string iniFile = ProgramFolderFile("Update.ini");
  if (!DownloadFile(http, UpdateServerUrl("/update/Update.ini"), iniFile)) return ServerAnswer::Unreachable;
  const std::string serverVersion = win::TIniFile(iniFile).ReadString("Version", "Ver", "");
  std::string installedVersion;
  GetInstalledVersion(installedVersion);
  // Plain text comparison by character code: "10.0" is not above "4.0".
  return serverVersion > installedVersion ? ServerAnswer::Newer : ServerAnswer::NotNewer;
}

ServerAnswer AskProgramFileDate(unsigned readTimeout) {
  const std::string programFile = win::ProgramFile();
  win::FileTime serverTime = 0;
  const win::HttpResult answer =
      win::QueryLastModified(UpdateServerUrl("/update/" + win::ExtractFileName(programFile)),
                             ApplicationTitle, serverTime, readTimeout);
  if (!answer.ok) return ServerAnswer::Unreachable;
  const std::optional<win::FindData> local = win::GetFileInfo(programFile);
  return local && serverTime > local->lastWriteTime ? ServerAnswer::Newer : ServerAnswer::NotNewer;
}

}  // namespace

bool IsNewerVersionAvailable(win::HttpClient& http) { return AskVersion(http) == ServerAnswer::Newer; }

bool IsServerFileNewer(unsigned readTimeout) { return AskProgramFileDate(readTimeout) == ServerAnswer::Newer; }

void CheckForUpdates(const UpdateCheckContext& DM, bool ShowUI) {
  LiveUpdateView* waitWindow = ShowUI ? DM.WaitWindow : nullptr;
  if (waitWindow) waitWindow->Show();
  const ServerAnswer version = AskVersion(DM.Http);
  const ServerAnswer fileDate =
      version == ServerAnswer::Newer ? ServerAnswer::Newer : AskProgramFileDate(DM.Http.ReadTimeout());
  if (waitWindow) waitWindow->Close();

  Dialogs& dialogs = CurrentDialogs();
  if (version != ServerAnswer::Newer && fileDate != ServerAnswer::Newer) {
    if (!ShowUI) return;
    if (version == ServerAnswer::Unreachable && fileDate == ServerAnswer::Unreachable) {
      dialogs.MessageBox(ServerUnreachableMessage, ApplicationTitle, MB_ICONWARNING | MB_OK);
    } else {
      dialogs.MessageBox(NoUpdatesMessage, ApplicationTitle, MB_ICONINFORMATION | MB_OK);
    }
    return;
  }
  if (dialogs.MessageBox(UpdateQuestion, ApplicationTitle, MB_ICONINFORMATION | MB_YESNO) != IDYES) {
    return;
  }
  const std::string updater = ProgramFolderFile(UpdaterFileName);
  if (win::WinExec("\"" + updater + "\"", win::SW_SHOW)) {
    DM.App.Terminate();
  } else {
    dialogs.MessageBox(UpdaterNotStartedMessage + updater, ApplicationTitle,
                       MB_ICONWARNING | MB_OK);
  }
}
