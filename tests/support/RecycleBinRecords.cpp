#include "RecycleBinRecords.h"

#include <cctype>

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"

namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

}  // namespace

Info2File ReadInfo2(char letter) {
  Info2File file;
  const std::string bin = std::string(1, letter) + ":\\Recycled";
  std::vector<std::uint8_t> b;
  if (!win::ReadFileBytes(bin + "\\INFO2", b)) return file;
  file.present = true;
  file.bytes = b.size();
  if (b.size() < 20) return file;
  file.version = U32(b, 0);
  file.recordSize = U32(b, 12);
  if (file.recordSize != 280 && file.recordSize != 800) return file;
  for (std::size_t at = 20; at + file.recordSize <= b.size(); at += file.recordSize) {
    RecycledItem item;
    std::size_t end = at;
    while (end < at + 260 && b[end] != 0) ++end;
    item.ansiPath.assign(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(end));
    item.number = U32(b, at + 260);
    item.drive = U32(b, at + 264);
    item.deletedAt = U32(b, at + 268) | (static_cast<std::uint64_t>(U32(b, at + 272)) << 32);
    item.size = U32(b, at + 276);
    if (file.recordSize == 800) {
      std::u16string wide;
      for (std::size_t i = at + 280; i + 1 < at + 800; i += 2) {
        const char16_t unit = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
        if (unit == 0) break;
        wide.push_back(unit);
      }
      item.originalPath = win::Utf16ToUtf8(wide);
    } else {
      item.originalPath = win::AnsiToUtf8(item.ansiPath);
    }
    const std::string name = item.originalPath.substr(item.originalPath.rfind('\\') + 1);
    const std::size_t dot = name.rfind('.');
    item.inBin = bin + "\\D" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) +
                 std::to_string(item.number) + (dot == std::string::npos ? "" : name.substr(dot));
    file.items.push_back(item);
  }
  return file;
}
