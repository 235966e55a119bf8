#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "../recovery/RecoveryFixture.h"
#include "OptimizerFixture.h"
#include "TestMachine.h"
#include "platform/files/IniFile.h"
#include "tools/SpeedItemUnit.h"
#include "tools/SystemSpeedUnit.h"

using namespace tools;
using namespace optimizer_test;
using recovery::test::Changes;
using recovery::test::TakeSnapshot;

namespace {

const char* const kNameSpace =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RemoteComputer\\NameSpace\\"
    "{D6277990-4C6A-11CF-8D87-00AA0060F5BF}";
const char* const kAviClass = "CLSID\\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}";
const char* const kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// Values that a careless restore changes: empty strings, blanks and quotes
// at the ends, REG_EXPAND_SZ, numbers with blanks, fixed-restore values that
// differ from the fixed ones, stock keys with contents of their own, and
// keys the applies must create (and a restore remove again).
const char* const kTrickyReg = R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management\PrefetchParameters]
"EnablePrefetcher"=dword:00000003

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer]
"AlwaysUnloadDLL"=""

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\AlwaysUnloadDLL]

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control]
"WaitToKillServiceTimeout"=" 20000 "

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Dnscache\Parameters]
"CacheHashTableSize"=dword:00000100

[HKEY_CURRENT_USER\Control Panel\Desktop]
"MenuShowDelay"="\"400\""
"AutoEndTasks"="'0'"
"HungAppTimeout"=hex(2):25,48,55,4e,47,25,00

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Dfrg\BootOptimizeFunction]
"Enable"="Y"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoResolveTrack"=dword:00000000
"ClearRecentDocsOnExit"=dword:00000005
"NoCommonGroups"=dword:ffffffff
"NoSaveSettings"=dword:00000002

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\VxD\MSTCP]
"DefaultTTL"="64"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\VxD\BIOS]
"PCIConcur"=dword:00000000

[HKEY_CLASSES_ROOT\CLSID\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}]
@="Stock"
"LargeSystemCache"=dword:00000009

[HKEY_CLASSES_ROOT\CLSID\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}\InprocServer32]
@="x.dll"

[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]
"MinAniMate"=" 1 "

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\explorer\Advanced]
"StartMenuScrollPrograms"="true"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Class\{4D36E96A-E325-11CE-BFC1-08002BE10318}\0000]
"EnableUDMA66"=dword:00000007

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\FileSystem]
"Other"="1"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Internet Settings]
"MaxConnectionsPerServer"=dword:0000000a

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon]
"AllocateFloppies"="2"
)";

// Every tweak once, in the order of the boxes.
void ApplyAll() {
  std::set<int> done;
  for (const TweakBox& box : TweakBoxes)
    if (done.insert(box.tweak).second) {
      EXPECT_EQ(BackUpAndApplyTweak(box.tweak), TweakOutcome::Done) << box.caption;
    }
}

// Apply then restore leaves the registry exactly as it was; a second
// restore finds nothing left to do.
void RoundTrip(const char* name) {
  SCOPED_TRACE(name);
  const auto before = TakeSnapshot();
  SpeedBackupFileName = "C:\\speedRestore.ini";
  ApplyAll();
  EXPECT_FALSE(Changes(before, TakeSnapshot()).empty());
  const SpeedRestoreResult first = RestoreSpeedBackup(SpeedBackupFileName);
  EXPECT_TRUE(first.isBackup);
  EXPECT_GT(first.restored, 0);
  EXPECT_EQ(first.failedTitles, std::vector<std::string>{});
  EXPECT_EQ(Changes(before, TakeSnapshot()), (std::map<std::string, std::string>{}));
  // Every line has left the file.
  const win::TIniFile ini(SpeedBackupFileName);
  for (const std::string& section : ini.ReadSections())
    EXPECT_EQ(ini.ReadSection(section), std::vector<std::string>{}) << section;

  const SpeedRestoreResult second = RestoreSpeedBackup(SpeedBackupFileName);
  EXPECT_TRUE(second.isBackup);
  EXPECT_EQ(second.restored, 0);
  EXPECT_EQ(Changes(before, TakeSnapshot()), (std::map<std::string, std::string>{}));
}

