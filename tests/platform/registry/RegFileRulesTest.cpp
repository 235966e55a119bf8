// How .reg lines are read, line by line as regedit reads them: what it
// accepts, what it skips, in both file forms and with every line break.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "RegFileTestSupport.h"
#include "platform/registry/RegFile.h"
#include "platform/text/TextCodec.h"

using namespace win;
using regfiletest::Bytes;
using regfiletest::Describe;
using regfiletest::Hex;
using regfiletest::ToBytes;

namespace {

const char kKey[] = "[HKEY_CURRENT_USER\\T]\n";  // line 2 of every file below

enum class Form { Regedit4, Version5 };

// A file of the form: its header, then `body`, with "\n" turned into
// `lineBreak`. Version 5 files are UTF-16LE with a BOM.
Bytes File(Form form, const std::string& body, const std::string& lineBreak = "\r\n") {
  std::string text = (form == Form::Regedit4 ? "REGEDIT4\n" : "Windows Registry Editor Version 5.00\n") + body;
  std::string broken;
  for (char c : text) {
    if (c == '\n') {
      broken += lineBreak;
    } else {
      broken += c;
    }
  }
  if (form == Form::Regedit4) return ToBytes(Utf8ToAnsi(broken, 1252));
  Bytes bytes{0xFF, 0xFE};
  const Bytes units = Utf8ToUtf16LeBytes(broken, false);
  bytes.insert(bytes.end(), units.begin(), units.end());
  return bytes;
}

std::vector<int> SkippedLines(const RegFileContent& content) {
  std::vector<int> lines;
  for (const RegFileSkippedLine& skipped : content.skipped) lines.push_back(skipped.line);
  return lines;
}

// REG_SZ data as Describe() shows it.
std::string Sz(const std::string& text) { return "1:" + Hex(Utf8ToUtf16LeBytes(text)); }

struct Case {
  const char* what;
  std::string body;
  std::string expected;  // Describe() of what is read
  std::vector<int> skipped;
};

// Each case in both forms and with LF, CR LF and CR alone.
void CheckCases(const std::vector<Case>& cases) {
  for (Form form : {Form::Regedit4, Form::Version5}) {
    for (const char* lineBreak : {"\n", "\r\n", "\r"}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (form == Form::Regedit4 ? "REGEDIT4" : "version 5") << ", "
                                        << Hex(ToBytes(lineBreak)) << ": " << c.what);
        RegFileContent content;
        std::string error;
        ASSERT_TRUE(ReadRegFile(File(form, c.body, lineBreak), "t.reg", 1252, content, error)) << error;
        EXPECT_EQ(Describe(content), c.expected);
        EXPECT_EQ(SkippedLines(content), c.skipped);
        EXPECT_EQ(content.skippedCount, c.skipped.size());
      }
    }
  }
}

