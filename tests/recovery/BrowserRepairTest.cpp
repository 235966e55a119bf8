#include "recovery/BrowserRepairUnit.h"

#include <gtest/gtest.h>

#include "RecoveryFixture.h"
#include "platform/files/FileSystem.h"
#include "recovery/IERepairItemUnit.h"
#include "shell/BusyGuard.h"
#include "shell/DMUnit.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"

namespace {

using namespace recovery;
using namespace recovery::test;
using Expected = std::map<std::string, std::string>;

const std::string kLm = "HKEY_LOCAL_MACHINE\\";
const std::string kCu = "HKEY_CURRENT_USER\\";
const std::string kDefault = "HKEY_USERS\\.DEFAULT\\";
const std::string kMainLm = kLm + "SOFTWARE\\Microsoft\\Internet Explorer\\Main";
const std::string kMainCu = kCu + "Software\\Microsoft\\Internet Explorer\\Main";
const std::string kRun = kLm + "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRegistryExe = "C:\\Program Files\\registry.exe";

// Something for every repair to do, and neighbours it must leave alone.
const char* const kHijacked = R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Main]
"start page"="http://hijack.example/"
"Window Title"="Hijacked"
"Default_Page_URL"="http://hijack.example/d"
"Search Page"="http://hijack.example/sp"
"Other"="kept"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"start page"="http://hijack.example/"
"Local Page"="kept"
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run]
"Hijack"="C:\\hj.exe http://hijack.example/"
"registry.exe"="C:\\Program Files\\registry.exe"
"Import"="REGEDIT /S C:\\x.reg"
"Dash"=hex(2):72,65,67,65,64,69,74,20,2d,73,20,79,00
"ImportExe"="C:\\WINDOWS\\regedit.exe /s C:\\y.reg"
"Number"=dword:00000001
"Keep"="C:\\keep.exe"
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"User"="regedit /s C:\\u.reg"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoFolderOptions"=hex:01,00,00,00
[HKEY_USERS\.DEFAULT\Software\Policies\Microsoft\Internet Explorer\Control Panel]
"homepage"=dword:00000001
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\System]
"DisableRegistryTools"=dword:00000001
"NoDispCPL"=dword:00000001
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\Search]
"SearchAssistant"="http://hijack.example/search"
[HKEY_CURRENT_USER\Software\Policies\Microsoft\Internet Explorer\Restrictions]
"NoBrowserContextMenu"=dword:00000001
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoDesktop"=dword:00000001
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt]
"Stray"="x"
"Other"=dword:00000001
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\&Send]
@="C:\\send.htm"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\TypedUrls]
"url1"="http://a/"
"url2"="http://b/"
"url3"="http://c/"
"url4"="http://d/"
"url5"="http://e/"
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\Extensions\{A}]
"ButtonText"="x"
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\Extensions\{A}\Sub]
"Deep"="y"
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\Extensions\{B}]
)";

class Restorer : public RegcleanTest {
 protected:
  void Use(const std::string& regText = kHijacked, const std::string& config = "") {
    UseMachine(regText, std::string(kRegistryExe) + "\nC:\\WINDOWS\\Temp\\\n", config);
  }
};

// Writes of DWORD 0 to each name of a key.
void Zeroes(Expected& expected, const std::string& key, std::initializer_list<const char*> names) {
  for (const char* name : names) expected[key + "|" + name] = "dword:00000000";
}

