#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "ShellFixtures.h"
#include "platform/files/FileSystem.h"
#include "platform/system/System.h"

namespace {

using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;

class LoadSettingsTest : public SharedStateTest {};

TEST_F(LoadSettingsTest, FirstStartWritesTheDefaults) {
  TestMachine machine;
  LoadSettings();

  EXPECT_EQ(Settings.HomePage, BuiltInHomePage);
  EXPECT_EQ(Settings.HelpURL, BuiltInHelpURL);
  EXPECT_FALSE(Settings.NotAutoBackup);
  EXPECT_FALSE(Settings.OneTime);
  EXPECT_TRUE(Settings.SelectAll);
  EXPECT_FALSE(Settings.CheckUpdate);
  const char* key = "Software\\Fernwick";
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "NotAutoBackup"), "0");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "OneTime"), "0");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "SelectAll"), "1");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "CheckUpdate"), "0");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "Version"), "4.0");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "HomePage"), std::nullopt);
}

TEST_F(LoadSettingsTest, OnlyExactOneIsSetAndNonEmptyValuesStay) {
  TestMachine machine(
      "[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n"
      "\"HomePage\"=\"http://home.example/\"\r\n"
      "\"HelpURL\"=\"\"\r\n"
      "\"NotAutoBackup\"=\"1\"\r\n"
      "\"SelectAll\"=\" 1\"\r\n"
      "\"CheckUpdate\"=\"yes\"\r\n"
      "\"OneTime\"=dword:00000001\r\n"
      "\"Version\"=\"3.1\"\r\n");
  LoadSettings();

  EXPECT_EQ(Settings.HomePage, "http://home.example/");
  EXPECT_EQ(Settings.HelpURL, BuiltInHelpURL);
  EXPECT_TRUE(Settings.NotAutoBackup);
  EXPECT_FALSE(Settings.SelectAll);
  EXPECT_FALSE(Settings.CheckUpdate);
  EXPECT_FALSE(Settings.OneTime);
  const char* key = "Software\\Fernwick";
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "SelectAll"), " 1");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "CheckUpdate"), "yes");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "HelpURL"), "");
  // A value of another type reads as empty and gets its default.
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "OneTime"), "0");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key, "Version"), "4.0");
}

TEST_F(LoadSettingsTest, UnopenableKeyStillGivesTheDefaultsInMemory) {
  TestMachine machine("[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n", "",
                      ConfigWith("", "",
                                 "[ReadOnlyKeys]\r\n"
                                 "1=HKEY_CURRENT_USER\\Software\\Fernwick\r\n"));
  Settings.NotAutoBackup = true;
  LoadSettings();

  EXPECT_EQ(Settings.HomePage, BuiltInHomePage);
  EXPECT_EQ(Settings.HelpURL, BuiltInHelpURL);
  EXPECT_FALSE(Settings.NotAutoBackup);
  EXPECT_TRUE(Settings.SelectAll);
  EXPECT_FALSE(Settings.CheckUpdate);
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, "Software\\Fernwick", "Version"), std::nullopt);
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, "Software\\Fernwick", "SelectAll"), std::nullopt);
}

TEST_F(SharedStateTest, DetectPlatformFollowsThePlatformId) {
  struct Case {
    const char* platformId;
    std::uint8_t code;
  };
  for (const Case& c : {Case{"0", 1}, Case{"1", 2}, Case{"2", 4}}) {
    TestMachine machine("", "", ConfigWith("PlatformId=2", std::string("PlatformId=") + c.platformId));
    PlatformCode = 0;
    DetectPlatform();
    EXPECT_EQ(PlatformCode, c.code) << "platform id " << c.platformId;
  }
}