TEST(RegFileRules, WhatRegeditAccepts) {
  const std::string k = kKey;
  const std::string t = "[HKEY_CURRENT_USER\\T]\n";
  CheckCases({
      {"comment lines", k + "; one\n# two\n  ;three\n\t#four\n\"a\"=dword:1\n", t + "a=4:01000000\n", {}},
      {"comment after string data", k + "\"a\"=\"Value 2\";comment\n\"b\"=\"v\"  ;c\n",
       t + "a=" + Sz("Value 2") + "\nb=" + Sz("v") + "\n", {}},
      {"comment after dword data", k + "\"a\"=dword:1234;5678\n\"b\"=dword:2 ;c\n",
       t + "a=4:34120000\nb=4:02000000\n", {}},
      {"comment after =-", k + "\"a\"=- ;c\n@=-;c\n", t + "a=-\n@=-\n", {}},
      {"comment after the last hex byte", k + "\"a\"=hex:01,02 ;c\n", t + "a=3:0102\n", {}},
      {"comment after a continuation backslash", k + "\"a\"=hex(0):56,00,\\;comment\n  61,00\n",
       t + "a=0:56006100\n", {}},
      {"comment and blank lines between continuation lines",
       k + "\"a\"=hex:01,\\\n; c\n  ;c\n  02,\\\n\n \t\n  03\n", t + "a=3:010203\n", {}},
      {"key line ending in a backslash", "[HKEY_CURRENT_USER\\Software\\A\\]\n\"v\"=dword:1\n",
       "[HKEY_CURRENT_USER\\Software\\A]\nv=4:01000000\n", {}},
      {"key line ending in several backslashes", "[HKEY_CURRENT_USER\\Software\\A\\\\\\]\n",
       "[HKEY_CURRENT_USER\\Software\\A]\n", {}},
      {"text after the closing bracket", "[HKEY_CURRENT_USER\\A] ; old name\n", "[HKEY_CURRENT_USER\\A]\n", {}},
      {"trailing comma", k + "\"a\"=hex:25,50,\n\"b\"=hex(0):01,\\\n  02,\n", t + "a=3:2550\nb=0:0102\n", {}},
      {"file ends inside a continuation", k + "\"a\"=hex:01,02,\\", t + "a=3:0102\n", {}},
      {"file ends after a continuation line", k + "\"a\"=hex:01,\\\n  02,\\\n", t + "a=3:0102\n", {}},
      {"blanks where regedit allows them",
       k + "  \"a\"  =  dword:  1\n\t@\t=\t\"x\"\t\n\"b\"=hex:  01,  02\n\"c\"=hex:01,  \\\n\t03\n",
       t + "a=4:01000000\n@=" + Sz("x") + "\nb=3:0102\nc=3:0103\n", {}},
      {"empty name is the unnamed value; quotes and backslashes escaped",
       k + "\"\"=\"d\"\n\"q\\\"\\\\\"=\"\\\\\\\"\"\n", t + "@=" + Sz("d") + "\nq\"\\=" + Sz("\\\"") + "\n", {}},
  });
}

TEST(RegFileRules, WhatRegeditSkipsOrReadsOtherwise) {
  const std::string k = kKey;
  const std::string t = "[HKEY_CURRENT_USER\\T]\n";
  CheckCases({
      {"unknown escape in quoted text", k + "\"a\"=\"\\0\"\n\"b\"=\"C:\\W\"\n\"c\\n\"=\"x\"\n", t, {3, 4, 5}},
      {"unescaped quote inside data", k + "\"a\"=\"foo\"bar\"\n\"b\"=\"foo\"\"bar\"\n", t, {3, 4}},
      {"text after the closing quote that is no comment",
       k + "\"a\"=\"v\" \"b\"\n\"c\"=\"v\"#c\n\"d\"=\"v\";\"e\"=\"w\"\n", t + "d=" + Sz("v") + "\n", {3, 4}},
      {"backslash right after a hex byte: that line only",
       k + "\"a\"=hex(0):4c,69\\\n\"b\"=\"x\"\n\"c\"=hex:01 \\\n", t + "b=" + Sz("x") + "\n", {3, 5}},
      {"a blank line keeps the list open: the next value line is taken into it",
       k + "\"a\"=hex:01,\\\n\n\"b\"=\"x\"\n\"c\"=dword:1\n", t + "c=4:01000000\n", {3, 5}},
      {"a line of only a backslash ends the list unset", k + "\"a\"=hex:01,\\\n\\\n\"b\"=\"x\"\n",
       t + "b=" + Sz("x") + "\n", {3}},
      {"a # comment ends the list unset", k + "\"a\"=hex:01,\\\n#c\n\"b\"=\"x\"\n", t + "b=" + Sz("x") + "\n", {3}},
      {"a key line ends the list unset and is not read",
       k + "\"a\"=hex:01,\\\n[HKEY_CURRENT_USER\\U]\n\"b\"=\"x\"\n", t + "b=" + Sz("x") + "\n", {3, 4}},
      {"continuation starting with a comma", k + "\"a\"=hex:01,\\\n  ,02\n\"b\"=dword:1\n",
       t + "b=4:01000000\n", {3}},
      {"names are not continued", k + "\"a\\\nb\"=\"x\"\n", t, {3, 4}},
      {"dword forms", k + "\"a\"=dword:\n\"b\"=dword:123456789\n\"c\"=dword:0x1\n\"d\"=dword:1 2\n\"e\"=dword:1#c\n",
       t, {3, 4, 5, 6, 7}},
      {"hex type forms", k + "\"a\"=hex(100000000):00\n\"b\"=hex(0x2):00\n\"c\"=hex(2) :00\n\"d\"=hex(ffffffff):\n",
       t + "d=4294967295:\n", {3, 4, 5}},
      {"bad hex data", k + "\"a\"=hex:01,,02\n\"b\"=hex:100\n\"c\"=hex:01 ,02\n\"d\"=hex:01,\\#c\n\"e\"=hex:,\\\n", t,
       {3, 4, 5, 6, 7}},
      {"=- followed by data", k + "\"a\"=-\"x\"\n\"b\"=- #c\n", t, {3, 4}},
      {"key lines regedit refuses, and the values under them",
       "[ HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER\\B\n[HKEY_CURRENT_USERS\\C]\n\"v\"=dword:1\n"
       "[- HKEY_CURRENT_USER\\D]\n[-HKEY_CURRENT_USER]\n[HKEY_CURRENT_USER\\a\\\\b]\n",
       "", {2, 3, 4, 5, 6, 7, 8}},
      {"values under a deleted key", "[-HKEY_CURRENT_USER\\D]\n\"v\"=dword:1\n", "[-HKEY_CURRENT_USER\\D]\n", {3}},
      {"lines that are neither", k + "v=1\nHKEY_CURRENT_USER\\X\n", t, {3, 4}},
  });
}

