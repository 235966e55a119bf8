// Startup manager actions: the lines they write, byte for byte; any mix of
// Disable, Enable, Remove and Restore brings back exactly what was there;
// failures lose nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "StartupFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/files/LineFile.h"
#include "platform/registry/Registry.h"
#include "shell/Dialogs.h"
#include "tools/StartupManagerUnit.h"

using namespace tools;

namespace {

const std::string kHkcuRun = "HKEY_CURRENT_USER\\" + std::string(kRun);
const std::string kHklmRun = "HKEY_LOCAL_MACHINE\\" + std::string(kRun);
const char* const kProgram = "C:\\Program Files\\Fernwick\\Fernwick.exe\n";

// Twelve random actions on random rows; the removal question is answered
// No a quarter of the time when sometimesNo.
void RandomActions(TStartupManager& manager, std::mt19937& random, ScriptedDialogs& dialogs, bool sometimesNo) {
  for (int step = 0; step < 12; ++step) {
    const int action = static_cast<int>(random() % 4);
    if (action == 3) {
      manager.ListRemovedEntries();
      for (std::size_t i = 0; i < manager.RestoreRows().size(); ++i)
        manager.SetRestoreChecked(static_cast<int>(i), random() % 2 == 0);
      manager.RestoreItems();
      continue;
    }
    for (std::size_t i = 0; i < manager.Rows().size(); ++i)
      if (random() % 2 == 0) manager.ToggleChosen(static_cast<int>(i));
    if (action == 0) manager.DisableSelected();
    else if (action == 1) manager.EnableSelected();
    else {
      dialogs.setNextAnswer(sometimesNo && random() % 4 == 0 ? IDNO : IDYES);
      manager.RemoveSelected();
    }
  }
}

// Enables every disabled row and restores every removed entry.
void EnableAndRestoreAll(TStartupManager& manager) {
  for (std::size_t i = 0; i < manager.Rows().size(); ++i)
    if (manager.Rows()[i].SubItems.size() > 1 && manager.Rows()[i].SubItems[1] == "Disable")
      manager.ToggleChosen(static_cast<int>(i));
  manager.EnableSelected();
  manager.ListRemovedEntries();
  for (std::size_t i = 0; i < manager.RestoreRows().size(); ++i) manager.SetRestoreChecked(static_cast<int>(i), true);
  manager.RestoreItems();
}

TEST(StartupActionsTest, DisableAndEnableWriteTheExactLines) {
  TestMachine machine(StartupRegText("[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                                     "\"Tool\"=\"C:\\\\Tools\\\\tool.exe /quiet\"\n"
                                     "\"Count\"=dword:00000005\n"
                                     "\"Env\"=" + Hex2("%ProgramFiles%\\e.exe") + "\n"),
                      std::string(kProgram) + "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Startup\\x.lnk"
                                              " | text=link bytes\n");
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  Choose(manager, "Tool", "Enable");
  Choose(manager, "Count", "Enable");
  Choose(manager, "Env", "Enable");
  Choose(manager, "x.lnk", "Enable");
  manager.DisableSelected();

  const std::string startupDat = StartupBackupPath(kStartupFileName);
  EXPECT_EQ(FileText(startupDat), kHkcuRun + "#Tool|C:\\Tools\\tool.exe /quiet\r\n" + kHkcuRun + "#Count|5\r\n" +
                                      kHkcuRun + "#Env|%ProgramFiles%\\e.exe\r\n");
  const std::string link = std::string(kUserStartup) + "\\x.lnk";
  const std::string copy = DelFolder() + "\\x.lnk";
  EXPECT_EQ(FileText(StartupBackupPath(kDelFileName)), link + "#" + copy + "|E\r\n");
  EXPECT_EQ(FileText(link), "<missing>");
  EXPECT_EQ(FileText(copy), "link bytes");
  EXPECT_TRUE(RunValues().empty());
  EXPECT_GE(FindRow(manager, "Tool", "Disable"), 0);
  EXPECT_GE(FindRow(manager, link, "Disable"), 0);
  for (const TStartupRow& row : manager.Rows()) EXPECT_EQ(row.ImageIndex, row.Source == TStartupSource::Detail ? -1 : 0);

  Choose(manager, "Tool", "Disable");
  Choose(manager, "Count", "Disable");
  Choose(manager, "Env", "Disable");
  Choose(manager, link, "Disable");
  manager.EnableSelected();
  EXPECT_EQ(FileText(startupDat), "");
  EXPECT_EQ(FileText(StartupBackupPath(kDelFileName)), "");
  EXPECT_EQ(FileText(link), "link bytes");
  EXPECT_EQ(FileText(copy), "<missing>");
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey(kRun, false));
  EXPECT_EQ(registry.GetDataType("Tool"), win::REG_SZ);
  EXPECT_EQ(registry.ReadString("Tool"), "C:\\Tools\\tool.exe /quiet");
  EXPECT_EQ(registry.GetDataType("Count"), win::REG_SZ);  // a DWORD comes back as its text
  EXPECT_EQ(registry.ReadString("Count"), "5");
  EXPECT_EQ(registry.GetDataType("Env"), win::REG_EXPAND_SZ);
  EXPECT_EQ(registry.ReadString("Env"), "%ProgramFiles%\\e.exe");
}

