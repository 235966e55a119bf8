// Writing .reg files of both forms.

#include "platform/registry/RegFile.h"

#include <utility>

#include "platform/registry/RegFileStrings.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kHexDigits[] = "0123456789abcdef";
// A hex list breaks after the comma that takes its line past this column.
constexpr std::size_t kWrapColumn = 76;

void AppendEscaped(std::string& out, const std::string& text) {
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
}

// Characters of a UTF-8 line (continuation bytes not counted).
std::size_t Column(const std::string& out, std::size_t lineStart) {
  std::size_t n = 0;
  for (std::size_t i = lineStart; i < out.size(); ++i) {
    if ((static_cast<unsigned char>(out[i]) & 0xC0) != 0x80) ++n;
  }
  return n;
}

void AppendHexList(std::string& out, std::size_t lineStart, const Bytes& data) {
  std::size_t column = Column(out, lineStart);
  for (std::size_t i = 0; i < data.size(); ++i) {
    out += kHexDigits[data[i] >> 4];
    out += kHexDigits[data[i] & 0xF];
    column += 2;
    if (i + 1 == data.size()) break;
    out += ',';
    if (++column > kWrapColumn) {
      out += "\\\r\n  ";
      column = 2;
    }
  }
}

// The text of REG_SZ data that a quoted string reproduces byte for byte:
// one terminator at the end, no zero inside, no line break, and (in REGEDIT4)
// only characters of the code page.
bool QuotableText(const Bytes& data, RegFileFormat format, unsigned codePage, std::string& text) {
  const std::size_t n = data.size();
  if (n < 2 || n % 2 != 0 || data[n - 1] != 0 || data[n - 2] != 0) return false;
  for (std::size_t i = 0; i + 2 < n; i += 2) {
    if (data[i] == 0 && data[i + 1] == 0) return false;
  }
  bool ascii = true;
  for (std::size_t i = 0; i + 2 < n && ascii; i += 2) ascii = data[i] < 0x80 && data[i + 1] == 0;
  if (ascii) {
    text.clear();
    for (std::size_t i = 0; i + 2 < n; i += 2) {
      if (data[i] == '\r' || data[i] == '\n') return false;
      text += static_cast<char>(data[i]);
    }
    return true;
  }
  text = Utf16LeBytesToUtf8(data);
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  if (Utf8ToUtf16LeBytes(text, true) != data) return false;
  return format != RegFileFormat::Regedit4 ||
         AnsiToUtf8(Utf8ToAnsi(text, codePage), codePage) == text;
}

void AppendHexValue(std::string& out, std::size_t lineStart, DWORD type, const Bytes& data) {
  if (type == REG_BINARY) {
    out += "hex:";
  } else {
    out += "hex(";
    std::string digits;
    for (DWORD t = type; digits.empty() || t != 0; t >>= 4) digits.insert(digits.begin(), kHexDigits[t & 0xF]);
    out += digits;
    out += "):";
  }
  AppendHexList(out, lineStart, data);
}

void AppendValue(std::string& out, const RegFileValue& value, RegFileFormat format,
                 unsigned codePage) {
  const std::size_t lineStart = out.size();
  if (value.name.empty()) {
    out += '@';
  } else {
    out += '"';
    AppendEscaped(out, value.name);
    out += '"';
  }
  out += '=';
  std::string text;
  if (value.remove) {
    out += '-';
  } else if (value.type == REG_SZ && QuotableText(value.data, format, codePage, text)) {
    out += '"';
    AppendEscaped(out, text);
    out += '"';
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                 (static_cast<std::uint32_t>(value.data[3]) << 24);
    out += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(number >> shift) & 0xF];
  } else if (format == RegFileFormat::Regedit4 && regfile::IsStringType(value.type)) {
    // ANSI bytes, as the 9x editor writes them; data that no list carries
    // goes out as it is (a registry export refuses it first).
    const auto ansi = regfile::StringHexList(true, value.data, codePage);
    AppendHexValue(out, lineStart, value.type, ansi ? *ansi : value.data);
  } else {
    AppendHexValue(out, lineStart, value.type, value.data);
  }
  out += "\r\n";
}

}  // namespace

RegFileFormatter::RegFileFormatter(RegFileFormat format, unsigned codePage)
    : format_(format), codePage_(codePage) {
  text_ = format == RegFileFormat::Regedit4 ? "REGEDIT4\r\n" : "Windows Registry Editor Version 5.00\r\n";
  if (format != RegFileFormat::Regedit4) bytes_ = {0xFF, 0xFE};
}

void RegFileFormatter::Key(const RegFileKey& key) {
  text_ += "\r\n[";
  if (key.remove) text_ += '-';
  text_ += key.path;
  text_ += "]\r\n";
  for (const RegFileValue& value : key.values) AppendValue(text_, value, format_, codePage_);
  Flush();
}

void RegFileFormatter::End() {
  text_ += "\r\n";
  Flush();
}

// Text goes out one key at a time: UTF-16LE, or ANSI for REGEDIT4.
void RegFileFormatter::Flush() {
  if (format_ == RegFileFormat::Regedit4) {
    const std::string ansi = Utf8ToAnsi(text_, codePage_);
    bytes_.insert(bytes_.end(), ansi.begin(), ansi.end());
  } else {
    regfile::AppendUtf16Le(bytes_, text_);
  }
  text_.clear();
}

std::vector<std::uint8_t> FormatRegFile(const RegFileContent& content, unsigned codePage) {
  RegFileFormatter formatter(content.format, codePage);
  for (const RegFileKey& key : content.keys) formatter.Key(key);
  formatter.End();
  return std::move(formatter.Bytes());
}

}  // namespace win
