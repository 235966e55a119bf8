#include "recovery/UnitMalignantActiveX.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "platform/Registry.h"
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

namespace {

constexpr const char* kFlagsValue = "Compatibility Flags";

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string ClassKey(const std::string& clsid) {
  return std::string("\\") + kActiveXCompatibilityKey + "\\" + clsid;
}

bool IsLockValue(win::TRegistry& registry) {
  const auto info = registry.GetDataInfo(kFlagsValue);
  if (!info || info->type != win::REG_DWORD) return false;
  const auto flags = registry.ReadInteger(kFlagsValue);
  return flags && *flags == kKillBitFlags;
}

bool Block(const std::string& clsid) {
  if (!IsWellFormedClsid(clsid)) return false;
  if (IsClassLocked(clsid)) return true;
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  return registry.OpenKey(ClassKey(clsid), true) && registry.WriteInteger(kFlagsValue, kKillBitFlags);
}

// Removes what Block sets: the flag when it is 1024, then the class key when
// nothing else is left in it. True when no block of this tool is left.
bool Unblock(const std::string& clsid) {
  if (!IsWellFormedClsid(clsid)) return true;
  win::TRegistry reader(win::KEY_READ);
  reader.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!reader.OpenKeyReadOnly(ClassKey(clsid))) return true;
  if (!IsLockValue(reader)) return true;

  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey(ClassKey(clsid), false) || !registry.DeleteValue(kFlagsValue)) return false;
  std::vector<std::string> values;
  if (registry.GetValueNames(values) && values.empty() && !registry.HasSubKeys()) {
    registry.CloseKey();
    registry.DeleteKey(ClassKey(clsid));  // the block is gone either way
  }
  return true;
}

int Percent(std::size_t done, std::size_t all) {
  return static_cast<int>(std::lround(100.0 * static_cast<double>(done) / static_cast<double>(all)));
}

std::string Formatted(const char* format, int count) {
  char text[160];
  std::snprintf(text, sizeof text, format, count);
  return text;
}

void TellOutcome(int failed, const char* success, const char* failure) {
  if (failed == 0) CurrentDialogs().MessageBox(success, "Fernwick", MB_OK);
  else CurrentDialogs().MessageBox(Formatted(failure, failed), "Fernwick", MB_OK | MB_ICONWARNING);
}

}  // namespace

bool ParseCodeLine(const std::string& line, std::string& name, std::string& clsid) {
  name.clear();
  clsid.clear();
  if (line.empty()) return false;
  std::size_t first = 0;
  std::size_t last = line.size();
  while (first < last && IsTrimmed(line[first])) ++first;
  while (last > first && IsTrimmed(line[last - 1])) --last;
  const std::string text = line.substr(first, last - first);
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
  return registry.OpenKeyReadOnly(ClassKey(clsid)) && IsLockValue(registry);
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
    if (row.Checked) {
      if (Block(row.Clsid)) row.Locked = true;
      else ++failed;
    } else if (Unblock(row.Clsid)) {
      row.Locked = false;
    } else {
      ++failed;
    }
    if (step) step(Percent(i + 1, rows.size()));
  }
  TellOutcome(failed, kLockedMessage, "Failed to lock %d of the malignant ActiveX controls!");
  return failed;
}

int UnlockRows(std::vector<MalignantRow>& rows, const GaugeStep& step) {
  int failed = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    MalignantRow& row = rows[i];
    if (Unblock(row.Clsid)) {
      row.Checked = false;
      row.Locked = false;
    } else {
      ++failed;
    }
    if (step) step(Percent(i + 1, rows.size()));
  }
  TellOutcome(failed, kUnlockedMessage, "Failed to unlock %d of the selected ActiveX controls!");
  return failed;
}

}  // namespace recovery
