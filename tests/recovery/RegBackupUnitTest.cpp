#include "recovery/RegBackupUnit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <map>
#include <regex>

#include "../regclean/RegcleanFixture.h"
#include "AdversarialRegistry.h"
#include "SampleMachineCopy.h"
#include "platform/files/FileInPlace.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/RegistryStore.h"
#include "regclean/RepairDriverUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"

namespace {

using regclean::test::RegcleanTest;
using regclean::test::ValueExists;

const char* const kRepairFolder = "C:\\Program Files\\Fernwick\\RepairBackup\\";
const char* const kFullFolder = "C:\\Program Files\\Fernwick\\FullBackup\\";
const char* const kDlls = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

// Records what the page was told; each new row, and each removal together
// with the messages told before it.
class PageRecorder : public recovery::RegBackupView {
 public:
  explicit PageRecorder(const ScriptedDialogs& dialogs) : dialogs_(dialogs) {}
  void ShowWait(const std::string& title, const std::string& message) override {
    shown.push_back(title + " / " + message);
    open = true;
  }
  void CloseWait() override { open = false; }
  void BackupCreated(const recovery::BackupFileRow& row) override {
    created.push_back(row);
    messagesBeforeRow = dialogs_.messages().size();
  }
  void BackupRemoved() override {
    ++removed;
    messagesBeforeRow = dialogs_.messages().size();
  }
  std::vector<std::string> shown;
  bool open = false;
  std::vector<recovery::BackupFileRow> created;
  int removed = 0;
  std::size_t messagesBeforeRow = 99;

 private:
  const ScriptedDialogs& dialogs_;
};

std::vector<std::string> FileNames(const std::vector<recovery::BackupFileRow>& rows) {
  std::vector<std::string> names;
  for (const auto& row : rows) names.push_back(win::ExtractFileName(row.FileName));
  return names;
}

std::vector<std::string> MessageTexts(const ScriptedDialogs& dialogs) {
  std::vector<std::string> texts;
  for (const auto& m : dialogs.messages()) texts.push_back(m.text);
  return texts;
}

// Scans with only the shared DLLs section ticked and repairs what it found.
void RepairSharedDlls() {
  regclean::ScanSession session;
  regclean::test::RecordingView view;
  for (int section = 1; section <= regclean::kSectionCount; ++section)
    session.SetSectionTicked(section, section == 10);
  ASSERT_EQ(regclean::ScanNow(session, view), regclean::ScanOutcome::ProblemsFound);
  ASSERT_EQ(regclean::RepairCheckedProblems(session, view), regclean::RepairOutcome::Repaired);
}

class RegBackupTest : public RegcleanTest {
 protected:
  ScriptedDialogs dialogs;
  PageRecorder page{dialogs};
  const TDateTime now{2008, 3, 7, 14, 5, 9};
};

TEST_F(RegBackupTest, ListsOnlyRegFilesAndNothingForAMissingFolder) {
  UseMachine("",
             "C:\\Program Files\\Fernwick\\RepairBackup\\Repair_20080307_140509.reg | time=2008-03-07 14:05:09\n"
             "C:\\Program Files\\Fernwick\\RepairBackup\\startup.dat\n"
             "C:\\Program Files\\Fernwick\\RepairBackup\\del.txt\n"
             "C:\\Program Files\\Fernwick\\RepairBackup\\speedRestore20080307.ini\n"
             "C:\\Program Files\\Fernwick\\RepairBackup\\del\\\n"
             "C:\\Program Files\\Fernwick\\RepairBackup\\folder.reg\\\n"
             "C:\\Program Files\\Fernwick\\RepairBackup\\a.REG\n"
             "C:\\Program Files\\Fernwick\\RepairBackup\\b.regx\n");
  const auto rows = recovery::ListBackupFiles(recovery::RepairBackupFolder());
  EXPECT_EQ(FileNames(rows), (std::vector<std::string>{"a.REG", "Repair_20080307_140509.reg"}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].FileName, std::string(kRepairFolder) + "Repair_20080307_140509.reg");
  EXPECT_TRUE(std::regex_match(rows[1].Caption,
                               std::regex(R"((Jan|Feb|Mar|Apr|May|June|July|Aug|Sept|Oct|Nov|Dec)\. \d{1,2}, \d{4} \d{1,2}:\d{1,2}:\d{1,2} [AP]M)")))
      << rows[1].Caption;
  EXPECT_TRUE(recovery::ListBackupFiles(recovery::FullBackupFolder()).empty());
}

TEST_F(RegBackupTest, CreateBackupExportsTheWholeRegistryIntoANewFolder) {
  UseMachine("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Name\"=\"value\"\r\n", "");
  int pumped = 0;
  bool busyWhilePumped = true;
  SetProcessMessagesHook([&] {
    ++pumped;
    busyWhilePumped = busyWhilePumped && IsBusy() && page.open;
  });
  ASSERT_TRUE(recovery::CreateFullBackup(page, now));
  ASSERT_EQ(page.created.size(), 1u);
  EXPECT_EQ(page.messagesBeforeRow, 0u);
  const recovery::BackupFileRow row = page.created[0];
  EXPECT_EQ(row.FileName, std::string(kFullFolder) + "Backup_20080307_140509.reg");
  EXPECT_FALSE(row.Caption.empty());
  EXPECT_GT(pumped, 0);
  EXPECT_TRUE(busyWhilePumped);
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(page.shown, (std::vector<std::string>{
                            "Registry Backup / Please wait until the backup operation is finished."}));
  EXPECT_FALSE(page.open);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, recovery::kBackupCreatedMessage);
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, 0u);

  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(win::ReadFileBytes(row.FileName, bytes));
  const std::string text = win::Utf16LeBytesToUtf8(std::vector<std::uint8_t>(bytes.begin() + 2, bytes.end()));
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(text.find("\"Name\"=\"value\""), std::string::npos);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE"), std::string::npos);
}

