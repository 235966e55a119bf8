#include "SectionScanFixture.h"
#include "platform/files/FileSystem.h"
#include "regclean/SystemSoftWareSettingUnit.h"
#include "regclean/UserSoftWareSettings.h"

namespace regclean::test {
namespace {

const char* const kSid = "S-1-5-21-1000000000-1000000000-1000000000-1003";
constexpr int kSystem = 15;
constexpr int kUser = 17;

class SoftwareSettingsTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
               "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n",
               "C:\\Program Files\\Kept\\app.exe\n"
               "C:\\Kept Folder\\\n"
               "C:\\WINDOWS\\system32\\kept.dll\n");
  }

  std::vector<std::string> Findings() const {
    return Lines([](const TRegistryContent& p) { return p.KeyPath + " : " + p.ValueName + " -> " + p.Value; });
  }
};

struct DataCase {
  const char* data;
  win::DWORD type;
  const char* system;  // what section 15 reports (nullptr: nothing)
  const char* user;    // what section 17 reports
};

TEST_F(SoftwareSettingsTest, ReportsDataNamingMissingFoldersAndFiles) {
  const std::vector<DataCase> cases = {
      {"C:\\Program Files\\Gone", win::REG_SZ, "C:\\Program Files\\Gone", "C:\\Program Files\\Gone"},
      {"c:\\gone folder", win::REG_SZ, "c:\\gone folder", "c:\\gone folder"},
      {"\"C:\\Gone\\app.exe\" /s", win::REG_SZ, "C:\\Gone\\app.exe", "C:\\Gone\\app.exe"},
      {"%SystemRoot%\\gone.exe", win::REG_EXPAND_SZ, "C:\\WINDOWS\\GONE.EXE", "C:\\WINDOWS\\GONE.EXE"},
      {"%ProgramFiles%\\Gone", win::REG_SZ, "C:\\PROGRAM FILES\\GONE", "C:\\PROGRAM FILES\\GONE"},
      {"rundll32.exe C:\\Gone\\x.dll,Run", win::REG_SZ, "C:\\Gone\\x.dll", "C:\\Gone\\x.dll"},
      {"@C:\\Gone\\res.dll,-101", win::REG_SZ, "C:\\Gone\\res.dll", "C:\\Gone\\res.dll"},
      // Present files and folders.
      {"C:\\Program Files\\Kept\\app.exe", win::REG_SZ, nullptr, nullptr},
      {"\"C:\\Program Files\\Kept\\app.exe\" -x", win::REG_SZ, nullptr, nullptr},
      {"C:\\Program Files\\Kept", win::REG_SZ, nullptr, nullptr},
      {"C:\\Kept Folder", win::REG_SZ, nullptr, nullptr},
      {"%SystemRoot%\\system32\\kept.dll", win::REG_EXPAND_SZ, nullptr, nullptr},
      // Stop words.
      {"C:\\WINDOWS\\system32\\drivers\\x.sys", win::REG_SZ, nullptr, nullptr},
      {"C:\\Gone\\x.VXD", win::REG_SZ, nullptr, nullptr},
      {"C:\\Program Files\\iTunes\\gone.exe", win::REG_SZ, nullptr, nullptr},
      {"C:\\Gone\\explorer.exe /x", win::REG_SZ, nullptr, "C:\\Gone\\explorer.exe"},
      // Not local, or never tested.
      {"E:\\gone.exe", win::REG_SZ, nullptr, nullptr},
      {"D:\\gone.exe", win::REG_SZ, nullptr, nullptr},
      {"\\\\server\\share\\x.exe", win::REG_SZ, nullptr, nullptr},
      {"A:\\x.exe", win::REG_SZ, nullptr, nullptr},
      {"H:\\Gone\\x.exe", win::REG_SZ, nullptr, "H:\\Gone\\x.exe"},
      {"C:\\Office\\msoe.dll", win::REG_SZ, nullptr, nullptr},
      {"C:\\Office\\MSOE.DLL /x", win::REG_SZ, nullptr, nullptr},
      // Not shaped like a path.
      {"C:\\App-Data", win::REG_SZ, nullptr, nullptr},
      {"http://www.example.com/", win::REG_SZ, nullptr, nullptr},
      {"plain text", win::REG_SZ, nullptr, nullptr},
      {"%USERPROFILE%\\Gone", win::REG_EXPAND_SZ, nullptr, nullptr},
      {"C:\\Gone\\x.exe", win::REG_MULTI_SZ, nullptr, nullptr},
      {"C:\\Gone\\x.exe", win::REG_BINARY, nullptr, nullptr},
  };
  std::vector<std::string> system;
  std::vector<std::string> user;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string name = "v" + std::to_string(i);
    const auto data = win::Utf8ToUtf16LeBytes(cases[i].data);
    ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\App", name, cases[i].type, data));
    ASSERT_TRUE(WriteValue(win::HKEY_CURRENT_USER, "Software\\Vendor\\App", name, cases[i].type, data));
    if (cases[i].system)
      system.push_back("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App : " + name + " -> " + cases[i].system);
    if (cases[i].system)
      system.push_back(std::string("HKEY_USERS\\") + kSid + "\\Software\\Vendor\\App : " + name + " -> " + cases[i].system);
    if (cases[i].user)
      user.push_back("HKEY_CURRENT_USER\\Software\\Vendor\\App : " + name + " -> " + cases[i].user);
  }
  // Section 15 walks HKEY_LOCAL_MACHINE first, then HKEY_USERS.
  std::stable_partition(system.begin(), system.end(),
                        [](const std::string& line) { return line.rfind("HKEY_LOCAL", 0) == 0; });

  Scan(kSystem);
  EXPECT_EQ(Findings(), system);
  Scan(kUser);
  EXPECT_EQ(Findings(), user);
}