TEST(SpeedItemTest, ApplyThenRestoreLeavesTheRegistryAsItWas) {
  {
    TestMachine machine;
    RoundTrip("empty registry");
  }
  {
    TestMachine machine(kTrickyReg);
    RoundTrip("tricky values");
  }
  SampleMachine machine;
  ASSERT_TRUE(machine.Ready());
  RoundTrip("sample machine");
}

TEST(SpeedItemTest, BackupKeepsTypesExactTextsAndCreatedKeys) {
  TestMachine machine(R"(
[HKEY_CURRENT_USER\Control Panel\Desktop]
"MenuShowDelay"=" 10"
"AutoEndTasks"="'1'"
"HungAppTimeout"=hex(2):25,54,25,00

[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]
"MinAniMate"=" 1 "

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Dnscache\Parameters]
"CacheHashTableSize"=dword:00000100

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\explorer\Advanced]
"StartMenuScrollPrograms"=""
)");
  SpeedBackupFileName = "C:\\b.ini";
  for (const int tweak : {4, 5, 15, 3, 18, 16}) EXPECT_EQ(BackUpAndApplyTweak(tweak), TweakOutcome::Done);
  // "F<n>" as older readers know it; the rest in keys of its own.
  EXPECT_EQ(FileText(SpeedBackupFileName),
            "[Quicken menu display speed]\r\nF1Type=REG_SZ\r\nF1=\" 10\"\r\n"
            "[Optimize the system to the wrong handle]\r\nF1Type=REG_SZ\r\nF1=\"'1'\"\r\n"
            "F2Type=REG_EXPAND_SZ\r\nF2=%T%\r\nF3Type=missing\r\nF3=\r\n"
            "[Best Vision Effect]\r\nF1Type=REG_SZ\r\nF1Text=\" 1 \"\r\nF1=1\r\n"
            "[Optimize network speed]\r\nF1Type=missing\r\nF1=\r\nF2Type=REG_DWORD\r\nF2=256\r\n"
            "F3Type=missing\r\nF3=\r\nF4Type=missing\r\nF4=\r\nKeyCreated=3\r\n"
            "[Multi-page in START]\r\nF1Type=REG_SZ\r\nF1=\r\n"
            "[Disable Recent File]\r\nF1Type=missing\r\nF1KeyCreated=6\r\nF1=\r\n");
}

// Values whose type or bytes the backup cannot bring back: the tweak fails
// before anything is written, and the file holds no section for it.
TEST(SpeedItemTest, ValuesTheBackupCannotCarryChangeNothing) {
  const char* const desktop = "Control Panel\\Desktop";
  const char* const layout = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout";
  const struct {
    int tweak;
    win::HKEY root;
    const char* key;
    const char* name;
    win::DWORD type;
    std::vector<std::uint8_t> data;
  } cases[] = {
      {4, win::HKEY_CURRENT_USER, desktop, "MenuShowDelay", win::REG_SZ, {0xa9, 0x03, 0, 0}},  // omega
      {4, win::HKEY_CURRENT_USER, desktop, "MenuShowDelay", win::REG_SZ, {'a', 0, '\r', 0, '\n', 0, 'b', 0, 0, 0}},
      {4, win::HKEY_CURRENT_USER, desktop, "MenuShowDelay", win::REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0}},
      {4, win::HKEY_CURRENT_USER, desktop, "MenuShowDelay", win::REG_SZ, {'a', 0, 'b'}},
      {4, win::HKEY_CURRENT_USER, desktop, "MenuShowDelay", win::REG_EXPAND_SZ, {'a', 0, 'b', 0}},
      {4, win::HKEY_CURRENT_USER, desktop, "MenuShowDelay", win::REG_BINARY, {1, 2}},
      {6, win::HKEY_LOCAL_MACHINE, layout, "EnableAutoLayout", win::REG_DWORD, {1, 2, 3}},
      {6, win::HKEY_LOCAL_MACHINE, layout, "EnableAutoLayout", win::REG_SZ, {'1', 0, 0, 0}},
      {15, win::HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "MinAniMate", win::REG_SZ,
       {'a', 0, 'b', 0, 'c', 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " of " + std::to_string(c.data.size()) + " bytes, type " +
                 std::to_string(c.type));
    TestMachine machine;
    win::TRegistry reg;
    reg.SetRootKey(c.root);
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + c.key, true));
    ASSERT_TRUE(reg.WriteRaw(c.name, c.type, c.data));
    const auto before = TakeSnapshot();
    SpeedBackupFileName = "C:\\b.ini";
    EXPECT_EQ(BackUpAndApplyTweak(c.tweak), TweakOutcome::BadData);
    EXPECT_EQ(Changes(before, TakeSnapshot()), (std::map<std::string, std::string>{}));
    EXPECT_FALSE(win::FileExists(SpeedBackupFileName));
  }
}

