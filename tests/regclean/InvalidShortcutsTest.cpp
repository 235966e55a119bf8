#include "regclean/InvalidShortCutsUnit.h"

#include "AbortProbe.h"
#include "SectionScanFixture.h"
#include "platform/FileSystem.h"
#include "platform/ShellLinkWriter.h"

namespace regclean::test {
namespace {

constexpr int kSection = 8;
const std::string kDesktop = "C:\\Documents and Settings\\Owner\\Desktop";
const std::string kPrograms = "C:\\Documents and Settings\\Owner\\Start Menu\\Programs";

// C: and F: fixed, D: CD-ROM, E: removable, N: network; Q: no drive.
std::string Config() { return TestMachine::DefaultConfigText() + "F=fixed,drives/F\r\nN=remote,drives/N\r\n"; }

const std::string kFiles =
    "C:\\Program Files\\App\\app.exe\n"
    "C:\\Program Files\\App 1.0\\\n"
    "C:\\Tools\\make\n" +
    kDesktop + "\\Gone.lnk | lnk=C:\\Gone\\app.exe\n" +
    kDesktop + "\\Good.lnk | lnk=C:\\Program Files\\App\\app.exe\n" +
    kDesktop + "\\GoodFolder.lnk | lnk=C:\\Program Files\\App\n" +
    kDesktop + "\\Dotted.lnk | lnk=C:\\Program Files\\App 1.0\n" +
    kDesktop + "\\NoExtension.lnk | lnk=C:\\Tools\\make\n" +
    kDesktop + "\\Floppy.lnk | lnk=A:\\setup.exe\n" +
    kDesktop + "\\Cd.lnk | lnk=D:\\setup.exe\n" +
    kDesktop + "\\Usb.lnk | lnk=E:\\x.exe\n" +
    kDesktop + "\\Network.lnk | lnk=N:\\x.exe\n" +
    kDesktop + "\\NoDrive.lnk | lnk=Q:\\x.exe\n" +
    kDesktop + "\\Share.lnk | lnk=\\\\server\\share\\x.exe\n" +
    kDesktop + "\\Url.lnk | lnk=C:\\http://example.com/a.htm\n" +
    kDesktop + "\\Upper.LNK | lnk=C:\\Gone\\upper.exe\n" +
    kDesktop + "\\Locked.lnk | attr=R | lnk=C:\\Gone\\locked.exe\n" +
    kDesktop + "\\Damaged.lnk | text=not a shortcut\n" +
    kPrograms + "\\Old\\Folder.lnk | lnk=C:\\Gone Folder\n" +
    "C:\\Documents and Settings\\Owner\\Recent\\Gone.lnk | lnk=C:\\Gone\\recent.exe\n"
    "C:\\Data\\recently used\\x.lnk | lnk=C:\\Gone\\recently.exe\n"
    "C:\\Data\\Shown\\ | attr=HS\n"
    "C:\\Data\\Shown\\in.lnk | lnk=C:\\Gone\\system.exe\n"
    "C:\\Data\\Hidden\\ | attr=H\n"
    "C:\\Data\\Hidden\\in.lnk | lnk=C:\\Gone\\hidden.exe\n"
    "C:\\Data\\ReadOnly\\ | attr=R\n"
    "C:\\Data\\ReadOnly\\in.lnk | lnk=C:\\Gone\\readonly.exe\n"
    "C:\\Data\\Linked | link=C:\\Documents and Settings\n"
    "D:\\cd.lnk | lnk=C:\\Gone\\oncd.exe\n"
    "F:\\Links\\f.lnk | lnk=C:\\Gone\\fromf.exe\n";

class InvalidShortcutsTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine("", kFiles, Config());
  }
};

TEST_F(InvalidShortcutsTest, ReportsShortcutsToMissingLocalTargets) {
  Scan(kSection);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyPath + " -> " + p.ValueName; }),
            (std::vector<std::string>{
                "C:\\Data\\Shown\\in.lnk -> C:\\Gone\\system.exe",
                kDesktop + "\\Gone.lnk -> C:\\Gone\\app.exe",
                // A read-only shortcut is not counted but still examined.
                kDesktop + "\\Locked.lnk -> C:\\Gone\\locked.exe",
                kPrograms + "\\Old\\Folder.lnk -> C:\\Gone Folder",
                "F:\\Links\\f.lnk -> C:\\Gone\\fromf.exe",
            }));
}

