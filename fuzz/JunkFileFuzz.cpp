// "JunkFile.dat": one type per whole record; what a save writes loads back
// as the same types. (A text byte that the code page does not define reads
// as U+FFFD and is saved as "?", so the first save may change a text.)

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzMachine.h"
#include "platform/files/FileSystem.h"
#include "tools/Persrec.h"

namespace {

bool SameTypes(const std::vector<tools::TJunkFileType>& a, const std::vector<tools::TJunkFileType>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].Checked != b[i].Checked || a[i].Mask != b[i].Mask || a[i].Description != b[i].Description) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  if (!win::WriteFileBytes(tools::JunkFilePath(), std::vector<std::uint8_t>(data, data + size))) return 0;
  std::vector<tools::TJunkFileType> types;
  tools::LoadJunkTypes(types);
  if (types.size() != size / tools::kJunkRecordSize) std::abort();
  if (!tools::SaveJunkTypes(types)) return 0;
  std::vector<tools::TJunkFileType> saved;
  tools::LoadJunkTypes(saved);
  if (!tools::SaveJunkTypes(saved)) return 0;
  std::vector<tools::TJunkFileType> again;
  tools::LoadJunkTypes(again);
  if (!SameTypes(saved, again)) std::abort();
  return 0;
}
