#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "FileSystemFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/files/IniFile.h"

using namespace win;

namespace {

const char kWinIni[] =
    "; for 16-bit app support\r\n"
    "[windows]\r\n"
    "load=\r\n"
    "run = C:\\Tools\\tray.exe  \r\n"
    "Run=second.exe\r\n"
    "odd line without equals\r\n"
    "\r\n"
    "[Fonts]\r\n"
    "[extensions]\r\n"
    "txt=\"notepad.exe ^.txt\"\r\n"
    "Count=0x1F\r\n"
    "Neg=-12\r\n"
    "Junk=12abc\r\n"
    "All=$FFFFFFFF\r\n"
    "[WINDOWS]\r\n"
    "load=from the second section\r\n"
    "extra=only here\r\n";

TEST(IniText, ReadsWithWindowsSemantics) {
  const IniText ini(kWinIni);
  const struct {
    const char* section;
    const char* key;
    const char* value;  // nullptr: absent
  } cases[] = {
      {"windows", "load", ""},
      {"Windows", "RUN", "C:\\Tools\\tray.exe"},    // trimmed, first match wins
      {"extensions", "txt", "notepad.exe ^.txt"},  // quotes removed
      {"windows", "extra", nullptr},               // the first section wins
      {"windows", "odd line without equals", nullptr},
      {"windows", "; for 16-bit app support", nullptr},
      {"fonts", "anything", nullptr},
      {"nosuch", "load", nullptr},
  };
  for (const auto& c : cases) {
    const auto value = ini.Value(c.section, c.key);
    EXPECT_EQ(value.has_value(), c.value != nullptr) << c.section << "/" << c.key;
    if (value && c.value) {
      EXPECT_EQ(*value, c.value) << c.section << "/" << c.key;
    }
  }
  EXPECT_EQ(ini.ReadString("x", "y", "default"), "default");
  EXPECT_EQ(ini.ReadInteger("extensions", "Count", 7), 31);
  EXPECT_EQ(ini.ReadInteger("extensions", "Neg", 7), -12);
  EXPECT_EQ(ini.ReadInteger("extensions", "Junk", 7), 7);
  EXPECT_EQ(ini.ReadInteger("extensions", "All", 7), -1);
  EXPECT_EQ(ini.ReadInteger("extensions", "txt", 7), 7);
  EXPECT_TRUE(ini.SectionExists("FONTS"));
  EXPECT_TRUE(ini.ValueExists("windows", "load"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"windows", "Fonts", "extensions"}));
  EXPECT_EQ(ini.ReadSection("WINDOWS"), (std::vector<std::string>{"load", "run", "Run"}));
  EXPECT_EQ(ini.ReadSectionValues("windows"),
            (std::vector<std::string>{"load=", "run=C:\\Tools\\tray.exe",
                                      "Run=C:\\Tools\\tray.exe"}));
  EXPECT_EQ(ini.Text(), kWinIni);  // unchanged text comes back byte for byte
}

