#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFontInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "GuiTestApp.h"
#include "MouseEvents.h"
#include "TestMachine.h"
#include "platform/shell/Shell.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/AboutUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/MainUnit.h"
#include "shell/gui/PublicFunctionPictures.h"
#include "shell/gui/SystemTray.h"

namespace {

// Records what the frame forwards to the registry cleaner's page.
class RecordingScanPage : public TScanPage {
 public:
  using TScanPage::TScanPage;
  void ScanNowBtnClick() override { calls.push_back("ScanNow"); }
  void ClearResultSelection() override {
    calls.push_back("ClearSelection");
    scanStateWhenCleared = ScanState;
  }
  void SetScanStep(int step) override {
    calls.push_back("Step" + std::to_string(step));
    TScanPage::SetScanStep(step);
  }
  std::vector<std::string> calls;
  int scanStateWhenCleared = -1;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    GuiApp();
    ResetSharedState();
    ResetTerminateRequest();
    SetTerminateHandler([this] { ++terminations; });
    dm = std::make_unique<TDM>();
    form = std::make_unique<TFernwickForm>();
  }
  ~MainWindowTest() override {
    form.reset();
    dm.reset();
    ResetTerminateRequest();
    SetSystemTrayPresentForTesting(std::nullopt);
    ResetSharedState();
    win::ResetShellState();
  }

  RecordingScanPage& RecordScanPage() {
    auto page = std::make_unique<RecordingScanPage>(*form);
    RecordingScanPage& recording = *page;
    form->ScanPage = std::move(page);
    dm->ScanView = form->ScanPage.get();
    return recording;
  }

  void ShowForm() {
    form->show();
    QCoreApplication::processEvents();
  }

  TestMachine machine;
  ScriptedDialogs dialogs;
  int terminations = 0;
  std::unique_ptr<TDM> dm;
  std::unique_ptr<TFernwickForm> form;
};

QImage Jpeg(const char* name) { return LoadJpegPicture(name); }

TEST(RoundRectRegion, CutsEllipticCornersOfTheGivenSize) {
  const QRegion region = RoundRectRegion(731, 526, 24, 24);
  EXPECT_EQ(region.boundingRect(), QRect(0, 0, 731, 526));
  for (QPoint corner : {QPoint(0, 0), QPoint(730, 0), QPoint(0, 525), QPoint(730, 525), QPoint(3, 3),
                        QPoint(727, 522)})
    EXPECT_FALSE(region.contains(corner)) << corner.x() << "," << corner.y();
  for (QPoint inside : {QPoint(12, 0), QPoint(0, 12), QPoint(718, 525), QPoint(730, 513), QPoint(8, 8),
                        QPoint(365, 263)})
    EXPECT_TRUE(region.contains(inside)) << inside.x() << "," << inside.y();
  // The corner cut is symmetric: as many pixels are missing in every corner.
  auto missing = [&](QRect corner) {
    int count = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y)
      for (int x = corner.left(); x <= corner.right(); ++x) count += region.contains(QPoint(x, y)) ? 0 : 1;
    return count;
  };
  const int topLeft = missing(QRect(0, 0, 12, 12));
  EXPECT_GT(topLeft, 12);
  EXPECT_EQ(missing(QRect(719, 0, 12, 12)), topLeft);
  EXPECT_EQ(missing(QRect(0, 514, 12, 12)), topLeft);
  EXPECT_EQ(missing(QRect(719, 514, 12, 12)), topLeft);
  EXPECT_TRUE(RoundRectRegion(0, 10, 24, 24).isEmpty());
}

TEST_F(MainWindowTest, IsABorderlessCentredWindowWithRoundedOutline) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Fernwick"));
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(form->size(), QSize(731, 526));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((form->frameGeometry().center() - screen.center()).manhattanLength(), 2);
  // Until the first resize the outline is the creation's near-square one.
  EXPECT_EQ(form->mask(), RoundRectRegion(733, 528, 2, 2));

  ShowForm();
  EXPECT_EQ(form->mask(), RoundRectRegion(731, 526, 24, 24));
  form->resize(800, 600);
  QCoreApplication::processEvents();
  EXPECT_EQ(form->mask(), RoundRectRegion(800, 600, 24, 24));
  EXPECT_FALSE(form->mask().contains(QPoint(799, 0)));
  EXPECT_TRUE(form->mask().contains(QPoint(788, 0)));
}

