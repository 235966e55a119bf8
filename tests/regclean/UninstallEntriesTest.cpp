#include "regclean/UninstallSectionUnit.h"

#include "RegcleanFixture.h"

namespace regclean::test {
namespace {

const char* const kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kKeyPath = std::string("HKEY_LOCAL_MACHINE\\") + kKey;

class UninstallEntriesTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    UseMachine("",
               "C:\\App\\unins000.exe\n"
               "C:\\Program Files\\Kept\\uninst.exe\n"
               "C:\\Odd name\\x\n");
  }

  static void AddEntry(const std::string& subKey, const std::string& command,
                       win::DWORD type = win::REG_SZ) {
    ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, std::string(kKey) + "\\" + subKey,
                           "UninstallString", type, win::Utf8ToUtf16LeBytes(command)));
    ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, std::string(kKey) + "\\" + subKey,
                          "DisplayName", subKey));
  }
};

TEST_F(UninstallEntriesTest, ExtractsTheProgramFromTheCommand) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\App\\unins000.exe", "C:\\App\\unins000.exe"},  // exists: itself
      {"C:\\App\\setup.exe /remove", "C:\\App\\setup.exe"},
      {"rundll32 C:\\App\\x.dll,Remove", "C:\\App\\x.dll"},
      {"C:\\App\\uninst.exe D:\\App\\log.txt", "C:\\App\\uninst.exe"},
      {"C:\\App\\u.exe D:\\x", "C:\\App\\u.exe"},  // name part "u.exe D" is long: cut again
      {"C:\\App\\u D:\\x", "C:\\App\\u D"},          // name part "u D" is short: kept as it is
      {"C:\\Program Files\\App\\uninst.exe /S", "C:\\Program Files\\App\\uninst.exe"},
      {"C:\\App\\setup /remove", "C:\\App\\setup"},
      {"C:\\App\\ /x", "C:\\App\\"},
      {"C:", "C:"},
      // A colon first and texts without a folder end without a fault.
      {":\\App\\x.exe /y", ":\\App\\x.exe"},
      {":x:y", ":x"},
      {"::", ":"},
      {"x.exe /y", "x.exe"},
      {"", ""},
  };
  for (const auto& [command, program] : cases) {
    SCOPED_TRACE(command);
    EXPECT_EQ(ExtractUninstallProgram(command), program);
  }
  EXPECT_TRUE(UninstallProgramExists("\"C:\\App\\unins000.exe\" /SILENT"));
  EXPECT_FALSE(UninstallProgramExists("C:\\App\\gone.exe /SILENT"));
}

TEST_F(UninstallEntriesTest, ReportsEntriesWhoseProgramIsMissing) {
  AddEntry("A Gone", "\"C:\\Program Files\\Gone\\uninst.exe\" /S");
  AddEntry("B Kept", "\"C:\\Program Files\\Kept\\uninst.exe\" /S");
  AddEntry("C Installer", "MsiExec.exe /X{12345678-1234-1234-1234-123456789012}");
  AddEntry("D Network", "\\\\server\\share\\uninst.exe");
  AddEntry("E Removable", "E:\\setup\\uninst.exe");
  AddEntry("F Expand", "C:\\Gone\\x.exe", win::REG_EXPAND_SZ);
  AddEntry("G Empty", "");
  AddEntry("H Floppy", "a:\\uninst.exe");
  AddEntry("I Rundll", "rundll32.exe C:\\Gone\\setup.dll,Uninstall");
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, std::string(kKey) + "\\J Dword",
                         "UninstallString", win::REG_DWORD, {1, 0, 0, 0}));
  ASSERT_TRUE(WriteText(win::HKEY_LOCAL_MACHINE, std::string(kKey) + "\\K NoCommand", "DisplayName", "x"));

  TIgnoreContents ignores;
  TRegistryContents found;
  CaptionLog outcome;
  RunScannerCall(ScanUninstallEntries, 16, 0, found, ignores, &outcome);

  std::vector<std::string> keys;
  for (int i = 0; i < found.Count(); ++i) keys.push_back(found.GetItem(i).Content.KeyName);
  EXPECT_EQ(keys, (std::vector<std::string>{"A Gone", "F Expand", "I Rundll"}));
  EXPECT_EQ(outcome.captions.size(), 11u);
  EXPECT_EQ(ItemsProcessed, 11);

  const TRegistryContent& p = found.GetItem(0).Content;
  const std::string keyPath = kKeyPath + "\\A Gone";
  const std::string command = "C:\\Program Files\\Gone\\uninst.exe /S";
  EXPECT_EQ(p.KeyPath, keyPath);
  EXPECT_EQ(p.ValueName, "UninstallString");
  EXPECT_FALSE(p.UnnamedValue);
  EXPECT_EQ(p.Value, command);
  EXPECT_EQ(p.KeyPathText, " Key Path:" + keyPath);
  EXPECT_EQ(p.ValueNameText, " ValueName:UninstallString");
  EXPECT_EQ(p.ValueText, " Value:" + command);
  EXPECT_EQ(p.DetailText, "The file (" + command + ") does not exist at the specified location");
  EXPECT_EQ(p.Description,
            "The Key " + command + " under " + keyPath + " contains a bad path for the value");
  EXPECT_EQ(p.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(p.Severity, "Normal");  // the slash of "/S"
  EXPECT_EQ(found.GetItem(1).Content.Severity, "High");
  EXPECT_EQ(found.GetItem(2).Content.Severity, "Normal");  // the comma
}

TEST_F(UninstallEntriesTest, IgnoredEntryIsSkippedAndLaterEntriesAreExamined) {
  AddEntry("One", "C:\\Gone\\1.exe");
  AddEntry("Two", "C:\\Gone\\2.exe");
  AddEntry("Three", "C:\\Gone\\3.exe");
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Uninstall Entries", kKeyPath + "\\two", "UninstallString"};
  TRegistryContents found;
  RunScannerCall(ScanUninstallEntries, 16, 0, found, ignores);
  ASSERT_EQ(found.Count(), 2);
  EXPECT_EQ(found.GetItem(0).Content.KeyName, "One");
  EXPECT_EQ(found.GetItem(1).Content.KeyName, "Three");
}

TEST_F(UninstallEntriesTest, RepairDeletesOnlyTheCommand) {
  AddEntry("Gone", "C:\\Gone\\1.exe");
  TIgnoreContents ignores;
  TRegistryContents found;
  RunScannerCall(ScanUninstallEntries, 16, 0, found, ignores);
  ASSERT_EQ(found.Count(), 1);

  TRepairContents log;
  CaptionLog status;
  RepairContext context;
  context.status = &status;
  context.collection = &found;
  context.repairLog = &log;
  RepairUninstallEntries(context);

  const std::string key = std::string(kKey) + "\\Gone";
  EXPECT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, key, "UninstallString"));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, key, "DisplayName"));
  ASSERT_EQ(log.Count(), 1);
  EXPECT_EQ(log.GetItem(0).Content.KeyPath, kKeyPath + "\\Gone");
  EXPECT_EQ(log.GetItem(0).Content.Result, "Repaired Successfully");
  EXPECT_EQ(status.captions, std::vector<std::string>{kKeyPath + "\\Gone"});
}

}  // namespace
}  // namespace regclean::test
