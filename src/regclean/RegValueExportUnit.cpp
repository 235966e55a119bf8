#include "regclean/RegValueExportUnit.h"

#include <algorithm>

#include "platform/RegFileStrings.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "regclean/SectionContractUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kUpperHex[] = "0123456789ABCDEF";

bool UnicodeFile() { return PlatformCode == 4; }

std::string HexPair(std::uint8_t byte) {
  return std::string{kUpperHex[byte >> 4], kUpperHex[byte & 0xF]};
}

// "AA,BB,CC" (empty for no bytes).
std::string HexList(const Bytes& data) {
  std::string out;
  out.reserve(data.size() * 3);
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) out += ',';
    out += HexPair(data[i]);
  }
  return out;
}

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// The text of REG_SZ data when a quoted string in the file brings back these
// exact bytes: one terminator at the end, no zero or line break inside, and
// in an ANSI file only characters of the code page.
bool QuotableText(const Bytes& data, std::string& text) {
  const std::size_t n = data.size();
  if (n < 2 || n % 2 != 0 || data[n - 1] != 0 || data[n - 2] != 0) return false;
  text = win::Utf16LeBytesToUtf8(data);
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  if (win::Utf8ToUtf16LeBytes(text, true) != data) return false;
  return UnicodeFile() || FitsAnsiCodePage(text);
}

std::string HexTypeTag(std::uint32_t type) {
  if (type == win::REG_BINARY) return "hex:";
  std::string digits;
  for (std::uint32_t t = type; digits.empty() || t != 0; t >>= 4)
    digits.insert(digits.begin(), "0123456789abcdef"[t & 0xF]);
  return "hex(" + digits + "):";
}

std::string KeyLine(win::HKEY root, const std::string& subKey) {
  return "[" + JoinKeyPath(RootKeyToName(root), subKey) + "]";
}

void ExportKeyTree(win::HKEY root, const std::string& subKey, std::vector<std::string>& lines) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + subKey)) return;
  lines.push_back(KeyLine(root, subKey));
  std::vector<std::string> names;
  registry.GetValueNames(names);
  for (const std::string& name : names) {
    win::DWORD type = win::REG_NONE;
    Bytes data;
    if (registry.ReadRaw(name, type, data)) lines.push_back(FormatRegValueLine(name, type, data));
  }
  std::vector<std::string> subKeys;
  registry.GetKeyNames(subKeys);
  registry.CloseKey();
  for (const std::string& name : subKeys) ExportKeyTree(root, JoinKeyPath(subKey, name), lines);
}

}  // namespace

std::string RegFileHeaderLine() {
  switch (PlatformCode) {
    case 2: return "REGEDIT4";
    case 4: return "Windows Registry Editor Version 5.00";
    default: return std::string();
  }
}

std::string FormatRegValueLine(const std::string& valueName, std::uint32_t type,
                               const Bytes& data) {
  std::string line = valueName.empty() ? "@=" : "\"" + Escaped(valueName) + "\"=";
  std::string text;
  if (type == win::REG_SZ && QuotableText(data, text)) return line + "\"" + Escaped(text) + "\"";
  if (type == win::REG_DWORD && data.size() == 4) {
    line += "dword:";
    for (int i = 3; i >= 0; --i) line += HexPair(data[static_cast<std::size_t>(i)]);
    return line;
  }
  // Everything else as the stored bytes: for strings in a version 5 file
  // that is every character's UTF-16 code unit, the terminators included.
  // An ANSI file's string lists are read as ANSI bytes, so they go out so
  // where the code page holds the text.
  if (!UnicodeFile() && win::regfile::IsStringType(type)) {
    if (const auto ansi = win::regfile::StringDataList(true, data, 0)) {
      return line + HexTypeTag(type) + HexList(*ansi);
    }
  }
  return line + HexTypeTag(type) + HexList(data);
}

void ExportRegValue(const std::string& keyPath, const std::string& valueName,
                    std::vector<std::string>& lines) {
  win::HKEY root = 0;
  std::string subKey;
  if (!SplitFullKeyPath(keyPath, root, subKey)) return;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + subKey)) return;
  win::DWORD type = win::REG_NONE;
  Bytes data;
  if (!registry.ReadRaw(valueName, type, data)) return;
  lines.push_back(KeyLine(root, subKey));
  lines.push_back(FormatRegValueLine(valueName, type, data));
}

void ExportRegKey(const std::string& keyPath, std::vector<std::string>& lines) {
  win::HKEY root = 0;
  std::string subKey;
  if (SplitFullKeyPath(keyPath, root, subKey)) ExportKeyTree(root, subKey, lines);
}

std::string DbcsCharToRegHex(const std::string& ansiCharacter) {
  const std::u16string units = win::Utf8ToUtf16(win::AnsiToUtf8(ansiCharacter));
  const char16_t unit = units.empty() ? 0 : units.front();
  return HexPair(static_cast<std::uint8_t>(unit & 0xFF)) + "," +
         HexPair(static_cast<std::uint8_t>(unit >> 8)) + ",";
}

bool RegLinesReadBackAsWritten(const std::vector<std::string>& lines) {
  if (lines.empty() || lines.front().empty()) return false;
  return UnicodeFile() || std::all_of(lines.begin(), lines.end(), FitsAnsiCodePage);
}

Bytes RegLinesToFileBytes(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  if (!UnicodeFile()) {
    const std::string ansi = win::Utf8ToAnsi(text);
    return Bytes(ansi.begin(), ansi.end());
  }
  Bytes bytes{0xFF, 0xFE};
  const Bytes body = win::Utf8ToUtf16LeBytes(text, false);
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

}  // namespace regclean
