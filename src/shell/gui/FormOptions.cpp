#include "shell/gui/FormOptions.h"

#include <QApplication>
#include <QHeaderView>
#include <QShowEvent>
#include <QStyle>

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"
#include "shell/TaskSchedulerUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/PublicFunctionPictures.h"

namespace {

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 392;
constexpr int kPagesHeight = 338;
constexpr int kGroupWidth = 600;
constexpr int kIconSize = 32;

QString Q(const std::string& text) { return QString::fromStdString(text); }

QLabel* NewLabel(const char* text, QWidget* parent, const QRect& where) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setGeometry(where);
  return label;
}

QCheckBox* NewCheckBox(const char* text, QWidget* parent, const QRect& where) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  box->setGeometry(where);
  return box;
}

// The icon that goes with the job's program file.
QImage TaskIcon(const std::string& application) {
  const QIcon icon = win::SameName(application, win::ProgramFile())
                         ? ProgramIcon()
                         : QApplication::style()->standardIcon(QStyle::SP_FileIcon);
  return icon.pixmap(kIconSize, kIconSize).toImage();
}

}  // namespace

TFormOptions::TFormOptions(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("FormOptions"));
  setWindowTitle(QStringLiteral("Preferences"));
  setFixedSize(kClientWidth, kClientHeight);

  MainPageControl = new QTabWidget(this);
  MainPageControl->setGeometry(8, 8, kClientWidth - 16, kPagesHeight);
  auto* general = new QWidget;
  auto* ignore = new QWidget;
  auto* scheduling = new QWidget;
  MainPageControl->addTab(general, QStringLiteral("General Settings"));
  MainPageControl->addTab(ignore, QStringLiteral("Ignore List"));
  MainPageControl->addTab(scheduling, QStringLiteral("Scheduling"));
  BuildGeneralPage(general);
  BuildIgnorePage(ignore);
  BuildSchedulePage(scheduling);

  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setGeometry(kClientWidth - 2 * 83 - 8, kClientHeight - 36, 75, 25);
  BitBtn1->setDefault(true);
  BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  BtnCancel->setGeometry(kClientWidth - 83 - 8 + 8, kClientHeight - 36, 75, 25);

  connect(MainPageControl, &QTabWidget::currentChanged, this, [this](int page) { MainPageControlChange(page); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(); });
  connect(CheckUpdateBtn, &QPushButton::clicked, this, [this] { CheckUpdateBtnClick(); });
  connect(RemoveSelectBtn, &QPushButton::clicked, this, [this] { RemoveSelectBtnClick(); });
  connect(cbActiveTask, &QCheckBox::clicked, this, [this] { cbActiveTaskClick(); });

  FormCreate();
  CenterOnScreen(this);
}

void TFormOptions::BuildGeneralPage(QWidget* page) {
  GroupSchedule = new QGroupBox(QStringLiteral("Schedule Option"), page);
  GroupSchedule->setGeometry(8, 8, kGroupWidth, 52);
  ChkRun = NewCheckBox("Run at windows startup", GroupSchedule, QRect(14, 22, 480, 20));

  GroupAutomatic = new QGroupBox(QStringLiteral("Automatic Options"), page);
  GroupAutomatic->setGeometry(8, 70, kGroupWidth, 78);
  ChkAutoBackup = NewCheckBox(
      "Do not automatically create registry backup before repairing registry. (Not recommended)",
      GroupAutomatic, QRect(14, 22, kGroupWidth - 20, 20));
  ChkCheckItem = NewCheckBox("Automatically select all items after scanning", GroupAutomatic,
                             QRect(14, 48, kGroupWidth - 20, 20));

  GroupUpdate = new QGroupBox(QStringLiteral("Check Update"), page);
  GroupUpdate->setGeometry(8, 158, kGroupWidth, 110);
  LabelVer = new QLabel(GroupUpdate);
  LabelVer->setGeometry(14, 22, kGroupWidth - 28, 18);
  cbCheckUpdate = NewCheckBox("Check for Fernwick update automatically", GroupUpdate,
                              QRect(14, 46, kGroupWidth - 20, 20));
  CheckUpdateBtn = new QPushButton(QStringLiteral("Check for Update"), GroupUpdate);
  CheckUpdateBtn->setGeometry(14, 74, 130, 25);
}

void TFormOptions::BuildIgnorePage(QWidget* page) {
  IgnoreListView = new QTreeWidget(page);
  IgnoreListView->setGeometry(8, 8, kGroupWidth, kPagesHeight - 80);
  IgnoreListView->setColumnCount(2);
  IgnoreListView->setHeaderLabels({QStringLiteral("Category"), QStringLiteral("Registry Key")});
  IgnoreListView->setColumnWidth(0, 80);
  IgnoreListView->setColumnWidth(1, 400);
  IgnoreListView->setRootIsDecorated(false);
  IgnoreListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  IgnoreListView->setSelectionMode(QAbstractItemView::SingleSelection);
  IgnoreListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  IgnoreListView->header()->setStretchLastSection(false);
  RemoveSelectBtn = new QPushButton(QStringLiteral("Remove Selected"), page);
  RemoveSelectBtn->setGeometry(kGroupWidth + 8 - 130, kPagesHeight - 64, 130, 25);
}

