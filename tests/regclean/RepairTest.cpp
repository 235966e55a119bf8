#include "regclean/RepairDriverUnit.h"

#include <regex>

#include "RegcleanFixture.h"
#include "platform/files/FileSystem.h"
#include "regclean/ScanDriverUnit.h"
#include "regclean/ScanResultsUnit.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"

namespace regclean::test {
namespace {

const char* const kDlls = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const char* const kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kDllsPath = std::string("HKEY_LOCAL_MACHINE\\") + kDlls;
const std::string kUninstallPath = std::string("HKEY_LOCAL_MACHINE\\") + kUninstall;
const char* const kBackupFolder = "C:\\Program Files\\Fernwick\\RepairBackup\\";

// Shared DLL values C:\Gone\0.dll ... and uninstall entries App0 ... whose
// programs are missing.
std::string ProblemMachine(int dlls, int entries) {
  std::string reg = "[" + kDllsPath + "]\r\n";
  for (int i = 0; i < dlls; ++i) reg += "\"C:\\\\Gone\\\\" + std::to_string(i) + ".dll\"=dword:00000001\r\n";
  for (int i = 0; i < entries; ++i) {
    reg += "[" + kUninstallPath + "\\App" + std::to_string(i) + "]\r\n";
    reg += "\"DisplayName\"=\"App " + std::to_string(i) + "\"\r\n";
    reg += "\"UninstallString\"=\"\\\"C:\\\\Gone\\\\u" + std::to_string(i) + ".exe\\\" /S\"\r\n";
  }
  return reg;
}

std::string FileText(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(path, bytes)) return "<missing>";
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    bytes.erase(bytes.begin(), bytes.begin() + 2);
    return win::Utf16LeBytesToUtf8(bytes);
  }
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> BackupFiles() {
  std::vector<std::string> names;
  win::FindData data;
  auto finder = win::FindFirstFile(std::string(kBackupFolder) + "*.reg", data);
  if (!finder) return names;
  do names.push_back(data.name);
  while (finder->Next(data));
  return names;
}

class RepairTest : public RegcleanTest {
 protected:
  void Scan(int dlls, int entries, const std::string& config = "") {
    UseMachine(ProblemMachine(dlls, entries), "", config);
    // Only the two sections these machines are made for.
    for (int section = 1; section <= kSectionCount; ++section)
      session.SetSectionTicked(section, section == 10 || section == 16);
    ASSERT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
  }
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < session.RepairLog.Count(); ++i) {
      const TRepairRec& line = session.RepairLog.GetItem(i).Content;
      lines.push_back(line.KeyPath + " | " + line.Result);
    }
    return lines;
  }
  bool DllPresent(int i) {
    return ValueExists(win::HKEY_LOCAL_MACHINE, kDlls, "C:\\Gone\\" + std::to_string(i) + ".dll");
  }
  bool EntryCommandPresent(int i) {
    return ValueExists(win::HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\App" + std::to_string(i),
                       "UninstallString");
  }

  ScanSession session;
  RecordingView view;
  ScriptedDialogs dialogs;
};