// Every line of a tweak is checked before its first value is written: one
// damaged line keeps all its values and all its lines.
TEST(SpeedItemTest, ADamagedLineFailsItsWholeTweakBeforeAnyWrite) {
  const std::string dns = "SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
  const char* const reg = R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Dnscache\Parameters]
"CacheHashTableBucketSize"=dword:00000001
"CacheHashTableSize"=dword:00000180
)";
  const std::vector<std::vector<std::pair<const char*, const char*>>> sections = {
      {{"F1", "5"}, {"F2", "abc"}, {"F3", "7"}, {"F4", "8"}},
      {{"F1", "5"}, {"F2", "99999999999"}},
      {{"F1Type", "REG_DWORD"}, {"F1", "5"}, {"F2Type", "REG_DWORD"}, {"F2", "12x"}},
      {{"F1Type", "REG_DWORD"}, {"F1", "5"}, {"F2Type", "REG_SZ"}, {"F2", "7"}},
      {{"F1Type", "REG_BINARY"}, {"F1", "5"}},
      {{"F1Type", "REG_DWORD"}, {"F1", "5"}, {"KeyCreated", "abc"}},
      {{"F1Type", "REG_DWORD"}, {"F1", "5"}, {"KeyCreated", "0"}},
      {{"F1Type", "REG_DWORD"}, {"F1", "5"}, {"F2KeyCreated", "99"}},
  };
  for (const auto& lines : sections) {
    TestMachine machine(reg);
    const std::string file = "C:\\speedBad.ini";
    win::TIniFile ini(file);
    for (const auto& [key, text] : lines) ASSERT_TRUE(ini.WriteString("Optimize network speed", key, text));
    const std::string fileBefore = FileText(file);
    SCOPED_TRACE(fileBefore);
    const auto before = TakeSnapshot();
    const SpeedRestoreResult result = RestoreSpeedBackup(file);
    EXPECT_EQ(result.failedTitles, std::vector<std::string>{"Optimize network speed"});
    EXPECT_EQ(result.restored, 0);
    EXPECT_EQ(Changes(before, TakeSnapshot()), (std::map<std::string, std::string>{}));
    EXPECT_EQ(FileText(file), fileBefore);
  }
}

TEST(SpeedItemTest, OlderFilesRestoreAsBeforeAndFixedRestoresTakeTheBackupsValues) {
  TestMachine machine(R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoResolveTrack"=dword:00000001

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoResolveTrack"=dword:00000001
"ClearRecentDocsOnExit"=dword:00000001
"NoCommonGroups"=dword:00000001

[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]
"MinAniMate"="0"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Internet Settings]
"MaxConnectionsPerServer"=dword:00000005

[HKEY_CURRENT_USER\Control Panel\Desktop]
"MenuShowDelay"="400"
)");
  const std::string file = "C:\\old.ini";
  win::TIniFile ini(file);
  // One F1 stood for both policy values; a blank line of a fixed restore is
  // the fixed value, a number in it is what the backup holds.
  for (const auto& [section, key, text] : std::vector<std::tuple<const char*, const char*, const char*>>{
           {"Disable Tracking of Broken Shortcut Links", "F1", "0"},
           {"Disable Recent File", "F1", ""},
           {"Close Customized Menu", "F1", "3"},
           {"Best Vision Effect", "F1", "2"},
           {"IE Multi-thread Download", "F1", ""},
           {"Quicken menu display speed", "F1", ""},
           {"Unknown", "F1", "1"}})
    ASSERT_TRUE(ini.WriteString(section, key, text));
  const SpeedRestoreResult result = RestoreSpeedBackup(file);
  EXPECT_TRUE(result.failedTitles.empty());
  EXPECT_EQ(result.restored, 7);
  EXPECT_EQ(ReadRaw(win::HKEY_LOCAL_MACHINE, kPolicies, "NoResolveTrack"), DwordValue(0));
  EXPECT_EQ(ReadRaw(win::HKEY_CURRENT_USER, kPolicies, "NoResolveTrack"), DwordValue(0));
  EXPECT_EQ(ReadRaw(win::HKEY_CURRENT_USER, kPolicies, "ClearRecentDocsOnExit"), DwordValue(0));
  EXPECT_EQ(ReadRaw(win::HKEY_CURRENT_USER, kPolicies, "NoCommonGroups"), DwordValue(3));
  EXPECT_EQ(ReadRaw(win::HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "MinAniMate"),
            StringValue("2"));
  EXPECT_EQ(ReadRaw(win::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                    "MaxConnectionsPerServer"),
            DwordValue(1));
  // A blank line of a tweak restored from its lines is a missing value.
  EXPECT_FALSE(ReadRaw(win::HKEY_CURRENT_USER, "Control Panel\\Desktop", "MenuShowDelay").exists);
  // Lines leave the file once their values are back; other sections stay.
  EXPECT_EQ(ini.ReadSection("Disable Recent File"), std::vector<std::string>{});
  EXPECT_EQ(ini.ReadSection("Unknown"), std::vector<std::string>{"F1"});
  EXPECT_FALSE(RestoreSpeedBackup("C:\\missing.ini").isBackup);
}