TEST_F(Restorer, EachRowChangesExactlyItsValues) {
  const std::string polCu = kCu + "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\";
  const std::string restrictCu = kCu + "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
  const std::string restrictDef = kDefault + "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
  const std::string polDef = kDefault + "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  const std::string menuExt = kCu + "Software\\Microsoft\\Internet Explorer\\MenuExt";
  const std::string typed = kCu + "Software\\Microsoft\\Internet Explorer\\TypedUrls";
  const std::string ext = kLm + "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
  const std::string search = kLm + "SOFTWARE\\Microsoft\\Internet Explorer\\Search";
  const std::string assistant = "sz:http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchasst.htm";

  Expected rows[kRepairCount];
  rows[0] = {{kRun + "|Hijack", "<gone>"},
             {kRun + "|registry.exe", "<gone>"},
             {kRun + "|Import", "<gone>"},
             {kRun + "|Dash", "<gone>"},
             {kMainLm + "|start page", "sz:about:blank"},
             {kMainLm + "|Window Title", "sz:Microsoft Internet Explorer"},
             {kMainCu + "|start page", "sz:about:blank"},
             {kMainCu + "|Window Title", "sz:Microsoft Internet Explorer"},
             {kMainLm + "|Default_Page_URL", "sz:"},
             {kMainLm + "|Default_Search_URL", "sz:"},
             {kMainLm + "|Search Page", "sz:"}};
  rows[1] = {{kLm + "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer|NoFolderOptions", "3:00000000"},
             {kDefault + "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel|homepage", "dword:00000000"}};
  rows[2] = {{polCu + "System|DisableRegistryTools", "dword:00000000"}};
  rows[3] = {{search + "|CustomizeSearch", assistant}, {search + "|SearchAssistant", assistant}};
  Zeroes(rows[4], restrictCu,
         {"NoViewSource", "NoBrowserContextMenu", "NoBrowserClose", "NoBrowserOptions", "NoBrowserSaveAs", "NoFavorites",
          "NoFileNew", "NoFileOpen", "NoFindFiles", "NoSelectDownloadDir", "NoTheaterMode", "NoAddressBar",
          "NoToolBar", "NoLinksBar"});
  Zeroes(rows[4], restrictDef, {"NoViewSource", "NoBrowserContextMenu"});
  rows[4][restrictDef] = "<new key>";
  Zeroes(rows[5], restrictCu, {"NoBrowserContextMenu"});
  Zeroes(rows[6], polCu + "Explorer", {"NoDesktop"});
  rows[7] = {{polCu + "Explorer|NoFolderOptions", "3:00000000"}, {polCu + "Explorer|RestrictRun", "dword:00000000"}};
  Zeroes(rows[8], polDef, {"NoRun", "NoLogOff", "NoFind", "NoClose", "NoSetFolders", "NoFavoritesMenu", "NoStartBanner"});
  for (const std::string& key : {kDefault + "Software\\Microsoft", kDefault + "Software\\Microsoft\\Windows",
                                 kDefault + "Software\\Microsoft\\Windows\\CurrentVersion",
                                 kDefault + "Software\\Microsoft\\Windows\\CurrentVersion\\Policies", polDef}) {
    rows[8][key] = "<new key>";
  }
  Zeroes(rows[9], polCu + "System",
         {"NoSecCPL", "NoDispCPL", "NoDispBackgroundPage", "NoDispScrSavPage", "NoDispAppearancePage",
          "NoDispSettingsPage", "NoDevMgrPage", "NoConfigPage", "NoVirtMemPage", "NoFileSysPage", "NoNetSetup",
          "NoNetSetupIDPage", "NoNetSetupSecurityPage", "NoWorkgroupContents", "NoEntireNetwork",
          "NoFileSharingControl"});
  rows[10] = {{menuExt + "|Stray", "<gone>"}, {menuExt + "|Other", "<gone>"}};
  for (const char* url : {"url1", "url2", "url3", "url4", "url5"}) rows[11][typed + "|" + url] = "<gone>";
  rows[12] = {{ext + "\\{A}", "<gone>"}, {ext + "\\{A}\\Sub", "<gone>"}, {ext + "\\{B}", "<gone>"}};

  for (int row = 0; row < kRepairCount; ++row) {
    SCOPED_TRACE(kRepairCaptions[row]);
    Use();
    const Snapshot before = TakeSnapshot();
    EXPECT_TRUE(RunRepair(row));
    EXPECT_EQ(rows[row], Changes(before, TakeSnapshot()));
    EXPECT_EQ(row != 0, win::FileExists(kRegistryExe));
  }
}

