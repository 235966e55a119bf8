// Shortcut files read through ShellLink (and so liblnk).

#include <cstdint>
#include <vector>

#include "FuzzMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/shell/ShellLink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  const char* const path = "C:\\fuzz.lnk";
  if (!win::WriteFileBytes(path, std::vector<std::uint8_t>(data, data + size))) return 0;
  win::ShellLink link;
  if (link.Load(path)) {
    link.GetPath();
    link.GetArguments();
  }
  return 0;
}
