#pragma once
// Processor figures of the real host for the load: the idle time of all
// processors (idle + iowait of /proc/stat), the monotonic clock, both in
// 100-nanosecond units, and the number of processors.

#include <cstdint>

namespace win {

struct ProcessorTimes {
  std::uint64_t idleTime = 0;
  std::uint64_t systemTime = 0;
  unsigned processors = 0;
};

// False when /proc/stat cannot be read or is damaged.
bool QueryProcessorTimes(ProcessorTimes& times);

}  // namespace win
