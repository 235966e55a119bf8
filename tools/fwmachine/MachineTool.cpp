#include "fwmachine/MachineTool.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "platform/files/FileSystem.h"
#include "platform/files/HostFiles.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/machine/SyntheticMachine.h"
#include "platform/machine/StateStore.h"
#include "platform/text/TextCodec.h"
#include "platform/shell/UrlCache.h"

namespace win {

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "Usage: fwmachine [--machine DIR] COMMAND [ARGUMENTS]\n"
    "  create DIR               make a machine folder from the sample machine\n"
    "  generate DIR [--keys N] [--missing P]\n"
    "                           make a large generated machine (default 400000 keys);\n"
    "                           P percent of the programs' files and folders that it\n"
    "                           names are missing (default 100: about 60% of all\n"
    "                           file references point at nothing)\n"
    "  import FILE.reg          apply a .reg file to the machine's registry (lines\n"
    "                           regedit rejects are skipped, listed, exit 1)\n"
    "  export FILE.reg [KEY]    write the whole registry, or KEY with its subkeys,\n"
    "                           as a version 5 .reg file\n"
    "  ls PATH                  list a folder or file (C:\\WINDOWS) or a registry key\n"
    "                           (HKEY_LOCAL_MACHINE\\SOFTWARE or HKLM\\SOFTWARE)\n"
    "  urlcache                 list the Internet Explorer URL cache\n"
    "import, export, ls and urlcache work on the machine at --machine DIR, else at\n"
    "$FERNWICK_MACHINE, else at ~/.local/share/fernwick/machine.\n";

struct Command {
  std::string machineFolder;
  std::string keysText;
  std::string missingText;
  std::vector<std::string> words;  // command name first
};

bool ParseArguments(const std::vector<std::string>& args, Command& command, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--machine" || arg == "--keys" || arg == "--missing") {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      (arg == "--machine" ? command.machineFolder
                          : arg == "--keys" ? command.keysText : command.missingText) = args[++i];
    } else if (arg.rfind("--", 0) == 0) {
      error = "unknown option " + arg;
      return false;
    } else {
      command.words.push_back(arg);
    }
  }
  return true;
}

// "HKLM\SOFTWARE" or "HKEY_LOCAL_MACHINE\SOFTWARE": the root and the path
// below it (empty for the root itself).
bool SplitRegistryPath(const std::string& text, HKEY& root, std::string& below) {
  static const std::pair<const char*, const char*> kShortNames[] = {
      {"HKCR", "HKEY_CLASSES_ROOT"}, {"HKCU", "HKEY_CURRENT_USER"}, {"HKLM", "HKEY_LOCAL_MACHINE"},
      {"HKU", "HKEY_USERS"}, {"HKCC", "HKEY_CURRENT_CONFIG"}};
  const auto slash = text.find('\\');
  std::string rootName = UpperName(text.substr(0, slash));
  for (const auto& [shortName, longName] : kShortNames)
    if (rootName == shortName) rootName = longName;
  root = RootFromName(rootName);
  below = slash == std::string::npos ? std::string() : text.substr(slash + 1);
  while (!below.empty() && below.back() == '\\') below.pop_back();
  return root != 0;
}

std::string FullKeyPath(HKEY root, const std::string& below) {
  return below.empty() ? RootName(root) : RootName(root) + "\\" + below;
}

bool IsRegistryPath(const std::string& text) { return UpperName(text).rfind("HK", 0) == 0; }

// Through a temporary file and a rename, so a failed write keeps the old file.
bool WriteHostWith(const std::string& path, const std::function<bool(const ByteSink& write)>& produce,
                   std::string& error) {
  bool produced = true;
  const bool written = fs_detail::ReplaceHostFile(path, std::nullopt, [&](int fd) {
    produced = produce([fd](const std::uint8_t* data, std::size_t size) {
      return fs_detail::WriteAll(fd, data, size);
    });
    return produced;
  });
  if (!written && produced) error = "cannot write " + path;
  return written;
}

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return "REG_LINK";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_RESOURCE_LIST: return "REG_RESOURCE_LIST";
    case REG_QWORD: return "REG_QWORD";
    default: return "type " + std::to_string(type);
  }
}

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string HexBytes(const std::vector<std::uint8_t>& data) {
  constexpr std::size_t kShown = 32;
  std::string text;
  char byte[4];
  for (std::size_t i = 0; i < data.size() && i < kShown; ++i) {
    std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : " %02x", data[i]);
    text += byte;
  }
  if (data.size() > kShown) text += " ... (" + std::to_string(data.size()) + " bytes)";
  return text;
}

