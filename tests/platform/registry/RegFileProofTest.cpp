// What a .reg file can hold, and the proof that a written file brings back
// what it was written for.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "RegFileTestSupport.h"
#include "platform/registry/RegFile.h"
#include "platform/text/TextCodec.h"

using namespace win;
using regfiletest::Bytes;
using regfiletest::Describe;

namespace {

ByteSource Whole(const Bytes& bytes) {
  return [&bytes](const ByteSink& take) { return take(bytes.data(), bytes.size()); };
}

// Pulls the keys of content, one after the other.
RegKeyPull Pull(const RegFileContent& content) {
  auto next = std::make_shared<std::size_t>(0);
  return [&content, next](RegFileKey& key) {
    if (*next == content.keys.size()) return false;
    key = content.keys[(*next)++];
    return true;
  };
}

bool Proven(const Bytes& bytes, const RegFileContent& content, std::string* difference = nullptr) {
  std::string found;
  const bool proven = ProveRegFile(Whole(bytes), "b.reg", content.format, Pull(content), found);
  if (difference) *difference = found;
  return proven;
}

Bytes Text16(const std::string& text) { return Utf8ToUtf16LeBytes(text, true); }

RegFileContent OneKey(RegFileFormat format, const std::string& path, std::vector<RegFileValue> values = {}) {
  RegFileContent content;
  content.format = format;
  content.keys.push_back({path, false, 0, std::move(values)});
  return content;
}

const std::string kKey = "HKEY_CURRENT_USER\\Software\\Fw";

TEST(RegFileProof, WhatTheFileCannotHoldIsWhatItWouldNotBringBack) {
  struct Case {
    const char* what;
    std::string keyName;  // below kKey; empty: the value is under kKey
    std::string valueName;
    DWORD type;
    Bytes data;
    bool heldByVersion5;
    bool heldByRegedit4;
  };
  const std::string lone = std::string("\x41\x00\x00\xD8\x42\x00\x00\x00", 8);  // A, lone high surrogate, B
  const std::vector<Case> cases = {
      {"CR in a key name", "a\rb", "v", REG_SZ, Text16("x"), false, false},
      {"LF in a key name", "a\nb", "v", REG_SZ, Text16("x"), false, false},
      {"NUL in a key name", std::string("a\0b", 3), "v", REG_SZ, Text16("x"), false, false},
      {"deletion line in a key name", "a]\r\n[-HKEY_CURRENT_USER\\Victim", "", REG_SZ, Text16("x"), false, false},
      {"CR LF in a value name", "", "a\r\nb", REG_SZ, Text16("x"), false, false},
      {"NUL in a value name", "", std::string("a\0b", 3), REG_SZ, Text16("x"), false, false},
      {"quotes and brackets", "[k]=;\"", "\"q\" \\ [x] = ;", REG_SZ, Text16("\"\\"), true, true},
      {"blanks at the ends", " k ", " v ", REG_SZ, Text16(" x "), true, true},
      {"255 characters", std::string(255, 'k'), "v", REG_NONE, {}, true, true},
      {"256 characters", std::string(256, 'k'), "v", REG_NONE, {}, false, false},
      {"16,383 characters", "", std::string(16383, 'v'), REG_BINARY, {1}, true, true},
      {"16,384 characters", "", std::string(16384, 'v'), REG_BINARY, {1}, false, false},
      {"not valid text", "a\xFF", "v", REG_SZ, Text16("x"), false, false},
      {"key name outside the code page", "\xE6\x97\xA5", "v", REG_SZ, Text16("x"), true, false},
      {"value name outside the code page", "", "\xCE\xA9", REG_SZ, Text16("x"), true, false},
      {"text outside the code page", "", "v", REG_SZ, Text16("\xE6\x97\xA5"), true, false},
      {"expandable text outside it", "", "v", REG_EXPAND_SZ, Text16("%\xE6\x97\xA5%"), true, false},
      {"text of the code page", "", "v", REG_EXPAND_SZ, Text16("caf\xC3\xA9 \xE2\x82\xAC"), true, true},
      {"odd length", "", "v", REG_SZ, {0x41, 0x00, 0x42}, true, false},
      {"lone surrogate", "", "v", REG_SZ, Bytes(lone.begin(), lone.end()), true, false},
      {"no terminator", "", "v", REG_SZ, {0x41, 0x00, 0x42, 0x00}, true, true},
      {"embedded NULs", "", "v", REG_SZ, {0x41, 0, 0, 0, 0x42, 0, 0, 0}, true, true},
      {"list without its double terminator", "", "v", REG_MULTI_SZ, {0x61, 0, 0, 0, 0x62, 0, 0, 0}, true, true},
      {"empty text", "", "v", REG_MULTI_SZ, {}, true, true},
      {"dword of 3 bytes", "", "v", REG_DWORD, {1, 2, 3}, true, true},
      {"type 0xFFFFFFFF", "", "v", 0xFFFFFFFFu, {9}, true, true},
  };
  for (const Case& c : cases) {
    for (const RegFileFormat format : {RegFileFormat::Version5, RegFileFormat::Regedit4}) {
      SCOPED_TRACE(std::string(c.what) + (format == RegFileFormat::Version5 ? " / version 5" : " / REGEDIT4"));
      const std::string path = c.keyName.empty() ? kKey : kKey + "\\" + c.keyName;
      const RegFileContent content = OneKey(format, path, {{c.valueName, false, c.type, c.data, 0}});
      const std::string refusal = RegFileCannotHold(content.keys[0], format, 1252);
      const bool held = format == RegFileFormat::Version5 ? c.heldByVersion5 : c.heldByRegedit4;
      EXPECT_EQ(refusal.empty(), held) << refusal;
      // What is held comes back through the writer and the reader; what is
      // refused would not.
      EXPECT_EQ(Proven(FormatRegFile(content, 1252), content), held);
    }
  }
  EXPECT_EQ(RegFileCannotHold({"HKEY_CURRENT_USER\\a\r\n[-HKEY_CURRENT_USER\\Victim]", false, 0, {}},
                              RegFileFormat::Version5, 1252),
            "the key \"HKEY_CURRENT_USER\\a<CR><LF>[-HKEY_CURRENT_USER\\Victim]\": a name holds a line break or a "
            "NUL character");
  EXPECT_EQ(RegFileCannotHold({kKey, false, 0, {{"", false, REG_SZ, Text16("\xE6\x97\xA5"), 0}}},
                              RegFileFormat::Regedit4, 1252)
                .rfind("the data of the unnamed value of the key \"" + kKey + "\": ", 0),
            0u);
  EXPECT_FALSE(RegFileCannotHold({"HKEY_NOWHERE\\x", false, 0, {}}, RegFileFormat::Version5, 1252).empty());
  EXPECT_FALSE(RegFileCannotHold({kKey + "\\\\x", false, 0, {}}, RegFileFormat::Version5, 1252).empty());
}

TEST(RegFileProof, PassesOnlyWhenTheDamagedFileStillImportsExactly) {
  for (const RegFileFormat format : {RegFileFormat::Version5, RegFileFormat::Regedit4}) {
    SCOPED_TRACE(format == RegFileFormat::Version5 ? "version 5" : "REGEDIT4");
    RegFileContent content = OneKey(format, kKey, {{"", false, REG_SZ, Text16("top"), 0},
                                                   {"n", false, REG_DWORD, {1, 2, 3, 4}, 0}});
    content.keys.push_back({kKey + "\\Sub", false, 0, {{"bin", false, REG_BINARY, Bytes(40, 0xA5), 0},
                                                       {"list", false, REG_MULTI_SZ, {0x61, 0, 0, 0, 0, 0}, 0}}});
    content.keys.push_back({kKey + "\\Empty", false, 0, {}});
    const Bytes bytes = FormatRegFile(content, 1252);
    ASSERT_TRUE(Proven(bytes, content));

    // The proof passes exactly when the reader still gives what was written.
    const auto check = [&](const Bytes& damaged, const std::string& how) {
      RegFileContent read;
      std::string error;
      const bool same = ReadRegFile(damaged, "b.reg", 1252, read, error) && read.skippedCount == 0 &&
                        read.format == format && Describe(read) == Describe(content);
      EXPECT_EQ(Proven(damaged, content), same) << how;
      return same;
    };
    int caught = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      Bytes damaged = bytes;
      damaged[i] = static_cast<std::uint8_t>(damaged[i] == '0' ? '1' : damaged[i] ^ 0x01);
      caught += check(damaged, "byte " + std::to_string(i)) ? 0 : 1;
    }
    EXPECT_GT(caught, static_cast<int>(bytes.size() / 2));
    const std::size_t unit = format == RegFileFormat::Version5 ? 2 : 1;
    const std::size_t start = format == RegFileFormat::Version5 ? 2 : 0;
    std::vector<std::size_t> lineStarts{start};
    for (std::size_t i = start; i + unit < bytes.size(); i += unit) {
      if (bytes[i] == '\n' && (unit == 1 || bytes[i + 1] == 0)) lineStarts.push_back(i + unit);
    }
    for (std::size_t l = 0; l + 1 < lineStarts.size(); ++l) {
      Bytes damaged(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(lineStarts[l]));
      damaged.insert(damaged.end(), bytes.begin() + static_cast<std::ptrdiff_t>(lineStarts[l + 1]), bytes.end());
      check(damaged, "line " + std::to_string(l + 1) + " removed");
    }
  }
}

