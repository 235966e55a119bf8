#pragma once
// Decoding and encoding of single UTF-8 sequences, shared by the text
// conversions and the name comparisons.

#include <cstddef>
#include <string>

namespace win::utf8 {

// Length of the well-formed UTF-8 sequence at text[i], with its code point in
// cp; 0 when the bytes there are not one (overlong forms and surrogates
// included).
inline std::size_t Decode(const std::string& text, std::size_t i, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  std::size_t len = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    len = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    len = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    len = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
  return len;
}

inline void Append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace win::utf8
