#include "recovery/IePluginsUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

#include "AdversarialRegistry.h"
#include "RecoveryFixture.h"
#include "platform/files/FileInPlace.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/RegFileText.h"
#include "recovery/IERepairItemUnit.h"
#include "recovery/ServerListUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"

namespace {

using namespace recovery;
using namespace recovery::test;

const char* const kFolder = "C:\\Program Files\\Fernwick\\IEBackUp\\";
const TDateTime kNow{2026, 12, 10, 14, 5, 9};

// One add-on of each kind, with neighbours that must stay.
const char* const kAddOns = R"(
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt]
"OnKey"="stays"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\&Send]
@="C:\\Program Files\\Send\\send.htm"
"Contexts"=dword:00000022
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\&Send\Sub]
"Deep"="x"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\Gone]
@="C:\\gone.htm"
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\Toolbar]
"{10000000-0000-0000-0000-000000000001}"="Text Bar"
"{10000000-0000-0000-0000-000000000002}"=""
"{10000000-0000-0000-0000-000000000003}"=dword:0000000a
"{10000000-0000-0000-0000-000000000004}"=hex:01,ab
@=hex:
"Toolbar"="not the unnamed one"
[HKEY_CLASSES_ROOT\CLSID\{10000000-0000-0000-0000-000000000002}]
@="Named By Class"
[HKEY_CLASSES_ROOT\CLSID\{20000000-0000-0000-0000-000000000001}]
@="Research Bar"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Explorer Bars\{20000000-0000-0000-0000-000000000001}]
"BarSize"=hex:00,01
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Explorer Bars\{20000000-0000-0000-0000-000000000002}]
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\Explorer Bars\{20000000-0000-0000-0000-000000000003}]
"Note"="machine bar"
)";

class AddOns : public RegcleanTest {
 protected:
  void Use(const std::string& regText = kAddOns, const std::string& files = "") { UseMachine(regText, files); }
  static AddOnRow* Find(std::vector<AddOnRow>& rows, const std::string& target) {
    for (AddOnRow& row : rows) {
      if (row.Target == target) return &row;
    }
    return nullptr;
  }
  static std::string FileText(const std::string& fileName) {
    std::vector<std::uint8_t> bytes;
    if (!win::ReadFileBytes(fileName, bytes)) return "<missing>";
    return win::DecodeRegFileText(bytes);
  }
};

TEST(AddOnDisplay, ToolbarDataByType) {
  struct Case {
    unsigned type;
    std::vector<std::uint8_t> data;
    const char* shown;
  };
  const Case cases[] = {
      {win::REG_DWORD, {10, 0, 0, 0}, "0x0000000a(10)"},
      {win::REG_DWORD, {0xff, 0xff, 0xff, 0xff}, "0xffffffff(-1)"},
      {win::REG_BINARY, {1, 171}, "01 ab"},
      {win::REG_BINARY, {}, ""},
      {win::REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}, ""},
      {win::REG_DWORD, {1, 2}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.shown, ToolbarDisplayText(c.type, c.data));
}

TEST_F(AddOns, ListShowsTheTickedKindsInOrder) {
  Use();
  std::vector<std::string> shown;
  for (const AddOnRow& row : RefreshIEAddOnList(true, true, true)) {
    shown.push_back(row.Kind + "|" + row.Name + "|" + row.KeyPath + "|" + row.Target);
  }
  const std::string ext = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\";
  const std::string bar = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
  const std::vector<std::string> expected = {
      "1|&Send|" + ext + "&Send|Software\\Microsoft\\Internet Explorer\\MenuExt\\",
      "1|Gone|" + ext + "Gone|Software\\Microsoft\\Internet Explorer\\MenuExt\\",
      "2|Text Bar|" + bar + "|{10000000-0000-0000-0000-000000000001}",
      "2|Named By Class|" + bar + "|{10000000-0000-0000-0000-000000000002}",
      "2|0x0000000a(10)|" + bar + "|{10000000-0000-0000-0000-000000000003}",
      "2|01 ab|" + bar + "|{10000000-0000-0000-0000-000000000004}",
      "2||" + bar + "|Toolbar",
      "2|not the unnamed one|" + bar + "|Toolbar",
      "3|Research Bar|HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Explorer Bars\\"
      "{20000000-0000-0000-0000-000000000001}|{20000000-0000-0000-0000-000000000001}",
      "3||HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Explorer Bars\\"
      "{20000000-0000-0000-0000-000000000002}|{20000000-0000-0000-0000-000000000002}",
      "3||HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\"
      "{20000000-0000-0000-0000-000000000003}|{20000000-0000-0000-0000-000000000003}",
  };
  EXPECT_EQ(expected, shown);
  EXPECT_TRUE(RefreshIEAddOnList(false, false, false).empty());
  EXPECT_EQ(6u, RefreshIEAddOnList(false, true, false).size());
}

