// "Start Menu Items" and "Startup Programs": both read Explorer's record of
// the Start-menu order.

#include "SectionScanFixture.h"
#include "regclean/StartMenuItemUnit.h"
#include "regclean/StartUpUnit.h"

namespace regclean::test {
namespace {

const char* const kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const std::string kMenuOrder = std::string(kExplorer) + "\\MenuOrder";
const std::string kPrograms = kMenuOrder + "\\Start Menu2\\Programs";
const std::string kProgramsPath = "HKEY_CURRENT_USER\\" + kPrograms;
const char* const kUserPrograms = "C:\\Documents and Settings\\Owner\\Start Menu\\Programs";
const char* const kCommonPrograms = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs";

class StartMenuOrderTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine("", std::string(kUserPrograms) + "\\Games\\\n" + kCommonPrograms + "\\Accessories\\\n");
    SetProgramsFolders("%USERPROFILE%\\Start Menu\\Programs", kUserPrograms);
  }

  static void SetProgramsFolders(const std::string& userShellFolder, const std::string& shellFolder) {
    ASSERT_TRUE(WriteValue(win::HKEY_CURRENT_USER, std::string(kExplorer) + "\\User Shell Folders",
                           "Programs", win::REG_EXPAND_SZ, win::Utf8ToUtf16LeBytes(userShellFolder)));
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, std::string(kExplorer) + "\\Shell Folders", "Programs", shellFolder));
  }

  static void AddRecord(const std::string& record, const std::vector<std::string>& values = {"Order"}) {
    for (const std::string& value : values)
      ASSERT_TRUE(WriteValue(win::HKEY_CURRENT_USER, kPrograms + "\\" + record, value, win::REG_BINARY, {8, 0, 0, 0}));
    if (values.empty()) {
      win::TRegistry registry;
      registry.SetRootKey(win::HKEY_CURRENT_USER);
      ASSERT_TRUE(registry.CreateKey("\\" + kPrograms + "\\" + record));
    }
  }

  std::vector<std::string> Findings() const {
    return Lines([](const TRegistryContent& p) { return p.KeyName + " / " + p.ValueName; });
  }

  void RunRepairer(int section) {
    RepairContext context;
    context.collection = &found;
    context.repairLog = &log;
    (section == 12 ? RepairStartMenuItems : RepairStartupPrograms)(context);
  }
};

TEST_F(StartMenuOrderTest, StartMenuItemsListsEveryRecordAndItsValues) {
  AddRecord("Games", {"Order", "Extra", ""});
  AddRecord("Gone");
  AddRecord("Empty", {});
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kPrograms, "TopLevel", "x"));  // not a record
  Scan(12);
  EXPECT_EQ(Findings(), (std::vector<std::string>{"Empty / default", "Games / default", "Gone / default",
                                                 "Games / Order", "Games / Extra", "Games / default",
                                                 "Gone / Order"}));
  EXPECT_EQ(ItemsProcessed, 7);

  const std::string keyPath = kProgramsPath + "\\Games";
  const TRegistryContent& key = found.GetItem(1).Content;
  EXPECT_EQ(key.KeyPath, keyPath);
  EXPECT_FALSE(key.UnnamedValue);
  EXPECT_EQ(key.Value, "key");
  EXPECT_EQ(key.KeyPathText, " Key Path:" + keyPath);
  EXPECT_EQ(key.ValueNameText, " ValueName:default");
  EXPECT_EQ(key.ValueText, " Value:Empty");
  EXPECT_EQ(key.DetailText, " The key does not exist at the specified location");
  EXPECT_EQ(key.Description, "The Key default under " + keyPath + " contains a bad path for the value");
  EXPECT_EQ(key.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(key.Severity, "High");

  const TRegistryContent& value = found.GetItem(4).Content;
  EXPECT_EQ(value.KeyPath, keyPath);
  EXPECT_EQ(value.Value, "");
  EXPECT_EQ(value.ValueNameText, " ValueName:Extra");
  EXPECT_EQ(value.ValueText, " Value:Empty");
  EXPECT_EQ(value.Description, key.Description);
  EXPECT_EQ(value.Severity, "High");
  EXPECT_TRUE(found.GetItem(5).Content.UnnamedValue);

  // An empty Programs record list yields nothing.
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.DeleteKey("\\" + kPrograms));
  ASSERT_TRUE(registry.CreateKey("\\" + kPrograms));
  Scan(12);
  EXPECT_EQ(found.Count(), 0);
}

