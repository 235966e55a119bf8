// The repair backup proves itself before the first deletion: what a .reg
// file cannot hold is kept, everything else is deleted and comes back
// exactly from the backup; a backup that is damaged or cut short deletes
// nothing.

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "AdversarialRegistry.h"
#include "RegcleanFixture.h"
#include "platform/files/FileInPlace.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/RegFile.h"
#include "regclean/RepairDriverUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "shell/Dialogs.h"

namespace regclean::test {
namespace {

const char* const kBase = "Software\\Adversarial";
const std::string kBasePath = std::string("HKEY_CURRENT_USER\\") + kBase;
const char* const kBackupFolder = "C:\\Program Files\\Fernwick\\RepairBackup\\";

std::vector<std::string> BackupFiles() {
  std::vector<std::string> names;
  win::FindData data;
  auto finder = win::FindFirstFile(std::string(kBackupFolder) + "*.reg", data);
  if (finder) do names.push_back(kBackupFolder + data.name);
    while (finder->Next(data));
  return names;
}

// A section reporting one problem per case: a whole key for a key name, a
// value for the others. Its key names sit below kBase\<case number>.
RegistrySection CaseSection(const std::vector<adversarial::Case>& cases) {
  RegistrySection section;
  section.scanners = {[cases](ScanContext& context) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const adversarial::Case& c = cases[i];
      TRegistryContent problem;
      problem.KeyPath = kBasePath + "\\" + std::to_string(i) + (c.keyName ? "\\" + c.name : "");
      problem.ValueName = c.keyName ? "" : c.name;
      problem.KeyName = c.keyName ? "key" : "value";
      AddProblem(context, problem);
    }
  }};
  section.target = [](const TRegistryContent& item) {
    return item.KeyName == "key" ? KeyTargetOf(item) : ValueTargetOf(item);
  };
  return section;
}

class RepairBackupProofTest : public RegcleanTest {
 protected:
  // A machine holding every case, the victim of the deletion injection, and
  // two keys whose subtrees hold what a file cannot carry.
  void Build(const std::vector<adversarial::Case>& cases) {
    UseMachine("[HKEY_CURRENT_USER\\Victim]\r\n\"keep\"=\"me\"\r\n", "");
    for (std::size_t i = 0; i < cases.size(); ++i)
      ASSERT_TRUE(adversarial::WriteCase(win::HKEY_CURRENT_USER, std::string(kBase) + "\\" + std::to_string(i), cases[i]))
          << cases[i].what;
    for (int section = 1; section <= kSectionCount; ++section) session.SetSectionTicked(section, section == 3);
  }
  bool ScanAndRepair(const std::vector<adversarial::Case>& cases) {
    ScopedSectionOverride plugged(3, CaseSection(cases));
    if (ScanNow(session, view) != ScanOutcome::ProblemsFound) return false;
    return RepairCheckedProblems(session, view) == RepairOutcome::Repaired;
  }
  std::string Log(int i) { return session.RepairLog.GetItem(i).Content.Result; }

  ScanSession session;
  RecordingView view;
};

TEST_F(RepairBackupProofTest, EveryCaseComesBackExactlyOrIsKept) {
  const std::vector<adversarial::Case> cases = adversarial::Cases();
  for (const bool version5 : {true, false}) {
    SCOPED_TRACE(version5 ? "version 5" : "REGEDIT4");
    ScriptedDialogs dialogs;
    Build(cases);
    PlatformCode = version5 ? 4 : 2;
    const adversarial::Snapshot before = adversarial::TakeSnapshot();
    std::vector<std::string> states;
    for (std::size_t i = 0; i < cases.size(); ++i)
      states.push_back(adversarial::CaseState(win::HKEY_CURRENT_USER, std::string(kBase) + "\\" + std::to_string(i), cases[i]));

    ASSERT_TRUE(ScanAndRepair(cases));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].caption, kBackedUpCaption);
    ASSERT_EQ(session.RepairLog.Count(), static_cast<int>(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE(cases[i].what);
      const bool held = adversarial::Held(cases[i], version5);
      const std::string now =
          adversarial::CaseState(win::HKEY_CURRENT_USER, std::string(kBase) + "\\" + std::to_string(i), cases[i]);
      EXPECT_EQ(Log(static_cast<int>(i)), held ? kRepairedText : kNotRepairedText);
      if (held) EXPECT_EQ(now, "<missing>");
      else EXPECT_EQ(now, states[i]);  // kept as it was
    }

    const std::vector<std::string> files = BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    std::string error;
    ASSERT_TRUE(win::ImportRegFile(files[0], error)) << error;
    EXPECT_EQ(adversarial::Differences(before, adversarial::TakeSnapshot()), std::vector<std::string>{});
    EXPECT_TRUE(ValueExists(win::HKEY_CURRENT_USER, "Victim", "keep"));
    EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\X"));

    ASSERT_TRUE(FinishScan(session, view));
  }
}

