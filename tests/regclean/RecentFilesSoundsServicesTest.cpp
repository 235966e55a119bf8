// "Most Recently Used Files", "Sounds Section" and "System Services": the
// sections that test no file.

#include "SectionScanFixture.h"
#include "regclean/IgnoreFileUnit.h"
#include "regclean/RecentlyFileUnit.h"
#include "regclean/SoundsUnit.h"
#include "regclean/SystemServicesUnit.h"

namespace regclean::test {
namespace {

const std::string kOpenSave = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
const std::string kOpenSavePath = "HKEY_CURRENT_USER\\" + kOpenSave;
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
const std::string kRunPath = "HKEY_CURRENT_USER\\" + kRun;
const char* const kSounds = "Control Panel\\Sounds";
const std::string kSoundsPath = std::string("HKEY_LOCAL_MACHINE\\") + kSounds;

class NoFileSectionsTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine("", "");
  }

  std::vector<std::string> Findings() const {
    return Lines([](const TRegistryContent& p) { return p.KeyPath + " : " + p.ValueName; });
  }
};

TEST_F(NoFileSectionsTest, RecentFilesListsEveryHistoryEntry) {
  for (const char* name : {"a", "b", "MRUList"})
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kOpenSave + "\\txt", name, std::string("C:\\x\\") + name + ".txt"));
  ASSERT_TRUE(WriteValue(win::HKEY_CURRENT_USER, kOpenSave + "\\*", "a", win::REG_BINARY, {1, 2}));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kOpenSave, "direct", "x"));  // not in a list
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kRun, "a", "notepad\\1"));
  ASSERT_TRUE(WriteValue(win::HKEY_CURRENT_USER, kRun, "b", win::REG_EXPAND_SZ, win::Utf8ToUtf16LeBytes("x")));
  ASSERT_TRUE(WriteValue(win::HKEY_CURRENT_USER, kRun, "c", win::REG_DWORD, {1, 0, 0, 0}));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kRun, "MRUList", "a"));

  Scan(9);
  EXPECT_EQ(Findings(), (std::vector<std::string>{kOpenSavePath + "\\* : a", kOpenSavePath + "\\txt : a",
                                                 kOpenSavePath + "\\txt : b", kOpenSavePath + "\\txt : MRUList",
                                                 kRunPath + " : a", kRunPath + " : MRUList"}));
  EXPECT_EQ(ItemsProcessed, 6);

  const TRegistryContent& file = found.GetItem(1).Content;
  EXPECT_EQ(file.KeyName, "txt");
  EXPECT_EQ(file.Value, "");
  EXPECT_EQ(file.KeyPathText, " Key Path:" + kOpenSavePath + "\\txt");
  EXPECT_EQ(file.ValueNameText, " ValueName:a");
  EXPECT_EQ(file.ValueText, " Value:Emtpy");
  EXPECT_EQ(file.DetailText, " Recently Key:a");
  EXPECT_EQ(file.Description, "The Key " + kOpenSave + " under " + kOpenSavePath +
                                  " contains a redundant or invalid registry key.");
  EXPECT_EQ(file.ProblemType, "Redundant or Invalid Registry Key");
  EXPECT_EQ(file.Severity, "Low");

  const TRegistryContent& run = found.GetItem(4).Content;
  EXPECT_EQ(run.KeyName, "RunMRU");
  EXPECT_EQ(run.Value, "notepad\\1");
  EXPECT_EQ(run.KeyPathText, " Key Path:" + kRunPath);
  EXPECT_EQ(run.ValueNameText, " ValueName:a");
  EXPECT_EQ(run.ValueText, " Value:notepad\\1");
  EXPECT_EQ(run.DetailText, " Recently Key:notepad\\1");
  EXPECT_EQ(run.Description, "The Key " + kRun + " under " + kRunPath + " contains a redundant or invalid registry key.");
  EXPECT_EQ(run.Severity, "Low");
}

