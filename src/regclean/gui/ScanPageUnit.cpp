#include "regclean/gui/ScanPageUnit.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>
#include <utility>

#include "platform/system/System.h"
#include "regclean/RepairDriverUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "regclean/ScanResultsUnit.h"
#include "regclean/gui/FinishListUnit.h"
#include "regclean/gui/ProblemListUnit.h"
#include "regclean/gui/RepairDialogUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/MainUnit.h"

using namespace regclean;

namespace {

constexpr int kSectionRows = 9;        // sections per column on page 0
constexpr int kSectionRowHeight = 20;
constexpr int kDetailsWidth = 190;
constexpr int kGridCountWidth = 150;
constexpr int kFinishStatusWidth = 120;
const char* const kHideDetails = "Hide Details";
const char* const kShowDetails = "Show Details";

QString Text(const std::string& text) { return QString::fromStdString(text); }

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  label->setTextFormat(Qt::PlainText);
  return label;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

void SetBold(QWidget* widget) {
  QFont font = widget->font();
  font.setBold(true);
  widget->setFont(font);
}

QProgressBar* NewGauge(QWidget* parent, const char* name, const QRect& geometry) {
  auto* gauge = new QProgressBar(parent);
  gauge->setObjectName(QString::fromLatin1(name));
  gauge->setGeometry(geometry);
  gauge->setRange(0, 100);
  gauge->setValue(0);
  gauge->setTextVisible(false);
  return gauge;
}

// A white panel filling one notebook page.
QWidget* NewContent(QWidget* page, const char* name) {
  auto* content = new QWidget(page);
  content->setObjectName(QString::fromLatin1(name));
  SetWhiteBackground(content);
  auto* layout = page->layout() ? page->layout() : new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(content);
  return content;
}

// Shows a long text shortened in the middle, the whole of it as the tip.
void SetElidedText(QLabel* label, const std::string& text) {
  const QString whole = Text(text);
  label->setText(label->fontMetrics().elidedText(whole, Qt::ElideMiddle, label->width() - 8));
  label->setToolTip(whole);
}

// Holds `value` (the latest wins) or shows it at once, dropping an older held one.
template <typename Value, typename Show>
void HoldOrShow(bool hold, std::optional<Value>& held, const Value& value, Show show) {
  if (hold) {
    held = value;
    return;
  }
  held.reset();
  show(value);
}

}  // namespace

TRegistryScanPage::TRegistryScanPage(TFernwickForm& form) : TScanPage(form) {
  setObjectName(QStringLiteral("RegistryScanPage"));
  Session.tickCount = [] { return DM ? DM->TickCount() : win::GetTickCount(); };
  BuildSectionsPage();
  BuildResultsPage();
  BuildFinishPage();
  BuildBottomBar();
  ItemsProgress = this;
}

TRegistryScanPage::~TRegistryScanPage() {
  if (ItemsProgress == this) ItemsProgress = nullptr;
  repairDialog_.reset();
  // The widgets live in the frame's pages; they go with the page that
  // handles them.
  for (const QPointer<QWidget>& widget : ownWidgets_) {
    if (!widget) continue;
    widget->disconnect(this);
    for (QObject* child : widget->findChildren<QObject*>()) child->disconnect(this);
    delete widget.data();
  }
}

// ---- building ---------------------------------------------------------------