TEST_F(RepairTest, BacksUpThenDeletesAndLogsEveryTickedProblem) {
  Scan(2, 1);
  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);

  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text,
            "The registry was successfully backed up at the folder:\r"
            "C:\\Program Files\\Fernwick\\RepairBackup\\\r\r"
            "You can use the utilities in Registry Backup to restore the registry to a previous "
            "state.\rPress OK button to fix the problems now!");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick - Registry Backup Finished");
  EXPECT_EQ(dialogs.messages()[0].flags, 64u);

  const std::vector<std::string> files = BackupFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(Repair_\d{8}_\d{6}\.reg)"))) << files[0];
  EXPECT_EQ(FileText(kBackupFolder + files[0]),
            "Windows Registry Editor Version 5.00\r\n"
            "[" + kDllsPath + "]\r\n"
            "\"C:\\\\Gone\\\\0.dll\"=dword:00000001\r\n"
            "[" + kDllsPath + "]\r\n"
            "\"C:\\\\Gone\\\\1.dll\"=dword:00000001\r\n"
            "[" + kUninstallPath + "\\App0]\r\n"
            "\"UninstallString\"=\"\\\"C:\\\\Gone\\\\u0.exe\\\" /S\"\r\n");

  EXPECT_FALSE(DllPresent(0));
  EXPECT_FALSE(DllPresent(1));
  EXPECT_FALSE(EntryCommandPresent(0));
  EXPECT_TRUE(KeyExists(win::HKEY_LOCAL_MACHINE, kDlls));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{kDllsPath + " | Repaired Successfully",
                                                  kDllsPath + " | Repaired Successfully",
                                                  kUninstallPath + "\\App0 | Repaired Successfully"}));
  EXPECT_EQ(view.repairStatus, (std::vector<std::string>{kDllsPath, kDllsPath, kUninstallPath + "\\App0"}));
  EXPECT_EQ(view.dialogShown, 1);
  EXPECT_EQ(view.dialogHidden, 1);
  EXPECT_EQ(view.steps.back(), 3);
  EXPECT_FALSE(session.Repairing());
}

TEST_F(RepairTest, TheBackupShowsTheWaitCursorWhileItIsMade) {
  Scan(2, 1);
  std::vector<bool> shown;
  SetWaitCursorDisplay([&](bool on) { shown.push_back(on); });
  EXPECT_TRUE(BackupCheckedProblems(session).ok);
  SetWaitCursorDisplay({});
  EXPECT_EQ(shown, (std::vector<bool>{true, false}));
}

TEST_F(RepairTest, WindowsNineFamilyWritesTheOlderHeader) {
  PlatformCode = 2;
  Scan(1, 0);
  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  const std::vector<std::string> files = BackupFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(FileText(kBackupFolder + files[0]),
            "REGEDIT4\r\n[" + kDllsPath + "]\r\n\"C:\\\\Gone\\\\0.dll\"=dword:00000001\r\n");
}

// The older file form holds the code page only: a name outside it would be
// restored as another name, so that problem is left out of the backup and
// kept; the rest is backed up and repaired as usual.
TEST_F(RepairTest, OlderFileFormKeepsAProblemWhoseNameItCannotHold) {
  PlatformCode = 2;
  UseMachine(ProblemMachine(1, 0), "");
  const std::string name = "C:\\Gone\\\xE6\x97\xA5.dll";
  ASSERT_TRUE(WriteValue(win::HKEY_LOCAL_MACHINE, kDlls, name, win::REG_DWORD, {1, 0, 0, 0}));
  for (int section = 1; section <= kSectionCount; ++section)
    session.SetSectionTicked(section, section == 10);
  ASSERT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
  ASSERT_EQ(session.GetTotalProblemCount(), 2);

  EXPECT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].caption, kBackedUpCaption);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{kDllsPath + " | Repaired Successfully",
                                                  kDllsPath + " | Error: Not Repaired"}));
  ASSERT_EQ(BackupFiles().size(), 1u);
  EXPECT_EQ(FileText(kBackupFolder + BackupFiles()[0]),
            "REGEDIT4\r\n[" + kDllsPath + "]\r\n\"C:\\\\Gone\\\\0.dll\"=dword:00000001\r\n");
  EXPECT_FALSE(DllPresent(0));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, kDlls, name));
}

// Win32s gets an empty first line, which regedit refuses: no backup.
TEST_F(RepairTest, FileWithoutAHeaderIsNoBackup) {
  PlatformCode = 1;
  Scan(1, 0);
  const BackupResult backup = BackupCheckedProblems(session);
  EXPECT_FALSE(backup.ok);
  EXPECT_FALSE(backup.written);
  EXPECT_TRUE(BackupFiles().empty());
}

TEST_F(RepairTest, NoBackupWhenSwitchedOff) {
  Settings.NotAutoBackup = true;
  Scan(1, 1);
  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  EXPECT_TRUE(dialogs.messages().empty());
  EXPECT_TRUE(BackupFiles().empty());
  EXPECT_FALSE(DllPresent(0));
}