std::string LittleEndianNumber(const std::vector<std::uint8_t>& data) {
  std::uint64_t number = 0;
  for (std::size_t i = data.size(); i-- > 0;) number = number << 8 | data[i];
  char text[48];
  std::snprintf(text, sizeof text, data.size() == 4 ? "0x%08llx (%llu)" : "0x%016llx (%llu)",
                static_cast<unsigned long long>(number), static_cast<unsigned long long>(number));
  return text;
}

std::string MultiStringText(const std::vector<std::uint8_t>& data) {
  std::string text;
  std::size_t start = 0;
  while (start + 1 < data.size()) {
    std::size_t end = start;
    while (end + 1 < data.size() && (data[end] != 0 || data[end + 1] != 0)) end += 2;
    if (end == start) break;  // the empty string that ends the list
    if (!text.empty()) text += " ";
    text += Quoted(Utf16LeBytesToUtf8({data.begin() + static_cast<std::ptrdiff_t>(start),
                                       data.begin() + static_cast<std::ptrdiff_t>(end)}));
    start = end + 2;
  }
  return text;
}

std::string DataText(DWORD type, const std::vector<std::uint8_t>& data) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) return Quoted(Utf16LeBytesToUtf8(data));
  if ((type == REG_DWORD && data.size() == 4) || (type == REG_QWORD && data.size() == 8))
    return LittleEndianNumber(data);
  if (type == REG_MULTI_SZ) return MultiStringText(data);
  return HexBytes(data);
}

int ListKey(RegistryStore& store, const std::string& path, std::ostream& out, std::ostream& err) {
  HKEY root = 0;
  std::string below;
  if (!SplitRegistryPath(path, root, below)) {
    err << "fwmachine: not a registry root: " << path << "\n";
    return kToolUsage;
  }
  TRegistry registry(store, KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + below)) {
    err << "fwmachine: no key " << FullKeyPath(root, below) << "\n";
    return kToolFailed;
  }
  out << FullKeyPath(root, below) << "\n";
  const auto failed = [&] {
    err << "fwmachine: cannot read " << FullKeyPath(root, below) << " (error " << GetLastError()
        << ")\n";
    return kToolFailed;
  };
  std::vector<std::string> names;
  if (!registry.GetKeyNames(names)) return failed();
  for (const auto& name : names) out << "  " << name << "\\\n";
  if (!registry.GetValueNames(names)) return failed();
  for (const auto& name : names) {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    if (!registry.ReadRaw(name, type, data)) return failed();
    out << "  " << (name.empty() ? std::string("(default)") : Quoted(name)) << "  "
        << TypeName(type) << "  " << DataText(type, data) << "\n";
  }
  return kToolOk;
}

std::string AttributeLetters(DWORD attributes) {
  std::string text = "------";
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) text[0] = 'D';
  if (attributes & FILE_ATTRIBUTE_READONLY) text[1] = 'R';
  if (attributes & FILE_ATTRIBUTE_HIDDEN) text[2] = 'H';
  if (attributes & FILE_ATTRIBUTE_SYSTEM) text[3] = 'S';
  if (attributes & FILE_ATTRIBUTE_ARCHIVE) text[4] = 'A';
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) text[5] = 'L';
  return text;
}

