#include "shell/PublicFunctionUnit.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/shell/Shell.h"
#include "platform/system/System.h"
#include "platform/text/TextCodec.h"
#include "shell/MessagePump.h"

std::uint8_t ScanState = 0;
std::uint8_t JunkCleanerState = 0;
TMyRegistryInfo Settings;
std::string CmdArg;
std::uint8_t PlatformCode = 0;
std::int32_t VisitedCount = 0;
std::int32_t ProblemIndex = 0;
std::int32_t ItemsProcessed = 0;
std::vector<std::string> DriveList;
ItemsProgressView* ItemsProgress = nullptr;

const char* const SettingsKey = "\\Software\\Fernwick";
const char* const ProgramVersion = "4.0";
const char* const BuiltInHomePage = "http://www.fernwick.invalid/";
const char* const BuiltInHelpURL = "http://www.fernwick.invalid/help/";

void ResetSharedState() {
  ScanState = 0;
  JunkCleanerState = 0;
  Settings = TMyRegistryInfo{};
  CmdArg.clear();
  PlatformCode = 0;
  VisitedCount = 0;
  ProblemIndex = 0;
  ItemsProcessed = 0;
  DriveList.clear();
  ItemsProgress = nullptr;
}

namespace {
bool g_terminated = false;
std::function<void()> g_terminateHandler;
}  // namespace

void TerminateApplication() {
  g_terminated = true;
  if (g_terminateHandler) g_terminateHandler();
}

bool ApplicationTerminated() { return g_terminated; }

void SetTerminateHandler(std::function<void()> handler) { g_terminateHandler = std::move(handler); }

void ResetTerminateRequest() {
  g_terminated = false;
  g_terminateHandler = nullptr;
}

namespace {

// A missing value and a value of another type both read as empty text.
std::string ReadStringOrEmpty(win::TRegistry& registry, const std::string& name) {
  return registry.ReadString(name).value_or(std::string());
}

struct FlagSetting {
  const char* name;
  bool TMyRegistryInfo::*field;
  const char* defaultValue;
};

constexpr FlagSetting kFlagSettings[] = {
    {"NotAutoBackup", &TMyRegistryInfo::NotAutoBackup, "0"},
    {"OneTime", &TMyRegistryInfo::OneTime, "0"},
    {"SelectAll", &TMyRegistryInfo::SelectAll, "1"},
    {"CheckUpdate", &TMyRegistryInfo::CheckUpdate, "0"},
};

}  // namespace

void LoadSettings() {
  Settings = TMyRegistryInfo{};
  Settings.HomePage = BuiltInHomePage;
  Settings.HelpURL = BuiltInHelpURL;
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (!registry.OpenKey(SettingsKey, true)) {
    for (const FlagSetting& flag : kFlagSettings)
      Settings.*flag.field = std::string(flag.defaultValue) == "1";
    return;
  }
  const std::string homePage = ReadStringOrEmpty(registry, "HomePage");
  if (!homePage.empty()) Settings.HomePage = homePage;
  const std::string helpUrl = ReadStringOrEmpty(registry, "HelpURL");
  if (!helpUrl.empty()) Settings.HelpURL = helpUrl;
  for (const FlagSetting& flag : kFlagSettings) {
    std::string value = ReadStringOrEmpty(registry, flag.name);
    if (value.empty()) {
      value = flag.defaultValue;
      registry.WriteString(flag.name, value);
    }
    Settings.*flag.field = value == "1";
  }
  registry.WriteString("Version", ProgramVersion);
  registry.CloseKey();
}

void DetectPlatform() {
  switch (win::GetVersionEx().platformId) {
    case 0: PlatformCode = 1; break;
    case 1: PlatformCode = 2; break;
    case 2: PlatformCode = 4; break;
    default: break;
  }
}

win::HKEY RootKeyFromName(const std::string& name) {
  const win::HKEY root = win::RootFromName(name);
  return root != 0 && win::RootName(root) == name ? root : 0;
}

std::string RootKeyToName(win::HKEY root) { return win::RootName(root); }

bool SplitFullKeyPath(const std::string& keyPath, win::HKEY& root, std::string& subKey) {
  const std::size_t separator = keyPath.find('\\');
  root = RootKeyFromName(keyPath.substr(0, separator));
  if (root == 0) return false;
  subKey = separator == std::string::npos ? std::string() : keyPath.substr(separator + 1);
  return true;
}