// A process killed between writing a backup's temporary file and renaming
// it leaves the file behind; the next backup into that folder removes it,
// but not a temporary file that another write is still filling (it holds the
// file's lock).
TEST_F(RegBackupTest, BackupsRemoveStaleTemporaryFilesOfTheirFolder) {
  UseMachine("[HKEY_LOCAL_MACHINE\\" + std::string(kDlls) + "]\r\n\"C:\\\\Gone\\\\a.dll\"=dword:00000001\r\n",
             std::string(kRepairFolder) + ".fw-Ab12Cd | text=stale\n" + kRepairFolder + ".fw-Xy34Zw | text=busy\n" +
                 kRepairFolder + ".fw-notes.txt | text=not ours\n" + kFullFolder + ".fw-Qq99Rr | text=stale\n");
  const auto host = [](const std::string& path) { return std::filesystem::path(win::HostPath(path)); };
  const int busy = open(host(std::string(kRepairFolder) + ".fw-Xy34Zw").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(busy, 0);
  ASSERT_EQ(flock(busy, LOCK_EX), 0);
  struct CloseAtEnd {
    int fd;
    ~CloseAtEnd() { close(fd); }
  } closeBusy{busy};

  RepairSharedDlls();
  EXPECT_FALSE(std::filesystem::exists(host(std::string(kRepairFolder) + ".fw-Ab12Cd")));
  EXPECT_TRUE(std::filesystem::exists(host(std::string(kRepairFolder) + ".fw-Xy34Zw")));
  EXPECT_TRUE(std::filesystem::exists(host(std::string(kRepairFolder) + ".fw-notes.txt")));
  EXPECT_EQ(recovery::ListBackupFiles(recovery::RepairBackupFolder()).size(), 1u);

  ASSERT_TRUE(recovery::CreateFullBackup(page, now));
  EXPECT_FALSE(std::filesystem::exists(host(std::string(kFullFolder) + ".fw-Qq99Rr")));
}

TEST_F(RegBackupTest, TwoBackupsInOneSecondGetTheirOwnFiles) {
  UseMachine("", "");
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(recovery::CreateFullBackup(page, now));
  EXPECT_EQ(FileNames(recovery::ListBackupFiles(recovery::FullBackupFolder())),
            (std::vector<std::string>{"Backup_20080307_140509.reg", "Backup_20080307_140509_2.reg",
                                      "Backup_20080307_140509_3.reg"}));
  ASSERT_EQ(page.created.size(), 3u);
  EXPECT_EQ(win::ExtractFileName(page.created[2].FileName), "Backup_20080307_140509_3.reg");
}

TEST_F(RegBackupTest, AFailedExportSaysSo) {
  // A file where the folder should be: the export has nowhere to go.
  UseMachine("", "C:\\Program Files\\Fernwick\\FullBackup | text=not a folder\n");
  EXPECT_FALSE(recovery::CreateFullBackup(page, now));
  EXPECT_TRUE(page.created.empty());
  EXPECT_EQ(MessageTexts(dialogs), (std::vector<std::string>{recovery::kBackupFailedMessage}));
  EXPECT_FALSE(page.open);
  EXPECT_FALSE(IsBusy());
}

// The files left in a folder of the machine, temporary ones included.
std::vector<std::string> HostFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(win::HostPath(folder), error))
    names.push_back(entry.path().filename().string());
  return names;
}