TEST_F(InvalidShortcutsTest, FillsTheTextsOfBothKinds) {
  Scan(kSection);
  ASSERT_EQ(found.Count(), 5);
  const TRegistryContent& file = found.GetItem(1).Content;
  const std::string link = kDesktop + "\\Gone.lnk";
  EXPECT_EQ(file.KeyName, link);
  EXPECT_EQ(file.Value, "");
  EXPECT_FALSE(file.UnnamedValue);
  EXPECT_EQ(file.KeyPathText, " File Path:" + link);
  EXPECT_EQ(file.ValueNameText, " File Name:C:\\Gone\\app.exe");
  EXPECT_EQ(file.ValueText, " Value:" + link);
  EXPECT_EQ(file.DetailText, " The file (C:\\Gone\\app.exe) does not exist at the specified location");
  EXPECT_EQ(file.Description, "The shortcut Gone.lnk in the folder " + link + " linked to a missing target.");
  EXPECT_EQ(file.ProblemType, "Invalid Shortcut");
  EXPECT_EQ(file.Severity, "Low");

  const TRegistryContent& folder = found.GetItem(3).Content;
  const std::string folderLink = kPrograms + "\\Old\\Folder.lnk";
  EXPECT_EQ(folder.DetailText, "This shortcut (" + folderLink + ") is invalid.");
  EXPECT_EQ(folder.Description,
            "The shortcut Folder.lnk in the folder " + folderLink + " linked to a missing target.");
}

TEST_F(InvalidShortcutsTest, IgnoredShortcutIsSkipped) {
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Invalid Shortcuts", AsciiUpper(kDesktop + "\\Gone.lnk"), "C:\\Gone\\app.exe"};
  ignores.GetItem(ignores.Add()).Content = {"Invalid Shortcuts", kDesktop + "\\Locked.lnk", "c:\\gone\\locked.exe"};
  Scan(kSection, ignores);
  EXPECT_EQ(found.Count(), 4);
  for (int i = 0; i < found.Count(); ++i) EXPECT_NE(found.GetItem(i).Content.KeyName, kDesktop + "\\Gone.lnk");
}

TEST_F(InvalidShortcutsTest, RepairDeletesTheShortcutFileOnly) {
  Scan(kSection);
  ASSERT_TRUE(win::ForceDirectories("C:\\Gone"));  // the target's folder is left alone
  Repair(kSection);
  EXPECT_FALSE(win::FileExists(kDesktop + "\\Gone.lnk"));
  EXPECT_FALSE(win::FileExists(kPrograms + "\\Old\\Folder.lnk"));
  EXPECT_TRUE(win::DirectoryExists(kPrograms + "\\Old"));
  EXPECT_TRUE(win::DirectoryExists("C:\\Gone"));
  EXPECT_TRUE(win::FileExists(kDesktop + "\\Good.lnk"));
  ASSERT_EQ(log.Count(), 5);
  EXPECT_EQ(log.GetItem(1).Content.KeyPath, kDesktop + "\\Gone.lnk");
  EXPECT_EQ(log.GetItem(1).Content.Result, "Repaired Successfully");
  // The read-only shortcut cannot be deleted, and the log says so.
  EXPECT_TRUE(win::FileExists(kDesktop + "\\Locked.lnk"));
  EXPECT_EQ(log.GetItem(2).Content.Result, "Error: Not Repaired");
  EXPECT_EQ(SectionImplementation(kSection).target(found.GetItem(0).Content).kind, RepairTarget::Kind::File);
}

TEST_F(InvalidShortcutsTest, AbortStopsInsideTheWalk) {
  ASSERT_TRUE(win::ForceDirectories("C:\\Many"));
  for (int i = 0; i < 30; ++i)
    ASSERT_TRUE(win::WriteShellLink("C:\\Many\\" + std::to_string(100 + i) + ".lnk",
                                    win::ShellLinkSpec{"C:\\Gone\\" + std::to_string(i) + ".exe", "", "", "", "", 0x20}));
  const AbortProbe probe(60, found);
  Scan(kSection);
  probe.ExpectStoppedAtOnce(30);
}

}  // namespace
}  // namespace regclean::test