TEST_F(Restorer, StartPageCleanupFindsTheRunValuesThatHoldIt) {
  struct Case {
    const char* what;
    std::string startPage;  // the HKLM "start page" line, or none
    std::string run;        // Run values
    std::vector<std::string> gone;
  };
  const Case cases[] = {
      {"a name match ends the step", "\"start page\"=\"evil\"", "\"evil\"=\"x\"\n\"B\"=\"run evil\"\n", {"evil"}},
      {"data holds it, SZ and EXPAND_SZ", "\"start page\"=\"evil\"",
       "\"A\"=\"run evil now\"\n\"B\"=hex(2):65,76,69,6c,00\n\"C\"=\"harmless\"\n", {"A", "B"}},
      {"case-sensitive", "\"start page\"=\"evil\"", "\"A\"=\"EVIL\"\n", {}},
      {"DWORD ignored", "\"start page\"=\"1\"", "\"A\"=dword:00000001\n\"B\"=hex:31,00\n", {}},
      {"empty start page keeps the unnamed value", "\"start page\"=\"\"", "@=\"x\"\n\"A\"=\"y\"\n", {}},
      {"no start page keeps the unnamed value", "", "@=\"x\"\n", {}},
      {"start page as DWORD", "\"start page\"=dword:00000001", "@=\"x\"\n\"A\"=\"1\"\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer\\Main]\n" + c.startPage +
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n" + c.run);
    const Snapshot before = TakeSnapshot();
    EXPECT_TRUE(RunRepair(0));
    std::vector<std::string> gone;
    for (const auto& [name, text] : before.at(kRun)) {
      if (!TakeSnapshot()[kRun].count(name)) gone.push_back(name);
    }
    EXPECT_EQ(c.gone, gone);
  }
}

class RepairList : public BrowserRepairView {
 public:
  bool IsRowChecked(int row) const override { return checked[row]; }
  void SetRowStatus(int row, const std::string& status) override {
    statuses[row] = status;
    log.push_back(std::to_string(row) + " " + status);
  }
  bool checked[kRepairCount] = {};
  std::string statuses[kRepairCount];
  std::vector<std::string> log;
};

TEST_F(Restorer, RestoreAsksAndRunsOnlyTheTickedRows) {
  Use();
  ScriptedDialogs dialogs;
  RepairList list;
  const Snapshot before = TakeSnapshot();

  EXPECT_FALSE(RestoreBrowserSettings(list));  // nothing ticked
  list.checked[2] = list.checked[11] = true;
  dialogs.setNextAnswer(IDNO);
  EXPECT_FALSE(RestoreBrowserSettings(list));
  ASSERT_EQ(2u, dialogs.messages().size());
  EXPECT_EQ("Please select the specific item for this operation!", dialogs.messages()[0].text);
  EXPECT_EQ(MB_OK | MB_ICONWARNING, dialogs.messages()[0].flags);
  EXPECT_EQ(kRestoreIeQuestion, dialogs.messages()[1].text);
  EXPECT_EQ(MB_YESNO | MB_ICONWARNING, dialogs.messages()[1].flags);
  EXPECT_TRUE(list.log.empty());
  EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());

  dialogs.setNextAnswer(IDYES);
  ResetProcessMessagesCount();
  EXPECT_TRUE(RestoreBrowserSettings(list));
  EXPECT_EQ((std::vector<std::string>{"2 Repairing", "2 Completed", "11 Repairing", "11 Completed"}), list.log);
  EXPECT_EQ(kRepairCount, ProcessMessagesCount());
  EXPECT_EQ(6u, Changes(before, TakeSnapshot()).size());  // DisableRegistryTools; five URLs
}

