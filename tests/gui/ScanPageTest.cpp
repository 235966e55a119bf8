// The registry cleaner's page in the main window: the steps of a scan, the
// results page with its grid, problem list and details, ticks and
// exclusions, the repair dialog and the Finish list.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../regclean/RegcleanFixture.h"
#include "GuiTestApp.h"
#include "MouseEvents.h"
#include "platform/files/FileSystem.h"
#include "platform/shell/Shell.h"
#include "regclean/IgnoreFileUnit.h"
#include "regclean/ScanResultsUnit.h"
#include "regclean/gui/FinishListUnit.h"
#include "regclean/gui/ProblemListUnit.h"
#include "regclean/gui/RepairDialogUnit.h"
#include "regclean/gui/ScanPageUnit.h"
#include "shell/Dialogs.h"
#include "shell/gui/DM.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/MainUnit.h"

namespace {

using regclean::test::FakeSections;
using Rows = std::vector<std::pair<std::string, std::string>>;

class ScanPageTest : public ::testing::Test {
 protected:
  ScanPageTest() {
    GuiApp();
    Reset();
  }
  ~ScanPageTest() override {
    form.reset();
    dm.reset();
    machine.reset();
    Reset();
    win::ResetShellState();
  }

  static void Reset() {
    ResetSharedState();
    Settings.SelectAll = true;
    SetProcessMessagesHook(nullptr);
  }

  void Open(const std::string& regText = "", const std::string& configText = "") {
    machine = std::make_unique<TestMachine>(regText, regclean::test::kProgramFolderLine, configText);
    dm = std::make_unique<TDM>();
    form = std::make_unique<TFernwickForm>();
    page = dynamic_cast<TRegistryScanPage*>(form->ScanPage.get());
    ASSERT_NE(page, nullptr);
    dm->TickCount = [] { return win::DWORD{5000}; };
    form->show();
    QCoreApplication::processEvents();
  }