TEST_F(RepairTest, UnwritableBackupAsksAndDefaultsToNoRepair) {
  Scan(1, 1);
  ASSERT_TRUE(win::WriteFileBytes("C:\\Program Files\\Fernwick\\RepairBackup", {'x'}));

  EXPECT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Declined);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text,
            "The registry backup could not be written to the folder:\r"
            "C:\\Program Files\\Fernwick\\RepairBackup\\\r\r"
            "Do you want to repair the problems without a backup?");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, 308u);
  EXPECT_TRUE(DllPresent(0));
  EXPECT_TRUE(EntryCommandPresent(0));
  EXPECT_EQ(session.RepairLog.Count(), 0);
  EXPECT_EQ(view.dialogShown, 0);
  EXPECT_FALSE(session.Repairing());

  dialogs.clear();
  dialogs.setNextAnswer(IDYES);
  EXPECT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  ASSERT_EQ(dialogs.messages().size(), 1u);  // no "backed up" message follows
  EXPECT_FALSE(DllPresent(0));
  EXPECT_FALSE(EntryCommandPresent(0));
}

TEST_F(RepairTest, TwoBackupsInOneSecondGetTwoFiles) {
  Scan(1, 0);
  const BackupResult first = BackupCheckedProblems(session);
  const BackupResult second = BackupCheckedProblems(session);
  ASSERT_TRUE(first.written);
  ASSERT_TRUE(second.written);
  EXPECT_NE(first.fileName, second.fileName);
  EXPECT_EQ(BackupFiles().size(), 2u);
  EXPECT_EQ(FileText(first.fileName), FileText(second.fileName));
}

TEST_F(RepairTest, NothingTickedNothingDeletedOrLogged) {
  Settings.SelectAll = false;
  Scan(2, 2);
  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  EXPECT_EQ(session.RepairLog.Count(), 0);
  EXPECT_TRUE(BackupFiles().empty());  // only the header: no file, the message still shows
  EXPECT_EQ(dialogs.messages().size(), 1u);
  EXPECT_TRUE(DllPresent(0));
  EXPECT_TRUE(DllPresent(1));
  EXPECT_TRUE(EntryCommandPresent(1));
}

TEST_F(RepairTest, UntickedProblemStaysAndIsNotBackedUp) {
  Scan(3, 0);
  ASSERT_TRUE(SetProblemChecked(session, 0, 1, false));
  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  EXPECT_FALSE(DllPresent(0));
  EXPECT_TRUE(DllPresent(1));
  EXPECT_FALSE(DllPresent(2));
  EXPECT_EQ(session.RepairLog.Count(), 2);
  const std::vector<std::string> files = BackupFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(FileText(kBackupFolder + files[0]).find("1.dll"), std::string::npos);
}

TEST_F(RepairTest, CancelAfterKProblemsStopsBeforeTheNext) {
  for (int k : {0, 1, 3, 4}) {
    SCOPED_TRACE(k);
    UseMachine(ProblemMachine(4, 2), "");
    ScanSession run;
    ASSERT_EQ(ScanNow(run, view), ScanOutcome::ProblemsFound);
    SetProcessMessagesHook([&] {
      if (run.Repairing() && run.RepairLog.Count() == k) CancelRepair();
    });
    ASSERT_EQ(RepairCheckedProblems(run, view), RepairOutcome::Repaired);
    SetProcessMessagesHook(nullptr);
    EXPECT_EQ(run.RepairLog.Count(), k);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(DllPresent(i), i >= k) << i;
    EXPECT_TRUE(EntryCommandPresent(0));  // a later section never starts
    EXPECT_TRUE(EntryCommandPresent(1));
    EXPECT_EQ(view.dialogHidden, view.dialogShown);
    EXPECT_EQ(ScanState, 4);
    EXPECT_TRUE(FinishScan(run, view));
    EXPECT_EQ(ScanState, 0);
  }
}

