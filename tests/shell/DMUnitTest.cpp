#include "shell/DMUnit.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "ShellFixtures.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/ProgramStartUnit.h"

namespace {

class RecordingScanView : public ScanAnimationView {
 public:
  void DrawSectionFrame(int section, int frame) override { drawn.emplace_back(section, frame); }
  int TotalProblemCount() const override { return problems; }
  void SetProblemWarning(const std::string& text, bool visible) override {
    warning = text;
    warningVisible = visible;
  }
  void SetScanTimeText(const std::string& text) override { scanTime = text; }

  int problems = 0;
  std::vector<std::pair<int, int>> drawn;
  std::string warning = "<unset>";
  std::optional<bool> warningVisible;
  std::string scanTime;
};

class RecordingEvidenceView : public EvidenceAnimationView {
 public:
  void SetNodeImage(int node, int image) override { images.emplace_back(node, image); }
  std::vector<std::pair<int, int>> images;
};

TEST(ScanClockText, IsATimeOfDayWithTwoDigitsEach) {
  const struct {
    win::DWORD milliseconds;
    const char* text;
  } cases[] = {
      {0, "00:00:00"},
      {999, "00:00:00"},
      {67 * 1000, "00:01:07"},
      {(10 * 3600 + 10 * 60 + 10) * 1000, "10:10:10"},
      {(23 * 3600 + 59 * 60 + 59) * 1000 + 999, "23:59:59"},
      {24 * 3600 * 1000, "00:00:00"},
      {25 * 3600 * 1000, "01:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(ScanClockText(c.milliseconds), c.text) << c.milliseconds;
}

TEST(ScanTimers, ElapsedTimeCountsFromTheScanStart) {
  TDMFields fields;
  fields.ScanStartTime = 4000000000u;  // the tick count wraps during the scan
  RecordingScanView view;
  fields.ShowScanClock(view, fields.ScanStartTime + 67 * 1000);
  EXPECT_EQ(view.scanTime, "00:01:07");
}

TEST(ScanTimers, AnimationCyclesFramesFourToTenInTheScanningSection) {
  TDMFields fields;
  fields.AnimFrame = 9;
  fields.CurrentSection = 17;
  RecordingScanView view;
  for (int i = 0; i < 10; ++i) fields.StepScanAnimation(view);
  std::vector<std::pair<int, int>> expected;
  for (int frame : {9, 10, 4, 5, 6, 7, 8, 9, 10, 4}) expected.emplace_back(17, frame);
  EXPECT_EQ(view.drawn, expected);
  EXPECT_EQ(fields.AnimFrame, 5);
}

TEST(ScanTimers, ProblemCountShowsWhileNoSectionAnimates) {
  for (int section : {-1, 0, 18}) {
    TDMFields fields;
    fields.AnimFrame = 4;
    fields.CurrentSection = section;
    RecordingScanView view;
    view.problems = 42;
    fields.StepScanAnimation(view);
    EXPECT_TRUE(view.drawn.empty()) << section;
    EXPECT_EQ(view.warning, "42 Problems Found");
    EXPECT_EQ(view.warningVisible, true);
    EXPECT_EQ(fields.AnimFrame, 5);

    view.problems = 0;
    fields.StepScanAnimation(view);
    EXPECT_EQ(view.warning, "");
    EXPECT_EQ(view.warningVisible, false);
  }
}

TEST(EvidenceTimer, CyclesImagesEightToFourteenOnTheBusyNode) {
  TDMFields fields;
  fields.EvidenceFrame = 13;
  fields.EvidenceNode = 21;
  RecordingEvidenceView view;
  for (int i = 0; i < 4; ++i) fields.StepEvidenceAnimation(view);
  const std::vector<std::pair<int, int>> expected = {{21, 13}, {21, 14}, {21, 8}, {21, 9}};
  EXPECT_EQ(view.images, expected);
}

class FrameRulesTest : public SharedStateTest {
 protected:
  FrameRulesTest() {
    ResetTerminateRequest();
    SetTerminateHandler([this] { ++terminations; });
  }
  ~FrameRulesTest() override { ResetTerminateRequest(); }
  int terminations = 0;
};

TEST_F(FrameRulesTest, QuitStopsScansAndWaitsForRunningLoops) {
  {
    BusyGuard scan;
    {
      BusyGuard nested;
      QuitWhenIdle();
      EXPECT_EQ(ScanState, 2);
    }
    EXPECT_EQ(terminations, 0) << "the outer loop is still running";
    EXPECT_FALSE(ApplicationTerminated());
  }
  EXPECT_EQ(terminations, 1);
  EXPECT_TRUE(ApplicationTerminated());

  ResetTerminateRequest();
  QuitWhenIdle();
  EXPECT_TRUE(ApplicationTerminated()) << "nothing running: at once";
}

TEST_F(FrameRulesTest, PageSwitchWaitsForAnyLongOperation) {
  EXPECT_TRUE(PageSwitchAllowed());
  {
    BusyGuard busy;
    EXPECT_FALSE(PageSwitchAllowed());
  }
  EXPECT_TRUE(PageSwitchAllowed());
}

TEST_F(FrameRulesTest, SystemRestoreOpensOnTheNtFamilyOnly) {
  const struct {
    std::uint8_t platform;
    bool allowed;
    bool message;
  } cases[] = {{4, true, false}, {2, false, true}, {1, false, false}, {0, false, false}};
  for (const auto& c : cases) {
    ScriptedDialogs dialogs;
    PlatformCode = c.platform;
    EXPECT_EQ(SystemRestoreLauncherAllowed(), c.allowed) << int(c.platform);
    ASSERT_EQ(dialogs.messages().size(), c.message ? 1u : 0u) << int(c.platform);
    if (c.message) {
      EXPECT_EQ(dialogs.messages()[0].text, "System Restore Point for Windows 2000 and XP!");
      EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
      EXPECT_EQ(dialogs.messages()[0].flags, 48u);
    }
  }
}

}  // namespace
