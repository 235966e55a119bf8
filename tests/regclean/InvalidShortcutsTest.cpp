#include "regclean/InvalidShortCutsUnit.h"

#include <map>

#include "AbortProbe.h"
#include "RecycleBinRecords.h"
#include "SectionScanFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/shell/ShellLinkWriter.h"

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
    "C:\\Recycled\\Dc9.lnk | lnk=C:\\Gone\\recycled.exe\n"  // deleted already: never reported
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

// Each shortcut goes to the bin of its drive with its record, so that the
// repair can be undone; the target and its folder are left alone.
TEST_F(InvalidShortcutsTest, RepairSendsEachShortcutToTheBinOfItsDrive) {
  Scan(kSection);
  ASSERT_EQ(found.Count(), 5);
  ASSERT_TRUE(win::ForceDirectories("C:\\Gone"));
  // F:'s bin keeps an index of another kind: nothing can be recorded there.
  const std::string foreign = "not an INFO2 index of any Windows";
  ASSERT_TRUE(win::ForceDirectories("F:\\Recycled"));
  ASSERT_TRUE(win::WriteFileBytes("F:\\Recycled\\INFO2", std::vector<std::uint8_t>(foreign.begin(), foreign.end())));
  std::map<std::string, std::vector<std::uint8_t>> links;
  for (int i = 0; i < found.Count(); ++i) {
    const std::string link = found.GetItem(i).Content.KeyName;
    if (link[0] == 'C') {
      ASSERT_TRUE(win::ReadFileBytes(link, links[link]));
    }
  }
  Repair(kSection);

  std::map<std::string, std::vector<std::uint8_t>> recycled;
  for (const RecycledItem& item : ReadInfo2('C').items) {
    ASSERT_TRUE(win::ReadFileBytes(item.inBin, recycled[item.originalPath]));
    if (item.originalPath == kDesktop + "\\Locked.lnk") {
      EXPECT_NE(win::GetFileAttributes(item.inBin) & win::FILE_ATTRIBUTE_READONLY, 0u);
    }
  }
  EXPECT_EQ(recycled, links);
  for (const auto& entry : links) EXPECT_FALSE(win::FileExists(entry.first)) << entry.first;
  EXPECT_TRUE(win::DirectoryExists(kPrograms + "\\Old"));
  EXPECT_TRUE(win::DirectoryExists("C:\\Gone"));
  EXPECT_TRUE(win::FileExists(kDesktop + "\\Good.lnk"));
  ASSERT_EQ(log.Count(), 5);
  EXPECT_EQ(log.GetItem(1).Content.KeyPath, kDesktop + "\\Gone.lnk");
  EXPECT_EQ(log.GetItem(1).Content.Result, "Repaired Successfully");
  EXPECT_EQ(log.GetItem(2).Content.Result, "Repaired Successfully");  // read-only, recycled all the same
  // The shortcut that could not be recycled stays, and the log says so.
  EXPECT_TRUE(win::FileExists("F:\\Links\\f.lnk"));
  EXPECT_EQ(log.GetItem(4).Content.KeyPath, "F:\\Links\\f.lnk");
  EXPECT_EQ(log.GetItem(4).Content.Result, "Error: Not Repaired");
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