bool DeleteRegValueByPath(const std::string& keyPath, const std::string& valueName) {
  win::HKEY root = 0;
  std::string subKey;
  if (!SplitFullKeyPath(keyPath, root, subKey)) return false;
  win::TRegistry registry;
  registry.SetRootKey(root);
  if (!registry.OpenKey(subKey, false)) return false;
  return registry.DeleteValue(valueName == "default" ? std::string() : valueName);
}

bool DeleteRegKey(win::HKEY root, const std::string& subKey) {
  if (subKey.find_first_not_of('\\') == std::string::npos) return false;
  win::TRegistry registry;
  registry.SetRootKey(root);
  if (!registry.OpenKey(subKey, false)) return false;
  registry.CloseKey();
  return registry.DeleteKey(subKey.substr(subKey.find_first_not_of('\\')));
}

void ReadRegStringByPath(const std::string& keyPath, const std::string& valueName,
                         std::string& text) {
  text.clear();
  win::HKEY root = 0;
  std::string subKey;
  if (!SplitFullKeyPath(keyPath, root, subKey)) return;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(subKey)) return;
  if (auto value = registry.ReadString(valueName)) text = *value;
}

void GetSeverity(const std::string& text, std::string& severity) {
  // How many of the characters the text holds: each has a bit of its own.
  static constexpr auto kBitOf = [] {
    std::array<std::uint16_t, 256> bits{};
    const std::string_view counted = "%/*?\"<>|;,";
    for (std::size_t i = 0; i < counted.size(); ++i) bits[static_cast<unsigned char>(counted[i])] = std::uint16_t(1u << i);
    return bits;
  }();
  unsigned held = 0;
  for (const char c : text) held |= kBitOf[static_cast<unsigned char>(c)];
  const int found = std::popcount(held);
  severity = found == 0 ? "High" : found == 1 ? "Normal" : "Low";
}

void IncItemsProcessed() {
  ++ItemsProcessed;
  if (ItemsProcessed % 200 != 0 || !ItemsProgress) return;
  ItemsProgress->SetItemsGaugePosition(ItemsProgress->ItemsGaugePosition() + 1);
  if (ItemsProgress->ItemsGaugePosition() >= 100) ItemsProgress->SetItemsGaugePosition(0);
  char text[40];
  std::snprintf(text, sizeof text, "Items processed: %10d", ItemsProcessed);
  ItemsProgress->SetItemsProcessedText(text);
}

void BuildNonFixedDriveList(std::vector<std::string>& list) {
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    const std::string drive{letter, ':'};
    switch (win::GetDriveType(drive + "\\")) {
      case win::DRIVE_REMOVABLE:
      case win::DRIVE_REMOTE:
      case win::DRIVE_CDROM:
      case win::DRIVE_RAMDISK:
        list.push_back(drive);
        break;
      default:
        break;
    }
  }
}

bool IsFixedDrivePath(const std::vector<std::string>& list, const std::string& path) {
  if (list.empty()) return true;
  // For ASCII texts upper-casing is the ASCII one, so they are compared
  // letter by letter without copies.
  const bool asciiPath = win::IsAscii(path);
  std::string upperPath;
  for (const std::string& entry : list) {
    if (asciiPath && win::IsAscii(entry)) {
      if (win::ContainsAsciiNoCase(path, entry)) return false;
      continue;
    }
    if (upperPath.empty()) upperPath = win::UpperName(path);
    if (upperPath.find(win::UpperName(entry)) != std::string::npos) return false;
  }
  return true;
}

void GetStartupFolders(std::vector<std::unique_ptr<TFolderData>>& list) {
  static const char* const kShellFolders =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const std::pair<win::HKEY, const char*> kSources[] = {
      {win::HKEY_LOCAL_MACHINE, "Common Startup"}, {win::HKEY_CURRENT_USER, "Startup"}};
  list.clear();
  for (const auto& [root, valueName] : kSources) {
    win::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(root);
    if (!registry.OpenKeyReadOnly(kShellFolders)) continue;
    auto folder = std::make_unique<TFolderData>();
    folder->RootKey = root;
    folder->KeyPath = kShellFolders;
    folder->ValueName = valueName;
    folder->Folder = ReadStringOrEmpty(registry, valueName);
    list.push_back(std::move(folder));
  }
}

void GetProgramFilesPath(int kind, std::string& path) {
  if (kind != 0 && kind != 1) return;
  path.clear();
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKeyReadOnly("SOFTWARE\\Microsoft\\Windows\\CurrentVersion")) return;
  path = ReadStringOrEmpty(registry, kind == 0 ? "ProgramFilesDir" : "CommonFilesDir");
}