TEST_F(RepairBackupProofTest, AKeyIsKeptWholeWhenItsSubtreeHoldsWhatTheFileCannot) {
  const std::vector<adversarial::Case> cases = {
      {"key with a bad value name", true, "tree", win::REG_SZ, adversarial::Text("x"), true, true},
      {"key with text outside the code page", true, "wide", win::REG_SZ, adversarial::Text("x"), true, true},
      {"plain key", true, "plain", win::REG_SZ, adversarial::Text("x"), true, true},
  };
  for (const bool version5 : {true, false}) {
    SCOPED_TRACE(version5 ? "version 5" : "REGEDIT4");
    ScriptedDialogs dialogs;
    Build(cases);
    PlatformCode = version5 ? 4 : 2;
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, std::string(kBase) + "\\0\\tree\\deep", "line\r\nbreak", "x"));
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, std::string(kBase) + "\\1\\wide\\deep", "w", "\xE6\x97\xA5"));
    const adversarial::Snapshot before = adversarial::TakeSnapshot();
    ASSERT_TRUE(ScanAndRepair(cases));
    EXPECT_EQ(Log(0), kNotRepairedText);
    EXPECT_EQ(Log(1), version5 ? kRepairedText : kNotRepairedText);
    EXPECT_EQ(Log(2), kRepairedText);
    EXPECT_TRUE(KeyExists(win::HKEY_CURRENT_USER, std::string(kBase) + "\\0\\tree\\deep"));
    EXPECT_EQ(KeyExists(win::HKEY_CURRENT_USER, std::string(kBase) + "\\1\\wide\\deep"), !version5);
    std::string error;
    ASSERT_TRUE(win::ImportRegFile(BackupFiles().at(0), error)) << error;
    EXPECT_EQ(adversarial::Differences(before, adversarial::TakeSnapshot()), std::vector<std::string>{});
    ASSERT_TRUE(FinishScan(session, view));
  }
}

// A backup changed after it was written, or written only in part, fails its
// proof: the user is asked, answers No, and nothing is deleted; no backup
// stays.
TEST_F(RepairBackupProofTest, ADamagedOrShortBackupDeletesNothing) {
  std::vector<adversarial::Case> cases;
  for (const adversarial::Case& c : adversarial::Cases())
    if (c.heldByVersion5 && c.heldByRegedit4) cases.push_back(c);
  const std::vector<std::pair<std::string, std::function<void(std::string&)>>> damages = {
      {"one byte changed", [](std::string& bytes) { bytes[(bytes.size() / 2) & ~std::size_t{1}] ^= 0x01; }},
      {"one line removed",
       [](std::string& bytes) {
         const std::size_t key = bytes.find(std::string("[\0H", 3));
         const std::size_t next = bytes.find(std::string("\n\0", 2), key);
         bytes.erase(key, next + 2 - key);
       }},
      {"a deletion line added",
       [](std::string& bytes) {
         std::string line;
         for (char c : std::string("[-HKEY_CURRENT_USER\\Victim]\r\n")) line += std::string{c, '\0'};
         bytes.insert(bytes.find(std::string("\n\0", 2)) + 2, line);
       }},
  };
  for (const auto& [how, damage] : damages) {
    for (const bool version5 : {true, false}) {
      SCOPED_TRACE(how + (version5 ? " / version 5" : " / REGEDIT4"));
      ScriptedDialogs dialogs;
      Build(cases);
      PlatformCode = version5 ? 4 : 2;
      const adversarial::Snapshot before = adversarial::TakeSnapshot();
      int damaged = 0;
      win::SetAfterReplaceHook([&, damageFile = damage](const std::string& host) {
        if (host.find("/RepairBackup/") == std::string::npos) return;
        std::ifstream in(host, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        if (!version5) {
          // The ANSI file: the same damage on its single-byte text.
          std::string wide;
          for (char c : bytes) wide += std::string{c, '\0'};
          damageFile(wide);
          bytes.clear();
          for (std::size_t i = 0; i < wide.size(); i += 2) bytes += wide[i];
        } else {
          damageFile(bytes);
        }
        std::ofstream(host, std::ios::binary | std::ios::trunc) << bytes;
        ++damaged;
      });
      dialogs.setNextAnswer(IDNO);
      ScopedSectionOverride plugged(3, CaseSection(cases));
      ASSERT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
      EXPECT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Declined);
      win::SetAfterReplaceHook(nullptr);
      EXPECT_EQ(damaged, 1);
      ASSERT_EQ(dialogs.messages().size(), 1u);
      EXPECT_EQ(dialogs.messages()[0].text.rfind("The registry backup could not be written", 0), 0u);
      EXPECT_EQ(adversarial::Differences(before, adversarial::TakeSnapshot()), std::vector<std::string>{});
      EXPECT_TRUE(BackupFiles().empty());
      ASSERT_TRUE(FinishScan(session, view));
    }
  }
}

TEST_F(RepairBackupProofTest, AFolderThatFillsUpMidWriteDeletesNothing) {
  std::vector<adversarial::Case> cases;
  for (const adversarial::Case& c : adversarial::Cases())
    if (c.heldByVersion5) cases.push_back(c);  // the 1 MB value makes a backup of several
  ScriptedDialogs dialogs;
  Build(cases);
  const adversarial::Snapshot before = adversarial::TakeSnapshot();
  dialogs.setNextAnswer(IDNO);
  {
    adversarial::FileSizeLimit full(512 * 1024);
    ScopedSectionOverride plugged(3, CaseSection(cases));
    ASSERT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
    EXPECT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Declined);
  }
  EXPECT_EQ(adversarial::Differences(before, adversarial::TakeSnapshot()), std::vector<std::string>{});
  EXPECT_TRUE(BackupFiles().empty());
  std::vector<std::string> left;  // no temporary file either
  for (const auto& entry : std::filesystem::directory_iterator(machine().host(kBackupFolder)))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{});
}

}  // namespace
}  // namespace regclean::test