TEST_F(StartMenuOrderTest, StartMenuItemsIgnoresEachProblemOnItsOwn) {
  AddRecord("A", {"Order", "Extra"});
  AddRecord("B");
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Start Menu Items", kProgramsPath + "\\b", "default"};
  ignores.GetItem(ignores.Add()).Content = {"Start Menu Items", kProgramsPath + "\\A", "Extra"};
  Scan(12, ignores);
  EXPECT_EQ(Findings(), (std::vector<std::string>{"A / default", "A / Order", "B / Order"}));
}

TEST_F(StartMenuOrderTest, StartMenuItemsRepairDeletesKeysAndTheValuesOfKeysThatStay) {
  AddRecord("Deleted", {"Order", "Extra"});
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kPrograms + "\\Deleted\\Sub", "x", "y"));
  AddRecord("Kept", {"Order", "Extra"});
  Scan(12);
  ASSERT_EQ(Findings(), (std::vector<std::string>{"Deleted / default", "Kept / default", "Deleted / Order",
                                                 "Deleted / Extra", "Kept / Order", "Kept / Extra"}));
  // The key "Kept" and its "Order" stay unticked.
  found.GetItem(1).Content.Checked = false;
  found.GetItem(4).Content.Checked = false;
  RunRepairer(12);

  EXPECT_FALSE(KeyExists(win::HKEY_CURRENT_USER, kPrograms + "\\Deleted"));
  EXPECT_TRUE(ValueExists(win::HKEY_CURRENT_USER, kPrograms + "\\Kept", "Order"));
  EXPECT_FALSE(ValueExists(win::HKEY_CURRENT_USER, kPrograms + "\\Kept", "Extra"));
  ASSERT_EQ(log.Count(), 4);
  for (int i = 0; i < log.Count(); ++i) {
    EXPECT_EQ(log.GetItem(i).Content.Result, "Repaired Successfully");
    EXPECT_EQ(log.GetItem(i).Content.KeyPath, kProgramsPath + (i < 3 ? "\\Deleted" : "\\Kept"));
  }
}

TEST_F(StartMenuOrderTest, StartupProgramsReportsRecordsOfMissingFolders) {
  AddRecord("Games");        // in the user's Programs folder
  AddRecord("accessories");  // in the common one, another letter case
  AddRecord("Gone");
  AddRecord("Gone Too", {});
  Scan(13);
  EXPECT_EQ(Findings(), (std::vector<std::string>{"Gone / Gone", "Gone Too / Gone Too"}));
  EXPECT_EQ(ItemsProcessed, 2);

  const std::string keyPath = kProgramsPath + "\\Gone";
  const TRegistryContent& p = found.GetItem(0).Content;
  EXPECT_EQ(p.KeyPath, keyPath);
  EXPECT_FALSE(p.UnnamedValue);
  EXPECT_EQ(p.Value, "");
  EXPECT_EQ(p.KeyPathText, " Key Path:" + keyPath);
  EXPECT_EQ(p.ValueNameText, " ValueName:Gone");
  EXPECT_EQ(p.ValueText, " Value:Gone");
  EXPECT_EQ(p.DetailText, " The key does not exist at the specified location");
  EXPECT_EQ(p.Description, "The Key Gone under " + keyPath + " is Missing");
  EXPECT_EQ(p.ProblemType, "The key does not exist at the specified location");
  EXPECT_EQ(p.Severity, "High");

  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Startup Programs", keyPath, "Gone"};
  Scan(13, ignores);
  EXPECT_EQ(Findings(), std::vector<std::string>{"Gone Too / Gone Too"});
}

