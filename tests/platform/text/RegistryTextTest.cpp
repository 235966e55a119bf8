// Name comparison and UTF-16 conversion used by the registry.

#include <gtest/gtest.h>

#include "platform/text/TextCodec.h"

using namespace win;

TEST(NameCase, UpperCasesPerCodePoint) {
  struct Case {
    std::string a;
    std::string b;
    bool same;
  };
  const Case cases[] = {
      {"Software", "SOFTWARE", true},
      {"äöü ÿ", "ÄÖÜ Ÿ", true},
      {"ĳ ő ŉ", "Ĳ Ő ŉ", true},
      {"σς", "ΣΣ", true},
      {"жёѣ", "ЖЁѢ", true},
      {"ａｂ", "ＡＢ", true},
      {"straße", "STRASSE", false},  // no case folding to several letters
      {"ı", "I", false},             // a non-ASCII letter never matches ASCII
      {"ſ", "S", false},
      {"a_", "A_", true},
      {"_", "-", false},
      {"😀", "😀", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameName(c.a, c.b), c.same) << c.a << " / " << c.b;
  }
  EXPECT_EQ(UpperName("mixed Ünïcode ß"), "MIXED ÜNÏCODE ß");
  // Bytes that are not UTF-8 stay as they are.
  EXPECT_EQ(UpperName(std::string("a\xFF\xC3z\x80", 5)), std::string("A\xFF\xC3Z\x80", 5));
  EXPECT_EQ(UpperName(std::string("\0a", 2)), std::string("\0A", 2));
}

TEST(Utf16, ConvertsBothWaysAndReplacesWhatDoesNotDecode) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"", u""},
      {"plain", u"plain"},
      {"Grüße", u"Grüße"},
      {"日本", u"日本"},
      {"😀x", u"😀x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
    EXPECT_EQ(Utf16LeBytesToUtf8(Utf8ToUtf16LeBytes(c.utf8)), c.utf8) << c.utf8;
    EXPECT_EQ(Utf8ToUtf16LeBytes(c.utf8).size(), 2 * c.utf16.size() + 2) << c.utf8;
    EXPECT_EQ(Utf8ToUtf16LeBytes(c.utf8, false).size(), 2 * c.utf16.size()) << c.utf8;
  }
  struct Bad {
    std::string utf8;
    std::u16string utf16;
  };
  const Bad bad[] = {
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\xC3", u"\uFFFD"},                  // cut sequence
      {"\xC0\xAF", u"\uFFFD\uFFFD"},        // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
  };
  for (const Bad& b : bad) EXPECT_EQ(Utf8ToUtf16(b.utf8), b.utf16);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\uFFFDb");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00)}), "\uFFFD");
}

TEST(Utf16, LittleEndianBytesStopAtTheFirstZeroUnit) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::string text;
  };
  const Case cases[] = {
      {{}, ""},
      {{'a'}, ""},                      // odd byte alone
      {{'a', 0, 'b'}, "a"},             // odd byte at the end
      {{'a', 0, 0, 0, 'b', 0}, "a"},    // stops at the terminator
      {{0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE}, "é😀"},
      {{0x3D, 0xD8}, "\uFFFD"},         // lone high surrogate
      {{'a', 0, 0xE9, 0, 'b', 0, 0, 0, 'c', 0}, "a\u00E9b"},  // ASCII, other, ASCII, end
      {{'a', 0, 'b', 0, 0x3D, 0xD8, 0, 0}, "ab\uFFFD"},      // a pair cut by the terminator
      {{'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 'z', 0}, "a😀z"},
  };
  // Into a text kept from case to case, as into a fresh one.
  std::string kept = "left over from before";
  for (const Case& c : cases) {
    EXPECT_EQ(Utf16LeBytesToUtf8(c.bytes), c.text);
    Utf16LeBytesToUtf8(c.bytes, kept);
    EXPECT_EQ(kept, c.text);
  }
}
