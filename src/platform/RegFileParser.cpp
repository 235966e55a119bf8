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
constexpr std::string_view kRegedit31Header = "REGEDIT";
constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";

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

// Splits text at CR LF, LF or CR.
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text) : rest_(text) {}

  bool Next(std::string_view& line) {
    if (done_) return false;
    const std::size_t end = rest_.find_first_of("\r\n");
    line = rest_.substr(0, end);
    if (end == std::string_view::npos) {
      done_ = true;
      return !line.empty();
    }
    const std::size_t after = rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n'
                                  ? end + 2
                                  : end + 1;
    rest_.remove_prefix(after);
    return true;
  }

 private:
  std::string_view rest_;
  bool done_ = false;
};

bool IsHexDigit(char c) { return HexDigit(c) >= 0; }

// Nothing, or only a comment, is left.
bool EndsLine(std::string_view rest) {
  rest = TrimLeft(rest);
  return rest.empty() || rest.front() == ';';
}

enum class HexStep { Done, More, Bad };

// One line's part of a hex list, appended to data: "More" after a trailing
// backslash. A backslash must follow a comma (or stand alone); only blanks
// and a ";" comment may follow it.
HexStep ReadHexBytes(std::string_view s, Bytes& data, std::string& why) {
  std::size_t i = 0;
  const auto skipBlanks = [&] {
    while (i < s.size() && IsBlank(s[i])) ++i;
  };
  while (true) {
    skipBlanks();
    if (i == s.size() || s[i] == ';') return HexStep::Done;
    if (s[i] == '\\') {
      ++i;
      if (EndsLine(s.substr(i))) return HexStep::More;
      why = "text after \"\\\" in hex data";
      return HexStep::Bad;
    }
    if (!IsHexDigit(s[i])) {
      why = s[i] == ',' ? "missing hex byte" : "bad hex byte \"" + std::string(s.substr(i, 20)) + "\"";
      return HexStep::Bad;
    }
    std::size_t digits = 1;
    while (i + digits < s.size() && IsHexDigit(s[i + digits])) ++digits;
    if (digits > 2) {
      why = "bad hex byte \"" + std::string(s.substr(i, std::min<std::size_t>(digits, 20))) + "\"";
      return HexStep::Bad;
    }
    const int low = HexDigit(s[i + digits - 1]);
    data.push_back(static_cast<std::uint8_t>(digits == 2 ? (HexDigit(s[i]) << 4) | low : low));
    i += digits;
    if (i < s.size() && s[i] == ',') {
      ++i;
      continue;
    }
    if (EndsLine(s.substr(i))) return HexStep::Done;
    why = s[i] == '\\' ? "\"\\\" without \",\" after a hex byte"
                       : "text after hex byte: \"" + std::string(TrimLeft(s.substr(i)).substr(0, 20)) + "\"";
    return HexStep::Bad;
  }
}

// Quoted text from s[pos] (just after the opening quote) to the first
// unescaped quote; \\ and \" are the only escapes.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& text, std::string& why) {
  while (pos < s.size()) {
    const char c = s[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (pos + 1 >= s.size()) break;
      const char next = s[pos + 1];
      if (next != '\\' && next != '"') {
        why = std::string("unknown escape \"\\") + next + "\" in quoted text";
        return false;
      }
      text += next;
      pos += 2;
      continue;
    }
    text += c;
    ++pos;
  }
  why = "missing closing quote";
  return false;
}

// Reads a .reg file line by line as regedit applies it: each line either
// adds to the content or is recorded as skipped. Lines come without their
// line breaks, so a reader of any source can feed them.
class RegLineReader {
 public:
  RegLineReader(unsigned codePage, RegFileContent& content) : codePage_(codePage), content_(content) {}