TEST_F(StartMenuOrderTest, StartupProgramsFindsTheRecordsBelowTheFirstStartMenuKey) {
  // "Start Menu" sorts before "Start Menu2"; a name in another case does not count.
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kMenuOrder + "\\Favorites\\Links", "x", "y"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kMenuOrder + "\\Start Menu\\Programs\\Old", "x", "y"));
  AddRecord("New");
  Scan(13);
  EXPECT_EQ(Findings(), std::vector<std::string>{"Old / Old"});
  EXPECT_EQ(found.GetItem(0).Content.KeyPath, "HKEY_CURRENT_USER\\" + kMenuOrder + "\\Start Menu\\Programs\\Old");

  UseMachine("", std::string(kUserPrograms) + "\\\n" + kCommonPrograms + "\\\n");
  SetProgramsFolders("%USERPROFILE%\\Start Menu\\Programs", kUserPrograms);
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kMenuOrder + "\\start menu\\Programs\\Lower", "x", "y"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kMenuOrder + "\\Favorites\\Links", "x", "y"));
  Scan(13);
  // Without a "Start Menu" key the records are MenuOrder's own subkeys.
  EXPECT_EQ(Findings(), (std::vector<std::string>{"Favorites / Favorites", "start menu / start menu"}));
}

TEST_F(StartMenuOrderTest, StartupProgramsNeedsBothProgramsFolders) {
  AddRecord("Gone");
  struct FolderCase {
    const char* userShellFolder;
    const char* shellFolder;
    int found;
  };
  const std::vector<FolderCase> cases = {
      {"%USERPROFILE%\\Start Menu\\Programs", kUserPrograms, 1},
      {kCommonPrograms, kUserPrograms, 1},  // no variable: taken as it is
      {"%USERPROFILE%\\Start Menu\\Programs\\", "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\", 1},
      {"%ALLUSERSPROFILE%\\Start Menu\\Programs", kUserPrograms, 0},  // other variables stay
      {"%USERPROFILE%\\Start Menu\\Programs", "\\\\server\\profiles\\Programs", 0},
      {"%USERPROFILE%\\Start Menu\\Programs", "E:\\Programs", 0},
      {"%USERPROFILE%\\Start Menu\\Programs", "", 0},
      {"", kUserPrograms, 0},
      {"%USERPROFILE%\\Start Menu\\Programs", "C:\\No Such Folder", 0},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(std::string(c.userShellFolder) + " | " + c.shellFolder);
    SetProgramsFolders(c.userShellFolder, c.shellFolder);
    Scan(13);
    EXPECT_EQ(found.Count(), c.found);
  }
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.DeleteKey(std::string("\\") + kExplorer + "\\Shell Folders"));
  Scan(13);
  EXPECT_EQ(found.Count(), 0);
}

TEST_F(StartMenuOrderTest, StartupProgramsRepairDeletesTheRecord) {
  AddRecord("Gone");
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kPrograms + "\\Gone\\Sub", "x", "y"));
  AddRecord("Games");
  Scan(13);
  ASSERT_EQ(found.Count(), 1);
  RunRepairer(13);
  EXPECT_FALSE(KeyExists(win::HKEY_CURRENT_USER, kPrograms + "\\Gone"));
  EXPECT_TRUE(KeyExists(win::HKEY_CURRENT_USER, kPrograms + "\\Games"));
  ASSERT_EQ(log.Count(), 1);
  EXPECT_EQ(log.GetItem(0).Content.KeyPath, kProgramsPath + "\\Gone");
  EXPECT_EQ(log.GetItem(0).Content.Result, "Repaired Successfully");
}

TEST_F(StartMenuOrderTest, AbortStopsBothScanners) {
  for (int i = 0; i < 5; ++i) AddRecord("Gone" + std::to_string(i), {"a", "b"});
  for (int section : {12, 13}) {
    SCOPED_TRACE(section);
    ScanState = 0;
    SetProcessMessagesHook([this] {
      if (found.Count() == 3) ScanState = 2;
    });
    Scan(section);
    EXPECT_EQ(found.Count(), 3);
  }
}

TEST_F(StartMenuOrderTest, CommonProfileFolderIsOnTheSystemDrive) {
  EXPECT_EQ(GetAllUsersProfileFolder(), "C:\\Documents and Settings\\All Users");
}

}  // namespace
}  // namespace regclean::test