TEST_F(NoFileSectionsTest, RecentFilesIgnoresAndRepairsEachEntry) {
  for (const char* name : {"a", "b", "MRUList"}) ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kOpenSave + "\\txt", name, "x"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kRun, "a", "cmd\\1"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kRun, "", "unnamed"));
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Most Recently Used Files", kOpenSavePath + "\\TXT", "b"};
  ignores.GetItem(ignores.Add()).Content = {"Most Recently Used Files", kRunPath, "default"};
  Scan(9, ignores);
  EXPECT_EQ(Findings(), (std::vector<std::string>{kOpenSavePath + "\\txt : a", kOpenSavePath + "\\txt : MRUList",
                                                 kRunPath + " : a"}));
  Repair(9);
  EXPECT_FALSE(ValueExists(win::HKEY_CURRENT_USER, kOpenSave + "\\txt", "a"));
  EXPECT_FALSE(ValueExists(win::HKEY_CURRENT_USER, kOpenSave + "\\txt", "MRUList"));
  EXPECT_TRUE(ValueExists(win::HKEY_CURRENT_USER, kOpenSave + "\\txt", "b"));
  EXPECT_FALSE(ValueExists(win::HKEY_CURRENT_USER, kRun, "a"));
  EXPECT_TRUE(ValueExists(win::HKEY_CURRENT_USER, kRun, ""));
  ASSERT_EQ(log.Count(), 3);
  EXPECT_EQ(log.GetItem(2).Content.KeyPath, kRunPath);
  EXPECT_EQ(log.GetItem(2).Content.Result, "Repaired Successfully");
}

TEST_F(NoFileSectionsTest, SoundsReportsOnlyAStringDefaultValue) {
  struct SoundsCase {
    const char* name;
    win::DWORD type;
    const char* data;
    bool reported;
  };
  const std::vector<SoundsCase> cases = {
      {"", win::REG_SZ, "x", true},
      {"", win::REG_EXPAND_SZ, "%SystemRoot%\\x.wav", true},
      {"", win::REG_SZ, "", false},
      {"", win::REG_BINARY, "x", false},  // string data only
      {"Beep", win::REG_SZ, "yes", false},
  };
  for (const SoundsCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.data);
    UseMachine("", "");
    ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kSounds, c.name, c.type, win::Utf8ToUtf16LeBytes(c.data)));
    Scan(11);
    EXPECT_EQ(found.Count(), c.reported ? 1 : 0);
  }

  UseMachine("", "");
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, kSounds, "", "x"));
  Scan(11);
  ASSERT_EQ(found.Count(), 1);
  const TRegistryContent& p = found.GetItem(0).Content;
  EXPECT_EQ(p.KeyPath, kSoundsPath);
  EXPECT_EQ(p.KeyName, "Sounds");
  EXPECT_EQ(p.ValueName, "default");
  EXPECT_TRUE(p.UnnamedValue);
  EXPECT_EQ(p.Value, "x");
  EXPECT_EQ(p.KeyPathText, " Key Path:" + kSoundsPath);
  EXPECT_EQ(p.ValueNameText, " ValueName:default");
  EXPECT_EQ(p.ValueText, " Value:x");
  EXPECT_EQ(p.DetailText, " The file (x) does not exist at the specified location");
  EXPECT_EQ(p.Description, "The Key x under " + kSoundsPath + " contains a bad path for the value");
  EXPECT_EQ(p.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(p.Severity, "High");

  Repair(11);
  EXPECT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, kSounds, ""));
  EXPECT_TRUE(KeyExists(win::HKEY_LOCAL_MACHINE, kSounds));
  ASSERT_EQ(log.Count(), 1);
  EXPECT_EQ(log.GetItem(0).Content.Result, "Repaired Successfully");
}

TEST_F(NoFileSectionsTest, SoundsConsultsTheIgnoreFile) {
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, kSounds, "", "x"));
  // The driver hands the section no list; the file beside the program counts.
  ASSERT_FALSE(SectionByNumber(11)->calls[0].getsIgnoreList);
  ASSERT_TRUE(AppendIgnoreLine("Sounds Section", kSoundsPath, "default"));
  Scan(11);
  EXPECT_EQ(found.Count(), 0);

  // A list handed in is used as it is.
  TIgnoreContents none;
  ScanContext context;
  context.caption = "Sounds Section";
  context.root = win::HKEY_LOCAL_MACHINE;
  context.startPath = kSounds;
  context.collection = &found;
  context.ignoreList = &none;
  ScanSounds(context);
  EXPECT_EQ(found.Count(), 1);
}

TEST_F(NoFileSectionsTest, SystemServicesFindsNothing) {
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Gone", "ImagePath",
                        "C:\\Gone\\svc.exe"));
  Scan(14);
  EXPECT_EQ(found.Count(), 0);
  Repair(14);
  EXPECT_EQ(log.Count(), 0);
}

TEST_F(NoFileSectionsTest, AbortStopsTheHistoryScan) {
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kOpenSave + "\\txt", "v" + std::to_string(i), "x"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kRun, "a", "cmd\\1"));
  SetProcessMessagesHook([this] {
    if (found.Count() == 2) ScanState = 2;
  });
  Scan(9);
  EXPECT_EQ(found.Count(), 2);
}

}  // namespace
}  // namespace regclean::test