TEST(RegFileRules, OnlyAnExactHeaderReadsTheFile) {
  const std::string body = "\n[HKEY_CURRENT_USER\\T]\n\"v\"=dword:1\n";
  for (bool utf16 : {false, true}) {
    for (const char* header : {"regedit4", "Regedit4", "REGEDIT 4", "REGEDIT4FOO", "REGEDIT5", "",
                               "Windows Registry Editor version 5.00", "WINDOWS REGISTRY EDITOR VERSION 5.00",
                               "Windows Registry Editor Version 5", "\nREGEDIT4"}) {
      SCOPED_TRACE(testing::Message() << (utf16 ? "UTF-16 " : "ANSI ") << "\"" << header << "\"");
      const std::string text = std::string(header) + body;
      Bytes bytes = utf16 ? Bytes{0xFF, 0xFE} : Bytes{};
      const Bytes payload = utf16 ? Utf8ToUtf16LeBytes(text, false) : ToBytes(text);
      bytes.insert(bytes.end(), payload.begin(), payload.end());
      RegFileContent content;
      content.keys.push_back({"HKEY_USERS\\Before", false, 1, {}});
      std::string error;
      EXPECT_FALSE(ReadRegFile(bytes, "t.reg", 1252, content, error));
      EXPECT_EQ(error, "t.reg: line 1: missing header \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\"");
      ASSERT_EQ(content.keys.size(), 1u);  // left as it was
    }
  }
  for (const char* header : {"  REGEDIT4", "\tWindows Registry Editor Version 5.00", "REGEDIT4  "}) {
    SCOPED_TRACE(header);
    RegFileContent content;
    std::string error;
    ASSERT_TRUE(ReadRegFile(ToBytes(header + body), "t.reg", 1252, content, error)) << error;
    EXPECT_EQ(Describe(content), "[HKEY_CURRENT_USER\\T]\nv=4:01000000\n");
  }
}

