#include "regclean/ScanDriverUnit.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "RegcleanFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/system/System.h"
#include "regclean/IgnoreFileUnit.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ScanResultsUnit.h"
#include "shell/DMUnit.h"
#include "shell/Dialogs.h"
#include "shell/ProgramStartUnit.h"

namespace regclean::test {
namespace {

class ScanDriverTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    UseMachine("", "");
    session.tickCount = [this] { return now; };
  }
  void TickOnly(const std::vector<int>& sections) {
    SetAllSectionsTicked(session, view, false);
    for (int s : sections) ToggleSection(session, view, s);
    view.frames.clear();
  }

  ScanSession session;
  RecordingView view;
  win::DWORD now = 5000;
  ScriptedDialogs dialogs;
};

TEST_F(ScanDriverTest, NothingTickedShowsTheMessageAndChangesNothing) {
  FakeSections fakes;
  TickOnly({});
  session.SectionContents[3].Add();
  EXPECT_EQ(ScanNow(session, view), ScanOutcome::NothingTicked);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Please select the specific options before scanning.");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, 48u);
  EXPECT_TRUE(view.steps.empty());
  EXPECT_TRUE(fakes.calls.empty());
  EXPECT_EQ(session.SectionContents[3].Count(), 1);
}

TEST_F(ScanDriverTest, PercentageAfterEveryPosition) {
  struct Case {
    std::vector<int> ticked;
    std::vector<int> percents;  // after positions 1..17
  };
  const std::vector<Case> cases = {
      {{9}, {0, 0, 0, 0, 0, 0, 0, 0, 100, 100, 100, 100, 100, 100, 100, 100, 100}},
      {{1, 2, 3}, {33, 67, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100}},
      // Eighths: halves go to the even neighbour.
      {{1, 2, 3, 4, 5, 6, 7, 8}, {12, 25, 38, 50, 62, 75, 88, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100}},
      {{17}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100}},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17},
       {6, 12, 18, 24, 29, 35, 41, 47, 53, 59, 65, 71, 76, 82, 88, 94, 100}},
  };
  for (const Case& c : cases) {
    FakeSections fakes;
    view = RecordingView();
    TickOnly(c.ticked);
    ScanNow(session, view);
    std::vector<std::string> expected{"Total Process:"};
    for (int p : c.percents) expected.push_back("Total Process: " + std::to_string(p) + "%");
    EXPECT_EQ(view.totalProcess, expected);
    EXPECT_EQ(fakes.SectionsCalled(), c.ticked);
  }
}

