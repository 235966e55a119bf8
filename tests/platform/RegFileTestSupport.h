#pragma once
// Helpers shared by the .reg file tests.

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/registry/RegFile.h"
#include "platform/registry/RegFileStrings.h"
#include "platform/text/TextCodec.h"

namespace regfiletest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline std::string Hex(const Bytes& data) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : data) {
    out += digits[b >> 4];
    out += digits[b & 0xF];
  }
  return out;
}

// One line per key ("[path]" / "[-path]") and per value
// ("name=type:hexbytes", "@" for the unnamed value, "name=-" for a removal).
inline std::string Describe(const win::RegFileContent& content) {
  std::string out;
  for (const win::RegFileKey& key : content.keys) {
    out += key.remove ? "[-" : "[";
    out += key.path + "]\n";
    for (const win::RegFileValue& value : key.values) {
      out += value.name.empty() ? "@" : value.name;
      out += value.remove ? "=-" : "=" + std::to_string(value.type) + ":" + Hex(value.data);
      out += '\n';
    }
  }
  return out;
}

// The text of a written file: UTF-16LE after a BOM, else the bytes as they are.
inline std::string FileText(const Bytes& bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return win::Utf16ToUtf8(units);
  }
  return std::string(bytes.begin(), bytes.end());
}

// A random registry tree in pre-order: names with quotes, backslashes,
// brackets, '=' and blanks; every type; empty, odd and large data; unnamed
// values; one deep chain. REGEDIT4 trees use only characters of code page
// 1252; string data is data that a hex list can carry (see RegFileStrings.h).
class TreeGenerator {
 public:
  TreeGenerator(unsigned seed, win::RegFileFormat format) : random_(seed), format_(format) {}

  win::RegFileContent Generate(int topKeys) {
    win::RegFileContent content;
    content.format = format_;
    const std::vector<std::string> roots = {"HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_USERS\\S-1-5-18"};
    for (const std::string& root : roots) {
      content.keys.push_back({root, false, 0, {}});
      AddChildren(content, root, topKeys, 0);
    }
    std::string deep = roots[0] + "\\Deep";
    for (int level = 0; level < 40; ++level) {
      deep += "\\" + Name(false) + std::to_string(level);
      content.keys.push_back({deep, false, 0, Values()});
    }
    content.keys.push_back(
        {roots[1] + "\\Large", false, 0, {{"big", false, win::REG_BINARY, RandomBytes(100 * 1024), 0}}});
    return content;
  }

 private:
  void AddChildren(win::RegFileContent& content, const std::string& parent, int count, int depth) {
    std::set<std::string> seen;
    for (int i = 0; i < count; ++i) {
      const std::string name = Name(false);
      if (!seen.insert(win::UpperName(name)).second) continue;
      const std::string path = parent + "\\" + name;
      content.keys.push_back({path, false, 0, Values()});
      if (depth < 3) AddChildren(content, path, Pick(4), depth + 1);
    }
  }

  std::vector<win::RegFileValue> Values() {
    std::vector<win::RegFileValue> values;
    std::set<std::string> seen;
    const int count = Pick(7);
    for (int i = 0; i < count; ++i) {
      const std::string name = Pick(6) == 0 ? "" : Name(true);
      if (!seen.insert(win::UpperName(name)).second) continue;
      win::RegFileValue value;
      value.name = name;
      Data(value.type, value.data);
      values.push_back(std::move(value));
    }
    return values;
  }

  void Data(win::DWORD& type, Bytes& data) {
    static const win::DWORD kTypes[] = {0, 1, 1, 1, 2, 3, 3, 4, 4, 5, 6, 7, 8, 11, 0x12345};
    type = kTypes[Pick(sizeof kTypes / sizeof kTypes[0])];
    const int shape = Pick(4);
    if (type == win::REG_DWORD) {
      data = RandomBytes(shape == 0 ? 3 : 4);
    } else if ((type == win::REG_SZ || type == win::REG_EXPAND_SZ) && shape > 0) {
      data = win::Utf8ToUtf16LeBytes(Text(), true);
    } else if (type == win::REG_MULTI_SZ && shape > 0) {
      for (int i = Pick(4); i > 0; --i) {
        const Bytes part = win::Utf8ToUtf16LeBytes(Text() + "x", true);
        data.insert(data.end(), part.begin(), part.end());
      }
      data.push_back(0);
      data.push_back(0);
    } else {
      data = RandomBytes(Pick(3) == 0 ? 0 : Pick(300));
      // String data that no hex list carries (regedit adds a terminator,
      // REGEDIT4 lists are ANSI) is made carriable.
      if (win::regfile::IsStringType(type) &&
          !win::regfile::StringDataList(format_ == win::RegFileFormat::Regedit4, data, 1252)) {
        data.resize(data.size() & ~std::size_t{1});
        for (std::uint8_t& b : data) b = b == 0 ? 0 : static_cast<std::uint8_t>(0x20 + b % 0x5F);
        data.insert(data.end(), {0, 0});
        if (format_ == win::RegFileFormat::Regedit4) data = win::regfile::StringListData(true, data, 1252);
      }
    }
  }

  std::string Text() {
    std::string text;
    for (int i = Pick(12); i > 0; --i) text += Char(true);
    return text;
  }

  std::string Name(bool valueName) {
    std::string name;
    for (int i = 1 + Pick(10); i > 0; --i) name += Char(valueName);
    return name;
  }

  std::string Char(bool backslash) {
    static const char* const kCommon[] = {"a", "B", "z", "7", " ", "\"", "[", "]", "=", "@", ";",
                                          "-", ".", "{", "\xC3\xA9", "\xC3\x9F"};
    static const char* const kWide[] = {"\xCE\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80"};
    const int roll = Pick(20);
    if (roll == 0 && backslash) return "\\";
    if (roll == 1 && format_ == win::RegFileFormat::Version5) return kWide[Pick(3)];
    return kCommon[Pick(sizeof kCommon / sizeof kCommon[0])];
  }

  Bytes RandomBytes(std::size_t size) {
    Bytes data(size);
    for (std::uint8_t& b : data) b = static_cast<std::uint8_t>(random_() & 0xFF);
    // Zeros are common in real data and matter to the string rules.
    for (std::size_t i = 0; i < size; i += 1 + random_() % 5) data[i] = 0;
    return data;
  }

  int Pick(std::size_t n) { return static_cast<int>(random_() % n); }

  std::mt19937 random_;
  win::RegFileFormat format_;
};

}  // namespace regfiletest
