#include "platform/machine/MachineConfig.h"

#include <cctype>
#include <charconv>
#include <set>

#include "platform/files/FileSystem.h"
#include "platform/files/IniFile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

struct DriveTypeName {
  unsigned type;
  const char* name;
};

constexpr DriveTypeName kDriveTypes[] = {
    {DRIVE_FIXED, "fixed"},   {DRIVE_REMOVABLE, "removable"}, {DRIVE_REMOTE, "remote"},
    {DRIVE_CDROM, "cdrom"},   {DRIVE_RAMDISK, "ramdisk"},
};

bool ParseUnsigned(const std::string& text, unsigned& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool IsWindowsFolder(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
         path[1] == ':' && path[2] == '\\' && path.find('/') == std::string::npos;
}

// CR LF, LF and a CR alone each end a line, so that no value keeps a stray
// CR that the next save would drop.
std::string WithLfBreaks(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      result += text[i];
    } else if (i + 1 == text.size() || text[i + 1] != '\n') {
      result += '\n';
    }
  }
  return result;
}

// The value as a line must hold it: quoted when reading would trim blanks or
// take off a pair of quotes.
std::string Quoted(const std::string& value) {
  const bool trimmed = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                          value.back() == ' ' || value.back() == '\t');
  const bool unquoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
  return trimmed || unquoted ? "\"" + value + "\"" : value;
}

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// Reads the entries of machine.ini into a config. Every complaint is about
// one line.
class ConfigReader {
 public:
  explicit ConfigReader(MachineConfig& config) : config_(config) {}

  // Empty when the line is fine, else what is wrong with it.
  std::string Line(const IniText::Line& line) {
    switch (line.kind) {
      case IniText::LineKind::Blank:
      case IniText::LineKind::Comment:
        return {};
      case IniText::LineKind::Other:
        return "not a section, an entry or a comment";
      case IniText::LineKind::Section:
        return Section(line);
      case IniText::LineKind::Entry:
        return Entry(line.name, line.value);
    }
    return {};
  }

 private:
  std::string Section(const IniText::Line& line) {
    if (!line.closed) return "section header without ']'";
    const std::string upper = UpperName(line.name);
    if (upper != "MACHINE" && upper != "DRIVES" && upper != "SERVERS" && upper != "READONLYKEYS" &&
        upper != "MAIL" && upper != "RESTOREPOINTS") {
      return "unknown section [" + line.name + "]";
    }
    if (!sections_.insert(upper).second) return "section [" + line.name + "] appears twice";
    section_ = upper;
    keys_.clear();
    return {};
  }

  std::string Entry(const std::string& key, const std::string& value) {
    if (section_.empty()) return "entry outside a section";
    if (key.empty()) return "entry without a name";
    if (section_ != "READONLYKEYS" && !keys_.insert(UpperName(key)).second) {
      return "key " + key + " appears twice";
    }
    if (section_ == "MACHINE") return MachineEntry(key, value);
    if (section_ == "DRIVES") return DriveEntryLine(key, value);
    if (section_ == "SERVERS") {
      config_.servers[key] = value;
      return {};
    }
    if (section_ == "MAIL") {
      config_.mail[key] = value;
      return {};
    }
    if (section_ == "RESTOREPOINTS") {
      config_.restorePoints.push_back(value);
      return {};
    }
    if (value.empty()) return "empty key path";
    // A path under no root would protect nothing.
    if (RootFromName(value.substr(0, value.find('\\'))) == 0) {
      return "key path " + value + " does not start with a root key such as HKEY_LOCAL_MACHINE";
    }
    config_.readOnlyKeys.push_back(value);
    return {};
  }

  std::string MachineEntry(const std::string& key, const std::string& value) {
    const std::string upper = UpperName(key);
    if (upper == "OSMAJOR") return Number(key, value, config_.osMajor);
    if (upper == "OSMINOR") return Number(key, value, config_.osMinor);
    if (upper == "PLATFORMID") {
      std::string problem = Number(key, value, config_.platformId);
      if (problem.empty() && config_.platformId > 2) problem = "PlatformId must be 0, 1 or 2";
      return problem;
    }
    if (upper == "ANSICODEPAGE") {
      std::string problem = Number(key, value, config_.ansiCodePage);
      if (problem.empty() && !IsSupportedCodePage(config_.ansiCodePage)) {
        problem = "code page " + value + " is not supported";
      }
      return problem;
    }
    if (upper == "ELEVATED") {
      if (value != "0" && value != "1") return "Elevated must be 0 or 1";
      config_.elevated = value == "1";
      return {};
    }
    if (upper == "TASKSCHEDULER") {
      if (value != "0" && value != "1") return "TaskScheduler must be 0 or 1";
      config_.taskScheduler = value == "1";
      return {};
    }
    if (upper == "CSDVERSION") {
      config_.csdVersion = value;
      return {};
    }
    if (upper == "USERNAME" || upper == "COMPUTERNAME") {
      if (value.empty() || value.find_first_of("\\/:*?\"<>|") != std::string::npos) {
        return key + " must be a plain name";
      }
      (upper == "USERNAME" ? config_.userName : config_.computerName) = value;
      return {};
    }
    if (upper == "USERSID") {
      if (value.rfind("S-1-", 0) != 0 || value.find('\\') != std::string::npos) {
        return "UserSid must look like S-1-...";
      }
      config_.userSid = value;
      return {};
    }
    if (upper == "WINDOWSDIR" || upper == "PROGRAMFOLDER") {
      if (!IsWindowsFolder(value)) return key + " must be a full Windows path such as C:\\WINDOWS";
      (upper == "WINDOWSDIR" ? config_.windowsDir : config_.programFolder) =
          WithoutTrailingBackslash(value);
      return {};
    }
    return "unknown key " + key;
  }