  // The first line; false when it is no header.
  bool Header(std::string_view line) {
    line_ = 1;
    const std::string_view header = Trim(line);
    if (header == kRegedit4Header) {
      content_.format = RegFileFormat::Regedit4;
    } else if (header == kVersion5Header) {
      content_.format = RegFileFormat::Version5;
    } else if (header == kRegedit31Header) {
      content_.format = RegFileFormat::Regedit31;
    } else {
      return false;
    }
    return true;
  }

  void Line(std::string_view line) {
    ++line_;
    if (line.find('\0') != std::string_view::npos) {
      if (inHex_) DropHexValue(line);
      Skip(line_, "NUL character in the line");
      return;
    }
    if (content_.format == RegFileFormat::Regedit31) {
      Regedit31Line(line);
    } else if (inHex_) {
      ContinueHex(line);
    } else {
      StartLine(line);
    }
  }

  // End of file: a hex list still open keeps the bytes read so far.
  void Finish() {
    if (inHex_) {
      inHex_ = false;
      Commit(std::move(pending_), true);
    }
  }

 private:
  enum class KeyState { None, Open, Deleted };

  void Skip(int line, std::string what) {
    ++content_.skippedCount;
    if (content_.skipped.size() < kRegFileSkipsKept) content_.skipped.push_back({line, std::move(what)});
  }

  void StartLine(std::string_view line) {
    const std::string_view s = TrimLeft(line);
    if (s.empty() || s.front() == ';' || s.front() == '#') return;
    if (s.front() == '[') {
      KeyLine(s);
    } else if (s.front() == '"' || s.front() == '@') {
      ValueLine(s);
    } else {
      Skip(line_, "not a key or value line");
    }
  }

  // The full path of a key, root name as the system spells it; empty with
  // `why` set when regedit cannot open it. Trailing backslashes name the key
  // itself.
  std::string KeyPath(std::string_view inner, bool remove, std::string& why) {
    while (!inner.empty() && inner.back() == '\\') inner.remove_suffix(1);
    const std::size_t slash = inner.find('\\');
    const std::string_view rootName = inner.substr(0, slash);
    if (rootName != lastRootName_) {
      lastRoot_ = RootFromName(std::string(rootName));
      lastRootName_ = rootName;
    }
    if (lastRoot_ == 0) {
      why = "unknown root key \"" + std::string(rootName.substr(0, 40)) + "\"";
      return {};
    }
    if (slash == std::string_view::npos && remove) {
      why = "a root key cannot be deleted";
      return {};
    }
    for (std::size_t start = slash; start != std::string_view::npos;) {
      const std::size_t next = inner.find('\\', start + 1);
      const std::string_view name =
          inner.substr(start + 1, next == std::string_view::npos ? next : next - start - 1);
      if (name.empty()) {
        why = "empty key name in \"" + std::string(inner.substr(0, 300)) + "\"";
        return {};
      }
      if (name.size() > static_cast<std::size_t>(MAX_KEY_NAME) &&
          LongerThan(std::string(name), MAX_KEY_NAME)) {
        why = "key name longer than 255 characters";
        return {};
      }
      start = next;
    }
    std::string path = RootName(lastRoot_);
    if (slash != std::string_view::npos) path += inner.substr(slash);
    return path;
  }

  void KeyLine(std::string_view s) {
    keyState_ = KeyState::None;
    if (s.size() > 1 && IsBlank(s[1])) return Skip(line_, "blank after \"[\" in key line");
    // Key names may hold "]": the last one closes the line.
    const std::size_t close = s.rfind(']');
    if (close == std::string_view::npos) return Skip(line_, "missing \"]\" in key line");
    std::string_view inner = s.substr(1, close - 1);
    const bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    std::string why;
    std::string path = KeyPath(inner, remove, why);
    if (path.empty()) return Skip(line_, why);
    RegFileKey key;
    key.path = std::move(path);
    key.remove = remove;
    key.line = line_;
    content_.keys.push_back(std::move(key));
    keyState_ = remove ? KeyState::Deleted : KeyState::Open;
  }