TEST_F(ScanDriverTest, ScanWithProblemsEndsOnTheResultsStep) {
  FakeSections fakes({{2, 1}, {10, 2}});
  fakes.onScan = [this](int section) {
    if (section == 10) now += 61'000;
  };
  VisitedCount = 9;
  ItemsProcessed = 9;
  ProblemIndex = 9;
  EXPECT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
  EXPECT_EQ(VisitedCount, 0);
  EXPECT_EQ(ItemsProcessed, 0);
  EXPECT_EQ(ProblemIndex, 3);

  EXPECT_EQ(view.steps, (std::vector<int>{1, 2}));
  EXPECT_EQ(view.scanTimes.front(), "00:00:00");
  EXPECT_EQ(view.scanTimes.back(), "00:01:01");
  EXPECT_EQ(view.elapsed, "Elapsed time: 1 minute 1 second      ");
  EXPECT_FALSE(view.animationRunning);
  EXPECT_FALSE(view.elapsedTimerRunning);
  EXPECT_FALSE(session.Scanning());
  EXPECT_EQ(session.CurrentSection(), -1);

  ASSERT_EQ(session.ResultRows.size(), 3u);
  EXPECT_EQ(session.ResultRows[0].caption, "All Problems");
  EXPECT_EQ(session.ResultRows[0].countText, "3");
  EXPECT_EQ(session.ResultRows[0].section, 0);
  EXPECT_EQ(session.ResultRows[1].caption, "    Application Paths");
  EXPECT_EQ(session.ResultRows[1].countText, "1");
  EXPECT_EQ(session.ResultRows[1].section, 2);
  EXPECT_EQ(session.ResultRows[2].caption, "    Shared DLL's Sections");
  EXPECT_EQ(session.ResultRows[2].countText, "2");
  EXPECT_EQ(session.ResultRows[2].section, 10);
  EXPECT_EQ(session.GetTotalProblemCount(), 3);

  // Running numbers across sections; "All Problems" holds the sections' own
  // items, which carry their section's name.
  const TRegistryContents& all = session.SectionContents[0];
  ASSERT_EQ(all.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(all.GetItem(i).Content.Index, i + 1);
    EXPECT_TRUE(all.GetItem(i).Content.Checked);
  }
  EXPECT_EQ(all.GetItem(0).Content.SectionName, "Application Paths");
  EXPECT_EQ(all.GetItem(2).Content.SectionName, "Shared DLL's Sections");
  EXPECT_EQ(&all.GetItem(1).Content, &session.SectionContents[10].GetItem(0).Content);

  // Counts and pictures: cleared, then clean or with problems.
  EXPECT_EQ(view.countText[10], "2");
  EXPECT_EQ(view.countText[1], "0");
  EXPECT_EQ(view.frames[1], (std::vector<int>{kFrameNone, kFrameNone, kFrameClean}));
  EXPECT_EQ(view.frames[10], (std::vector<int>{kFrameNone, kFrameNone, kFrameProblems}));
  EXPECT_EQ(GetProblemText(session, 10, 1), "Type 10\rDescription 1");
}

TEST_F(ScanDriverTest, ScanThatFindsNothingEndsOnTheFinishStep) {
  FakeSections fakes;
  EXPECT_EQ(ScanNow(session, view), ScanOutcome::NothingFound);
  EXPECT_EQ(view.steps, (std::vector<int>{1, 3}));
  ASSERT_EQ(session.RepairLog.Count(), 1);
  EXPECT_EQ(session.RepairLog.GetItem(0).Content.KeyPath, "Problems Found: 0");
  EXPECT_EQ(session.RepairLog.GetItem(0).Content.Result, "");
  EXPECT_TRUE(session.ResultRows.empty());
  EXPECT_EQ(view.elapsed, "Elapsed time: 0 second      ");
}

