#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GuiTestApp.h"
#include "LocalHttpServer.h"
#include "TestMachine.h"
#include "platform/shell/Shell.h"
#include "shell/Dialogs.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/ImageExUnit.h"

namespace {

class DataModuleTest : public ::testing::Test {
 protected:
  DataModuleTest() {
    GuiApp();
    ResetSharedState();
    ResetTerminateRequest();
  }
  ~DataModuleTest() override {
    ResetTerminateRequest();
    ResetSharedState();
    win::ResetShellState();
  }
};

std::vector<std::string> Captions(const QMenu* menu) {
  std::vector<std::string> captions;
  for (const QAction* action : menu->actions())
    captions.push_back(action->isSeparator() ? "-" : action->text().toStdString());
  return captions;
}

class FakeScanView : public ScanAnimationView {
 public:
  void DrawSectionFrame(int section, int frame) override { frames.emplace_back(section, frame); }
  int TotalProblemCount() const override { return 3; }
  void SetProblemWarning(const std::string& text, bool) override { warning = text; }
  void SetScanTimeText(const std::string& text) override { scanTime = text; }
  std::vector<std::pair<int, int>> frames;
  std::string warning;
  std::string scanTime;
};

class FakeEvidenceView : public EvidenceAnimationView {
 public:
  void SetNodeImage(int node, int image) override { images.emplace_back(node, image); }
  std::vector<std::pair<int, int>> images;
};

TEST_F(DataModuleTest, HoldsTheMenusListsTimersAndClient) {
  TestMachine machine;
  {
    TDM dm;
    EXPECT_EQ(DM, &dm);
    EXPECT_EQ(PlatformCode, 4) << "creation detects the platform";
    EXPECT_EQ(Captions(dm.MainPopupMenu),
              (std::vector<std::string>{"Fernwick", "Fernwick Home Page", "About", "-", "Update online", "-", "Exit"}));
    EXPECT_EQ(dm.MainPopupMenu->defaultAction(), dm.OpenMenu);
    EXPECT_EQ(Captions(dm.pmProblemsList),
              (std::vector<std::string>{"Exclude and add key to ignore list", "-", "Select All", "Select None"}));
    EXPECT_FALSE(dm.OpenMenu->icon().isNull());

    const struct {
      QTimer* timer;
      int interval;
    } timers[] = {{dm.ScanTimer, 20}, {dm.ScanTimerEx, 1000}, {dm.EvidenceTimer, 20}};
    for (const auto& t : timers) {
      EXPECT_EQ(t.timer->interval(), t.interval);
      EXPECT_FALSE(t.timer->isActive());
    }

    const struct {
      const TImageList& list;
      int width, height, frames;
    } lists[] = {{dm.PopupImageList, 16, 16, 5},  {dm.StatImageList, 16, 16, 13}, {dm.ProblemsImageList, 16, 70, 2},
                 {dm.minmaxImageList, 22, 13, 4}, {dm.TreeImageList, 16, 16, 15}, {dm.LelvelImageList, 36, 12, 3},
                 {dm.BtnImageList, 110, 29, 2},   {dm.ImageList1, 21, 21, 4},     {dm.SheetImageList, 95, 24, 2}};
    for (const auto& l : lists) {
      EXPECT_EQ(l.list.Width(), l.width);
      EXPECT_EQ(l.list.Height(), l.height);
      EXPECT_GE(l.list.Count(), l.frames);
    }
    EXPECT_EQ(dm.IdHTTP1.ReadTimeout(), 5000u);
  }
  EXPECT_EQ(DM, nullptr);
}

TEST_F(DataModuleTest, TimersDrawOnTheirViews) {
  TestMachine machine;
  TDM dm;
  FakeScanView scan;
  FakeEvidenceView evidence;
  dm.ScanView = &scan;
  dm.EvidenceView = &evidence;

  dm.AnimFrame = 4;
  dm.CurrentSection = 9;
  dm.ScanTimer->start();
  EXPECT_TRUE(ProcessEventsUntil([&] { return scan.frames.size() >= 3; }));
  dm.ScanTimer->stop();
  EXPECT_EQ(scan.frames[0], std::make_pair(9, 4));
  EXPECT_EQ(scan.frames[1], std::make_pair(9, 5));
  EXPECT_EQ(scan.warning, "3 Problems Found");

  win::DWORD now = 500000;
  dm.TickCount = [&now] { return now; };
  dm.StartScanClock();
  EXPECT_TRUE(dm.ScanTimerEx->isActive());
  EXPECT_EQ(dm.ScanStartTime, 500000u);
  now += 67 * 1000;
  dm.ScanTimerExTimer();
  EXPECT_EQ(scan.scanTime, "00:01:07");
  dm.ScanTimerEx->stop();

  dm.EvidenceFrame = 14;
  dm.EvidenceNode = 5;
  dm.EvidenceTimer->start();
  EXPECT_TRUE(ProcessEventsUntil([&] { return evidence.images.size() >= 2; }));
  dm.EvidenceTimer->stop();
  EXPECT_EQ(evidence.images[0], std::make_pair(5, 14));
  EXPECT_EQ(evidence.images[1], std::make_pair(5, 8));
}

TEST_F(DataModuleTest, ImageButtonCentresItsCaptionOnTheFrame) {
  TestMachine machine;
  TDM dm;
  for (int frame : {0, 1}) {
    TImageEx button;
    button.resize(110, 29);
    dm.DrawImageButton(frame, "Scan Now", &button);
    const QImage drawn = button.Picture().convertToFormat(QImage::Format_ARGB32);
    const QImage plain = dm.BtnImageList.Frame(frame).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(drawn.size(), plain.size());
    QRect text;
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x)
        if (drawn.pixel(x, y) != plain.pixel(x, y)) text |= QRect(x, y, 1, 1);
    ASSERT_FALSE(text.isEmpty()) << "no caption drawn";
    EXPECT_NEAR(text.center().x(), 55, 2) << frame;
    EXPECT_NEAR(text.center().y(), 14, 3) << frame;
    EXPECT_EQ(button.CanvasFont().family(), QStringLiteral("Arial"));
  }
  TImageEx tab;
  tab.resize(95, 24);
  dm.DrawSheetTab(1, "General", &tab);
  EXPECT_EQ(tab.Picture().size(), QSize(95, 24));
}