TEST(StartupActionsTest, RemoveAsksAndRestoreBringsBack) {
  TestMachine machine(StartupRegText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                                     "\"Svc\"=\"C:\\\\svc.exe\"\n"),
                      std::string(kProgram) +
                          "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\a.lnk | text=A\n"
                          "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Startup\\b.lnk | text=B\n"
                          "C:\\WINDOWS\\win.ini | text=[Run]\\r\\nkeep=C:\\\\k.exe\\r\\ngone=C:\\\\g.exe\\r\\n\n");
  ScriptedDialogs dialogs;
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  const std::string b = std::string(kUserStartup) + "\\b.lnk";
  // b is disabled first, then removed with the others.
  Choose(manager, "b.lnk", "Enable");
  manager.DisableSelected();
  Choose(manager, "a.lnk", "Enable");
  Choose(manager, "Svc", "Enable");
  Choose(manager, b, "Disable");
  Choose(manager, "gone", "Enable");

  dialogs.setNextAnswer(IDNO);
  const auto before = RunValues();
  const std::string delBefore = FileText(StartupBackupPath(kDelFileName));
  manager.RemoveSelected();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text,
            "Are you sure to remove this item from the Startup List?\rYou could view or recovery this item from the "
            "Restore List.");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  EXPECT_EQ(RunValues(), before);
  EXPECT_EQ(FileText(StartupBackupPath(kDelFileName)), delBefore);
  EXPECT_EQ(FileText(StartupBackupPath(kRemoveStartupFileName)), "");
  EXPECT_EQ(FileText(std::string(kCommonStartup) + "\\a.lnk"), "A");

  Choose(manager, "a.lnk", "Enable");
  Choose(manager, "Svc", "Enable");
  Choose(manager, b, "Disable");
  Choose(manager, "gone", "Enable");
  dialogs.setNextAnswer(IDYES);
  manager.RemoveSelected();
  const std::string a = std::string(kCommonStartup) + "\\a.lnk";
  const std::string del = DelFolder() + "\\";
  EXPECT_EQ(FileText(StartupBackupPath(kRemoveStartupFileName)), kHklmRun + "#Svc|C:\\svc.exe\r\n");
  // b's line lost its "|E" and moved to the end.
  EXPECT_EQ(FileText(StartupBackupPath(kDelFileName)), a + "#" + del + "a.lnk\r\n" + b + "#" + del + "b.lnk\r\n");
  EXPECT_EQ(FileText(del + "b.lnk"), "B");
  EXPECT_EQ(FindRow(manager, b, "Disable"), -1);
  EXPECT_EQ(FindRow(manager, "gone", "Enable"), -1);
  EXPECT_GE(FindRow(manager, "keep", "Enable"), 0);
  EXPECT_TRUE(RunValues().empty());

  manager.ListRemovedEntries();
  const auto& restore = manager.RestoreRows();
  ASSERT_EQ(restore.size(), 3u);
  const std::vector<std::string> svc = {"Svc", "C:\\svc.exe", kHklmRun + "#Svc|C:\\svc.exe", kHklmRun + "#Svc|C:\\svc.exe"};
  EXPECT_EQ(restore[0].SubItems, svc);
  EXPECT_EQ(restore[1].SubItems, (std::vector<std::string>{a, del + "a.lnk", "file"}));
  EXPECT_EQ(restore[2].SubItems, (std::vector<std::string>{b, del + "b.lnk", "file"}));
  for (int i = 0; i < 3; ++i) manager.SetRestoreChecked(i, true);
  manager.RestoreItems();
  EXPECT_TRUE(manager.RestoreRows().empty());
  EXPECT_EQ(FileText(a), "A");
  EXPECT_EQ(FileText(b), "B");
  EXPECT_EQ(RunValues().size(), 1u);
  EXPECT_EQ(FileText(StartupBackupPath(kRemoveStartupFileName)), "");
  EXPECT_EQ(FileText(StartupBackupPath(kDelFileName)), "");
}