TEST(RootKeyNames, ExactNamesOnly) {
  EXPECT_EQ(RootKeyFromName("HKEY_CLASSES_ROOT"), win::HKEY_CLASSES_ROOT);
  EXPECT_EQ(RootKeyFromName("HKEY_CURRENT_USER"), win::HKEY_CURRENT_USER);
  EXPECT_EQ(RootKeyFromName("HKEY_LOCAL_MACHINE"), win::HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RootKeyFromName("HKEY_USERS"), win::HKEY_USERS);
  EXPECT_EQ(RootKeyFromName("HKEY_CURRENT_CONFIG"), win::HKEY_CURRENT_CONFIG);
  EXPECT_EQ(RootKeyFromName("hkey_local_machine"), 0u);
  EXPECT_EQ(RootKeyFromName("HKLM"), 0u);
  EXPECT_EQ(RootKeyFromName(""), 0u);
  for (win::HKEY root : {win::HKEY_CLASSES_ROOT, win::HKEY_CURRENT_USER, win::HKEY_LOCAL_MACHINE,
                         win::HKEY_USERS, win::HKEY_CURRENT_CONFIG})
    EXPECT_EQ(RootKeyFromName(RootKeyToName(root)), root);
  EXPECT_EQ(RootKeyToName(0x80000004u), "");
  EXPECT_EQ(RootKeyToName(0), "");
}

const char* const kPathMachine =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
    "@=\"unnamed\"\r\n"
    "\"Path\"=\"C:\\\\x.exe\"\r\n"
    "\"default\"=\"named default\"\r\n"
    "\"Count\"=dword:00000005\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Sub]\r\n"
    "\"A\"=\"a\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\Gone]\r\n"
    "[HKEY_CURRENT_USER\\Software\\Gone\\Deeper]\r\n"
    "\"B\"=\"b\"\r\n";

TEST(RegistryByPath, ReadStringByPath) {
  TestMachine machine(kPathMachine);
  struct Case {
    const char* keyPath;
    const char* valueName;
    const char* expected;
  };
  const Case cases[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "Path", "C:\\x.exe"},
      {"HKEY_LOCAL_MACHINE\\software\\tEST", "PATH", "C:\\x.exe"},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "", "unnamed"},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "default", "named default"},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "Count", ""},    // not a string
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "Missing", ""},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing", "Path", ""},  // missing key
      {"hkey_local_machine\\SOFTWARE\\Test", "Path", ""},     // unknown root
      {"HKEY_CLASSES_ROOT", "Path", ""},
  };
  for (const Case& c : cases) {
    std::string text = "stale";
    ReadRegStringByPath(c.keyPath, c.valueName, text);
    EXPECT_EQ(text, c.expected) << c.keyPath << " / " << c.valueName;
  }
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing"));
}

TEST(RegistryByPath, DeleteValueByPath) {
  TestMachine machine(kPathMachine);
  const char* key = "SOFTWARE\\Test";
  // "default" names the unnamed value.
  EXPECT_TRUE(DeleteRegValueByPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "default"));
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, key, ""), std::nullopt);
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, key, "default"), "named default");

  EXPECT_TRUE(DeleteRegValueByPath("HKEY_LOCAL_MACHINE\\software\\TEST", "path"));
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, key, "Path"), std::nullopt);
  EXPECT_FALSE(DeleteRegValueByPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "Path"));

  // A missing key gives false and creates nothing.
  EXPECT_FALSE(DeleteRegValueByPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing", "Path"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing"));
  // Unknown roots touch nothing.
  EXPECT_FALSE(DeleteRegValueByPath("hkey_local_machine\\SOFTWARE\\Test\\Sub", "A"));
  EXPECT_FALSE(DeleteRegValueByPath("HKEY_NOWHERE\\SOFTWARE\\Test\\Sub", "A"));
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Sub", "A"), "a");
}