TEST_F(SoftwareSettingsTest, FillsTheProblemTextsOfEachSection) {
  const std::string folder = "C:\\Gone;Folder";  // the semicolon: severity "Normal"
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\V", "Folder", "C:\\Gone Folder"));
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\V", "", "\"C:\\Gone\\a.exe\" /s"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\V", "Folder", "C:\\Gone Folder"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\V", "", "\"C:\\Gone\\a.exe\" /s"));

  struct Expected {
    int section;
    std::string keyPath;
    std::string folderDetail;
    std::string fileDetail;
  };
  const std::vector<Expected> sections = {
      {kSystem, "HKEY_LOCAL_MACHINE\\SOFTWARE\\V",
       " The file (C:\\Gone Folder) does not exist at the specified location",
       " The file(C:\\Gone\\a.exe)does not exist at the specified location"},
      {kUser, "HKEY_CURRENT_USER\\Software\\V",
       "The file (C:\\Gone Folder) does not exist at the specified location",
       " The file (C:\\Gone\\a.exe) does not exist at the specified location"},
  };
  for (const Expected& e : sections) {
    SCOPED_TRACE(e.section);
    found.Clear();
    TIgnoreContents ignores;
    RunScannerCall(SectionImplementation(e.section).scanners[0], e.section, 0, found, ignores);
    ASSERT_EQ(found.Count(), 2);

    const TRegistryContent& f = found.GetItem(0).Content;
    EXPECT_EQ(f.KeyPath, e.keyPath);
    EXPECT_EQ(f.KeyName, "C:\\Gone Folder");
    EXPECT_EQ(f.ValueName, "Folder");
    EXPECT_EQ(f.Value, "C:\\Gone Folder");
    EXPECT_EQ(f.KeyPathText, " Key Path:" + e.keyPath);
    EXPECT_EQ(f.ValueNameText, " ValueName:Folder");
    EXPECT_EQ(f.ValueText, " Value:C:\\Gone Folder");
    EXPECT_EQ(f.DetailText, e.folderDetail);
    EXPECT_EQ(f.Description, "The Key C:\\Gone Folder under " + e.keyPath + " contains a bad path for the value");
    EXPECT_EQ(f.ProblemType, "Missing or Invalid Path");
    EXPECT_EQ(f.Severity, "High");

    // The unnamed value: "default" in the value name, marked on the item.
    const TRegistryContent& p = found.GetItem(1).Content;
    EXPECT_EQ(p.KeyName, "");
    EXPECT_EQ(p.ValueName, "default");
    EXPECT_TRUE(p.UnnamedValue);
    EXPECT_EQ(p.Value, "C:\\Gone\\a.exe");
    EXPECT_EQ(p.ValueNameText, " ValueName:default");
    EXPECT_EQ(p.ValueText, " Value:C:\\Gone\\a.exe");
    EXPECT_EQ(p.DetailText, e.fileDetail);
    EXPECT_EQ(p.Description, "The Key C:\\Gone\\a.exe under " + e.keyPath + " contains a bad path for the value");
    EXPECT_EQ(p.Severity, "Low");  // the quote and the slash of the data as read
  }
}

