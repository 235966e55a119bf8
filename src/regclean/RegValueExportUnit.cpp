#include "regclean/RegValueExportUnit.h"

#include "platform/registry/RegFileStrings.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
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

// "HKEY_CURRENT_USER\Software\x" with the root's own spelling; false for
// an unknown root.
bool BlockPath(const std::string& keyPath, win::HKEY& root, std::string& subKey, std::string& path) {
  if (!SplitFullKeyPath(keyPath, root, subKey)) return false;
  path = JoinKeyPath(RootKeyToName(root), subKey);
  return true;
}

void ReadKeyTree(win::HKEY root, const std::string& subKey, std::vector<win::RegFileKey>& blocks) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + subKey)) return;
  win::RegFileKey block;
  block.path = JoinKeyPath(RootKeyToName(root), subKey);
  std::vector<std::string> names;
  registry.GetValueNames(names);
  for (std::string& name : names) {
    win::RegFileValue value;
    if (!registry.ReadRaw(name, value.type, value.data)) continue;
    value.name = std::move(name);
    block.values.push_back(std::move(value));
  }
  blocks.push_back(std::move(block));
  std::vector<std::string> subKeys;
  registry.GetKeyNames(subKeys);
  registry.CloseKey();
  for (const std::string& name : subKeys) ReadKeyTree(root, JoinKeyPath(subKey, name), blocks);
}

void AppendIfHeld(const std::vector<win::RegFileKey>& blocks, std::vector<std::string>& lines) {
  for (const win::RegFileKey& block : blocks) {
    if (!RegBlockRefusal(block).empty()) return;
  }
  for (const win::RegFileKey& block : blocks) AppendRegBlockLines(block, lines);
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
    if (const auto ansi = win::regfile::StringHexList(true, data, 0)) {
      return line + HexTypeTag(type) + HexList(*ansi);
    }
  }
  return line + HexTypeTag(type) + HexList(data);
}

win::RegFileFormat RegBackupFormat() {
  return UnicodeFile() ? win::RegFileFormat::Version5 : win::RegFileFormat::Regedit4;
}

bool ReadRegValueBlock(const std::string& keyPath, const std::string& valueName, win::RegFileKey& block) {
  win::HKEY root = 0;
  std::string subKey;
  block = win::RegFileKey();
  if (!BlockPath(keyPath, root, subKey, block.path)) return false;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + subKey)) return false;
  win::RegFileValue value;
  if (!registry.ReadRaw(valueName, value.type, value.data)) return false;
  value.name = valueName;
  block.values.push_back(std::move(value));
  return true;
}

void ReadRegKeyBlocks(const std::string& keyPath, std::vector<win::RegFileKey>& blocks) {
  win::HKEY root = 0;
  std::string subKey;
  if (SplitFullKeyPath(keyPath, root, subKey)) ReadKeyTree(root, subKey, blocks);
}

std::string RegBlockRefusal(const win::RegFileKey& block) {
  return win::RegFileCannotHold(block, RegBackupFormat(), 0);
}

void AppendRegBlockLines(const win::RegFileKey& block, std::vector<std::string>& lines) {
  lines.push_back("[" + block.path + "]");
  for (const win::RegFileValue& value : block.values) lines.push_back(FormatRegValueLine(value.name, value.type, value.data));
}

void ExportRegValue(const std::string& keyPath, const std::string& valueName,
                    std::vector<std::string>& lines) {
  win::RegFileKey block;
  if (ReadRegValueBlock(keyPath, valueName, block)) AppendIfHeld({block}, lines);
}

void ExportRegKey(const std::string& keyPath, std::vector<std::string>& lines) {
  std::vector<win::RegFileKey> blocks;
  ReadRegKeyBlocks(keyPath, blocks);
  AppendIfHeld(blocks, lines);
}

std::string DbcsCharToRegHex(const std::string& ansiCharacter) {
  const std::u16string units = win::Utf8ToUtf16(win::AnsiToUtf8(ansiCharacter));
  const char16_t unit = units.empty() ? 0 : units.front();
  return HexPair(static_cast<std::uint8_t>(unit & 0xFF)) + "," +
         HexPair(static_cast<std::uint8_t>(unit >> 8)) + ",";
}

Bytes RegLinesToFileBytes(const std::vector<std::string>& lines, bool fileStart) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\r\n");
  if (!UnicodeFile()) {
    const std::string ansi = win::Utf8ToAnsi(text);
    return Bytes(ansi.begin(), ansi.end());
  }
  Bytes bytes;
  if (fileStart) bytes = {0xFF, 0xFE};
  win::regfile::AppendUtf16Le(bytes, text);
  return bytes;
}

}  // namespace regclean
