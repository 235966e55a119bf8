#include "regclean/ApplicationPathsUnit.h"

#include "RegcleanFixture.h"
#include "platform/files/FileSystem.h"

namespace regclean::test {
namespace {

const char* const kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kKeyPath = std::string("HKEY_LOCAL_MACHINE\\") + kKey;

class ApplicationPathsTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    UseMachine("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
               "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n",
               "C:\\Program Files\\Kept\\kept.exe\n"
               "C:\\WINDOWS\\system32\\calc.exe\n");
  }

  static void AddApp(const std::string& subKey, const std::string& program,
                     win::DWORD type = win::REG_SZ, const std::string& folder = "") {
    const std::string key = std::string(kKey) + "\\" + subKey;
    ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, key, "", type, win::Utf8ToUtf16LeBytes(program)));
    if (!folder.empty()) {
      ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, key, "Path", folder));
    }
  }

  const TRegistryContents& Scan(const TIgnoreContents& ignores = {}, CaptionLog* outcome = nullptr) {
    found.Clear();
    RunScannerCall(ScanApplicationPaths, 2, 0, found, ignores, outcome);
    return found;
  }

  TRegistryContents found;
};

// Key name and resolved program file of each problem.
std::vector<std::pair<std::string, std::string>> Findings(const TRegistryContents& found) {
  std::vector<std::pair<std::string, std::string>> findings;
  for (int i = 0; i < found.Count(); ++i)
    findings.emplace_back(found.GetItem(i).Content.KeyName, found.GetItem(i).Content.Value);
  return findings;
}

TEST_F(ApplicationPathsTest, ReportsRegistrationsWhoseProgramIsMissing) {
  AddApp("a gone.exe", "C:\\Program Files\\Gone\\gone.exe", win::REG_SZ, "C:\\Program Files\\Gone");
  AddApp("b kept.exe", "C:\\Program Files\\Kept\\kept.exe");
  AddApp("c expand.exe", "C:\\Gone\\x.exe", win::REG_EXPAND_SZ);  // never examined
  AddApp("d bare.exe", "bare.exe", win::REG_SZ, "C:\\Gone");       // no folder part: not examined
  AddApp("e pf kept.exe", "\"%ProgramFiles%\\Kept\\kept.exe\"");
  AddApp("f pf gone.exe", "%ProgramFiles%\\Gone\\pf.exe");
  AddApp("g sys kept.exe", "%SystemRoot%\\system32\\calc.exe");
  AddApp("h sys gone.exe", "\"%SystemRoot%\\gone.exe\"");  // quotes go here too
  AddApp("i network.exe", "\\\\server\\share\\x.exe");
  AddApp("j removable.exe", "E:\\x.exe");
  AddApp("k cdrom.exe", "D:\\setup.exe");
  AddApp("l floppy.exe", "a:\\x.exe");
  AddApp("m quoted.exe", "\"C:\\Gone\\q.exe\"");
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, std::string(kKey) + "\\n no default", "Path", "C:\\Gone"));

  CaptionLog outcome;
  Scan({}, &outcome);
  EXPECT_EQ(Findings(found), (std::vector<std::pair<std::string, std::string>>{
                                 {"a gone.exe", "C:\\Program Files\\Gone\\gone.exe"},
                                 {"f pf gone.exe", "C:\\Program Files\\Gone\\pf.exe"},
                                 {"h sys gone.exe", "C:\\WINDOWS\\gone.exe"},
                                 {"m quoted.exe", "C:\\Gone\\q.exe"},
                             }));
  EXPECT_EQ(ItemsProcessed, 14);
  ASSERT_EQ(outcome.captions.size(), 14u);
  EXPECT_EQ(outcome.captions[0], kKeyPath + "\\a gone.exe");

  const TRegistryContent& p = found.GetItem(0).Content;
  const std::string keyPath = kKeyPath + "\\a gone.exe";
  const std::string file = "C:\\Program Files\\Gone\\gone.exe";
  EXPECT_EQ(p.KeyPath, keyPath);
  EXPECT_EQ(p.ValueName, "Path");
  EXPECT_FALSE(p.UnnamedValue);
  EXPECT_EQ(p.KeyPathText, " Key Path:" + keyPath);
  EXPECT_EQ(p.ValueNameText, " ValueName:Path");
  EXPECT_EQ(p.ValueText, " Value:" + file);
  EXPECT_EQ(p.DetailText, " The file (" + file + ") does not exist at the specified location");
  EXPECT_EQ(p.Description, "The Key " + file + " under " + keyPath + " contains a bad path for the value");
  EXPECT_EQ(p.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(p.Severity, "High");
  // Severity is taken from the registered text, not the resolved file.
  EXPECT_EQ(found.GetItem(1).Content.Severity, "Normal");
  EXPECT_EQ(found.GetItem(2).Content.Severity, "Low");
}

