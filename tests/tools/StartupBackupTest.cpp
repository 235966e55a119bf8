// Startup manager backups: an entry is backed up as it is at the action,
// what could not come back exactly stays and is told in one message, an
// unreadable line file stops the action, and the listing mends what a kill
// between two steps left.

#include <gtest/gtest.h>

#include <filesystem>
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
const char* const kProgram = "C:\\Program Files\\Fernwick\\Fernwick.exe\n";

RegValue Value(const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  RegValue value{win::REG_NONE, {}};
  if (!registry.OpenKeyReadOnly(kRun) || !registry.ReadRaw(name, value.type, value.data)) value.type = 0xFFFF;
  return value;
}

RegValue Text(win::DWORD type, const std::string& text) { return {type, win::Utf8ToUtf16LeBytes(text)}; }

std::vector<std::string> Lines(const char* fileName) {
  std::vector<std::string> lines;
  win::ReadLineFile(StartupBackupPath(fileName), lines);
  return lines;
}

TEST(StartupBackupTest, WhatCannotComeBackExactlyStaysAndIsToldOnce) {
  struct Bad {
    const char* name;
    win::DWORD type;
    std::vector<std::uint8_t> data;
  };
  const auto text = [](const std::string& t) { return win::Utf8ToUtf16LeBytes(t); };
  const std::vector<Bad> bad = {
      {"Short", win::REG_DWORD, {5, 0, 0}},
      {"Long", win::REG_DWORD, {5, 0, 0, 0, 0, 0, 0, 0}},
      {"Nul", win::REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0}},
      {"Odd", win::REG_SZ, {'a', 0, 'b', 0, 0}},
      {"Open", win::REG_SZ, {'a', 0, 'b', 0}},
      {"Break", win::REG_SZ, text("a\nb")},
      {"Wide", win::REG_SZ, text("C:\\\xE6\x97\xA5.exe")},
      {"Pair", win::REG_SZ, text("C:\\%x%\\p.exe")},  // would come back expandable
      {"Plain", win::REG_EXPAND_SZ, text("C:\\plain.exe")},  // would come back as a plain string
      {"Bar|Name", win::REG_SZ, text("C:\\bar.exe")},
      {"Bytes", win::REG_BINARY, {1, 2}},
      {"Multi", win::REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}},
      {"Quad", win::REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
  };
  const std::string run = "[HKEY_CURRENT_USER\\" + std::string(kRun) +
                          "]\n\"Good\"=\"C:\\\\good.exe /a|b\"\n\"Num\"=dword:fffffffe\n\"Empty\"=\"\"\n";
  TestMachine machine(StartupRegText(run), std::string(kProgram) + kUserStartup + "\\Sub\\\n" + kUserStartup +
                                               "\\x.lnk | text=X\nC:\\WINDOWS\\win.ini | text=[Run]\\r\\nwi=C:\\\\w.exe\\r\\n\n");
  {
    win::TRegistry registry;
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey(kRun, false));
    for (const Bad& b : bad) ASSERT_TRUE(registry.WriteRaw(b.name, b.type, b.data));
  }
  ScriptedDialogs dialogs;
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  const auto before = RunValues();

  std::string told = "These items were left as they were:\rSub - a folder cannot be backed up";
  for (const Bad& b : bad) told += std::string("\r") + b.name + " - it cannot be kept exactly in the backup file";

  ChooseAll(manager);
  manager.DisableSelected();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, told + "\rwi - win.ini entries can only be removed");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, MB_ICONWARNING);
  for (const Bad& b : bad) {
    EXPECT_EQ(Value(b.name), before.at(std::to_string(win::HKEY_CURRENT_USER) + "Run\\" + b.name)) << b.name;
    EXPECT_GE(FindRow(manager, b.name, "Enable"), 0) << b.name;
  }
  EXPECT_EQ(Lines(kStartupFileName),
            (std::vector<std::string>{kHkcuRun + "#Good|C:\\good.exe /a|b", kHkcuRun + "#Num|-2", kHkcuRun + "#Empty|"}));
  EXPECT_GE(FindRow(manager, std::string(kUserStartup) + "\\x.lnk", "Disable"), 0);

  // Remove takes the disabled ones and win.ini's entry along; the rest stay again.
  ChooseAll(manager);
  dialogs.setNextAnswer(IDYES);
  manager.RemoveSelected();
  ASSERT_EQ(dialogs.messages().size(), 3u);
  EXPECT_EQ(dialogs.messages()[2].text, told);
  EXPECT_TRUE(Lines(kStartupFileName).empty());
  manager.ListRemovedEntries();
  ASSERT_EQ(manager.RestoreRows().size(), 4u);
  for (int i = 0; i < 4; ++i) manager.SetRestoreChecked(i, true);
  manager.RestoreItems();
  EXPECT_EQ(dialogs.messages().size(), 3u);
  EXPECT_EQ(Value("Good"), Text(win::REG_SZ, "C:\\good.exe /a|b"));
  EXPECT_EQ(Value("Num"), Text(win::REG_SZ, "-2"));  // a number comes back as its text
  EXPECT_EQ(Value("Empty"), Text(win::REG_SZ, ""));
  EXPECT_EQ(FileText(std::string(kUserStartup) + "\\x.lnk"), "X");
  for (const Bad& b : bad)
    EXPECT_EQ(Value(b.name), before.at(std::to_string(win::HKEY_CURRENT_USER) + "Run\\" + b.name)) << b.name;
}