  std::string DriveEntryLine(const std::string& key, const std::string& value) {
    if (key.size() != 1 || !std::isalpha(static_cast<unsigned char>(key[0]))) {
      return "drive " + key + " is not a letter";
    }
    const std::size_t comma = value.find(',');
    const std::string typeName = Trim(value.substr(0, comma), kSpacesAndTabs);
    DriveEntry drive;
    drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    drive.type = 0;
    for (const auto& known : kDriveTypes) {
      if (SameName(typeName, known.name)) drive.type = known.type;
    }
    if (drive.type == 0) {
      return "drive type " + typeName + " is not fixed, removable, remote, cdrom or ramdisk";
    }
    if (comma != std::string::npos) drive.folder = Trim(value.substr(comma + 1), kSpacesAndTabs);
    config_.drives.push_back(drive);
    return {};
  }

  static std::string Number(const std::string& key, const std::string& value, unsigned& field) {
    if (!ParseUnsigned(value, field)) return key + " must be a number";
    return {};
  }

  MachineConfig& config_;
  std::string section_;
  std::set<std::string> sections_;
  std::set<std::string> keys_;
};

}  // namespace

namespace {

std::string Lookup(const std::map<std::string, std::string>& entries, const std::string& name) {
  for (const auto& [key, value] : entries) {
    if (SameName(key, name)) return value;
  }
  return {};
}

}  // namespace

std::string MachineConfig::Server(const std::string& name) const { return Lookup(servers, name); }

std::string MachineConfig::MailSetting(const std::string& name) const { return Lookup(mail, name); }

bool ParseMachineConfig(const std::string& text, const std::string& fileName,
                        MachineConfig& config, std::string& error) {
  const std::string bom = "\xEF\xBB\xBF";
  const IniText ini(WithLfBreaks(text.rfind(bom, 0) == 0 ? text.substr(bom.size()) : text));
  MachineConfig parsed;
  ConfigReader reader(parsed);
  for (std::size_t i = 0; i < ini.Lines().size(); ++i) {
    const std::string problem = reader.Line(ini.Lines()[i]);
    if (!problem.empty()) {
      error = fileName + ": line " + std::to_string(i + 1) + ": " + problem;
      return false;
    }
  }
  config = std::move(parsed);
  return true;
}

std::string FormatMachineConfig(const MachineConfig& config) {
  std::string text = "[Machine]\n";
  auto line = [&text](const std::string& key, const std::string& value) {
    text += key + "=" + Quoted(value) + "\n";
  };
  line("OSMajor", std::to_string(config.osMajor));
  line("OSMinor", std::to_string(config.osMinor));
  line("PlatformId", std::to_string(config.platformId));
  line("CSDVersion", config.csdVersion);
  line("UserName", config.userName);
  line("ComputerName", config.computerName);
  line("AnsiCodePage", std::to_string(config.ansiCodePage));
  line("UserSid", config.userSid);
  line("Elevated", config.elevated ? "1" : "0");
  line("TaskScheduler", config.taskScheduler ? "1" : "0");
  line("WindowsDir", config.windowsDir);
  line("ProgramFolder", config.programFolder);
  text += "\n[Drives]\n";
  for (const auto& drive : config.drives) {
    std::string typeName = "fixed";
    for (const auto& known : kDriveTypes) {
      if (known.type == drive.type) typeName = known.name;
    }
    line(std::string(1, drive.letter), drive.folder.empty() ? typeName : typeName + "," + drive.folder);
  }
  text += "\n[Servers]\n";
  for (const auto& [key, value] : config.servers) line(key, value);
  if (!config.mail.empty()) {
    text += "\n[Mail]\n";
    for (const auto& [key, value] : config.mail) line(key, value);
  }
  if (!config.restorePoints.empty()) {
    text += "\n[RestorePoints]\n";
    for (std::size_t i = 0; i < config.restorePoints.size(); ++i) {
      line(std::to_string(i + 1), config.restorePoints[i]);
    }
  }
  text += "\n[ReadOnlyKeys]\n";
  for (std::size_t i = 0; i < config.readOnlyKeys.size(); ++i) {
    line(std::to_string(i + 1), config.readOnlyKeys[i]);
  }
  return text;
}

}  // namespace win
