#pragma once
// Single-byte Windows code pages that the program decodes and encodes itself,
// with the mapping Windows uses where iconv's differs.

#include <array>
#include <optional>
#include <unordered_map>

namespace win {

class SingleByteCodePage {
 public:
  explicit SingleByteCodePage(const std::array<char32_t, 256>& toUnicode);
  char32_t CodePointOf(unsigned char byte) const { return toUnicode_[byte]; }
  // None when the page cannot hold the code point.
  std::optional<unsigned char> ByteOf(char32_t codePoint) const;

 private:
  std::array<char32_t, 256> toUnicode_;
  std::unordered_map<char32_t, unsigned char> fromUnicode_;
};

// The page's own table; null for a page served by iconv.
const SingleByteCodePage* FindSingleByteCodePage(unsigned codePage);

}  // namespace win
