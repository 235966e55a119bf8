#include "regclean/FileAssociationsUnit.h"

#include "SectionScanFixture.h"

namespace regclean::test {
namespace {

constexpr int kSection = 7;
const std::string kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

const char* const kMachine = R"(REGEDIT4

[HKEY_CLASSES_ROOT\.abc]
@="abcfile"
"Content Type"="text/abc"

[HKEY_CLASSES_ROOT\.cd]
@="D:stuff"

[HKEY_CLASSES_ROOT\.def]
@="deffile"

[HKEY_CLASSES_ROOT\.exp]
@=hex(2):65,78,70,66,69,6c,65,00

[HKEY_CLASSES_ROOT\.ghi]
@="C:\\Tools\\gone.exe"

[HKEY_CLASSES_ROOT\.jkl]
"Content Type"="text/jkl"

[HKEY_CLASSES_ROOT\.mno]
@=dword:00000001

[HKEY_CLASSES_ROOT\.pqr]
@=""

[HKEY_CLASSES_ROOT\.stu]
@="stufile"

[HKEY_CLASSES_ROOT\.vwx]
@="vwxfile"

[HKEY_CLASSES_ROOT\.yz]
@="Folder"

[HKEY_CLASSES_ROOT\DEFFILE\shell]

[HKEY_CLASSES_ROOT\Folder\shell]

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.STU\OpenWithList]
"a"="x.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.other\OpenWithProgids]
"VWXFILE"=hex(0):
)";

class FileAssociationsTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine(kMachine, "");
  }
};

// Registered: a class key in any case (even one the name split leaves out),
// the user's own extension key, or a program id of any user extension.
// Never examined: paths, non-fixed drives, empty or non-string defaults.
TEST_F(FileAssociationsTest, ReportsExtensionsWhoseClassIsRegisteredNowhere) {
  Scan(kSection);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyPath + " | " + p.Value; }),
            (std::vector<std::string>{
                "HKEY_CLASSES_ROOT\\.abc | abcfile",
                "HKEY_CLASSES_ROOT\\.exp | expfile",
            }));
}

TEST_F(FileAssociationsTest, FillsTheTexts) {
  Scan(kSection);
  ASSERT_GE(found.Count(), 1);
  const TRegistryContent& p = found.GetItem(0).Content;
  const std::string path = "HKEY_CLASSES_ROOT\\.abc";
  EXPECT_EQ(p.KeyName, ".abc");
  EXPECT_EQ(p.ValueName, "default");
  EXPECT_TRUE(p.UnnamedValue);
  EXPECT_EQ(p.KeyPathText, " Key Path:" + path);
  EXPECT_EQ(p.ValueNameText, " ValueName:default");
  EXPECT_EQ(p.ValueText, " Value:abcfile");
  EXPECT_EQ(p.DetailText, " The file (abcfile) does not exist at the specified location");
  EXPECT_EQ(p.Description, "The Key abcfile under " + path + " contains a bad path for the value");
  EXPECT_EQ(p.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(p.Severity, "High");
}

TEST_F(FileAssociationsTest, RegisteringTheClassOrTheUserExtensionClearsTheProblem) {
  ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, "AbcFile", "", "ABC document"));
  Scan(kSection);
  EXPECT_EQ(found.Count(), 1);  // .exp only
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kFileExts + "\\.exp", "x", "y"));
  Scan(kSection);
  EXPECT_EQ(found.Count(), 0);
}

TEST_F(FileAssociationsTest, EachScanStartsWithAnEmptyCollection) {
  Scan(kSection);
  ASSERT_EQ(found.Count(), 2);
  RunScannerCall(SectionImplementation(kSection).scanners[0], kSection, 0, found, {});
  EXPECT_EQ(found.Count(), 2);
}

TEST_F(FileAssociationsTest, IgnoredExtensionIsSkipped) {
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Invalid File Associations", "HKEY_CLASSES_ROOT\\.ABC", "default"};
  Scan(kSection, ignores);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyName; }), (std::vector<std::string>{".exp"}));
}

TEST_F(FileAssociationsTest, RepairDeletesTheDefaultValueOnly) {
  Scan(kSection);
  Repair(kSection);
  EXPECT_FALSE(ValueExists(win::HKEY_CLASSES_ROOT, ".abc", ""));
  EXPECT_TRUE(ValueExists(win::HKEY_CLASSES_ROOT, ".abc", "Content Type"));
  EXPECT_TRUE(KeyExists(win::HKEY_CLASSES_ROOT, ".exp"));
  ASSERT_EQ(log.Count(), 2);
  EXPECT_EQ(log.GetItem(0).Content.KeyPath, "HKEY_CLASSES_ROOT\\.abc");
  EXPECT_EQ(log.GetItem(0).Content.Result, "Repaired Successfully");
  const RepairTarget target = SectionImplementation(kSection).target(found.GetItem(0).Content);
  EXPECT_EQ(target.kind, RepairTarget::Kind::Value);
  EXPECT_EQ(target.valueName, "");
}

TEST_F(FileAssociationsTest, AbortStopsBeforeTheNextExtension) {
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, ".a" + std::to_string(i), "", "gone" + std::to_string(i)));
  SetProcessMessagesHook([] {
    if (ItemsProcessed == 4) ScanState = 2;
  });
  Scan(kSection);
  EXPECT_EQ(ItemsProcessed, 4);
  EXPECT_EQ(found.Count(), 4);
}

}  // namespace
}  // namespace regclean::test
