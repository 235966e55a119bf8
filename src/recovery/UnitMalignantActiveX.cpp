#include "recovery/UnitMalignantActiveX.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "shell/Dialogs.h"

namespace recovery {

const char* const kCodeFileName = "Code";
const char* const kCodeServerPath = "/update/Code";
const char* const kMalignantWaitTitle = "Fernwick - Block ActiveX";
const char* const kActiveXCompatibilityKey = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
const char* const kLockedText = "Locked";
const char* const kUnlockedText = "Unlocked";
const char* const kLockedMessage = "Successfully lock the malignant ActiveX controls!";
const char* const kUnlockedMessage = "Successfully unlock the selected ActiveX controls!";
const char* const kEmptyListMessage = "There are no ActiveX items in the list!";

namespace {

constexpr const char* kFlagsValue = "Compatibility Flags";

std::string ClassKey(const std::string& clsid) {
  return std::string("\\") + kActiveXCompatibilityKey + "\\" + clsid;
}

// The "Compatibility Flags" DWORD of the open class key; none when the value
// is missing or is not a 4-byte REG_DWORD.
std::optional<std::uint32_t> Flags(win::TRegistry& registry) {
  const auto flags = registry.ReadInteger(kFlagsValue);
  if (!flags) return std::nullopt;
  return static_cast<std::uint32_t>(*flags);
}

// Sets the kill bit, keeping the value's other bits. A value that is not a
// DWORD is not the tool's to replace: the class stays unblocked.
bool Block(const std::string& clsid) {
  if (!IsWellFormedClsid(clsid)) return false;
  if (IsClassLocked(clsid)) return true;
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey(ClassKey(clsid), true)) return false;
  std::uint32_t flags = 0;
  if (registry.ValueExists(kFlagsValue)) {
    const auto current = Flags(registry);
    if (!current) return false;
    flags = *current;
  }
  return registry.WriteInteger(kFlagsValue, static_cast<std::int32_t>(flags | kKillBit));
}

enum class Unblocked { Removed, NotBlocked, Failed };

// Clears the kill bit; the value goes only when no other bit is left, the
// class key only when it then holds nothing else.
Unblocked Unblock(const std::string& clsid) {
  if (!IsClassLocked(clsid)) return Unblocked::NotBlocked;
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey(ClassKey(clsid), false)) return Unblocked::Failed;
  const auto flags = Flags(registry);
  if (!flags) return Unblocked::Failed;
  const std::uint32_t rest = *flags & ~kKillBit;
  if (rest != 0) {
    return registry.WriteInteger(kFlagsValue, static_cast<std::int32_t>(rest)) ? Unblocked::Removed
                                                                               : Unblocked::Failed;
  }
  if (!registry.DeleteValue(kFlagsValue)) return Unblocked::Failed;
  std::vector<std::string> values;
  if (registry.GetValueNames(values) && values.empty() && !registry.HasSubKeys()) {
    registry.CloseKey();
    registry.DeleteKey(ClassKey(clsid));  // the block is gone either way
  }
  return Unblocked::Removed;
}

int Percent(std::size_t done, std::size_t all) {
  return static_cast<int>(std::lround(100.0 * static_cast<double>(done) / static_cast<double>(all)));
}

std::string Formatted(const char* format, int count) {
  char text[160];
  std::snprintf(text, sizeof text, format, count);
  return text;
}

void Tell(const std::string& text, unsigned flags) { CurrentDialogs().MessageBox(text, "Fernwick", flags); }

}  // namespace

bool ParseCodeLine(const std::string& line, std::string& name, std::string& clsid) {
  name.clear();
  clsid.clear();
  if (line.empty()) return false;
  const std::string text = win::Trim(line);
  const std::size_t brace = text.find('{');
  if (brace == std::string::npos) {
    clsid = text;
  } else {
    name = text.substr(0, brace);
    clsid = text.substr(brace);
  }
  return true;
}

bool IsWellFormedClsid(const std::string& clsid) {
  static constexpr const char* kPattern = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
  if (clsid.size() != std::char_traits<char>::length(kPattern)) return false;
  for (std::size_t i = 0; i < clsid.size(); ++i) {
    const char c = clsid[i];
    if (kPattern[i] == 'x' ? !std::isxdigit(static_cast<unsigned char>(c)) : c != kPattern[i]) return false;
  }
  return true;
}

bool IsClassLocked(const std::string& clsid) {
  if (!IsWellFormedClsid(clsid)) return false;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKeyReadOnly(ClassKey(clsid))) return false;
  const auto flags = Flags(registry);
  return flags && (*flags & kKillBit) != 0;
}

bool EnsureCodeFile(win::HttpClient& http, ListDownloadView* view) {
  return EnsureServerList(http, kCodeFileName, kCodeServerPath, kMalignantWaitTitle, view);
}

std::vector<MalignantRow> LoadMalignantRows() {
  std::vector<MalignantRow> rows;
  std::vector<std::string> lines;
  if (!ReadServerList(kCodeFileName, lines)) return rows;
  for (const std::string& line : lines) {
    MalignantRow row;
    if (!ParseCodeLine(line, row.Name, row.Clsid)) continue;
    row.Locked = row.Checked = IsClassLocked(row.Clsid);
    rows.push_back(std::move(row));
  }
  return rows;
}

int UnlockedCount(const std::vector<MalignantRow>& rows) {
  int count = 0;
  for (const MalignantRow& row : rows) count += row.Locked ? 0 : 1;
  return count;
}

std::string WarningText(int count) {
  return Formatted("%d ActiveX items could cause potential threats to your PC!", count);
}

std::string ObjectCountText(int rows) { return rows > 0 ? Formatted("(%d objects)", rows) : std::string(); }

int LockRows(std::vector<MalignantRow>& rows, const GaugeStep& step) {
  int failed = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    MalignantRow& row = rows[i];
    const bool done = IsWellFormedClsid(row.Clsid) &&
                      (row.Checked ? Block(row.Clsid) : Unblock(row.Clsid) != Unblocked::Failed);
    if (!done) ++failed;
    row.Locked = IsClassLocked(row.Clsid);
    if (step) step(Percent(i + 1, rows.size()));
  }
  return failed;
}

int UnlockRows(std::vector<MalignantRow>& rows, const GaugeStep& step) {
  int failed = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    MalignantRow& row = rows[i];
    const Unblocked outcome = IsWellFormedClsid(row.Clsid) ? Unblock(row.Clsid) : Unblocked::Failed;
    if (outcome == Unblocked::Failed) ++failed;
    if (outcome == Unblocked::Removed) row.Checked = false;
    row.Locked = IsClassLocked(row.Clsid);
    if (step) step(Percent(i + 1, rows.size()));
  }
  return failed;
}

void TellLockOutcome(const std::vector<MalignantRow>& rows, int failed) {
  if (rows.empty()) Tell(kEmptyListMessage, MB_OK | MB_ICONWARNING);
  else if (failed == 0) Tell(kLockedMessage, MB_OK);
  else Tell(Formatted("Failed to lock %d of the malignant ActiveX controls!", failed), MB_OK | MB_ICONWARNING);
}

void TellUnlockOutcome(const std::vector<MalignantRow>& rows, int failed) {
  if (rows.empty()) Tell(kEmptyListMessage, MB_OK | MB_ICONWARNING);
  else if (failed == 0) Tell(kUnlockedMessage, MB_OK);
  else Tell(Formatted("Failed to unlock %d of the selected ActiveX controls!", failed), MB_OK | MB_ICONWARNING);
}

}  // namespace recovery
