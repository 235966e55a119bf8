// Installed programs: loading the Uninstall key, the texts shown, the
// program path of command lines, sorting, removing and running uninstallers.

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "StartupFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "regclean/PathRoutinesUnit.h"
#include "tools/UninstallItemUnit.h"

using namespace tools;

namespace {

const char* const kUninstallReg =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha]\n"
    "\"DisplayName\"=\"Alpha\"\n"
    "\"UninstallString\"=\"\\\"C:\\\\Program Files\\\\Alpha\\\\uninst.exe\\\" /S\"\n"
    "\"DisplayIcon\"=\"\\\"C:\\\\Program Files\\\\Alpha\\\\alpha.exe\\\",0\"\n"
    "\"DisplayVersion\"=\"1.2\"\n"
    "\"InstallDate\"=\"20050307\"\n"
    "\"Publisher\"=\"Alpha Inc\"\n"
    "\"URLInfoAbout\"=\"http://alpha.invalid\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha\\Sub]\n"
    "\"x\"=\"y\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Beta]\n"
    "\"DisplayName\"=\"Beta\"\n"
    "\"UninstallString\"=\"MsiExec.exe /X{11111111-2222-3333-4444-555555555555}\"\n"
    "\"VersionMajor\"=\"5\"\n"
    "\"VersionMinor\"=\"1\"\n"
    "\"Publisher\"=dword:00000001\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gamma]\n"
    "\"DisplayName\"=\"Gamma\"\n"
    "\"UninstallString\"=\"C:\\\\g.exe\"\n"
    "\"VersionMajor\"=dword:00000005\n"
    "\"VersionMinor\"=dword:00000001\n"
    "\"InstallDate\"=\"2005-3-7\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB123]\n"
    "\"DisplayName\"=\"Update KB123\"\n"
    "\"UninstallString\"=\"C:\\\\WINDOWS\\\\kb.exe\"\n"
    "\"ParentKeyName\"=\"OperatingSystem\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB456]\n"
    "\"DisplayName\"=\"Update KB456\"\n"
    "\"UninstallString\"=\"C:\\\\WINDOWS\\\\kb.exe\"\n"
    "\"ParentKeyName\"=\"operatingsystem\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NoCommand]\n"
    "\"DisplayName\"=\"No command\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NumberName]\n"
    "\"DisplayName\"=dword:00000007\n"
    "\"UninstallString\"=\"C:\\\\n.exe\"\n";

std::vector<std::string> Names(const TUninstallContents& contents) {
  std::vector<std::string> names;
  for (std::int32_t i = 0; i < contents.Count(); ++i) names.push_back(contents.GetItem(i).Content.DisplayName);
  return names;
}

