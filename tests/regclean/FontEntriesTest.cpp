#include "regclean/WindowsFontsUnit.h"

#include "RegcleanFixture.h"

namespace regclean::test {
namespace {

const char* const kKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::string kKeyPath = std::string("HKEY_LOCAL_MACHINE\\") + kKey;

class FontEntriesTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    // F: is a second fixed drive.
    UseMachine("",
               "C:\\WINDOWS\\Fonts\\arial.ttf\n"
               "F:\\Fonts\\kept.ttf\n",
               TestMachine::DefaultConfigText() + "F=fixed,drives/F\r\n");
  }

  static void AddFont(const std::string& name, const std::string& data, win::DWORD type = win::REG_SZ) {
    ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, name, type, win::Utf8ToUtf16LeBytes(data)));
  }

  void Scan(const TIgnoreContents& ignores = {}, CaptionLog* outcome = nullptr) {
    RunScannerCall(ScanFontEntries, 5, 0, found, ignores, outcome);
  }

  TRegistryContents found;
};

TEST_F(FontEntriesTest, ReportsFontsWhoseFileIsMissing) {
  AddFont("Arial (TrueType)", "arial.ttf");
  AddFont("Gone (TrueType)", "gone.ttf");
  AddFont("Full kept", "F:\\Fonts\\kept.ttf");
  AddFont("Full gone", "F:\\Fonts\\gone.ttf");
  AddFont("Removable", "E:\\f.ttf");
  AddFont("CD", "D:\\f.ttf");
  AddFont("Network", "\\\\server\\f.ttf");
  AddFont("Floppy", "A:\\f.ttf");
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "Number", win::REG_DWORD, {1, 0, 0, 0}));
  // Expandable data is tested with its variables in place.
  AddFont("Expand kept", "%SystemRoot%\\Fonts\\arial.ttf", win::REG_EXPAND_SZ);
  AddFont("Expand gone", "%SystemRoot%\\Fonts\\gone2.ttf", win::REG_EXPAND_SZ);
  AddFont("Semi", "a;b.ttf");
  AddFont("", "unnamed.ttf");

  found.Add();  // the scanner starts from an empty collection
  CaptionLog outcome;
  Scan({}, &outcome);
  EXPECT_EQ(ValueNamesOf(found), (std::vector<std::string>{"Gone (TrueType)", "Full gone", "Expand gone",
                                                           "Semi", "default"}));
  EXPECT_EQ(ItemsProcessed, 13);
  ASSERT_EQ(outcome.captions.size(), 13u);
  EXPECT_EQ(outcome.captions[0], std::string(kKey) + "Arial (TrueType)");

  const TRegistryContent& p = found.GetItem(0).Content;
  EXPECT_EQ(p.KeyPath, kKeyPath);
  EXPECT_EQ(p.KeyName, "Fonts");
  EXPECT_EQ(p.Value, "gone.ttf");
  EXPECT_EQ(p.KeyPathText, " Key Path:" + kKeyPath);
  EXPECT_EQ(p.ValueNameText, " ValueName:Gone (TrueType)");
  EXPECT_EQ(p.ValueText, " Value:gone.ttf");
  EXPECT_EQ(p.DetailText, " The file (gone.ttf) does not exist at the specified location");
  EXPECT_EQ(p.Description, "The Key gone.ttf under " + kKeyPath + " contains a bad path for the value");
  EXPECT_EQ(p.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(p.Severity, "High");
  EXPECT_EQ(found.GetItem(2).Content.Value, "%SystemRoot%\\Fonts\\gone2.ttf");
  EXPECT_EQ(found.GetItem(3).Content.Severity, "Normal");
  const TRegistryContent& unnamed = found.GetItem(4).Content;
  EXPECT_TRUE(unnamed.UnnamedValue);
  EXPECT_EQ(unnamed.ValueNameText, " ValueName:");
}

TEST_F(FontEntriesTest, IgnoredFontIsSkippedAndTheWalkGoesOn) {
  AddFont("One", "1.ttf");
  AddFont("Two", "2.ttf");
  AddFont("", "3.ttf");
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Font Entries", kKeyPath, "Two"};
  ignores.GetItem(ignores.Add()).Content = {"Font Entries", kKeyPath, "default"};
  Scan(ignores);
  EXPECT_EQ(ValueNamesOf(found), std::vector<std::string>{"One"});
}

TEST_F(FontEntriesTest, RepairDeletesTheValuesWithoutLettingMessagesThrough) {
  AddFont("Gone", "gone.ttf");
  AddFont("", "unnamed.ttf");
  AddFont("Arial", "arial.ttf");
  Scan();
  ASSERT_EQ(found.Count(), 2);

  TRepairContents log;
  RepairContext context;
  context.collection = &found;
  context.repairLog = &log;
  ResetProcessMessagesCount();
  RepairFontEntries(context);

  EXPECT_EQ(ProcessMessagesCount(), 0);
  EXPECT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, kKey, "Gone"));
  EXPECT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, kKey, ""));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, kKey, "Arial"));
  ASSERT_EQ(log.Count(), 2);
  EXPECT_EQ(log.GetItem(1).Content.Result, "Repaired Successfully");
}

TEST_F(FontEntriesTest, AbortStopsBeforeTheNextValue) {
  for (int i = 0; i < 5; ++i) AddFont("F" + std::to_string(i), std::to_string(i) + ".ttf");
  SetProcessMessagesHook([] {
    if (ItemsProcessed == 3) ScanState = 2;
  });
  Scan();
  EXPECT_EQ(found.Count(), 3);
  EXPECT_EQ(ItemsProcessed, 3);
}

}  // namespace
}  // namespace regclean::test
