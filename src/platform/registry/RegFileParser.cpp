// Reading .reg files of both forms.

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/registry/RegFile.h"
#include "platform/registry/RegFileStrings.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

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

// How the bytes of a file are text. UTF-16LE with or without BOM, UTF-8
// with BOM, or 8-bit text: ANSI, except that a version 5 header over valid
// UTF-8 is read as UTF-8.
enum class TextForm { Utf16, Utf8, Ansi };

struct TextStart {
  TextForm form = TextForm::Ansi;
  std::size_t bomSize = 0;
  bool utf8IfValid = false;  // ANSI unless the whole file is valid UTF-8
};

// From the first bytes of the file (all of it when it is short).
TextStart SniffText(const std::uint8_t* bytes, std::size_t size) {
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return {TextForm::Utf16, 2, false};
  if (size >= 2 && bytes[0] != 0 && bytes[1] == 0) return {TextForm::Utf16, 0, false};
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return {TextForm::Utf8, 3, false};
  const std::string_view raw(reinterpret_cast<const char*>(bytes), size);
  const std::size_t start = std::min(raw.find_first_not_of(" \t\r\n"), raw.size());
  return {TextForm::Ansi, 0, StartsWithNoCase(raw.substr(start), kVersion5Header)};
}

// 8-bit text is converted up to its last line break: no character of an
// ANSI code page or of UTF-8 has a byte 10 or 13 inside it.
std::size_t AfterLastBreak(std::string_view text) {
  const std::size_t at = text.find_last_of("\r\n");
  return at == std::string_view::npos ? 0 : at + 1;
}

// Turns the bytes of a file into UTF-8 text piece by piece, with the same
// result as converting the whole at once.
class TextDecoder {
 public:
  TextDecoder(TextForm form, unsigned codePage) : form_(form), codePage_(codePage) {}

  void Feed(const std::uint8_t* bytes, std::size_t size, std::string& out) {
    if (form_ == TextForm::Utf16) return FeedUtf16(bytes, size, out);
    const std::string_view piece(reinterpret_cast<const char*>(bytes), size);
    const std::size_t inPiece = AfterLastBreak(piece);
    if (inPiece == 0) {
      carry_.append(piece);
      return;
    }
    carry_.append(piece.substr(0, inPiece));
    Convert(carry_, out);
    carry_.assign(piece.substr(inPiece));
  }

  void Finish(std::string& out) {
    if (form_ == TextForm::Utf16) {
      out += Utf16ToUtf8(run_);
      run_.clear();
      return;
    }
    Convert(carry_, out);
    carry_.clear();
  }

 private:
  // ASCII directly; runs of other characters through the converter.
  void FeedUtf16(const std::uint8_t* bytes, std::size_t size, std::string& out) {
    std::size_t i = 0;
    if (oddByte_ && size > 0) {
      Unit(static_cast<char16_t>(oddLow_ | (bytes[0] << 8)), out);
      oddByte_ = false;
      i = 1;
    }
    for (; i + 1 < size; i += 2) Unit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)), out);
    if (i < size) {
      oddByte_ = true;
      oddLow_ = bytes[i];
    }
  }

  void Unit(char16_t unit, std::string& out) {
    if (unit >= 0x80) {
      run_.push_back(unit);
      return;
    }
    if (!run_.empty()) {
      out += Utf16ToUtf8(run_);
      run_.clear();
    }
    out += static_cast<char>(unit);
  }

  void Convert(std::string_view text, std::string& out) {
    if (form_ == TextForm::Utf8) {
      out.append(text);
    } else {
      out += AnsiToUtf8(std::string(text), codePage_);
    }
  }

  TextForm form_;
  unsigned codePage_;
  std::string carry_;    // 8-bit bytes after the last line break
  std::u16string run_;   // UTF-16 units of a run of non-ASCII characters
  bool oddByte_ = false;
  std::uint8_t oddLow_ = 0;
};

// Splits text fed in pieces at CR LF, LF or CR; a last line without a break
// counts only when it holds something.
class LineStream {
 public:
  template <typename Emit>
  void Feed(std::string_view text, Emit&& emit) {
    pending_.append(text);
    Split(false, emit);
  }

  template <typename Emit>
  void Finish(Emit&& emit) {
    Split(true, emit);
    if (!pending_.empty()) emit(std::string_view(pending_));
    pending_.clear();
    scanned_ = 0;
  }

 private:
  // Searches for breaks only from scanned_ on: a long line fed in many
  // pieces is scanned once.
  template <typename Emit>
  void Split(bool atEnd, Emit& emit) {
    const std::string_view text(pending_);
    std::size_t pos = 0;
    std::size_t from = scanned_;
    for (;;) {
      const std::size_t end = text.find_first_of("\r\n", std::max(pos, from));
      if (end == std::string_view::npos) {
        from = text.size();
        break;
      }
      // A CR at the end of the piece may be the first half of CR LF.
      if (text[end] == '\r' && end + 1 == text.size() && !atEnd) {
        from = end;
        break;
      }
      emit(text.substr(pos, end - pos));
      pos = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? end + 2 : end + 1;
    }
    pending_.erase(0, pos);
    scanned_ = from - pos;
  }

  std::string pending_;
  std::size_t scanned_ = 0;  // pending_ holds no break before this
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
    const std::string header = Trim(line, kSpacesAndTabs);
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

  void Skip(int line, std::string what) { RecordSkippedLine(content_, line, std::move(what)); }

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

// Feeds the lines of the text to a reader, handing out every key once a
// later one has started.
class RegTextReader {
 public:
  RegTextReader(unsigned codePage, RegFileContent& content, const RegKeyHandler& take)
      : content_(content), take_(take), reader_(codePage, content) {}

