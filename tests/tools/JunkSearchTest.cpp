// The junk-file cleaner's matcher and search: which names are junk, which
// folders are entered, and how a stop ends the search.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "JunkCleanerFixture.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "shell/BusyGuard.h"
#include "shell/DMUnit.h"
#include "tools/Persrec.h"
#include "tools/SysDiskCleanerUnit.h"

namespace {

using tools::TJunkFileType;
using tools::TJunkMatcher;
using tools::TSysDiskCleaner;
using tools::test::FoundPaths;
using tools::test::JunkCleanerTest;
using tools::test::RecordingJunkView;

TEST(JunkMatcher, MatchesExtensionsAndWholeNamesCaseSensitively) {
  const TJunkMatcher defaults(tools::DefaultJunkTypes());
  const TJunkMatcher narrow({{true, "*.tmp", ""}, {true, "thumbs.db", ""}, {false, "*.doc", ""}});
  struct Case {
    const char* name;
    bool inDefaults;
    bool inNarrow;
  };
  const Case cases[] = {
      {"a.tmp", true, true},
      {"A.TMP", false, false},
      {"a.tmp.bak", true, false},  // its extension is ".bak"
      {"thumbs.db", true, true},
      {"Thumbs.db", false, false},
      {"x.doc", false, false},     // an unticked type
      {".tmp", true, true},
      {"readme.txt", true, false},
      {"README.TXT", false, false},
      {"notes.tmpl", false, false},
      {"ntuser.dat.LOG", false, false},
      {"server.log", true, false},
      // Masks with a "*" that is not "*." at the start, and "?", find nothing.
      {"~a.tmp", true, true},
      {"~abc.txt", false, false},
      {"ffastun.ffa", false, false},
      {"chklist.ms", false, false},
      {"a.ab~", false, false},
      {"file0001._dd", false, false},
      {"twain001.mtx", false, false},
      {"noextension", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(defaults.Matches(c.name), c.inDefaults) << c.name;
    EXPECT_EQ(narrow.Matches(c.name), c.inNarrow) << c.name;
  }
}

// Folders with each attribute word; only 16, 18 and 19 are entered. A link
// loop and a link to a searched folder are not followed.
const char* const kWalkFiles =
    "C:\\Program Files\\Fernwick\\\n"
    "C:\\WINDOWS\\junk.tmp\n"
    "C:\\WINDOWS\\Temp\\x.tmp\n"
    "C:\\WINDOWS2\\a.tmp\n"
    "C:\\Plain\\a.tmp | size=10\n"
    "C:\\Plain\\Upper\\A.TMP\n"
    "C:\\Plain\\keep.doc\n"
    "C:\\Hidden\\ | attr=H\n"
    "C:\\Hidden\\h.bak\n"
    "C:\\HiddenReadOnly\\ | attr=RH\n"
    "C:\\HiddenReadOnly\\r.old\n"
    "C:\\ReadOnly\\ | attr=R\n"
    "C:\\ReadOnly\\no.tmp\n"
    "C:\\System\\ | attr=S\n"
    "C:\\System\\no.tmp\n"
    "C:\\HiddenSystem\\ | attr=HS\n"
    "C:\\HiddenSystem\\no.tmp\n"
    "C:\\Archive\\ | attr=A\n"
    "C:\\Archive\\no.tmp\n"
    "C:\\readme.txt\\inside.doc\n"
    "C:\\x.tmp\\inside.doc\n"
    "C:\\drafts.bak\\letter.doc\n"
    "C:\\Loop | link=C:\\\n"
    "C:\\Linked | link=C:\\Plain\n"
    "C:\\linked.tmp | link=C:\\Plain\\keep.doc\n";

// Runs the wizard from the drives to the end of the search.
void Search(TSysDiskCleaner& cleaner, const std::vector<TJunkFileType>& extra = {}) {
  cleaner.FormCreate();
  cleaner.FormShow();
  cleaner.NextBtnClick();
  for (const TJunkFileType& type : extra) cleaner.AddType(type.Mask, type.Description);
  cleaner.NextBtnClick();
}

TEST_F(JunkCleanerTest, SearchEntersPlainHiddenAndHiddenSystemReadOnlyFoldersOnly) {
  TestMachine machine("", kWalkFiles);
  RecordingJunkView view;
  TSysDiskCleaner cleaner(view);
  view.cleaner = &cleaner;
  Search(cleaner, {{true, ".", "dot"}, {true, "*.", "no extension"}, {true, "..", "dots"}});

  EXPECT_EQ(FoundPaths(cleaner), (std::set<std::string>{
                                     "C:\\WINDOWS2\\a.tmp",
                                     "C:\\Plain\\a.tmp",
                                     "C:\\Hidden\\h.bak",
                                     "C:\\HiddenReadOnly\\r.old",
                                 }));
  // In the order found: entries sorted by upper-cased name, depth first.
  ASSERT_EQ(cleaner.Findings.size(), 4u);
  EXPECT_EQ(cleaner.Findings[2].FullPath, "C:\\Plain\\a.tmp");
  EXPECT_EQ(cleaner.Findings[2].FileName, "a.tmp");
  EXPECT_EQ(cleaner.Findings[2].Size, 10u);
  EXPECT_EQ(JunkCleanerState, tools::kJunkSearched);
  EXPECT_EQ(view.scanStatus, (std::vector<std::string>{"0 Scanning", "0 Finished"}));
  // Folders, files and the link show while they are searched; the text is
  // empty at the end.
  ASSERT_FALSE(view.messages.empty());
  EXPECT_EQ(view.messages.back(), "");
  const auto shown = [&view](const char* path) {
    return std::find(view.messages.begin(), view.messages.end(), path) != view.messages.end();
  };
  EXPECT_TRUE(shown("C:\\Hidden"));
  EXPECT_TRUE(shown("C:\\Plain\\keep.doc"));
  EXPECT_FALSE(shown("C:\\ReadOnly"));
  EXPECT_FALSE(shown("C:\\WINDOWS\\junk.tmp"));
}

TEST_F(JunkCleanerTest, StopAtAnEntryTestsNothingAfterIt) {
  TestMachine machine("", kWalkFiles);
  RecordingJunkView view;
  TSysDiskCleaner cleaner(view);
  view.cleaner = &cleaner;
  std::size_t foundAtStop = 99;
  std::size_t messagesAtStop = 0;
  int calls = 0;
  bool busy = false;
  SetProcessMessagesHook([&] {
    if (++calls != 30) return;
    busy = IsBusy();
    cleaner.StopScanBtnClick();
    foundAtStop = cleaner.Findings.size();
    messagesAtStop = view.messages.size();
  });
  Search(cleaner);
  EXPECT_TRUE(busy);
  EXPECT_FALSE(IsBusy());
  EXPECT_GE(foundAtStop, 1u);
  EXPECT_EQ(cleaner.Findings.size(), foundAtStop);
  EXPECT_EQ(view.messages.size(), messagesAtStop + 1);  // only the closing empty text
  EXPECT_LT(cleaner.Findings.size(), 4u);
  EXPECT_EQ(JunkCleanerState, tools::kJunkStopSearch);
  EXPECT_EQ(view.scanStatus, (std::vector<std::string>{"0 Scanning", "0 User Stop"}));
}

// C:, F: and H: fixed; G: fixed without a folder on the host; E: removable.
std::string ThreeDrives() {
  return "[Machine]\r\nOSMajor=5\r\nOSMinor=1\r\nPlatformId=2\r\nUserName=Owner\r\nAnsiCodePage=1252\r\n"
         "[Drives]\r\nC=fixed,drives/C\r\nF=fixed,drives/F\r\nG=fixed\r\nH=fixed,drives/H\r\n"
         "E=removable\r\n";
}

TEST_F(JunkCleanerTest, StopOnTheSecondOfThreeDrives) {
  TestMachine machine("", std::string("C:\\Program Files\\Fernwick\\\nC:\\a.tmp\nC:\\b.tmp\n") +
                              "F:\\A\\c.tmp\nF:\\B\\d.tmp\nH:\\e.tmp\n",
                      ThreeDrives());
  RecordingJunkView view;
  TSysDiskCleaner cleaner(view);
  view.cleaner = &cleaner;
  // G: has no folder on the host: it is not listed.
  cleaner.FormCreate();
  ASSERT_EQ(cleaner.Drives.size(), 3u);
  EXPECT_EQ(cleaner.Drives[1].Drive, "F:");
  EXPECT_EQ(cleaner.Drives[1].Caption, "Local Disk (F:)");
  EXPECT_EQ(cleaner.Drives[2].Drive, "H:");
  SetProcessMessagesHook([&] {
    // Stop once the first file of F: is found.
    if (cleaner.Findings.size() == 3) cleaner.StopScanBtnClick();
  });
  cleaner.FormShow();
  cleaner.NextBtnClick();
  cleaner.NextBtnClick();
  ASSERT_EQ(cleaner.ScanRows.size(), 3u);
  EXPECT_EQ(cleaner.ScanRows[0].Status, "Finished");
  EXPECT_EQ(cleaner.ScanRows[1].Status, "User Stop");
  EXPECT_EQ(cleaner.ScanRows[2].Status, "");
  EXPECT_EQ(view.scanStatus, (std::vector<std::string>{"0 Scanning", "0 Finished", "1 Scanning", "1 User Stop"}));

  cleaner.NextBtnClick();
  ASSERT_EQ(cleaner.Report.size(), 2u);
  EXPECT_EQ(cleaner.Report[0].Drive, "C:");
  EXPECT_EQ(cleaner.Report[0].Count, 2);
  EXPECT_EQ(cleaner.Report[1].Drive, "F:");
  EXPECT_EQ(cleaner.Report[1].Count, 1);
  EXPECT_EQ(view.countTotal, "3");
}

TEST_F(JunkCleanerTest, QuitDuringTheSearchEndsItAndThenTheProgram) {
  TestMachine machine("", kWalkFiles);
  RecordingJunkView view;
  TSysDiskCleaner cleaner(view);
  view.cleaner = &cleaner;
  const tools::test::TerminationWatch ending;
  int calls = 0;
  std::size_t foundAtQuit = 99;
  SetProcessMessagesHook([&] {
    if (++calls != 30) return;
    QuitWhenIdle();
    foundAtQuit = cleaner.Findings.size();
  });
  Search(cleaner);
  EXPECT_TRUE(ending.terminated);
  EXPECT_FALSE(ending.whileBusy);
  EXPECT_EQ(cleaner.Findings.size(), foundAtQuit);
  EXPECT_EQ(JunkCleanerState, tools::kJunkStopSearch);
  EXPECT_EQ(cleaner.ScanRows[0].Status, "User Stop");
}

TEST_F(JunkCleanerTest, SearchGoesOnWithTheTypesInMemoryWhenTheyCannotBeSaved) {
  TestMachine machine("", kWalkFiles);
  RecordingJunkView view;
  TSysDiskCleaner cleaner(view);
  view.cleaner = &cleaner;
  cleaner.FormCreate();
  cleaner.NextBtnClick();
  ASSERT_TRUE(win::SetFileAttributes(tools::JunkFilePath(), win::FILE_ATTRIBUTE_READONLY));
  cleaner.SelectAllTypes(false);
  cleaner.AddType(" keep.doc ", "documents");
  cleaner.NextBtnClick();
  EXPECT_EQ(FoundPaths(cleaner), (std::set<std::string>{"C:\\Plain\\keep.doc"}));
  std::vector<TJunkFileType> saved;
  tools::LoadJunkTypes(saved);
  EXPECT_EQ(saved.size(), 47u);
  EXPECT_TRUE(saved[0].Checked);
}

}  // namespace