// "REGEDIT" files: only "HKEY_CLASSES_ROOT" lines (exact case, from the first
// column) set the unnamed value; the key ends at the first blank, then one
// "=" and one blank are passed over.
TEST(RegFileRules, OldRegeditForm) {
  const std::string file =
      "REGEDIT\r\n"
      "HKEY_CLASSES_ROOT\\.a = Value0\r\n"
      "HKEY_CLASSES_ROOT\\.b =Value1\r\n"
      "HKEY_CLASSES_ROOT\\.c =  Value2\r\n"
      "HKEY_CLASSES_ROOT\\.d = Value3 \r\n"
      "HKEY_CLASSES_ROOT\\.e Value4\r\n"
      "HKEY_CLASSES_ROOT\\.f  Value5\r\n"
      "HKEY_CLASSES_ROOT\\.g\r\n"
      "HKEY_CLASSES_ROOT\\.h = a \"quoted\" \\ value = x\r\n"
      "\r\n"
      "; a comment\r\n"
      " HKEY_CLASSES_ROOT\\.i = x\r\n"
      "hkey_classes_root\\.j = x\r\n"
      "HKEY_CLASSES_ROOTX\\.k = x\r\n"
      "HKEY_CLASSES_ROOT\\.l = No newline";
  const std::string expected = "[HKEY_CLASSES_ROOT\\.a]\n@=" + Sz("Value0") + "\n[HKEY_CLASSES_ROOT\\.b]\n@=" +
                               Sz("Value1") + "\n[HKEY_CLASSES_ROOT\\.c]\n@=" + Sz(" Value2") +
                               "\n[HKEY_CLASSES_ROOT\\.d]\n@=" + Sz("Value3 ") + "\n[HKEY_CLASSES_ROOT\\.e]\n@=" +
                               Sz("Value4") + "\n[HKEY_CLASSES_ROOT\\.f]\n@=" + Sz("Value5") +
                               "\n[HKEY_CLASSES_ROOT\\.g]\n@=" + Sz("") + "\n[HKEY_CLASSES_ROOT\\.h]\n@=" +
                               Sz("a \"quoted\" \\ value = x") + "\n[HKEY_CLASSES_ROOT\\.l]\n@=" +
                               Sz("No newline") + "\n";
  for (bool utf16 : {false, true}) {
    SCOPED_TRACE(utf16 ? "UTF-16" : "ANSI");
    Bytes bytes = utf16 ? Bytes{0xFF, 0xFE} : Bytes{};
    const Bytes payload = utf16 ? Utf8ToUtf16LeBytes(file, false) : ToBytes(file);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    RegFileContent content;
    std::string error;
    ASSERT_TRUE(ReadRegFile(bytes, "old.reg", 1252, content, error)) << error;
    EXPECT_EQ(content.format, RegFileFormat::Regedit31);
    EXPECT_EQ(Describe(content), expected);
    EXPECT_EQ(SkippedLines(content), (std::vector<int>{12, 13, 14}));
  }
}

TEST(RegFileRules, SkippedLinesAreCountedAndTheFirstOnesKept) {
  std::string body = kKey;
  for (int i = 0; i < 12; ++i) body += "\"bad" + std::to_string(i) + "\"=dword:x\n\"good" + std::to_string(i) + "\"=dword:1\n";
  RegFileContent content;
  std::string error;
  ASSERT_TRUE(ReadRegFile(File(Form::Version5, body), "t.reg", 1252, content, error)) << error;
  ASSERT_EQ(content.keys.size(), 1u);
  EXPECT_EQ(content.keys[0].values.size(), 12u);
  EXPECT_EQ(content.skippedCount, 12u);
  ASSERT_EQ(content.skipped.size(), kRegFileSkipsKept);
  EXPECT_EQ(content.skipped[9].line, 21);
  EXPECT_EQ(content.skipped[0].what, "dword data is not 1 to 8 hex digits");
  EXPECT_EQ(SkippedLinesMessage("t.reg", content), "t.reg: line 3: dword data is not 1 to 8 hex digits (12 lines skipped)");

  // The strict reader refuses the same file and names its first bad line.
  RegFileContent strict;
  EXPECT_FALSE(ParseRegFile(File(Form::Version5, body), "t.reg", 1252, strict, error));
  EXPECT_EQ(error, "t.reg: line 3: dword data is not 1 to 8 hex digits");
  EXPECT_TRUE(strict.keys.empty());
}

