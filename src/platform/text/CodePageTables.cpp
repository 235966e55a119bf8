#include "platform/text/CodePageTables.h"

namespace win {

namespace {

// Windows-1252 from 0x80 to 0x9F. Windows decodes the five bytes the page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) to the C1 controls of the
// same number and encodes those back, so that every byte survives a round
// trip.
constexpr char32_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

std::array<char32_t, 256> Table1252() {
  std::array<char32_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b) table[b] = b >= 0x80 && b < 0xA0 ? k1252High[b - 0x80] : b;
  return table;
}

}  // namespace

SingleByteCodePage::SingleByteCodePage(const std::array<char32_t, 256>& toUnicode) : toUnicode_(toUnicode) {
  for (unsigned b = 0; b < 256; ++b) fromUnicode_.emplace(toUnicode_[b], static_cast<unsigned char>(b));
}

std::optional<unsigned char> SingleByteCodePage::ByteOf(char32_t codePoint) const {
  const auto found = fromUnicode_.find(codePoint);
  if (found == fromUnicode_.end()) return std::nullopt;
  return found->second;
}

const SingleByteCodePage* FindSingleByteCodePage(unsigned codePage) {
  static const SingleByteCodePage page1252(Table1252());
  return codePage == 1252 ? &page1252 : nullptr;
}

}  // namespace win
