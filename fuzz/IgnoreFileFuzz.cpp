// The registry cleaner's ignore file, loaded from the machine and queried.

#include <cstdint>
#include <vector>

#include "FuzzMachine.h"
#include "platform/files/FileSystem.h"
#include "regclean/IgnoreFileUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  if (!win::WriteFileBytes(regclean::IgnoreFilePath(), std::vector<std::uint8_t>(data, data + size))) return 0;
  TIgnoreContents list;
  regclean::LoadIgnoreList(list);
  regclean::IsIgnoredItem(list, "Shared DLLs", "HKEY_LOCAL_MACHINE\\SOFTWARE", "a.dll");
  return 0;
}
