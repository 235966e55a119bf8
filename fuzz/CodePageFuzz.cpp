// Code page conversion both ways, for a code page chosen by the first byte.

#include <cstdint>
#include <string>

#include "platform/text/TextCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const unsigned kCodePages[] = {1252, 1250, 1251, 932, 936, 949, 950, 874, 437, 65001};
  const unsigned codePage = kCodePages[data[0] % (sizeof kCodePages / sizeof kCodePages[0])];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string utf8 = win::AnsiToUtf8(text, codePage);
  win::Utf8ToAnsi(utf8, codePage);
  win::Utf8ToAnsi(text, codePage);
  win::Utf16ToUtf8(win::Utf8ToUtf16(text));
  win::Utf16LeBytesToUtf8(std::vector<std::uint8_t>(data, data + size));
  win::UpperName(text);
  for (std::size_t i = 0; i < text.size() && i < 64; ++i) {
    win::IsDBCSLeadByte(static_cast<std::uint8_t>(text[i]), codePage);
  }
  return 0;
}
