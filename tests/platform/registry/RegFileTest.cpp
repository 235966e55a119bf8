// Reading and writing .reg text, without a registry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegFileTestSupport.h"
#include "platform/registry/RegFile.h"
#include "platform/text/TextCodec.h"

using namespace win;
using regfiletest::Bytes;
using regfiletest::Describe;
using regfiletest::FileText;
using regfiletest::ToBytes;

namespace {

const char kV5[] = "Windows Registry Editor Version 5.00\r\n\r\n";

RegFileContent ParseOk(const Bytes& bytes, unsigned codePage = 1252) {
  RegFileContent content;
  std::string error;
  EXPECT_TRUE(ParseRegFile(bytes, "t.reg", codePage, content, error)) << error;
  return content;
}

Bytes Utf16File(const std::string& text, bool bom) {
  Bytes bytes = bom ? Bytes{0xFF, 0xFE} : Bytes{};
  const Bytes body = Utf8ToUtf16LeBytes(text, false);
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

struct TolerantCase {
  const char* what;
  std::string text;
  std::string expected;  // Describe() of the parsed content
};

TEST(RegFileParse, ReadsWhatWritersProduce) {
  const std::vector<TolerantCase> cases = {
      {"LF, CRLF and blank lines mixed",
       std::string(kV5) + "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:1\r\n\n\r\n\"y\"=\"z\"\n",
       "[HKEY_CURRENT_USER\\A]\nx=4:01000000\ny=1:7a000000\n"},
      {"blanks before the header, comments, indented lines",
       "  REGEDIT4\n; a comment\n\n  [HKEY_LOCAL_MACHINE\\S]  \n  ; another\n  @=\"v\"\n",
       "[HKEY_LOCAL_MACHINE\\S]\n@=1:76000000\n"},
      {"continued hex list with blanks after the backslash and upper-case digits",
       std::string(kV5) + "[HKEY_USERS\\U]\n\"b\"=hex:01, 02,\\   \n    0A,FF\n",
       "[HKEY_USERS\\U]\nb=3:01020aff\n"},
      {"continuation with a comment after the backslash and a blank line between",
       std::string(kV5) + "[HKEY_USERS\\U]\n\"b\"=hex:01,\\ ;c\n\n  02,\\\n  03\n",
       "[HKEY_USERS\\U]\nb=3:010203\n"},
      {"every hex(N) form kept as raw bytes",
       std::string(kV5) +
           "[HKEY_USERS\\U]\n\"e\"=hex:\n\"n\"=hex(0):\n\"q\"=HEX(B):01,00,00,00,00,00,00,00\n"
           "\"odd\"=hex(ffff0001):7f\n\"x\"=hex(2):25,41,25,00\n\"s\"=hex(1):61\n",
       "[HKEY_USERS\\U]\ne=3:\nn=0:\nq=11:0100000000000000\nodd=4294901761:7f\nx=2:254125000000\n"
       "s=1:61\n"},
      {"escapes in names and data",
       std::string(kV5) + "[HKEY_USERS\\U]\n\"a\\\\b\\\"c\"=\"d\\\\e\\\"f\"\n",
       "[HKEY_USERS\\U]\na\\b\"c=1:64005c00650022006600" "0000\n"},
      {"a comment after the closing quote",
       std::string(kV5) + "[HKEY_USERS\\U]\n\"p\"=\"a\" ;\"b\"=\"c\"\n",
       "[HKEY_USERS\\U]\np=1:61000000\n"},
      {"the empty name is the unnamed value; blanks around '='",
       std::string(kV5) + "[HKEY_USERS\\U]\n\"\"=\"x\"\n\"n\" = dword:0000000A\n@ = DWORD:FFFFFFFF\n",
       "[HKEY_USERS\\U]\n@=1:78000000\nn=4:0a000000\n@=4:ffffffff\n"},
      {"deletions",
       std::string(kV5) + "[-HKEY_CURRENT_USER\\Gone\\Sub]\n[HKEY_CURRENT_USER\\K]\n\"v\"=-\n@=-\n",
       "[-HKEY_CURRENT_USER\\Gone\\Sub]\n[HKEY_CURRENT_USER\\K]\nv=-\n@=-\n"},
      {"brackets and '=' in key names; root names in any case",
       std::string(kV5) + "[hkey_local_machine\\a]b=[c]]\n[Hkey_Classes_Root\\.txt]\n",
       "[HKEY_LOCAL_MACHINE\\a]b=[c]]\n[HKEY_CLASSES_ROOT\\.txt]\n"},
      {"a version 5 header over UTF-8 text without BOM",
       std::string(kV5) + "[HKEY_USERS\\U]\n\"\xC3\xA9\"=\"\xE6\x97\xA5\"\n",
       "[HKEY_USERS\\U]\n\xC3\xA9=1:e5650000\n"},
      {"a root key on its own and a key without values",
       std::string(kV5) + "[HKEY_CURRENT_CONFIG]\n\"v\"=dword:0\n[HKEY_USERS\\Empty]\n",
       "[HKEY_CURRENT_CONFIG]\nv=4:00000000\n[HKEY_USERS\\Empty]\n"},
  };
  for (const TolerantCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Describe(ParseOk(ToBytes(c.text))), c.expected);
  }
}

TEST(RegFileParse, ReadsEveryEncodingOfTheSameText) {
  const std::string text = std::string(kV5) + "[HKEY_USERS\\U]\n\"\xCE\xA9\"=\"\xE6\x97\xA5\"\n";
  const std::string expected = "[HKEY_USERS\\U]\n\xCE\xA9=1:e5650000\n";
  std::vector<std::pair<const char*, Bytes>> files = {
      {"UTF-16LE with BOM", Utf16File(text, true)},
      {"UTF-16LE without BOM", Utf16File(text, false)},
      {"UTF-8 with BOM", ToBytes("\xEF\xBB\xBF" + text)},
      {"UTF-8 without BOM", ToBytes(text)},
  };
  for (const auto& [what, bytes] : files) {
    SCOPED_TRACE(what);
    const RegFileContent content = ParseOk(bytes);
    EXPECT_EQ(content.format, RegFileFormat::Version5);
    EXPECT_EQ(Describe(content), expected);
  }
}

TEST(RegFileParse, RecordsLinesOfKeysAndValues) {
  const RegFileContent content = ParseOk(ToBytes(
      std::string(kV5) + "[HKEY_USERS\\A]\n\"b\"=hex:01,\\\n  02\n\"c\"=dword:1\n\n[HKEY_USERS\\B]\n"));
  ASSERT_EQ(content.keys.size(), 2u);
  EXPECT_EQ(content.keys[0].line, 3);
  ASSERT_EQ(content.keys[0].values.size(), 2u);
  EXPECT_EQ(content.keys[0].values[0].line, 4);
  EXPECT_EQ(content.keys[0].values[1].line, 6);
  EXPECT_EQ(content.keys[1].line, 8);
}

struct ErrorCase {
  std::string text;
  std::string expected;  // the whole error
};

TEST(RegFileParse, ReportsTheFirstBadLine) {
  const std::string key = std::string(kV5) + "[HKEY_USERS\\U]\n";  // key on line 3
  const std::vector<ErrorCase> cases = {
      {"", "t.reg: line 1: missing header \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\""},
      {"\nREGEDIT4\n[HKEY_USERS\\U]\n",
       "t.reg: line 1: missing header \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\""},
      {std::string(kV5) + "[HKEY_NOWHERE\\U]\n", "t.reg: line 3: unknown root key \"HKEY_NOWHERE\""},
      {std::string(kV5) + "[HKLM\\U]\n", "t.reg: line 3: unknown root key \"HKLM\""},
      {std::string(kV5) + "[HKEY_USERS\\U\n", "t.reg: line 3: missing \"]\" in key line"},
      {std::string(kV5) + "[HKEY_USERS\\a\\\\b]\n",
       "t.reg: line 3: empty key name in \"HKEY_USERS\\a\\\\b\""},
      {std::string(kV5) + "[HKEY_USERS\\" + std::string(256, 'k') + "]\n",
       "t.reg: line 3: key name longer than 255 characters"},
      {key + "\"" + std::string(16384, 'v') + "\"=\"\"\n",
       "t.reg: line 4: value name longer than 16383 characters"},
      {std::string(kV5) + "[-HKEY_LOCAL_MACHINE]\n", "t.reg: line 3: a root key cannot be deleted"},
      {std::string(kV5) + "\"v\"=\"x\"\n", "t.reg: line 3: value without a valid key line before it"},
      {std::string(kV5) + "[-HKEY_USERS\\U]\n\"v\"=\"x\"\n", "t.reg: line 4: value in a key that is deleted"},
      {key + "v=1\n", "t.reg: line 4: not a key or value line"},
      {key + "\"v\"\n", "t.reg: line 4: missing \"=\" after the value name"},
      {key + "\"v\n", "t.reg: line 4: missing closing quote in the value name"},
      {key + "@\"x\"\n", "t.reg: line 4: missing \"=\" after the value name"},
      {key + "\"v\"=\"x\n", "t.reg: line 4: missing closing quote in string data"},
      {key + "\"v\"=\"x\" 1\n", "t.reg: line 4: text after the closing quote of string data"},
      {key + "\"v\"=dword:123456789\n", "t.reg: line 4: dword data is not 1 to 8 hex digits"},
      {key + "\"v\"=dword:\n", "t.reg: line 4: dword data is not 1 to 8 hex digits"},
      {key + "\"v\"=dword:12g\n", "t.reg: line 4: dword data is not 1 to 8 hex digits"},
      {key + "\"v\"=hex(zz):00\n", "t.reg: line 4: bad value type in \"hex(...)\""},
      {key + "\"v\"=hex(123456789):00\n", "t.reg: line 4: bad value type in \"hex(...)\""},
      {key + "\"v\"=str:\"x\"\n", "t.reg: line 4: unknown value data \"str:\"x\"\""},
      {key + "\"v\"=\n", "t.reg: line 4: unknown value data \"\""},
      {key + "\"v\"=hex:01,02,\\\n  03,4g5\n", "t.reg: line 5: text after hex byte: \"g5\" (value of line 4 not set)"},
      {key + "\"v\"=hex:01,,02\n", "t.reg: line 4: missing hex byte"},
      {key + "\"v\"=hex:100\n", "t.reg: line 4: bad hex byte \"100\""},
      {key + "\"ok\"=dword:1\n\"v\"=hex:01,\\\n  02,\\\n[HKEY_USERS\\Next]\n",
       "t.reg: line 5: hex data continued at line 7 by a line that is not hex bytes"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 120));
    RegFileContent content;
    content.keys.push_back({"HKEY_USERS\\Before", false, 1, {}});
    std::string error;
    EXPECT_FALSE(ParseRegFile(ToBytes(c.text), "t.reg", 1252, content, error));
    EXPECT_EQ(error, c.expected);
    ASSERT_EQ(content.keys.size(), 1u);  // left as it was
    EXPECT_EQ(content.keys[0].path, "HKEY_USERS\\Before");
  }
}

