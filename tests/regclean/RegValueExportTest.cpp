#include "regclean/RegValueExportUnit.h"

#include "RegcleanFixture.h"

namespace regclean::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const char* const kKey = "SOFTWARE\\Fw";
const char* const kKeyPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fw";

std::vector<std::string> Export(const std::string& name) {
  std::vector<std::string> lines;
  ExportRegValue(kKeyPath, name, lines);
  return lines;
}

class RegValueExportTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    UseMachine("", "");
  }
};

TEST_F(RegValueExportTest, WritesEveryTypeOnOneLineUnderTheKeyLine) {
  Bytes big(300);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
  std::string bigHex;
  for (std::size_t i = 0; i < big.size(); ++i) {
    static const char digits[] = "0123456789ABCDEF";
    if (i > 0) bigHex += ',';
    bigHex += digits[big[i] >> 4];
    bigHex += digits[big[i] & 0xF];
  }
  struct Case {
    std::string name;
    win::DWORD type;
    Bytes data;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"sz", win::REG_SZ, win::Utf8ToUtf16LeBytes("C:\\Tools"), "\"sz\"=\"C:\\\\Tools\""},
      {"quote \"x\"", win::REG_SZ, win::Utf8ToUtf16LeBytes("say \"hi\""),
       "\"quote \\\"x\\\"\"=\"say \\\"hi\\\"\""},
      {"back\\slash", win::REG_SZ, win::Utf8ToUtf16LeBytes(""), "\"back\\\\slash\"=\"\""},
      {"unicode", win::REG_SZ, win::Utf8ToUtf16LeBytes("\xE2\x82\xAC \xE6\x97\xA5"),
       "\"unicode\"=\"\xE2\x82\xAC \xE6\x97\xA5\""},
      // Text a quoted string cannot bring back exactly.
      {"two lines", win::REG_SZ, win::Utf8ToUtf16LeBytes("a\r\nb"),
       "\"two lines\"=hex(1):61,00,0D,00,0A,00,62,00,00,00"},
      {"no end", win::REG_SZ, {0x41, 0x00}, "\"no end\"=hex(1):41,00"},
      {"expand", win::REG_EXPAND_SZ, win::Utf8ToUtf16LeBytes("%A%"),
       "\"expand\"=hex(2):25,00,41,00,25,00,00,00"},
      {"dword", win::REG_DWORD, {0x02, 0x01, 0x00, 0x00}, "\"dword\"=dword:00000102"},
      {"zero", win::REG_DWORD, {0, 0, 0, 0}, "\"zero\"=dword:00000000"},
      {"middle", win::REG_DWORD, {0x01, 0x00, 0x00, 0xAB}, "\"middle\"=dword:AB000001"},
      {"short dword", win::REG_DWORD, {0x01, 0x02}, "\"short dword\"=hex(4):01,02"},
      {"binary", win::REG_BINARY, {0x01, 0x00, 0xFF}, "\"binary\"=hex:01,00,FF"},
      {"empty binary", win::REG_BINARY, {}, "\"empty binary\"=hex:"},
      {"multi", win::REG_MULTI_SZ, {0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0},
       "\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
      {"qword", win::REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}, "\"qword\"=hex(b):01,02,03,04,05,06,07,08"},
      {"none", win::REG_NONE, {}, "\"none\"=hex(0):"},
      {"odd type", 0x12345, {0xAA}, "\"odd type\"=hex(12345):AA"},
      {"big", win::REG_BINARY, big, "\"big\"=hex:" + bigHex},
      {"", win::REG_SZ, win::Utf8ToUtf16LeBytes("unnamed"), "@=\"unnamed\""},
      {"default", win::REG_SZ, win::Utf8ToUtf16LeBytes("named default"),
       "\"default\"=\"named default\""},
  };
  for (const Case& c : cases)
    ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, c.name, c.type, c.data)) << c.name;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Export(c.name), (std::vector<std::string>{"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fw]", c.line}));
  }
}

TEST_F(RegValueExportTest, MissingKeyOrValueWritesNothing) {
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, kKey, "present", "x"));
  EXPECT_TRUE(Export("absent").empty());
  EXPECT_TRUE(Export("").empty());  // no unnamed value
  std::vector<std::string> lines;
  ExportRegValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Nowhere", "present", lines);
  ExportRegValue("HKEY_NOWHERE\\SOFTWARE\\Fw", "present", lines);
  ExportRegValue("hkey_local_machine\\SOFTWARE\\Fw", "present", lines);
  EXPECT_TRUE(lines.empty());
}

