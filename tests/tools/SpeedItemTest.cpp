#include <gtest/gtest.h>

#include <map>
#include <set>

#include "OptimizerFixture.h"
#include "TestMachine.h"
#include "platform/IniFile.h"
#include "tools/SpeedItemUnit.h"
#include "tools/SystemSpeedUnit.h"

using namespace tools;
using namespace optimizer_test;

namespace {

const char* const kNameSpace =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RemoteComputer\\NameSpace\\"
    "{D6277990-4C6A-11CF-8D87-00AA0060F5BF}";
const char* const kAviClass = "CLSID\\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}";

std::string RootText(win::HKEY root) {
  if (root == win::HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == win::HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  return "HKEY_LOCAL_MACHINE";
}

// Every tweak value present with a value the tweaks never write, and the
// NameSpace and CLSID keys with contents of their own.
std::string AllPresentReg() {
  std::string reg = "REGEDIT4\n";
  int n = 7;
  for (const TweakItem& item : TweakTable())
    for (const TweakValue& value : item.values) {
      if (item.restore == TweakRestore::Remove) continue;  // the stock key keeps its own values
      reg += "\n[" + RootText(value.root) + "\\" + value.key + "]\n";
      const std::string name = *value.name ? "\"" + std::string(value.name) + "\"" : "@";
      if (value.type == TweakValueType::Dword) reg += name + "=dword:0000000" + std::to_string(n % 10) + "\n";
      else if (value.type == TweakValueType::Number) reg += name + "=\"" + std::to_string(n) + "\"\n";
      else reg += name + "=\"x" + std::to_string(n) + "\"\n";
      ++n;
    }
  reg += "\n[HKEY_LOCAL_MACHINE\\" + std::string(kNameSpace) + "]\n@=\"Scheduled Tasks\"\n";
  reg += "\n[HKEY_LOCAL_MACHINE\\" + std::string(kNameSpace) + "\\Sub]\n";
  reg += "\n[HKEY_CLASSES_ROOT\\" + std::string(kAviClass) + "]\n@=\"Stock\"\n";
  reg += "\n[HKEY_CLASSES_ROOT\\" + std::string(kAviClass) + "\\InprocServer32]\n@=\"x.dll\"\n";
  return reg;
}

using Snapshot = std::map<std::pair<int, int>, RawValue>;

Snapshot TakeSnapshot() {
  Snapshot snapshot;
  for (int t = 0; t < kTweakCount; ++t) {
    const auto& values = TweakTable()[static_cast<std::size_t>(t)].values;
    for (int v = 0; v < static_cast<int>(values.size()); ++v) {
      const TweakValue& value = values[static_cast<std::size_t>(v)];
      snapshot[{t, v}] = ReadRaw(value.root, value.key, value.name);
    }
  }
  return snapshot;
}

// Values and subkey names of a key, to see that a stock key is untouched.
std::string KeyContents(win::HKEY root, const std::string& key) {
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly("\\" + key)) return "(none)";
  std::vector<std::string> names;
  std::string text;
  reg.GetKeyNames(names);
  for (const auto& name : names) text += "[" + name + "]";
  reg.GetValueNames(names);
  for (const auto& name : names) text += name + "=" + reg.ReadString(name).value_or("?") + ";";
  return text;
}

RawValue Optimized(const TweakValue& value) {
  return value.type == TweakValueType::Dword ? DwordValue(value.dword) : StringValue(value.text);
}

// What a fixed or removing restore leaves; nullopt for values restored from
// their keys.
std::optional<RawValue> FixedResult(const TweakItem& item, int v) {
  if (item.restore == TweakRestore::FromKeys) return std::nullopt;
  const TweakValue& value = item.values[static_cast<std::size_t>(v)];
  if (!KeyExists(value.root, value.key)) return RawValue{};
  for (const FixedRestore& fixed : item.fixed)
    if (fixed.value == v) {
      if (fixed.remove) return RawValue{};
      return fixed.text != nullptr ? StringValue(fixed.text) : DwordValue(fixed.dword);
    }
  return std::nullopt;
}

// Applies every tweak in box order into one backup, restores it, then
// restores it again after the restored values were changed.
void RoundTrip() {
  const Snapshot before = TakeSnapshot();
  std::map<std::pair<int, int>, bool> keyExisted;
  for (const auto& [at, raw] : before) {
    const TweakValue& value = TweakTable()[static_cast<std::size_t>(at.first)].values[static_cast<std::size_t>(at.second)];
    keyExisted[at] = KeyExists(value.root, value.key);
  }
  const bool nameSpaceBefore = KeyExists(win::HKEY_LOCAL_MACHINE, kNameSpace);
  const std::string nameSpaceContents = KeyContents(win::HKEY_LOCAL_MACHINE, kNameSpace);
  const bool aviBefore = KeyExists(win::HKEY_CLASSES_ROOT, kAviClass);
  const std::string aviContents = KeyContents(win::HKEY_CLASSES_ROOT, kAviClass);

  SpeedBackupFileName = "C:\\speedRestore.ini";
  std::set<int> done;
  for (const TweakBox& box : TweakBoxes)
    if (done.insert(box.tweak).second) {
      EXPECT_EQ(BackUpAndApplyTweak(box.tweak), TweakOutcome::Done) << box.caption;
    }
  for (const auto& [at, raw] : before) {
    const TweakValue& value = TweakTable()[static_cast<std::size_t>(at.first)].values[static_cast<std::size_t>(at.second)];
    if (value.createKey || keyExisted[at]) {
      EXPECT_EQ(ReadRaw(value.root, value.key, value.name), Optimized(value)) << value.name;
    }
  }

  std::vector<std::string> failed;
  ASSERT_TRUE(RestoreSpeedBackup(SpeedBackupFileName, failed));
  EXPECT_TRUE(failed.empty());
  for (const auto& [at, raw] : before) {
    const TweakItem& item = TweakTable()[static_cast<std::size_t>(at.first)];
    const TweakValue& value = item.values[static_cast<std::size_t>(at.second)];
    const auto fixed = FixedResult(item, at.second);
    EXPECT_EQ(ReadRaw(value.root, value.key, value.name), fixed ? *fixed : raw)
        << item.title << " / " << value.name;
  }
  EXPECT_EQ(KeyExists(win::HKEY_LOCAL_MACHINE, kNameSpace), nameSpaceBefore);
  EXPECT_EQ(KeyContents(win::HKEY_LOCAL_MACHINE, kNameSpace), nameSpaceContents);
  EXPECT_EQ(KeyExists(win::HKEY_CLASSES_ROOT, kAviClass), aviBefore);
  EXPECT_EQ(KeyContents(win::HKEY_CLASSES_ROOT, kAviClass), aviContents);

  // A second restore leaves the values restored from keys alone.
  for (const auto& [at, raw] : before) {
    const TweakItem& item = TweakTable()[static_cast<std::size_t>(at.first)];
    const TweakValue& value = item.values[static_cast<std::size_t>(at.second)];
    if (item.restore != TweakRestore::FromKeys || !KeyExists(value.root, value.key)) continue;
    win::TRegistry reg;
    reg.SetRootKey(value.root);
    ASSERT_TRUE(reg.OpenKey("\\" + std::string(value.key), false));
    ASSERT_TRUE(reg.WriteString(value.name, "changed"));
  }
  failed.clear();
  ASSERT_TRUE(RestoreSpeedBackup(SpeedBackupFileName, failed));
  EXPECT_TRUE(failed.empty());
  for (const auto& [at, raw] : before) {
    const TweakItem& item = TweakTable()[static_cast<std::size_t>(at.first)];
    const TweakValue& value = item.values[static_cast<std::size_t>(at.second)];
    const auto fixed = FixedResult(item, at.second);
    if (fixed) {
      EXPECT_EQ(ReadRaw(value.root, value.key, value.name), *fixed) << value.name;
    } else if (KeyExists(value.root, value.key)) {
      EXPECT_EQ(ReadRaw(value.root, value.key, value.name), StringValue("changed")) << value.name;
    }
  }
}

TEST(SpeedItemTest, RoundTripOnAnEmptyRegistry) {
  TestMachine machine;
  RoundTrip();
}

TEST(SpeedItemTest, RoundTripWithEveryValuePresent) {
  TestMachine machine(AllPresentReg());
  RoundTrip();
}

TEST(SpeedItemTest, RoundTripOnTheSampleMachine) {
  SampleMachine machine;
  ASSERT_TRUE(machine.Ready());
  RoundTrip();
}

TEST(SpeedItemTest, BackupSavesMissingValuesAsEmptyKeysAndNotesKeysItCreates) {
  TestMachine machine(R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management]
"LargePageMinimum"=dword:ffffffff

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Dnscache\Parameters]
"CacheHashTableSize"=dword:00000100

[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]
"MinAniMate"=" 1 "
)");
  SpeedBackupFileName = "C:\\b.ini";
  for (const int tweak : {10, 3, 14, 15}) EXPECT_EQ(BackUpAndApplyTweak(tweak), TweakOutcome::Done);
  EXPECT_EQ(FileText(SpeedBackupFileName),
            "[Fix Problem with Athlon Hanging AGP Programs]\r\nF1=-1\r\n\r\n"
            "[Optimize network speed]\r\nF1=\r\nF2=256\r\nF3=\r\nF4=\r\nKeyCreated=1\r\n\r\n"
            "[Optimize AVI Media Files]\r\nF1=\r\nKeyCreated=1\r\n\r\n"
            "[Best Vision Effect]\r\nF1=1\r\n");
  std::vector<std::string> failed;
  ASSERT_TRUE(RestoreSpeedBackup(SpeedBackupFileName, failed));
  EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, kNameSpace));
  EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, kAviClass));
  EXPECT_FALSE(ReadRaw(win::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters",
                       "CacheHashTableBucketSize").exists);
  EXPECT_EQ(ReadRaw(win::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters",
                    "CacheHashTableSize"),
            DwordValue(256));
  // Keys restored from leave the file; the fixed restore's stay.
  EXPECT_EQ(FileText(SpeedBackupFileName),
            "[Fix Problem with Athlon Hanging AGP Programs]\r\n\r\n"
            "[Optimize network speed]\r\n\r\n"
            "[Optimize AVI Media Files]\r\n\r\n"
            "[Best Vision Effect]\r\nF1=1\r\n");
}

