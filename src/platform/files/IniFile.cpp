#include "platform/files/IniFile.h"

#include <charconv>
#include <cstdint>

#include "platform/files/FileSystem.h"
#include "platform/files/LineFile.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

constexpr std::size_t npos = std::string::npos;

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != npos; }

std::optional<std::int32_t> ParseInteger(const std::string& text) {
  std::string digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.erase(0, 1);
  }
  int base = 10;
  if (digits.size() > 1 && digits[0] == '$') {
    base = 16;
    digits.erase(0, 1);
  } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.erase(0, 2);
  }
  if (digits.empty() || digits[0] == '-') return std::nullopt;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (negative) value = -value;
  // Hex spellings may give the full 32 bits ("$FFFFFFFF" is -1).
  if (base == 16 && !negative && value <= 0xFFFFFFFFll) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

IniText::Line ParseIniLine(const std::string& text) {
  IniText::Line line;
  line.text = text;
  const std::string trimmed = Trim(text, kSpacesAndTabs);
  if (trimmed.empty()) {
    line.kind = IniText::LineKind::Blank;
  } else if (trimmed[0] == ';') {
    line.kind = IniText::LineKind::Comment;
  } else if (trimmed[0] == '[') {
    line.kind = IniText::LineKind::Section;
    const std::size_t close = trimmed.find(']');
    line.closed = close != npos;
    line.name = Trim(trimmed.substr(1, close == npos ? npos : close - 1), kSpacesAndTabs);
  } else if (const std::size_t eq = trimmed.find('='); eq != npos) {
    line.kind = IniText::LineKind::Entry;
    line.name = Trim(trimmed.substr(0, eq), kSpacesAndTabs);
    line.value = Unquote(Trim(trimmed.substr(eq + 1), kSpacesAndTabs));
  } else {
    line.kind = IniText::LineKind::Other;
  }
  return line;
}

IniText::IniText(const std::string& text) {
  for (const TextLine& span : SplitTextLines(text)) {
    lines_.push_back(ParseIniLine(text.substr(span.begin, span.end - span.begin)));
    lines_.back().ending = text.substr(span.end, span.next - span.end);
  }
  if (!lines_.empty() && !lines_.front().ending.empty()) newline_ = lines_.front().ending;
}

IniText::Line IniText::NewLine(const std::string& text) const {
  Line line = ParseIniLine(text);
  line.ending = newline_;
  return line;
}

std::string IniText::Text() const {
  std::string text;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    text += lines_[i].text;
    // A last line without its end gets one when lines follow it.
    text += lines_[i].ending.empty() && i + 1 < lines_.size() ? newline_ : lines_[i].ending;
  }
  return text;
}

std::size_t IniText::FindSection(const std::string& section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::Section && SameName(lines_[i].name, section)) return i;
  }
  return npos;
}

std::size_t IniText::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != LineKind::Section) ++i;
  return i;
}

std::size_t IniText::FindKey(std::size_t header, const std::string& key) const {
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == LineKind::Entry && SameName(lines_[i].name, key)) return i;
  }
  return npos;
}

bool IniText::SectionExists(const std::string& section) const {
  return FindSection(section) != npos;
}

bool IniText::ValueExists(const std::string& section, const std::string& key) const {
  return Value(section, key).has_value();
}

std::optional<std::string> IniText::Value(const std::string& section,
                                          const std::string& key) const {
  const std::size_t header = FindSection(section);
  if (header == npos) return std::nullopt;
  const std::size_t line = FindKey(header, key);
  if (line == npos) return std::nullopt;
  return lines_[line].value;
}

std::string IniText::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  return Value(section, key).value_or(defaultValue);
}

std::int32_t IniText::ReadInteger(const std::string& section, const std::string& key,
                                  std::int32_t defaultValue) const {
  const auto value = Value(section, key);
  if (!value) return defaultValue;
  return ParseInteger(*value).value_or(defaultValue);
}

std::vector<std::string> IniText::ReadSections() const {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::Section && FindSection(lines_[i].name) == i) {
      names.push_back(lines_[i].name);
    }
  }
  return names;
}

std::vector<std::string> IniText::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  const std::size_t header = FindSection(section);
  if (header == npos) return keys;
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == LineKind::Entry) keys.push_back(lines_[i].name);
  }
  return keys;
}

std::vector<std::string> IniText::ReadSectionValues(const std::string& section) const {
  std::vector<std::string> pairs;
  for (const auto& key : ReadSection(section)) {
    pairs.push_back(key + "=" + ReadString(section, key, ""));
  }
  return pairs;
}