TEST_F(SoftwareSettingsTest, EachScanSeesTheFilesAsTheyAreThen) {
  // Files deep in a missing folder, and a folder that only a ".." leaves.
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\V", "a", "C:\\Later\\Deep\\a.exe"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\V", "b", "C:\\Later\\Deep\\b.exe"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\V", "c",
                        "C:\\Later\\..\\Program Files\\Kept\\app.exe"));
  const std::vector<std::string> both = {
      "HKEY_CURRENT_USER\\Software\\V : a -> C:\\Later\\Deep\\a.exe",
      "HKEY_CURRENT_USER\\Software\\V : b -> C:\\Later\\Deep\\b.exe"};
  Scan(kUser);
  EXPECT_EQ(Findings(), both);

  ASSERT_TRUE(win::ForceDirectories("C:\\Later\\Deep"));
  ASSERT_TRUE(win::WriteFileBytes("C:\\Later\\Deep\\b.exe", {}));
  Scan(kUser);
  EXPECT_EQ(Findings(), std::vector<std::string>{both[0]});

  ASSERT_TRUE(win::DeleteFile("C:\\Later\\Deep\\b.exe"));
  ASSERT_TRUE(win::RemoveDirectory("C:\\Later\\Deep"));
  Scan(kUser);
  EXPECT_EQ(Findings(), both);
}

TEST_F(SoftwareSettingsTest, WalkLeavesOutTheProtectedParts) {
  const char* const gone = "C:\\Gone\\x.exe";
  for (const char* key : {
           "SYSTEM\\CurrentControlSet\\Services\\Svc",
           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Below",
           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Below",
           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe",
           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\Below",
           "SOFTWARE\\Vendor\\FileSystem",
           "SOFTWARE\\Vendor\\FileSystem\\Below",
           "SOFTWARE\\Vendor\\Winlogon\\Below",
           "SOFTWARE\\Microsoft\\Rpc\\Below",
           "SOFTWARE\\Microsoft\\Cryptography\\Below",
           "SOFTWARE\\Vendor\\Outlook\\Below",
       })
    ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, key, "v", gone));
  for (const char* key : {"Software\\Vendor\\Outlook", "Software\\Vendor\\Outlook\\Below",
                          "Software\\Vendor\\winlogon\\Below", "Software\\Vendor\\System\\Below",
                          "Software\\Vendor\\App Paths\\Below"})
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, key, "v", gone));

  TIgnoreContents ignores;
  RunScannerCall(ScanSystemSoftwareSettings, kSystem, 0, found, ignores);
  std::vector<std::string> keys;
  for (int i = 0; i < found.Count(); ++i) keys.push_back(found.GetItem(i).Content.KeyPath);
  // A cut-off key's own values are examined; nothing below it is.
  EXPECT_EQ(keys, (std::vector<std::string>{
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\FileSystem",
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Outlook\\Below",
                  }));

  found.Clear();
  keys.clear();
  RunScannerCall(ScanUserSoftwareSettings, kUser, 0, found, ignores);
  for (int i = 0; i < found.Count(); ++i) keys.push_back(found.GetItem(i).Content.KeyPath);
  EXPECT_EQ(keys, (std::vector<std::string>{
                      "HKEY_CURRENT_USER\\Software\\Vendor\\App Paths\\Below",
                      "HKEY_CURRENT_USER\\Software\\Vendor\\Outlook",
                      "HKEY_CURRENT_USER\\Software\\Vendor\\System\\Below",
                  }));
}

TEST_F(SoftwareSettingsTest, IgnoredValueIsPassedOverAndTheKeyGoesOn) {
  for (const char* name : {"a", "b", "c", ""})
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\V", name, "C:\\Gone\\x.exe"));
  for (const auto& [section, keyPath] : {std::pair<int, std::string>{kSystem, std::string("HKEY_USERS\\") + kSid + "\\software\\v"},
                                         std::pair<int, std::string>{kUser, "HKEY_CURRENT_USER\\Software\\V"}}) {
    SCOPED_TRACE(section);
    TIgnoreContents ignores;
    const std::string caption = SectionByNumber(section)->caption;
    ignores.GetItem(ignores.Add()).Content = {caption, keyPath, "b"};
    ignores.GetItem(ignores.Add()).Content = {caption, keyPath, "default"};
    ignores.GetItem(ignores.Add()).Content = {caption, keyPath, "C"};  // value names match exactly
    found.Clear();
    Scan(section, ignores);
    EXPECT_EQ(ValueNamesOf(found), (std::vector<std::string>{"a", "c"}));
  }
}