TEST(IniText, WritesKeepEveryOtherLine) {
  const struct {
    const char* name;
    std::function<bool(IniText&)> change;
    const char* before;
    const char* after;
  } cases[] = {
      {"replace in place, keeping the key's spelling",
       [](IniText& i) { return i.WriteString("S", "KEY", "new"); },
       "; c\n[s]\nKey = old\nother=1\n", "; c\n[s]\nKey=new\nother=1\n"},
      {"new key after the last line of its section",
       [](IniText& i) { return i.WriteString("a", "k2", "v2"); },
       "[A]\r\nk1=v1\r\n; note\r\n\r\n[B]\r\nx=1\r\n",
       "[A]\r\nk1=v1\r\n; note\r\nk2=v2\r\n\r\n[B]\r\nx=1\r\n"},
      {"new section at the end, with no blank line before it",
       [](IniText& i) { return i.WriteString("New", "k", "v"); }, "[A]\r\nk=1\r\n",
       "[A]\r\nk=1\r\n[New]\r\nk=v\r\n"},
      {"every line read keeps its own line end; new lines take the first line's",
       [](IniText& i) { return i.WriteString("b", "y", "3") && i.WriteString("b", "z", "4"); },
       "[a]\rx=1\n[b]\r\ny=2", "[a]\rx=1\n[b]\r\ny=3\rz=4\r"},
      {"into an empty text", [](IniText& i) { return i.WriteInteger("Version", "Ver", -4); }, "",
       "[Version]\r\nVer=-4\r\n"},
      {"delete a key: its first copy in the section only",
       [](IniText& i) { return i.DeleteKey("A", "k") && i.ReadString("A", "k", "") == "3"; },
       "[A]\nk=1\nx=2\nK=3\n[B]\nk=4\n", "[A]\nx=2\nK=3\n[B]\nk=4\n"},
      {"erase every section of the name with its lines",
       [](IniText& i) { return i.EraseSection("a"); }, "; top\n[A]\nk=1\n; in A\n[B]\nx=2\n[a]\ny=3\n",
       "; top\n[B]\nx=2\n"},
      {"missing key: nothing changes", [](IniText& i) { return !i.DeleteKey("A", "zz"); },
       "[A]\nk=1\n", "[A]\nk=1\n"},
      {"a value with a line break is refused",
       [](IniText& i) { return !i.WriteString("A", "k", "two\nlines"); }, "[A]\nk=1\n",
       "[A]\nk=1\n"},
      {"a key with '=' is refused", [](IniText& i) { return !i.WriteString("A", "a=b", "v"); },
       "[A]\n", "[A]\n"},
  };
  for (const auto& c : cases) {
    IniText ini(c.before);
    EXPECT_TRUE(c.change(ini)) << c.name;
    EXPECT_EQ(ini.Text(), c.after) << c.name;
  }
}

// Windows' profile behaviour: a CR alone ends a line, a line without "="
// holds no key, and a file built up by writes has no blank lines.
TEST(IniText, ReadsAndWritesAsWindowsProfilesDo) {
  const struct {
    const char* text;
    std::vector<std::string> keys;  // of section "s"
  } reads[] = {
      {"[s]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n", {"name1", "name2", "name4"}},
      {"[s]\rname1=val1\rname2=v2\r", {"name1", "name2"}},
      {"[s]\r\nname1=val1\rname2=v2\nname3=v3", {"name1", "name2", "name3"}},
      {"[t]\rk=1\r[s]\rafter=cr\r", {"after"}},
  };
  for (const auto& c : reads) EXPECT_EQ(IniText(c.text).ReadSection("s"), c.keys) << c.text;
  EXPECT_EQ(IniText("[s]\rname1=val1\rname2=v2").ReadString("s", "name2", ""), "v2");

  IniText ini;
  ASSERT_TRUE(ini.WriteString("App1", "key1", "string1"));
  ASSERT_TRUE(ini.WriteString("App1", "key2", "string2"));
  ASSERT_TRUE(ini.WriteString("App1", "key3", "string3"));
  ASSERT_TRUE(ini.WriteString("App2", "key4", "string4"));
  ASSERT_TRUE(ini.WriteString("App3", "key5", "string5"));
  EXPECT_EQ(ini.Text(),
            "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
            "[App3]\r\nkey5=string5\r\n");
  ASSERT_TRUE(ini.DeleteKey("App1", "key2"));
  EXPECT_FALSE(ini.DeleteKey("App1", "key2"));
  ASSERT_TRUE(ini.EraseSection("App1"));
  ASSERT_TRUE(ini.EraseSection("App2"));
  ASSERT_TRUE(ini.DeleteKey("App3", "key5"));
  EXPECT_EQ(ini.Text(), "[App3]\r\n");  // the section stays
}

class IniFileTest : public ::testing::Test {
 protected:
  HandMachine m;
};

