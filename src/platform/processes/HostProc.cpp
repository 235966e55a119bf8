#include "platform/processes/HostProc.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <mutex>
#include <sstream>

namespace win {

namespace {

std::mutex folderMutex;
std::string& Folder() {
  static std::string folder = "/proc";
  return folder;
}

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

}  // namespace

void SetHostProcFolder(const std::string& folder) {
  std::lock_guard lock(folderMutex);
  Folder() = folder.empty() ? std::string("/proc") : folder;
}

std::string HostProcFolder() {
  std::lock_guard lock(folderMutex);
  return Folder();
}

std::optional<std::string> ReadHostProcFile(const std::string& relative) {
  std::ifstream in(HostProcFolder() + "/" + relative, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

std::vector<std::uint32_t> HostProcessIds() {
  std::vector<std::uint32_t> ids;
  DIR* dir = opendir(HostProcFolder().c_str());
  if (dir == nullptr) return ids;
  while (const dirent* entry = readdir(dir)) {
    std::uint32_t pid = 0;
    if (ParseNumber(std::string(entry->d_name), pid) && pid != 0) ids.push_back(pid);
  }
  closedir(dir);
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::optional<HostProcStat> ParseHostProcStat(const std::string& line) {
  // "pid (comm) state ppid ...": comm may hold blanks and parentheses.
  const std::size_t open = line.find(" (");
  const std::size_t close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  HostProcStat stat;
  if (!ParseNumber(line.substr(0, open), stat.pid)) return std::nullopt;
  stat.comm = line.substr(open + 2, close - open - 2);
  std::istringstream rest(line.substr(close + 1));
  std::vector<std::string> fields;  // fields[0] is field 3 (state)
  for (std::string field; rest >> field;) fields.push_back(field);
  if (fields.size() < 20 || fields[0].size() != 1) return std::nullopt;
  const auto field = [&](std::size_t number) -> const std::string& { return fields[number - 3]; };
  stat.state = fields[0][0];
  std::int64_t nice = 0;
  if (!ParseNumber(field(4), stat.parentPid) || !ParseNumber(field(10), stat.minorFaults) ||
      !ParseNumber(field(12), stat.majorFaults) || !ParseNumber(field(14), stat.userTicks) ||
      !ParseNumber(field(15), stat.kernelTicks) || !ParseNumber(field(19), nice) ||
      !ParseNumber(field(20), stat.threads) || !ParseNumber(field(22), stat.startTicks))
    return std::nullopt;
  stat.nice = nice;
  if (fields.size() >= 39 && !ParseNumber(field(41), stat.policy)) stat.policy = 0;
  return stat;
}

std::optional<HostProcStat> ReadHostProcStat(std::uint32_t pid) {
  const auto text = ReadHostProcFile(std::to_string(pid) + "/stat");
  if (!text) return std::nullopt;
  auto stat = ParseHostProcStat(text->substr(0, text->find('\n')));
  if (stat && stat->pid != pid) return std::nullopt;
  return stat;
}

std::optional<std::uint64_t> ProcField(const std::string& text, const std::string& name) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() <= name.size() || line.compare(0, name.size(), name) != 0 ||
        line[name.size()] != ':')
      continue;
    std::istringstream value(line.substr(name.size() + 1));
    std::string number;
    value >> number;
    std::uint64_t result = 0;
    if (ParseNumber(number, result)) return result;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> ProcStatField(const std::string& text, const std::string& name) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string first, number;
    if (!(fields >> first) || first != name) continue;
    fields >> number;
    std::uint64_t result = 0;
    if (ParseNumber(number, result)) return result;
    return std::nullopt;
  }
  return std::nullopt;
}

std::uint64_t HostClockTicks() {
  static const long ticks = sysconf(_SC_CLK_TCK);
  return ticks > 0 ? static_cast<std::uint64_t>(ticks) : 100;
}

}  // namespace win