TEST_F(SoftwareSettingsTest, KeysAndValuesChangedWhileMessagesRunAreReadAsTheyAreThen) {
  // The first key walked; its values are listed before messages run, and
  // the next key before them too.
  const std::string key = "Software\\!Changing";
  const std::string next = "Software\\!Later";
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, key, "a", "C:\\Gone\\a.exe"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, key, "b", "C:\\Kept Folder"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, key, "c", "C:\\Gone\\c.exe"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, next, "v", "C:\\Gone\\old.exe"));
  bool changed = false;
  SetProcessMessagesHook([&] {
    if (changed) return;
    changed = true;
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, key, "b", "C:\\Gone\\b.exe"));
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, key, "d", "C:\\Gone\\d.exe"));
    win::TRegistry registry;
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey("\\" + key, false) && registry.DeleteValue("c"));
    ASSERT_TRUE(registry.DeleteKey("\\" + next));
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, next, "w", "C:\\Gone\\new.exe"));
  });
  Scan(kUser);
  ASSERT_TRUE(changed);
  // b as rewritten, c gone; d came after the list was taken; the next key
  // as made again.
  EXPECT_EQ(Findings(), (std::vector<std::string>{
                            "HKEY_CURRENT_USER\\Software\\!Changing : a -> C:\\Gone\\a.exe",
                            "HKEY_CURRENT_USER\\Software\\!Changing : b -> C:\\Gone\\b.exe",
                            "HKEY_CURRENT_USER\\Software\\!Later : w -> C:\\Gone\\new.exe",
                        }));
}

TEST_F(SoftwareSettingsTest, OutcomeShowsEveryTwoHundredthKey) {
  for (int i = 0; i < 450; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "K%03d", i);
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, std::string("Software\\Many\\") + name, "v", "x"));
  }
  TIgnoreContents ignores;
  CaptionLog outcome;
  RunScannerCall(ScanUserSoftwareSettings, kUser, 0, found, ignores, &outcome);
  EXPECT_EQ(ItemsProcessed, VisitedCount);
  EXPECT_EQ(outcome.captions.size(), static_cast<std::size_t>(VisitedCount / 200));
  ASSERT_FALSE(outcome.captions.empty());
  EXPECT_EQ(outcome.captions[0].rfind("Software\\Many\\K", 0), 0u) << outcome.captions[0];
}

TEST_F(SoftwareSettingsTest, AbortInsideTheWalkStopsAtOnce) {
  // Problems deep in the tree, one per key.
  std::string key = "Software\\Deep";
  for (int depth = 0; depth < 8; ++depth) {
    key += "\\L" + std::to_string(depth);
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, key + "\\S" + std::to_string(i), "v", "C:\\Gone\\x.exe"));
  }
  TIgnoreContents ignores;
  RunScannerCall(ScanUserSoftwareSettings, kUser, 0, found, ignores);
  const int all = found.Count();
  ASSERT_EQ(all, 24);

  // Stop when the fifth problem is found: nothing after it is examined.
  found.Clear();
  ItemsProcessed = 0;
  int itemsAtStop = -1;
  long callsAtStop = -1;
  SetProcessMessagesHook([&] {
    if (itemsAtStop < 0 && found.Count() == 5) {
      ScanState = 2;
      itemsAtStop = ItemsProcessed;
      callsAtStop = ProcessMessagesCount();
    }
  });
  RunScannerCall(ScanUserSoftwareSettings, kUser, 0, found, ignores);
  EXPECT_EQ(found.Count(), 5);
  EXPECT_EQ(ItemsProcessed, itemsAtStop);
  EXPECT_EQ(ProcessMessagesCount(), callsAtStop);
}

TEST_F(SoftwareSettingsTest, RepairDeletesTheValuesOnly) {
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\V", "gone", "C:\\Gone\\x.exe"));
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\V", "", "C:\\Gone\\y.exe"));
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\V", "default", "keep"));
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\V", "gone", "C:\\Gone\\x.exe"));
  for (int section : {kSystem, kUser}) {
    SCOPED_TRACE(section);
    Scan(section);
    log.Clear();
    RepairContext context;
    context.collection = &found;
    context.repairLog = &log;
    (section == kSystem ? RepairSystemSoftwareSettings : RepairUserSoftwareSettings)(context);
    ASSERT_EQ(log.Count(), found.Count());
    for (int i = 0; i < log.Count(); ++i) EXPECT_EQ(log.GetItem(i).Content.Result, "Repaired Successfully");
  }
  EXPECT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\V", "gone"));
  EXPECT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\V", ""));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\V", "default"));
  EXPECT_FALSE(ValueExists(win::HKEY_CURRENT_USER, "Software\\V", "gone"));
  EXPECT_TRUE(KeyExists(win::HKEY_CURRENT_USER, "Software\\V"));
}

}  // namespace
}  // namespace regclean::test