TEST(RegFileParse, NamesAtTheWindowsLimitsAreAccepted) {
  const std::string keyName(255, 'k');
  const std::string valueName(16383, 'v');
  const RegFileContent content = ParseOk(
      ToBytes(std::string(kV5) + "[HKEY_USERS\\" + keyName + "]\n\"" + valueName + "\"=dword:1\n"));
  ASSERT_EQ(content.keys.size(), 1u);
  EXPECT_EQ(content.keys[0].path, "HKEY_USERS\\" + keyName);
  ASSERT_EQ(content.keys[0].values.size(), 1u);
  EXPECT_EQ(content.keys[0].values[0].name, valueName);
}

// String-typed hex lists: REGEDIT4 lists are ANSI bytes (even when they
// look like UTF-16LE) and become UTF-16LE; both forms get one terminator
// when the last character is not zero.
TEST(RegFileParse, StringHexListsReadAsRegeditReadsThem) {
  struct Case {
    const char* what;
    std::string line;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"ANSI expandable string", "hex(2):25,41,25,00", "2:2500410025000000"},
      {"ANSI expandable string in code page 1252", "hex(2):e9,00", "2:e9000000"},
      {"ANSI empty expandable string", "hex(2):00", "2:0000"},
      {"UTF-16 bytes are ANSI too", "hex(2):25,00,41,00", "2:2500000041000000"},
      {"no terminator: one is added", "hex(2):25,41", "2:250041000000"},
      {"ANSI string list", "hex(7):61,00,62,63,00,00", "7:610000006200630000000000"},
      {"ANSI empty list", "hex(7):00", "7:0000"},
      {"ANSI list of two zeros keeps both", "hex(7):00,00", "7:00000000"},
      {"list without terminator gets one only", "hex(7):4c,69", "7:4c0069000000"},
      {"hex(1) is ANSI too", "hex(1):61,00", "1:61000000"},
      {"empty stays empty", "hex(1):", "1:"},
      {"other types stay raw", "hex(0):61,00", "0:6100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RegFileContent content =
        ParseOk(ToBytes("REGEDIT4\r\n\r\n[HKEY_USERS\\U]\r\n\"v\"=" + c.line + "\r\n"));
    EXPECT_EQ(Describe(content), "[HKEY_USERS\\U]\nv=" + c.expected + "\n");
  }
  // Version 5 lists hold UTF-16LE: kept, with a terminator added where the
  // last character is not zero; odd lengths stay as written.
  const std::vector<Case> version5 = {
      {"terminated", "hex(2):25,00,00,00", "2:25000000"},
      {"no terminator", "hex(7):4c,00,69,00", "7:4c0069000000"},
      {"ANSI-looking bytes", "hex(2):25,41,25,00", "2:254125000000"},
      {"odd length", "hex(1):61,00,00", "1:610000"},
      {"binary is never touched", "hex:61,00", "3:6100"},
  };
  for (const Case& c : version5) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Describe(ParseOk(ToBytes(std::string(kV5) + "[HKEY_USERS\\U]\n\"v\"=" + c.line + "\n"))),
              "[HKEY_USERS\\U]\nv=" + c.expected + "\n");
  }
}

