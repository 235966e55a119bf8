// .reg files: read, write what was read, read that again; the second read
// must give the same keys and values and skip nothing. Read in pieces (as
// imports read files), the bytes give the same content as read at once.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/registry/RegFile.h"

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

bool SameSkips(const win::RegFileContent& a, const win::RegFileContent& b) {
  if (a.skippedCount != b.skippedCount || a.skipped.size() != b.skipped.size()) return false;
  for (std::size_t i = 0; i < a.skipped.size(); ++i)
    if (a.skipped[i].line != b.skipped[i].line || a.skipped[i].what != b.skipped[i].what) return false;
  return true;
}

// The bytes in pieces of `piece`.
win::RegFileRead ReadInPieces(const std::vector<std::uint8_t>& bytes, std::size_t piece,
                              win::RegFileContent& content, std::string& error) {
  const win::ByteSource source = [&bytes, piece](const win::ByteSink& take) {
    for (std::size_t at = 0; at < bytes.size(); at += piece)
      if (!take(bytes.data() + at, std::min(piece, bytes.size() - at))) return false;
    return true;
  };
  std::vector<win::RegFileKey> keys;
  const win::RegFileRead read = win::ReadRegFileStream(source, "f.reg", 1252, content,
                                                       [&keys](win::RegFileKey& key) {
                                                         keys.push_back(std::move(key));
                                                         return true;
                                                       },
                                                       error);
  content.keys = std::move(keys);
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  win::RegFileContent first;
  std::string error;
  const bool whole = win::ReadRegFile(bytes, "f.reg", 1252, first, error);
  if (size > 0) {
    win::RegFileContent pieces;
    std::string piecesError;
    const win::RegFileRead read = ReadInPieces(bytes, 1 + data[0] % 16, pieces, piecesError);
    if ((read == win::RegFileRead::Done) != whole || piecesError != error) std::abort();
    if (whole && (!SameContent(first, pieces) || !SameSkips(first, pieces))) std::abort();
  }
  if (!whole) return 0;
  // Version 5 carries every name and every byte of data.
  first.format = win::RegFileFormat::Version5;
  win::RegFileContent second;
  if (!win::ReadRegFile(win::FormatRegFile(first, 1252), "f.reg", 1252, second, error)) std::abort();
  if (second.skippedCount != 0 || !SameContent(first, second)) std::abort();
  return 0;
}
