#include "recovery/gui/FormIePlugins.h"

#include <QResizeEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include "recovery/gui/ToolWidgets.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/GridLines.h"
#include "shell/gui/ImageExUnit.h"

namespace {

constexpr int kBorder = 8;
constexpr int kBarHeight = 37;
constexpr int kDisplayHeight = 48;
constexpr int kCheckColumn = 30;
constexpr int kNameColumn = 200;
constexpr int kTimeColumn = 150;
constexpr int kKeyNameColumn = 300;

QCheckBox* NewKindBox(QGroupBox* box, const char* name, const char* caption) {
  auto* check = new QCheckBox(QString::fromLatin1(caption), box);
  check->setObjectName(QString::fromLatin1(name));
  return check;
}

}  // namespace

TFormIePlugins::TFormIePlugins(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("FormIePlugins"));
  SetWhiteBackground(this);
  NoteBook = new QStackedWidget(this);
  NoteBook->setObjectName(QStringLiteral("NoteBook"));
  ListPage = new QWidget;
  ListPage->setObjectName(QStringLiteral("List"));
  RestorePage = new QWidget;
  RestorePage->setObjectName(QStringLiteral("Restore"));
  SetWhiteBackground(ListPage);
  SetWhiteBackground(RestorePage);
  NoteBook->addWidget(ListPage);
  NoteBook->addWidget(RestorePage);

  Display = new QGroupBox(QStringLiteral("Display"), ListPage);
  Display->setObjectName(QStringLiteral("Display"));
  CkMenuExtension = NewKindBox(Display, "CkMenuExtension", "Menu Extensions");
  CkToolBar = NewKindBox(Display, "CkToolBar", "ToolBar");
  CkExplorerBars = NewKindBox(Display, "CkExplorerBars", "Explorer Bars");
  IEItemListView = NewReportList(ListPage, "IEItemListView",
                                 {QString(), QStringLiteral("Name"), QStringLiteral("Registry Entries")});
  ShowGridLines(IEItemListView);
  IEItemListView->setColumnWidth(0, kCheckColumn);
  IEItemListView->setColumnWidth(1, kNameColumn);

  IEBackupListView = NewReportList(RestorePage, "IEBackupListView",
                                   {QStringLiteral("Backup Time"), QStringLiteral("Backup File Name")});
  ShowGridLines(IEBackupListView);
  IEBackupListView->setColumnWidth(0, kTimeColumn);
  connect(IEBackupListView, &QTreeWidget::itemSelectionChanged, this, [this] { IEBackupListViewSelectItem(); });
  connect(IEBackupListView, &QTreeWidget::itemDoubleClicked, this, [this] { IEBackupListViewDblClick(); });
  DetailPanel = new QWidget(RestorePage);
  DetailPanel->setObjectName(QStringLiteral("DetailPanel"));
  auto* detailLayout = new QVBoxLayout(DetailPanel);
  detailLayout->setContentsMargins(0, 0, 0, 0);
  DetailCaption = NewToolLabel(DetailPanel, "DetailCaption", QStringLiteral("Detail Backup"));
  DetailListView = NewReportList(DetailPanel, "DetailListView", {QStringLiteral("Key Name"), QStringLiteral("Key Value")});
  DetailListView->setColumnWidth(0, kKeyNameColumn);
  detailLayout->addWidget(DetailCaption);
  detailLayout->addWidget(DetailListView);
  DetailPanel->hide();

  cbSelectAll = new QCheckBox(this);
  cbSelectAll->setObjectName(QStringLiteral("cbSelectAll"));
  connect(cbSelectAll, &QCheckBox::clicked, this, [this] { abSelectAllClick(false); });
  abSelectAll = NewToolLabel(this, "abSelectAll", QStringLiteral("Select All"), [this] { abSelectAllClick(true); });
  RepairItemBtn = NewToolButton(this, "RepairItemBtn", QStringLiteral("Remove Checked"), [this] { RepairItemBtnClick(); });
  RemoveRestoreBtn = NewToolButton(this, "RemoveRestoreBtn", QStringLiteral("Restore"), [this] { RemoveRestoreBtnClick(); });
  BackBtn = NewToolButton(this, "BackBtn", QStringLiteral("Back"), [this] { BackBtnClick(); });
  BackBtn->hide();

  for (QCheckBox* box : {CkMenuExtension, CkToolBar, CkExplorerBars}) {
    connect(box, &QCheckBox::clicked, this, [this] { RefreshIEAddOnList(); });
    box->setChecked(true);
  }
  RefreshIEAddOnList();
  resize(590, 440);
}

void TFormIePlugins::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFormIePlugins::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TFormIePlugins::FormShow() {
  NoteBook->setCurrentIndex(0);
  cbSelectAll->show();
  abSelectAll->show();
  BackBtn->hide();
  SetToolButtonCaption(RepairItemBtn, QStringLiteral("Remove Checked"));
  SetToolButtonCaption(RemoveRestoreBtn, QStringLiteral("Restore"));
  FormResize();
}