TEST(RegFileParse, Regedit4InCodePage932) {
  // 表 is 95 5C: its second byte is a backslash in ASCII.
  const std::string file =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\\x95\x5C]\r\n"
      "\"\x95\x5C\"=\"\x93\xFA\x96\x7B\\\\\"\r\n"
      "\"e\"=hex(2):93,fa,96,7b,00\r\n\r\n";
  const RegFileContent content = ParseOk(ToBytes(file), 932);
  EXPECT_EQ(Describe(content),
            "[HKEY_CURRENT_USER\\Software\\\xE8\xA1\xA8]\n"
            "\xE8\xA1\xA8=1:e5652c675c000000\n"
            "e=2:e5652c670000\n");
  EXPECT_EQ(FormatRegFile(content, 932), ToBytes(file));
}

// A small export, byte for byte.
TEST(RegFileFormat, WritesVersion5AsRegeditDoes) {
  RegFileContent content;
  content.format = RegFileFormat::Version5;
  Bytes bin;
  for (int i = 0; i < 40; ++i) bin.push_back(static_cast<std::uint8_t>(i));
  content.keys = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick",
       false,
       0,
       {
           {"", false, REG_SZ, Utf8ToUtf16LeBytes("Default"), 0},
           {"Path", false, REG_SZ, Utf8ToUtf16LeBytes("C:\\Program Files\\Fernwick"), 0},
           {"Say \"hi\"", false, REG_SZ, Utf8ToUtf16LeBytes("a \"b\" \xC3\xA9"), 0},
           {"Count", false, REG_DWORD, {0x2a, 0, 0, 0}, 0},
           {"Expand", false, REG_EXPAND_SZ, Utf8ToUtf16LeBytes("%A%"), 0},
           {"Multi", false, REG_MULTI_SZ, {0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0}, 0},
           {"Q", false, REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 0},
           {"None", false, REG_NONE, {}, 0},
           {"Bin", false, REG_BINARY, bin, 0},
       }},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Empty", false, 0, {}},
  };
  const std::string expected =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick]\r\n"
      "@=\"Default\"\r\n"
      "\"Path\"=\"C:\\\\Program Files\\\\Fernwick\"\r\n"
      "\"Say \\\"hi\\\"\"=\"a \\\"b\\\" \xC3\xA9\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
      "\"None\"=hex(0):\r\n"
      "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
      "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Empty]\r\n"
      "\r\n";
  EXPECT_EQ(FormatRegFile(content, 1252), Utf16File(expected, true));
}