namespace {

TDateTime FromTm(const std::tm& tm) {
  TDateTime result;
  result.Year = tm.tm_year + 1900;
  result.Month = tm.tm_mon + 1;
  result.Day = tm.tm_mday;
  result.Hour = tm.tm_hour;
  result.Minute = tm.tm_min;
  result.Second = tm.tm_sec;
  return result;
}

TDateTime LocalDateTime(std::time_t seconds) {
  std::tm tm{};
  localtime_r(&seconds, &tm);
  return FromTm(tm);
}

}  // namespace

TDateTime FileTimeToLocalDateTime(win::FileTime fileTime) {
  // 100-ns intervals between 1601-01-01 and 1970-01-01.
  constexpr std::int64_t kUnixEpoch = 116444736000000000LL;
  const std::int64_t ticks = static_cast<std::int64_t>(fileTime) - kUnixEpoch;
  std::int64_t seconds = ticks / 10000000;
  if (ticks % 10000000 < 0) --seconds;  // round towards the earlier second
  return LocalDateTime(static_cast<std::time_t>(seconds));
}

void DateTimeToEnglishText(const TDateTime& dateTime, std::string& text) {
  static const char* const kMonths[] = {"Jan.", "Feb.", "Mar.",  "Apr.", "May.", "June.",
                                        "July.", "Aug.", "Sept.", "Oct.", "Nov.", "Dec."};
  const char* month = dateTime.Month >= 1 && dateTime.Month <= 12 ? kMonths[dateTime.Month - 1] : "";
  const int hour = dateTime.Hour > 12 ? dateTime.Hour - 12 : dateTime.Hour;
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%s %d, %d %d:%d:%d %s", month, dateTime.Day, dateTime.Year,
                hour, dateTime.Minute, dateTime.Second, dateTime.Hour < 12 ? "AM" : "PM");
  text = buffer;
}

TDateTime Now() { return LocalDateTime(std::time(nullptr)); }

namespace {

constexpr std::size_t kMaxPictureLength = 79;  // Windows keeps up to 80 characters with the terminator
constexpr std::size_t kMaxSeparatorLength = 3;
constexpr std::size_t kMaxDesignatorLength = 15;

const char* const kInternationalKey = "Control Panel\\International";

// A picture value: text of a string type, not empty, not longer than Windows
// allows.
std::optional<std::string> ReadPicture(win::TRegistry& registry, const char* name) {
  auto text = registry.ReadString(name);
  if (!text || text->empty() || text->size() > kMaxPictureLength) return std::nullopt;
  return text;
}

// A date or time separator: one to three characters that are no picture letter
// or quote.
std::optional<std::string> ReadSeparator(win::TRegistry& registry, const char* name) {
  auto text = registry.ReadString(name);
  if (!text || text->empty() || text->size() > kMaxSeparatorLength ||
      text->find_first_of("dMyghHmst'") != std::string::npos)
    return std::nullopt;
  return text;
}

std::string Padded(int number, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, number);
  return buffer;
}

// 0 for Sunday.
int DayOfWeek(const TDateTime& dateTime) {
  using namespace std::chrono;
  const year_month_day date{year{dateTime.Year}, month{static_cast<unsigned>(dateTime.Month)},
                            day{static_cast<unsigned>(dateTime.Day)}};
  if (!date.ok()) return -1;
  return static_cast<int>(weekday{sys_days{date}}.c_encoding());
}

std::string DateField(char letter, std::size_t count, const TDateTime& dateTime) {
  static const char* const kMonths[] = {"January", "February", "March",     "April",
                                        "May",     "June",     "July",      "August",
                                        "September", "October", "November", "December"};
  static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
  auto name = [count](const char* full) {
    return count == 3 ? std::string(full, 3) : std::string(full);
  };
  switch (letter) {
    case 'd': {
      if (count <= 2) return Padded(dateTime.Day, static_cast<int>(count));
      const int weekday = DayOfWeek(dateTime);
      return weekday < 0 ? std::string() : name(kDays[weekday]);
    }
    case 'M':
      if (count <= 2) return Padded(dateTime.Month, static_cast<int>(count));
      return dateTime.Month >= 1 && dateTime.Month <= 12 ? name(kMonths[dateTime.Month - 1])
                                                         : std::string();
    case 'y':
      if (count <= 2) return Padded(dateTime.Year % 100, static_cast<int>(count));
      return Padded(dateTime.Year, 4);
    default:  // 'g'
      return "A.D.";
  }
}