void TRegistryScanPage::BuildSectionsPage() {
  QWidget* page = NewContent(Form.ScanSections, "ScanSectionsContent");
  ownWidgets_.emplace_back(page);
  for (const SectionSpec& spec : SectionTable()) {
    const int i = spec.number - 1;
    const int x = i < kSectionRows ? 24 : 310;
    const int y = 10 + (i % kSectionRows) * kSectionRowHeight;
    auto* picture = new TImageEx(page);
    picture->setObjectName(Text(spec.pictureName));
    picture->setGeometry(x, y + 2, 16, 16);
    picture->setCursor(Qt::PointingHandCursor);
    picture->OnClick = [this, n = spec.number](QObject*) { picSectionClick(n); };
    SectionImages[static_cast<std::size_t>(i)] = picture;
    SectionLabels[static_cast<std::size_t>(i)] =
        NewLabel(page, spec.labelName.c_str(), Text(spec.caption), QRect(x + 24, y, 196, kSectionRowHeight));
    QLabel* count = NewLabel(page, spec.countLabelName.c_str(), QString(), QRect(x + 220, y, 40, kSectionRowHeight));
    count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetBold(count);
    CountLabels[static_cast<std::size_t>(i)] = count;
  }

  ShowPanel = new QFrame(page);
  ShowPanel->setObjectName(QStringLiteral("ShowPanel"));
  ShowPanel->setGeometry(24, 198, 542, 120);
  ShowPanel->setFrameShape(QFrame::StyledPanel);
  ShowPanel->hide();
  ScanOutcomePanel = NewLabel(ShowPanel, "ScanOutcomePanel", QString(), QRect(12, 10, 418, 22));
  ScanOutcomePanel->setFrameShape(QFrame::StyledPanel);
  ScanOutcomePanel->setFrameShadow(QFrame::Sunken);
  ScanOutcomePanel->setIndent(4);
  abScanTime = NewLabel(ShowPanel, "abScanTime", QStringLiteral("00:00:00"), QRect(440, 10, 90, 22));
  abScanTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetBold(abScanTime);
  pbItemsProcessed = NewGauge(ShowPanel, "pbItemsProcessed", QRect(12, 44, 300, 14));
  abItemsProcessed = NewLabel(ShowPanel, "abItemsProcessed", QStringLiteral("Items processed: 0"),
                              QRect(324, 41, 206, 20));
  panTotalProcess = NewLabel(ShowPanel, "panTotalProcess", QStringLiteral("Total Process:"), QRect(12, 66, 300, 20));
  SetBold(panTotalProcess);
  pbTotalProcess = NewGauge(ShowPanel, "pbTotalProcess", QRect(12, 90, 518, 16));
}

void TRegistryScanPage::BuildResultsPage() {
  QWidget* page = NewContent(Form.Repair, "RepairContent");
  ownWidgets_.emplace_back(page);
  RepairGrid = new QTreeWidget(page);
  RepairGrid->setObjectName(QStringLiteral("RepairGrid"));
  RepairGrid->setGeometry(10, 6, 570, 96);
  MakeReportList(RepairGrid);
  RepairGrid->setColumnCount(2);
  RepairGrid->setHeaderLabels({QStringLiteral("Section Name"), QStringLiteral("Problems Found")});
  RepairGrid->headerItem()->setTextAlignment(1, Qt::AlignCenter);
  RepairGrid->setColumnWidth(0, 370);
  RepairGrid->setColumnWidth(1, kGridCountWidth);
  connect(RepairGrid, &QTreeWidget::itemSelectionChanged, this, &TRegistryScanPage::RepairGridSelectItem);

  LabelWarningEx = NewLabel(page, "LabelWarningEx", QString(), QRect(10, 106, 200, 18));
  SetBold(LabelWarningEx);
  SetTextColour(LabelWarningEx, QColor(255, 0, 0));
  LabelWarningEx->hide();
  abExcludeMsg = NewLabel(page, "abExcludeMsg", QString(), QRect(210, 106, 270, 18));
  SetTextColour(abExcludeMsg, QColor(0x5E, 0x74, 0x7A));
  abShowHideDetails = NewLabel(page, "abShowHideDetails", QString::fromLatin1(kHideDetails), QRect(480, 106, 100, 18));
  abShowHideDetails->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  abShowHideDetails->setCursor(Qt::PointingHandCursor);
  SetHotLabelLook(abShowHideDetails, true, false);
  abShowHideDetails->installEventFilter(this);

  ProblemsPanel = new QWidget(page);
  ProblemsPanel->setObjectName(QStringLiteral("ProblemsPanel"));
  ProblemsPanel->setGeometry(10, 126, 570, 194);
  ProblemsListBox = new TProblemsListBox(ProblemsPanel);
  ProblemsListBox->setObjectName(QStringLiteral("ProblemsListBox"));
  ProblemsListBox->StateImages = DM ? &DM->ProblemsImageList : nullptr;
  ProblemsListBox->ProblemText = [this](int row) {
    const int section = SelectedSection();
    return section < 0 ? std::string() : GetProblemText(Session, section, row);
  };
  ProblemsListBox->OnTickBoxClick = [this](int row) { ProblemsListBoxTickClick(row); };
  ProblemsListBox->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ProblemsListBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (DM) DM->pmProblemsList->popup(ProblemsListBox->viewport()->mapToGlobal(at));
  });
  connect(ProblemsListBox, &QListWidget::itemSelectionChanged, this, &TRegistryScanPage::ProblemsListBoxSelectItem);

  panDetails = new QFrame(ProblemsPanel);
  panDetails->setObjectName(QStringLiteral("panDetails"));
  panDetails->setFrameShape(QFrame::StyledPanel);
  Label1 = NewLabel(panDetails, "Label1", QString(), QRect(8, 8, 62, 16));
  SetBold(Label1);
  abLevel = NewLabel(panDetails, "abLevel", QString(), QRect(72, 8, 60, 16));
  LevleImage = new TImageEx(panDetails);
  LevleImage->setObjectName(QStringLiteral("LevleImage"));
  LevleImage->setGeometry(136, 10, 36, 12);
  abDescription = NewLabel(panDetails, "abDescription", QString(), QRect(8, 30, 174, 16));
  SetBold(abDescription);
  DetailsMemo = new QTextEdit(panDetails);
  DetailsMemo->setObjectName(QStringLiteral("DetailsMemo"));
  DetailsMemo->setGeometry(8, 50, kDetailsWidth - 16, 194 - 58);
  DetailsMemo->setReadOnly(true);
  DetailsMemo->setAcceptRichText(false);
  DetailsMemo->setFrameShape(QFrame::NoFrame);
  // The memo reads as part of the white panel, also while the window is disabled.
  QPalette memo = DetailsMemo->palette();
  memo.setColor(QPalette::Base, Qt::white);
  DetailsMemo->setPalette(memo);
  LayoutProblemsPanel();
}