TEST(StartupBackupTest, TheEntryIsBackedUpAsItIsAtTheAction) {
  TestMachine machine(StartupRegText("[HKEY_CURRENT_USER\\" + std::string(kRun) +
                                     "]\n\"Tool\"=\"C:\\\\old.exe\"\n\"Kind\"=\"C:\\\\kind.exe\"\n\"Gone\"=\"C:\\\\gone.exe\"\n"),
                      std::string(kProgram) + kUserStartup + "\\x.lnk | text=old\n");
  ScriptedDialogs dialogs;
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  {
    win::TRegistry registry;
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey(kRun, false));
    ASSERT_TRUE(registry.WriteString("Tool", "C:\\new.exe"));
    ASSERT_TRUE(registry.WriteBinaryData("Kind", {1, 2}));
    ASSERT_TRUE(registry.DeleteValue("Gone"));
  }
  ASSERT_TRUE(win::WriteFileBytes(std::string(kUserStartup) + "\\x.lnk", {'n', 'e', 'w'}));
  ChooseAll(manager);
  manager.DisableSelected();
  EXPECT_EQ(Lines(kStartupFileName), std::vector<std::string>{kHkcuRun + "#Tool|C:\\new.exe"});
  EXPECT_EQ(FileText(DelFolder() + "\\x.lnk"), "new");
  EXPECT_EQ(Value("Kind"), (RegValue{win::REG_BINARY, {1, 2}}));
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text,
            "These items were left as they were:\rKind - it cannot be kept exactly in the backup file\r"
            "Gone - it is no longer there");
  ChooseAll(manager);
  manager.EnableSelected();
  EXPECT_EQ(Value("Tool"), Text(win::REG_SZ, "C:\\new.exe"));
  EXPECT_EQ(FileText(std::string(kUserStartup) + "\\x.lnk"), "new");
}

// A line file that is there but cannot be read (a host link, never followed):
// the action changes nothing, writes nothing and says so.
TEST(StartupBackupTest, AnUnreadableLineFileStopsTheAction) {
  const std::string reg = StartupRegText("[HKEY_CURRENT_USER\\" + std::string(kRun) +
                                         "]\n\"Live\"=\"C:\\\\live.exe\"\n\"Off\"=\"C:\\\\off.exe\"\n\"Gone\"=\"C:\\\\gone.exe\"\n");
  const std::string files = std::string(kProgram) + kUserStartup + "\\live.lnk | text=L\n" + kUserStartup +
                            "\\off.lnk | text=O\n" + kUserStartup + "\\gone.lnk | text=G\n";
  enum Action { Disable, Enable, Remove, Restore };
  struct Case {
    const char* file;
    Action action;
  };
  const std::vector<Case> cases = {
      {kStartupFileName, Disable}, {kStartupFileName, Enable},        {kStartupFileName, Remove},
      {kRemoveStartupFileName, Remove}, {kRemoveStartupFileName, Restore}, {kDelFileName, Disable},
      {kDelFileName, Enable},      {kDelFileName, Remove},             {kDelFileName, Restore},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.action));
    TestMachine machine(reg, files);
    ScriptedDialogs dialogs;
    TStartupManager manager;
    manager.Prepare();
    manager.RefreshStartupList();
    // One entry of each kind disabled, one removed, one live.
    Choose(manager, "Off", "Enable");
    Choose(manager, "off.lnk", "Enable");
    manager.DisableSelected();
    Choose(manager, "Gone", "Enable");
    Choose(manager, "gone.lnk", "Enable");
    dialogs.setNextAnswer(IDYES);
    manager.RemoveSelected();
    manager.ListRemovedEntries();
    for (int i = 0; i < 2; ++i) manager.SetRestoreChecked(i, true);
    ChooseAll(manager);
    const auto values = RunValues();
    const auto startupFiles = StartupFiles();
    const auto copies = FolderFiles(DelFolder());
    std::map<std::string, std::string> lineFiles;
    for (const char* name : {kStartupFileName, kRemoveStartupFileName, kDelFileName})
      lineFiles[name] = FileText(StartupBackupPath(name));

    const std::string path = StartupBackupPath(c.file);
    const std::string host = machine.host(path);
    std::filesystem::rename(host, host + ".real");
    std::filesystem::create_symlink(host + ".real", host);
    const std::size_t told = dialogs.messages().size();
    switch (c.action) {
      case Disable: manager.DisableSelected(); break;
      case Enable: manager.EnableSelected(); break;
      case Remove: manager.RemoveSelected(); break;
      case Restore: manager.RestoreItems(); break;
    }
    ASSERT_EQ(dialogs.messages().size(), told + 1);  // no question either
    EXPECT_EQ(dialogs.messages().back().text, "The backup file \"" + path + "\" cannot be read.\rNothing was changed.");
    EXPECT_EQ(RunValues(), values);
    EXPECT_EQ(StartupFiles(), startupFiles);
    EXPECT_EQ(FolderFiles(DelFolder()), copies);
    std::filesystem::remove(host);
    std::filesystem::rename(host + ".real", host);
    for (const auto& [name, text] : lineFiles) EXPECT_EQ(FileText(StartupBackupPath(name)), text) << name;
  }
}

