#include "platform/system/ProgramRunner.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <set>
#include <thread>

#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/system/System.h"
#include "platform/text/TextCodec.h"

extern char** environ;

namespace win {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t SkipBlanks(const std::string& text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

// Arguments after the program, from pos on.
std::vector<std::string> SplitArguments(const std::string& line, std::size_t pos) {
  std::vector<std::string> args;
  while ((pos = SkipBlanks(line, pos)) < line.size()) {
    std::string arg;
    bool quoted = false;
    while (pos < line.size()) {
      const char c = line[pos];
      if (c == '\\') {
        std::size_t count = 0;
        while (pos < line.size() && line[pos] == '\\') ++count, ++pos;
        if (pos < line.size() && line[pos] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2 == 1) {
            arg += '"';
            ++pos;
          }
        } else {
          arg.append(count, '\\');
        }
      } else if (c == '"') {
        if (quoted && pos + 1 < line.size() && line[pos + 1] == '"') {
          arg += '"';
          pos += 2;
        } else {
          quoted = !quoted;
          ++pos;
        }
      } else if (IsBlank(c) && !quoted) {
        break;
      } else {
        arg += c;
        ++pos;
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

struct Command {
  std::string program;  // as written, or the machine path it was found at
  std::vector<std::string> args;
};

// Program and arguments; `end` is where the program text ends.
Command SplitProgram(const std::string& line, std::size_t& end) {
  Command command;
  std::size_t pos = SkipBlanks(line, 0);
  if (pos < line.size() && line[pos] == '"') {
    end = line.find('"', pos + 1);
    command.program = line.substr(pos + 1, end == std::string::npos ? end : end - pos - 1);
    end = end == std::string::npos ? line.size() : end + 1;
  } else {
    end = pos;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    command.program = line.substr(pos, end - pos);
    // "regsvr32.exe/s": a bare program name may carry its first switch.
    const std::size_t slash = command.program.find('/');
    if (slash != std::string::npos && slash > 0 &&
        command.program.find_first_of("\\:") == std::string::npos) {
      end = pos + slash;
      command.program.resize(slash);
    }
  }
  command.args = SplitArguments(line, end);
  return command;
}

// "REGEDIT" for "C:\WINDOWS\regedit.exe".
std::string BareProgramName(const std::string& program) {
  std::string name = UpperName(ExtractFileName(program));
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".EXE") == 0) name.resize(name.size() - 4);
  return name;
}

bool IsSwitch(const std::string& arg) { return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-'); }

bool IsRooted(const std::string& path) {
  return path.find(':') != std::string::npos || (!path.empty() && path[0] == '\\');
}

bool Fail(DWORD code) {
  SetLastError(code);
  return false;
}

bool Regedit(const std::vector<std::string>& args) {
  bool exportMode = false;
  bool silent = false;
  std::vector<std::string> operands;
  for (const std::string& arg : args) {
    const std::string word = UpperName(arg);
    if (word == "/E" || word == "-E") {
      exportMode = true;
    } else if (word == "/S" || word == "-S") {
      silent = true;
    } else if (IsSwitch(arg)) {
      return Fail(ERROR_INVALID_PARAMETER);
    } else {
      operands.push_back(arg);
    }
  }
  std::string error;
  if (exportMode && (operands.size() == 1 || operands.size() == 2)) {
    const RegFileFormat format =
        GetVersionEx().platformId == 1 ? RegFileFormat::Regedit4 : RegFileFormat::Version5;
    return ExportRegFile(operands[0], operands.size() == 2 ? operands[1] : "", format, error);
  }
  if (!exportMode && silent && operands.size() == 1) return ImportRegFile(operands[0], error);
  return Fail(ERROR_INVALID_PARAMETER);
}

// regsvr32's exit codes.
constexpr DWORD kRegsvrOk = 0;
constexpr DWORD kRegsvrBadArguments = 1;
constexpr DWORD kRegsvrLoadFailed = 3;     // no such file
constexpr DWORD kRegsvrEntryMissing = 4;   // no class is served by it

// Upper-cased full paths of the files that some HKCR\CLSID\{x}\InprocServer32
// names, made in one pass over the class keys and kept while the registry
// stays unchanged. The machine folder is part of the key: a store opened
// later may sit at the address of a closed one.
const std::set<std::string>& RegisteredServerFiles() {
  static std::set<std::string> files;
  static RegistryStore* madeFor = nullptr;
  static std::string madeForFolder;
  static std::uint64_t madeAt = 0;
  RegistryStore* store = CurrentRegistry();
  if (store == nullptr) {
    files.clear();
    madeFor = nullptr;
    return files;
  }
  const Machine* machine = CurrentMachine();
  const std::string folder = machine ? machine->Folder() : std::string();
  const std::uint64_t changes = store->ChangeCount();
  if (store == madeFor && folder == madeForFolder && changes == madeAt) return files;
  files.clear();
  const std::string systemFolder = IncludeTrailingBackslash(GetSystemDirectory());
  TRegistry classes(KEY_READ);
  classes.SetRootKey(HKEY_CLASSES_ROOT);
  std::vector<std::string> ids;
  if (classes.OpenKeyReadOnly("\\CLSID")) classes.GetKeyNames(ids);
  TRegistry server(KEY_READ);
  server.SetRootKey(HKEY_CLASSES_ROOT);
  for (const std::string& id : ids) {
    if (!server.OpenKeyReadOnly("\\CLSID\\" + id + "\\InprocServer32")) continue;
    const auto data = server.ReadString("");
    if (!data || data->empty()) continue;
    std::string path = ExpandEnvironmentStrings(*data);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    if (path.find('\\') == std::string::npos) path = systemFolder + path;
    files.insert(UpperName(path));
  }
  madeFor = store;
  madeForFolder = folder;
  madeAt = store->ChangeCount();
  return files;
}

// Stands in for registering a server file: checks that the file is there and
// that a class is served by it; changes nothing.
DWORD Regsvr32(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (IsSwitch(arg)) continue;
    const std::string path = IsRooted(arg) ? arg : IncludeTrailingBackslash(GetSystemDirectory()) + arg;
    if (!FileExists(path)) return kRegsvrLoadFailed;
    return RegisteredServerFiles().count(UpperName(path)) ? kRegsvrOk : kRegsvrEntryMissing;
  }
  return kRegsvrBadArguments;
}

// Where the program is on the machine; a name without folder is looked for
// in the system and Windows folders, with ".exe" added when it has no
// extension.
std::optional<std::string> FindProgram(const std::string& program) {
  std::vector<std::string> candidates;
  if (IsRooted(program)) {
    candidates.push_back(program);
  } else {
    candidates.push_back(IncludeTrailingBackslash(GetSystemDirectory()) + program);
    candidates.push_back(IncludeTrailingBackslash(GetWindowsDirectory()) + program);
  }
  for (const std::string& path : candidates) {
    if (FileExists(path)) return path;
    if (ExtractFileExt(path).empty() && FileExists(path + ".exe")) return path + ".exe";
  }
  return std::nullopt;
}

// The program on the machine. An unquoted path with blanks is tried at each
// blank in turn ("C:\Program Files\App\un.exe /S").
std::optional<Command> ResolveProgram(const std::string& line) {
  std::size_t end = 0;
  Command command = SplitProgram(line, end);
  if (const auto found = FindProgram(command.program)) {
    command.program = *found;
    return command;
  }
  const std::size_t start = SkipBlanks(line, 0);
  if (start < line.size() && line[start] == '"') return std::nullopt;
  for (std::size_t blank = line.find(' ', end); blank != std::string::npos;
       blank = line.find(' ', blank + 1)) {
    if (const auto found = FindProgram(line.substr(start, blank - start))) {
      return Command{*found, SplitArguments(line, blank)};
    }
  }
  if (const auto found = FindProgram(line.substr(start))) return Command{*found, {}};
  return std::nullopt;
}

// Starts the host file of a machine program; the process id, or none with
// GetLastError() set.
std::optional<pid_t> Spawn(const Command& command) {
  const std::string host = HostPath(command.program);
  struct stat info {};
  if (host.empty() || stat(host.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  if (access(host.c_str(), X_OK) != 0) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return std::nullopt;
  }
  std::vector<std::string> argvText{host};
  argvText.insert(argvText.end(), command.args.begin(), command.args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, host.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    SetLastError(rc == ENOEXEC ? ERROR_BAD_EXE_FORMAT
                 : rc == EACCES ? ERROR_ACCESS_DENIED
                                : ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  return pid;
}

// Runs "regedit" and "regsvr32" in-process and gives their exit code (0
// success); none for other programs.
std::optional<DWORD> RunBuiltIn(const std::string& line) {
  std::size_t end = 0;
  const Command command = SplitProgram(line, end);
  const std::string name = BareProgramName(command.program);
  if (name == "REGEDIT") return Regedit(command.args) ? 0u : 1u;
  if (name == "REGSVR32") {
    const DWORD code = Regsvr32(command.args);
    SetLastError(code == kRegsvrOk              ? ERROR_SUCCESS
                 : code == kRegsvrLoadFailed    ? ERROR_FILE_NOT_FOUND
                 : code == kRegsvrBadArguments  ? ERROR_INVALID_PARAMETER
                                                : ERROR_CALL_NOT_IMPLEMENTED);
    return code;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::size_t end = 0;
  Command command = SplitProgram(commandLine, end);
  std::vector<std::string> parts{std::move(command.program)};
  parts.insert(parts.end(), command.args.begin(), command.args.end());
  return parts;
}

bool WinExec(const std::string& commandLine, int /*showCmd*/) {
  if (const auto code = RunBuiltIn(commandLine)) return *code == 0;
  const auto command = ResolveProgram(commandLine);
  if (!command) return Fail(ERROR_FILE_NOT_FOUND);
  const auto pid = Spawn(*command);
  if (!pid) return false;
  std::thread([child = *pid] {
    int status = 0;
    waitpid(child, &status, 0);
  }).detach();
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool RunAndWait(const std::string& commandLine, DWORD& exitCode) {
  return RunAndWait(commandLine, exitCode, nullptr);
}

bool RunAndWait(const std::string& commandLine, DWORD& exitCode,
                const std::function<void()>& whileWaiting) {
  if (whileWaiting) whileWaiting();
  if (const auto code = RunBuiltIn(commandLine)) {
    exitCode = *code;
    return true;
  }
  const auto command = ResolveProgram(commandLine);
  if (!command) return Fail(ERROR_FILE_NOT_FOUND);
  const auto pid = Spawn(*command);
  if (!pid) return false;
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(*pid, &status, whileWaiting ? WNOHANG : 0);
    if (ended == *pid) break;
    if (ended < 0 && errno != EINTR) return Fail(ERROR_INVALID_HANDLE);
    if (ended == 0) {
      whileWaiting();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  exitCode = WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status))
                               : 128u + static_cast<DWORD>(WTERMSIG(status));
  return true;
}

}  // namespace win
