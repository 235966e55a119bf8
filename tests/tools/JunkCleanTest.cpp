// The junk-file cleaner's wizard steps, report and clean.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "JunkCleanerFixture.h"
#include "RecycleBinRecords.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "shell/BusyGuard.h"
#include "shell/DMUnit.h"
#include "shell/Dialogs.h"
#include "tools/DetailTempFileUnit.h"
#include "tools/SysDiskCleanerUnit.h"

namespace {

using tools::CleanMode;
using tools::TSysDiskCleaner;
using tools::test::JunkCleanerTest;
using tools::test::RecordingJunkView;

const char* const kFiles =
    "C:\\Program Files\\Fernwick\\\n"
    "C:\\Temp\\a.tmp | text=one\n"
    "C:\\Temp\\b.bak | text=two\n"
    "C:\\Temp\\locked.old | attr=R | text=three\n"
    "C:\\Other\\a.tmp | text=four\n"
    "C:\\Other\\keep.doc\n"
    "C:\\Dest\\a.tmp | text=already here\n";

// Which clean rows carry which status, as "path status".
std::vector<std::string> CleanLines(const TSysDiskCleaner& cleaner) {
  std::vector<std::string> lines;
  for (const tools::TCleanRow& row : cleaner.CleanRows) lines.push_back(row.Path + " " + row.Status);
  return lines;
}

std::string Text(const std::string& path) {
  std::vector<std::uint8_t> data;
  if (!win::ReadFileBytes(path, data)) return "<missing>";
  return std::string(data.begin(), data.end());
}

class JunkWizard : public JunkCleanerTest {
 protected:
  void SetUp() override {
    JunkCleanerTest::SetUp();
    view.cleaner = &cleaner;
  }
  // Drives, types, search, report, options: the wizard stands on page 4.
  void ToOptions() {
    cleaner.FormCreate();
    cleaner.FormShow();
    for (int page = 1; page <= tools::kCleanupOptionsPage; ++page) cleaner.NextBtnClick();
    ASSERT_EQ(cleaner.Page(), tools::kCleanupOptionsPage);
    // C:\Dest holds a junk file of its own: the destination is not cleaned.
    ASSERT_EQ(cleaner.Findings.size(), 5u);
  }
  RecordingJunkView view;
  TSysDiskCleaner cleaner{view};
  ScriptedDialogs dialogs;
};

TEST_F(JunkWizard, StepMachine) {
  TestMachine machine("", kFiles);
  struct Step {
    const char* press;  // "next" or "back"
    int page;
    bool back;
    const char* caption;
  };
  const Step steps[] = {
      {"next", 1, true, "Next>"},   {"next", 2, true, "Next>"},   {"back", 1, true, "Next>"},
      {"back", 0, false, "Next>"},  {"back", 0, false, "Next>"},  {"next", 1, true, "Next>"},
      {"next", 2, true, "Next>"},   {"next", 3, true, "Next>"},   {"next", 4, true, "Next>"},
      {"next", 5, false, "Finish"}, {"back", 5, false, "Finish"}, {"next", 0, false, "Next>"},
  };
  cleaner.FormCreate();
  EXPECT_EQ(cleaner.Page(), 0);
  EXPECT_FALSE(cleaner.BackEnabled());
  int n = 0;
  for (const Step& step : steps) {
    if (std::string(step.press) == "next") cleaner.NextBtnClick();
    else cleaner.BackBtnClick();
    EXPECT_EQ(cleaner.Page(), step.page) << "step " << n;
    EXPECT_EQ(cleaner.BackEnabled(), step.back) << "step " << n;
    EXPECT_TRUE(cleaner.NextEnabled()) << "step " << n;
    EXPECT_EQ(cleaner.NextCaption(), step.caption) << "step " << n;
    ++n;
  }
  // The recycle bin was the mode: nothing was asked.
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(JunkWizard, NextAndBackDoNothingWhileSearchingOrCleaning) {
  TestMachine machine("", kFiles);
  std::vector<std::string> seen;
  SetProcessMessagesHook([&] {
    const int page = cleaner.Page();
    cleaner.NextBtnClick();
    cleaner.BackBtnClick();
    if (cleaner.Page() != page) seen.push_back("moved from " + std::to_string(page));
    if (!IsBusy() || PageSwitchAllowed()) seen.push_back("page switch allowed");
  });
  ToOptions();
  cleaner.NextBtnClick();
  EXPECT_TRUE(seen.empty()) << seen.front();
  EXPECT_EQ(cleaner.Page(), tools::kCleanupPage);
  EXPECT_EQ(cleaner.CleanRows.size(), 5u);
  EXPECT_FALSE(IsBusy());
}

TEST_F(JunkWizard, DeleteAsksFirstAndTellsEachFile) {
  TestMachine machine("", kFiles);
  ToOptions();
  cleaner.ChooseDeleteMode();
  dialogs.setNextAnswer(IDYES);
  cleaner.NextBtnClick();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text,
            "The files will be permanently deleted and can not recovered!\r\rAre you sure to proceed?");
  EXPECT_EQ(dialogs.messages()[0].caption, "Junk File Cleaner - Delete Confirmation");
  EXPECT_EQ(dialogs.messages()[0].flags, 308u);
  EXPECT_EQ(CleanLines(cleaner), (std::vector<std::string>{
                                     "C:\\Dest\\a.tmp File Deleted",
                                     "C:\\Other\\a.tmp File Deleted",
                                     "C:\\Temp\\a.tmp File Deleted",
                                     "C:\\Temp\\b.bak File Deleted",
                                     "C:\\Temp\\locked.old Deleted Error",
                                 }));
  EXPECT_FALSE(win::FileExists("C:\\Temp\\a.tmp"));
  EXPECT_EQ(Text("C:\\Temp\\locked.old"), "three");
  EXPECT_TRUE(win::FileExists("C:\\Other\\keep.doc"));
  EXPECT_EQ(view.progressShown, (std::vector<bool>{true, false}));

  // Cleaning again tries the same files and says what is gone.
  cleaner.CleanJunkFiles();
  EXPECT_EQ(CleanLines(cleaner)[0], "C:\\Dest\\a.tmp Deleted Error");
}

TEST_F(JunkWizard, AnsweringNoCleansNothing) {
  TestMachine machine("", kFiles);
  ToOptions();
  cleaner.ChooseDeleteMode();
  dialogs.setNextAnswer(IDNO);
  cleaner.NextBtnClick();
  EXPECT_EQ(cleaner.Page(), tools::kCleanupPage);
  EXPECT_EQ(cleaner.NextCaption(), "Finish");
  EXPECT_TRUE(cleaner.CleanRows.empty());
  EXPECT_EQ(Text("C:\\Temp\\a.tmp"), "one");
  EXPECT_EQ(JunkCleanerState, tools::kJunkSearched);
}

TEST_F(JunkWizard, RecycledFilesLandInTheBinOfTheDrive) {
  TestMachine machine("", kFiles);
  ToOptions();
  cleaner.ChooseRecycleMode();
  cleaner.NextBtnClick();
  EXPECT_TRUE(dialogs.messages().empty());
  for (const std::string& line : CleanLines(cleaner)) EXPECT_NE(line.find(" File Deleted"), std::string::npos) << line;
  // Each can be put back by its record.
  std::map<std::string, std::string> recycled;
  for (const RecycledItem& item : ReadInfo2('C').items) recycled[item.originalPath] = Text(item.inBin);
  EXPECT_EQ(recycled, (std::map<std::string, std::string>{{"C:\\Dest\\a.tmp", "already here"},
                                                          {"C:\\Other\\a.tmp", "four"},
                                                          {"C:\\Temp\\a.tmp", "one"},
                                                          {"C:\\Temp\\b.bak", "two"},
                                                          {"C:\\Temp\\locked.old", "three"}}));
  EXPECT_FALSE(win::FileExists("C:\\Temp\\b.bak"));
}

TEST_F(JunkWizard, MovedFilesOfOneNameAreAllKept) {
  TestMachine machine("", std::string(kFiles) + "C:\\Junk\\\n");
  ToOptions();
  dialogs.setNextFileName("C:\\Junk");
  cleaner.ChooseMoveMode();
  ASSERT_EQ(dialogs.fileRequests().size(), 1u);
  EXPECT_EQ(dialogs.fileRequests()[0].request.Title, "Select Directory");
  EXPECT_EQ(cleaner.MoveFolder, "C:\\Junk");
  cleaner.NextBtnClick();
  EXPECT_EQ(CleanLines(cleaner), (std::vector<std::string>{
                                     "C:\\Dest\\a.tmp File Moved",
                                     "C:\\Other\\a.tmp File Moved",
                                     "C:\\Temp\\a.tmp File Moved",
                                     "C:\\Temp\\b.bak File Moved",
                                     "C:\\Temp\\locked.old File Moved",
                                 }));
  EXPECT_EQ(Text("C:\\Junk\\a.tmp"), "already here");
  EXPECT_EQ(Text("C:\\Junk\\a (2).tmp"), "four");
  EXPECT_EQ(Text("C:\\Junk\\a (3).tmp"), "one");
}

TEST_F(JunkWizard, MovingWithoutADestinationMovesNothing) {
  TestMachine machine("", kFiles);
  ToOptions();
  dialogs.setNextFileName(std::nullopt);  // the browser is cancelled
  cleaner.ChooseMoveMode();
  EXPECT_EQ(cleaner.MoveFolder, "");
  // Next asks for the folder again; cancelled, the wizard stays.
  dialogs.setNextFileName(std::nullopt);
  cleaner.NextBtnClick();
  EXPECT_EQ(dialogs.fileRequests().size(), 2u);
  EXPECT_EQ(cleaner.Page(), tools::kCleanupOptionsPage);
  EXPECT_TRUE(cleaner.CleanRows.empty());
  EXPECT_EQ(Text("C:\\Temp\\a.tmp"), "one");
  cleaner.CleanJunkFiles();  // even when called, nothing goes to no folder
  ASSERT_EQ(cleaner.CleanRows.size(), 5u);
  for (const std::string& line : CleanLines(cleaner)) EXPECT_NE(line.find(" Moved Error"), std::string::npos) << line;
  EXPECT_EQ(Text("C:\\Temp\\a.tmp"), "one");

  // A destination that went away in the meantime: the same.
  cleaner.MoveFolder = "C:\\Gone";
  cleaner.CleanJunkFiles();
  EXPECT_EQ(CleanLines(cleaner)[2], "C:\\Temp\\a.tmp Moved Error");
  EXPECT_EQ(Text("C:\\Temp\\a.tmp"), "one");
}

TEST_F(JunkWizard, StopAfterSomeFilesCleansNoMore) {
  TestMachine machine("", kFiles);
  ToOptions();
  std::size_t cleanedAtStop = 99;
  int calls = 0;
  SetProcessMessagesHook([&] {
    if (++calls != 3) return;
    cleaner.StopRepairBtnClick();
    cleanedAtStop = cleaner.CleanRows.size();
  });
  cleaner.NextBtnClick();
  EXPECT_EQ(cleanedAtStop, 2u);
  EXPECT_EQ(cleaner.CleanRows.size(), 2u);
  EXPECT_EQ(JunkCleanerState, tools::kJunkStopClean);
  EXPECT_EQ(Text("C:\\Temp\\a.tmp"), "one");
  EXPECT_FALSE(win::FileExists("C:\\Other\\a.tmp"));
}

TEST_F(JunkWizard, TrayQuitDuringACleanEndsItAndThenTheProgram) {
  TestMachine machine("", kFiles);
  ToOptions();
  const tools::test::TerminationWatch ending;
  int calls = 0;
  SetProcessMessagesHook([&] {
    if (++calls == 3) QuitWhenIdle();
  });
  cleaner.NextBtnClick();
  EXPECT_EQ(JunkCleanerState, tools::kJunkStopClean);
  EXPECT_EQ(CleanLines(cleaner), (std::vector<std::string>{"C:\\Dest\\a.tmp File Deleted",
                                                           "C:\\Other\\a.tmp File Deleted"}));
  EXPECT_TRUE(ending.terminated);
  EXPECT_FALSE(ending.whileBusy);
  EXPECT_EQ(Text("C:\\Temp\\a.tmp"), "one");
}

TEST_F(JunkWizard, UntickedReportRowsAreNotCleaned) {
  TestMachine machine("", "C:\\Program Files\\Fernwick\\\nC:\\a.tmp | size=3000\nF:\\b.tmp | size=5000\n",
                      "[Machine]\r\nOSMajor=5\r\nOSMinor=1\r\nPlatformId=2\r\nUserName=Owner\r\n"
                      "[Drives]\r\nC=fixed,drives/C\r\nF=fixed,drives/F\r\n");
  cleaner.FormCreate();
  for (int page = 1; page <= tools::kReportPage; ++page) cleaner.NextBtnClick();
  ASSERT_EQ(cleaner.Report.size(), 2u);
  EXPECT_EQ(view.countTotal, "2");
  EXPECT_EQ(view.sizeTotal, "6 KB");  // 2 KB and 4 KB
  cleaner.SetReportChecked(0, false);
  EXPECT_EQ(view.countTotal, "1");
  EXPECT_EQ(view.sizeTotal, "4 KB");
  cleaner.NextBtnClick();
  cleaner.NextBtnClick();
  EXPECT_EQ(CleanLines(cleaner), (std::vector<std::string>{"F:\\b.tmp File Deleted"}));
  EXPECT_TRUE(win::FileExists("C:\\a.tmp"));
}

TEST_F(JunkWizard, SizesAreSixtyFourBits) {
  TestMachine machine("", "C:\\Program Files\\Fernwick\\\nC:\\big.dmp | size=5000000000\n");
  cleaner.FormCreate();
  for (int page = 1; page <= tools::kReportPage; ++page) cleaner.NextBtnClick();
  ASSERT_EQ(cleaner.Report.size(), 1u);
  EXPECT_EQ(cleaner.Report[0].SizeText(), "4882812 KB");
  EXPECT_EQ(view.sizeTotal, "4882812 KB");
  const std::vector<tools::TTempFileInfo> files = cleaner.FilesOf("C:");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].Size, 5000000000u);
  EXPECT_EQ(tools::DetailLines(files[0]),
            (std::vector<std::string>{"FileName: big.dmp", "Path: C:\\big.dmp", "Size: 4882812KB"}));
}