std::string TimeText(FileTime time) {
  constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
  const std::time_t seconds =
      static_cast<std::time_t>((static_cast<std::int64_t>(time) - kTicksFrom1601To1970) / 10000000);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

int ListFiles(const std::string& path, std::ostream& out, std::ostream& err) {
  std::string pattern = path;
  if (pattern.find_first_of("*?") == std::string::npos && DirectoryExists(pattern))
    pattern = IncludeTrailingBackslash(pattern) + "*.*";
  FindData data;
  auto finder = FindFirstFile(pattern, data);
  if (!finder) {
    err << "fwmachine: nothing found at " << path << " (error " << GetLastError() << ")\n";
    return kToolFailed;
  }
  out << ExtractFilePath(pattern) << "\n";
  do {
    if (data.name == "." || data.name == "..") continue;
    char size[24];
    std::snprintf(size, sizeof size, "%14llu", static_cast<unsigned long long>(data.size));
    const bool folder = (data.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out << "  " << AttributeLetters(data.attributes) << " " << (folder ? std::string(14, ' ') : size)
        << "  " << TimeText(data.lastWriteTime) << "  " << data.name << (folder ? "\\" : "") << "\n";
  } while (finder->Next(data));
  return kToolOk;
}

// One line per entry: type in hex, size, time, URL and its local file.
int ListCache(StateStore& store, std::ostream& out, std::ostream& err) {
  std::vector<UrlCacheEntryInfo> entries;
  if (!ListUrlCache(store, entries)) {
    err << "fwmachine: cannot read the URL cache of " << store.FileName() << "\n";
    return kToolFailed;
  }
  for (const auto& entry : entries) {
    char head[48];
    std::snprintf(head, sizeof head, "  %08X %14llu  ", static_cast<unsigned>(entry.CacheEntryType),
                  static_cast<unsigned long long>(entry.Size));
    out << head << TimeText(entry.LastModifiedTime) << "  " << entry.SourceUrlName;
    if (!entry.LocalFileName.empty()) out << " -> " << entry.LocalFileName;
    out << "\n";
  }
  out << entries.size() << " entries\n";
  return kToolOk;
}

int Create(const std::string& folder, std::ostream& out, std::ostream& err) {
  std::string error;
  if (!CreateMachine(folder, SampleMachineRecipe(), error)) {
    err << "fwmachine: " << error << "\n";
    return kToolFailed;
  }
  out << "Created the sample machine at " << folder << "\n";
  return kToolOk;
}

int Generate(const std::string& folder, const std::string& keysText, const std::string& missingText,
             std::ostream& out, std::ostream& err) {
  std::uint64_t keys = kDefaultSyntheticKeys;
  if (!keysText.empty()) {
    if (keysText.find_first_not_of("0123456789") != std::string::npos || keysText.size() > 10) {
      err << "fwmachine: --keys takes a number of keys, not " << keysText << "\n";
      return kToolUsage;
    }
    keys = std::stoull(keysText);
  }
  unsigned missing = kDefaultSyntheticMissing;
  if (!missingText.empty()) {
    if (missingText.find_first_not_of("0123456789") != std::string::npos || missingText.size() > 3 ||
        std::stoul(missingText) > 100) {
      err << "fwmachine: --missing takes a percentage from 0 to 100, not " << missingText << "\n";
      return kToolUsage;
    }
    missing = static_cast<unsigned>(std::stoul(missingText));
  }
  const auto start = std::chrono::steady_clock::now();
  SyntheticCounts counts;
  std::string error;
  if (!CreateSyntheticMachine(folder, keys, counts, error, missing)) {
    err << "fwmachine: " << error << "\n";
    return kToolFailed;
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  out << "Generated " << counts.keys << " keys and " << counts.values << " values at " << folder
      << " in " << took.count() << " s\n";
  return kToolOk;
}

int Import(Machine& machine, const std::string& file, std::ostream& out, std::ostream& err) {
  const std::string name = fs::path(file).filename().string();
  const ByteSource source = [&file](const ByteSink& take) {
    return fs_detail::ReadHostFileChunks(file, [&take](const char* data, std::size_t size) {
      return take(reinterpret_cast<const std::uint8_t*>(data), size);
    });
  };
  RegFileContent content;
  std::size_t keys = 0;
  std::string error;
  switch (ImportRegFileStream(machine.Registry(), source, name, machine.Config().ansiCodePage, content, keys,
                              error)) {
    case RegImport::Done:
      break;
    case RegImport::BadHeader:
      err << "fwmachine: " << error << "\n";
      return kToolFailed;
    case RegImport::Unreadable:
      err << "fwmachine: cannot read " << file << "\n";
      return kToolFailed;
    case RegImport::NotWritten:
      err << "fwmachine: " << name << ": " << error << "\n";
      return kToolFailed;
  }
  out << "Imported " << keys << " keys from " << file << "\n";
  if (content.skippedCount == 0) return kToolOk;
  // The lines applied stay applied, as with regedit.
  for (const RegFileSkippedLine& skipped : content.skipped) {
    err << "fwmachine: " << name << ": line " << skipped.line << ": " << skipped.what << "\n";
  }
  if (content.skippedCount > content.skipped.size()) {
    err << "fwmachine: " << name << ": " << content.skippedCount - content.skipped.size()
        << " more lines skipped\n";
  }
  err << "fwmachine: " << name << ": " << content.skippedCount
      << (content.skippedCount == 1 ? " line" : " lines") << " skipped\n";
  return kToolFailed;
}

int Export(Machine& machine, const std::string& file, const std::string& key, std::ostream& out,
           std::ostream& err) {
  std::string keyPath;
  if (!key.empty()) {
    HKEY root = 0;
    std::string below;
    if (!SplitRegistryPath(key, root, below)) {
      err << "fwmachine: not a registry root: " << key << "\n";
      return kToolUsage;
    }
    keyPath = FullKeyPath(root, below);
  }
  std::size_t keys = 0;
  std::string error;
  if (!WriteHostWith(
          file,
          [&](const ByteSink& write) {
            return WriteRegistryTree(machine.Registry(), keyPath, RegFileFormat::Version5,
                                     machine.Config().ansiCodePage, write, keys, error);
          },
          error)) {
    err << "fwmachine: " << error << "\n";
    return kToolFailed;
  }
  out << "Exported " << keys << " keys to " << file << "\n";
  return kToolOk;
}

// import, export and ls: on an existing machine, made current meanwhile.
int OnMachine(const Command& command, std::ostream& out, std::ostream& err) {
  const std::string folder =
      command.machineFolder.empty() ? DefaultMachineFolder() : command.machineFolder;
  std::string error;
  auto machine = Machine::Open(folder, error);
  if (!machine) {
    err << "fwmachine: " << error << "\n";
    return kToolFailed;
  }
  CurrentMachineScope current(*machine);
  const std::string& name = command.words[0];
  if (name == "urlcache") return ListCache(machine->State(), out, err);
  const std::string& first = command.words[1];
  int result = kToolOk;
  if (name == "import") result = Import(*machine, first, out, err);
  else if (name == "export") result = Export(*machine, first, command.words.size() > 2 ? command.words[2] : "", out, err);
  else if (IsRegistryPath(first)) result = ListKey(machine->Registry(), first, out, err);
  else result = ListFiles(first, out, err);
  return result;
}

}  // namespace

int RunMachineTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command command;
  std::string error;
  if (!ParseArguments(args, command, error)) {
    err << "fwmachine: " << error << "\n" << kUsage;
    return kToolUsage;
  }
  const std::size_t count = command.words.size();
  const std::string name = count > 0 ? command.words[0] : "";
  if (name == "help" && count == 1) {
    out << kUsage;
    return kToolOk;
  }
  const bool fits = (name == "create" && count == 2) || (name == "generate" && count == 2) ||
                    (name == "import" && count == 2) || (name == "ls" && count == 2) ||
                    (name == "urlcache" && count == 1) ||
                    (name == "export" && (count == 2 || count == 3));
  if (!fits || ((!command.keysText.empty() || !command.missingText.empty()) && name != "generate")) {
    err << (name.empty() ? std::string("fwmachine: no command")
                         : "fwmachine: wrong use of " + name)
        << "\n" << kUsage;
    return kToolUsage;
  }
  if (name == "create") return Create(command.words[1], out, err);
  if (name == "generate") return Generate(command.words[1], command.keysText, command.missingText, out, err);
  return OnMachine(command, out, err);
}

}  // namespace win