  Rows GridRows() const {
    Rows rows;
    for (int i = 0; i < page->RepairGrid->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = page->RepairGrid->topLevelItem(i);
      rows.emplace_back(item->text(0).toStdString(), item->text(1).toStdString());
    }
    return rows;
  }
  std::vector<int> GridSections() const {
    std::vector<int> sections;
    for (int i = 0; i < page->RepairGrid->topLevelItemCount(); ++i)
      sections.push_back(page->RepairGrid->topLevelItem(i)->data(0, Qt::UserRole).toInt());
    return sections;
  }
  void SelectGridRow(int row) {
    page->RepairGrid->setCurrentItem(page->RepairGrid->topLevelItem(row));
    QCoreApplication::processEvents();
  }
  std::vector<int> StateImages() const {
    std::vector<int> states;
    for (int i = 0; i < page->ProblemsListBox->count(); ++i) states.push_back(page->ProblemsListBox->StateImage(i));
    return states;
  }
  // A left click at (dx, dy) from the top left corner of problem row `row`.
  void ClickProblemRow(int row, int dx, int dy) {
    TProblemsListBox* list = page->ProblemsListBox;
    const QPoint at = list->visualItemRect(list->item(row)).topLeft() + QPoint(dx, dy);
    SendMouse(list->viewport(), QEvent::MouseButtonPress, Qt::LeftButton, at, Qt::LeftButton);
    SendMouse(list->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
  }
  void ClickTickBox(int row) { ClickProblemRow(row, 12, 35); }
  bool Ticked(int section, int position) const {
    return page->Session.SectionContents[static_cast<std::size_t>(section)].GetItem(position).Content.Checked;
  }
  QImage StatFrame(int frame) const { return dm->StatImageList.Frame(frame); }
  std::string Label(const QLabel* label) const { return label->text().toStdString(); }
  Rows FinishRows() const {
    Rows rows;
    const QAbstractItemModel* model = page->FinishListView->model();
    for (int i = 0; i < model->rowCount(); ++i)
      rows.emplace_back(model->index(i, 0).data().toString().toStdString(),
                        model->index(i, 1).data().toString().toStdString());
    return rows;
  }

  std::unique_ptr<TestMachine> machine;
  std::unique_ptr<TDM> dm;
  std::unique_ptr<TFernwickForm> form;
  TRegistryScanPage* page = nullptr;
  ScriptedDialogs dialogs;
};

TEST_F(ScanPageTest, StartPageTicksSectionsOneByOneOrAllAtOnce) {
  Open();
  for (int i = 0; i < regclean::kSectionCount; ++i) {
    EXPECT_EQ(page->SectionImages[i]->Picture(), StatFrame(1)) << i;
    EXPECT_EQ(page->SectionImages[i]->Tag, 1) << i;
    EXPECT_EQ(Label(page->SectionLabels[i]), regclean::SectionByNumber(i + 1)->caption);
  }
  EXPECT_TRUE(page->cbSelectAll->isVisible());
  EXPECT_FALSE(page->ShowPanel->isVisible());

  SendClick(page->SectionImages[4]);
  EXPECT_EQ(page->SectionImages[4]->Picture(), StatFrame(0));
  EXPECT_EQ(page->SectionImages[4]->Tag, 0);
  EXPECT_FALSE(page->Session.SectionTicked(5));

  // The label toggles the box and runs its handler: every section unticked.
  SendClick(page->abSelectAll);
  EXPECT_FALSE(page->cbSelectAll->isChecked());
  EXPECT_EQ(page->Session.TickedSectionCount(), 0);
  EXPECT_EQ(page->SectionImages[0]->Picture(), StatFrame(0));
  SendClick(form->ScanNowBtn);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Please select the specific options before scanning.");
  EXPECT_EQ(form->ScanNotebook->currentIndex(), 0);
  EXPECT_TRUE(form->ScanNowBtn->isVisible());

  SendClick(page->cbSelectAll);
  EXPECT_TRUE(page->cbSelectAll->isChecked());
  EXPECT_EQ(page->Session.TickedSectionCount(), regclean::kSectionCount);
  EXPECT_EQ(page->SectionImages[4]->Picture(), StatFrame(1));
}

TEST_F(ScanPageTest, ScanFillsTheGridTheCountsAndTheProblemList) {
  Open();
  FakeSections fakes({{2, 1}, {10, 2}});
  SendClick(form->ScanNowBtn);

  EXPECT_EQ(form->ScanNotebook->currentIndex(), 1);
  EXPECT_TRUE(form->RepairBtn->isVisible());
  EXPECT_FALSE(form->AbortScanBtn->isVisible());
  EXPECT_TRUE(page->cbSelectAll->isVisible());
  EXPECT_TRUE(page->cbSelectAll->isChecked());
  EXPECT_FALSE(page->LabelWarning->isVisible());
  EXPECT_FALSE(dm->ScanTimer->isActive());
  EXPECT_FALSE(dm->ScanTimerEx->isActive());
  EXPECT_EQ(GridRows(), (Rows{{"All Problems", "3"}, {"    Application Paths", "1"}, {"    Shared DLL's Sections", "2"}}));
  EXPECT_EQ(GridSections(), (std::vector<int>{0, 2, 10}));
  EXPECT_EQ(page->RepairGrid->headerItem()->text(1).toStdString(), "Problems Found");
  EXPECT_EQ(page->RepairGrid->topLevelItem(1)->foreground(1).color(), QColor(255, 0, 0));
  EXPECT_EQ(Label(page->abExcludeMsg), "Elapsed time: 0 second      ");
  // Page 0 keeps what each section found.
  EXPECT_EQ(Label(page->CountLabels[1]), "1");
  EXPECT_EQ(Label(page->CountLabels[9]), "2");
  EXPECT_EQ(Label(page->CountLabels[0]), "0");
  EXPECT_EQ(page->SectionImages[1]->Picture(), StatFrame(12));
  EXPECT_EQ(page->SectionImages[0]->Picture(), StatFrame(11));
  EXPECT_EQ(Label(page->panTotalProcess), "Total Process: 100%");
  EXPECT_EQ(page->pbTotalProcess->value(), 100);

  // No grid row selected: an empty list.
  EXPECT_EQ(page->ProblemsListBox->count(), 0);
  EXPECT_FALSE(page->LabelWarningEx->isVisible());

  SelectGridRow(0);
  EXPECT_EQ(StateImages(), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Label(page->LabelWarningEx), "3 Problems Found");
  EXPECT_TRUE(page->LabelWarningEx->isVisible());
  EXPECT_EQ(page->ProblemsListBox->ProblemText(0), "Type 2\rDescription 0");
  EXPECT_EQ(page->ProblemsListBox->ProblemText(2), "Type 10\rDescription 1");

  SelectGridRow(2);
  EXPECT_EQ(page->ProblemsListBox->count(), 2);
  EXPECT_EQ(Label(page->LabelWarningEx), "2 Problems Found");
  EXPECT_EQ(page->ProblemsListBox->ProblemText(1), "Type 10\rDescription 1");

  // Details of the selected problem: severity and its section's description.
  page->Session.SectionContents[10].GetItem(1).Content.Severity = "High";
  page->ProblemsListBox->setCurrentRow(1);
  EXPECT_EQ(Label(page->Label1), "Severity:");
  EXPECT_EQ(Label(page->abLevel), "High");
  EXPECT_EQ(page->abLevel->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(page->LevleImage->Picture(), dm->LelvelImageList.Frame(2));
  EXPECT_EQ(Label(page->abDescription), "Description: ");
  EXPECT_EQ(page->DetailsMemo->toPlainText().toStdString(), regclean::SectionDescription("Shared DLL's Sections"));
  page->ProblemsListBox->clearSelection();
  EXPECT_EQ(Label(page->abLevel), "");
  EXPECT_TRUE(page->DetailsMemo->toPlainText().isEmpty());
  EXPECT_FALSE(page->LevleImage->HasPicture());

  // Without a grid row the list empties again.
  page->ClearResultSelection();
  EXPECT_EQ(page->ProblemsListBox->count(), 0);
  EXPECT_FALSE(page->LabelWarningEx->isVisible());
}

TEST_F(ScanPageTest, ProblemsAndTheBoxStartAsTheSelectAllSettingSays) {
  Open();
  Settings.SelectAll = false;
  FakeSections fakes(std::map<int, int>{{2, 2}});
  SendClick(form->ScanNowBtn);
  EXPECT_FALSE(page->cbSelectAll->isChecked());
  SelectGridRow(0);
  EXPECT_EQ(StateImages(), (std::vector<int>{0, 0}));
  // The box ticks the selected row's problems.
  SendClick(page->cbSelectAll);
  EXPECT_EQ(StateImages(), (std::vector<int>{1, 1}));
  EXPECT_TRUE(Ticked(2, 0) && Ticked(2, 1));
}

TEST_F(ScanPageTest, ProblemRowsAreDrawnWithTickFrameAndText) {
  Open();
  FakeSections fakes(std::map<int, int>{{10, 2}});
  SendClick(form->ScanNowBtn);
  SelectGridRow(1);
  ClickTickBox(1);
  page->ProblemsListBox->setCurrentRow(0);
  QCoreApplication::processEvents();
  const QImage shot = page->ProblemsListBox->viewport()->grab().toImage();
  const qreal scale = shot.devicePixelRatio();
  auto pixel = [&](QPoint at) { return QColor(shot.pixel(int(at.x() * scale), int(at.y() * scale))); };
  const QRect first = page->ProblemsListBox->visualItemRect(page->ProblemsListBox->item(0));
  const QRect second = page->ProblemsListBox->visualItemRect(page->ProblemsListBox->item(1));
  // Frames 2 pixels in from the sides, 4 from top and bottom; blue when selected.
  EXPECT_EQ(pixel(first.topLeft() + QPoint(2, 30)), QColor(0, 0, 255));
  EXPECT_EQ(pixel(first.topLeft() + QPoint(first.width() - 10, 4)), QColor(0, 0, 255));
  EXPECT_EQ(pixel(second.topLeft() + QPoint(2, 30)), kProblemFrameColour);
  // The tick picture sits at (8, 25) in the shrunk rectangle: ticked and
  // unticked rows differ there.
  const QImage ticked = dm->ProblemsImageList.Frame(1);
  const QImage unticked = dm->ProblemsImageList.Frame(0);
  const QPoint inBox(8, 9);
  ASSERT_NE(ticked.pixel(inBox), unticked.pixel(inBox));
  EXPECT_EQ(pixel(first.topLeft() + QPoint(10, 29) + inBox), QColor(ticked.pixel(inBox)));
  EXPECT_EQ(pixel(second.topLeft() + QPoint(10, 29) + inBox), QColor(unticked.pixel(inBox)));
  // Text is drawn in the row: something dark right of the tick picture.
  bool ink = false;
  for (int x = 32; x < 120 && !ink; ++x)
    for (int y = 6; y < 60 && !ink; ++y) ink = pixel(second.topLeft() + QPoint(x, y)).lightness() < 80;
  EXPECT_TRUE(ink);
}

TEST_F(ScanPageTest, TickBoxTogglesWhereItIsDrawn) {
  Open();
  FakeSections fakes(std::map<int, int>{{10, 1}});
  SendClick(form->ScanNowBtn);
  SelectGridRow(1);
  TProblemsListBox* list = page->ProblemsListBox;
  const QImage shot = list->viewport()->grab().toImage();
  const qreal scale = shot.devicePixelRatio();
  const QRect row = list->visualItemRect(list->item(0));
  const QRgb background = shot.pixel(int((row.left() + 6) * scale), int((row.top() + 8) * scale));
  // The drawn box: what differs from the background between the frame and the text.
  QRect box;
  for (int x = 4; x < 30; ++x)
    for (int y = 6; y < kProblemRowHeight - 6; ++y)
      if (shot.pixel(int((row.left() + x) * scale), int((row.top() + y) * scale)) != background)
        box |= QRect(x, y, 1, 1);
  ASSERT_FALSE(box.isEmpty());
  const int midX = box.center().x();
  const int midY = box.center().y();
  struct Case {
    QPoint at;  // from the row's top left corner
    bool toggles;
  };
  const Case cases[] = {
      {box.topLeft(), true},          {box.topRight(), true},       {box.bottomLeft(), true},
      {box.bottomRight(), true},      {{box.left(), midY}, true},   {{box.right(), midY}, true},
      {{midX, box.top()}, true},      {{midX, box.bottom()}, true}, {{9, midY}, false},
      {{27, midY}, false},            {{midX, 28}, false},          {{midX, 47}, false},
  };
  for (const Case& c : cases) {
    const int before = list->StateImage(0);
    ClickProblemRow(0, c.at.x(), c.at.y());
    EXPECT_EQ(list->StateImage(0) != before, c.toggles) << c.at.x() << "," << c.at.y();
    EXPECT_EQ(Ticked(10, 0), list->StateImage(0) == 1);
  }
}

TEST_F(ScanPageTest, ProgressShowsWhileScanningAndAbortKeepsWhatWasFound) {
  Open();
  FakeSections fakes({{2, 3}, {4, 5}, {10, 2}});
  struct Seen {
    int notebookPage = -1;
    bool progressPanel = false, abort = false, scanNow = true, selectAll = true, scanTimer = false, clock = false;
    int currentSection = 0;
    bool animatedFrame = false, finishedFrame = false, waitingCleared = false;
    std::string warning, count2, count4, total;
    bool warningShown = false;
  } seen;
  int entries = 0;
  SetProcessMessagesHook([&] {
    ++entries;
    if (entries == 4) {
      dm->ScanTimerTimer();
      seen.notebookPage = form->ScanNotebook->currentIndex();
      seen.progressPanel = page->ShowPanel->isVisible();
      seen.abort = form->AbortScanBtn->isVisible();
      seen.scanNow = form->ScanNowBtn->isVisible();
      seen.selectAll = page->cbSelectAll->isVisible();
      seen.scanTimer = dm->ScanTimer->isActive();
      seen.clock = dm->ScanTimerEx->isActive();
      seen.currentSection = dm->CurrentSection;
      seen.animatedFrame = page->SectionImages[3]->Picture() == StatFrame(4);
      seen.finishedFrame = page->SectionImages[1]->Picture() == StatFrame(12);
      seen.waitingCleared = !page->SectionImages[9]->HasPicture();
      seen.warning = Label(page->LabelWarning);
      seen.warningShown = page->LabelWarning->isVisible();
      seen.count2 = Label(page->CountLabels[1]);
      seen.count4 = Label(page->CountLabels[3]);
      seen.total = Label(page->panTotalProcess);
    }
    if (entries == 5) SendClick(form->AbortScanBtn);
  });
  SendClick(form->ScanNowBtn);

  EXPECT_EQ(seen.notebookPage, 0);
  EXPECT_TRUE(seen.progressPanel);
  EXPECT_TRUE(seen.abort);
  EXPECT_FALSE(seen.scanNow);
  EXPECT_FALSE(seen.selectAll);
  EXPECT_TRUE(seen.scanTimer);
  EXPECT_TRUE(seen.clock);
  EXPECT_EQ(seen.currentSection, 4);
  EXPECT_TRUE(seen.animatedFrame);
  EXPECT_TRUE(seen.finishedFrame);
  EXPECT_TRUE(seen.waitingCleared);
  EXPECT_EQ(seen.warning, "4 Problems Found");
  EXPECT_TRUE(seen.warningShown);
  EXPECT_EQ(seen.count2, "3");
  EXPECT_EQ(seen.count4, "1");
  EXPECT_EQ(seen.total, "Total Process: 18%");  // 3 of 17 sections done

  // Stopped in section 4: later sections never ran, both timers stopped.
  EXPECT_EQ(fakes.SectionsCalled(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_FALSE(dm->ScanTimer->isActive());
  EXPECT_FALSE(dm->ScanTimerEx->isActive());
  EXPECT_EQ(form->ScanNotebook->currentIndex(), 1);
  EXPECT_EQ(GridRows(), (Rows{{"All Problems", "5"}, {"    Application Paths", "3"}, {"    File Extensions", "2"}}));
}

// A section whose one call examines `entries` entries, each a problem named
// as the caption shows it; every 200th item moves the items gauge.
regclean::RegistrySection BusySection(int section, int entries) {
  regclean::RegistrySection busy;
  busy.scanners.push_back([section, entries](regclean::ScanContext& context) {
    for (int entry = 1; entry <= entries; ++entry) {
      if (regclean::ScanStopRequested()) return;
      TRegistryContent problem;
      problem.KeyPath = "HKEY_CURRENT_USER\\Busy" + std::to_string(section) + "\\" + std::to_string(entry);
      regclean::ShowOutcome(context, problem.KeyPath);
      IncItemsProcessed();
      regclean::AddProblem(context, problem);
      ProcessMessages();
    }
  });
  busy.target = regclean::ValueTargetOf;
  return busy;
}

TEST_F(ScanPageTest, RunningDisplayFollowsTheScanAtEachTickAndEachSectionEnd) {
  Open();
  FakeSections fakes;
  const regclean::ScopedSectionOverride third(3, BusySection(3, 1000));
  const regclean::ScopedSectionOverride fifth(5, BusySection(5, 300));
  struct Shown {
    std::string outcome, count3, count5, items;
    int gauge = -1;
  };
  std::map<std::string, Shown> seen;
  const auto look = [&](const std::string& moment) {
    seen[moment] = {Label(page->ScanOutcomePanel), Label(page->CountLabels[2]), Label(page->CountLabels[4]),
                    Label(page->abItemsProcessed), page->pbItemsProcessed->value()};
  };
  int entries = 0;
  SetProcessMessagesHook([&] {
    if (++entries != 450) return;
    dm->ScanTimerTimer();
    look("tick at entry 450");
  });
  fakes.onScan = [&](int section) {
    if (section == 4) look("section 4 starts");
  };
  SendClick(form->ScanNowBtn);
  look("scan over");

  const std::pair<std::string, Shown> expected[] = {
      {"tick at entry 450", {"HKEY_CURRENT_USER\\Busy3\\450", "450", "", "Items processed:        400", 2}},
      {"section 4 starts", {"HKEY_CURRENT_USER\\Busy3\\1000", "1000", "", "Items processed:       1000", 5}},
      {"scan over", {"HKEY_CURRENT_USER\\Busy5\\300", "1000", "300", "Items processed:       1200", 6}},
  };
  for (const auto& [moment, shown] : expected) {
    SCOPED_TRACE(moment);
    const Shown& actual = seen[moment];
    EXPECT_EQ(actual.outcome, shown.outcome);
    EXPECT_EQ(actual.count3, shown.count3);
    EXPECT_EQ(actual.count5, shown.count5);
    EXPECT_EQ(actual.items, shown.items);
    EXPECT_EQ(actual.gauge, shown.gauge);
  }
  EXPECT_EQ(page->Session.GetTotalProblemCount(), 1300);
}

TEST_F(ScanPageTest, ScanThatFindsNothingEndsOnTheFinishPage) {
  Open();
  FakeSections fakes;
  SendClick(form->ScanNowBtn);
  EXPECT_EQ(form->ScanNotebook->currentIndex(), 2);
  EXPECT_TRUE(form->FinishBtn->isVisible());
  EXPECT_EQ(FinishRows(), (Rows{{"Problems Found: 0", ""}}));
  EXPECT_TRUE(GridRows().empty());
}

TEST_F(ScanPageTest, FirstActivationScansOnceUnlessTheUserScannedMeanwhile) {
  CmdArg = "-Scan";
  FakeSections fakes(std::map<int, int>{{2, 1}});
  Open();  // shown windows become active
  QEvent activate(QEvent::WindowActivate);
  if (fakes.calls.empty()) QCoreApplication::sendEvent(form.get(), &activate);
  ASSERT_EQ(fakes.SectionsCalled().size(), 17u);
  EXPECT_EQ(form->ScanNotebook->currentIndex(), 1);
  QCoreApplication::sendEvent(form.get(), &activate);
  EXPECT_EQ(fakes.SectionsCalled().size(), 17u) << "first activation only";

  // The user presses Scan Now during the second of waiting: that scan runs,
  // the automatic one is skipped.
  form.reset();
  dm.reset();
  dm = std::make_unique<TDM>();
  form = std::make_unique<TFernwickForm>();
  page = dynamic_cast<TRegistryScanPage*>(form->ScanPage.get());
  FakeSections again(std::map<int, int>{{2, 1}});
  bool pressed = false;
  SetProcessMessagesHook([&] {
    if (!std::exchange(pressed, true)) SendClick(form->ScanNowBtn);
  });
  form->show();
  QCoreApplication::processEvents();
  if (form->FirstActivation) QCoreApplication::sendEvent(form.get(), &activate);
  SetProcessMessagesHook(nullptr);
  EXPECT_TRUE(pressed);
  EXPECT_EQ(page->Session.ScansStarted(), 1);
}

TEST_F(ScanPageTest, TicksAndExclusionsFollowAProblemIntoTheOtherList) {
  Open();
  FakeSections fakes({{2, 2}, {10, 3}});
  SendClick(form->ScanNowBtn);
  SelectGridRow(0);  // All Problems: 2 v0, 2 v1, 10 v0, 10 v1, 10 v2

  // Just left of the tick box: the row is selected, its tick stays.
  ClickProblemRow(3, 9, 35);
  EXPECT_EQ(page->ProblemsListBox->SelectedRow(), 3);
  EXPECT_EQ(StateImages(), (std::vector<int>{1, 1, 1, 1, 1}));
  ClickTickBox(3);
  EXPECT_EQ(StateImages(), (std::vector<int>{1, 1, 1, 0, 1}));
  EXPECT_FALSE(Ticked(10, 1));

  // The section's own list shows it, and a tick there goes back the other way.
  SelectGridRow(2);
  EXPECT_EQ(StateImages(), (std::vector<int>{1, 0, 1}));
  ClickTickBox(0);
  EXPECT_FALSE(Ticked(0, 2));
  SelectGridRow(0);
  EXPECT_EQ(StateImages(), (std::vector<int>{1, 1, 0, 0, 1}));

  // Exclude "2 v1" from All Problems: gone from both lists, both counts follow.
  page->ProblemsListBox->setCurrentRow(1);
  dm->Excludeandaddkeytoignorelist1->trigger();
  EXPECT_EQ(GridRows(), (Rows{{"All Problems", "4"}, {"    Application Paths", "1"}, {"    Shared DLL's Sections", "3"}}));
  EXPECT_EQ(page->RepairGrid->headerItem()->text(1).toStdString(), "Problems Found: 4");
  EXPECT_EQ(Label(page->LabelWarningEx), "4 Problems Found");
  EXPECT_EQ(page->ProblemsListBox->count(), 4);
  EXPECT_EQ(page->ProblemsListBox->SelectedRow(), -1);
  EXPECT_TRUE(Label(page->abLevel).empty());
  EXPECT_EQ(regclean::test::ValueNamesOf(page->Session.SectionContents[2]), std::vector<std::string>{"v0"});
  std::vector<std::uint8_t> ignoreFile;
  ASSERT_TRUE(win::ReadFileBytes(regclean::IgnoreFilePath(), ignoreFile));
  EXPECT_EQ(std::string(ignoreFile.begin(), ignoreFile.end()), "Application Paths|HKEY_CURRENT_USER\\Software\\Fake2|v1\r\n");
  // Nothing selected: the menu item does nothing.
  dm->Excludeandaddkeytoignorelist1->trigger();
  EXPECT_EQ(page->ProblemsListBox->count(), 4);

  // Select None / Select All from the menu change only the selected row's problems.
  SelectGridRow(2);
  dm->SelectNone1->trigger();
  EXPECT_FALSE(page->cbSelectAll->isChecked());
  EXPECT_EQ(StateImages(), (std::vector<int>{0, 0, 0}));
  EXPECT_FALSE(Ticked(10, 0) || Ticked(10, 1) || Ticked(10, 2));
  EXPECT_TRUE(Ticked(2, 0));
  dm->SelectAll1->trigger();
  EXPECT_EQ(StateImages(), (std::vector<int>{1, 1, 1}));
  ClickTickBox(0);
  dm->SelectAll1->trigger();  // the box is already ticked: nothing changes
  EXPECT_EQ(StateImages(), (std::vector<int>{0, 1, 1}));
  EXPECT_FALSE(Ticked(10, 0));
}

TEST_F(ScanPageTest, DetailsLinkHidesAndShowsTheDetailsPanel) {
  Open();
  const int fullWidth = page->ProblemsPanel->width();
  EXPECT_EQ(Label(page->abShowHideDetails), "Hide Details");
  EXPECT_LT(page->ProblemsListBox->width(), fullWidth);
  SendClick(page->abShowHideDetails);
  EXPECT_EQ(Label(page->abShowHideDetails), "Show Details");
  EXPECT_TRUE(page->panDetails->isHidden());
  EXPECT_EQ(page->ProblemsListBox->width(), fullWidth);
  SendClick(page->abShowHideDetails);
  EXPECT_EQ(Label(page->abShowHideDetails), "Hide Details");
  EXPECT_FALSE(page->panDetails->isHidden());
}

TEST_F(ScanPageTest, RepairDialogStopsTheRepairBeforeTheNextItem) {
  const std::vector<std::pair<const char*, std::function<void(TRepairDialogForm&)>>> ways = {
      {"Cancel button", [](TRepairDialogForm& d) { SendClick(d.CancelBtn); }},
      {"close box", [](TRepairDialogForm& d) { d.close(); }},
      {"Escape", [](TRepairDialogForm& d) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QCoreApplication::sendEvent(&d, &escape);
       }},
  };
  Open();
  for (const auto& [name, cancel] : ways) {
    SCOPED_TRACE(name);
    FakeSections fakes({{2, 3}, {5, 3}, {16, 3}});
    SendClick(form->ScanNowBtn);
    ASSERT_EQ(form->ScanNotebook->currentIndex(), 1);
    struct {
      std::string caption, status;
      bool shown = false, mainEnabled = true, cancelEnabled = false;
    } seen;
    int entries = 0;
    SetProcessMessagesHook([&] {
      if (++entries != 2) return;
      TRepairDialogForm* dialog = page->RepairDialogForm();
      if (!dialog) return;
      seen.caption = dialog->windowTitle().toStdString();
      seen.status = dialog->StatusText();
      seen.shown = dialog->isVisible();
      seen.mainEnabled = form->isEnabled();
      seen.cancelEnabled = dialog->CancelBtn->isEnabled();
      cancel(*dialog);
    });
    SendClick(form->RepairBtn);
    SetProcessMessagesHook(nullptr);

    EXPECT_EQ(seen.caption, "Fernwick");
    EXPECT_EQ(seen.status, "HKEY_CURRENT_USER\\Software\\Fake2");
    EXPECT_TRUE(seen.shown);
    EXPECT_FALSE(seen.mainEnabled);
    EXPECT_TRUE(seen.cancelEnabled);
    // One item repaired, nothing after it; the dialog is gone.
    EXPECT_EQ(FinishRows(), (Rows{{"HKEY_CURRENT_USER\\Software\\Fake2", "Repaired Successfully"}}));
    EXPECT_EQ(page->RepairDialogForm(), nullptr);
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(form->ScanNotebook->currentIndex(), 2);
    EXPECT_TRUE(form->FinishBtn->isVisible());
    EXPECT_EQ(ScanState, 4);
    SendClick(form->FinishBtn);
    EXPECT_EQ(ScanState, 0);
  }
}

TEST_F(ScanPageTest, NothingElseTakesInputWhileARepairRuns) {
  Open();
  FakeSections fakes({{2, 2}, {10, 2}});
  SendClick(form->ScanNowBtn);
  SelectGridRow(0);
  page->ProblemsListBox->setCurrentRow(0);
  int entries = 0;
  struct {
    int mainPage = -1, listRows = 0;
    std::vector<int> states;
    bool selectAll = false, cancelLive = false;
  } seen;
  SetProcessMessagesHook([&] {
    if (++entries != 1) return;
    SendClick(form->BackupBtn);
    SendClick(form->RepairBtn);
    SendClick(page->cbSelectAll);
    ClickTickBox(1);
    dm->SelectNone1->trigger();
    dm->Excludeandaddkeytoignorelist1->trigger();
    seen.mainPage = form->MainNotebook->currentIndex();
    seen.listRows = page->ProblemsListBox->count();
    seen.states = StateImages();
    seen.selectAll = page->cbSelectAll->isChecked();
    seen.cancelLive = page->RepairDialogForm() && page->RepairDialogForm()->isEnabled() &&
                      page->RepairDialogForm()->CancelBtn->isEnabled();
  });
  SendClick(form->RepairBtn);
  SetProcessMessagesHook(nullptr);

  EXPECT_EQ(seen.mainPage, 0);
  EXPECT_EQ(seen.listRows, 4);
  EXPECT_EQ(seen.states, (std::vector<int>{1, 1, 1, 1}));
  EXPECT_TRUE(seen.selectAll);
  EXPECT_TRUE(seen.cancelLive);
  EXPECT_EQ(FinishRows().size(), 4u);
  EXPECT_TRUE(form->isEnabled());
  EXPECT_TRUE(form->BackupBtnClick());
}

TEST_F(ScanPageTest, FinishListShowsFailuresInRedAndFinishStartsAgain) {
  const std::string config =
      TestMachine::DefaultConfigText() + "[ReadOnlyKeys]\r\n1=HKEY_CURRENT_USER\\Software\\Fake10\r\n";
  Open("[HKEY_CURRENT_USER\\Software\\Fake2]\r\n\"v0\"=\"x\"\r\n"
       "[HKEY_CURRENT_USER\\Software\\Fake10]\r\n\"v0\"=\"a\"\r\n\"v1\"=\"b\"\r\n",
       config);
  FakeSections fakes({{2, 1}, {10, 2}});
  SendClick(form->ScanNowBtn);
  SendClick(form->RepairBtn);

  const Rows rows = FinishRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::pair<std::string, std::string>{"HKEY_CURRENT_USER\\Software\\Fake2", "Repaired Successfully"}));
  EXPECT_EQ(rows[1].first, "HKEY_CURRENT_USER\\Software\\Fake10");
  EXPECT_NE(rows[1].second.find("Error"), std::string::npos);
  const QAbstractItemModel* model = page->FinishListView->model();
  auto colour = [&](int row, int column) { return model->index(row, column).data(Qt::ForegroundRole).value<QColor>(); };
  EXPECT_EQ(colour(0, 1), QColor(0, 128, 0));
  EXPECT_EQ(colour(1, 1), QColor(255, 0, 0));
  EXPECT_EQ(colour(2, 1), QColor(255, 0, 0));
  EXPECT_EQ(colour(1, 0), QColor(0, 0, 0));
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString().toStdString(), "Registry Name");
  EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString().toStdString(), "Status");
  EXPECT_EQ(model->index(0, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
  EXPECT_FALSE(regclean::test::ValueExists(win::HKEY_CURRENT_USER, "Software\\Fake2", "v0"));
  EXPECT_TRUE(regclean::test::ValueExists(win::HKEY_CURRENT_USER, "Software\\Fake10", "v0"));
  // The first column takes the width the status column leaves.
  EXPECT_EQ(page->FinishListView->columnWidth(0),
            page->FinishListView->width() - page->FinishListView->columnWidth(1) - 20);

  SendClick(form->FinishBtn);
  EXPECT_EQ(form->ScanNotebook->currentIndex(), 0);
  EXPECT_TRUE(form->ScanNowBtn->isVisible());
  EXPECT_TRUE(FinishRows().empty());
  EXPECT_TRUE(GridRows().empty());
  EXPECT_FALSE(page->ShowPanel->isVisible());
  for (int i = 0; i < regclean::kSectionCount; ++i) {
    EXPECT_EQ(page->SectionImages[i]->Picture(), StatFrame(1)) << i;
    EXPECT_EQ(Label(page->CountLabels[i]), "") << i;
  }
}

}  // namespace
