// What a .reg file can hold, and the proof that a written file brings back
// what it was written for.

#include <string_view>

#include "platform/registry/RegFile.h"
#include "platform/registry/RegFileStrings.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

std::string Shown(std::string_view name) {
  constexpr std::size_t kShownBytes = 300;
  std::string out;
  std::size_t i = 0;
  for (; i < name.size() && out.size() < kShownBytes; ++i) {
    switch (name[i]) {
      case '\r': out += "<CR>"; break;
      case '\n': out += "<LF>"; break;
      case '\0': out += "<NUL>"; break;
      default: out += name[i];
    }
  }
  if (i < name.size()) {
    // Cut before the character the limit fell into.
    while (i > 0 && (static_cast<unsigned char>(name[i]) & 0xC0) == 0x80) {
      --i;
      out.pop_back();
    }
    out += "...";
  }
  return out;
}

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Why a file cannot hold a name; null when it can.
const char* NameFault(std::string_view name, std::size_t limit, RegFileFormat format, unsigned codePage) {
  if (name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    return "a name holds a line break or a NUL character";
  }
  if (IsAscii(name)) return name.size() > limit ? "a name is too long" : nullptr;
  const std::string text(name);
  const std::u16string units = Utf8ToUtf16(text);
  if (Utf16ToUtf8(units) != text) return "a name is not valid text";
  if (units.size() > limit) return "a name is too long";
  if (format == RegFileFormat::Regedit4 && !FitsCodePage(text, codePage)) {
    return "a name holds characters that the code page cannot hold";
  }
  return nullptr;
}

// Why a file cannot hold a key path; null when it can.
const char* PathFault(const std::string& path, RegFileFormat format, unsigned codePage) {
  std::size_t start = path.find('\\');
  if (RootFromName(path.substr(0, start)) == 0) return "the root key is unknown";
  while (start != std::string::npos) {
    const std::size_t next = path.find('\\', start + 1);
    const std::string_view name =
        std::string_view(path).substr(start + 1, next == std::string::npos ? next : next - start - 1);
    if (name.empty()) return "a key name is empty";
    if (const char* fault = NameFault(name, MAX_KEY_NAME, format, codePage)) return fault;
    start = next;
  }
  return nullptr;
}

std::string ValueWords(const RegFileValue& value, const std::string& keyPath) {
  const std::string key = "the key \"" + Shown(keyPath) + "\"";
  if (value.name.empty()) return "the unnamed value of " + key;
  return "the value \"" + Shown(value.name) + "\" of " + key;
}

std::string AtLine(int line) { return "line " + std::to_string(line) + ": "; }

std::string ValueLabel(const RegFileValue& value) {
  return value.name.empty() ? std::string("@") : "\"" + Shown(value.name) + "\"";
}

// The first way `read` differs from `meant`; empty when it does not.
std::string KeyDifference(const RegFileKey& meant, const RegFileKey& read) {
  const std::string at = AtLine(read.line);
  if (read.remove) return at + "deletes the key " + Shown(read.path);
  if (read.path != meant.path) return at + "key " + Shown(read.path) + " instead of " + Shown(meant.path);
  for (std::size_t i = 0; i < read.values.size(); ++i) {
    const RegFileValue& value = read.values[i];
    const std::string valueAt = AtLine(value.line > 0 ? value.line : read.line);
    if (value.remove) return valueAt + "deletes the value " + ValueLabel(value) + " of " + Shown(read.path);
    if (i >= meant.values.size()) return valueAt + "value " + ValueLabel(value) + " was not written";
    if (!SameRegValue(meant.values[i], value)) {
      return valueAt + "value " + ValueLabel(value) + " does not bring back " + ValueLabel(meant.values[i]);
    }
  }
  if (meant.values.size() > read.values.size()) {
    return at + "value " + ValueLabel(meant.values[read.values.size()]) + " of " + Shown(meant.path) + " is missing";
  }
  return {};
}

}  // namespace

std::string ShownRegName(const std::string& name) { return Shown(name); }

std::string RegFileCannotHold(const RegFileKey& key, RegFileFormat format, unsigned codePage) {
  if (const char* fault = PathFault(key.path, format, codePage)) {
    return "the key \"" + Shown(key.path) + "\": " + fault;
  }
  for (const RegFileValue& value : key.values) {
    if (const char* fault = NameFault(value.name, MAX_VALUE_NAME, format, codePage)) {
      return ValueWords(value, key.path) + ": " + fault;
    }
    if (format == RegFileFormat::Regedit4 && !value.remove && regfile::IsStringType(value.type) &&
        !regfile::StringHexList(true, value.data, codePage)) {
      return "the data of " + ValueWords(value, key.path) +
             ": its text cannot be written in the code page (characters outside it, an odd length or a "
             "lone surrogate)";
    }
  }
  return {};
}

bool SameRegValue(const RegFileValue& meant, const RegFileValue& read) {
  if (meant.name != read.name || meant.remove != read.remove || meant.type != read.type) return false;
  if (meant.remove) return true;
  return regfile::IsStringType(meant.type) ? regfile::SameStringData(meant.data, read.data)
                                           : meant.data == read.data;
}

bool ProveRegFile(const ByteSource& source, const std::string& fileName, RegFileFormat format,
                  const RegKeyPull& expected, std::string& difference) {
  RegFileContent content;
  RegFileKey meant;
  std::string found;
  const RegKeyHandler compare = [&](RegFileKey& read) {
    if (!expected(meant)) {
      found = AtLine(read.line) + "key " + Shown(read.path) + " was not written";
      return false;
    }
    found = KeyDifference(meant, read);
    return found.empty();
  };
  std::string error;
  switch (ReadRegFileStream(source, fileName, 0, content, compare, error)) {
    case RegFileRead::Done:
      break;
    case RegFileRead::BadHeader:
      difference = error;
      return false;
    case RegFileRead::Unreadable:
      difference = fileName + ": cannot read the file";
      return false;
    case RegFileRead::Refused:
      difference = fileName + ": " + found;
      return false;
  }
  if (content.skippedCount > 0) {
    difference = SkippedLinesMessage(fileName, content);
    return false;
  }
  if (content.format != format) {
    difference = fileName + ": line 1: not the header it was written with";
    return false;
  }
  if (expected(meant)) {
    difference = fileName + ": key " + Shown(meant.path) + " is missing";
    return false;
  }
  return true;
}

}  // namespace win
