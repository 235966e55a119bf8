#include <gtest/gtest.h>

#include "FileSystemFixture.h"
#include "platform/text/TextCodec.h"

using namespace win;

namespace {

struct RoundTrip {
  unsigned codePage;
  const char* utf8;
  const char* ansi;
};

TEST(TextCodec, RoundTripsThroughTheCodePages) {
  const RoundTrip cases[] = {
      {1252, "plain ASCII \\ ~", "plain ASCII \\ ~"},
      {1252, "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xC5\xA0", "Gr\xFC\xDF" "e \x80 \x8A"},
      {1252, "caf\xC3\xA9\r\n", "caf\xE9\r\n"},
      // The five bytes 1252 leaves undefined are the C1 controls, as Windows has them.
      {1252, "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "\x81\x8D\x8F\x90\x9D"},
      // Japanese: "テスト表示"; the trail byte of 表 is a backslash.
      {932, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\xE8\xA1\xA8\xE7\xA4\xBA",
       "\x83" "e\x83X\x83g\x95\\\x8E\xA6"},
      {932, "ABC \xEF\xBD\xB1", "ABC \xB1"},  // half-width katakana: one byte
      {1251, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {936, "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToAnsi(c.utf8, c.codePage), c.ansi) << c.codePage << " " << c.utf8;
    EXPECT_EQ(AnsiToUtf8(c.ansi, c.codePage), c.utf8) << c.codePage << " " << c.utf8;
  }
}

TEST(TextCodec, UnmappableAndUndecodableText) {
  const struct {
    unsigned codePage;
    const char* utf8;
    const char* ansi;
  } toAnsi[] = {
      {1252, "a\xE3\x83\x86z", "a?z"},                  // テ has no place in 1252
      {1252, "\xF0\x9F\x98\x80!", "?!"},                // one character, one '?'
      {1252, "bad \xFF utf-8 \xC3", "bad ? utf-8 ?"},   // broken UTF-8
      {1252, "\xC2\x80\xC2\x9F\xED\xA0\x80", "???"},     // other C1 controls, a surrogate
      {932, "\xC3\xA9t\xC3\xA9", "?t?"},                // é has no place in 932
  };
  for (const auto& c : toAnsi) EXPECT_EQ(Utf8ToAnsi(c.utf8, c.codePage), c.ansi) << c.utf8;

  const struct {
    unsigned codePage;
    const char* ansi;
    const char* utf8;
  } toUtf8[] = {
      {932, "A\x83", "A\xEF\xBF\xBD"},                  // lead byte cut off at the end
      {932, "\xFF" "B", "\xEF\xBF\xBD" "B"},
  };
  for (const auto& c : toUtf8) EXPECT_EQ(AnsiToUtf8(c.ansi, c.codePage), c.utf8) << c.ansi;
}

// Every byte of 1252 comes back from a round trip, so that a rewrite never
// changes a line it did not touch.
TEST(TextCodec, EveryByteOf1252SurvivesARoundTrip) {
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  const std::string text = AnsiToUtf8(bytes, 1252);
  EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos);
  EXPECT_EQ(Utf8ToAnsi(text, 1252), bytes);
}

TEST(TextCodec, LeadBytesOfDoubleByteCodePages) {
  const struct {
    unsigned codePage;
    std::uint8_t byte;
    bool lead;
  } cases[] = {
      {932, 0x81, true},  {932, 0x9F, true},  {932, 0xA0, false}, {932, 0xB1, false},
      {932, 0xE0, true},  {932, 0xFC, true},  {932, 0xFD, false}, {932, 0x5C, false},
      {936, 0x81, true},  {936, 0xFE, true},  {936, 0x80, false}, {949, 0xB0, true},
      {950, 0xA4, true},  {950, 0xFF, false}, {1252, 0x81, false}, {1252, 0xE0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsDBCSLeadByte(c.byte, c.codePage), c.lead) << c.codePage << " " << int(c.byte);
  }
}

TEST(TextCodec, CurrentCodePageIsTheMachines) {
  EXPECT_EQ(CurrentAnsiCodePage(), 1252u);  // no machine
  EXPECT_EQ(Utf8ToAnsi("\xC3\xA9"), "\xE9");
  HandMachine m("[Machine]\nAnsiCodePage=932\n[Drives]\nC=fixed,drives/C\n");
  EXPECT_EQ(CurrentAnsiCodePage(), 932u);
  EXPECT_EQ(Utf8ToAnsi("\xE8\xA1\xA8"), "\x95\\");
  EXPECT_EQ(AnsiToUtf8("\x95\\"), "\xE8\xA1\xA8");
  EXPECT_TRUE(IsDBCSLeadByte(0x95));
  EXPECT_TRUE(IsSupportedCodePage(1250));
  EXPECT_TRUE(IsSupportedCodePage(874));
  EXPECT_FALSE(IsSupportedCodePage(12345));
}

}  // namespace