TEST(StartupActionsTest, WinIniRowsAreNotDisabled) {
  TestMachine machine(StartupRegText(), std::string(kProgram) + "C:\\WINDOWS\\win.ini | text=[Load]\\r\\nx=C:\\\\x.exe\\r\\n\n");
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  Choose(manager, "x", "Enable");
  manager.DisableSelected();
  EXPECT_GE(FindRow(manager, "x", "Enable"), 0);
  EXPECT_EQ(FileText("C:\\WINDOWS\\win.ini"), "[Load]\r\nx=C:\\x.exe\r\n");
}

TEST(StartupActionsTest, FailuresLoseNothing) {
  const std::string reg = StartupRegText("[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                                         "\"Tool\"=\"C:\\\\tool.exe\"\n"
                                         "\"Bar|Name\"=\"C:\\\\bar.exe\"\n"
                                         "\"Multi\"=hex(7):61,00,00,00,00,00\n"
                                         "\"Wide\"=\"C:\\\\\xE6\x97\xA5.exe\"\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                                         "\"Locked\"=\"C:\\\\locked.exe\"\n");
  const std::string files = std::string(kProgram) +
                            "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Startup\\x.lnk | text=X\n";
  const std::string config = TestMachine::DefaultConfigText() + "[ReadOnlyKeys]\r\n1=HKEY_LOCAL_MACHINE\\" + kRun + "\r\n";

  {  // The line file cannot be written: nothing is deleted and no copy stays.
    TestMachine machine(reg, files, config);
    TStartupManager manager;
    manager.Prepare();
    manager.RefreshStartupList();
    const auto values = RunValues();
    ASSERT_TRUE(win::SetFileAttributes(StartupBackupPath(kStartupFileName), win::FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(win::SetFileAttributes(StartupBackupPath(kDelFileName), win::FILE_ATTRIBUTE_READONLY));
    for (const char* name : {"Tool", "x.lnk", "Bar|Name", "Multi", "Wide", "Locked"}) Choose(manager, name, "Enable");
    manager.DisableSelected();
    EXPECT_EQ(RunValues(), values);
    EXPECT_EQ(FileText(std::string(kUserStartup) + "\\x.lnk"), "X");
    EXPECT_EQ(FileText(DelFolder() + "\\x.lnk"), "<missing>");
    // Writable again: values that cannot come back as they were, and the
    // read-only key, are still left alone.
    ASSERT_TRUE(win::SetFileAttributes(StartupBackupPath(kStartupFileName), win::FILE_ATTRIBUTE_NORMAL));
    for (const char* name : {"Bar|Name", "Multi", "Wide", "Locked"}) Choose(manager, name, "Enable");
    manager.DisableSelected();
    EXPECT_EQ(RunValues(), values);
    EXPECT_EQ(FileText(StartupBackupPath(kStartupFileName)), "");
  }
  {  // The copy into "del" fails: the file stays and no line is written.
    TestMachine machine(reg, files);
    TStartupManager manager;
    manager.Prepare();
    manager.RefreshStartupList();
    ASSERT_TRUE(win::RemoveDirectory(DelFolder()));
    Choose(manager, "x.lnk", "Enable");
    manager.DisableSelected();
    EXPECT_EQ(FileText(std::string(kUserStartup) + "\\x.lnk"), "X");
    EXPECT_EQ(FileText(StartupBackupPath(kDelFileName)), "");
  }
  {  // The key is gone at Enable: the line stays for later.
    TestMachine machine(reg, files);
    TStartupManager manager;
    manager.Prepare();
    manager.RefreshStartupList();
    Choose(manager, "Tool", "Enable");
    manager.DisableSelected();
    win::TRegistry registry;
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.DeleteKey(std::string("\\") + kRun));
    Choose(manager, "Tool", "Disable");
    manager.EnableSelected();
    EXPECT_EQ(FileText(StartupBackupPath(kStartupFileName)), kHkcuRun + "#Tool|C:\\tool.exe\r\n");
    EXPECT_GE(FindRow(manager, "Tool", "Disable"), 0);
  }
}

// Random entries and random action sequences: once every entry is enabled
// and restored, the run values and the Startup files are as they were.
TEST(StartupActionsTest, AnySequenceRoundTrips) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    std::string reg;
    std::string files = kProgram;
    const char* const roots[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"};
    for (const char* root : roots) {
      reg += std::string("[") + root + "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n";
      for (int i = 0; i < 4; ++i) {
        const std::string name = i == 0 ? "Same" : "V" + std::to_string(random() % 100) + (i == 3 ? "#h" : "");
        if (i == 2) reg += "\"" + name + "\"=" + Hex2("%SystemRoot%\\p" + std::to_string(i) + ".exe") + "\n";
        else reg += "\"" + name + "\"=\"C:\\\\" + root + "\\\\p" + std::to_string(i) + ".exe /a|b\"\n";
      }
      reg += std::string("[") + root + "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n\"Once\"=\"C:\\\\o.exe\"\n\n";
    }
    for (const char* folder : {kCommonStartup, kUserStartup}) {
      const std::string which = folder == kCommonStartup ? "common" : "user";
      files += std::string(folder) + "\\same.lnk | text=" + which + "\n";
      files += std::string(folder) + "\\h#" + std::to_string(random() % 10) + ".lnk | text=hash " + which + "\n";
    }
    TestMachine machine(StartupRegText(reg), files);
    ScriptedDialogs dialogs;
    TStartupManager manager;
    manager.Prepare();
    manager.RefreshStartupList();
    const auto values = RunValues();
    const auto startupFiles = StartupFiles();
    ASSERT_EQ(values.size(), 10u);

    RandomActions(manager, random, dialogs, true);
    for (int round = 0; round < 2; ++round) EnableAndRestoreAll(manager);
    EXPECT_EQ(RunValues(), values);
    EXPECT_EQ(StartupFiles(), startupFiles);
    EXPECT_EQ(FileText(StartupBackupPath(kStartupFileName)), "");
    EXPECT_EQ(FileText(StartupBackupPath(kRemoveStartupFileName)), "");
    EXPECT_EQ(FileText(StartupBackupPath(kDelFileName)), "");
  }
}