TEST_F(RepairTest, EntryThatCannotBeDeletedIsLoggedAsAnError) {
  Scan(0, 2,
       TestMachine::DefaultConfigText() + "[ReadOnlyKeys]\r\n1=" + kUninstallPath + "\\App1\r\n");
  // App0's command disappears before the repair: already gone is success.
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("\\" + std::string(kUninstall) + "\\App0", false));
  ASSERT_TRUE(registry.DeleteValue("UninstallString"));
  registry.CloseKey();

  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{kUninstallPath + "\\App0 | Repaired Successfully",
                                                  kUninstallPath + "\\App1 | Error: Not Repaired"}));
  EXPECT_TRUE(EntryCommandPresent(1));
  EXPECT_FALSE(EntryCommandPresent(0));
}

TEST_F(RepairTest, FileTargetsAreDeletedButNotBackedUp) {
  UseMachine("", "C:\\Links\\a.lnk\nC:\\Links\\b.lnk\n");
  RegistrySection shortcuts;
  shortcuts.scanners = {[](ScanContext& context) {
    for (const char* file : {"C:\\Links\\a.lnk", "C:\\Links\\b.lnk"}) {
      TRegistryContent problem;
      problem.KeyPath = file;
      problem.KeyName = file;
      AddProblem(context, problem);
    }
  }};
  shortcuts.target = [](const TRegistryContent& item) {
    return RepairTarget{RepairTarget::Kind::File, item.KeyName, "", item.KeyPath};
  };
  ScopedSectionOverride plugged(8, shortcuts);
  ASSERT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  EXPECT_TRUE(BackupFiles().empty());
  EXPECT_EQ(dialogs.messages().size(), 1u);
  EXPECT_FALSE(win::FileExists("C:\\Links\\a.lnk"));
  EXPECT_FALSE(win::FileExists("C:\\Links\\b.lnk"));
  EXPECT_TRUE(win::DirectoryExists("C:\\Links"));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"C:\\Links\\a.lnk | Repaired Successfully",
                                                  "C:\\Links\\b.lnk | Repaired Successfully"}));
}

TEST_F(RepairTest, ResultsTakeNoInputWhileTheRepairRuns) {
  Scan(3, 0);
  std::vector<bool> accepted;
  SetProcessMessagesHook([&] {
    if (!session.Repairing()) return;
    accepted.push_back(SetProblemChecked(session, 10, 2, false));
    accepted.push_back(ExcludeProblem(session, 10, 2) != ExcludeResult::Refused);
    accepted.push_back(ScanNow(session, view) != ScanOutcome::Refused);
    accepted.push_back(RepairCheckedProblems(session, view) != RepairOutcome::Refused);
    accepted.push_back(FinishScan(session, view));
  });
  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  ASSERT_FALSE(accepted.empty());
  for (bool a : accepted) EXPECT_FALSE(a);
  EXPECT_EQ(session.RepairLog.Count(), 3);
}

TEST_F(RepairTest, FinishClearsEverythingAndTicksEverySection) {
  Scan(1, 1);
  SetAllSectionsTicked(session, view, false);
  ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
  ASSERT_TRUE(FinishScan(session, view));
  EXPECT_EQ(session.RepairLog.Count(), 0);
  EXPECT_TRUE(session.ResultRows.empty());
  EXPECT_EQ(session.GetTotalProblemCount(), 0);
  EXPECT_EQ(session.SectionContents[0].Count(), 0);
  EXPECT_EQ(session.TickedSectionCount(), 17);
  EXPECT_EQ(view.steps.back(), 0);
  EXPECT_EQ(RepairCheckedProblems(session, view), RepairOutcome::NothingToRepair);
}

TEST(BackupTimeStampTest, IsYearMonthDayUnderscoreHourMinuteSecond) {
  TDateTime time;
  time.Year = 2008;
  time.Month = 3;
  time.Day = 7;
  time.Hour = 4;
  time.Minute = 5;
  time.Second = 9;
  EXPECT_EQ(BackupTimeStamp(time), "20080307_040509");
}

}  // namespace
}  // namespace regclean::test