TEST(RegFileFormat, WritesRegedit4InTheCodePage) {
  RegFileContent content;
  content.format = RegFileFormat::Regedit4;
  content.keys = {{"HKEY_CURRENT_USER\\Caf\xC3\xA9",
                   false,
                   0,
                   {
                       {"N\xC3\xA9", false, REG_SZ, Utf8ToUtf16LeBytes("caf\xC3\xA9"), 0},
                       {"E", false, REG_EXPAND_SZ, Utf8ToUtf16LeBytes("%W%\\\xC3\xA9"), 0},
                       {"M", false, REG_MULTI_SZ, {0x61, 0, 0, 0, 0xe9, 0, 0, 0, 0, 0}, 0},
                       // Not in code page 1252: written as the stored bytes.
                       {"Omega", false, REG_SZ, Utf8ToUtf16LeBytes("\xCE\xA9"), 0},
                       {"EO", false, REG_EXPAND_SZ, Utf8ToUtf16LeBytes("\xCE\xA9"), 0},
                       {"D", false, REG_DWORD, {0xff, 0, 0, 0x80}, 0},
                   }},
                  {"HKEY_CURRENT_USER\\Gone", true, 0, {}},
                  {"HKEY_CURRENT_USER\\Caf\xC3\xA9", false, 0, {{"Old", true, 0, {}, 0}}}};
  const std::string expected =
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Caf\xE9]\r\n"
      "\"N\xE9\"=\"caf\xE9\"\r\n"
      "\"E\"=hex(2):25,57,25,5c,e9,00\r\n"
      "\"M\"=hex(7):61,00,e9,00,00\r\n"
      "\"Omega\"=hex(1):a9,03,00,00\r\n"
      "\"EO\"=hex(2):a9,03,00,00\r\n"
      "\"D\"=dword:800000ff\r\n"
      "\r\n"
      "[-HKEY_CURRENT_USER\\Gone]\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Caf\xE9]\r\n"
      "\"Old\"=-\r\n"
      "\r\n";
  const Bytes bytes = FormatRegFile(content, 1252);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
  RegFileContent back = ParseOk(bytes);
  // Characters outside the code page cannot come back: regedit reads those
  // bytes as ANSI.
  content.keys[0].values[3].data = {0xa9, 0, 0x03, 0, 0, 0, 0, 0};
  content.keys[0].values[4].data = {0xa9, 0, 0x03, 0, 0, 0, 0, 0};
  EXPECT_EQ(Describe(back), Describe(content));
}

