// UTF-8 <-> UTF-16 conversions. Bytes that do not decode and unpaired
// surrogates become U+FFFD; nothing here fails.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/TextCodec.h"
#include "platform/text/Utf8Sequence.h"

namespace win {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the UTF-16 code units from `from` up to count, unit(i) giving the
// i-th, appending them to out.
template <typename Unit>
void AppendUtf16(std::size_t from, std::size_t count, Unit unit, std::string& out) {
  out.reserve(out.size() + count - from);
  for (std::size_t i = from; i < count; ++i) {
    const char16_t u = unit(i);
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u >= 0xD800 && u < 0xDC00 && i + 1 < count && unit(i + 1) >= 0xDC00 &&
               unit(i + 1) < 0xE000) {
      const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(unit(i + 1)) - 0xDC00);
      utf8::Append(out, cp);
      ++i;
    } else if (u >= 0xD800 && u < 0xE000) {
      utf8::Append(out, kReplacement);
    } else {
      utf8::Append(out, u);
    }
  }
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = kReplacement;
    const std::size_t len = utf8::Decode(text, i, cp);
    if (len == 0) cp = kReplacement;
    i += len == 0 ? 1 : len;
    if (cp < 0x10000) {
      out += static_cast<char16_t>(cp);
    } else {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  AppendUtf16(0, text.size(), [&](std::size_t i) { return text[i]; }, out);
  return out;
}

std::vector<std::uint8_t> Utf8ToUtf16LeBytes(const std::string& text, bool terminate) {
  const std::u16string units = Utf8ToUtf16(text);
  std::vector<std::uint8_t> out;
  out.reserve(units.size() * 2 + 2);
  for (const char16_t u : units) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  if (terminate) {
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

std::string Utf16LeBytesToUtf8(const std::vector<std::uint8_t>& data) {
  std::string out;
  Utf16LeBytesToUtf8(data, out);
  return out;
}

void Utf16LeBytesToUtf8(const std::vector<std::uint8_t>& data, std::string& out) {
  std::size_t count = data.size() / 2;  // an odd last byte is ignored
  const auto unit = [&](std::size_t i) {
    return static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  };
  // ASCII up to the first other unit, byte for byte into room made at once.
  out.resize(count);
  std::size_t ascii = 0;
  for (char16_t u; ascii < count && (u = unit(ascii)) != 0 && u < 0x80; ++ascii) out[ascii] = static_cast<char>(u);
  out.resize(ascii);
  std::size_t end = ascii;
  while (end < count && unit(end) != 0) ++end;
  AppendUtf16(ascii, end, unit, out);
}

}  // namespace win