TEST_F(MainWindowTest, StartsOnTheScanPageAtItsFirstStep) {
  RecordingScanPage& page = RecordScanPage();
  ShowForm();
  EXPECT_EQ(page.calls, std::vector<std::string>{"Step0"});
  EXPECT_EQ(form->MainNotebook->currentIndex(), 0);
  EXPECT_EQ(form->ScanNotebook->currentIndex(), 0);
  EXPECT_EQ(form->ScanBtn->Picture(), Jpeg("Scan1"));
  EXPECT_EQ(form->BackupBtn->Picture(), Jpeg("Backup"));
  EXPECT_EQ(form->AdvancedBtn->Picture(), Jpeg("Advanced"));
  EXPECT_EQ(form->ScanStepImage->Picture(), Jpeg("ScanFirst"));
  EXPECT_EQ(form->ScanStepImage1->Picture(), Jpeg("ScanFirst1"));
  EXPECT_TRUE(form->ScanNowBtn->isVisible());
  for (TImageEx* hidden : {form->AbortScanBtn, form->RepairBtn, form->FinishBtn}) EXPECT_FALSE(hidden->isVisible());

  // Shown again from the tray: the page stays as it was.
  form->AdvancedBtnClick();
  form->hide();
  form->ShowAndRestore();
  QCoreApplication::processEvents();
  EXPECT_EQ(form->MainNotebook->currentIndex(), 2);
}

TEST_F(MainWindowTest, ScanStepsShowTheirPicturesAndOneButtonEach) {
  const struct {
    int step;
    const char* heading;
    TImageEx* TFernwickForm::*button;
  } steps[] = {{0, "ScanFirst", &TFernwickForm::ScanNowBtn},
               {1, "ScanInProcess", &TFernwickForm::AbortScanBtn},
               {2, "ScanResults", &TFernwickForm::RepairBtn},
               {3, "ScanFinish", &TFernwickForm::FinishBtn}};
  ShowForm();
  for (const auto& s : steps) {
    form->ShowScanStep(s.step);
    EXPECT_EQ(form->ScanStepImage->Picture(), Jpeg(s.heading)) << s.step;
    EXPECT_EQ(form->ScanStepImage1->Animation() != nullptr, s.step == 1) << s.step;
    for (TImageEx* button : {form->ScanNowBtn, form->AbortScanBtn, form->RepairBtn, form->FinishBtn})
      EXPECT_EQ(button->isVisible(), button == form.get()->*s.button) << s.step << " " << button->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, PageButtonsDoNothingWhileALongOperationRuns) {
  ShowForm();
  {
    BusyGuard scan;
    SendClick(form->BackupBtn);
    EXPECT_FALSE(form->AdvancedBtnClick());
    EXPECT_EQ(form->MainNotebook->currentIndex(), 0);
    EXPECT_EQ(form->ToolForm(ToolWindow::RegBackupForm), nullptr);
    EXPECT_EQ(form->ScanBtn->Picture(), Jpeg("Scan1"));
    EXPECT_TRUE(dialogs.messages().empty());
  }
  SendClick(form->BackupBtn);
  EXPECT_EQ(form->MainNotebook->currentIndex(), 1);
  EXPECT_EQ(form->ScanBtn->Picture(), Jpeg("Scan"));
  EXPECT_EQ(form->BackupBtn->Picture(), Jpeg("Backup1"));
  SendClick(form->AdvancedBtn);
  EXPECT_EQ(form->MainNotebook->currentIndex(), 2);
  EXPECT_EQ(form->AdvancedBtn->Picture(), Jpeg("Advanced1"));
  SendClick(form->ScanBtn);
  EXPECT_EQ(form->MainNotebook->currentIndex(), 0);
}

TEST_F(MainWindowTest, BackupPageMakesAFreshBackupWindowEachTime) {
  ShowForm();
  ASSERT_TRUE(form->BackupBtnClick());
  QPointer<QWidget> first = form->ToolForm(ToolWindow::RegBackupForm);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->parentWidget(), form->BackupPanel);
  EXPECT_EQ(first->geometry(), form->BackupPanel->rect());
  EXPECT_TRUE(first->isVisible());

  ASSERT_TRUE(form->BackupBtnClick());
  QWidget* second = form->ToolForm(ToolWindow::RegBackupForm);
  EXPECT_EQ(first, nullptr) << "the first window was freed";
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->isVisible());

  form->AdvancedBtnClick();
  EXPECT_EQ(form->ToolForm(ToolWindow::RegBackupForm), nullptr);
}