std::string TimeField(char letter, std::size_t count, const TDateTime& dateTime,
                      const TRegionalFormats& formats) {
  const int width = count >= 2 ? 2 : 1;
  switch (letter) {
    case 'h': return Padded(dateTime.Hour % 12 == 0 ? 12 : dateTime.Hour % 12, width);
    case 'H': return Padded(dateTime.Hour, width);
    case 'm': return Padded(dateTime.Minute, width);
    case 's': return Padded(dateTime.Second, width);
    default: {  // 't'
      const std::string& text = dateTime.Hour < 12 ? formats.AMText : formats.PMText;
      return count >= 2 ? text : text.substr(0, 1);
    }
  }
}

}  // namespace

TRegionalFormats ReadRegionalFormats() {
  TRegionalFormats formats;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly(kInternationalKey)) return formats;
  const std::string date = ReadSeparator(registry, "sDate").value_or("/");
  const std::string time = ReadSeparator(registry, "sTime").value_or(":");
  formats.ShortDate = ReadPicture(registry, "sShortDate").value_or("M" + date + "d" + date + "yyyy");
  formats.TimeFormat =
      ReadPicture(registry, "sTimeFormat").value_or("h" + time + "mm" + time + "ss tt");
  // An empty AM or PM text is a setting of its own (24-hour clocks).
  if (auto am = registry.ReadString("s1159"); am && am->size() <= kMaxDesignatorLength)
    formats.AMText = *am;
  if (auto pm = registry.ReadString("s2359"); pm && pm->size() <= kMaxDesignatorLength)
    formats.PMText = *pm;
  return formats;
}

std::string FormatPicture(const std::string& picture, PictureKind kind, const TDateTime& dateTime,
                          const TRegionalFormats& formats) {
  const std::string_view letters = kind == PictureKind::Date ? "dMyg" : "hHmst";
  std::string text;
  std::size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    if (c == '\'' && i + 1 < picture.size() && picture[i + 1] == '\'') {
      text += '\'';  // '' is one quote, inside quoted text or not
      i += 2;
      continue;
    }
    if (c == '\'') {
      // Quoted text up to the closing quote, or to the end.
      for (++i; i < picture.size(); ++i) {
        if (picture[i] != '\'') {
          text += picture[i];
        } else if (i + 1 < picture.size() && picture[i + 1] == '\'') {
          text += '\'';
          ++i;
        } else {
          ++i;
          break;
        }
      }
      continue;
    }
    if (letters.find(c) == std::string_view::npos) {
      text += c;
      ++i;
      continue;
    }
    std::size_t count = 1;
    while (i + count < picture.size() && picture[i + count] == c) ++count;
    text += kind == PictureKind::Date ? DateField(c, std::min<std::size_t>(count, 4), dateTime)
                                      : TimeField(c, count, dateTime, formats);
    i += count;
  }
  return text;
}

std::string FormatShortDate(const TDateTime& dateTime) {
  const TRegionalFormats formats = ReadRegionalFormats();
  return FormatPicture(formats.ShortDate, PictureKind::Date, dateTime, formats);
}

std::string FormatTime(const TDateTime& dateTime) {
  const TRegionalFormats formats = ReadRegionalFormats();
  return FormatPicture(formats.TimeFormat, PictureKind::Time, dateTime, formats);
}

std::string FormatShortDateTime(const TDateTime& dateTime) {
  const TRegionalFormats formats = ReadRegionalFormats();
  return FormatPicture(formats.ShortDate, PictureKind::Date, dateTime, formats) + " " +
         FormatPicture(formats.TimeFormat, PictureKind::Time, dateTime, formats);
}

void Delay(unsigned milliseconds) {
  const win::DWORD start = win::GetTickCount();
  while (win::GetTickCount() - start < milliseconds) {
    ProcessMessages();
    // Spare the processor between rounds; messages still pass every round.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void GetCurrentUserName(std::string& name) {
  constexpr std::size_t kBufferSize = 255;  // characters, terminator included
  std::string user;
  if (win::GetUserName(user) && user.size() < kBufferSize) name = user;
}

bool EnableShutdownPrivilege() { return win::EnablePrivilege(win::SE_SHUTDOWN_NAME); }

void OpenWebPage(int, const std::string& url) {
  // Every caller passes mode 0: open the address with the shell.
  win::ShellExecute(0, "open", url, "", "", win::SW_SHOWNORMAL);
}

std::u16string StrToPWideChar(const std::string& text) { return win::Utf8ToUtf16(text); }
