#pragma once
// Reading the host's /proc: the processes, memory and processor services
// take their figures from here. Tests may point it at a folder of their own.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win {

// The folder read as /proc; empty restores /proc.
void SetHostProcFolder(const std::string& folder);
std::string HostProcFolder();

// A file below the proc folder ("stat", "123/status"); nullopt when it cannot
// be read (a process that ended meanwhile, no right).
std::optional<std::string> ReadHostProcFile(const std::string& relative);

// Process ids of the numeric entries, ascending.
std::vector<std::uint32_t> HostProcessIds();

// The fields of /proc/<pid>/stat that the services use.
struct HostProcStat {
  std::uint32_t pid = 0;
  std::string comm;  // the kernel's short name
  char state = '?';
  std::uint32_t parentPid = 0;
  std::uint64_t minorFaults = 0, majorFaults = 0;
  std::uint64_t userTicks = 0, kernelTicks = 0;  // clock ticks
  std::int64_t nice = 0;
  std::uint32_t threads = 0;
  std::uint64_t startTicks = 0;  // after boot
  std::uint32_t policy = 0;      // scheduling policy
};
// Parses a stat line; nullopt when it is damaged.
std::optional<HostProcStat> ParseHostProcStat(const std::string& line);
std::optional<HostProcStat> ReadHostProcStat(std::uint32_t pid);

// "Name:   value" lines of a status or meminfo file: the number of the named
// field (kB figures stay in kB); nullopt when missing.
std::optional<std::uint64_t> ProcField(const std::string& text, const std::string& name);
// "name value" lines of /proc/stat ("btime 1700000000"): the number after
// the name; nullopt when missing.
std::optional<std::uint64_t> ProcStatField(const std::string& text, const std::string& name);

// Clock ticks per second of the stat figures.
std::uint64_t HostClockTicks();

}  // namespace win