bool IniText::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
      section.find(']') != npos || key.find('=') != npos || Trim(key, kSpacesAndTabs).empty() ||
      Trim(key, kSpacesAndTabs)[0] == ';' || Trim(key, kSpacesAndTabs)[0] == '[') {
    return false;
  }
  std::size_t header = FindSection(section);
  if (header == npos) {
    lines_.push_back(NewLine("[" + section + "]"));
    lines_.push_back(NewLine(key + "=" + value));
    return true;
  }
  const std::size_t line = FindKey(header, key);
  if (line != npos) {
    const std::string ending = lines_[line].ending;
    lines_[line] = ParseIniLine(lines_[line].name + "=" + value);
    lines_[line].ending = ending;
    return true;
  }
  // After the last line of the section that is not blank.
  std::size_t at = SectionEnd(header);
  while (at > header + 1 && lines_[at - 1].kind == LineKind::Blank) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), NewLine(key + "=" + value));
  return true;
}

bool IniText::WriteInteger(const std::string& section, const std::string& key,
                           std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniText::EraseSection(const std::string& section) {
  bool erased = false;
  for (std::size_t header = FindSection(section); header != npos; header = FindSection(section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    erased = true;
  }
  return erased;
}

bool IniText::DeleteKey(const std::string& section, const std::string& key) {
  const std::size_t header = FindSection(section);
  if (header == npos) return false;
  const std::size_t line = FindKey(header, key);
  if (line == npos) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
  return true;
}

// --- TIniFile ---------------------------------------------------------------

namespace {

// A file that starts with the UTF-16LE byte-order mark is Unicode, as
// Windows reads and rewrites it; any other is ANSI.
enum class IniEncoding { Ansi, Utf16 };

IniEncoding EncodingOf(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE ? IniEncoding::Utf16 : IniEncoding::Ansi;
}

std::string DecodeIni(const std::vector<std::uint8_t>& bytes, IniEncoding encoding) {
  if (encoding == IniEncoding::Ansi) return AnsiToUtf8(std::string(bytes.begin(), bytes.end()));
  std::u16string units;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
    units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return Utf16ToUtf8(units);
}

std::vector<std::uint8_t> EncodeIni(const std::string& text, IniEncoding encoding) {
  if (encoding == IniEncoding::Ansi) {
    const std::string ansi = Utf8ToAnsi(text);
    return std::vector<std::uint8_t>(ansi.begin(), ansi.end());
  }
  std::vector<std::uint8_t> bytes{0xFF, 0xFE};
  const std::vector<std::uint8_t> units = Utf8ToUtf16LeBytes(text, false);
  bytes.insert(bytes.end(), units.begin(), units.end());
  return bytes;
}

}  // namespace

struct TIniFile::Loaded {
  IniText text;
  IniEncoding encoding = IniEncoding::Ansi;
};

bool TIniFile::Load(Loaded& loaded) const {
  std::vector<std::uint8_t> bytes;
  loaded = Loaded();
  if (!ReadFileBytes(path_, bytes)) return GetLastError() == ERROR_FILE_NOT_FOUND;  // a missing file is empty
  loaded.encoding = EncodingOf(bytes);
  loaded.text = IniText(DecodeIni(bytes, loaded.encoding));
  return true;
}

IniText TIniFile::Load() const {
  Loaded loaded;
  Load(loaded);
  return loaded.text;
}

bool TIniFile::Store(const Loaded& loaded) {
  return WriteFileBytes(path_, EncodeIni(loaded.text.Text(), loaded.encoding));
}

template <typename Change>
bool TIniFile::Modify(Change change) {
  Loaded loaded;
  // A file that exists but cannot be read is never overwritten.
  if (!Load(loaded)) return false;
  if (!change(loaded.text)) return true;  // nothing to change: already so
  return Store(loaded);
}

bool TIniFile::SectionExists(const std::string& section) const {
  return Load().SectionExists(section);
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Load().ValueExists(section, key);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return Load().ReadString(section, key, defaultValue);
}

std::int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                                   std::int32_t defaultValue) const {
  return Load().ReadInteger(section, key, defaultValue);
}

std::vector<std::string> TIniFile::ReadSections() const { return Load().ReadSections(); }

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  return Load().ReadSection(section);
}

std::vector<std::string> TIniFile::ReadSectionValues(const std::string& section) const {
  return Load().ReadSectionValues(section);
}

bool TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  Loaded loaded;
  if (!Load(loaded)) return false;
  if (!loaded.text.WriteString(section, key, value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return Store(loaded);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key,
                            std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::EraseSection(const std::string& section) {
  return Modify([&](IniText& text) { return text.EraseSection(section); });
}

bool TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  return Modify([&](IniText& text) { return text.DeleteKey(section, key); });
}

}  // namespace win