// Every case in both forms: the full backup holds it and brings it back
// exactly, or fails, names it, and leaves no file.
TEST_F(RegBackupTest, FullBackupHoldsEveryCaseOrNamesTheOneItCannot) {
  const std::vector<adversarial::Case> cases = adversarial::Cases();
  const std::string parent = "Software\\Adversarial";
  for (const bool version5 : {true, false}) {
    std::string config = TestMachine::DefaultConfigText();
    if (!version5) config.replace(config.find("PlatformId=2"), 12, "PlatformId=1");
    UseMachine("[HKEY_CURRENT_USER\\Victim]\r\n\"keep\"=\"me\"\r\n", "", config);
    PlatformCode = version5 ? 4 : 2;
    for (const adversarial::Case& c : cases) {
      SCOPED_TRACE(c.what + (version5 ? " / version 5" : " / REGEDIT4"));
      ASSERT_TRUE(adversarial::WriteCase(win::HKEY_CURRENT_USER, parent, c));
      const adversarial::Snapshot before = adversarial::TakeSnapshot();
      dialogs.clear();
      page.created.clear();
      const bool held = adversarial::Held(c, version5);
      EXPECT_EQ(recovery::CreateFullBackup(page, now), held);
      ASSERT_EQ(dialogs.messages().size(), 1u);
      const std::string told = dialogs.messages()[0].text;
      win::TRegistry registry;
      registry.SetRootKey(win::HKEY_CURRENT_USER);
      if (held) {
        EXPECT_EQ(told, recovery::kBackupCreatedMessage);
        ASSERT_EQ(page.created.size(), 1u);
        ASSERT_TRUE(registry.DeleteKey("\\" + parent));
        dialogs.setNextAnswer(IDYES);
        EXPECT_TRUE(recovery::RestoreBackupFile(page.created[0].FileName));
        EXPECT_EQ(adversarial::Differences(before, adversarial::TakeSnapshot()), std::vector<std::string>{});
        EXPECT_TRUE(win::DeleteFile(page.created[0].FileName));
      } else {
        EXPECT_EQ(told.rfind(std::string(recovery::kBackupFailedMessage) + "\r" + recovery::kCannotHoldMessage, 0), 0u)
            << told;
        // The first key that the file cannot hold is the one named.
        const std::string named = c.keyName ? c.name.substr(0, c.name.find('\\')) : c.name;
        EXPECT_NE(told.find(win::ShownRegName(named)), std::string::npos) << told;
        EXPECT_TRUE(page.created.empty());
      }
      EXPECT_EQ(HostFilesIn(kFullFolder), std::vector<std::string>{});
      ASSERT_TRUE(registry.DeleteKey("\\" + parent));
    }
  }
}