void TFormOptions::BuildSchedulePage(QWidget* page) {
  abScheduleSettings = NewLabel("Schedule Settings", page, QRect(16, 14, 300, 18));
  QFont bold = abScheduleSettings->font();
  bold.setBold(true);
  abScheduleSettings->setFont(bold);
  cbActiveTask = NewCheckBox("Activate Scheduling", page, QRect(28, 44, 300, 20));
  abStartTime = NewLabel("Start Time:", page, QRect(28, 80, 110, 22));
  dtpStartTime = new QTimeEdit(page);
  dtpStartTime->setGeometry(140, 80, 90, 22);
  dtpStartTime->setDisplayFormat(QStringLiteral("HH:mm"));
  abDayIncrements = NewLabel("Day Increments:", page, QRect(28, 114, 110, 22));
  SpinEditDays = new QSpinBox(page);
  SpinEditDays->setGeometry(140, 114, 60, 22);
  SpinEditDays->setRange(1, 31);
  abDays = NewLabel("day(s)", page, QRect(208, 114, 60, 22));
  ImageTask = new TImageEx(page);
  ImageTask->setGeometry(28, 160, kIconSize, kIconSize);
  abTaskName = new QLabel(page);
  abTaskName->setGeometry(28 + kIconSize + 10, 166, 300, 20);
  ShowSchedule(schedule_);
}

void TFormOptions::FormCreate() {
  schedulerReady_ = win::SUCCEEDED(InitTaskScheduler());
  MainPageControl->setCurrentIndex(0);
}

void TFormOptions::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFormOptions::FormShow() {
  LoadGeneralSettingsPage();
  FillIgnoreListPage();
  LoadSchedulePage();
}

void TFormOptions::MainPageControlChange(int page) {
  switch (page) {
    case 0: LoadGeneralSettingsPage(); break;
    case 1: FillIgnoreListPage(); break;
    case 2: LoadSchedulePage(); break;
    default: break;
  }
}

GeneralSettingsPage TFormOptions::ReadGeneral() const {
  GeneralSettingsPage page;
  page.ChkRun = ChkRun->isChecked();
  page.ChkAutoBackup = ChkAutoBackup->isChecked();
  page.ChkCheckItem = ChkCheckItem->isChecked();
  page.cbCheckUpdate = cbCheckUpdate->isChecked();
  page.LabelVer = LabelVer->text().toStdString();
  return page;
}

void TFormOptions::LoadGeneralSettingsPage() {
  GeneralSettingsPage page = ReadGeneral();
  LoadGeneralSettings(page);
  ChkRun->setChecked(page.ChkRun);
  ChkAutoBackup->setChecked(page.ChkAutoBackup);
  ChkCheckItem->setChecked(page.ChkCheckItem);
  cbCheckUpdate->setChecked(page.cbCheckUpdate);
  LabelVer->setText(Q(page.LabelVer));
}

void TFormOptions::FillIgnoreListPage() {
  ignoreList_.Fill();
  IgnoreListView->clear();
  for (const TIgnoreListPage::Row& row : ignoreList_.Rows())
    IgnoreListView->addTopLevelItem(new QTreeWidgetItem({Q(row.Category), Q(row.RegistryKey)}));
}

void TFormOptions::RemoveSelectBtnClick() {
  QTreeWidgetItem* selected = IgnoreListView->currentItem();
  if (selected == nullptr || !selected->isSelected()) return;
  const int row = IgnoreListView->indexOfTopLevelItem(selected);
  if (ignoreList_.RemoveRow(row)) delete IgnoreListView->takeTopLevelItem(row);
}

SchedulePage TFormOptions::ReadSchedule() const {
  SchedulePage page = schedule_;
  page.cbActiveTask = cbActiveTask->isChecked();
  page.StartHour = dtpStartTime->time().hour();
  page.StartMinute = dtpStartTime->time().minute();
  page.SpinEditDays = SpinEditDays->value();
  return page;
}

void TFormOptions::ShowSchedule(const SchedulePage& page) {
  schedule_ = page;
  cbActiveTask->setChecked(page.cbActiveTask);
  dtpStartTime->setTime(QTime(page.StartHour, page.StartMinute));
  SpinEditDays->setValue(page.SpinEditDays);
  dtpStartTime->setEnabled(page.ControlsEnabled);
  SpinEditDays->setEnabled(page.ControlsEnabled);
  abTaskName->setText(Q(page.abTaskName));
  if (page.TaskApplication.empty()) ImageTask->ClearPicture();
  else ImageTask->SetPicture(TaskIcon(page.TaskApplication));
}

void TFormOptions::cbActiveTaskClick() {
  SchedulePage page = ReadSchedule();
  ActiveTaskClick(page, Clock());
  ShowSchedule(page);
}

void TFormOptions::LoadSchedulePage() {
  SchedulePage page = ReadSchedule();
  LoadSchedule(page, Clock());
  ShowSchedule(page);
}

void TFormOptions::BitBtn1Click() {
  const GeneralSettingsPage general = ReadGeneral();
  SetRunAtStartup(general.ChkRun);
  SaveGeneralSettings(general);
  SaveSchedule(ReadSchedule(), Clock());
  accept();
}

void TFormOptions::BtnCancelClick() { reject(); }

void TFormOptions::CheckUpdateBtnClick() {
  if (DM) DM->CheckForUpdates(true);
}

std::unique_ptr<TFormOptions> CreateOptionsForm(QWidget* owner) {
  auto form = std::make_unique<TFormOptions>(owner);
  if (!form->SchedulerReady()) return nullptr;
  return form;
}

void ShowOptionsDialog(QWidget* owner) {
  if (auto form = CreateOptionsForm(owner)) form->exec();
}
