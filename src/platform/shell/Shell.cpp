#include "platform/shell/Shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineConfig.h"
#include "platform/text/TextCodec.h"

extern char** environ;

namespace win {

namespace {

ProgramRestarter g_restarter;
std::set<std::string> g_privileges;  // upper-cased names

std::string LogPath() { return CurrentMachine()->Folder() + "/shell.log"; }

void Record(const std::string& request, bool ok) {
  std::ofstream out(LogPath(), std::ios::app | std::ios::binary);
  out << request << '\t' << (ok ? std::string("ok") : "failed " + std::to_string(GetLastError()))
      << '\n';
  out.flush();
}

bool Fail(DWORD code) {
  SetLastError(code);
  return false;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

bool IsWebAddress(const std::string& text) {
  for (const char* scheme : {"http://", "https://", "ftp://", "mailto:"})
    if (StartsWithNoCase(text, scheme)) return true;
  return false;
}

// Hands an address to the desktop's browser without waiting for it.
void OpenInDesktopBrowser(const std::string& url) {
  std::string program = "xdg-open";
  std::string argument = url;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return;
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
}

bool ReadHostFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

bool ReplaceHostFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    out.flush();
    if (!out) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

bool RunElevatedCopy(const ShellExecuteInfo& info) {
  if (!g_restarter || !SameName(info.file, ProgramFile())) return Fail(ERROR_FILE_NOT_FOUND);
  const std::string iniPath = CurrentMachine()->Folder() + "/machine.ini";
  std::string original;
  if (!ReadHostFile(iniPath, original)) return Fail(ERROR_ACCESS_DENIED);
  MachineConfig config = CurrentMachine()->Config();
  config.elevated = true;
  if (!ReplaceHostFile(iniPath, FormatMachineConfig(config))) return Fail(ERROR_ACCESS_DENIED);
  if (!g_restarter(info.parameters)) {
    ReplaceHostFile(iniPath, original);
    return Fail(ERROR_FILE_NOT_FOUND);
  }
  return true;
}

}  // namespace

std::uintptr_t ShellExecute(HWND, const std::string& verb, const std::string& file,
                            const std::string&, const std::string&, int) {
  if (!CurrentMachine()) {
    SetLastError(ERROR_NOT_READY);
    return ERROR_NOT_READY;
  }
  const bool ok = (verb.empty() || SameName(verb, "open")) && IsWebAddress(file);
  if (!ok) SetLastError(ERROR_FILE_NOT_FOUND);
  Record("ShellExecute\t" + verb + '\t' + file, ok);
  if (!ok) return ERROR_FILE_NOT_FOUND;
  const char* openUrls = std::getenv("FERNWICK_OPEN_URLS");
  if (openUrls && std::string(openUrls) == "1" &&
      (StartsWithNoCase(file, "http://") || StartsWithNoCase(file, "https://")))
    OpenInDesktopBrowser(file);
  return 42;
}

bool ShellExecuteEx(ShellExecuteInfo& info) {
  if (!CurrentMachine()) return Fail(ERROR_NOT_READY);
  bool ok = false;
  if (SameName(info.verb, "runas")) {
    ok = RunElevatedCopy(info);
  } else {
    info.instApp = ShellExecute(info.owner, info.verb, info.file, info.parameters,
                                info.directory, info.showCommand);
    return info.instApp > 32;
  }
  info.instApp = ok ? 42 : GetLastError();
  Record("ShellExecuteEx\t" + info.verb + '\t' + info.file + '\t' + info.parameters, ok);
  return ok;
}

void SetProgramRestarter(ProgramRestarter restarter) { g_restarter = std::move(restarter); }

bool EnablePrivilege(const std::string& privilegeName) {
  if (!CurrentMachine()) return Fail(ERROR_NOT_READY);
  const bool known = SameName(privilegeName, SE_SHUTDOWN_NAME);
  if (known)
    g_privileges.insert(UpperName(privilegeName));
  else
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
  Record("AdjustTokenPrivileges\t" + privilegeName, known);
  if (known) SetLastError(ERROR_SUCCESS);
  return known;
}

bool PrivilegeEnabled(const std::string& privilegeName) {
  return g_privileges.count(UpperName(privilegeName)) != 0;
}

bool ExitWindowsEx(unsigned flags, DWORD reason) {
  if (!CurrentMachine()) return Fail(ERROR_NOT_READY);
  const bool needsPrivilege = (flags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) != 0;
  const bool ok = !needsPrivilege || PrivilegeEnabled(SE_SHUTDOWN_NAME);
  if (!ok) SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  Record("ExitWindowsEx\t" + std::to_string(flags) + '\t' + std::to_string(reason), ok);
  return ok;
}

std::vector<std::string> ShellLog() {
  std::vector<std::string> lines;
  if (!CurrentMachine()) return lines;
  std::ifstream in(LogPath(), std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void ResetShellState() {
  g_restarter = nullptr;
  g_privileges.clear();
}

}  // namespace win