// REG_SZ data that a quoted string cannot carry exactly is written as
// hex(1) bytes and reads back unchanged, except where regedit itself changes
// it: a terminator added, and REGEDIT4 bytes read as ANSI where no ANSI list
// carries the data (which a registry export refuses).
TEST(RegFileFormat, KeepsOddStringDataExact) {
  struct Case {
    const char* what;
    Bytes data;
    Bytes version5;  // as read back
    Bytes regedit4;
  };
  const Bytes embedded = {0x61, 0, 0, 0, 0x62, 0, 0, 0};
  const Bytes lineBreak = Utf8ToUtf16LeBytes("a\r\nb");
  const std::vector<Case> cases = {
      {"embedded zero", embedded, embedded, embedded},
      {"no terminator", {0x61, 0, 0x62, 0}, {0x61, 0, 0x62, 0, 0, 0}, {0x61, 0, 0x62, 0, 0, 0}},
      {"odd length", {0x61, 0, 0}, {0x61, 0, 0}, {0x61, 0, 0, 0, 0, 0}},
      {"empty", {}, {}, {}},
      {"a line break", lineBreak, lineBreak, lineBreak},
      {"an unpaired surrogate", {0x00, 0xD8, 0x61, 0, 0, 0}, {0x00, 0xD8, 0x61, 0, 0, 0},
       {0, 0, 0xD8, 0, 0x61, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (RegFileFormat format : {RegFileFormat::Version5, RegFileFormat::Regedit4}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      RegFileContent content;
      content.format = format;
      content.keys = {{"HKEY_USERS\\U", false, 0, {{"s", false, REG_SZ, c.data, 0}}}};
      const Bytes bytes = FormatRegFile(content, 1252);
      const std::string text = FileText(bytes);
      EXPECT_NE(text.find("\"s\"=hex(1):"), std::string::npos) << text;
      content.keys[0].values[0].data = format == RegFileFormat::Version5 ? c.version5 : c.regedit4;
      EXPECT_EQ(Describe(ParseOk(bytes)), Describe(content));
    }
  }
}

TEST(RegFileFormat, WrapsLongListsAtEightyColumns) {
  for (std::size_t nameLength : {0u, 1u, 7u, 60u, 75u, 76u, 77u, 120u}) {
    SCOPED_TRACE(nameLength);
    RegFileContent content;
    Bytes data(300);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    content.keys = {{"HKEY_USERS\\U",
                     false,
                     0,
                     {{std::string(nameLength, 'n'), false, REG_BINARY, data, 0},
                      {"t", false, 0x1234, data, 0}}}};
    const Bytes bytes = FormatRegFile(content, 1252);
    const std::string text = FileText(bytes);
    std::size_t start = 0;
    int lines = 0;
    while (start < text.size()) {
      const std::size_t end = text.find("\r\n", start);
      const std::string line = text.substr(start, end - start);
      const bool longName = nameLength >= 70 && line.rfind("\"n", 0) == 0;
      if (!longName) {
        EXPECT_LE(line.size(), 80u) << line;
      }
      if (!line.empty()) {
        EXPECT_NE(line.back(), ',') << line;
      }
      if (line.rfind("  ", 0) == 0 && line.back() == '\\') {
        EXPECT_EQ(line.size(), 78u) << line;
      }
      start = end + 2;
      ++lines;
    }
    EXPECT_GT(lines, 20);
    EXPECT_EQ(Describe(ParseOk(bytes)), Describe(content));
  }
}

}  // namespace