TEST(SpeedItemTest, RestoreTakesOlderFilesAndSkipsKeysThatAreNoNumbers) {
  TestMachine machine(R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoResolveTrack"=dword:00000001

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoResolveTrack"=dword:00000001

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Dnscache\Parameters]
"CacheHashTableBucketSize"=dword:00000001
)");
  const std::string file = "C:\\old.ini";
  win::TIniFile ini(file);
  // An older file: "0" where a value was missing, one F1 for both policy values.
  ASSERT_TRUE(ini.WriteString("Disable Tracking of Broken Shortcut Links", "F1", "0"));
  ASSERT_TRUE(ini.WriteString("Optimize network speed", "F1", "abc"));
  ASSERT_TRUE(ini.WriteString("Optimize network speed", "F2", "384"));
  ASSERT_TRUE(ini.WriteString("Unknown", "F1", "1"));
  std::vector<std::string> failed;
  ASSERT_TRUE(RestoreSpeedBackup(file, failed));
  EXPECT_EQ(failed, std::vector<std::string>{"Optimize network speed"});
  const std::string policies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  EXPECT_EQ(ReadRaw(win::HKEY_LOCAL_MACHINE, policies, "NoResolveTrack"), DwordValue(0));
  EXPECT_EQ(ReadRaw(win::HKEY_CURRENT_USER, policies, "NoResolveTrack"), DwordValue(0));
  const std::string dns = "SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
  EXPECT_EQ(ReadRaw(win::HKEY_LOCAL_MACHINE, dns, "CacheHashTableBucketSize"), DwordValue(1));
  EXPECT_EQ(ReadRaw(win::HKEY_LOCAL_MACHINE, dns, "CacheHashTableSize"), DwordValue(384));
  // The damaged key stays for a later try; the others are gone.
  EXPECT_EQ(ini.ReadSection("Optimize network speed"), std::vector<std::string>{"F1"});
  EXPECT_FALSE(RestoreSpeedBackup("C:\\missing.ini", failed));
}

TEST(SpeedItemTest, ReadOnlyKeysAndUnwritableBackupsAreFailures) {
  TestMachine machine("[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"MenuShowDelay\"=\"100\"\n", "",
                      TestMachine::DefaultConfigText() +
                          "\n[ReadOnlyKeys]\n1=HKEY_CURRENT_USER\\Control Panel\\Desktop\n");
  SpeedBackupFileName = "C:\\r.ini";
  EXPECT_EQ(BackUpAndApplyTweak(4), TweakOutcome::WriteFailed);
  EXPECT_EQ(FileText(SpeedBackupFileName), "[Quicken menu display speed]\r\nF1=100\r\n");
  SpeedBackupFileName = "C:\\No Such Folder\\r.ini";
  EXPECT_EQ(BackUpAndApplyTweak(2), TweakOutcome::BackupFailed);
  EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control"));
}

}  // namespace
