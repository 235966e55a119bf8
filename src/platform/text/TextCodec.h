#pragma once
// Text conversions: UTF-8 inside the program, UTF-16LE in the registry and in
// version 5 .reg files, the machine's ANSI code page in ANSI files.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace win {

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// Bytes of UTF-16LE with (or without) a terminating zero code unit.
std::vector<std::uint8_t> Utf8ToUtf16LeBytes(const std::string& text, bool terminate = true);
// Decodes UTF-16LE bytes up to the first zero code unit (or the end).
std::string Utf16LeBytesToUtf8(const std::vector<std::uint8_t>& data);
// The same into out, in the room it has.
void Utf16LeBytesToUtf8(const std::vector<std::uint8_t>& data, std::string& out);

// ANSI code page conversion, through iconv or the program's own table of
// the page (windows-1252, whose five undefined bytes Windows maps to U+0081,
// U+008D, U+008F, U+0090 and U+009D and back). codePage 0 means the current
// machine's code page (windows-1252 without a machine). Characters that the
// page cannot hold become '?'; bytes that do not decode become U+FFFD.
std::string Utf8ToAnsi(const std::string& text, unsigned codePage = 0);
std::string AnsiToUtf8(const std::string& text, unsigned codePage = 0);
// True when the code page holds every character of the text, so that it
// comes back unchanged through the page.
bool FitsCodePage(const std::string& text, unsigned codePage = 0);
// True when the byte starts a double-byte character in the code page.
bool IsDBCSLeadByte(std::uint8_t byte, unsigned codePage = 0);
unsigned CurrentAnsiCodePage();
// True when iconv can convert the code page both ways.
bool IsSupportedCodePage(unsigned codePage);

// Upper-cased ordinal form used for name comparisons.
std::string UpperName(const std::string& text);
bool SameName(const std::string& a, const std::string& b);
// True when UpperName(name) == upperName, without making a string for ASCII.
bool NameUppersTo(std::string_view name, const std::string& upperName);
// True when text holds part with the letters a to z taken in either case
// (an empty part is held by any text); other bytes must be equal.
bool ContainsAsciiNoCase(std::string_view text, std::string_view part);
// True when every byte is below 0x80.
bool IsAscii(std::string_view text);

// Words looked for as ContainsAsciiNoCase looks for each, all of them in one
// pass over the text.
class AsciiNoCaseWords {
 public:
  explicit AsciiNoCaseWords(const std::vector<std::string>& words);
  // True when text holds any of the words.
  bool HeldIn(std::string_view text) const;

 private:
  bool anyEmpty_ = false;
  // The words by their upper-cased first character; a character's words are
  // words_[start_[c]] up to words_[start_[c + 1]].
  std::vector<std::string> words_;
  std::array<std::uint16_t, 257> start_{};
  std::array<bool, 256> begins_{};  // by a text's byte in either case
};

// Sets of characters that Trim removes.
inline constexpr std::string_view kSpacesAndTabs = " \t";
// Every byte up to the space: the control characters and the space.
inline constexpr std::string_view kSpaceAndControls{
    "\0\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0b\x0c\r\x0e\x0f"
    "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f ",
    33};
// The text without the given characters at both ends.
std::string Trim(std::string_view text, std::string_view characters = kSpaceAndControls);
// The same part of the text, without a copy.
std::string_view TrimmedView(std::string_view text, std::string_view characters = kSpaceAndControls);

}  // namespace win