// Random Run values of every type under both roots, with "#", "|", "%",
// line breaks and text outside the code page in names and data, DWORDs of
// every length, NULs and odd lengths, through random action sequences:
// afterwards each value is back exactly (a number as its decimal text) or
// was refused and never left its key.
TEST(StartupActionsTest, RandomValuesComeBackOrStayLive) {
  struct Generated {
    win::HKEY root;
    std::string name;
    RegValue value;
    bool comesBack;
    RegValue back;  // what it comes back as
  };
  const std::vector<std::string> pieces = {"a", "Z", " ", "#", "|", "%", "\\", ".", "\xC3\xA9", "x%y%"};
  for (unsigned seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    auto text = [&] {
      std::string t;
      for (std::size_t i = 0, n = 1 + pick(6); i < n; ++i) t += pieces[pick(pieces.size())];
      const std::size_t odd = pick(12);
      if (odd == 0) t += "\n";
      if (odd == 1) t += "\xE6\x97\xA5";
      return t;
    };
    TestMachine machine(StartupRegText(), kProgram);
    std::vector<Generated> values;
    for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
      win::TRegistry registry;
      registry.SetRootKey(root);
      ASSERT_TRUE(registry.OpenKey(kRun, true));
      for (int i = 0; i < 8; ++i) {
        Generated g{root, "V" + std::to_string(i) + text(), {}, false, {}};
        const bool nameFits = g.name.find_first_of("|\n") == std::string::npos && g.name.find("\xE6") == std::string::npos;
        const win::DWORD types[] = {win::REG_SZ, win::REG_EXPAND_SZ, win::REG_DWORD, win::REG_BINARY,
                                    win::REG_MULTI_SZ, win::REG_NONE, win::REG_QWORD, 0x1234};
        g.value.type = types[pick(4) == 0 ? pick(8) : pick(3)];
        if (g.value.type == win::REG_SZ || g.value.type == win::REG_EXPAND_SZ) {
          const std::string command = text();
          g.value.data = win::Utf8ToUtf16LeBytes(command);
          const std::size_t damage = pick(8);
          if (damage == 0) g.value.data.insert(g.value.data.begin() + 2, {0, 0});  // an embedded NUL
          if (damage == 1) g.value.data.pop_back();                              // odd length
          if (damage == 2) g.value.data.resize(g.value.data.size() - 2);         // no terminator
          const bool pair = command.find('%') != std::string::npos &&
                            command.find('%', command.find('%') + 1) != std::string::npos;
          g.comesBack = nameFits && damage > 2 && command.find_first_of("\n") == std::string::npos &&
                        command.find("\xE6") == std::string::npos && pair == (g.value.type == win::REG_EXPAND_SZ);
          g.back = g.value;
        } else if (g.value.type == win::REG_DWORD) {
          const std::size_t size = pick(3) == 0 ? pick(9) : 4;
          for (std::size_t b = 0; b < size; ++b) g.value.data.push_back(static_cast<std::uint8_t>(random()));
          g.comesBack = nameFits && size == 4;
          if (size == 4) {
            std::int32_t number = 0;
            std::memcpy(&number, g.value.data.data(), 4);
            g.back = {win::REG_SZ, win::Utf8ToUtf16LeBytes(std::to_string(number))};
          }
        } else {
          for (std::size_t b = 0, n = pick(7); b < n; ++b) g.value.data.push_back(static_cast<std::uint8_t>(random()));
        }
        ASSERT_TRUE(registry.WriteRaw(g.name, g.value.type, g.value.data));
        values.push_back(g);
      }
    }
    auto live = [](const Generated& g) {
      win::TRegistry registry(win::KEY_READ);
      registry.SetRootKey(g.root);
      RegValue value{0xFFFF, {}};
      if (registry.OpenKeyReadOnly(kRun)) registry.ReadRaw(g.name, value.type, value.data);
      return value;
    };
    ScriptedDialogs dialogs;
    TStartupManager manager;
    manager.Prepare();
    manager.RefreshStartupList();
    // Disabling everything disables exactly what can come back and names the rest once.
    ChooseAll(manager, false);
    manager.DisableSelected();
    std::size_t refused = 0;
    for (const Generated& g : values) {
      refused += g.comesBack ? 0 : 1;
      EXPECT_EQ(live(g).type == 0xFFFF, g.comesBack) << g.name;
    }
    ASSERT_EQ(dialogs.messages().size(), refused ? 1u : 0u);
    if (refused) {
      EXPECT_EQ(SplitMessageLines(dialogs.messages()[0].text).size(), refused + 1);
    }

    RandomActions(manager, random, dialogs, false);
    EnableAndRestoreAll(manager);
    for (const Generated& g : values) EXPECT_EQ(live(g), g.comesBack ? g.back : g.value) << g.name;
    for (const char* name : {kStartupFileName, kRemoveStartupFileName})
      EXPECT_EQ(FileText(StartupBackupPath(name)), "") << name;
  }
}

}  // namespace
