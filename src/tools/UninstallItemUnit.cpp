#include "tools/UninstallItemUnit.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/SectionContractUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace tools {

const char* const kNotAvailable = "NOT AVAILABLE";
const char* const kUninstallKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

// A text value (string or expandable string); none for any other type.
std::optional<std::string> ReadText(win::TRegistry& registry, const std::string& name) {
  const std::int64_t type = registry.GetDataType(name);
  if (type != win::REG_SZ && type != win::REG_EXPAND_SZ) return std::nullopt;
  return registry.ReadString(name);
}

std::string TextOrNotAvailable(win::TRegistry& registry, const std::string& name) {
  return ReadText(registry, name).value_or(kNotAvailable);
}

void AddInstalledProgram(TUninstallContents& contents, win::TRegistry& registry, const std::string& keyName,
                         const std::string& keyPath, const std::string& displayName,
                         const std::string& uninstallString) {
  TContent& item = contents.GetItem(contents.Add()).Content;
  const auto icon = ReadText(registry, "DisplayIcon");
  item.IconPath = ExtractProgramPath(icon ? *icon : uninstallString);
  item.DisplayName = displayName;
  if (const auto version = ReadText(registry, "DisplayVersion")) {
    item.DisplayVersion = *version;
  } else if (registry.ValueExists("VersionMajor")) {
    item.DisplayVersion = ReadText(registry, "VersionMajor").value_or("");
    if (registry.ValueExists("VersionMinor")) item.DisplayVersion += ReadText(registry, "VersionMinor").value_or("");
  } else {
    item.DisplayVersion = kNotAvailable;
  }
  item.HelpLink = TextOrNotAvailable(registry, "HelpLink");
  item.InstallDate = TextOrNotAvailable(registry, "InstallDate");
  item.InstallLocation = TextOrNotAvailable(registry, "InstallLocation");
  item.Publisher = TextOrNotAvailable(registry, "Publisher");
  item.URLInfoAbout = TextOrNotAvailable(registry, "URLInfoAbout");
  item.URLUpdateInfo = TextOrNotAvailable(registry, "URLUpdateInfo");
  item.ModifyPath = TextOrNotAvailable(registry, "ModifyPath");
  item.KeyName = keyName;
  item.UninstallString = uninstallString;
  item.KeyPath = keyPath;
}

}  // namespace

bool TUninstallContents::Delete(std::int32_t index) {
  if (index < 0 || index >= Count()) return false;
  TContents<TUninstallContentItem>::Delete(index);
  return true;
}

std::string FormatInstallDate(const std::string& text) {
  const std::string date = regclean::Trim(text);
  if (date.size() != 8 || date.find_first_not_of("0123456789") != std::string::npos) return kNotAvailable;
  TDateTime when;
  when.Year = std::stoi(date.substr(0, 4));
  when.Month = std::stoi(date.substr(4, 2));
  when.Day = std::stoi(date.substr(6, 2));
  when.Hour = when.Minute = when.Second = 0;
  if (when.Month < 1 || when.Month > 12 || when.Day < 1 || when.Day > 31) return kNotAvailable;
  return FormatShortDate(when);
}

std::string ExtractProgramPath(const std::string& commandLine) {
  std::string text = commandLine;
  if (!text.empty() && text.front() == '@') text.erase(0, 1);
  text = regclean::WithoutQuotes(std::move(text));
  regclean::KnownFolders folders = regclean::KnownFolders::OfCurrentMachine();
  const std::pair<const char*, std::string> variables[] = {
      {"%SYSTEMROOT%\\", win::IncludeTrailingBackslash(folders.windowsFolder)},
      {"%ProgramFiles%", folders.programFilesFolder},
      {"%Windir%", folders.windowsFolder}};
  for (const auto& [variable, folder] : variables) {
    if (regclean::ContainsNoCase(text, variable))
      text = regclean::ReplaceAll(regclean::AsciiUpper(text), regclean::AsciiUpper(variable), regclean::AsciiUpper(folder));
  }
  if (regclean::AsciiUpper(regclean::Trim(text)).rfind("MSIEXEC.EXE", 0) == 0)
    text = win::IncludeTrailingBackslash(folders.systemFolder) + text;
  return regclean::ExtractProgramPath(text, regclean::ProgramPathOptions{});
}

