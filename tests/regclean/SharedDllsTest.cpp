#include "regclean/SharedDLLsUnit.h"

#include "RegcleanFixture.h"
#include "platform/files/FileSystem.h"

namespace regclean::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const char* const kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const char* const kKeyPath =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

Bytes Dword(std::uint32_t n) {
  return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
          static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
}

struct Case {
  const char* name;
  win::DWORD type;
  Bytes data;
  bool reported;
};

class SharedDllsTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    UseMachine("",
               "C:\\WINDOWS\\system32\\present.dll\n"
               "C:\\WINDOWS\\system32\\other.dll\n"
               "C:\\Shared\\Folder\\\n");
  }
};

TEST_F(SharedDllsTest, ReportsZeroCountsAndMissingLocalFilesOnly) {
  const std::vector<Case> cases = {
      {"C:\\WINDOWS\\system32\\present.dll", win::REG_DWORD, Dword(0), true},
      {"c:\\windows\\SYSTEM32\\OTHER.DLL", win::REG_DWORD, Dword(3), false},
      {"C:\\Gone\\missing.dll", win::REG_DWORD, Dword(5), true},
      {"C:\\WINDOWS\\system32\\drivers\\gone.SYS", win::REG_DWORD, Dword(0), false},
      {"C:\\WINDOWS\\system32\\x.VxD", win::REG_DWORD, Dword(0), false},
      {"C:\\Program Files\\iTunes\\gone.dll", win::REG_DWORD, Dword(0), false},
      {"\\\\server\\share\\gone.dll", win::REG_DWORD, Dword(0), false},
      {"A:\\gone.dll", win::REG_DWORD, Dword(0), false},
      {"D:\\cdrom\\gone.dll", win::REG_DWORD, Dword(0), false},
      {"e:\\removable\\gone.dll", win::REG_DWORD, Dword(0), false},
      {"C:\\Office\\msoe.dll", win::REG_DWORD, Dword(0), false},
      {"C:\\Office2\\MSOE.DLL", win::REG_DWORD, Dword(1), true},
      {"C:\\Shared\\Folder", win::REG_DWORD, Dword(1), false},  // an existing folder is present
  };
  TIgnoreContents ignores;
  for (const Case& c : cases) ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, c.name, c.type, c.data));

  TRegistryContents found;
  RunScannerCall(ScanSharedDlls, 10, 0, found, ignores);

  std::vector<std::string> expected;
  for (const Case& c : cases)
    if (c.reported) expected.push_back(c.name);
  EXPECT_EQ(ValueNamesOf(found), expected);
}

TEST_F(SharedDllsTest, EachScanSeesTheFilesAsTheyAreThen) {
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "C:\\Later\\Deep\\a.dll", win::REG_DWORD, Dword(1)));
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "C:\\Later\\Deep\\b.dll", win::REG_DWORD, Dword(1)));
  TRegistryContents found;
  const auto names = [&] {
    found.Clear();
    TIgnoreContents ignores;
    RunScannerCall(ScanSharedDlls, 10, 0, found, ignores);
    std::vector<std::string> lines;
    for (int i = 0; i < found.Count(); ++i) lines.push_back(found.GetItem(i).Content.ValueName);
    return lines;
  };
  const std::vector<std::string> both = {"C:\\Later\\Deep\\a.dll", "C:\\Later\\Deep\\b.dll"};
  EXPECT_EQ(names(), both);
  ASSERT_TRUE(win::ForceDirectories("C:\\Later\\Deep"));
  ASSERT_TRUE(win::WriteFileBytes("C:\\Later\\Deep\\a.dll", {}));
  EXPECT_EQ(names(), std::vector<std::string>{both[1]});
}

TEST_F(SharedDllsTest, CountsFollowTheValueType) {
  const std::string present = "C:\\WINDOWS\\system32\\present.dll";
  struct CountCase {
    win::DWORD type;
    Bytes data;
    long long count;
  };
  const std::vector<CountCase> cases = {
      {win::REG_SZ, win::Utf8ToUtf16LeBytes("12"), 12},
      {win::REG_SZ, win::Utf8ToUtf16LeBytes("word"), 0},
      {win::REG_SZ, win::Utf8ToUtf16LeBytes("-2"), -2},
      {win::REG_SZ, win::Utf8ToUtf16LeBytes(""), 0},
      {win::REG_SZ, win::Utf8ToUtf16LeBytes("99999999999"), 0},
      {win::REG_EXPAND_SZ, win::Utf8ToUtf16LeBytes("7"), 7},
      {win::REG_DWORD, Dword(258), 258},
      {win::REG_DWORD, {1, 0}, 0},  // a DWORD of another size
      {win::REG_BINARY, {10, 0, 0, 0}, 10},
      {win::REG_BINARY, {}, 0},
      {win::REG_QWORD, Dword(0), -1},
      {win::REG_MULTI_SZ, win::Utf8ToUtf16LeBytes("1"), -1},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(SharedDllCount(c.type, c.data), c.count);
  }

  // A present file is reported exactly when its count is 0; an unusual type
  // (-1) with the file present is no problem.
  TIgnoreContents ignores;
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, present, win::REG_BINARY, {10}));
  TRegistryContents found;
  RunScannerCall(ScanSharedDlls, 10, 0, found, ignores);
  EXPECT_EQ(found.Count(), 0);
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, present, win::REG_BINARY, {}));
  RunScannerCall(ScanSharedDlls, 10, 0, found, ignores);
  EXPECT_EQ(found.Count(), 1);
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, present, win::REG_QWORD, Dword(0)));
  RunScannerCall(ScanSharedDlls, 10, 0, found, ignores);
  EXPECT_EQ(found.Count(), 0);
}