TEST_F(ApplicationPathsTest, WindowsFolderIsGuessedFromTheSystemFolderInAnyCase) {
  // A machine whose Windows folder is written in mixed case.
  std::string config = TestMachine::DefaultConfigText();
  config.insert(config.find("[Drives]"), "WindowsDir=C:\\Windows\r\n");
  UseMachine("", "C:\\Windows\\system32\\calc.exe\n", config);
  ASSERT_EQ(win::GetSystemDirectory().substr(0, 10), "C:\\Windows");
  AddApp("calc.exe", "%SystemRoot%\\system32\\calc.exe");
  AddApp("gone.exe", "%SystemRoot%\\system32\\gone.exe");
  EXPECT_EQ(Findings(Scan()), (std::vector<std::pair<std::string, std::string>>{
                                  {"gone.exe", "C:\\WINDOWS\\system32\\gone.exe"}}));
}

TEST_F(ApplicationPathsTest, IgnoredRegistrationIsSkippedAndTheWalkGoesOn) {
  AddApp("one.exe", "C:\\Gone\\1.exe");
  AddApp("two.exe", "C:\\Gone\\2.exe");
  AddApp("three.exe", "C:\\Gone\\3.exe");
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Application Paths", kKeyPath + "\\TWO.EXE", "Path"};
  ignores.GetItem(ignores.Add()).Content = {"Application Paths", kKeyPath + "\\three.exe", "path"};
  std::vector<std::string> keys;
  for (const auto& [key, file] : Findings(Scan(ignores))) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"one.exe", "three.exe"}));
}

TEST_F(ApplicationPathsTest, RepairDeletesTheWholeRegistration) {
  AddApp("gone.exe", "C:\\Gone\\gone.exe", win::REG_SZ, "C:\\Gone");
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, std::string(kKey) + "\\gone.exe\\Sub", "x", "y"));
  AddApp("kept.exe", "C:\\Program Files\\Kept\\kept.exe");
  ASSERT_EQ(Scan().Count(), 1);

  TRepairContents log;
  RepairContext context;
  context.collection = &found;
  context.repairLog = &log;
  RepairApplicationPaths(context);

  EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, std::string(kKey) + "\\gone.exe"));
  EXPECT_TRUE(KeyExists(win::HKEY_LOCAL_MACHINE, std::string(kKey) + "\\kept.exe"));
  ASSERT_EQ(log.Count(), 1);
  EXPECT_EQ(log.GetItem(0).Content.KeyPath, kKeyPath + "\\gone.exe");
  EXPECT_EQ(log.GetItem(0).Content.Result, "Repaired Successfully");
  EXPECT_EQ(ApplicationPathsSection().target(found.GetItem(0).Content).kind, RepairTarget::Kind::Key);
}

TEST_F(ApplicationPathsTest, AbortStopsBeforeTheNextRegistration) {
  for (int i = 0; i < 5; ++i) AddApp(std::to_string(i) + ".exe", "C:\\Gone\\" + std::to_string(i) + ".exe");
  SetProcessMessagesHook([] {
    if (ItemsProcessed == 2) ScanState = 2;
  });
  EXPECT_EQ(Scan().Count(), 2);
  EXPECT_EQ(ItemsProcessed, 2);
}

}  // namespace
}  // namespace regclean::test