TEST(UninstallItemTest, LoadingTheUninstallKey) {
  const std::string config = TestMachine::DefaultConfigText() +
                             "[ReadOnlyKeys]\r\n1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\r\n";
  TestMachine machine(kUninstallReg, "C:\\Program Files\\Alpha\\alpha.exe\n", config);
  TUninstallContents contents;
  LoadInstalledPrograms(contents, false);
  // Read-only keys still list; an update key in another case is no update.
  EXPECT_EQ(Names(contents), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Update KB456"}));
  const TContent& alpha = contents.GetItem(0).Content;
  EXPECT_EQ(alpha.IconPath, "C:\\Program Files\\Alpha\\alpha.exe");
  EXPECT_EQ(alpha.DisplayVersion, "1.2");
  EXPECT_EQ(alpha.InstallDate, "20050307");
  EXPECT_EQ(alpha.Publisher, "Alpha Inc");
  EXPECT_EQ(alpha.URLInfoAbout, "http://alpha.invalid");
  EXPECT_EQ(alpha.HelpLink, "NOT AVAILABLE");
  EXPECT_EQ(alpha.ModifyPath, "NOT AVAILABLE");
  EXPECT_EQ(alpha.KeyName, "Alpha");
  EXPECT_EQ(alpha.KeyPath, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha");
  const TContent& beta = contents.GetItem(1).Content;
  EXPECT_EQ(beta.DisplayVersion, "51");
  EXPECT_EQ(beta.Publisher, "NOT AVAILABLE");  // a number counts as absent
  EXPECT_EQ(beta.IconPath, "C:\\WINDOWS\\system32\\MsiExec.exe");
  const TContent& gamma = contents.GetItem(2).Content;
  EXPECT_EQ(gamma.DisplayVersion, "");
  EXPECT_EQ(FormatInstallDate(gamma.InstallDate), "NOT AVAILABLE");

  LoadInstalledPrograms(contents, true);
  EXPECT_EQ(Names(contents), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Update KB123", "Update KB456"}));

  TestMachine empty("", "");
  LoadInstalledPrograms(contents, true);
  EXPECT_EQ(contents.Count(), 0);
}

TEST(UninstallItemTest, InstallDatesInTheShortDateFormat) {
  TestMachine machine("", "");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"20050307", "3/7/2005"},       {" 19991231 ", "12/31/1999"},   {"2005-307", "NOT AVAILABLE"},
      {"2005307", "NOT AVAILABLE"},   {"20051307", "NOT AVAILABLE"},  {"20050007", "NOT AVAILABLE"},
      {"20050700", "NOT AVAILABLE"},  {"", "NOT AVAILABLE"},          {"NOT AVAILABLE", "NOT AVAILABLE"},
      {"2005 +37", "NOT AVAILABLE"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(FormatInstallDate(text), shown) << text;
  TestMachine dotted("[HKEY_CURRENT_USER\\Control Panel\\International]\n\"sShortDate\"=\"dd.MM.yyyy\"\n", "");
  EXPECT_EQ(FormatInstallDate("20050307"), "07.03.2005");
}

TEST(UninstallItemTest, ProgramPathsOfCommandLines) {
  TestMachine machine("Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
                      "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n",
                      "C:\\Program Files\\Has Blank\\un install.exe\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\Program Files\\App\\uninst.exe /S", "C:\\Program Files\\App\\uninst.exe"},
      {"\"C:\\Program Files\\App\\app.exe\",0", "C:\\Program Files\\App\\app.exe"},
      {"@C:\\WINDOWS\\res.dll,-101", "C:\\WINDOWS\\res.dll"},
      {"%SystemRoot%\\system32\\app.exe /u", "C:\\WINDOWS\\SYSTEM32\\APP.EXE"},
      {"%SYSTEMROOT%\\system32\\app.exe /u", "C:\\WINDOWS\\SYSTEM32\\APP.EXE"},
      {"%systemroot%\\system32\\app.exe /u", "C:\\WINDOWS\\SYSTEM32\\APP.EXE"},
      {"%ProgramFiles%\\App\\x.exe -r", "C:\\PROGRAM FILES\\APP\\X.EXE"},
      {"%windir%\\un.exe", "C:\\WINDOWS\\UN.EXE"},
      {"MsiExec.exe /X{1234}", "C:\\WINDOWS\\system32\\MsiExec.exe"},
      {"C:\\Program Files\\Has Blank\\un install.exe", "C:\\Program Files\\Has Blank\\un install.exe"},
      {"C:\\a\\b.exe D:\\x", "C:\\a\\b.exe"},
      {":x:y", ":x"},
      {"", ""},
  };
  for (const auto& [command, path] : cases) EXPECT_EQ(ExtractProgramPath(command), path) << command;
  EXPECT_EQ(ExtractProgramPath("C:\\" + std::string(10000, 'a') + ".exe /x").size(), 10007u);
}

TEST(UninstallItemTest, UninstallCommands) {
  TestMachine machine("", "");
  EXPECT_EQ(NormalizeUninstallCommand("MsiExec.exe /I{1234} REBOOT=1"), "MsiExec.exe /I{1234} REBOOT=1");
  EXPECT_EQ(NormalizeUninstallCommand("rundll32.exe 'C:\\WINDOWS\\setupapi.dll',InstallHinfSection x"),
            "rundll32.exe C:\\WINDOWS\\setupapi.dll,InstallHinfSection x");
  EXPECT_EQ(NormalizeUninstallCommand("\"C:\\Program Files\\A\\un.exe\" /S"), "C:\\Program Files\\A\\un.exe");

  TContent item;
  item.DisplayName = "App";
  item.UninstallString = "\"C:\\Program Files\\A\\un.exe\" /S";
  item.ModifyPath = "NOT AVAILABLE";
  EXPECT_EQ(UninstallCommandLine(item), "\"C:\\Program Files\\A\\un.exe\"");
  item.UninstallString = "C:\\A\\un.exe /S";
  EXPECT_EQ(UninstallCommandLine(item), "C:\\A\\un.exe");
  item.UninstallString = "MsiExec.exe /X{1}";
  EXPECT_EQ(UninstallCommandLine(item), "MsiExec.exe /X{1}");
  item.DisplayName = "Norton Thing";
  EXPECT_EQ(UninstallCommandLine(item), "MsiExec.exe /X{1}");  // no ModifyPath: the normal command
  item.ModifyPath = "C:\\N\\modify.exe";
  EXPECT_EQ(UninstallCommandLine(item), "C:\\N\\modify.exe");
  EXPECT_TRUE(IsNortonOrSymantec("Symantec AV"));
  EXPECT_FALSE(IsNortonOrSymantec("norton"));
}

TEST(UninstallItemTest, SortingKeepsTheExchangeOrder) {
  TUninstallContents contents;
  for (const char* publisher : {"b", "A", " a "}) {
    TContent& item = contents.GetItem(contents.Add()).Content;
    item.Publisher = publisher;
    item.DisplayName = std::string("n") + publisher;
    item.InstallDate = publisher[0] == 'A' ? "NOT AVAILABLE" : publisher[0] == 'b' ? "20050101" : "19990101";
  }
  auto publishers = [&contents] {
    std::vector<std::string> out;
    for (std::int32_t i = 0; i < contents.Count(); ++i) out.push_back(contents.GetItem(i).Content.Publisher);
    return out;
  };
  SortUninstallContents(contents, 2, 1);
  EXPECT_EQ(publishers(), (std::vector<std::string>{"b", " a ", "A"}));
  SortUninstallContents(contents, 2, 0);
  EXPECT_EQ(publishers(), (std::vector<std::string>{"A", " a ", "b"}));
  SortUninstallContents(contents, 1, 0);
  EXPECT_EQ(publishers(), (std::vector<std::string>{" a ", "b", "A"}));  // NOT AVAILABLE after dates
  SortUninstallContents(contents, 3, 1);
  EXPECT_EQ(publishers(), (std::vector<std::string>{" a ", "b", "A"}));

  EXPECT_FALSE(contents.Delete(-1));
  EXPECT_FALSE(contents.Delete(3));
  EXPECT_TRUE(contents.Delete(2));
  EXPECT_EQ(contents.Count(), 2);
}

// Many equal keys, some with blanks around them: records land where the
// plain exchange sort on the trimmed texts puts them.
TEST(UninstallItemTest, SortingOfManyEqualKeysKeepsTheExchangeOrder) {
  std::mt19937 rng(12);
  const char* const names[] = {"b", "A", "a", " a ", "ab", "", " ", "B ", "\xC3\xA9", "Z"};
  for (int direction : {0, 1}) {
    TUninstallContents contents;
    std::vector<std::string> keys;
    std::vector<int> expected;
    for (int i = 0; i < 300; ++i) {
      TContent& item = contents.GetItem(contents.Add()).Content;
      item.DisplayName = names[rng() % (sizeof names / sizeof names[0])];
      item.Publisher = std::to_string(i);
      keys.push_back(regclean::Trim(item.DisplayName));
      expected.push_back(i);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
      for (std::size_t j = i; j < keys.size(); ++j) {
        const int order = keys[i].compare(keys[j]);
        if ((direction == 0 && order > 0) || (direction == 1 && order < 0)) {
          std::swap(keys[i], keys[j]);
          std::swap(expected[i], expected[j]);
        }
      }
    }
    SortUninstallContents(contents, 0, direction);
    std::vector<int> sorted;
    for (std::int32_t i = 0; i < contents.Count(); ++i) sorted.push_back(std::stoi(contents.GetItem(i).Content.Publisher));
    EXPECT_EQ(sorted, expected) << "direction " << direction;
  }
}

TEST(UninstallItemTest, RemoveDeletesOnlyThatSubtree) {
  TestMachine machine(kUninstallReg, "");
  TUninstallContents contents;
  LoadInstalledPrograms(contents, false);
  ASSERT_TRUE(RemoveUninstallEntry(contents.GetItem(0).Content));
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(registry.KeyExists(std::string(kUninstallKey) + "\\Alpha"));
  EXPECT_TRUE(registry.KeyExists(std::string(kUninstallKey) + "\\Beta"));
  TContent empty;
  EXPECT_FALSE(RemoveUninstallEntry(empty));  // never the Uninstall key itself
  EXPECT_TRUE(registry.KeyExists(kUninstallKey));
}

}  // namespace