TEST_F(SharedDllsTest, FillsTheProblemTexts) {
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "C:\\Gone\\a;b.dll", win::REG_DWORD, Dword(4)));
  TIgnoreContents ignores;
  TRegistryContents found;
  CaptionLog outcome;
  CaptionLog count;
  ProblemIndex = 41;
  Settings.SelectAll = false;
  RunScannerCall(ScanSharedDlls, 10, 0, found, ignores, &outcome, &count);

  ASSERT_EQ(found.Count(), 1);
  const TRegistryContent& p = found.GetItem(0).Content;
  EXPECT_FALSE(p.Checked);
  EXPECT_FALSE(p.Flag);
  EXPECT_EQ(p.SectionName, "");
  EXPECT_EQ(p.Index, 42);
  EXPECT_EQ(p.KeyPath, kKeyPath);
  EXPECT_EQ(p.KeyName, "SharedDlls");
  EXPECT_EQ(p.ValueName, "C:\\Gone\\a;b.dll");
  EXPECT_FALSE(p.UnnamedValue);
  EXPECT_EQ(p.Value, "4");
  EXPECT_EQ(p.KeyPathText, std::string(" Key Path:") + kKeyPath);
  EXPECT_EQ(p.ValueNameText, " ValueName:default");
  EXPECT_EQ(p.ValueText, " Value:C:\\Gone\\a;b.dll");
  EXPECT_EQ(p.DetailText, " The file (C:\\Gone\\a;b.dll) does not exist at the specified location");
  EXPECT_EQ(p.Description, std::string("The Key C:\\Gone\\a;b.dll under ") + kKeyPath +
                               " contains a bad path for the value");
  EXPECT_EQ(p.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(p.Severity, "High");
  EXPECT_EQ(outcome.captions, std::vector<std::string>{"C:\\Gone\\a;b.dll"});
  EXPECT_EQ(count.captions, std::vector<std::string>{"1"});
  EXPECT_EQ(ItemsProcessed, 1);
}

TEST_F(SharedDllsTest, IgnoredValueIsSkippedAndTheWalkGoesOn) {
  for (const char* name : {"C:\\Gone\\one.dll", "C:\\Gone\\two.dll", "C:\\Gone\\three.dll"})
    ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, name, win::REG_DWORD, Dword(1)));
  TIgnoreContents ignores;
  // Caption and key path in another letter case still match; the value name
  // must match exactly.
  ignores.GetItem(ignores.Add()).Content = {"shared dll's sections", AsciiUpper(kKeyPath), "C:\\Gone\\two.dll"};
  ignores.GetItem(ignores.Add()).Content = {"Shared DLL's Sections", kKeyPath, "c:\\gone\\three.dll"};
  TRegistryContents found;
  RunScannerCall(ScanSharedDlls, 10, 0, found, ignores);
  EXPECT_EQ(ValueNamesOf(found), (std::vector<std::string>{"C:\\Gone\\one.dll", "C:\\Gone\\three.dll"}));
  EXPECT_EQ(ItemsProcessed, 2);  // the ignored value is not counted
}

TEST_F(SharedDllsTest, StopsAtOnceWhenAborted) {
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kKey, "C:\\Gone\\" + std::to_string(i) + ".dll",
                           win::REG_DWORD, Dword(1)));
  int entries = 0;
  SetProcessMessagesHook([&] {
    if (++entries == 3) ScanState = 2;
  });
  TIgnoreContents ignores;
  TRegistryContents found;
  RunScannerCall(ScanSharedDlls, 10, 0, found, ignores);
  EXPECT_EQ(found.Count(), 3);
}

TEST_F(SharedDllsTest, MissingKeyFindsNothingAndTheCollectionStartsEmpty) {
  TIgnoreContents ignores;
  TRegistryContents found;
  found.Add();
  RunScannerCall(ScanSharedDlls, 10, 0, found, ignores);
  EXPECT_EQ(found.Count(), 0);
}

}  // namespace
}  // namespace regclean::test
