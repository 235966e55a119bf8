#include "regclean/IgnoreFileUnit.h"

#include "RegcleanFixture.h"
#include "platform/files/FileSystem.h"

namespace regclean::test {
namespace {

class IgnoreFileTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    UseMachine("", "");
  }
  static void WriteIgnoreFile(const std::string& bytes) {
    ASSERT_TRUE(win::WriteFileBytes(IgnoreFilePath(), std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
  }
  static std::string IgnoreFileBytes() {
    std::vector<std::uint8_t> bytes;
    win::ReadFileBytes(IgnoreFilePath(), bytes);
    return std::string(bytes.begin(), bytes.end());
  }
};

TEST(IgnoreLineTest, SplitsAtTheFirstTwoBars) {
  struct Case {
    std::string line, section, keyPath, valueName;
  };
  const std::vector<Case> cases = {
      {"Font Entries|HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts|Arial (TrueType)", "Font Entries",
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "Arial (TrueType)"},
      {"S|K|a|b|c", "S", "K", "a|b|c"},
      {"S|K|", "S", "K", ""},
      {"S||V", "S", "", "V"},
      {"S|K", "S", "K", ""},
      {"no bars at all", "", "", "no bars at all"},
      {"|||", "", "", "|"},
      {" S | K | V ", " S ", " K ", " V "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const TIgnoreContent parsed = ParseIgnoreLine(c.line);
    EXPECT_EQ(parsed.Section, c.section);
    EXPECT_EQ(parsed.KeyPath, c.keyPath);
    EXPECT_EQ(parsed.ValueName, c.valueName);
  }
  EXPECT_EQ(FormatIgnoreLine("S", "K", "V"), "S|K|V");
}

TEST(IgnoreLineTest, MatchesSectionAndKeyPathInAnyCaseAndTheValueNameExactly) {
  TIgnoreContents list;
  list.GetItem(list.Add()).Content = {"Uninstall Entries", "HKEY_LOCAL_MACHINE\\Soft\\App", "UninstallString"};
  list.GetItem(list.Add()).Content = {"", "", "no bars"};
  struct Case {
    std::string section, keyPath, valueName;
    bool ignored;
  };
  const std::vector<Case> cases = {
      {"Uninstall Entries", "HKEY_LOCAL_MACHINE\\Soft\\App", "UninstallString", true},
      {"UNINSTALL entries", "hkey_local_machine\\SOFT\\app", "UninstallString", true},
      {"Uninstall Entries", "HKEY_LOCAL_MACHINE\\Soft\\App", "uninstallstring", false},
      {"Uninstall Entries", "HKEY_LOCAL_MACHINE\\Soft\\App2", "UninstallString", false},
      {"Shared DLL's Sections", "HKEY_LOCAL_MACHINE\\Soft\\App", "UninstallString", false},
      {"", "", "no bars", true},  // only an empty caption could ever ask for it
      {"Uninstall Entries", "", "no bars", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section + "|" + c.keyPath + "|" + c.valueName);
    EXPECT_EQ(IsIgnoredItem(list, c.section, c.keyPath, c.valueName), c.ignored);
  }
  // Only a to z fold: other letters must match as written.
  list.GetItem(list.Add()).Content = {"S", "HKEY_CURRENT_USER\\Ä", "v"};
  EXPECT_TRUE(IsIgnoredItem(list, "s", "hkey_current_user\\Ä", "v"));
  EXPECT_FALSE(IsIgnoredItem(list, "s", "hkey_current_user\\ä", "v"));
}

TEST_F(IgnoreFileTest, LoadsCrLfLfAndCrLinesAndSkipsEmptyOnes) {
  WriteIgnoreFile("A|K1|v1\r\n\r\nB|K2|v2\nC|K3|v3\n\nD|K4|v4\rE|K5|v5\r\rF|K6|v6");
  TIgnoreContents list;
  list.Add();  // loading appends
  LoadIgnoreList(list);
  ASSERT_EQ(list.Count(), 7);
  EXPECT_EQ(list.GetItem(1).Content.Section, "A");
  EXPECT_EQ(list.GetItem(1).Content.ValueName, "v1");
  EXPECT_EQ(list.GetItem(2).Content.ValueName, "v2");
  EXPECT_EQ(list.GetItem(3).Content.ValueName, "v3");
  EXPECT_EQ(list.GetItem(4).Content.Section, "D");
  EXPECT_EQ(list.GetItem(4).Content.ValueName, "v4");
  EXPECT_EQ(list.GetItem(5).Content.KeyPath, "K5");
  EXPECT_EQ(list.GetItem(6).Content.ValueName, "v6");
}

TEST_F(IgnoreFileTest, ReadsAndWritesTheAnsiCodePage) {
  WriteIgnoreFile("Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Caf\xE9\r\n");
  TIgnoreContents list;
  LoadIgnoreList(list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetItem(0).Content.ValueName, "Caf\xC3\xA9");  // UTF-8 inside

  ASSERT_TRUE(AppendIgnoreLine("S", "K", "\xC3\xA9t\xC3\xA9"));
  EXPECT_EQ(IgnoreFileBytes(),
            "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Caf\xE9\r\nS|K|\xE9t\xE9\r\n");
  // A line the code page cannot hold would never match again: not written.
  EXPECT_FALSE(AppendIgnoreLine("S", "HKEY_CURRENT_USER\\\xE6\x97\xA5", "V"));
  EXPECT_EQ(IgnoreFileBytes(),
            "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Caf\xE9\r\nS|K|\xE9t\xE9\r\n");
}

TEST_F(IgnoreFileTest, MissingOrUnreadableFileIsAnEmptyList) {
  TIgnoreContents list;
  LoadIgnoreList(list);
  EXPECT_EQ(list.Count(), 0);
  // A folder where the file should be cannot be read.
  ASSERT_TRUE(win::CreateDirectory(IgnoreFilePath()));
  LoadIgnoreList(list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(AppendIgnoreLine("S", "K", "V"));
}

TEST_F(IgnoreFileTest, AppendCreatesTheFileAndNeverJoinsLines) {
  ASSERT_TRUE(AppendIgnoreLine("Font Entries", "HKEY_LOCAL_MACHINE\\Fonts", "Arial (TrueType)"));
  ASSERT_TRUE(AppendIgnoreLine("Font Entries", "HKEY_LOCAL_MACHINE\\Fonts", "Arial (TrueType)"));
  EXPECT_EQ(IgnoreFileBytes(),
            "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial (TrueType)\r\n"
            "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial (TrueType)\r\n");

  WriteIgnoreFile("A|K|hand-edited, no line end");
  ASSERT_TRUE(AppendIgnoreLine("B", "K", "V"));
  EXPECT_EQ(IgnoreFileBytes(), "A|K|hand-edited, no line end\r\nB|K|V\r\n");
  WriteIgnoreFile("A|K|ended by a CR alone\r");
  ASSERT_TRUE(AppendIgnoreLine("B", "K", "V"));
  EXPECT_EQ(IgnoreFileBytes(), "A|K|ended by a CR alone\rB|K|V\r\n");
  TIgnoreContents list;
  LoadIgnoreList(list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetItem(1).Content.Section, "B");
}

}  // namespace
}  // namespace regclean::test