TEST(RegFileProof, TellsTheFirstDifference) {
  const RegFileContent content =
      OneKey(RegFileFormat::Version5, kKey, {{"v", false, REG_SZ, Text16("x"), 0}});
  struct Case {
    const char* what;
    std::string text;
    std::string difference;  // the start of it
  };
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string key = "[" + kKey + "]\r\n";
  const std::vector<Case> cases = {
      {"as written", header + key + "\"v\"=\"x\"\r\n", ""},
      {"a deletion line", header + "[-HKEY_CURRENT_USER\\Victim]\r\n" + key + "\"v\"=\"x\"\r\n",
       "b.reg: line 3: deletes the key HKEY_CURRENT_USER\\Victim"},
      {"a value deleted", header + key + "\"v\"=-\r\n", "b.reg: line 4: deletes the value \"v\""},
      {"another key", header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n", "b.reg: line 3: key HKEY_LOCAL_MACHINE"},
      {"a key more", header + key + "\"v\"=\"x\"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n",
       "b.reg: line 5: key HKEY_LOCAL_MACHINE\\SOFTWARE\\X was not written"},
      {"a value more", header + key + "\"v\"=\"x\"\r\n\"w\"=\"y\"\r\n", "b.reg: line 5: value \"w\" was not written"},
      {"other data", header + key + "\"v\"=\"y\"\r\n", "b.reg: line 4: value \"v\" does not bring back"},
      {"the value missing", header + key, "b.reg: line 3: value \"v\" of"},
      {"the key missing", header, "b.reg: key " + kKey + " is missing"},
      {"a skipped line", header + key + "\"v\"=\"x\"\r\njunk\r\n", "b.reg: line 5: not a key or value line"},
      {"another form", "REGEDIT4\r\n\r\n" + key + "\"v\"=\"x\"\r\n", "b.reg: line 1: not the header"},
      {"no header", key + "\"v\"=\"x\"\r\n", "b.reg: line 1: missing header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string difference;
    const Bytes bytes(c.text.begin(), c.text.end());
    EXPECT_EQ(Proven(bytes, content, &difference), c.difference.empty());
    EXPECT_EQ(difference.rfind(c.difference, 0), 0u) << difference;
  }
}

TEST(RegFileProof, ReadsInPiecesAgainstKeysMadeAsItGoes) {
  // Neither the file nor what it must bring back is ever held whole.
  constexpr int kKeys = 20000;
  const auto keyAt = [](int i) {
    return RegFileKey{kKey + "\\" + std::to_string(i), false, 0,
                      {{"v" + std::to_string(i), false, REG_BINARY, Bytes(1 + i % 50, static_cast<std::uint8_t>(i)), 0}}};
  };
  std::size_t largestPiece = 0;
  const ByteSource file = [&](const ByteSink& take) {
    RegFileFormatter formatter(RegFileFormat::Version5, 1252);
    for (int i = 0; i < kKeys; ++i) {
      formatter.Key(keyAt(i));
      if (formatter.Bytes().size() < 4096 && i + 1 < kKeys) continue;
      largestPiece = std::max(largestPiece, formatter.Bytes().size());
      if (!take(formatter.Bytes().data(), formatter.Bytes().size())) return false;
      formatter.Bytes().clear();
    }
    formatter.End();
    return take(formatter.Bytes().data(), formatter.Bytes().size());
  };
  for (const int wrongAt : {-1, 0, 12345, kKeys - 1}) {
    int next = 0;
    const RegKeyPull expected = [&](RegFileKey& key) {
      if (next == kKeys) return false;
      key = keyAt(next);
      if (next++ == wrongAt) key.values[0].data.push_back(0);
      return true;
    };
    std::string difference;
    EXPECT_EQ(ProveRegFile(file, "big.reg", RegFileFormat::Version5, expected, difference), wrongAt < 0) << wrongAt;
    if (wrongAt >= 0) {
      EXPECT_NE(difference.find("value \"v" + std::to_string(wrongAt) + "\" does not bring back"), std::string::npos)
          << difference;
    }
  }
  EXPECT_LT(largestPiece, 8192u);
}

}  // namespace
