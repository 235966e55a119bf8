#include "regclean/HelpSectionUnit.h"

#include "SectionScanFixture.h"

namespace regclean::test {
namespace {

constexpr int kSection = 6;
const std::string kHelp = "SOFTWARE\\Microsoft\\Windows\\Help";
const std::string kHelpPath = "HKEY_LOCAL_MACHINE\\" + kHelp;

const char* const kMachine = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\Help]
"app.hlp"="C:\\Help"
"slash.hlp"="C:\\Help\\"
"there.hlp"="C:\\Help"
"net.hlp"="\\\\server\\help"
"cd.hlp"="D:\\help"
"usb.hlp"="E:\\help"
"floppy.hlp"="a:\\help"
"number.hlp"=dword:00000001
"expand.hlp"=hex(2):43,3a,5c,48,65,6c,70,00
"folder.hlp"="C:"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\Html Help]
"guide.chm"="C:\\Docs"
"present.chm"="C:\\Docs"
)";

class HelpSectionTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine(kMachine, "C:\\Help\\there.hlp\nC:\\Docs\\present.chm\n");
  }
};

TEST_F(HelpSectionTest, ReportsMissingLocalHelpFilesOfBothKeys) {
  Scan(kSection);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyPath + " | " + p.ValueName + " | " + p.Value; }),
            (std::vector<std::string>{
                kHelpPath + " | app.hlp | C:\\Help\\app.hlp",
                kHelpPath + " | slash.hlp | C:\\Help\\slash.hlp",
                kHelpPath + " | expand.hlp | C:\\Help\\expand.hlp",
                kHelpPath + " | folder.hlp | C:\\folder.hlp",
                "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Html Help | guide.chm | C:\\Docs\\guide.chm",
            }));
}

TEST_F(HelpSectionTest, FillsTheTexts) {
  Scan(kSection);
  ASSERT_GE(found.Count(), 1);
  const TRegistryContent& p = found.GetItem(0).Content;
  EXPECT_EQ(p.KeyName, "app.hlp");
  EXPECT_FALSE(p.UnnamedValue);
  EXPECT_EQ(p.KeyPathText, " Key Path:" + kHelpPath);
  EXPECT_EQ(p.ValueNameText, " ValueName:default");
  EXPECT_EQ(p.ValueText, " Value:C:\\Help\\app.hlp");
  EXPECT_EQ(p.DetailText, " The file (C:\\Help\\app.hlp) does not exist at the specified location");
  EXPECT_EQ(p.Description, "The Key C:\\Help\\app.hlp under " + kHelpPath + " contains a bad path for the value");
  EXPECT_EQ(p.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(p.Severity, "Low");
}

TEST_F(HelpSectionTest, IgnoredValueIsSkippedAndOnlyThatOne) {
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Help Section", kHelpPath, "app.hlp"};
  ignores.GetItem(ignores.Add()).Content = {"Help Section", kHelpPath, "SLASH.HLP"};  // names match exactly
  Scan(kSection, ignores);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.ValueName; }),
            (std::vector<std::string>{"slash.hlp", "expand.hlp", "folder.hlp", "guide.chm"}));
}

TEST_F(HelpSectionTest, RepairDeletesTheRegistrationAndLogsThePathBelowTheRoot) {
  Scan(kSection);
  for (int i = 1; i < found.Count(); ++i) found.GetItem(i).Content.Checked = false;
  Repair(kSection);
  EXPECT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, kHelp, "app.hlp"));
  for (const char* kept : {"slash.hlp", "there.hlp", "net.hlp", "number.hlp"})
    EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, kHelp, kept)) << kept;
  ASSERT_EQ(log.Count(), 1);
  EXPECT_EQ(log.GetItem(0).Content.KeyPath, "\\" + kHelp);
  EXPECT_EQ(log.GetItem(0).Content.Result, "Repaired Successfully");
}

TEST_F(HelpSectionTest, AbortAfterTheFirstKeyLeavesTheSecondUnread) {
  SetProcessMessagesHook([] { ScanState = 2; });
  Scan(kSection);
  EXPECT_EQ(found.Count(), 4);
  EXPECT_EQ(ItemsProcessed, 1);
}

}  // namespace
}  // namespace regclean::test