TEST_F(ScanDriverTest, AbortInASectionKeepsWhatWasFoundAndSkipsTheRest) {
  FakeSections fakes({{2, 2}, {4, 5}, {6, 1}});
  int entries = 0;
  fakes.onScan = [&](int section) {
    if (section == 4)
      SetProcessMessagesHook([&] {
        if (++entries == 3) AbortScan();
      });
  };
  EXPECT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);

  // Section 4's second scanner and sections 5 to 17 never ran.
  EXPECT_EQ(fakes.SectionsCalled(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(fakes.calls.size(), 5u);  // section 1 has two calls
  EXPECT_EQ(session.SectionContents[4].Count(), 3);
  ASSERT_EQ(session.ResultRows.size(), 3u);
  EXPECT_EQ(session.ResultRows[2].caption, "    File Extensions");
  EXPECT_EQ(session.ResultRows[2].countText, "3");
  EXPECT_EQ(view.frames[4].back(), kFrameProblems);
  EXPECT_EQ(view.frames[5], (std::vector<int>{kFrameNone}));  // cleared at the start only
  EXPECT_EQ(view.totalProcess.back(), "Total Process: 24%");
  EXPECT_EQ(view.totalProcess.size(), 5u);
  EXPECT_FALSE(view.animationRunning);
  EXPECT_FALSE(view.elapsedTimerRunning);
  EXPECT_EQ(view.steps, (std::vector<int>{1, 2}));

  // The next "Scan Now" is not stopped by the old request.
  FakeSections again(std::map<int, int>{{6, 1}});
  EXPECT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
  EXPECT_EQ(again.calls.size(), 20u);
  EXPECT_EQ(session.GetTotalProblemCount(), 1);
}

TEST_F(ScanDriverTest, StopIsTestedBetweenTheScannerCallsOfASection) {
  FakeSections fakes;
  fakes.onScan = [&](int section) {
    if (section == 15) AbortScan();
  };
  ScanNow(session, view);
  ASSERT_FALSE(fakes.calls.empty());
  EXPECT_EQ(fakes.calls.back().section, 15);
  EXPECT_EQ(fakes.calls.back().call, 0u);
}

TEST_F(ScanDriverTest, FailingScannerEndsOnlyItsOwnCall) {
  FakeSections fakes(std::map<int, int>{{5, 1}});
  fakes.onScan = [](int section) {
    if (section == 3) throw std::runtime_error("damaged");
  };
  EXPECT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
  EXPECT_EQ(fakes.SectionsCalled().size(), 17u);
  EXPECT_FALSE(view.animationRunning);
  EXPECT_FALSE(view.elapsedTimerRunning);
}

TEST_F(ScanDriverTest, EachCallGetsTheInputsOfTheTable) {
  ASSERT_TRUE(AppendIgnoreLine("Font Entries", "HKEY_LOCAL_MACHINE\\X", "a"));
  ASSERT_TRUE(AppendIgnoreLine("Font Entries", "HKEY_LOCAL_MACHINE\\X", "b"));
  session.IgnoreList.Add();  // a list left from an earlier scan is replaced
  FakeSections fakes;
  ScanNow(session, view);
  ASSERT_EQ(fakes.calls.size(), 20u);
  std::map<int, FakeSections::Call> first;
  for (const FakeSections::Call& c : fakes.calls)
    if (c.call == 0) first.emplace(c.section, c);
  for (const auto& [section, c] : first) {
    SCOPED_TRACE(section);
    EXPECT_EQ(c.hasIgnoreList, section != 11 && section != 14);
    if (c.hasIgnoreList) {
      EXPECT_EQ(c.ignoreCount, 2);
    }
  }
  EXPECT_EQ(first[6].root, win::HKEY_LOCAL_MACHINE);
  EXPECT_EQ(first[6].startPath, "");
  EXPECT_EQ(first[8].root, 0u);
  EXPECT_EQ(first[10].startPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
  EXPECT_EQ(fakes.calls[5].section, 4);
  EXPECT_EQ(fakes.calls[5].root, win::HKEY_CURRENT_USER);
  EXPECT_EQ(fakes.calls[5].startPath, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts");
  EXPECT_EQ(fakes.calls[17].section, 15);
  EXPECT_EQ(fakes.calls[17].root, win::HKEY_USERS);
}

TEST_F(ScanDriverTest, OneScanAsksTheFileSystemOnceAPathForAllItsSections) {
  std::vector<std::pair<int, bool>> seen;  // section, "C:\late.txt" there?
  const auto scanner = [&](int section) {
    RegistrySection fake;
    fake.scanners.push_back([&, section](ScanContext& context) {
      ScanFiles files(context);
      seen.emplace_back(section, files->FileExists("C:\\late.txt"));
      if (section == 2) {
        // Made behind the file system's back: this scan keeps its answer.
        std::ofstream(machine().host("C:\\late.txt")) << "x";
      } else {
        // A file the scan makes itself drops what the scan remembered.
        ASSERT_TRUE(win::WriteFileBytes("C:\\made.txt", {'x'}));
        seen.emplace_back(section, files->FileExists("c:\\LATE.TXT"));
      }
    });
    fake.target = ValueTargetOf;
    return fake;
  };
  const ScopedSectionOverride second(2, scanner(2));
  const ScopedSectionOverride fifth(5, scanner(5));
  TickOnly({2, 5});
  ScanNow(session, view);
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{2, false}, {5, false}, {5, true}}));
  // The next scan starts afresh.
  seen.clear();
  ASSERT_EQ(std::remove(machine().host("C:\\late.txt").c_str()), 0);
  TickOnly({2});
  ScanNow(session, view);
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{2, false}}));
  TickOnly({5});
  ScanNow(session, view);
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{2, false}, {5, true}, {5, true}}));
}