// A full backup changed after it was written, or cut short by a full disk,
// is no backup: the failure is told and no file stays.
TEST_F(RegBackupTest, ADamagedOrShortFullBackupFails) {
  for (const bool full : {false, true}) {
    SCOPED_TRACE(full ? "the folder fills up" : "a byte changed");
    UseMachine("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Name\"=\"value\"\r\n", "");
    ASSERT_TRUE(regclean::test::WriteValue(win::HKEY_CURRENT_USER, "Software\\Test", "big", win::REG_BINARY,
                                           std::vector<std::uint8_t>(1 << 20, 0x5A)));
    dialogs.clear();
    int damaged = 0;
    win::SetAfterReplaceHook([&](const std::string& host) {
      if (full || host.find("/FullBackup/") == std::string::npos) return;
      std::fstream file(host, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(1 << 20);
      file.put('Z');
      ++damaged;
    });
    {
      std::unique_ptr<adversarial::FileSizeLimit> limit;
      if (full) limit = std::make_unique<adversarial::FileSizeLimit>(256 * 1024);
      EXPECT_FALSE(recovery::CreateFullBackup(page, now));
    }
    win::SetAfterReplaceHook(nullptr);
    EXPECT_EQ(damaged, full ? 0 : 1);
    EXPECT_EQ(MessageTexts(dialogs), (std::vector<std::string>{recovery::kBackupFailedMessage}));
    EXPECT_TRUE(page.created.empty());
    EXPECT_EQ(HostFilesIn(kFullFolder), std::vector<std::string>{});
  }
}

TEST_F(RegBackupTest, NothingStartsWhileAnotherOperationRuns) {
  UseMachine("", "");
  BusyGuard scanning;
  EXPECT_FALSE(recovery::CreateFullBackup(page, now));
  EXPECT_FALSE(recovery::RestoreBackupFile("C:\\x.reg"));
  EXPECT_TRUE(dialogs.messages().empty());
  EXPECT_TRUE(page.shown.empty());
}

TEST_F(RegBackupTest, RestoringARepairBackupBringsBackWhatTheRepairRemoved) {
  UseMachine("[HKEY_LOCAL_MACHINE\\" + std::string(kDlls) + "]\r\n"
             "\"C:\\\\Gone\\\\a.dll\"=dword:00000001\r\n\"C:\\\\Gone\\\\b.dll\"=dword:00000002\r\n",
             "");
  RepairSharedDlls();
  ASSERT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, kDlls, "C:\\Gone\\a.dll"));
  dialogs.clear();

  const auto rows = recovery::ListBackupFiles(recovery::RepairBackupFolder());
  ASSERT_EQ(rows.size(), 1u);
  dialogs.setNextAnswer(IDYES);
  EXPECT_TRUE(recovery::RestoreBackupFile(rows[0].FileName));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, kDlls, "C:\\Gone\\a.dll"));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, kDlls, "C:\\Gone\\b.dll"));
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[0].text, recovery::kRestoreQuestion);
  EXPECT_EQ(dialogs.messages()[0].flags, 68u);
  EXPECT_EQ(dialogs.messages()[1].text, recovery::kRestoredMessage);
  EXPECT_EQ(dialogs.messages()[1].flags, 0u);
}

TEST_F(RegBackupTest, RestoreAsksFirstAndTellsAFailure) {
  UseMachine("",
             "C:\\Program Files\\Fernwick\\FullBackup\\Backup_20080307_140509.reg | text=REGEDIT4\\r\\n\\r\\n"
             "[HKEY_CURRENT_USER\\\\Software\\\\Restored]\\r\\n\"v\"=\"1\"\\r\\n\n"
             "C:\\Program Files\\Fernwick\\FullBackup\\Backup_20080307_140510.reg | text=REGEDIT4\\r\\n\\r\\n"
             "[HKEY_CURRENT_USER\\\\Software\\\\Broken]\\r\\n\"v\"=hex:zz\\r\\n\n");
  const std::string good = std::string(kFullFolder) + "Backup_20080307_140509.reg";
  const std::string damaged = std::string(kFullFolder) + "Backup_20080307_140510.reg";

  EXPECT_FALSE(recovery::RestoreBackupFile(""));
  dialogs.setNextAnswer(IDNO);
  EXPECT_FALSE(recovery::RestoreBackupFile(good));
  EXPECT_FALSE(regclean::test::KeyExists(win::HKEY_CURRENT_USER, "Software\\Restored"));
  dialogs.setNextAnswer(IDYES);
  EXPECT_FALSE(recovery::RestoreBackupFile(damaged));
  dialogs.setNextAnswer(IDYES);
  EXPECT_FALSE(recovery::RestoreBackupFile(std::string(kFullFolder) + "gone.reg"));
  EXPECT_EQ(MessageTexts(dialogs),
            (std::vector<std::string>{recovery::kSelectItemMessage, recovery::kRestoreQuestion,
                                      recovery::kRestoreQuestion, recovery::kRestoreFailedMessage,
                                      recovery::kRestoreQuestion, recovery::kRestoreFailedMessage}));
  EXPECT_EQ(dialogs.messages()[3].flags, 48u);
  // As with regedit, the damaged file's good lines stay applied.
  EXPECT_TRUE(regclean::test::KeyExists(win::HKEY_CURRENT_USER, "Software\\Broken"));
}