void TRegistryScanPage::BuildFinishPage() {
  QWidget* page = NewContent(Form.Finish, "FinishContent");
  ownWidgets_.emplace_back(page);
  RepairLogModel = new TRepairLogModel(Session.RepairLog, this);
  FinishListView = NewFinishListView(RepairLogModel, page);
  FinishListView->setGeometry(10, 6, 570, 314);
}

void TRegistryScanPage::BuildBottomBar() {
  QWidget* panel = Form.ScanPanel;
  const int y = Form.ScanNotebook->geometry().bottom() + 15;
  cbSelectAll = new QCheckBox(panel);
  cbSelectAll->setObjectName(QStringLiteral("cbSelectAll"));
  cbSelectAll->setGeometry(24, y, 18, 20);
  cbSelectAll->setChecked(true);
  connect(cbSelectAll, &QCheckBox::clicked, this, [this] { cbSelectAllClick(cbSelectAll); });
  abSelectAll = NewLabel(panel, "abSelectAll", QStringLiteral("Select All"), QRect(44, y, 120, 20));
  abSelectAll->setCursor(Qt::PointingHandCursor);
  abSelectAll->installEventFilter(this);
  LabelWarning = NewLabel(panel, "LabelWarning", QString(), QRect(24, y, 300, 20));
  SetBold(LabelWarning);
  SetTextColour(LabelWarning, QColor(255, 0, 0));
  LabelWarning->hide();
  ownWidgets_.emplace_back(cbSelectAll);
  ownWidgets_.emplace_back(abSelectAll);
  ownWidgets_.emplace_back(LabelWarning);
}

bool TRegistryScanPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == abSelectAll) cbSelectAllClick(abSelectAll);
    else if (watched == abShowHideDetails) abShowHideDetailsClick();
  }
  return QObject::eventFilter(watched, event);
}

void TRegistryScanPage::LayoutProblemsPanel() {
  const QRect area = ProblemsPanel->rect();
  const bool details = abShowHideDetails->text() == QLatin1String(kHideDetails);
  panDetails->setVisible(details);
  panDetails->setGeometry(area.width() - kDetailsWidth, 0, kDetailsWidth, area.height());
  ProblemsListBox->setGeometry(0, 0, details ? area.width() - kDetailsWidth - 6 : area.width(), area.height());
  ProblemsListBox->viewport()->update();
}

// ---- the frame's seam ---------------------------------------------------------

void TRegistryScanPage::ScanNowBtnClick() { ScanNow(Session, *this); }

void TRegistryScanPage::AbortScanBtnClick() { AbortScan(); }

void TRegistryScanPage::RepairBtnClick() { RepairCheckedProblems(Session, *this); }

void TRegistryScanPage::FinishBtnClick() { FinishScan(Session, *this); }

void TRegistryScanPage::RunAutomaticScan() { regclean::RunAutomaticScan(Session, *this, CmdArg); }