std::string NormalizeUninstallCommand(const std::string& commandLine) {
  if (regclean::ContainsNoCase(commandLine, "rundll32") || regclean::ContainsNoCase(commandLine, "MsiExec.Exe")) {
    std::string command = commandLine;
    std::erase(command, '\'');
    std::erase(command, '"');
    return command;
  }
  return ExtractProgramPath(commandLine);
}

bool IsNortonOrSymantec(const std::string& displayName) {
  return displayName.find("Norton") != std::string::npos || displayName.find("Symantec") != std::string::npos;
}

void SortUninstallContents(TUninstallContents& contents, int column, int direction) {
  if (column < 0 || column > 2) return;
  const std::int32_t count = contents.Count();
  auto field = [column](const TContent& c) -> const std::string& {
    return column == 0 ? c.DisplayName : column == 1 ? c.InstallDate : c.Publisher;
  };
  std::vector<TContent> records;
  std::vector<std::string> keys;
  records.reserve(static_cast<std::size_t>(count));
  keys.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    records.push_back(std::move(contents.GetItem(i).Content));
    keys.push_back(regclean::Trim(field(records.back())));
  }
  // The exchange sort runs on the ranks of the keys (equal keys, equal
  // ranks) and moves record numbers; the records move once at the end.
  std::vector<std::string> distinct = keys;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  const std::size_t n = records.size();
  std::vector<std::uint32_t> ranks(n);
  std::vector<std::uint32_t> order(n);
  for (std::size_t i = 0; i < n; ++i) {
    ranks[i] = static_cast<std::uint32_t>(std::lower_bound(distinct.begin(), distinct.end(), keys[i]) -
                                          distinct.begin());
    order[i] = static_cast<std::uint32_t>(i);
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i; j < n; ++j) {
      if ((direction == 0 && ranks[i] > ranks[j]) || (direction == 1 && ranks[i] < ranks[j])) {
        std::swap(ranks[i], ranks[j]);
        std::swap(order[i], order[j]);
      }
    }
  }
  for (std::int32_t i = 0; i < count; ++i)
    contents.GetItem(i).Content = std::move(records[order[static_cast<std::size_t>(i)]]);
}

void LoadInstalledPrograms(TUninstallContents& contents, bool showWindowsUpdate) {
  contents.Clear();
  win::TRegistry uninstall(win::KEY_READ);
  uninstall.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!uninstall.OpenKeyReadOnly(kUninstallKey)) return;
  std::vector<std::string> names;
  uninstall.GetKeyNames(names);
  win::TRegistry entry(win::KEY_READ);
  entry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  for (const std::string& name : names) {
    const std::string keyPath = std::string(kUninstallKey) + "\\" + name;
    if (!entry.OpenKeyReadOnly(keyPath)) continue;
    const auto displayName = ReadText(entry, "DisplayName");
    const auto uninstallString = ReadText(entry, "UninstallString");
    if (!displayName || !uninstallString) continue;
    if (!showWindowsUpdate && ReadText(entry, "ParentKeyName").value_or("") == "OperatingSystem") continue;
    AddInstalledProgram(contents, entry, name, keyPath, *displayName, *uninstallString);
  }
}

std::string UninstallCommandLine(const TContent& item) {
  if (IsNortonOrSymantec(item.DisplayName) && item.ModifyPath != kNotAvailable) return item.ModifyPath;
  const std::string& command = item.UninstallString;
  if (regclean::ContainsNoCase(command, "rundll32") || regclean::ContainsNoCase(command, "MsiExec.Exe"))
    return NormalizeUninstallCommand(command);
  const std::string program = NormalizeUninstallCommand(command);
  return program.find(' ') != std::string::npos ? "\"" + program + "\"" : program;
}

bool RemoveUninstallEntry(const TContent& item) {
  if (regclean::Trim(item.KeyName).empty()) return false;
  win::TRegistry registry(win::KEY_ALL_ACCESS);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey(kUninstallKey, false)) return false;
  return registry.DeleteKey(item.KeyName) && !registry.KeyExists(item.KeyName);
}

}  // namespace tools
