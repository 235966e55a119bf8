// .reg files: read, write what was read, read that again; the second read
// must give the same keys and values and skip nothing.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/RegFile.h"

namespace {

bool SameContent(const win::RegFileContent& a, const win::RegFileContent& b) {
  if (a.keys.size() != b.keys.size()) return false;
  for (std::size_t i = 0; i < a.keys.size(); ++i) {
    const win::RegFileKey& x = a.keys[i];
    const win::RegFileKey& y = b.keys[i];
    if (x.path != y.path || x.remove != y.remove || x.values.size() != y.values.size()) return false;
    for (std::size_t j = 0; j < x.values.size(); ++j) {
      const win::RegFileValue& v = x.values[j];
      const win::RegFileValue& w = y.values[j];
      if (v.name != w.name || v.remove != w.remove || (!v.remove && (v.type != w.type || v.data != w.data))) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  win::RegFileContent first;
  std::string error;
  if (!win::ReadRegFile(bytes, "f.reg", 1252, first, error)) return 0;
  // Version 5 carries every name and every byte of data.
  first.format = win::RegFileFormat::Version5;
  win::RegFileContent second;
  if (!win::ReadRegFile(win::FormatRegFile(first, 1252), "f.reg", 1252, second, error)) std::abort();
  if (second.skippedCount != 0 || !SameContent(first, second)) std::abort();
  return 0;
}