TEST_F(ScanDriverTest, SectionTicksFollowClicksButNotDuringAScan) {
  FakeSections fakes;
  TickOnly({2, 5});
  EXPECT_EQ(session.TickedSectionCount(), 2);
  ToggleSection(session, view, 5);
  EXPECT_EQ(view.frames[5], (std::vector<int>{kFrameUnticked}));
  fakes.onScan = [&](int) { ToggleSection(session, view, 2); };
  ScanNow(session, view);
  EXPECT_TRUE(session.SectionTicked(2));
  EXPECT_EQ(fakes.SectionsCalled(), (std::vector<int>{2}));

  SetScanStep(session, view, 0);
  EXPECT_EQ(session.TickedSectionCount(), 17);
  EXPECT_EQ(view.frames[7].back(), kFrameTicked);
  EXPECT_EQ(view.countText[2], "");
}

TEST_F(ScanDriverTest, AutomaticScanRunsOnceAfterASecond) {
  FakeSections fakes;
  win::DWORD start = win::GetTickCount();
  EXPECT_TRUE(RunAutomaticScan(session, view, "-Scan"));
  EXPECT_GE(win::GetTickCount() - start, 1000u);
  EXPECT_EQ(session.ScansStarted(), 1);
  EXPECT_FALSE(RunAutomaticScan(session, view, "-Scan"));
  EXPECT_EQ(session.ScansStarted(), 1);

  ScanSession blank;
  EXPECT_FALSE(RunAutomaticScan(blank, view, " \t "));
  EXPECT_EQ(blank.ScansStarted(), 0);

  // A scan started by the user during the wait: no second scan.
  ScanSession busy;
  SetProcessMessagesHook([&] {
    if (busy.ScansStarted() == 0) ScanNow(busy, view);
  });
  EXPECT_FALSE(RunAutomaticScan(busy, view, "-Scan"));
  EXPECT_EQ(busy.ScansStarted(), 1);

  // A quit during the wait: no scan at all.
  ScanSession quitting;
  SetProcessMessagesHook([] { TerminateApplication(); });
  EXPECT_FALSE(RunAutomaticScan(quitting, view, "-Scan"));
  EXPECT_EQ(quitting.ScansStarted(), 0);
  ResetTerminateRequest();
}

TEST(ScanTextsTest, ElapsedTimeAndPercent) {
  EXPECT_EQ(ScanClockText(0), "00:00:00");
  EXPECT_EQ(ScanClockText(61'999), "00:01:01");
  EXPECT_EQ(ScanClockText(3'605'000), "01:00:05");
  const std::vector<std::pair<std::string, std::string>> elapsed = {
      {"00:00:00", "Elapsed time: 0 second      "},
      {"00:00:01", "Elapsed time: 1 second      "},
      {"00:00:03", "Elapsed time: 3 seconds      "},
      {"00:01:00", "Elapsed time: 1 minute "},
      {"00:01:01", "Elapsed time: 1 minute 1 second      "},
      {"00:12:30", "Elapsed time: 12 minutes 30 seconds      "},
      {"01:00:05", "Elapsed time: 1 hour 5 seconds      "},
      {"02:03:00", "Elapsed time: 2 hours 3 minutes "},
      {"01:00:00", "Elapsed time: 1 hour "},
  };
  for (const auto& [text, expected] : elapsed) EXPECT_EQ(ElapsedTimeText(text), expected) << text;
  EXPECT_EQ(ScanPercent(1, 2), 50);
  EXPECT_EQ(ScanPercent(1, 8), 12);
  EXPECT_EQ(ScanPercent(3, 8), 38);
  EXPECT_EQ(ScanPercent(0, 0), 0);
  EXPECT_EQ(TotalProcessText(7), "Total Process: 7%");
}

}  // namespace
}  // namespace regclean::test
