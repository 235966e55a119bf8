// machine.ini: parse; what parses formats and parses again to the same text.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/machine/MachineConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  win::MachineConfig config;
  std::string error;
  if (!win::ParseMachineConfig(text, "machine.ini", config, error)) return 0;
  const std::string formatted = win::FormatMachineConfig(config);
  win::MachineConfig again;
  if (!win::ParseMachineConfig(formatted, "machine.ini", again, error)) std::abort();
  if (win::FormatMachineConfig(again) != formatted) std::abort();
  return 0;
}
