// Reading .reg files of both forms.

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/RegFile.h"
#include "platform/RegFileStrings.h"
#include "platform/RegistryStore.h"
#include "platform/TextCodec.h"

namespace win {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    char b = prefix[i];
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to `maxDigits` hex digits, nothing else.
bool ParseHexNumber(std::string_view s, std::size_t maxDigits, std::uint32_t& value) {
  if (s.empty() || s.size() > maxDigits) return false;
  value = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return true;
}

// Names longer than Windows allows (counted in UTF-16 code units).
bool LongerThan(const std::string& name, std::size_t limit) {
  return name.size() > limit && Utf8ToUtf16(name).size() > limit;
}

bool ValidUtf8(const std::string& text) { return Utf16ToUtf8(Utf8ToUtf16(text)) == text; }

// The file as UTF-8 text. UTF-16LE with or without BOM, UTF-8 with BOM, or
// 8-bit text: ANSI, except that a version 5 header over valid UTF-8 is read
// as UTF-8.
std::string DecodeText(const Bytes& bytes, unsigned codePage) {
  const bool bom16 = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool plain16 = !bom16 && bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0;
  if (bom16 || plain16) {
    // ASCII directly; runs of other characters through the converter.
    std::string text;
    text.reserve(bytes.size() / 2);
    std::u16string run;
    for (std::size_t i = bom16 ? 2 : 0; i + 1 < bytes.size(); i += 2) {
      const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
      if (unit >= 0x80) {
        run.push_back(unit);
        continue;
      }
      if (!run.empty()) {
        text += Utf16ToUtf8(run);
        run.clear();
      }
      text += static_cast<char>(unit);
    }
    text += Utf16ToUtf8(run);
    return text;
  }
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    return std::string(bytes.begin() + 3, bytes.end());
  }
  std::string raw(bytes.begin(), bytes.end());
  const std::size_t start = std::min(raw.find_first_not_of(" \t\r\n"), raw.size());
  if (StartsWithNoCase(std::string_view(raw).substr(start), kVersion5Header) && ValidUtf8(raw)) {
    return raw;
  }
  return AnsiToUtf8(raw, codePage);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

class Parser {
 public:
  Parser(std::vector<std::string_view> lines, unsigned codePage)
      : lines_(std::move(lines)), codePage_(codePage) {}

  bool Run(RegFileContent& content) {
    std::size_t i = 0;
    while (i < lines_.size() && Trim(lines_[i]).empty()) ++i;
    const std::string_view header = i < lines_.size() ? Trim(lines_[i]) : std::string_view();
    if (EqualsNoCase(header, kRegedit4Header)) {
      content.format = RegFileFormat::Regedit4;
    } else if (EqualsNoCase(header, kVersion5Header)) {
      content.format = RegFileFormat::Version5;
    } else {
      return Fail(i, "missing header \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\"");
    }
    format_ = content.format;
    for (++i; i < lines_.size(); ++i) {
      const std::string_view line = Trim(lines_[i]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        if (!ParseKeyLine(line, i, content)) return false;
      } else if (line.front() == '"' || line.front() == '@') {
        if (content.keys.empty()) return Fail(i, "value outside a key");
        if (content.keys.back().remove) return Fail(i, "value in a key that is deleted");
        RegFileValue value;
        value.line = static_cast<int>(i) + 1;
        if (!ParseValue(line, i, value)) return false;
        content.keys.back().values.push_back(std::move(value));
      } else {
        return Fail(i, "not a key or value line");
      }
    }
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(std::size_t index, const std::string& what) {
    error_ = "line " + std::to_string(index + 1) + ": " + what;
    return false;
  }

  bool ParseKeyLine(std::string_view line, std::size_t index, RegFileContent& content) {
    if (line.back() != ']' || line.size() < 2) return Fail(index, "missing \"]\" in key line");
    std::string_view inner = line.substr(1, line.size() - 2);
    RegFileKey key;
    key.line = static_cast<int>(index) + 1;
    if (!inner.empty() && inner.front() == '-') {
      key.remove = true;
      inner.remove_prefix(1);
    }
    const std::size_t slash = inner.find('\\');
    const std::string_view rootName = inner.substr(0, slash);
    if (rootName != lastRootName_) {
      lastRoot_ = RootFromName(std::string(rootName));
      lastRootName_ = rootName;
    }
    if (lastRoot_ == 0) return Fail(index, "unknown root key \"" + std::string(rootName) + "\"");
    if (slash == std::string_view::npos && key.remove) return Fail(index, "a root key cannot be deleted");
    for (std::size_t start = slash; start != std::string_view::npos;) {
      const std::size_t next = inner.find('\\', start + 1);
      const std::string_view name = inner.substr(start + 1, next == std::string_view::npos ? next : next - start - 1);
      if (name.empty()) return Fail(index, "empty key name in \"" + std::string(inner) + "\"");
      if (name.size() > static_cast<std::size_t>(MAX_KEY_NAME) && LongerThan(std::string(name), MAX_KEY_NAME)) {
        return Fail(index, "key name longer than 255 characters");
      }
      start = next;
    }
    key.path = RootName(lastRoot_);
    if (slash != std::string_view::npos) key.path += inner.substr(slash);
    content.keys.push_back(std::move(key));
    return true;
  }

  // Quoted text from line[pos] (just after the opening quote) with \\ and \"
  // escapes. A quote ends the text only where `isEnd` says so at the rest of
  // the line; any other quote is part of the text.
  template <typename IsEnd>
  bool ParseQuoted(std::string_view line, std::size_t& pos, std::string& text, IsEnd isEnd) {
    while (pos < line.size()) {
      const char c = line[pos];
      if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"')) {
        text += line[pos + 1];
        pos += 2;
      } else if (c == '"' && isEnd(TrimLeft(line.substr(pos + 1)))) {
        ++pos;
        return true;
      } else {
        text += c;
        ++pos;
      }
    }
    return false;
  }