  // False once the header is missing or take refused a key.
  bool Feed(std::string_view text) {
    lines_.Feed(text, [this](std::string_view line) { Line(line); });
    return Pass(1);
  }
  bool Finish() {
    lines_.Finish([this](std::string_view line) { Line(line); });
    if (!sawHeader_) return false;
    reader_.Finish();
    return Pass(0);
  }
  bool SawHeader() const { return sawHeader_; }

 private:
  void Line(std::string_view line) {
    if (headerMissing_) return;
    if (sawHeader_) return reader_.Line(line);
    sawHeader_ = reader_.Header(line);
    headerMissing_ = !sawHeader_;
  }

  // Hands out all keys but the last `keep`.
  bool Pass(std::size_t keep) {
    if (headerMissing_ || refused_) return false;
    std::vector<RegFileKey>& keys = content_.keys;
    if (keys.size() <= keep) return true;
    const std::size_t done = keys.size() - keep;
    for (std::size_t i = 0; i < done && !refused_; ++i) refused_ = !take_(keys[i]);
    keys.erase(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(done));
    return !refused_;
  }

  RegFileContent& content_;
  const RegKeyHandler& take_;
  RegLineReader reader_;
  LineStream lines_;
  bool sawHeader_ = false;
  bool headerMissing_ = false;
  bool refused_ = false;
};

// True when every piece of 8-bit text is valid UTF-8 (pieces are cut at line
// breaks, which no UTF-8 sequence holds).
bool SourceIsUtf8(const ByteSource& source) {
  std::string carry;
  bool valid = true;
  const bool read = source([&](const std::uint8_t* bytes, std::size_t size) {
    const std::string_view piece(reinterpret_cast<const char*>(bytes), size);
    const std::size_t inPiece = AfterLastBreak(piece);
    if (inPiece == 0) {
      carry.append(piece);
      return true;
    }
    carry.append(piece.substr(0, inPiece));
    valid = ValidUtf8(carry);
    carry.assign(piece.substr(inPiece));
    return valid;
  });
  return read && valid && ValidUtf8(carry);
}

const char* const kMissingHeader =
    ": line 1: missing header \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\"";

}  // namespace

void RecordSkippedLine(RegFileContent& content, int line, std::string what) {
  ++content.skippedCount;
  auto& kept = content.skipped;
  const auto at = std::upper_bound(kept.begin(), kept.end(), line,
                                   [](int l, const RegFileSkippedLine& skipped) { return l < skipped.line; });
  if (at == kept.end() && kept.size() >= kRegFileSkipsKept) return;
  kept.insert(at, {line, std::move(what)});
  if (kept.size() > kRegFileSkipsKept) kept.pop_back();
}

RegFileRead ReadRegFileStream(const ByteSource& source, const std::string& fileName, unsigned codePage,
                              RegFileContent& content, const RegKeyHandler& take, std::string& error) {
  constexpr std::size_t kSniffSize = 4096;
  std::string head;
  source([&head](const std::uint8_t* bytes, std::size_t size) {
    head.append(reinterpret_cast<const char*>(bytes), std::min(size, kSniffSize - head.size()));
    return head.size() < kSniffSize;
  });
  TextStart start = SniffText(reinterpret_cast<const std::uint8_t*>(head.data()), head.size());
  if (start.utf8IfValid && SourceIsUtf8(source)) start.form = TextForm::Utf8;

  TextDecoder decoder(start.form, codePage);
  RegTextReader reader(codePage, content, take);
  std::string text;
  std::size_t skip = start.bomSize;
  bool stopped = false;
  const bool readOk = source([&](const std::uint8_t* bytes, std::size_t size) {
    const std::size_t skipped = std::min(skip, size);
    skip -= skipped;
    text.clear();
    decoder.Feed(bytes + skipped, size - skipped, text);
    stopped = !reader.Feed(text);
    return !stopped;
  });
  if (!readOk && !stopped) return RegFileRead::Unreadable;
  if (!stopped) {
    text.clear();
    decoder.Finish(text);
    stopped = !(reader.Feed(text) && reader.Finish());
  }
  if (!reader.SawHeader()) {
    error = fileName + kMissingHeader;
    return RegFileRead::BadHeader;
  }
  return stopped ? RegFileRead::Refused : RegFileRead::Done;
}

bool ReadRegFile(const std::vector<std::uint8_t>& bytes, const std::string& fileName,
                 unsigned codePage, RegFileContent& content, std::string& error) {
  const ByteSource whole = [&bytes](const ByteSink& take) { return take(bytes.data(), bytes.size()); };
  std::vector<RegFileKey> keys;
  const RegKeyHandler keep = [&keys](RegFileKey& key) {
    keys.push_back(std::move(key));
    return true;
  };
  RegFileContent read;
  if (ReadRegFileStream(whole, fileName, codePage, read, keep, error) != RegFileRead::Done) return false;
  read.keys = std::move(keys);
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
  TextStart start = SniffText(bytes.data(), bytes.size());
  const std::size_t bom = std::min(start.bomSize, bytes.size());
  if (start.utf8IfValid &&
      ValidUtf8(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
    start.form = TextForm::Utf8;
  }
  TextDecoder decoder(start.form, codePage);
  std::string text;
  decoder.Feed(bytes.data() + bom, bytes.size() - bom, text);
  decoder.Finish(text);
  return text;
}

}  // namespace win