TEST(RegistryByPath, DeleteKeyWithItsSubkeys) {
  TestMachine machine(kPathMachine);
  EXPECT_TRUE(DeleteRegKey(HKEY_CURRENT_USER, "\\software\\GONE"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Gone\\Deeper"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Gone"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software"));

  EXPECT_FALSE(DeleteRegKey(HKEY_CURRENT_USER, "\\Software\\Gone"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Gone"));
  // The root itself is refused.
  EXPECT_FALSE(DeleteRegKey(HKEY_LOCAL_MACHINE, ""));
  EXPECT_FALSE(DeleteRegKey(HKEY_LOCAL_MACHINE, "\\"));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Sub"));
  EXPECT_FALSE(DeleteRegKey(0x80000004u, "\\SOFTWARE\\Test"));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test"));
}

TEST(RegistryByPath, ReadOnlyKeyIsNotChanged) {
  TestMachine machine(kPathMachine, "",
                      ConfigWith("", "",
                                 "[ReadOnlyKeys]\r\n"
                                 "1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\r\n"));
  std::string text;
  ReadRegStringByPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "Path", text);
  EXPECT_EQ(text, "C:\\x.exe");
  EXPECT_FALSE(DeleteRegValueByPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Test", "Path"));
  EXPECT_FALSE(DeleteRegKey(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Test\\Sub"));
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "Path"), "C:\\x.exe");
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Sub"));
}

TEST(Severity, CountsEachCharacterOnce) {
  struct Case {
    const char* text;
    const char* severity;
  };
  const Case cases[] = {
      {"C:\\Program Files\\App\\app.exe", "High"},
      {"", "High"},
      {"%SystemRoot%\\x.dll", "Normal"},
      {"a;b;c;", "Normal"},
      {"a;b,c", "Low"},
      {"\"C:\\x.exe\" /s", "Low"},
      {"<>", "Low"},
      {"a|b", "Normal"},
      {"*?", "Low"},
  };
  for (const Case& c : cases) {
    std::string severity = "stale";
    GetSeverity(c.text, severity);
    EXPECT_EQ(severity, c.severity) << c.text;
  }
}

TEST(EnglishDate, FormatsWithoutLeadingZeros) {
  struct Case {
    TDateTime time;
    const char* text;
  };
  const Case cases[] = {
      {{2008, 3, 7, 14, 5, 9}, "Mar. 7, 2008 2:5:9 PM"},
      {{2008, 3, 7, 0, 0, 0}, "Mar. 7, 2008 0:0:0 AM"},
      {{2008, 3, 7, 12, 30, 0}, "Mar. 7, 2008 12:30:0 PM"},
      {{2008, 3, 7, 11, 59, 59}, "Mar. 7, 2008 11:59:59 AM"},
      {{2008, 3, 7, 23, 1, 2}, "Mar. 7, 2008 11:1:2 PM"},
      {{2009, 1, 31, 1, 2, 3}, "Jan. 31, 2009 1:2:3 AM"},
      {{2009, 5, 1, 1, 2, 3}, "May. 1, 2009 1:2:3 AM"},
      {{2009, 6, 1, 1, 2, 3}, "June. 1, 2009 1:2:3 AM"},
      {{2009, 7, 1, 1, 2, 3}, "July. 1, 2009 1:2:3 AM"},
      {{2009, 9, 1, 1, 2, 3}, "Sept. 1, 2009 1:2:3 AM"},
      {{2009, 12, 25, 1, 2, 3}, "Dec. 25, 2009 1:2:3 AM"},
  };
  for (const Case& c : cases) {
    std::string text;
    DateTimeToEnglishText(c.time, text);
    EXPECT_EQ(text, c.text);
  }
}

TEST(EnglishDate, FileTimeIsShownInLocalTime) {
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  setenv("TZ", "CET-1", 1);
  tzset();
  // 2008-03-07 14:05:09 UTC.
  const win::FileTime fileTime = 1204898709ULL * 10000000ULL + 116444736000000000ULL + 4321;
  const TDateTime local = FileTimeToLocalDateTime(fileTime);
  if (saved) setenv("TZ", previous.c_str(), 1);
  else unsetenv("TZ");
  tzset();
  EXPECT_EQ(local.Year, 2008);
  EXPECT_EQ(local.Month, 3);
  EXPECT_EQ(local.Day, 7);
  EXPECT_EQ(local.Hour, 15);
  EXPECT_EQ(local.Minute, 5);
  EXPECT_EQ(local.Second, 9);
}

TEST(RegionalDate, PictureRules) {
  TRegionalFormats formats;
  TRegionalFormats german;
  german.AMText = "vorm.";
  german.PMText = "nachm.";
  struct Case {
    const char* picture;
    PictureKind kind;
    TDateTime time;
    const TRegionalFormats& formats;
    const char* text;
  };
  const PictureKind D = PictureKind::Date;
  const PictureKind T = PictureKind::Time;
  const Case cases[] = {
      {"dd/MM/yyyy", D, {2009, 2, 5, 9, 5, 7}, formats, "05/02/2009"},
      {"M/d/yyyy", D, {2009, 2, 5, 9, 5, 7}, formats, "2/5/2009"},
      {"yyyy-MM-dd", D, {2009, 12, 25, 9, 5, 7}, formats, "2009-12-25"},
      {"d.M.yy y", D, {2009, 2, 5, 9, 5, 7}, formats, "5.2.09 9"},
      {"yyy yyyyy", D, {987, 2, 5, 0, 0, 0}, formats, "0987 0987"},
      {"dddd, MMMM d, yyyy", D, {2009, 2, 5, 0, 0, 0}, formats, "Thursday, February 5, 2009"},
      {"ddd dd-MMM-yy", D, {2009, 2, 1, 0, 0, 0}, formats, "Sun 01-Feb-09"},
      {"'Day' d 'of' M", D, {2009, 2, 5, 0, 0, 0}, formats, "Day 5 of 2"},
      {"d 'o''clock' ''", D, {2009, 2, 5, 0, 0, 0}, formats, "5 o'clock '"},
      {"d 'unclosed M", D, {2009, 2, 5, 0, 0, 0}, formats, "5 unclosed M"},
      {"d h:mm", D, {2009, 2, 5, 9, 5, 7}, formats, "5 h:mm"},
      {"HH:mm:ss", T, {2009, 2, 5, 9, 5, 7}, formats, "09:05:07"},
      {"H:m:s", T, {2009, 2, 5, 9, 5, 7}, formats, "9:5:7"},
      {"h:mm:ss tt", T, {2009, 2, 5, 0, 0, 0}, formats, "12:00:00 AM"},
      {"h:mm:ss tt", T, {2009, 2, 5, 12, 0, 0}, formats, "12:00:00 PM"},
      {"h:mm:ss tt", T, {2009, 2, 5, 23, 59, 59}, formats, "11:59:59 PM"},
      {"hh:mm t", T, {2009, 2, 5, 1, 2, 3}, formats, "01:02 A"},
      {"HH:mm tt", T, {2009, 2, 5, 13, 2, 3}, german, "13:02 nachm."},
      {"HH 'Uhr' d", T, {2009, 2, 5, 13, 2, 3}, formats, "13 Uhr d"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatPicture(c.picture, c.kind, c.time, c.formats), c.text) << c.picture;
}

TEST(RegionalDate, MachineSettingsWithWindowsDefaults) {
  const std::string key = "[HKEY_CURRENT_USER\\Control Panel\\International]\r\n";
  struct Case {
    const char* what;
    std::string regText;
    const char* text;  // 2009-02-20 10:00:00 and 2009-02-05 21:04:03
  };
  const Case cases[] = {
      {"day first, 24 hours", key + "\"sShortDate\"=\"dd/MM/yyyy\"\r\n\"sTimeFormat\"=\"HH:mm:ss\"\r\n",
       "20/02/2009 10:00:00|05/02/2009 21:04:03"},
      {"no key", "", "2/20/2009 10:00:00 AM|2/5/2009 9:04:03 PM"},
      {"empty key", key, "2/20/2009 10:00:00 AM|2/5/2009 9:04:03 PM"},
      {"separators only", key + "\"sDate\"=\"-\"\r\n\"sTime\"=\".\"\r\n",
       "2-20-2009 10.00.00 AM|2-5-2009 9.04.03 PM"},
      {"own AM and PM texts", key + "\"s1159\"=\"am\"\r\n\"s2359\"=\"\"\r\n",
       "2/20/2009 10:00:00 am|2/5/2009 9:04:03 "},
      {"damaged values", key + "\"sShortDate\"=hex:64,00\r\n\"sTimeFormat\"=dword:00000001\r\n"
                               "\"sDate\"=\"dd\"\r\n\"sTime\"=\"\"\r\n\"s1159\"=dword:00000000\r\n",
       "2/20/2009 10:00:00 AM|2/5/2009 9:04:03 PM"},
      {"empty and overlong pictures",
       key + "\"sShortDate\"=\"\"\r\n\"sTimeFormat\"=\"" + std::string(200, 'H') + "\"\r\n",
       "2/20/2009 10:00:00 AM|2/5/2009 9:04:03 PM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestMachine machine(c.regText);
    EXPECT_EQ(FormatShortDateTime({2009, 2, 20, 10, 0, 0}) + "|" + FormatShortDateTime({2009, 2, 5, 21, 4, 3}),
              c.text);
  }
  TestMachine machine(key + "\"sShortDate\"=\"yyyy-MM-dd\"\r\n\"sTimeFormat\"=\"HH:mm\"\r\n");
  EXPECT_EQ(FormatShortDate({2009, 2, 5, 21, 4, 3}), "2009-02-05");
  EXPECT_EQ(FormatTime({2009, 2, 5, 21, 4, 3}), "21:04");
}

class FakeItemsView : public ItemsProgressView {
 public:
  int ItemsGaugePosition() const override { return position; }
  void SetItemsGaugePosition(int value) override { position = value; ++positionChanges; }
  void SetItemsProcessedText(const std::string& value) override { text = value; ++textChanges; }
  int position = 0;
  int positionChanges = 0;
  int textChanges = 0;
  std::string text;
};

TEST_F(SharedStateTest, ItemsProcessedShowsEvery200thItem) {
  FakeItemsView view;
  ItemsProgress = &view;
  for (int i = 0; i < 199; ++i) IncItemsProcessed();
  EXPECT_EQ(ItemsProcessed, 199);
  EXPECT_EQ(view.positionChanges, 0);
  EXPECT_EQ(view.textChanges, 0);

  IncItemsProcessed();
  EXPECT_EQ(view.position, 1);
  EXPECT_EQ(view.text, "Items processed:        200");
  EXPECT_EQ(view.textChanges, 1);

  for (int i = 0; i < 199; ++i) IncItemsProcessed();
  EXPECT_EQ(view.textChanges, 1);
  IncItemsProcessed();
  EXPECT_EQ(view.position, 2);
  EXPECT_EQ(view.text, "Items processed:        400");
}

TEST_F(SharedStateTest, ItemsGaugeWrapsAtHundred) {
  FakeItemsView view;
  ItemsProgress = &view;
  view.position = 98;
  ItemsProcessed = 199;
  IncItemsProcessed();
  EXPECT_EQ(view.position, 99);
  ItemsProcessed = 19999999;
  IncItemsProcessed();
  EXPECT_EQ(view.position, 0);
  EXPECT_EQ(view.text, "Items processed:   20000000");
}

TEST(Drives, NonFixedDrivesAreAppendedInOrder) {
  TestMachine machine("", "",
                      ConfigWith("E=removable\r\n",
                                 "E=removable\r\nF=fixed\r\nG=remote\r\nH=ramdisk\r\n"));
  std::vector<std::string> list{"Q:"};
  BuildNonFixedDriveList(list);
  EXPECT_EQ(list, (std::vector<std::string>{"Q:", "D:", "E:", "G:", "H:"}));
}

TEST(Drives, FixedDrivePathIsASubstringTest) {
  const std::vector<std::string> list{"D:", "e:"};
  EXPECT_TRUE(IsFixedDrivePath(list, "C:\\Program Files\\x.exe"));
  EXPECT_FALSE(IsFixedDrivePath(list, "d:\\setup.exe"));
  EXPECT_FALSE(IsFixedDrivePath(list, "E:\\x"));
  EXPECT_FALSE(IsFixedDrivePath(list, "rundll32 c:\\x.dll,E:run"));
  EXPECT_TRUE(IsFixedDrivePath({}, "D:\\x"));
}

TEST(Folders, StartupFoldersOfTheMachineAndTheUser) {
  TestMachine machine(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
      "\"Common Startup\"=\"C:\\\\Documents and Settings\\\\All Users\\\\Start Menu\\\\Programs\\\\Startup\"\r\n");
  std::vector<std::unique_ptr<TFolderData>> list;
  list.push_back(std::make_unique<TFolderData>());
  GetStartupFolders(list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->RootKey, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(list[0]->KeyPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
  EXPECT_EQ(list[0]->ValueName, "Common Startup");
  EXPECT_EQ(list[0]->Folder, "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup");
  EXPECT_EQ(list[0]->Data, "");
}

TEST(Folders, ProgramFilesPathByKind) {
  TestMachine machine(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
      "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\r\n");
  std::string path = "stale";
  GetProgramFilesPath(0, path);
  EXPECT_EQ(path, "C:\\Program Files");
  GetProgramFilesPath(1, path);
  EXPECT_EQ(path, "");
  path = "kept";
  GetProgramFilesPath(2, path);
  EXPECT_EQ(path, "kept");
}

TEST_F(SharedStateTest, DelayLetsMessagesThroughUntilTheTimeHasPassed) {
  const win::DWORD start = win::GetTickCount();
  Delay(30);
  EXPECT_GE(win::GetTickCount() - start, 30u);
  EXPECT_GT(ProcessMessagesCount(), 0);
}

TEST_F(SharedStateTest, UserNameComesFromTheMachine) {
  std::string name = "before";
  {
    TestMachine machine("", "", ConfigWith("UserName=Owner", "UserName=Jane Doe"));
    GetCurrentUserName(name);
    EXPECT_EQ(name, "Jane Doe");
  }
  win::Machine* current = win::CurrentMachine();
  win::SetCurrentMachine(nullptr);
  name = "unchanged";
  GetCurrentUserName(name);
  EXPECT_EQ(name, "unchanged");
  win::SetCurrentMachine(current);
}

TEST_F(SharedStateTest, ShutdownPrivilegeAndWebPageAreRecorded) {
  TestMachine machine;
  EXPECT_FALSE(win::ExitWindowsEx(win::EWX_REBOOT, 0));
  EXPECT_TRUE(EnableShutdownPrivilege());
  EXPECT_TRUE(win::ExitWindowsEx(win::EWX_REBOOT, 0));
  OpenWebPage(0, "http://www.fernwick.invalid/help/");
  EXPECT_EQ(win::ShellLog(), (std::vector<std::string>{
                                 "ExitWindowsEx\t2\t0\tfailed 1314",
                                 "AdjustTokenPrivileges\tSeShutdownPrivilege\tok",
                                 "ExitWindowsEx\t2\t0\tok",
                                 "ShellExecute\topen\thttp://www.fernwick.invalid/help/\tok",
                             }));
}

TEST(WideText, LongTextIsKeptWhole) {
  const std::string text(700, 'x');
  EXPECT_EQ(StrToPWideChar(text), std::u16string(700, u'x'));
  EXPECT_EQ(StrToPWideChar("Fernwick.job"), u"Fernwick.job");
}

}  // namespace