TEST_F(MainWindowTest, LaunchersOpenToolsOnceAndPageSwitchesFreeThemAll) {
  PlatformCode = 4;
  ShowForm();
  form->AdvancedBtnClick();
  SendClick(form->Launchers[6]);  // Junk File Cleaner
  QWidget* cleaner = form->ToolForm(ToolWindow::SysDiskCleanerForm);
  ASSERT_NE(cleaner, nullptr);
  EXPECT_EQ(cleaner->parentWidget(), form->AdvancePanel);
  EXPECT_EQ(cleaner->geometry(), form->AdvancePanel->rect());
  EXPECT_TRUE(cleaner->isVisible());
  SendClick(form->Launchers[6]);
  EXPECT_EQ(form->ToolForm(ToolWindow::SysDiskCleanerForm), cleaner) << "opened once";

  // The caption label launches too; the second tool lies on top.
  SendClick(form->LauncherLabels[3]);
  QWidget* evidence = form->ToolForm(ToolWindow::EvidenceCleanerForm);
  ASSERT_NE(evidence, nullptr);
  EXPECT_EQ(form->AdvancePanel->children().last(), evidence);
  EXPECT_TRUE(cleaner->isVisible());

  for (int launcher = 1; launcher <= kLauncherCount; ++launcher) form->ImageExClick(launcher);
  std::vector<std::string> freed;
  bool evidenceClosedFirst = false;
  class CloseWatcher : public QObject {
   public:
    explicit CloseWatcher(bool& closed) : closed_(closed) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Close) closed_ = true;
      return false;
    }
    bool& closed_;
  } watcher(evidenceClosedFirst);
  evidence->installEventFilter(&watcher);
  for (ToolWindow tool : ToolWindowsInFreeOrder()) {
    QWidget* window = form->ToolForm(tool);
    if (tool == ToolWindow::RegBackupForm) {
      EXPECT_EQ(window, nullptr);
      continue;
    }
    ASSERT_NE(window, nullptr) << ToolWindowName(tool);
    EXPECT_EQ(window->objectName().toStdString(), ToolWindowName(tool));
    QObject::connect(window, &QObject::destroyed, [&freed, &evidenceClosedFirst, tool] {
      freed.push_back(ToolWindowName(tool));
      if (tool == ToolWindow::EvidenceCleanerForm) {
        EXPECT_TRUE(evidenceClosedFirst);
      }
    });
  }

  ASSERT_TRUE(form->ScanBtnClick());
  const std::vector<std::string> order = {
      "SysDiskCleanerForm", "EvidenceCleanerForm", "SysRestoreForm",   "BrowserRepairForm",
      "FormIePlugins",      "OptimizeForm",        "FormMalignant",    "MemorySaviorForm",
      "FormRegDll",         "ErrorFixForm",        "StartupManagerForm", "InstalledManageForm"};
  EXPECT_EQ(freed, order);
  for (ToolWindow tool : ToolWindowsInFreeOrder()) EXPECT_EQ(form->ToolForm(tool), nullptr);

  // Opened again after the switch: a new window.
  form->AdvancedBtnClick();
  form->ImageExClick(7);
  EXPECT_NE(form->ToolForm(ToolWindow::SysDiskCleanerForm), nullptr);
}

// Measured in the Tools page's panel: each line of the Startup Manager's
// memo ends inside it, below one another, none cut or wrapped.
TEST_F(MainWindowTest, StartupManagerMemoShowsItsFourLinesWhole) {
  ShowForm();
  form->AdvancedBtnClick();
  SendClick(form->Launchers[9]);
  QWidget* tool = form->ToolForm(ToolWindow::StartupManagerForm);
  ASSERT_NE(tool, nullptr);
  QCoreApplication::processEvents();
  auto* memo = tool->findChild<QPlainTextEdit*>("Memo");
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->width(), form->AdvancePanel->width() - 16);
  const QTextDocument* text = memo->document();
  ASSERT_EQ(text->blockCount(), 4);
  int lastBottom = 0;
  for (QTextBlock block = text->begin(); block.isValid(); block = block.next()) {
    QTextCursor start(block);
    QTextCursor end(block);
    end.movePosition(QTextCursor::EndOfBlock);
    const QRect first = memo->cursorRect(start);
    const QRect last = memo->cursorRect(end);
    EXPECT_EQ(first.top(), last.top()) << block.text().toStdString();  // one line
    EXPECT_GE(first.left(), 0);
    EXPECT_LE(last.right(), memo->viewport()->width()) << block.text().toStdString();
    EXPECT_GE(first.top(), lastBottom);
    lastBottom = last.bottom();
  }
  EXPECT_LE(lastBottom, memo->viewport()->height());
  EXPECT_GE(QFontInfo(memo->font()).pixelSize(), 9);  // still readable
}

