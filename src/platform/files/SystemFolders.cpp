// The Windows, system, temporary and program folders of the machine, and the
// path helpers on Windows paths.

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

const MachineConfig& ConfigOrDefault() {
  static const MachineConfig defaults;
  const Machine* machine = CurrentMachine();
  return machine ? machine->Config() : defaults;
}

std::string DriveOf(const std::string& windowsPath) { return windowsPath.substr(0, 2); }

std::optional<std::string> ReadRegistryString(HKEY root, const std::string& key,
                                              const std::string& name) {
  if (!CurrentRegistry()) return std::nullopt;
  TRegistry registry(KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(key)) return std::nullopt;
  return registry.ReadString(name);
}

// Replaces %NAME% for the names given (ignoring case); other text stays.
std::string ExpandVariables(const std::string& text,
                            const std::vector<std::pair<std::string, std::string>>& variables) {
  std::string result;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t open = text.find('%', i);
    const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) {
      result += text.substr(i);
      break;
    }
    result += text.substr(i, open - i);
    const std::string name = text.substr(open + 1, close - open - 1);
    const auto known = std::find_if(variables.begin(), variables.end(),
                                    [&name](const auto& v) { return SameName(v.first, name); });
    if (known != variables.end()) {
      result += known->second;
      i = close + 1;
    } else {
      result += '%';
      i = open + 1;
    }
  }
  return result;
}

std::vector<std::pair<std::string, std::string>> SystemVariables(const MachineConfig& config) {
  return {{"SystemRoot", config.windowsDir},
          {"windir", config.windowsDir},
          {"SystemDrive", DriveOf(config.windowsDir)}};
}

bool IsFullPath(const std::string& path) {
  return path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
         path.find('%') == std::string::npos;
}

// The user's profile folder on NT: from the profile list of the registry,
// else where the version puts it.
std::string UserProfileFolder(const MachineConfig& config) {
  if (const auto stored = ReadRegistryString(
          HKEY_LOCAL_MACHINE,
          "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + config.userSid,
          "ProfileImagePath")) {
    const std::string expanded = ExpandVariables(*stored, SystemVariables(config));
    if (IsFullPath(expanded)) return expanded;
  }
  const std::string drive = DriveOf(config.windowsDir);
  return config.osMajor >= 6 ? drive + "\\Users\\" + config.userName
                             : drive + "\\Documents and Settings\\" + config.userName;
}

}  // namespace

std::string GetWindowsDirectory() { return ConfigOrDefault().windowsDir; }

std::string GetSystemDirectory() {
  const MachineConfig& config = ConfigOrDefault();
  return config.windowsDir + (config.platformId == 2 ? "\\system32" : "\\SYSTEM");
}

std::string GetTempPath() {
  const MachineConfig& config = ConfigOrDefault();
  if (config.platformId != 2) return config.windowsDir + "\\TEMP\\";
  const std::string profile = UserProfileFolder(config);
  if (const auto stored = ReadRegistryString(HKEY_CURRENT_USER, "\\Environment", "TEMP")) {
    auto variables = SystemVariables(config);
    variables.emplace_back("USERPROFILE", profile);
    const std::string expanded = ExpandVariables(*stored, variables);
    if (IsFullPath(expanded)) return IncludeTrailingBackslash(expanded);
  }
  return profile + (config.osMajor >= 6 ? "\\AppData\\Local\\Temp\\" : "\\Local Settings\\Temp\\");
}

std::string ExpandEnvironmentStrings(const std::string& text) {
  const MachineConfig& config = ConfigOrDefault();
  const std::string drive = DriveOf(config.windowsDir);
  const std::string versionKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  auto variables = SystemVariables(config);
  variables.emplace_back("ProgramFiles",
                         ReadRegistryString(HKEY_LOCAL_MACHINE, versionKey, "ProgramFilesDir")
                             .value_or(drive + "\\Program Files"));
  variables.emplace_back("CommonProgramFiles",
                         ReadRegistryString(HKEY_LOCAL_MACHINE, versionKey, "CommonFilesDir")
                             .value_or(drive + "\\Program Files\\Common Files"));
  variables.emplace_back("USERPROFILE", UserProfileFolder(config));
  return ExpandVariables(text, variables);
}

std::string ProgramFolder() { return ConfigOrDefault().programFolder; }

std::string ProgramFile() { return ProgramFolder() + "\\Fernwick.exe"; }

std::string CombinePath(const std::string& folder, const std::string& relative) {
  std::vector<std::string> parts;
  auto add = [&parts](const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
      std::size_t end = path.find_first_of("\\/", start);
      if (end == std::string::npos) end = path.size();
      const std::string part = path.substr(start, end - start);
      if (part == "..") {
        if (parts.size() > 1) parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      start = end + 1;
    }
  };
  add(folder);
  add(relative);
  std::string combined;
  for (const std::string& part : parts) combined += (combined.empty() ? "" : "\\") + part;
  return parts.size() == 1 ? combined + "\\" : combined;
}

std::string ExtractFileName(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ExtractFilePath(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ExtractFileExt(const std::string& path) {
  const std::size_t cut = path.find_last_of(".\\:");
  return cut != std::string::npos && path[cut] == '.' ? path.substr(cut) : std::string();
}

std::string IncludeTrailingBackslash(const std::string& path) {
  return !path.empty() && path.back() == '\\' ? path : path + "\\";
}

}  // namespace win