// A restore ended after any one of its changes, as by a kill, and then run
// again, leaves the registry as it was before the apply.
TEST(SpeedItemTest, ARestoreCutShortAtAnyStepFinishesWhenRunAgain) {
  TestMachine machine(R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management\PrefetchParameters]
"EnablePrefetcher"=dword:00000003

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoResolveTrack"=dword:00000000
)");
  const auto before = TakeSnapshot();
  // Keys that two tweaks create and share (the user's Policies\Explorer),
  // the NameSpace key with its parents, and below one of them a key that
  // another tweak creates.
  const std::vector<int> tweaks = {16, 11, 3, 1};
  SpeedBackupFileName = "C:\\speed.ini";
  for (const int tweak : tweaks) ASSERT_EQ(BackUpAndApplyTweak(tweak), TweakOutcome::Done);
  std::vector<std::uint8_t> backup;
  ASSERT_TRUE(win::ReadFileBytes(SpeedBackupFileName, backup));
  int stopAt = 1;
  for (;; ++stopAt) {
    SCOPED_TRACE("stopped at step " + std::to_string(stopAt));
    if (stopAt > 1) {  // the applied state again, with its backup
      ASSERT_TRUE(win::WriteFileBytes(SpeedBackupFileName, backup));
      for (const int tweak : tweaks) ASSERT_TRUE(ApplyTweak(tweak));
    }
    int step = 0;
    SetRestoreStepHook([&] { return ++step < stopAt; });
    RestoreSpeedBackup(SpeedBackupFileName);
    SetRestoreStepHook({});
    const SpeedRestoreResult again = RestoreSpeedBackup(SpeedBackupFileName);
    EXPECT_EQ(again.failedTitles, std::vector<std::string>{});
    ASSERT_EQ(Changes(before, TakeSnapshot()), (std::map<std::string, std::string>{}));
    if (step < stopAt) break;  // not cut short: every step has had its turn
  }
  EXPECT_GT(stopAt, 20);
}

TEST(SpeedItemTest, ReadOnlyKeysAndUnwritableBackupsAreFailures) {
  TestMachine machine("[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"MenuShowDelay\"=\"100\"\n", "",
                      TestMachine::DefaultConfigText() +
                          "\n[ReadOnlyKeys]\n1=HKEY_CURRENT_USER\\Control Panel\\Desktop\n");
  SpeedBackupFileName = "C:\\r.ini";
  EXPECT_EQ(BackUpAndApplyTweak(4), TweakOutcome::WriteFailed);
  EXPECT_EQ(FileText(SpeedBackupFileName), "[Quicken menu display speed]\r\nF1Type=REG_SZ\r\nF1=100\r\n");
  SpeedBackupFileName = "C:\\No Such Folder\\r.ini";
  EXPECT_EQ(BackUpAndApplyTweak(2), TweakOutcome::BackupFailed);
  EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control"));
}

}  // namespace