TEST_F(MainWindowTest, SystemRestoreLauncherFollowsThePlatform) {
  ShowForm();
  form->AdvancedBtnClick();
  PlatformCode = 2;
  SendClick(form->Launchers[10]);
  EXPECT_EQ(form->ToolForm(ToolWindow::SysRestoreForm), nullptr);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "System Restore Point for Windows 2000 and XP!");
  EXPECT_EQ(dialogs.messages()[0].flags, 48u);

  PlatformCode = 1;
  SendClick(form->LauncherLabels[10]);
  EXPECT_EQ(form->ToolForm(ToolWindow::SysRestoreForm), nullptr);
  EXPECT_EQ(dialogs.messages().size(), 1u);

  PlatformCode = 4;
  SendClick(form->Launchers[10]);
  EXPECT_NE(form->ToolForm(ToolWindow::SysRestoreForm), nullptr);
  // The tool opens; this machine has no System Restore service, so it says so.
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[1].text.rfind("The Windows System Restore function has not started!", 0), 0u);
  EXPECT_EQ(form->findChild<QLabel*>("abSysRestoreNote")->text(), QStringLiteral("(for Windows 2000 and XP)"));
}

TEST_F(MainWindowTest, LaunchersHaveTheirCaptionsAndHoverFonts) {
  const char* captions[kLauncherCount] = {
      "Uninstaller Manager", "Block ActiveX",     "BHO Manager",      "Evidence Cleaner",
      "Error Utilities",     "Internet Explorer Restorer", "Junk File Cleaner", "System Optimizer",
      "Register ActiveX",    "Startup Manager",   "System Restore Point", "Memory Optimize"};
  for (int i = 0; i < kLauncherCount; ++i)
    EXPECT_EQ(form->LauncherLabels[static_cast<std::size_t>(i)]->text().toStdString(), captions[i]);
  EXPECT_EQ(form->LauncherLabels[0]->objectName(), QStringLiteral("abAddRemoveBtn"));
  EXPECT_EQ(form->Launchers[11]->objectName(), QStringLiteral("ImageEx12"));

  auto hot = [](QLabel* label) {
    return label->font().bold() && label->font().underline() &&
           label->palette().color(QPalette::WindowText) == QColor(0, 0, 255);
  };
  auto plain = [](QLabel* label) {
    return !label->font().bold() && !label->font().underline() &&
           label->palette().color(QPalette::WindowText) == QColor(0, 0, 0);
  };
  QLabel* label = form->LauncherLabels[4];
  EXPECT_TRUE(plain(label));
  SendEnter(form->Launchers[4]);
  EXPECT_TRUE(hot(label));
  EXPECT_TRUE(plain(form->LauncherLabels[3])) << "only the launcher under the mouse";
  SendLeave(form->Launchers[4]);
  EXPECT_TRUE(plain(label));
  SendEnter(label);
  EXPECT_TRUE(hot(label));
  SendLeave(label);
  EXPECT_TRUE(plain(label));
}

TEST_F(MainWindowTest, LauncherCaptionsFitTheirLabelsPlainAndUnderTheMouse) {
  auto fits = [](const QLabel* label) {
    const QRect room = label->contentsRect();
    const QRect needed = label->fontMetrics().boundingRect(room, Qt::TextWordWrap, label->text());
    return needed.width() <= room.width() && needed.height() <= room.height();
  };
  QLabel* note = form->abSysRestoreNote;
  for (int launcher = 1; launcher <= kLauncherCount; ++launcher) {
    QLabel* label = form->LauncherLabels[static_cast<std::size_t>(launcher - 1)];
    const QRect icon = form->Launchers[static_cast<std::size_t>(launcher - 1)]->geometry();
    for (bool hot : {false, true}) {
      if (hot) form->ImageExMouseEnter(launcher);
      else form->ImageExMouseLeave(launcher);
      EXPECT_TRUE(fits(label)) << label->text().toStdString() << (hot ? " under the mouse" : "");
      // Nothing reaches into the next launcher's icon.
      for (TImageEx* other : form->Launchers)
        EXPECT_FALSE(other->geometry().intersects(label->geometry())) << label->text().toStdString();
      EXPECT_TRUE(fits(note));
      EXPECT_FALSE(note->geometry().intersects(label->geometry()));
      EXPECT_GE(label->geometry().center().y(), icon.top());
      EXPECT_LE(label->geometry().center().y(), icon.bottom());
    }
  }
}