void TRegistryScanPage::SetScanStep(int step) { regclean::SetScanStep(Session, *this, step); }

void TRegistryScanPage::ClearResultSelection() { RepairGrid->clearSelection(); }

void TRegistryScanPage::FormResize() {
  RepairGrid->setColumnWidth(0, RepairGrid->width() - RepairGrid->columnWidth(1) - 20);
  FinishListView->setColumnWidth(0, FinishListView->width() - FinishListView->columnWidth(1) - 20);
  ProblemsListBox->viewport()->update();
}

void TRegistryScanPage::ExcludeSelectedProblem() {
  const int section = SelectedSection();
  const int row = ProblemsListBox->SelectedRow();
  if (section < 0 || ProblemsListBox->count() == 0 || row < 0) return;
  if (ExcludeProblem(Session, section, row) == ExcludeResult::Refused) return;
  delete ProblemsListBox->takeItem(row);
  ProblemsListBox->clearSelection();
  ClearDetails();
  UpdateGridCounts();
  const int total = Session.GetTotalProblemCount();
  RepairGrid->headerItem()->setText(1, Text(ProblemsFoundColumnText(total)));
  LabelWarningEx->setText(Text(regclean::ProblemsFoundText(total)));
}

void TRegistryScanPage::SetSelectAll(bool ticked) {
  if (Session.Busy() || cbSelectAll->isChecked() == ticked) return;
  cbSelectAll->setChecked(ticked);
  cbSelectAllClick(cbSelectAll);
}

// ---- handlers -------------------------------------------------------------------

void TRegistryScanPage::cbSelectAllClick(QObject* sender) {
  if (sender == abSelectAll) cbSelectAll->setChecked(!cbSelectAll->isChecked());
  const bool ticked = cbSelectAll->isChecked();
  switch (Form.ScanNotebook->currentIndex()) {
    case 0:
      SetAllSectionsTicked(Session, *this, ticked);
      break;
    case 1: {
      const int section = SelectedSection();
      if (section < 0 || !SetAllProblemsChecked(Session, section, ticked)) return;
      for (int row = 0; row < ProblemsListBox->count(); ++row) ProblemsListBox->SetStateImage(row, ticked ? 1 : 0);
      ProblemsListBox->viewport()->update();
      break;
    }
    default:
      break;
  }
}

void TRegistryScanPage::picSectionClick(int section) { ToggleSection(Session, *this, section); }

int TRegistryScanPage::SelectedSection() const {
  const QList<QTreeWidgetItem*> selected = RepairGrid->selectedItems();
  if (selected.isEmpty()) return -1;
  if (RepairGrid->indexOfTopLevelItem(selected.first()) == 0) return kAllProblems;
  bool number = false;
  const int section = selected.first()->data(0, Qt::UserRole).toInt(&number);
  return number && section >= 0 && section <= kSectionCount ? section : -1;
}

void TRegistryScanPage::RepairGridSelectItem() {
  const int section = SelectedSection();
  if (section >= 0) {
    FillProblemList(section);
    return;
  }
  LabelWarningEx->hide();
  LabelWarningEx->clear();
  ProblemsListBox->clear();
  ClearDetails();
}

void TRegistryScanPage::FillProblemList(int section) {
  std::vector<int> states;
  for (int i = 0; i < ProblemCount(Session, section); ++i) states.push_back(Problem(Session, section, i)->Checked ? 1 : 0);
  ProblemsListBox->Fill(states);
  ClearDetails();
  LabelWarningEx->setText(states.empty() ? QString() : Text(regclean::ProblemsFoundText(static_cast<int>(states.size()))));
  LabelWarningEx->setVisible(!states.empty());
}

void TRegistryScanPage::ProblemsListBoxSelectItem() {
  const int section = SelectedSection();
  const int row = ProblemsListBox->SelectedRow();
  const TRegistryContent* item = section < 0 || row < 0 ? nullptr : Problem(Session, section, row);
  if (!item) {
    ClearDetails();
    return;
  }
  const SeverityStyle style = StyleOfSeverity(item->Severity);
  Label1->setText(QStringLiteral("Severity:"));
  abLevel->setText(Text(style.text));
  SetTextColour(abLevel, QColor(static_cast<int>(style.red), static_cast<int>(style.green), static_cast<int>(style.blue)));
  if (style.frame >= 0 && DM) DM->LelvelImageList.DrawInto(LevleImage, style.frame);
  else LevleImage->ClearPicture();
  abDescription->setText(QStringLiteral("Description: "));
  DetailsMemo->clear();
  DetailsMemo->setPlainText(Text(SectionDescription(ProblemSectionCaption(Session, section, row))));
}