TEST_F(Restorer, ARowThatCannotChangeItsKeyFails) {
  const std::string config = MachineConfigWith(
      "[ReadOnlyKeys]\r\n1=HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedUrls\r\n"
      "2=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\r\n");
  Use(std::string(kHijacked) + "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedUrls\\Empty]\n", config);
  ScriptedDialogs dialogs;
  dialogs.setNextAnswer(IDYES);
  RepairList list;
  for (int row : {2, 5, 11}) list.checked[row] = true;
  EXPECT_TRUE(RestoreBrowserSettings(list));
  EXPECT_EQ(kFailedText, list.statuses[2]);
  EXPECT_EQ(kCompletedText, list.statuses[5]);
  EXPECT_EQ(kFailedText, list.statuses[11]);
}

TEST_F(Restorer, AnEmptyReadOnlyKeyIsNoFailure) {
  const std::string config = MachineConfigWith(
      "[ReadOnlyKeys]\r\n1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\r\n");
  Use("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"Keep\"=\"C:\\\\keep.exe\"\n", config);
  EXPECT_TRUE(win::DeleteFile(kRegistryExe));
  EXPECT_TRUE(RunRepair(0));
  Use("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"I\"=\"regedit -s x\"\n", config);
  EXPECT_FALSE(RunRepair(0));
}

// Rows 10 to 12 on a read-only key: "Completed" when it holds nothing to
// delete, "Failed" when something stays.
TEST_F(Restorer, DeletingRowsOnAReadOnlyKeyFailOnlyWhenSomethingStays) {
  const std::string menuExt = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt";
  const std::string typed = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedUrls";
  const std::string ext = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
  struct Case {
    int row;
    std::string readOnly;
    std::string reg;
    const char* status;
  };
  const Case cases[] = {
      {10, menuExt, "[" + menuExt + "\\&Send]\n@=\"C:\\\\send.htm\"\n", kCompletedText},
      {10, menuExt, "[" + menuExt + "]\n\"Stray\"=\"x\"\n", kFailedText},
      {11, typed, "[" + typed + "]\n", kCompletedText},
      {11, "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer",
       "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer]\n", kCompletedText},  // cannot be made
      {11, typed, "[" + typed + "]\n\"url1\"=\"http://a/\"\n", kFailedText},
      {12, ext, "[" + ext + "]\n\"Value\"=\"kept\"\n", kCompletedText},
      {12, ext, "[" + ext + "\\{A}]\n", kFailedText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.row) + " " + c.reg);
    Use(c.reg, MachineConfigWith("[ReadOnlyKeys]\r\n1=" + c.readOnly + "\r\n"));
    ScriptedDialogs dialogs;
    dialogs.setNextAnswer(IDYES);
    RepairList list;
    list.checked[c.row] = true;
    const Snapshot before = TakeSnapshot();
    EXPECT_TRUE(RestoreBrowserSettings(list));
    EXPECT_EQ(c.status, list.statuses[c.row]);
    EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
  }
}

TEST_F(Restorer, PageSwitchIsRefusedWhileRestoring) {
  Use();
  ScriptedDialogs dialogs;
  dialogs.setNextAnswer(IDYES);
  RepairList list;
  list.checked[0] = list.checked[12] = true;
  std::vector<bool> allowed;
  SetProcessMessagesHook([&] { allowed.push_back(PageSwitchAllowed()); });
  EXPECT_TRUE(RestoreBrowserSettings(list));
  SetProcessMessagesHook(nullptr);
  ASSERT_EQ(static_cast<std::size_t>(kRepairCount), allowed.size());
  for (bool ok : allowed) EXPECT_FALSE(ok);
  EXPECT_TRUE(PageSwitchAllowed());
  {
    BusyGuard other;
    EXPECT_FALSE(RestoreBrowserSettings(list));
  }
}

}  // namespace