TEST_F(DataModuleTest, TrayMenuOpensTheHomePage) {
  TestMachine machine;
  TDM dm;
  Settings.HomePage = "http://www.fernwick.invalid/home/";
  dm.Home1->trigger();
  const std::vector<std::string> log = win::ShellLog();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("http://www.fernwick.invalid/home/"), std::string::npos) << log.back();
}

TEST_F(DataModuleTest, CreationRunsTheSilentUpdateCheckThroughItself) {
  LocalHttpServer server(std::map<std::string, LocalHttpServer::Response>{
      {"/update/Update.ini", LocalHttpServer::Answer(200, "[Version]\r\nVer=4.1\r\n")}});
  ASSERT_TRUE(server.listening());
  TestMachine machine("[HKEY_CURRENT_USER\\Software\\Fernwick]\n\"Version\"=\"4.0\"\n",
                      "C:\\Program Files\\Fernwick\\Fernwick.exe\n",
                      TestMachine::DefaultConfigText() + "[Servers]\r\nUpdate=" + server.url() + "\r\n");
  ScriptedDialogs dialogs;
  dialogs.setNextAnswer(IDNO);
  Settings.CheckUpdate = true;
  TDM dm;
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].flags, 68u);
  EXPECT_EQ(dialogs.messages()[0].text.rfind("A newer version of Fernwick is available", 0), 0u);
  EXPECT_FALSE(ApplicationTerminated()) << "No continues the start";

  // Without the setting nothing is asked.
  Settings.CheckUpdate = false;
  TDM quiet;
  EXPECT_EQ(dialogs.messages().size(), 1u);
}

}  // namespace