TEST_F(RegBackupTest, RemoveDeletesAfterAskingAndTellsAVanishedFile) {
  UseMachine("", "C:\\Program Files\\Fernwick\\RepairBackup\\Repair_20080307_140509.reg | text=REGEDIT4\n");
  const std::string file = std::string(kRepairFolder) + "Repair_20080307_140509.reg";

  EXPECT_FALSE(recovery::RemoveBackupFile(page, ""));
  dialogs.setNextAnswer(IDNO);
  EXPECT_FALSE(recovery::RemoveBackupFile(page, file));
  EXPECT_TRUE(win::FileExists(file));
  dialogs.setNextAnswer(IDYES);
  EXPECT_TRUE(recovery::RemoveBackupFile(page, file));
  EXPECT_FALSE(win::FileExists(file));
  EXPECT_EQ(page.removed, 1);
  EXPECT_EQ(page.messagesBeforeRow, 3u);
  // Listed before, gone now.
  dialogs.setNextAnswer(IDYES);
  EXPECT_FALSE(recovery::RemoveBackupFile(page, file));
  EXPECT_EQ(MessageTexts(dialogs),
            (std::vector<std::string>{recovery::kSelectItemMessage, recovery::kRemoveQuestion,
                                      recovery::kRemoveQuestion, recovery::kRemovedMessage,
                                      recovery::kRemoveQuestion, recovery::kRemoveFailedMessage}));
  EXPECT_EQ(page.removed, 1);
  EXPECT_EQ(dialogs.messages()[1].flags, 52u);
  EXPECT_EQ(dialogs.messages()[5].flags, 48u);
}

// The whole registry, key by key with its values in name order (a restored
// value comes back at the end of its key's list).
using RegistrySnapshot = std::map<std::string, std::map<std::string, std::pair<win::DWORD, std::vector<std::uint8_t>>>>;

RegistrySnapshot Snapshot() {
  win::RegFileContent content;
  std::string error;
  EXPECT_TRUE(win::ReadRegistryTree(*win::CurrentRegistry(), "", content, error)) << error;
  RegistrySnapshot snapshot;
  for (const win::RegFileKey& key : content.keys) {
    auto& values = snapshot[key.path];
    for (const win::RegFileValue& value : key.values) values[value.name] = {value.type, value.data};
  }
  return snapshot;
}

// Keys whose values differ between two snapshots, or that only one has.
std::vector<std::string> ChangedKeys(const RegistrySnapshot& now, const RegistrySnapshot& then) {
  std::vector<std::string> keys;
  for (const auto& [key, values] : now) {
    const auto found = then.find(key);
    if (found == then.end() || found->second != values) keys.push_back(key);
  }
  for (const auto& [key, values] : then)
    if (!now.count(key)) keys.push_back(key);
  return keys;
}

using SampleMachine = SampleMachineCopy;

// The sample machine: scan every section, repair everything found, and
// restore the repair backup from the Backup page; then a full backup made
// before a change restores it too.
TEST_F(RegBackupTest, RepairOnTheSampleMachineIsUndoneFromTheBackupPage) {
  SampleMachine machine;
  ASSERT_TRUE(machine.Ready());
  DriveList.clear();
  BuildNonFixedDriveList(DriveList);
  const RegistrySnapshot before = Snapshot();

  regclean::ScanSession session;
  regclean::test::RecordingView view;
  for (int section = 1; section <= regclean::kSectionCount; ++section) session.SetSectionTicked(section, true);
  ASSERT_EQ(regclean::ScanNow(session, view), regclean::ScanOutcome::ProblemsFound);
  ASSERT_EQ(regclean::RepairCheckedProblems(session, view), regclean::RepairOutcome::Repaired);
  EXPECT_FALSE(ChangedKeys(Snapshot(), before).empty());

  const auto repairs = recovery::ListBackupFiles(recovery::RepairBackupFolder());
  ASSERT_EQ(repairs.size(), 1u);
  dialogs.setNextAnswer(IDYES);
  EXPECT_TRUE(recovery::RestoreBackupFile(repairs[0].FileName));
  EXPECT_EQ(ChangedKeys(Snapshot(), before), std::vector<std::string>{});

  ASSERT_TRUE(recovery::CreateFullBackup(page, now));
  ASSERT_TRUE(regclean::test::WriteText(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                                        "SoundMan", "changed"));
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.DeleteKey("\\Software\\Nordvik Labs"));
  dialogs.setNextAnswer(IDYES);
  EXPECT_TRUE(recovery::RestoreBackupFile(page.created.at(0).FileName));
  EXPECT_EQ(ChangedKeys(Snapshot(), before), std::vector<std::string>{});
}

}  // namespace