TEST_F(RegValueExportTest, StripsOnlyTheLeadingRootName) {
  const std::string key = "SOFTWARE\\HKEY_LOCAL_MACHINE\\inner";
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, key, "v", "x"));
  std::vector<std::string> lines;
  ExportRegValue("HKEY_LOCAL_MACHINE\\" + key, "v", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"[HKEY_LOCAL_MACHINE\\SOFTWARE\\HKEY_LOCAL_MACHINE\\inner]",
                                             "\"v\"=\"x\""}));
}

TEST_F(RegValueExportTest, KeyExportHoldsTheWholeSubtree) {
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\Tree", "", "top"));
  ASSERT_TRUE(WriteValue(win::HKEY_CURRENT_USER, "Software\\Tree", "n", win::REG_DWORD, {1, 0, 0, 0}));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\Tree\\b", "x", "1"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\Tree\\a\\deep", "y", "2"));
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.CreateKey("\\Software\\Tree\\a\\empty"));

  std::vector<std::string> lines;
  ExportRegKey("HKEY_CURRENT_USER\\Software\\Tree", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "[HKEY_CURRENT_USER\\Software\\Tree]",
                       "@=\"top\"",
                       "\"n\"=dword:00000001",
                       "[HKEY_CURRENT_USER\\Software\\Tree\\a]",
                       "[HKEY_CURRENT_USER\\Software\\Tree\\a\\deep]",
                       "\"y\"=\"2\"",
                       "[HKEY_CURRENT_USER\\Software\\Tree\\a\\empty]",
                       "[HKEY_CURRENT_USER\\Software\\Tree\\b]",
                       "\"x\"=\"1\"",
                   }));
  lines.clear();
  ExportRegKey("HKEY_CURRENT_USER\\Software\\NoTree", lines);
  EXPECT_TRUE(lines.empty());
}

TEST_F(RegValueExportTest, HeaderAndFileFormFollowTheWindowsFamily) {
  PlatformCode = 4;
  EXPECT_EQ(RegFileHeaderLine(), "Windows Registry Editor Version 5.00");
  EXPECT_EQ(RegLinesToFileBytes({"A\xE2\x82\xAC"}), (Bytes{0xFF, 0xFE, 'A', 0, 0xAC, 0x20, '\r', 0, '\n', 0}));
  PlatformCode = 2;
  EXPECT_EQ(RegFileHeaderLine(), "REGEDIT4");
  EXPECT_EQ(RegLinesToFileBytes({"A\xE2\x82\xAC", "B"}), (Bytes{'A', 0x80, '\r', '\n', 'B', '\r', '\n'}));
  // An ANSI file carries only the code page's characters: other text is
  // not written at all, not even as hex bytes it would bring back as other
  // characters.
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "v", win::REG_SZ,
                         win::Utf8ToUtf16LeBytes("\xE6\x97\xA5")));
  EXPECT_TRUE(Export("v").empty());
  // Text without its terminator goes as the code page's bytes, which come
  // back with the terminator.
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "v", win::REG_SZ, {0xE9, 0x00, 0x41, 0x00}));
  EXPECT_EQ(Export("v").back(), "\"v\"=hex(1):E9,41");
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "v", win::REG_SZ,
                         win::Utf8ToUtf16LeBytes("caf\xC3\xA9")));
  EXPECT_EQ(Export("v").back(), "\"v\"=\"caf\xC3\xA9\"");
  PlatformCode = 1;
  EXPECT_EQ(RegFileHeaderLine(), "");
}

TEST(DbcsCharToRegHexTest, GivesTheFirstCodeUnitLowByteFirst) {
  // Western code page of the default test machine: no machine needed for 1252.
  EXPECT_EQ(DbcsCharToRegHex("A"), "41,00,");
  EXPECT_EQ(DbcsCharToRegHex("\x80"), "AC,20,");  // the euro sign
}

class DbcsMachineTest : public RegcleanTest {};

TEST_F(DbcsMachineTest, DoubleByteCharacterBecomesItsCodeUnit) {
  std::string config = TestMachine::DefaultConfigText();
  config.replace(config.find("AnsiCodePage=1252"), 17, "AnsiCodePage=932");
  UseMachine("", "", config);
  EXPECT_EQ(DbcsCharToRegHex("\x93\xFA"), "E5,65,");  // U+65E5 in Shift-JIS
  EXPECT_EQ(DbcsCharToRegHex("a"), "61,00,");
  // The export writes that code unit for each character of expandable text.
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "e", win::REG_EXPAND_SZ,
                         win::Utf8ToUtf16LeBytes("%\xE6\x97\xA5%")));
  EXPECT_EQ(Export("e").back(), "\"e\"=hex(2):25,00,E5,65,25,00,00,00");
}

}  // namespace
}  // namespace regclean::test