TEST_F(AddOns, RemovalBacksUpFirstAndTheBackupBringsItAllBack) {
  Use();
  const Snapshot before = TakeSnapshot();
  auto rows = RefreshIEAddOnList(true, true, true);
  Find(rows, "Software\\Microsoft\\Internet Explorer\\MenuExt\\")->Checked = true;  // &Send
  Find(rows, "{10000000-0000-0000-0000-000000000003}")->Checked = true;
  Find(rows, "{10000000-0000-0000-0000-000000000004}")->Checked = true;
  Find(rows, "{20000000-0000-0000-0000-000000000001}")->Checked = true;

  const std::string fileName = RemoveCheckedAddOns(rows, kNow);
  EXPECT_EQ(std::string(kFolder) + "Backup_20261210_140509_IE.reg", fileName);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(win::ReadFileBytes(fileName, bytes));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(0xFF, bytes[0]);
  EXPECT_EQ(0xFE, bytes[1]);
  const std::string toolbar = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar]\r\n";
  EXPECT_EQ("Windows Registry Editor Version 5.00\r\n"
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\&Send]\r\n"
            "@=\"C:\\\\Program Files\\\\Send\\\\send.htm\"\r\n"
            "\"Contexts\"=dword:00000022\r\n"
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\&Send\\Sub]\r\n"
            "\"Deep\"=\"x\"\r\n" +
                toolbar + "\"{10000000-0000-0000-0000-000000000001}\"=\"Text Bar\"\r\n" + toolbar +
                "\"{10000000-0000-0000-0000-000000000002}\"=\"\"\r\n" + toolbar +
                "\"{10000000-0000-0000-0000-000000000003}\"=dword:0000000A\r\n" + toolbar +
                "\"{10000000-0000-0000-0000-000000000004}\"=hex:01,AB\r\n" + toolbar + "@=hex:\r\n" + toolbar +
                "\"Toolbar\"=\"not the unnamed one\"\r\n"
                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Explorer Bars\\"
                "{20000000-0000-0000-0000-000000000001}]\r\n"
                "\"BarSize\"=hex:00,01\r\n",
            FileText(fileName));

  const std::string bar = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar|";
  const std::string ext = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\&Send";
  const std::string bars = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Explorer Bars\\";
  const std::map<std::string, std::string> gone = {
      {ext, "<gone>"},
      {ext + "\\Sub", "<gone>"},
      {bar + "{10000000-0000-0000-0000-000000000003}", "<gone>"},
      {bar + "{10000000-0000-0000-0000-000000000004}", "<gone>"},
      {bars + "{20000000-0000-0000-0000-000000000001}", "<gone>"},
  };
  EXPECT_EQ(gone, Changes(before, TakeSnapshot()));
  EXPECT_EQ(7u, RefreshIEAddOnList(true, true, true).size());

  ScriptedDialogs dialogs;
  EXPECT_TRUE(ImportIeBackup(fileName));
  EXPECT_TRUE(dialogs.messages().empty());  // success is silent
  EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
}

