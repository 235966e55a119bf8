#include "platform/RegFileStrings.h"

#include <algorithm>
#include <string>

#include "platform/TextCodec.h"

namespace win::regfile {

namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendUtf16(Bytes& out, const std::string& ansi, unsigned codePage) {
  const Bytes units = Utf8ToUtf16LeBytes(AnsiToUtf8(ansi, codePage), true);
  out.insert(out.end(), units.begin(), units.end());
}

// Splits UTF-16LE bytes (even length) at zero code units.
std::vector<std::u16string> SplitUnits(const Bytes& data) {
  std::vector<std::u16string> parts(1);
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      parts.emplace_back();
    } else {
      parts.back().push_back(unit);
    }
  }
  return parts;
}

}  // namespace

bool LooksLikeAnsiStrings(DWORD type, const Bytes& data) {
  if (data.empty() || data.back() != 0) return false;
  if (type == REG_EXPAND_SZ) {
    return std::find(data.begin(), data.end(), 0) == data.end() - 1;
  }
  if (type != REG_MULTI_SZ) return false;
  if (data.size() == 1) return true;
  if (data[data.size() - 2] != 0) return false;
  for (std::size_t i = 0; i + 2 < data.size(); ++i) {
    if (data[i] == 0 && data[i + 1] == 0) return false;
  }
  return true;
}

Bytes AnsiStringsToUtf16(DWORD type, const Bytes& data, unsigned codePage) {
  Bytes out;
  if (type == REG_EXPAND_SZ) {
    AppendUtf16(out, std::string(data.begin(), std::find(data.begin(), data.end(), 0)),
                codePage);
    return out;
  }
  // "s1\0s2\0\0": the strings are the body before the final pair of zeros.
  const std::size_t bodyEnd = data.size() >= 2 ? data.size() - 2 : 0;
  if (bodyEnd == 0) return Bytes{0, 0};
  std::size_t start = 0;
  while (start <= bodyEnd) {
    std::size_t end = start;
    while (end < bodyEnd && data[end] != 0) ++end;
    AppendUtf16(out, std::string(data.begin() + static_cast<std::ptrdiff_t>(start),
                                 data.begin() + static_cast<std::ptrdiff_t>(end)),
                codePage);
    start = end + 1;
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

void AppendUtf16Le(Bytes& out, std::string_view text) {
  std::size_t ascii = 0;
  while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
  std::size_t at = out.size();
  out.resize(at + 2 * ascii);
  for (std::size_t i = 0; i < ascii; ++i, at += 2) {
    out[at] = static_cast<std::uint8_t>(text[i]);
    out[at + 1] = 0;
  }
  if (ascii < text.size()) {
    const Bytes rest = Utf8ToUtf16LeBytes(std::string(text.substr(ascii)), false);
    out.insert(out.end(), rest.begin(), rest.end());
  }
}

std::optional<Bytes> Utf16StringsToAnsi(DWORD type, const Bytes& data, unsigned codePage) {
  if (data.size() % 2 != 0 || (type != REG_EXPAND_SZ && type != REG_MULTI_SZ)) {
    return std::nullopt;
  }
  std::vector<std::u16string> parts = SplitUnits(data);
  // Parts after the last zero unit (and, for lists, after the final pair)
  // are empty in clean data; anything else fails the check below.
  if (type == REG_EXPAND_SZ) {
    parts.resize(1);
  } else if (parts.size() >= 3) {
    parts.resize(parts.size() - 2);
  } else {
    parts.clear();
  }
  Bytes ansi;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) ansi.push_back(0);
    const std::string text = Utf8ToAnsi(Utf16ToUtf8(parts[i]), codePage);
    ansi.insert(ansi.end(), text.begin(), text.end());
  }
  ansi.push_back(0);
  if (type == REG_MULTI_SZ) ansi.push_back(0);
  if (!LooksLikeAnsiStrings(type, ansi) || AnsiStringsToUtf16(type, ansi, codePage) != data) {
    return std::nullopt;
  }
  return ansi;
}

}  // namespace win::regfile