void TRegistryScanPage::ClearDetails() {
  Label1->clear();
  abLevel->clear();
  abDescription->clear();
  LevleImage->ClearPicture();
  DetailsMemo->clear();
}

void TRegistryScanPage::ProblemsListBoxTickClick(int row) {
  const int section = SelectedSection();
  if (section < 0) return;
  const bool ticked = ProblemsListBox->StateImage(row) == 0;
  if (!SetProblemChecked(Session, section, row, ticked)) return;
  ProblemsListBox->SetStateImage(row, ticked ? 1 : 0);
  ProblemsListBox->viewport()->update();
}

void TRegistryScanPage::abShowHideDetailsClick() {
  const bool hide = abShowHideDetails->text() == QLatin1String(kHideDetails);
  abShowHideDetails->setText(QString::fromLatin1(hide ? kShowDetails : kHideDetails));
  LayoutProblemsPanel();
}

void TRegistryScanPage::UpdateGridCounts() {
  for (int i = 0; i < RepairGrid->topLevelItemCount() && i < static_cast<int>(Session.ResultRows.size()); ++i)
    RepairGrid->topLevelItem(i)->setText(1, Text(Session.ResultRows[static_cast<std::size_t>(i)].countText));
}

// ---- the data module's timers ---------------------------------------------------

void TRegistryScanPage::DrawSectionFrame(int section, int frame) {
  if (section < 1 || section > kSectionCount) return;
  TImageEx* picture = SectionImages[static_cast<std::size_t>(section - 1)];
  picture->Tag = Session.SectionTicked(section) ? 1 : 0;
  if (frame == kFrameNone || !DM) picture->ClearPicture();
  else DM->StatImageList.DrawInto(picture, frame);
}

int TRegistryScanPage::TotalProblemCount() const { return Session.GetTotalProblemCount(); }

void TRegistryScanPage::SetProblemWarning(const std::string& text, bool visible) {
  LabelWarning->setText(Text(text));
  LabelWarning->setVisible(visible);
  // The animation's tick: the held display shows with the problem total.
  ShowHeldDisplay();
}

void TRegistryScanPage::SetScanTimeText(const std::string& text) { abScanTime->setText(Text(text)); }

void TRegistryScanPage::FollowCurrentSection() {
  if (DM) DM->CurrentSection = Session.CurrentSection();
}

// ---- what the engine shows --------------------------------------------------------

void TRegistryScanPage::ShowScanStep(int step) {
  // A scan has just ended: the box starts as the setting says.
  if (shownStep_ == 1 && step != 1) {
    const QSignalBlocker quiet(cbSelectAll);
    cbSelectAll->setChecked(Settings.SelectAll);
  }
  shownStep_ = step;
  const ScanStepLayout& layout = ScanStep(step);
  Form.ShowScanStep(step < 0 || step > 3 ? 0 : step);
  const std::pair<unsigned, QWidget*> controls[] = {
      {kSelectAllBox, cbSelectAll}, {kSelectAllLabel, abSelectAll}, {kProgressPanel, ShowPanel},
      {kWarningLabel, LabelWarning}};
  for (const auto& [bit, control] : controls) {
    if (layout.visible & bit) control->show();
    if (layout.hidden & bit) control->hide();
  }
  Form.ScanNotebook->setCurrentIndex(layout.notebookPage);
  if (layout.notebookPage != 0) FormResize();
}

void TRegistryScanPage::ShowProgressPanel(bool visible) { ShowPanel->setVisible(visible); }

bool TRegistryScanPage::HoldsRunningDisplay() const {
  return DM && DM->ScanView == this && DM->ScanTimer->isActive();
}

void TRegistryScanPage::ShowHeldDisplay() {
  if (std::optional<std::string> outcome = std::exchange(held_.outcome, std::nullopt))
    SetElidedText(ScanOutcomePanel, *outcome);
  for (std::size_t i = 0; i < held_.counts.size(); ++i) {
    if (std::optional<std::string> count = std::exchange(held_.counts[i], std::nullopt))
      CountLabels[i]->setText(Text(*count));
  }
  if (std::optional<std::string> items = std::exchange(held_.itemsText, std::nullopt))
    abItemsProcessed->setText(Text(*items));
  // Last: a progress bar repaints at once, with what changed before it.
  if (std::optional<int> gauge = std::exchange(held_.gauge, std::nullopt)) pbItemsProcessed->setValue(*gauge);
}

