#include "regclean/ScanResultsUnit.h"

#include "RegcleanFixture.h"
#include "platform/files/FileSystem.h"
#include "regclean/IgnoreFileUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "shell/Dialogs.h"

namespace regclean::test {
namespace {

class ScanResultsTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    UseMachine("", "");
    fakes = std::make_unique<FakeSections>(std::map<int, int>{{2, 2}, {10, 3}});
    ASSERT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
  }
  bool Checked(int section, int position) {
    return session.Collection(section)->GetItem(position).Content.Checked;
  }
  std::vector<std::string> RowCounts() {
    std::vector<std::string> counts;
    for (const ResultRow& row : session.ResultRows) counts.push_back(row.countText);
    return counts;
  }
  static std::string IgnoreFileText() {
    std::vector<std::uint8_t> bytes;
    win::ReadFileBytes(IgnoreFilePath(), bytes);
    return std::string(bytes.begin(), bytes.end());
  }

  std::unique_ptr<FakeSections> fakes;
  ScanSession session;
  RecordingView view;
  ScriptedDialogs dialogs;
};

TEST_F(ScanResultsTest, TicksFollowTheProblemBothWays) {
  // All Problems positions: 0,1 = section 2; 2,3,4 = section 10.
  ASSERT_TRUE(SetProblemChecked(session, 0, 3, false));
  EXPECT_FALSE(Checked(0, 3));
  EXPECT_FALSE(Checked(10, 1));
  EXPECT_TRUE(Checked(10, 0));

  ASSERT_TRUE(SetProblemChecked(session, 2, 1, false));
  EXPECT_FALSE(Checked(2, 1));
  EXPECT_FALSE(Checked(0, 1));
  EXPECT_TRUE(Checked(0, 0));

  ASSERT_TRUE(SetProblemChecked(session, 0, 1, true));
  EXPECT_TRUE(Checked(2, 1));
  EXPECT_FALSE(SetProblemChecked(session, 0, 5, true));
  EXPECT_FALSE(SetProblemChecked(session, 18, 0, true));
  EXPECT_FALSE(SetProblemChecked(session, 3, 0, true));
}

TEST_F(ScanResultsTest, SelectNoneOnASectionRowChangesThatSectionOnly) {
  ASSERT_TRUE(SetAllProblemsChecked(session, 10, false));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Checked(10, i));
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(Checked(2, i));
  EXPECT_TRUE(Checked(0, 0));
  EXPECT_TRUE(Checked(0, 1));
  for (int i = 2; i < 5; ++i) EXPECT_FALSE(Checked(0, i));

  ASSERT_TRUE(SetAllProblemsChecked(session, 0, false));
  for (int i = 0; i < 2; ++i) EXPECT_FALSE(Checked(2, i));
  ASSERT_TRUE(SetAllProblemsChecked(session, 0, true));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Checked(10, i));
}

TEST_F(ScanResultsTest, ExcludeFromAllProblemsRemovesItFromBothListsAndTheFileGetsALine) {
  const TRegistryContent copy = *Problem(session, 0, 3);
  ASSERT_EQ(ExcludeProblem(session, 0, 3), ExcludeResult::Excluded);
  EXPECT_EQ(IgnoreFileText(), "Shared DLL's Sections|HKEY_CURRENT_USER\\Software\\Fake10|v1\r\n");
  EXPECT_EQ(session.SectionContents[0].Count(), 4);
  EXPECT_EQ(ValueNamesOf(session.SectionContents[10]), (std::vector<std::string>{"v0", "v2"}));
  EXPECT_EQ(session.GetTotalProblemCount(), 4);
  EXPECT_EQ(RowCounts(), (std::vector<std::string>{"4", "2", "2"}));
  EXPECT_EQ(ProblemsFoundColumnText(session.GetTotalProblemCount()), "Problems Found: 4");
  EXPECT_EQ(ProblemsFoundText(ProblemCount(session, 0)), "4 Problems Found");
  for (int i = 0; i < session.SectionContents[0].Count(); ++i)
    EXPECT_NE(session.SectionContents[0].GetItem(i).Content.Index, copy.Index);

  // The line takes effect at the next scan: the real section leaves it out.
  TIgnoreContents list;
  LoadIgnoreList(list);
  EXPECT_TRUE(IsIgnoredItem(list, "Shared DLL's Sections", copy.KeyPath, copy.ValueName));
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(ScanResultsTest, ExcludeFromASectionRowUpdatesBothCounts) {
  ASSERT_EQ(ExcludeProblem(session, 2, 0), ExcludeResult::Excluded);
  EXPECT_EQ(IgnoreFileText(), "Application Paths|HKEY_CURRENT_USER\\Software\\Fake2|v0\r\n");
  EXPECT_EQ(RowCounts(), (std::vector<std::string>{"4", "1", "3"}));
  EXPECT_EQ(session.SectionContents[0].Count(), 4);
  EXPECT_EQ(session.SectionContents[0].GetItem(0).Content.ValueName, "v1");
  ASSERT_EQ(ExcludeProblem(session, 2, 0), ExcludeResult::Excluded);
  EXPECT_EQ(RowCounts(), (std::vector<std::string>{"3", "0", "3"}));
  EXPECT_EQ(ExcludeProblem(session, 2, 0), ExcludeResult::Refused);
}

TEST_F(ScanResultsTest, FailedAppendWarnsAndStillTakesTheProblemOut) {
  ASSERT_TRUE(win::CreateDirectory(IgnoreFilePath()));  // the file cannot be written
  ASSERT_EQ(ExcludeProblem(session, 10, 2), ExcludeResult::ExcludedUnsaved);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text,
            "The entry could not be written to the ignore list file:\r"
            "C:\\Program Files\\Fernwick\\FernwickIgnores.dat\r\r"
            "It is taken out of these results, but the next scan will report it again.");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, 48u);
  EXPECT_EQ(RowCounts(), (std::vector<std::string>{"4", "2", "2"}));
}

TEST_F(ScanResultsTest, DetailsOfAProblem) {
  EXPECT_EQ(ProblemSectionCaption(session, 0, 4), "Shared DLL's Sections");
  EXPECT_EQ(ProblemSectionCaption(session, 2, 0), "Application Paths");
  EXPECT_EQ(SectionDescription(ProblemSectionCaption(session, 2, 0)),
            "Application Paths section of registry has been found containing invalid entities "
            "that point to the incorrect application path.");
  EXPECT_EQ(GetProblemText(session, 4, 0), "");
  const SeverityStyle high = StyleOfSeverity("High");
  EXPECT_EQ(high.text, "High");
  EXPECT_EQ(high.red, 255u);
  EXPECT_EQ(high.frame, 2);
  EXPECT_EQ(StyleOfSeverity("Normal").blue, 255u);
  EXPECT_EQ(StyleOfSeverity("Low").frame, 0);
}

}  // namespace
}  // namespace regclean::test