  void ValueLine(std::string_view s) {
    RegFileValue value;
    value.line = line_;
    std::size_t pos = 1;
    std::string why;
    if (s.front() == '"') {
      if (!ReadQuoted(s, pos, value.name, why)) return Skip(line_, why + " in the value name");
      if (LongerThan(value.name, MAX_VALUE_NAME)) {
        return Skip(line_, "value name longer than 16383 characters");
      }
    }
    while (pos < s.size() && IsBlank(s[pos])) ++pos;
    if (pos >= s.size() || s[pos] != '=') return Skip(line_, "missing \"=\" after the value name");
    const std::string_view rest = TrimLeft(s.substr(pos + 1));
    if (!rest.empty() && rest.front() == '-') {
      if (!EndsLine(rest.substr(1))) return Skip(line_, "text after \"=-\"");
      value.remove = true;
      return Commit(std::move(value));
    }
    if (!rest.empty() && rest.front() == '"') {
      std::size_t p = 1;
      std::string text;
      if (!ReadQuoted(rest, p, text, why)) return Skip(line_, why + " in string data");
      if (!EndsLine(rest.substr(p))) return Skip(line_, "text after the closing quote of string data");
      value.type = REG_SZ;
      value.data.reserve(text.size() * 2 + 2);
      regfile::AppendUtf16Le(value.data, text);
      value.data.insert(value.data.end(), {0, 0});
      return Commit(std::move(value));
    }
    if (StartsWithNoCase(rest, "dword:")) {
      const std::string_view digits = TrimLeft(rest.substr(6));
      std::size_t n = 0;
      while (n < digits.size() && IsHexDigit(digits[n])) ++n;
      std::uint32_t number = 0;
      if (!ParseHexNumber(digits.substr(0, n), 8, number) || !EndsLine(digits.substr(n))) {
        return Skip(line_, "dword data is not 1 to 8 hex digits");
      }
      value.type = REG_DWORD;
      value.data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                    static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
      return Commit(std::move(value));
    }
    std::size_t listStart = 0;
    if (StartsWithNoCase(rest, "hex:")) {
      value.type = REG_BINARY;
      listStart = 4;
    } else if (StartsWithNoCase(rest, "hex(")) {
      const std::size_t close = rest.find(')');
      if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':' ||
          !ParseHexNumber(rest.substr(4, close - 4), 8, value.type)) {
        return Skip(line_, "bad value type in \"hex(...)\"");
      }
      listStart = close + 2;
    } else {
      return Skip(line_, "unknown value data \"" + std::string(rest.substr(0, 20)) + "\"");
    }
    value.data.reserve((rest.size() - listStart) / 3 + 1);
    switch (ReadHexBytes(rest.substr(listStart), value.data, why)) {
      case HexStep::Done:
        return Commit(std::move(value), true);
      case HexStep::More:
        inHex_ = true;
        pending_ = std::move(value);
        return;
      case HexStep::Bad:
        return Skip(line_, why);
    }
  }

  // A line after a trailing backslash: blank lines and ";" comments are
  // passed over; a line that does not start with a hex digit ends the value
  // unset and is not read again.
  void ContinueHex(std::string_view line) {
    const std::string_view s = TrimLeft(line);
    if (s.empty() || s.front() == ';') return;
    if (!IsHexDigit(s.front())) return DropHexValue(s);
    std::string why;
    switch (ReadHexBytes(s, pending_.data, why)) {
      case HexStep::Done:
        inHex_ = false;
        return Commit(std::move(pending_), true);
      case HexStep::More:
        return;
      case HexStep::Bad:
        inHex_ = false;
        return Skip(line_, why + " (value of line " + std::to_string(pending_.line) + " not set)");
    }
  }

  void DropHexValue(std::string_view s) {
    inHex_ = false;
    Skip(pending_.line, "hex data continued at line " + std::to_string(line_) + " by a line that is not hex bytes");
    if (!s.empty() && (s.front() == '"' || s.front() == '@' || s.front() == '[')) {
      Skip(line_, "read as part of the hex data above, not applied");
    }
  }

  void Commit(RegFileValue value, bool fromHex = false) {
    if (fromHex && regfile::IsStringType(value.type)) {
      value.data = regfile::StringListData(content_.format == RegFileFormat::Regedit4, value.data, codePage_);
    }
    if (keyState_ == KeyState::Open) {
      content_.keys.back().values.push_back(std::move(value));
    } else {
      Skip(value.line, keyState_ == KeyState::Deleted ? "value in a key that is deleted"
                                                       : "value without a valid key line before it");
    }
  }

  // "HKEY_CLASSES_ROOT\path = value": the key ends at the first blank; one
  // "=" and one blank after it are passed over.
  void Regedit31Line(std::string_view line) {
    if (line.substr(0, kClassesRoot.size()) != kClassesRoot) {
      const std::string_view s = TrimLeft(line);
      if (!s.empty() && s.front() != ';' && s.front() != '#') {
        Skip(line_, "not a \"HKEY_CLASSES_ROOT\" line");
      }
      return;
    }
    std::size_t keyEnd = 0;
    while (keyEnd < line.size() && !IsBlank(line[keyEnd])) ++keyEnd;
    std::size_t pos = keyEnd;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos < line.size() && line[pos] == '=') ++pos;
    if (pos < line.size() && line[pos] == ' ') ++pos;
    std::string why;
    std::string path = KeyPath(line.substr(0, keyEnd), false, why);
    if (path.empty()) return Skip(line_, why);
    RegFileValue value;
    value.type = REG_SZ;
    value.line = line_;
    regfile::AppendUtf16Le(value.data, line.substr(pos));
    value.data.insert(value.data.end(), {0, 0});
    RegFileKey key;
    key.path = std::move(path);
    key.line = line_;
    key.values.push_back(std::move(value));
    content_.keys.push_back(std::move(key));
  }

  unsigned codePage_;
  RegFileContent& content_;
  int line_ = 0;
  KeyState keyState_ = KeyState::None;
  bool inHex_ = false;
  RegFileValue pending_;
  // The root of the previous key line, looked up again only when it changes.
  std::string lastRootName_;
  HKEY lastRoot_ = 0;
};

}  // namespace