TEST_F(JunkWizard, TypesAreAddedEditedAndRemoved) {
  TestMachine machine("", kFiles);
  cleaner.FormCreate();
  cleaner.NextBtnClick();
  ASSERT_EQ(cleaner.Types.size(), 47u);
  cleaner.AddType("*.doc", std::string(120, 'd'));
  ASSERT_EQ(cleaner.Types.size(), 48u);
  EXPECT_EQ(cleaner.Types[47].Description.size(), 100u);
  cleaner.EditType(47, "keep.doc", "kept");
  EXPECT_EQ(cleaner.Types[47].Mask, "keep.doc");
  dialogs.setNextAnswer(IDNO);
  EXPECT_FALSE(cleaner.DeleteType(0));
  dialogs.setNextAnswer(IDYES);
  EXPECT_TRUE(cleaner.DeleteType(0));
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[1].text, "Are you sure to remove the selected item(s)?");
  EXPECT_EQ(dialogs.messages()[1].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[1].flags, 52u);
  EXPECT_EQ(cleaner.Types.size(), 47u);
  EXPECT_FALSE(cleaner.DeleteType(-1));
  cleaner.SetTypeChecked(4, false);  // "*.tmp"
  // The changes reach the file when the search starts.
  cleaner.NextBtnClick();
  std::vector<tools::TJunkFileType> saved;
  tools::LoadJunkTypes(saved);
  ASSERT_EQ(saved.size(), 47u);
  EXPECT_EQ(saved[0].Mask, "*.$$$");
  EXPECT_EQ(saved[46].Mask, "keep.doc");
  EXPECT_FALSE(saved[4].Checked);
  EXPECT_EQ(tools::test::FoundPaths(cleaner),
            (std::set<std::string>{"C:\\Other\\keep.doc", "C:\\Temp\\b.bak", "C:\\Temp\\locked.old"}));
}

}  // namespace