TEST_F(MainWindowTest, TopButtonsSwapPicturesUnderTheMouse) {
  const struct {
    TImageEx* TFernwickForm::*button;
    const char* picture;
  } buttons[] = {{&TFernwickForm::UpdateBtn, "Update"},
                 {&TFernwickForm::OptionsBtn, "Options"},
                 {&TFernwickForm::HelpBtn, "Help"},
                 {&TFernwickForm::AboutBtn, "About"}};
  for (const auto& b : buttons) {
    TImageEx* button = form.get()->*b.button;
    EXPECT_EQ(button->Picture(), Jpeg(b.picture)) << b.picture;
    SendEnter(button);
    EXPECT_EQ(button->Picture(), Jpeg((std::string(b.picture) + "1").c_str())) << b.picture;
    SendLeave(button);
    EXPECT_EQ(button->Picture(), Jpeg(b.picture)) << b.picture;
  }
  const struct {
    TImageEx* TFernwickForm::*button;
    int normal;
  } frames[] = {{&TFernwickForm::MinimizeBtn, 0}, {&TFernwickForm::CloseBtn, 2}};
  for (const auto& f : frames) {
    TImageEx* button = form.get()->*f.button;
    EXPECT_EQ(button->Picture(), dm->minmaxImageList.Frame(f.normal));
    SendEnter(button);
    EXPECT_EQ(button->Picture(), dm->minmaxImageList.Frame(f.normal + 1));
    SendLeave(button);
    EXPECT_EQ(button->Picture(), dm->minmaxImageList.Frame(f.normal));
  }
}

TEST_F(MainWindowTest, TopButtonsOpenHelpAboutAndOptions) {
  Settings.HelpURL = "http://www.fernwick.invalid/manual/";
  ShowForm();
  SendClick(form->HelpBtn);
  const std::vector<std::string> log = win::ShellLog();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("http://www.fernwick.invalid/manual/"), std::string::npos) << log.back();

  std::vector<QString> modalTitles;
  auto closeModal = [&] {
    QTimer::singleShot(0, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        modalTitles.push_back(modal->windowTitle());
        modal->close();
      }
    });
  };
  closeModal();
  SendClick(form->AboutBtn);
  closeModal();
  SendClick(form->OptionsBtn);
  EXPECT_EQ(modalTitles, (std::vector<QString>{"About", "Preferences"}));
}

TEST_F(MainWindowTest, ClosingHidesToTheTrayAndTheTrayBringsItBack) {
  ShowForm();
  ASSERT_NE(form->TrayIcon, nullptr);
  EXPECT_EQ(form->TrayIcon->toolTip(), QStringLiteral("Fernwick"));
  EXPECT_EQ(form->TrayIcon->contextMenu(), dm->MainPopupMenu);

  // Shown from the start, tray or not, so that a tray starting later takes it.
  EXPECT_TRUE(form->TrayIcon->isVisible());
  // Until there is a tray to come back from, closing minimises.
  const struct {
    bool trayRuns;
    bool iconShown;
  } noWayBack[] = {{false, true}, {true, false}};
  for (const auto& c : noWayBack) {
    SetSystemTrayPresentForTesting(c.trayRuns);
    form->TrayIcon->setVisible(c.iconShown);
    SendClick(form->CloseBtn);
    EXPECT_TRUE(form->isMinimized()) << c.trayRuns;
    EXPECT_TRUE(form->isVisible()) << c.trayRuns;
    form->ShowAndRestore();
  }

  // The tray has started: closing hides the window to it.
  SetSystemTrayPresentForTesting(true);
  form->TrayIcon->show();
  SendClick(form->CloseBtn);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(terminations, 0);
  EXPECT_FALSE(ApplicationTerminated());

  form->WMTrayIcon(0x202);  // any other code does nothing
  EXPECT_FALSE(form->isVisible());
  form->WMTrayIcon(TRAY_LBUTTONDBLCLK);
  EXPECT_TRUE(form->isVisible());

  form->WMTrayIcon(TRAY_RBUTTONDOWN);
  EXPECT_TRUE(dm->MainPopupMenu->isVisible());
  dm->MainPopupMenu->hide();

  form->showMinimized();
  dm->OpenMenu->trigger();
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->isMinimized());
  EXPECT_EQ(terminations, 0);
}