TEST_F(IniFileTest, EveryWriteLandsInTheFileInTheAnsiCodePage) {
  m.Folder("WINDOWS");
  TIniFile ini("C:\\windows\\SPEED.ini");
  EXPECT_EQ(ini.ReadString("Version", "Ver", "none"), "none");  // missing file reads empty
  ASSERT_TRUE(ini.WriteString("Optimize network speed", "F1", "1"));
  ASSERT_TRUE(ini.WriteString("Caf\xC3\xA9", "Name", "R\xC3\xA9sum\xC3\xA9"));
  ASSERT_TRUE(ini.WriteInteger("Optimize network speed", "F2", 384));
  EXPECT_EQ(m.Content("WINDOWS/SPEED.ini"),
            "[Optimize network speed]\r\nF1=1\r\nF2=384\r\n[Caf\xE9]\r\nName=R\xE9sum\xE9\r\n");

  // Another writer's change is seen at once.
  TIniFile other("C:\\WINDOWS\\speed.ini");
  EXPECT_EQ(other.ReadString("CAF\xC3\x89", "name", ""), "R\xC3\xA9sum\xC3\xA9");
  EXPECT_EQ(other.ReadInteger("Optimize network speed", "F2", 0), 384);
  ASSERT_TRUE(other.DeleteKey("Optimize network speed", "F1"));
  ASSERT_TRUE(other.EraseSection("Caf\xC3\xA9"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Optimize network speed"}));
  EXPECT_EQ(ini.ReadSectionValues("Optimize network speed"), (std::vector<std::string>{"F2=384"}));
  // Removing what is not there is no failure and leaves the file alone.
  EXPECT_TRUE(ini.DeleteKey("none", "F1"));
  EXPECT_TRUE(ini.EraseSection("none"));
  EXPECT_TRUE(ini.UpdateFile());
}

TEST_F(IniFileTest, FailedWritesSayGetLastErrorAndLoseNothing) {
  TIniFile nowhere("C:\\Missing\\x.ini");
  EXPECT_FALSE(nowhere.WriteString("A", "k", "v"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  m.File("locked.ini", "[A]\r\nk=1\r\n");
  ASSERT_TRUE(SetFileAttributes("C:\\locked.ini", FILE_ATTRIBUTE_READONLY));
  TIniFile locked("C:\\locked.ini");
  EXPECT_FALSE(locked.WriteString("A", "k", "2"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(locked.ReadString("A", "k", ""), "1");

  // A file that cannot be read is never overwritten with a fresh one.
  m.Folder("dir.ini");
  TIniFile folder("C:\\dir.ini");
  EXPECT_FALSE(folder.WriteString("A", "k", "v"));
  EXPECT_TRUE(DirectoryExists("C:\\dir.ini"));
}

TEST_F(IniFileTest, AUtf16FileIsReadAndStaysUtf16) {
  const std::u16string text = u"[S]\r\nk=v\u00e9\u65e5\r\n";
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  m.File("u.ini", bytes);
  TIniFile ini("C:\\u.ini");
  EXPECT_EQ(ini.ReadString("s", "K", ""), "v\xC3\xA9\xE6\x97\xA5");
  ASSERT_TRUE(ini.WriteString("S", "n", "1"));
  std::string expected = "\xFF\xFE";
  for (const char16_t unit : std::u16string(u"[S]\r\nk=v\u00e9\u65e5\r\nn=1\r\n")) {
    expected += static_cast<char>(unit & 0xFF);
    expected += static_cast<char>(unit >> 8);
  }
  EXPECT_EQ(m.Content("u.ini"), expected);
}

TEST_F(IniFileTest, ARewriteLeavesTheLinesItDidNotTouchByteForByte) {
  const std::string untouched = "; \x80 \x81\x8D\x8F\x90\x9D \xFF\rk=a\x81\x8D\x8F\x90\x9D\n";
  m.File("cp.ini", "[S]\r\n" + untouched + "other=1\r\n");
  TIniFile ini("C:\\cp.ini");
  EXPECT_EQ(ini.ReadString("S", "k", ""), "a\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  ASSERT_TRUE(ini.WriteString("S", "other", "2"));
  EXPECT_EQ(m.Content("cp.ini"), "[S]\r\n" + untouched + "other=2\r\n");
}

}  // namespace
