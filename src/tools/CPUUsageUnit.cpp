#include "tools/CPUUsageUnit.h"

#include <algorithm>
#include <cmath>

#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace tools {

namespace {

ProcessorSampler& Sampler() {
  static ProcessorSampler sampler;
  return sampler;
}

double previousIdle = 0;
double previousSystem = 0;
int previousLoad = 0;

}  // namespace

void SetProcessorSampler(ProcessorSampler sampler) { Sampler() = std::move(sampler); }

void ResetProcessorLoad() {
  previousIdle = 0;
  previousSystem = 0;
  previousLoad = 0;
}

int GetCPUUsage() {
  win::ProcessorTimes times;
  const bool sampled = Sampler() ? Sampler()(times) : win::QueryProcessorTimes(times);
  if (!sampled || times.processors == 0) return previousLoad;
  const double idle = static_cast<double>(times.idleTime);
  const double system = static_cast<double>(times.systemTime);
  if (previousIdle != 0 || previousSystem != 0) {
    const double elapsed = system - previousSystem;
    if (elapsed > 0) {
      const double load = 100.0 - (idle - previousIdle) / elapsed * 100.0 / times.processors + 0.5;
      previousLoad = static_cast<int>(std::clamp(std::nearbyint(load), 0.0, 100.0));
    }
    ProcessMessages();
  }
  previousIdle = idle;
  previousSystem = system;
  return previousLoad;
}

double GetProcessorLoad() {
  // The 9x family keeps its load in HKEY_DYN_DATA, which no machine here has.
  if (PlatformCode == 4) return GetCPUUsage();
  return 0;
}

}  // namespace tools