  bool ParseValue(std::string_view line, std::size_t& index, RegFileValue& value) {
    std::size_t pos = 1;
    if (line.front() == '"') {
      auto endsName = [](std::string_view rest) { return !rest.empty() && rest.front() == '='; };
      if (!ParseQuoted(line, pos, value.name, endsName)) {
        return Fail(index, "missing closing quote or \"=\" after the value name");
      }
      if (LongerThan(value.name, MAX_VALUE_NAME)) {
        return Fail(index, "value name longer than 16383 characters");
      }
    }
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') return Fail(index, "missing \"=\" after the value name");
    rest = TrimLeft(rest.substr(1));
    if (rest == "-") {
      value.remove = true;
      return true;
    }
    if (!rest.empty() && rest.front() == '"') {
      std::size_t p = 1;
      std::string text;
      auto endsData = [](std::string_view after) { return after.empty(); };
      if (!ParseQuoted(rest, p, text, endsData)) {
        return Fail(index, rest.find('"', 1) == std::string_view::npos
                               ? "missing closing quote in string data"
                               : "text after the closing quote of string data");
      }
      value.type = REG_SZ;
      value.data.reserve(text.size() * 2 + 2);
      regfile::AppendUtf16Le(value.data, text);
      value.data.insert(value.data.end(), {0, 0});
      return true;
    }
    if (StartsWithNoCase(rest, "dword:")) {
      std::uint32_t number = 0;
      if (!ParseHexNumber(Trim(rest.substr(6)), 8, number)) {
        return Fail(index, "dword data is not 1 to 8 hex digits");
      }
      value.type = REG_DWORD;
      value.data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                    static_cast<std::uint8_t>(number >> 16),
                    static_cast<std::uint8_t>(number >> 24)};
      return true;
    }
    if (StartsWithNoCase(rest, "hex:")) {
      value.type = REG_BINARY;
      return ParseHexList(rest.substr(4), index, value.data);
    }
    if (StartsWithNoCase(rest, "hex(")) {
      const std::size_t close = rest.find("):");
      if (close == std::string_view::npos || !ParseHexNumber(rest.substr(4, close - 4), 8, value.type)) {
        return Fail(index, "bad value type in \"hex(...)\"");
      }
      if (!ParseHexList(rest.substr(close + 2), index, value.data)) return false;
      if (format_ == RegFileFormat::Regedit4 &&
          regfile::LooksLikeAnsiStrings(value.type, value.data)) {
        value.data = regfile::AnsiStringsToUtf16(value.type, value.data, codePage_);
      }
      return true;
    }
    return Fail(index, "unknown value data \"" + std::string(rest.substr(0, 20)) + "\"");
  }

  // Comma-separated bytes, continued on the next line after a trailing
  // backslash. `index` ends at the last line of the list.
  bool ParseHexList(std::string_view segment, std::size_t& index, Bytes& data) {
    data.reserve(TrimLeft(segment).size() / 3 + 1);
    while (true) {
      segment = Trim(segment);
      const bool continued = !segment.empty() && segment.back() == '\\';
      if (continued) segment = TrimRight(segment.substr(0, segment.size() - 1));
      while (!segment.empty()) {
        const std::size_t comma = segment.find(',');
        const std::string_view token = Trim(segment.substr(0, comma));
        std::uint32_t byte = 0;
        if (!ParseHexNumber(token, 2, byte)) {
          return Fail(index, token.empty() ? std::string("missing hex byte")
                                           : "bad hex byte \"" + std::string(token.substr(0, 20)) + "\"");
        }
        data.push_back(static_cast<std::uint8_t>(byte));
        if (comma == std::string_view::npos) break;
        segment.remove_prefix(comma + 1);
        // A trailing comma is fine only before the continuation backslash.
        if (Trim(segment).empty() && !continued) return Fail(index, "missing hex byte after \",\"");
      }
      if (!continued) return true;
      if (index + 1 >= lines_.size()) return Fail(index, "file ends after \"\\\"");
      segment = lines_[++index];
    }
  }

  std::vector<std::string_view> lines_;
  unsigned codePage_;
  RegFileFormat format_ = RegFileFormat::Version5;
  std::string error_;
  // The root of the previous key line, looked up again only when it changes.
  std::string_view lastRootName_;
  HKEY lastRoot_ = 0;
};

}  // namespace

bool ParseRegFile(const std::vector<std::uint8_t>& bytes, const std::string& fileName,
                  unsigned codePage, RegFileContent& content, std::string& error) {
  const std::string text = DecodeText(bytes, codePage);
  Parser parser(SplitLines(text), codePage);
  RegFileContent parsed;
  if (!parser.Run(parsed)) {
    error = fileName + ": " + parser.Error();
    return false;
  }
  content = std::move(parsed);
  return true;
}

}  // namespace win

namespace win {

std::string DecodeRegFileText(const std::vector<std::uint8_t>& bytes, unsigned codePage) {
  return DecodeText(bytes, codePage);
}

}  // namespace win
