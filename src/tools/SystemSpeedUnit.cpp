#include "tools/SystemSpeedUnit.h"

#include <algorithm>
#include <set>

#include "platform/files/FileSystem.h"
#include "platform/files/IniFile.h"
#include "platform/text/TextCodec.h"
#include "recovery/RegBackupUnit.h"
#include "regclean/RepairDriverUnit.h"
#include "shell/Dialogs.h"
#include "tools/PucUnit.h"
#include "tools/SpeedItemUnit.h"

namespace tools {

const std::array<const char*, kModelCount> ModelNames = {
    "Windows XP Default", "Office Model", "Notebook Model", "Home Model",
    "Internet Caf\xC3\xA9 Model", "Campus Model", "Customization"};

const std::array<const char*, kModelCount> ModelDescriptions = {
    "Reset to Windows XP default services",
    "Close a few services based on Windows XP default services, including terminal service, "
    "infrared device support, and wireless network support, but still remain Microsoft 'Networks "
    "File and Printer Sharing Service', Windows XP integrated firewall, and some compatible "
    "services. Besides supporting all functions of home-usage, it also makes system work fine "
    "during office and developing circumstance. ",
    "Close a few services based on Windows XP default services. Because most of the notebooks "
    "are used in office, it additionally opens wireless network and infrared device support based "
    "on Office PC Optimization Model. This is the most recommended model for most of notebook "
    "users. The system processes take up about 70M after the first installation of this model. ",
    "Close a few services that were infrequently used based on Windows XP default services, "
    "including printing service, computer browsing service, network file sharing, terminal "
    "service and infrared device support.",
    "Close many infrequently used services based on Windows XP default services, including "
    "printing service, terminal service, infrared device support, wireless network support and "
    "the online update, so that public computers start fast and stay as they were set up.",
    "According to the circumstance of campus network, close some useless services, including "
    "printing service, terminal service, infrared device support, and wireless network support, "
    "but still remain Windows XP integrated firewall, and Network File sharing. This model is "
    "suitable for campus users to do some common actions such as browsing website, playing game, "
    "playing video file, sharing documents, and processing documents.",
    "Manually modify part of services settings."};

const std::array<ServiceBox, kServiceBoxCount> ServiceBoxes = {{
    {"Enalbe Event Viewer", "Eventlog",
     "Record the events of programs and of the system, so that the Event Viewer can show them."},
    {"Enable infrared device support", "WZCSVC",
     "Support the infrared device on this computer and examine the infrared port."},
    {"Enable remote registry operation service", "Irmon",
     "Let users on other computers change the registry of this computer."},
    {"Enable printer support", "Spooler", "Keep print jobs in memory and send them to the printer."},
    {"Open wireless network support function", "WZCSVC",
     "Configure wireless network cards automatically."},
    {"Enable My Network Place browsing service", "Browser",
     "Keep the list of computers on the network for My Network Places."},
    {"Enable Windows XP integrated firewall", "ALG",
     "Support the plug-ins of the Windows XP firewall and of Internet Connection Sharing."},
    {"Enable Windows XP writable function", "ImapiService",
     "Let Windows XP write CDs on a CD recorder."},
    {"Enable automatic update function", "wuauserv",
     "Download and install Windows updates automatically."},
    {"Enable system restoration function", "srservice",
     "Keep restore points so that the system can return to an earlier state."},
    {"Enable notification for AutoPlay hardware events", "ShellHWDetection",
     "Start AutoPlay when a CD, a camera or another device is connected."},
    {"Enable remote assistance and terminal", "mnmsrvc",
     "Let an authorized user reach this computer's desktop from another computer."},
    {"Enable UPS management service", "UPS",
     "Manage an uninterruptible power supply connected to this computer."},
    {"Enable help and support service", "helpsvc", "Run the Help and Support Center."},
    {"Enable secure center management function", "wscsvc",
     "Watch the security settings of this computer and warn about them."},
    {"Enable UPNP device detection", "SSDPSRV", "Find Universal Plug and Play devices on the network."},
    {"Enable Time Synchronizing service", "W32Time",
     "Keep the clock of this computer in step with time servers."},
    {"Enable multi-users connect and operate one computer", "TermService",
     "Let several users connect to this computer and work on it at the same time."},
    {"Enable registering for remote computer and refresh IP address function", "WinDHCPsvc",
     "Register this computer's name and refresh its IP address with the network's servers."},
    {"Enable Desktop management experience", "Themes",
     "Manage the visual styles of windows and of the desktop."},
    {"Enable tracing system event", "SENS",
     "Trace logon, network and power events and tell programs about them."},
    {"Enable messenger service", "Messenger",
     "Send and receive net send messages between computers."},
}};

const std::array<TweakBox, kTweakBoxCount> TweakBoxes = {{
    {"Best Vision Effect", 15,
     "In default settings, Windows XP opens all visual effect options to enhance visual effect. "
     "These visual effects would be fatal to reduce system performance, especially in low "
     "configuration computers. The temporary deadlock phenomenon when open programs is always "
     "caused by this issue. You could change these visual effect options from Visual Effect Bar. "},
    {"Optimize Menu Display", 4,
     "Optimization of Start Menu is able to accelerate all menus\xC2\xA1\xC2\xAF speed. "},
    {"Disable Recent File", 16, "Disable the recently opened files to be list in application menu"},
    {"Close Customized Menu", 17,
     "Windows XP will automatically move the recently used menus to the top of Start Menu, and "
     "hide recently unused menus, in order to realize customized menu for user. If you would like "
     "to ban this trig of Windows XP, you could close it from settings. "},
    {"Remove Shortcut Arrow", 11,
     "Remove the arrow from desktop shortcut icon. When you installed some software, "
     "corresponding desktop shortcut icons are always created on desktop to make start software "
     "more convenient, but the black arrow makes the whole desktop look ugly.  "},
    {"Multi-page in START", 18,
     "When program contains too many menus, one page is not enough to display them. This "
     "function is able to display menus on multi-pages."},
    {"Enable Hardware Optimization", 19,
     "Enable CPU secondary cache, and accelerate core system processes speed"},
    {"Auto Release .DLL", 9,
     "Too many applications would reduce system resource. Even after you close some "
     "applications, some junk .dll files are still existed in memory, causing system run slowly. "},
    {"Manage the Windows Prefetcher Service", 8,
     "Adjust the allocation of memory usage, boosting system running"},
    {"Optimize NTFS Volume", 20,
     "Optimize NTFS file system's performance, boosting visit speed of disk and file"},
    {"Auto Optimize Disk", 6, "Automatically optimize hard disk when system is idle."},
    {"Automatic Boot Disk Optimization", 7,
     "Disable disk defragmentation when Windows starts up, boosting Windows start up speed"},
    {"Disable Default Share", 13,
     "To prevent virus invade network, we must strictly manage the input device of computer, so "
     "it is necessary to forbid visiting floppy disk from network"},
    {"Disable Net Access To Floppy", 22, ""},
    {"Optimize Net Cache Speed", 3,
     "Accelerate browsing and download speed through network virtual memory. "},
    {"IE Multi-thread Download", 21,
     "The best thread number of IE maximal synchronous downloads is between 5 and 8. This "
     "function is mainly used to fix IE multi-thread download issue."},
    {"Optimize ADSL/Cable parameter", 12,
     "In default settings, NT send data to remote host by Maximum Transmission Unit (size about "
     "576B). If the router that data pass by is unable to process such size of data package, it "
     "is common to divide the data package into several fragments to continue transfer, and this "
     "method always causes some data transfer problems, such as reducing TCP transfer performance "
     "and network jam. To deal with this issue, it is acceptable to modify registry, forcing NT "
     "search all connections for each connection\xC2\xA1\xC2\xAF"
     "s maximal size of MTU. By confining TCP data package size under the MTU size of one "
     "connection, the number of fragments of data package in this connection would be reduced "
     "obviously. "},
    {"Enhance Modem Performance", 23,
     "Accelerate browsing and download speed through network virtual memory."},
    {"Close Mini-map Memory", 26,
     "Windows XP/2003 has the function of viewing pictures by thumbnails model, making user "
     "sketchily view the all pictures in one glance. In default settings, system stores these "
     "displayed thumbnail pictures in memory and disk, in order to enhance the display speed of "
     "next time view. But this setting will take up some memory spaces, and slow system in some "
     "aspects. Users could disable this setting if they don\xC2\xA1\xC2\xAFt need it."},
    {"Unresponsive Program", 5, ""},
    {"Quit Without Auto Saving", 24,
     "Configure settings that make system exit without saving opened windows\xC2\xA1\xC2\xAF "
     "location and size, but still remain the position order of desktop icon and Start Menu. "},
    {"Hide Shared Documents", 25, "Hide the shared documents in Windows XP computer. "},
    {"Accelerate Start Speed", 1,
     "Windows XP pre-read memory setting could speed up system running and Windows start up. "},
    {"Accelerate Turn Off Speed", 2, "Reduce the time of PC close process."},
    {"Optimize AVI Media Files", 14, "Optimize AVI media file, smoothing the media playing process."},
    {"Fix Problem with Athlon Hanging AGP Programs", 10,
     "Correct the incompatible issue between AGP Video card and Operation System"},
    {"System Board and Memory Optimizations", 13,
     "Enlarg file system memory, boosting applications' running speed"},
}};

const char* const kRunMessage =
    "System optimization runs successfully. If you would like to\rrecover back to the previous "
    "system setup, please click the\rReset button to proceed.";
const char* const kFastRunMessage = "System Optimizer runs successfully!";
const char* const kRestoredMessage = "Your system has successfully come back to the previous state!";
const char* const kNotChangedMessage = "These items could not be changed:";
const char* const kChooseItemMessage = "You have to choose options from the list at first";
const char* const kDeletedMessage = "Deletion Completed";
const char* const kBackupFailedMessage =
    "The backup file could not be written, so nothing was changed:";
const char* const kBackupStoppedMessage = "The backup file could not be written, so the optimization stopped:";
const char* const kNoBackupMessage = "This file is not a System Optimizer backup, so nothing was changed:";
const char* const kNothingRestoredMessage = "This backup holds nothing left to restore, so nothing was changed:";

namespace {

constexpr const char* kCaption = "Fernwick";
constexpr const char* kServicesSection = "Services";

// Ticked box numbers (1-based) of each model; -1 leaves the boxes alone.
const std::vector<int> kModelServiceBoxes[kModelCount] = {
    {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22},
    {1, 2, 4, 5, 6, 7, 8, 9, 10, 16, 21, 22},
    {1, 2, 4, 5, 6, 7, 8, 9, 10, 16, 21},
    {1, 2, 3, 4, 5, 6, 7, 9, 10, 16, 20},
    {2, 3, 5, 6, 17, 18},
    {1, 2, 3, 6, 7, 10, 20},
    {-1}};
const std::vector<int> kModelTweakBoxes[kModelCount] = {
    {-1},
    {1, 5, 6, 8, 11, 13, 14, 19, 20, 23, 24},
    {1, 5, 6, 7, 8, 11, 13, 14, 19, 20, 23, 24, 25, 26},
    {1, 2, 5, 6, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 23, 24, 25},
    {1, 2, 5, 6, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 23, 24, 25},
    {1, 2, 5, 6, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 23, 24, 25},
    {}};

template <std::size_t N>
void Tick(const std::vector<int>& boxes, std::array<bool, N>& ticks) {
  if (boxes.size() == 1 && boxes[0] == -1) return;
  ticks.fill(false);
  for (const int box : boxes) ticks[static_cast<std::size_t>(box - 1)] = true;
}

// The "Services" section with the state of every listed service.
bool WriteServicesSection(const std::string& fileName) {
  win::TIniFile ini(fileName);
  for (const char* name : ServiceNames) {
    std::string state;
    if (!ReadServiceState(name, state) || !ini.WriteString(kServicesSection, name, state))
      return false;
  }
  return true;
}

// The services section, matched with its letter case.
bool HasServicesSection(const win::TIniFile& ini) {
  const std::vector<std::string> sections = ini.ReadSections();
  return std::find(sections.begin(), sections.end(), kServicesSection) != sections.end();
}

const char* ListedService(const std::string& name) {
  const std::string upper = win::UpperName(name);
  for (const char* listed : ServiceNames)
    if (win::UpperName(listed) == upper) return listed;
  return nullptr;
}

}  // namespace

void SetServiceBoxesForModel(int model, ServiceTicks& ticks) {
  if (model >= 0 && model < kModelCount) Tick(kModelServiceBoxes[model], ticks);
}

void SetTweakBoxesForModel(int model, TweakTicks& ticks) {
  if (model >= 0 && model < kModelCount) Tick(kModelTweakBoxes[model], ticks);
}

std::string SpeedBackupName(const TDateTime& now) {
  return regclean::FreeFileName(recovery::RepairBackupFolder() + "speedRestore" + regclean::BackupTimeStamp(now),
                                ".ini");
}

std::vector<SpeedBackupRow> ListSpeedBackups() {
  std::vector<SpeedBackupRow> rows;
  const std::string folder = recovery::RepairBackupFolder();
  win::FindData data;
  auto finder = win::FindFirstFile(folder + "*.ini", data);
  if (!finder) return rows;
  do {
    if ((data.attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0 || data.name == "." || data.name == "..")
      continue;
    if (win::UpperName(data.name).find("SPEED") == std::string::npos) continue;
    rows.push_back({data.name, folder + data.name});
  } while (finder->Next(data));
  return rows;
}

RunResult ApplyChoices(const ServiceTicks& services, const TweakTicks& tweaks) {
  RunResult result;
  const std::string folder = recovery::RepairBackupFolder();
  if (!win::DirectoryExists(folder)) win::ForceDirectories(folder);
  if (!WriteServicesSection(SpeedBackupFileName)) return result;
  result.backupWritten = true;

  for (std::size_t i = 0; i < ServiceBoxes.size(); ++i) {
    const ServiceBox& box = ServiceBoxes[i];
    const bool ok = services[i] ? EnableService(box.service) : DisableService(box.service);
    if (!ok) result.failed.push_back(box.caption);
  }
  ApplyTweakBoxes(tweaks, result);
  return result;
}

void ApplyTweakBoxes(const TweakTicks& tweaks, RunResult& result) {
  std::set<int> done;  // "Disable Default Share" and the board box share one tweak
  for (std::size_t i = 0; i < TweakBoxes.size(); ++i) {
    const TweakBox& box = TweakBoxes[i];
    if (!tweaks[i] || !done.insert(box.tweak).second) continue;
    if (result.stopped) {
      result.failed.push_back(box.caption);
      continue;
    }
    const TweakOutcome outcome = BackUpAndApplyTweak(box.tweak);
    if (outcome != TweakOutcome::Done) result.failed.push_back(box.caption);
    if (outcome == TweakOutcome::BackupFailed) result.stopped = true;
  }
}

RestoreResult RestoreChoices(const std::string& fileName) {
  RestoreResult result;
  if (!win::FileExists(fileName)) return result;
  const SpeedRestoreResult tweaks = RestoreSpeedBackup(fileName);
  result.isBackup = tweaks.isBackup;
  result.restored = tweaks.restored;
  result.failed = tweaks.failedTitles;
  const win::TIniFile ini(fileName);
  if (!HasServicesSection(ini)) return result;
  result.isBackup = true;
  // Stops first, so that a service another one depends on is started after.
  std::vector<std::pair<const char*, std::string>> states;
  for (const std::string& key : ini.ReadSection(kServicesSection)) {
    const char* name = ListedService(key);
    if (name == nullptr) continue;
    states.emplace_back(name, ini.ReadString(kServicesSection, key, ""));
  }
  std::stable_sort(states.begin(), states.end(), [](const auto& a, const auto& b) {
    return (a.second.size() > 1 && a.second.back() == '0') > (b.second.size() > 1 && b.second.back() == '0');
  });
  for (const auto& [name, state] : states) {
    if (!RestoreServiceState(name, state)) result.failed.push_back(name);
    else if (!state.empty()) ++result.restored;
  }
  return result;
}

int TellOptimizer(const std::string& text, unsigned flags) {
  return CurrentDialogs().MessageBox(text, kCaption, flags);
}

void TellOutcome(const char* success, const std::vector<std::string>& failed) {
  if (failed.empty()) {
    TellOptimizer(success, MB_OK);
    return;
  }
  std::string text = kNotChangedMessage;
  for (const std::string& item : failed) text += "\r" + item;
  TellOptimizer(text, MB_ICONWARNING);
}

void TellRun(const char* success, const RunResult& result) {
  if (!result.backupWritten) {
    TellOptimizer(std::string(kBackupFailedMessage) + "\r" + SpeedBackupFileName, MB_ICONWARNING);
    return;
  }
  if (!result.stopped) {
    TellOutcome(success, result.failed);
    return;
  }
  std::string text = std::string(kBackupStoppedMessage) + "\r" + SpeedBackupFileName + "\r" + kNotChangedMessage;
  for (const std::string& item : result.failed) text += "\r" + item;
  TellOptimizer(text, MB_ICONWARNING);
}

void TellRestore(const std::string& fileName, const RestoreResult& result) {
  if (!result.isBackup) TellOptimizer(std::string(kNoBackupMessage) + "\r" + fileName, MB_ICONWARNING);
  else if (result.failed.empty() && result.restored == 0)
    TellOptimizer(std::string(kNothingRestoredMessage) + "\r" + fileName, MB_ICONWARNING);
  else TellOutcome(kRestoredMessage, result.failed);
}

}  // namespace tools
