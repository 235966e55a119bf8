#pragma once
// Processor load between two samples of the processors' idle time and the
// clock. The state lives for the whole run of the program.

#include <functional>

#include "platform/processes/ProcessorTimes.h"

namespace tools {

// Where samples come from (tests replace it); an empty function restores
// the host's figures.
using ProcessorSampler = std::function<bool(win::ProcessorTimes&)>;
void SetProcessorSampler(ProcessorSampler sampler);
// Forgets the previous sample (tests).
void ResetProcessorLoad();

// Load in percent, 0..100: 0 at the first sample; the previous value when a
// sample fails or no time has passed. Lets pending messages through after
// each computed sample.
int GetCPUUsage();
// GetCPUUsage on the NT family; 0 elsewhere (the 9x statistics are not
// emulated).
double GetProcessorLoad();

}  // namespace tools