void TRegistryScanPage::SetOutcomeText(const std::string& text) {
  FollowCurrentSection();
  HoldOrShow(HoldsRunningDisplay(), held_.outcome, text,
             [this](const std::string& shown) { SetElidedText(ScanOutcomePanel, shown); });
}

void TRegistryScanPage::SetTotalProcess(const std::string& text, int percent) {
  ShowHeldDisplay();
  // Between two sections nothing animates.
  if (DM) DM->CurrentSection = -1;
  panTotalProcess->setText(Text(text));
  pbTotalProcess->setValue(percent);
}

void TRegistryScanPage::SetSectionCountText(int section, const std::string& text) {
  FollowCurrentSection();
  if (section < 1 || section > kSectionCount) return;
  const auto i = static_cast<std::size_t>(section - 1);
  HoldOrShow(HoldsRunningDisplay(), held_.counts[i], text,
             [label = CountLabels[i]](const std::string& shown) { label->setText(Text(shown)); });
}

void TRegistryScanPage::SetSectionFrame(int section, int frame) {
  // A finished section keeps its result picture.
  if (frame >= kFrameClean && DM && DM->CurrentSection == section) DM->CurrentSection = -1;
  DrawSectionFrame(section, frame);
}

void TRegistryScanPage::SetElapsedText(const std::string& text) { abExcludeMsg->setText(Text(text)); }

void TRegistryScanPage::StartScanAnimation() {
  if (!DM) return;
  DM->AnimFrame = kFrameScanFirst;
  DM->CurrentSection = -1;
  DM->ScanTimer->start();
}

void TRegistryScanPage::StopScanAnimation() {
  if (DM) {
    DM->ScanTimer->stop();
    DM->CurrentSection = -1;
  }
  ShowHeldDisplay();
}

void TRegistryScanPage::StartElapsedTimer() {
  if (!DM) return;
  DM->ScanStartTime = Session.ScanStartTick();
  DM->ScanTimerEx->start();
}

void TRegistryScanPage::StopElapsedTimer() {
  if (DM) DM->ScanTimerEx->stop();
}

void TRegistryScanPage::ResultsChanged() {
  RepairGrid->clear();
  RepairGrid->headerItem()->setText(1, QStringLiteral("Problems Found"));
  for (const ResultRow& row : Session.ResultRows) {
    auto* item = new QTreeWidgetItem(RepairGrid);
    item->setText(0, Text(row.caption));
    item->setText(1, Text(row.countText));
    item->setData(0, Qt::UserRole, row.section);
    item->setTextAlignment(1, Qt::AlignCenter);
    item->setForeground(1, QColor(255, 0, 0));
  }
  RepairGridSelectItem();
}

void TRegistryScanPage::RepairLogChanged() {
  RepairLogModel->Refresh();
  FinishListView->viewport()->update();
}

void TRegistryScanPage::ShowRepairDialog() {
  // The rest of the main window takes no input until the repair ends; the
  // dialog is a window of its own and stays live.
  Form.setEnabled(false);
  repairDialog_ = std::make_unique<TRepairDialogForm>();
  ShowAndPaint(repairDialog_.get());
}

void TRegistryScanPage::HideRepairDialog() {
  if (repairDialog_) repairDialog_->hide();
  repairDialog_.reset();
  Form.setEnabled(true);
}

void TRegistryScanPage::SetRepairStatus(const std::string& text) {
  if (repairDialog_) repairDialog_->SetStatus(text);
}

// ---- items gauge -------------------------------------------------------------------

int TRegistryScanPage::ItemsGaugePosition() const { return held_.gauge.value_or(pbItemsProcessed->value()); }

void TRegistryScanPage::SetItemsGaugePosition(int position) {
  HoldOrShow(HoldsRunningDisplay(), held_.gauge, position, [this](int shown) { pbItemsProcessed->setValue(shown); });
}

void TRegistryScanPage::SetItemsProcessedText(const std::string& text) {
  HoldOrShow(HoldsRunningDisplay(), held_.itemsText, text,
             [this](const std::string& shown) { abItemsProcessed->setText(Text(shown)); });
}