bool ReadRegFile(const std::vector<std::uint8_t>& bytes, const std::string& fileName,
                 unsigned codePage, RegFileContent& content, std::string& error) {
  const std::string text = DecodeText(bytes, codePage);
  LineSplitter lines(text);
  RegFileContent read;
  RegLineReader reader(codePage, read);
  std::string_view line;
  if (!lines.Next(line) || !reader.Header(line)) {
    error = fileName + ": line 1: missing header \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\"";
    return false;
  }
  while (lines.Next(line)) reader.Line(line);
  reader.Finish();
  content = std::move(read);
  return true;
}

bool ParseRegFile(const std::vector<std::uint8_t>& bytes, const std::string& fileName,
                  unsigned codePage, RegFileContent& content, std::string& error) {
  RegFileContent read;
  if (!ReadRegFile(bytes, fileName, codePage, read, error)) return false;
  if (read.skippedCount > 0) {
    error = fileName + ": line " + std::to_string(read.skipped[0].line) + ": " + read.skipped[0].what;
    return false;
  }
  content = std::move(read);
  return true;
}

std::string SkippedLinesMessage(const std::string& fileName, const RegFileContent& content) {
  if (content.skipped.empty()) return {};
  std::string message =
      fileName + ": line " + std::to_string(content.skipped[0].line) + ": " + content.skipped[0].what;
  if (content.skippedCount > 1) {
    message += " (" + std::to_string(content.skippedCount) + " lines skipped)";
  }
  return message;
}

}  // namespace win

namespace win {

std::string DecodeRegFileText(const std::vector<std::uint8_t>& bytes, unsigned codePage) {
  return DecodeText(bytes, codePage);
}

}  // namespace win