TEST_F(AddOns, ToolbarRowOfTheUnnamedValueRemovesThatValue) {
  Use();
  auto rows = RefreshIEAddOnList(false, true, false);
  ASSERT_EQ(6u, rows.size());
  ASSERT_TRUE(rows[4].UnnamedValue);
  rows[4].Checked = true;
  const Snapshot before = TakeSnapshot();
  EXPECT_FALSE(RemoveCheckedAddOns(rows, kNow).empty());
  EXPECT_EQ((std::map<std::string, std::string>{
                {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar|", "<gone>"}}),
            Changes(before, TakeSnapshot()));
}

TEST_F(AddOns, NoBackupMeansNothingRemoved) {
  struct Case {
    const char* what;
    std::string files;
    std::uint8_t platform;
    const char* name;  // an extra toolbar value
  };
  const Case cases[] = {
      {"IEBackUp is a file", "C:\\Program Files\\Fernwick\\IEBackUp\n", 4, nullptr},
      {"no header for the platform", "", 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use(kAddOns, c.files);
    if (c.name) {
      ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", c.name, "cjk"));
    }
    PlatformCode = c.platform;
    auto rows = RefreshIEAddOnList(true, true, true);
    for (auto& row : rows) row.Checked = true;
    const Snapshot before = TakeSnapshot();
    ScriptedDialogs dialogs;
    EXPECT_EQ("", RemoveCheckedAddOns(rows, kNow));
    EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
    ASSERT_EQ(1u, dialogs.messages().size());
    EXPECT_EQ(kBackupNotWrittenMessage, dialogs.messages()[0].text);
    EXPECT_EQ("Warning", dialogs.messages()[0].caption);
    EXPECT_TRUE(ListIEBackups().empty());
  }
}

// Menu extensions named, and toolbar values named and holding, what .reg
// text can lose: each is removed and comes back exactly from the backup, or
// is kept and named to the user.
TEST_F(AddOns, EveryCaseComesBackExactlyOrIsKeptAndTold) {
  const std::string menuExt = "Software\\Microsoft\\Internet Explorer\\MenuExt";
  const std::string toolbar = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
  const std::vector<adversarial::Case> cases = adversarial::Cases();
  for (const bool version5 : {true, false}) {
    SCOPED_TRACE(version5 ? "version 5" : "REGEDIT4");
    Use();
    PlatformCode = version5 ? 4 : 2;
    std::vector<std::string> expectedKept;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      adversarial::Case c = cases[i];
      if (!c.keyName && c.name == "d") c.name = "data " + std::to_string(i);
      if (c.keyName) {
        ASSERT_TRUE(adversarial::WriteCase(win::HKEY_CURRENT_USER, menuExt, c)) << c.what;
      } else {
        ASSERT_TRUE(adversarial::WriteCase(win::HKEY_LOCAL_MACHINE, toolbar, c)) << c.what;
      }
      // A key name with a backslash is a key below a key: the list shows the first.
      if (!adversarial::Held(c, version5)) expectedKept.push_back(c.keyName ? c.name.substr(0, c.name.find('\\')) : c.name);
    }
    const adversarial::Snapshot before = adversarial::TakeSnapshot();
    auto rows = RefreshIEAddOnList(true, true, false);
    for (AddOnRow& row : rows) row.Checked = true;
    ScriptedDialogs dialogs;
    const std::string fileName = RemoveCheckedAddOns(rows, kNow);
    ASSERT_FALSE(fileName.empty());

    // What stayed is exactly what no file can hold, and the user was told.
    std::vector<std::string> kept;
    const auto after = RefreshIEAddOnList(true, true, false);
    for (const AddOnRow& row : after) kept.push_back(row.Kind == kToolbarKind ? row.Target : row.Name);
    std::sort(kept.begin(), kept.end());
    std::sort(expectedKept.begin(), expectedKept.end());
    EXPECT_EQ(kept, expectedKept);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const std::string told = dialogs.messages()[0].text;
    EXPECT_EQ(told.rfind(kAddOnsNotBackedUpMessage, 0), 0u);
    EXPECT_EQ(std::count(told.begin(), told.end(), '\r'), static_cast<long>(expectedKept.size()));
    EXPECT_NE(told.find("a]<CR><LF>[-HKEY_CURRENT_USER\\Victim"), std::string::npos) << told;

    std::string error;
    ASSERT_TRUE(win::ImportRegFile(fileName, error)) << error;
    EXPECT_EQ(adversarial::Differences(before, adversarial::TakeSnapshot()), std::vector<std::string>{});
    EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\X"));
  }
}

TEST_F(AddOns, AMessageListsTwentyAddOnsAndCountsTheRest) {
  Use("");
  for (int i = 0; i < 25; ++i)
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt\\" +
                                                      std::to_string(100 + i) + "\r\n", "", "x"));
  auto rows = RefreshIEAddOnList(true, false, false);
  ASSERT_EQ(rows.size(), 25u);
  for (AddOnRow& row : rows) row.Checked = true;
  ScriptedDialogs dialogs;
  EXPECT_EQ("", RemoveCheckedAddOns(rows, kNow));
  ASSERT_EQ(dialogs.messages().size(), 1u);
  const std::string told = dialogs.messages()[0].text;
  EXPECT_EQ(std::count(told.begin(), told.end(), '\r'), 21);
  EXPECT_NE(told.find("\r119<CR><LF> ("), std::string::npos) << told;
  EXPECT_EQ(told.find("\r120<CR><LF>"), std::string::npos) << told;
  EXPECT_EQ(told.substr(told.rfind('\r')), "\rand 5 more");
  EXPECT_EQ(RefreshIEAddOnList(true, false, false).size(), 25u);
}

// A removal that fails (the key is read-only) is told, keeps its row and
// leaves no backup of it; the rest is removed and backed up.
TEST_F(AddOns, ARemovalThatFailsIsToldAndKeptOutOfTheBackup) {
  const std::string send = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\&Send";
  const std::string bars = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Explorer Bars\\";
  const std::string research = bars + "{20000000-0000-0000-0000-000000000001}";
  const std::string toolbar = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
  struct Case {
    const char* what;
    std::string readOnly;
    std::vector<std::string> ticked;  // targets
    std::vector<std::string> failed;  // lines of the message
    std::vector<std::string> inBackup, notInBackup;
  };
  const Case cases[] = {
      {"a menu extension", send,
       {"Software\\Microsoft\\Internet Explorer\\MenuExt\\", "{20000000-0000-0000-0000-000000000001}"},
       {"&Send (" + send + ")"},
       {"[" + research + "]"},
       {"&Send"}},
      {"every toolbar", toolbar,
       {"{10000000-0000-0000-0000-000000000001}", "{10000000-0000-0000-0000-000000000003}"},
       {"Text Bar (" + toolbar + ") \"{10000000-0000-0000-0000-000000000001}\"",
        "0x0000000a(10) (" + toolbar + ") \"{10000000-0000-0000-0000-000000000003}\""},
       {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseMachine(kAddOns, "", MachineConfigWith("[ReadOnlyKeys]\r\n1=" + c.readOnly + "\r\n"));
    const Snapshot before = TakeSnapshot();
    auto rows = RefreshIEAddOnList(true, true, true);
    for (const std::string& target : c.ticked) Find(rows, target)->Checked = true;
    ScriptedDialogs dialogs;
    const std::string fileName = RemoveCheckedAddOns(rows, kNow);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    std::string expected = kAddOnsNotRemovedMessage;
    for (const std::string& line : c.failed) expected += "\r" + line;
    EXPECT_EQ(dialogs.messages()[0].text, expected);
    EXPECT_EQ(dialogs.messages()[0].caption, "Warning");
    EXPECT_EQ(RefreshIEAddOnList(true, true, true).size(), rows.size() - (c.ticked.size() - c.failed.size()));
    if (c.inBackup.empty()) {
      EXPECT_EQ(fileName, "");
      EXPECT_TRUE(ListIEBackups().empty());
      EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
      continue;
    }
    ASSERT_EQ(ListIEBackups().size(), 1u);
    EXPECT_EQ(ListIEBackups()[0].FileName, fileName);
    const std::string text = FileText(fileName);
    for (const std::string& part : c.inBackup) EXPECT_NE(text.find(part), std::string::npos) << part;
    for (const std::string& part : c.notInBackup) EXPECT_EQ(text.find(part), std::string::npos) << part;
    EXPECT_TRUE(ImportIeBackup(fileName));
    EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
  }
}

// A backup changed between writing and its proof removes nothing.
TEST_F(AddOns, ADamagedBackupRemovesNothing) {
  Use();
  const Snapshot before = TakeSnapshot();
  auto rows = RefreshIEAddOnList(true, true, true);
  for (auto& row : rows) row.Checked = true;
  win::SetAfterReplaceHook([](const std::string& host) {
    if (host.find("/IEBackUp/") == std::string::npos) return;
    std::fstream file(host, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(0, std::ios::end);
    file.seekp((static_cast<std::streamoff>(file.tellg()) / 2) & ~std::streamoff{1});
    file.put('Z');
  });
  ScriptedDialogs dialogs;
  EXPECT_EQ("", RemoveCheckedAddOns(rows, kNow));
  win::SetAfterReplaceHook(nullptr);
  EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
  ASSERT_EQ(1u, dialogs.messages().size());
  EXPECT_EQ(kBackupNotWrittenMessage, dialogs.messages()[0].text);
  EXPECT_TRUE(ListIEBackups().empty());
}

TEST_F(AddOns, RemovalsInOneSecondKeepEveryBackup) {
  Use();
  auto rows = RefreshIEAddOnList(true, false, false);
  rows[0].Checked = true;
  EXPECT_EQ(std::string(kFolder) + "Backup_20261210_140509_IE.reg", RemoveCheckedAddOns(rows, kNow));
  rows = RefreshIEAddOnList(true, false, false);
  rows[0].Checked = true;
  EXPECT_EQ(std::string(kFolder) + "Backup_20261210_140509_IE_2.reg", RemoveCheckedAddOns(rows, kNow));
  const auto listed = ListIEBackups();
  ASSERT_EQ(2u, listed.size());
  EXPECT_TRUE(std::regex_match(listed[0].Caption, std::regex(R"(\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M)")))
      << listed[0].Caption;
  EXPECT_NE(FileText(std::string(kFolder) + "Backup_20261210_140509_IE.reg"),
            FileText(std::string(kFolder) + "Backup_20261210_140509_IE_2.reg"));

  rows = RefreshIEAddOnList(true, false, false);  // none ticked: the folder only
  EXPECT_EQ("", RemoveCheckedAddOns(rows, kNow));
  EXPECT_EQ(2u, ListIEBackups().size());
}

TEST(BackupDetail, RecordsFromLines) {
  const std::vector<std::string> lines = {
      "\"early\"=\"before any key\"", "Windows Registry Editor Version 5.00", "  ", "REGEDIT4",
      "[HKEY_A\\One]", "\"a\"=\"1\"", "\"b\"=\"2\"", "", "[HKEY_A\\Two]", "[HKEY_A\\Three]", "@=\"3\""};
  const auto records = DetailRecordsOf(lines);
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ("[HKEY_A\\One]", records[0].KeyLine);
  EXPECT_EQ("\"b\"=\"2\"", records[0].ValueLine);
  EXPECT_EQ("", records[1].ValueLine);
  EXPECT_EQ("@=\"3\"", records[2].ValueLine);
  EXPECT_EQ(1, records[2].Flag);
}

TEST_F(AddOns, BackupPageActions) {
  Use();
  auto rows = RefreshIEAddOnList(false, false, true);
  rows[0].Checked = true;
  const std::string fileName = RemoveCheckedAddOns(rows, kNow);
  const auto records = LoadIEBackupDetail(fileName);
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("\"BarSize\"=hex:00,01", records[0].ValueLine);
  EXPECT_TRUE(LoadIEBackupDetail(std::string(kFolder) + "none.reg").empty());

  ScriptedDialogs dialogs;
  EXPECT_FALSE(ImportIeBackup(""));
  EXPECT_FALSE(RemoveIeBackup(""));
  ASSERT_TRUE(win::WriteFileBytes(std::string(kFolder) + "damaged.reg", {'R', 'E', 'G', 'E', 'D', 'I', 'T', '4', '\r', '\n',
                                                                          '[', 'X', '\r', '\n'}));
  const Snapshot before = TakeSnapshot();
  EXPECT_FALSE(ImportIeBackup(std::string(kFolder) + "damaged.reg"));
  EXPECT_FALSE(ImportIeBackup(std::string(kFolder) + "vanished.reg"));
  EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
  EXPECT_FALSE(RemoveIeBackup(std::string(kFolder) + "vanished.reg"));
  {
    BusyGuard busy;
    EXPECT_FALSE(ImportIeBackup(fileName));  // refused while busy, nothing told
  }
  std::vector<std::string> texts;
  for (const auto& message : dialogs.messages()) texts.push_back(message.caption + ": " + message.text);
  EXPECT_EQ((std::vector<std::string>{"Warning: Please select one backup file!", "Warning: Please select one backup file!",
                                      std::string("Fernwick: ") + kRestoreFailedMessage,
                                      std::string("Fernwick: ") + kRestoreFailedMessage,
                                      "warning!: Backup file was remove failed!"}),
            texts);
  EXPECT_TRUE(RemoveIeBackup(fileName));
  EXPECT_EQ(1u, ListIEBackups().size());  // damaged.reg
}

}  // namespace