void TFormIePlugins::FormResize() {
  const int inner = width() - 2 * kBorder;
  const int barTop = height() - kBorder - kBarHeight;
  NoteBook->setGeometry(kBorder, kBorder, inner, std::max(0, barTop - kBorder));
  const int pageHeight = NoteBook->height();
  Display->setGeometry(0, 0, inner, kDisplayHeight);
  CkMenuExtension->setGeometry(12, 20, 140, 20);
  CkToolBar->setGeometry(172, 20, 120, 20);
  CkExplorerBars->setGeometry(312, 20, 140, 20);
  IEItemListView->setGeometry(0, kDisplayHeight + 6, inner, std::max(0, pageHeight - kDisplayHeight - 6));
  IEItemListView->setColumnWidth(2, std::max(0, IEItemListView->width() - (kCheckColumn + kNameColumn + 20)));
  IEBackupListView->setGeometry(0, 0, inner, pageHeight);
  IEBackupListView->setColumnWidth(1, std::max(0, IEBackupListView->width() - (kTimeColumn + 20)));
  DetailListView->setColumnWidth(1, std::max(0, DetailListView->width() - (kKeyNameColumn + 20)));
  cbSelectAll->setGeometry(kBorder + 4, barTop + 10, 18, 20);
  abSelectAll->setGeometry(kBorder + 24, barTop + 10, 100, 20);
  int x = width() - kBorder;
  for (TImageEx* button : {BackBtn, RemoveRestoreBtn, RepairItemBtn}) {
    if (button == BackBtn && BackBtn->isHidden()) continue;
    x -= button->width();
    button->move(x, barTop + 6);
    x -= 8;
  }
}

void TFormIePlugins::RefreshIEAddOnList() {
  rows_ = recovery::RefreshIEAddOnList(CkMenuExtension->isChecked(), CkToolBar->isChecked(), CkExplorerBars->isChecked());
  IEItemListView->clear();
  for (const recovery::AddOnRow& row : rows_) {
    auto* item = new QTreeWidgetItem({QString(), QString::fromStdString(row.Name), QString::fromStdString(row.KeyPath)});
    item->setCheckState(0, Qt::Unchecked);
    item->setToolTip(2, item->text(2));
    IEItemListView->addTopLevelItem(item);
  }
}

void TFormIePlugins::abSelectAllClick(bool fromLabel) {
  if (fromLabel) cbSelectAll->setChecked(!cbSelectAll->isChecked());
  TickAllRows(IEItemListView, cbSelectAll->isChecked());
}

std::string TFormIePlugins::SelectedBackup() const {
  const QTreeWidgetItem* item = IEBackupListView->currentItem();
  if (item == nullptr || !item->isSelected()) return {};
  return item->text(1).toStdString();
}

void TFormIePlugins::RepairItemBtnClick() {
  if (OnRestorePage()) {
    recovery::ImportIeBackup(SelectedBackup());
    return;
  }
  for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i].Checked = IsRowTicked(IEItemListView, static_cast<int>(i));
  recovery::RemoveCheckedAddOns(rows_, Clock());
  RefreshIEAddOnList();
}

void TFormIePlugins::RemoveRestoreBtnClick() {
  if (OnRestorePage()) {
    if (recovery::RemoveIeBackup(SelectedBackup())) ListIEBackups();
    return;
  }
  NoteBook->setCurrentIndex(1);
  SetToolButtonCaption(RepairItemBtn, QStringLiteral("Restore"));
  SetToolButtonCaption(RemoveRestoreBtn, QStringLiteral("Remove Backup"));
  cbSelectAll->hide();
  abSelectAll->hide();
  BackBtn->show();
  FormResize();
  ListIEBackups();
}

void TFormIePlugins::BackBtnClick() {
  if (!OnRestorePage()) return;
  NoteBook->setCurrentIndex(0);
  SetToolButtonCaption(RepairItemBtn, QStringLiteral("Remove Checked"));
  SetToolButtonCaption(RemoveRestoreBtn, QStringLiteral("Restore"));
  BackBtn->hide();
  cbSelectAll->show();
  abSelectAll->show();
  FormResize();
  RefreshIEAddOnList();
}

void TFormIePlugins::IEBackupListViewDblClick() {
  if (!SelectedBackup().empty()) recovery::ImportIeBackup(SelectedBackup());
}

void TFormIePlugins::IEBackupListViewSelectItem() {
  const std::string fileName = SelectedBackup();
  details_ = fileName.empty() ? std::vector<recovery::TDetailBackup>() : recovery::LoadIEBackupDetail(fileName);
  DetailListView->clear();
  for (const recovery::TDetailBackup& record : details_) {
    DetailListView->addTopLevelItem(
        new QTreeWidgetItem({QString::fromStdString(record.KeyLine), QString::fromStdString(record.ValueLine)}));
  }
}

void TFormIePlugins::ListIEBackups() {
  IEBackupListView->clear();
  for (const recovery::BackupFileRow& row : recovery::ListIEBackups()) {
    IEBackupListView->addTopLevelItem(
        new QTreeWidgetItem({QString::fromStdString(row.Caption), QString::fromStdString(row.FileName)}));
  }
}

TFormIePlugins* CreateFormIePlugins(QWidget* parent) {
  auto* form = new TFormIePlugins(parent);
  form->hide();
  return form;
}