TEST_F(MainWindowTest, TrayQuitCodeAndExitStopScansClearTheSelectionAndEndWhenIdle) {
  RecordingScanPage& page = RecordScanPage();
  ShowForm();
  form->WMTrayIcon(TRAY_QUIT);
  EXPECT_EQ(page.scanStateWhenCleared, 2);
  EXPECT_EQ(terminations, 1);

  ResetTerminateRequest();
  SetTerminateHandler([this] { ++terminations; });
  ScanState = 0;
  page.calls.clear();
  {
    BusyGuard scan;
    dm->Exit1->trigger();
    EXPECT_EQ(page.calls, std::vector<std::string>{"ClearSelection"});
    EXPECT_EQ(ScanState, 2);
    EXPECT_EQ(terminations, 1) << "not while the scan loop runs";
  }
  EXPECT_EQ(terminations, 2);
}

TEST_F(MainWindowTest, TopBandDragsTheWindowWithTheLeftButtonOnly) {
  ShowForm();
  form->move(100, 100);
  QCoreApplication::processEvents();
  const QPoint start = form->pos();
  auto send = [](QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint local, QPoint global,
                 Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(local), QPointF(global), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
  };
  auto drag = [&](QWidget* target, Qt::MouseButton button, QPoint local) {
    const QPoint global = target->mapToGlobal(local);
    send(target, QEvent::MouseButtonPress, button, local, global, button);
    send(target, QEvent::MouseMove, Qt::NoButton, local + QPoint(50, 30), global + QPoint(50, 30), button);
    send(target, QEvent::MouseButtonRelease, button, local + QPoint(50, 30), global + QPoint(50, 30),
         Qt::NoButton);
    QCoreApplication::processEvents();
  };

  drag(form->TopImage, Qt::RightButton, QPoint(200, 40));
  EXPECT_EQ(form->pos(), start) << "right button";
  drag(form->LeftImage, Qt::LeftButton, QPoint(40, 40));
  EXPECT_EQ(form->pos(), start) << "below the band";
  EXPECT_FALSE(form->TopPanelMouseDown(form->LeftImage, Qt::LeftButton, QPoint(40, 40)));

  drag(form->TopImage, Qt::LeftButton, QPoint(200, 40));
  EXPECT_EQ(form->pos(), start + QPoint(50, 30));
  // After the release the mouse moves on its own.
  send(form->TopImage, QEvent::MouseMove, Qt::NoButton, QPoint(10, 10), form->TopImage->mapToGlobal(QPoint(400, 10)),
       Qt::NoButton);
  EXPECT_EQ(form->pos(), start + QPoint(50, 30));
}

TEST_F(MainWindowTest, FirstActivationWithAnArgumentScansOnceASecondLater) {
  RecordingScanPage& page = RecordScanPage();
  CmdArg = "-Scan";
  QElapsedTimer clock;
  clock.start();
  ShowForm();  // shown windows become active
  QEvent activate(QEvent::WindowActivate);
  if (page.calls.size() < 2) QCoreApplication::sendEvent(form.get(), &activate);
  EXPECT_GE(clock.elapsed(), 990);
  EXPECT_EQ(page.calls, (std::vector<std::string>{"Step0", "ScanNow"}));
  QCoreApplication::sendEvent(form.get(), &activate);
  EXPECT_EQ(page.calls, (std::vector<std::string>{"Step0", "ScanNow"})) << "first activation only";
  EXPECT_FALSE(form->FirstActivation);
}

TEST_F(MainWindowTest, ScanButtonsRedrawUnderTheMouse) {
  ShowForm();
  const QImage normal = form->ScanNowBtn->Picture();
  SendEnter(form->ScanNowBtn);
  const QImage hover = form->ScanNowBtn->Picture();
  EXPECT_NE(hover, normal);
  SendLeave(form->ScanNowBtn);
  EXPECT_EQ(form->ScanNowBtn->Picture(), normal);
}

}  // namespace
