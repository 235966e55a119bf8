#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "FileSystemFixture.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"

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
      {"new section at the end", [](IniText& i) { return i.WriteString("New", "k", "v"); },
       "[A]\r\nk=1\r\n", "[A]\r\nk=1\r\n\r\n[New]\r\nk=v\r\n"},
      {"into an empty text", [](IniText& i) { return i.WriteInteger("Version", "Ver", -4); }, "",
       "[Version]\r\nVer=-4\r\n"},
      {"delete a key, every copy of it in the section",
       [](IniText& i) { return i.DeleteKey("A", "k"); }, "[A]\nk=1\nx=2\nK=3\n[B]\nk=4\n",
       "[A]\nx=2\n[B]\nk=4\n"},
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
            "[Optimize network speed]\r\nF1=1\r\nF2=384\r\n\r\n[Caf\xE9]\r\nName=R\xE9sum\xE9\r\n");

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

}  // namespace