TEST(RegFileRules, BadInputEndsCleanly) {
  std::string error;
  {
    SCOPED_TRACE("binary garbage");
    std::mt19937 random(7);
    Bytes garbage(1 << 16);
    for (std::uint8_t& b : garbage) b = static_cast<std::uint8_t>(random());
    RegFileContent content;
    EXPECT_FALSE(ReadRegFile(garbage, "g.reg", 1252, content, error));
    // Garbage after a good header: every line skipped or read, nothing more.
    Bytes after = ToBytes("REGEDIT4\r\n");
    after.insert(after.end(), garbage.begin(), garbage.end());
    ASSERT_TRUE(ReadRegFile(after, "g.reg", 1252, content, error));
    EXPECT_GT(content.skippedCount, 0u);
  }
  for (Form form : {Form::Regedit4, Form::Version5}) {
    SCOPED_TRACE("a file of only a header");
    RegFileContent content;
    ASSERT_TRUE(ReadRegFile(File(form, ""), "h.reg", 1252, content, error)) << error;
    EXPECT_TRUE(content.keys.empty());
    EXPECT_EQ(content.skippedCount, 0u);
  }
  {
    // 16 MB keeps the test quick; the reader is linear in the line.
    SCOPED_TRACE("a 16 MB line");
    std::string file = "REGEDIT4\n" + std::string(kKey) + "\"v\"=hex:";
    const std::size_t bytes = 16'000'000 / 3;
    const std::size_t start = file.size();
    file.resize(start + 3 * bytes, ',');
    for (std::size_t i = 0; i < bytes; ++i) {
      file[start + 3 * i] = 'a';
      file[start + 3 * i + 1] = '5';
    }
    file += "01\n";
    RegFileContent content;
    ASSERT_TRUE(ReadRegFile(ToBytes(file), "big.reg", 1252, content, error)) << error;
    ASSERT_EQ(content.keys.size(), 1u);
    ASSERT_EQ(content.keys[0].values.size(), 1u);
    EXPECT_EQ(content.keys[0].values[0].data.size(), bytes + 1);
  }
  {
    SCOPED_TRACE("10,000 continuation lines");
    std::string body = std::string(kKey) + "\"v\"=hex:01,\\\n";
    for (int i = 0; i < 10'000; ++i) body += "  02,\\\n";
    body += "  03\n\"w\"=dword:1\n";
    RegFileContent content;
    ASSERT_TRUE(ReadRegFile(File(Form::Version5, body), "long.reg", 1252, content, error)) << error;
    ASSERT_EQ(content.keys.size(), 1u);
    ASSERT_EQ(content.keys[0].values.size(), 2u);
    EXPECT_EQ(content.keys[0].values[0].data.size(), 10'002u);
    EXPECT_EQ(content.keys[0].values[1].line, 10'005);
  }
  {
    SCOPED_TRACE("key lines of 300 characters");
    const std::string longName(290, 'k');
    std::string shortNames;
    while (shortNames.size() < 280) shortNames += "\\abcdefghij";
    RegFileContent content;
    ASSERT_TRUE(ReadRegFile(File(Form::Regedit4, "[HKEY_CURRENT_USER\\" + longName + "]\n\"v\"=dword:1\n"
                                                 "[HKEY_CURRENT_USER" + shortNames + "]\n"),
                            "k.reg", 1252, content, error));
    ASSERT_EQ(content.keys.size(), 1u);
    EXPECT_EQ(content.keys[0].path, "HKEY_CURRENT_USER" + shortNames);
    EXPECT_EQ(SkippedLines(content), (std::vector<int>{2, 3}));
    EXPECT_EQ(content.skipped[0].what, "key name longer than 255 characters");
  }
  {
    SCOPED_TRACE("NULs in a UTF-16 file");
    const std::string body = std::string(kKey) + "\"a\"=\"x" + std::string(1, '\0') + "y\"\n\"b\"=dword:1\n" +
                             "\"c\"=hex:01,\\\n" + std::string(1, '\0') + "\n\"d\"=dword:2\n";
    RegFileContent content;
    ASSERT_TRUE(ReadRegFile(File(Form::Version5, body), "n.reg", 1252, content, error)) << error;
    EXPECT_EQ(Describe(content), "[HKEY_CURRENT_USER\\T]\nb=4:01000000\nd=4:02000000\n");
    EXPECT_EQ(SkippedLines(content), (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(content.skipped[0].what, "NUL character in the line");
  }
}

}  // namespace
