#include "platform/processes/ProcessorTimes.h"

#include <time.h>

#include <sstream>
#include <string>

#include "platform/processes/HostProc.h"

namespace win {

bool QueryProcessorTimes(ProcessorTimes& times) {
  const auto stat = ReadHostProcFile("stat");
  if (!stat) return false;
  std::istringstream lines(*stat);
  bool total = false;
  unsigned processors = 0;
  std::uint64_t idleTicks = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("cpu", 0) != 0) continue;
    if (line.size() > 3 && line[3] == ' ') {
      // cpu user nice system idle iowait ...
      std::istringstream fields(line.substr(3));
      std::uint64_t user = 0, nice = 0, system = 0, idle = 0, iowait = 0;
      if (!(fields >> user >> nice >> system >> idle)) return false;
      if (!(fields >> iowait)) iowait = 0;
      idleTicks = idle + iowait;
      total = true;
    } else {
      ++processors;
    }
  }
  if (!total || processors == 0) return false;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  times.idleTime = idleTicks * (10000000 / HostClockTicks());
  times.systemTime = static_cast<std::uint64_t>(now.tv_sec) * 10000000 + static_cast<std::uint64_t>(now.tv_nsec) / 100;
  times.processors = processors;
  return true;
}

}  // namespace win