// States that a kill between two steps of an action leaves, and what the
// next listing makes of them: every entry once, live or backed up.
TEST(StartupBackupTest, TheListingMendsWhatAKillLeft) {
  const std::string reg = StartupRegText("[HKEY_CURRENT_USER\\" + std::string(kRun) +
                                         "]\n\"Tool\"=\"C:\\\\tool.exe\"\n\"Num\"=dword:00000005\n");
  const std::string user = std::string(kUserStartup) + "\\";
  const std::string files = std::string(kProgram) + user + "a.lnk | text=A\n" + user + "b.lnk | text=B\n" +
                            "C:\\one.txt | text=K\nC:\\two.txt | text=K\n";
  TestMachine machine(reg, files);
  TStartupManager manager;
  manager.Prepare();
  const std::string del = DelFolder() + "\\";
  auto write = [](const char* name, const std::vector<std::string>& lines) {
    ASSERT_TRUE(win::WriteLineFile(StartupBackupPath(name), lines));
  };
  auto bytes = [](const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); };
  // Live values whose lines are still there: the lines go.
  write(kStartupFileName, {kHkcuRun + "#Tool|C:\\tool.exe", kHkcuRun + "#Other|C:\\o.exe", kHkcuRun + "#Both|C:\\b.exe",
                           kHkcuRun + "#Tool|C:\\older.exe"});
  write(kRemoveStartupFileName, {kHkcuRun + "#Num|5", kHkcuRun + "#Both|C:\\b.exe"});
  // a.lnk is live: its line without a copy goes, and so does its line with
  // a copy of the same bytes (with the copy); b.lnk's copy differs and stays.
  ASSERT_TRUE(win::WriteFileBytes(del + "a (2).lnk", bytes("A")));
  ASSERT_TRUE(win::WriteFileBytes(del + "b.lnk", bytes("older B")));
  ASSERT_TRUE(win::WriteFileBytes(del + "orphan.lnk", bytes("B")));        // no line, same bytes as b.lnk
  ASSERT_TRUE(win::WriteFileBytes(del + "stranger.lnk", bytes("other")));  // no line, nothing like it
  ASSERT_TRUE(win::WriteFileBytes(user + ".fw-Ab12Cd", bytes("A")));      // a copy killed before its rename
  // A damaged line whose "copy" lies outside "del" touches nothing there.
  const std::string outside = "C:\\one.txt#C:\\two.txt";
  write(kDelFileName, {user + "a.lnk#" + del + "a.lnk|E", user + "a.lnk#" + del + "a (2).lnk", user + "b.lnk#" + del + "b.lnk|E",
                       outside});

  manager.RefreshStartupList();
  EXPECT_EQ(Lines(kStartupFileName),
            (std::vector<std::string>{kHkcuRun + "#Other|C:\\o.exe", kHkcuRun + "#Tool|C:\\older.exe"}));
  EXPECT_EQ(Lines(kRemoveStartupFileName), std::vector<std::string>{kHkcuRun + "#Both|C:\\b.exe"});
  EXPECT_EQ(Lines(kDelFileName), (std::vector<std::string>{user + "b.lnk#" + del + "b.lnk|E", outside}));
  EXPECT_EQ(FileText("C:\\two.txt"), "K");
  EXPECT_EQ(FolderFiles(DelFolder()),
            (std::map<std::string, std::string>{{del + "b.lnk", "older B"}, {del + "stranger.lnk", "other"}}));
  std::vector<std::string> rows;
  for (const TStartupRow& row : manager.Rows()) rows.push_back(row.Caption + " " + row.Status());
  EXPECT_EQ(rows, (std::vector<std::string>{"a.lnk Enable", "b.lnk Enable", "Tool Enable", "Num Enable",
                                            "Other Disable", "Tool Disable"}));
  manager.ListRemovedEntries();
  ASSERT_EQ(manager.RestoreRows().size(), 2u);
  EXPECT_EQ(manager.RestoreRows()[0].SubItems[0], "Both");
}

}  // namespace
