#include "tools/gui/InstalledManageForm.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QShowEvent>
#include <QPushButton>
#include <QTreeWidget>

#include "platform/shell/ShellFileInfo.h"
#include "platform/system/ProgramRunner.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/GridLines.h"
#include "shell/gui/ShellIconUnit.h"

namespace {

constexpr int kBorder = 8;
constexpr int kTopHeight = 28;
constexpr int kDetailsHeight = 86;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;

const char* const kSelectOne = "Please select one application to continue this operation.";

QString Text(const std::string& text) { return QString::fromStdString(text); }

QImage ProgramPicture() {
  QImage icon(QStringLiteral(":/ICON/MAINICON32"));
  return icon;
}

}  // namespace

TInstalledManageForm::TInstalledManageForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("InstalledManageForm"));
  SetWhiteBackground(this);

  ShowWindowsUpdate = new QCheckBox(QStringLiteral("Show Windows Update"), this);
  ShowWindowsUpdate->setObjectName(QStringLiteral("ShowWindowsUpdate"));
  connect(ShowWindowsUpdate, &QCheckBox::clicked, this, [this] { ShowWindowsUpdateClick(); });

  ListInstalled = new QTreeWidget(this);
  ListInstalled->setObjectName(QStringLiteral("ListInstalled"));
  ListInstalled->setColumnCount(3);
  ListInstalled->setHeaderLabels({QStringLiteral("Program Name"), QStringLiteral("Install Date"), QStringLiteral("Publisher")});
  ListInstalled->headerItem()->setTextAlignment(1, Qt::AlignCenter);
  ListInstalled->setRootIsDecorated(false);
  ListInstalled->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListInstalled->setSelectionMode(QAbstractItemView::SingleSelection);
  ListInstalled->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListInstalled->setAllColumnsShowFocus(true);
  ShowGridLines(ListInstalled);
  ListInstalled->setIconSize(QSize(16, 16));
  ListInstalled->setColumnWidth(0, 240);
  ListInstalled->setColumnWidth(1, 90);
  ListInstalled->setColumnWidth(2, 100);
  ListInstalled->header()->setStretchLastSection(false);
  ListInstalled->header()->setSectionsClickable(true);
  connect(ListInstalled->header(), &QHeaderView::sectionClicked, this, [this](int column) { ListInstalledColumnClick(column); });
  connect(ListInstalled, &QTreeWidget::itemSelectionChanged, this, [this] { ListInstalledSelectItem(); });

  picApplicationIcon = new QLabel(this);
  picApplicationIcon->setObjectName(QStringLiteral("picApplicationIcon"));
  picApplicationIcon->setAlignment(Qt::AlignCenter);
  abProgramName = new QLabel(this);
  abProgramName->setObjectName(QStringLiteral("abProgramName"));
  QFont bold = abProgramName->font();
  bold.setBold(true);
  abProgramName->setFont(bold);
  abInstruct1 = new QLabel(QStringLiteral("First, choose one of the applications above that you want to uninstall."), this);
  abInstruct1->setObjectName(QStringLiteral("abInstruct1"));
  abInstruct2 = new QLabel(QStringLiteral("Next, click on the \"Uninstall\" button."), this);
  abInstruct2->setObjectName(QStringLiteral("abInstruct2"));
  caVersion = new QLabel(QStringLiteral("Version"), this);
  caVersion->setObjectName(QStringLiteral("caVersion"));
  caPublisher = new QLabel(QStringLiteral("Publisher"), this);
  caPublisher->setObjectName(QStringLiteral("caPublisher"));
  caHomePage = new QLabel(QStringLiteral("Home Page"), this);
  caHomePage->setObjectName(QStringLiteral("caHomePage"));
  abVersion = new QLabel(this);
  abVersion->setObjectName(QStringLiteral("abVersion"));
  abPublisher = new QLabel(this);
  abPublisher->setObjectName(QStringLiteral("abPublisher"));
  abHomePage = new QLabel(this);
  abHomePage->setObjectName(QStringLiteral("abHomePage"));

  auto button = [this](const char* name, const char* caption, void (TInstalledManageForm::*click)()) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, [this, click] { (this->*click)(); });
    return b;
  };
  TbtRefresh = button("TbtRefresh", "Refresh", &TInstalledManageForm::TbtRefreshClick);
  TbtUninstall = button("TbtUninstall", "Uninstall", &TInstalledManageForm::TbtUninstallClick);
  TbrRemove = button("TbrRemove", "Remove", &TInstalledManageForm::TbrRemoveClick);

  ShowDetails(false);
  resize(590, 440);
  FormResize();
}

TInstalledManageForm::~TInstalledManageForm() = default;

void TInstalledManageForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous() && !shown_) {
    shown_ = true;
    FormShow();
  }
}

void TInstalledManageForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TInstalledManageForm::FormShow() {
  sortColumn_ = 0;
  sortDirection_ = 0;
  Reload();
}

void TInstalledManageForm::FormResize() {
  const int inner = width() - 2 * kBorder;
  ShowWindowsUpdate->setGeometry(kBorder, kBorder, inner, kTopHeight - 6);
  const int buttonsTop = height() - kBorder - kButtonHeight;
  const int detailsTop = buttonsTop - 6 - kDetailsHeight;
  const int listTop = kBorder + kTopHeight;
  ListInstalled->setGeometry(kBorder, listTop, inner, std::max(0, detailsTop - 6 - listTop));
  picApplicationIcon->setGeometry(kBorder, detailsTop, 41, 39);
  abProgramName->setGeometry(kBorder + 49, detailsTop + 10, inner - 49, 20);
  abInstruct1->setGeometry(kBorder + 49, detailsTop + 42, inner - 49, 18);
  abInstruct2->setGeometry(kBorder + 49, detailsTop + 62, inner - 49, 18);
  const QLabel* captions[] = {caVersion, caPublisher, caHomePage};
  QLabel* values[] = {abVersion, abPublisher, abHomePage};
  for (int i = 0; i < 3; ++i) {
    const_cast<QLabel*>(captions[i])->setGeometry(kBorder + 49, detailsTop + 42 + i * 15, 80, 15);
    values[i]->setGeometry(kBorder + 135, detailsTop + 42 + i * 15, inner - 135, 15);
  }
  int x = width() - kBorder;
  for (QPushButton* b : {TbrRemove, TbtUninstall, TbtRefresh}) {
    x -= kButtonWidth;
    b->setGeometry(x, buttonsTop, kButtonWidth, kButtonHeight);
    x -= 6;
  }
  const int publisher = ListInstalled->width() - ListInstalled->columnWidth(0) - ListInstalled->columnWidth(1) - 20;
  if (publisher > 0) ListInstalled->setColumnWidth(2, publisher);
}

void TInstalledManageForm::Reload() {
  BusyGuard busy;
  tools::LoadInstalledPrograms(contents_, ShowWindowsUpdate->isChecked());
  tools::SortUninstallContents(contents_, sortColumn_, sortDirection_);
  FillInstalledList();
}

void TInstalledManageForm::TbtRefreshClick() {
  if (IsBusy()) return;
  Reload();
}

void TInstalledManageForm::ShowWindowsUpdateClick() {
  if (IsBusy()) return;
  Reload();
}

void TInstalledManageForm::ListInstalledColumnClick(int column) {
  if (IsBusy() || column < 0 || column > 2) return;
  sortDirection_ = column != sortColumn_ ? 0 : 1 - sortDirection_;
  sortColumn_ = column;
  BusyGuard busy;
  tools::SortUninstallContents(contents_, sortColumn_, sortDirection_);
  FillInstalledList();
}

int TInstalledManageForm::GetProgramIconIndex(const std::string& path) {
  win::SHFILEINFO info;
  if (win::SHGetFileInfo(path, 0, &info, win::SHGFI_ICON) == 0 || info.hIcon == 0) return -1;
  AppIconList.push_back(ShellIconImage(info.hIcon, false));
  AppIconListEx.push_back(ShellIconImage(info.hIcon, true));
  win::DestroyIcon(info.hIcon);
  return static_cast<int>(AppIconList.size()) - 1;
}

void TInstalledManageForm::FillInstalledList() {
  ListInstalled->setUpdatesEnabled(false);
  {
    const QSignalBlocker block(ListInstalled);
    ListInstalled->clear();
  }
  AppIconList.clear();
  AppIconListEx.clear();
  rowIcons_.clear();
  QPixmap none(ListInstalled->iconSize());
  none.fill(Qt::transparent);
  const QIcon blank(none);
  QList<QTreeWidgetItem*> items;
  for (std::int32_t i = 0; i < contents_.Count(); ++i) {
    const tools::TContent& item = contents_.GetItem(i).Content;
    auto* row = new QTreeWidgetItem;
    row->setText(0, Text(item.DisplayName));
    row->setText(1, item.InstallDate == tools::kNotAvailable ? QString() : Text(tools::FormatInstallDate(item.InstallDate)));
    row->setTextAlignment(1, Qt::AlignCenter);
    row->setText(2, item.Publisher == tools::kNotAvailable ? QString() : Text(item.Publisher));
    const int icon = GetProgramIconIndex(item.IconPath);
    rowIcons_.push_back(icon);
    // A row without a picture keeps its place, so every caption starts in one column.
    row->setIcon(0, icon >= 0 ? QIcon(QPixmap::fromImage(AppIconList[static_cast<std::size_t>(icon)])) : blank);
    items.push_back(row);
  }
  ListInstalled->addTopLevelItems(items);
  ListInstalled->setUpdatesEnabled(true);
  ShowDetails(false);
}

void TInstalledManageForm::ShowDetails(bool selected) {
  abInstruct1->setVisible(!selected);
  abInstruct2->setVisible(!selected);
  for (QLabel* label : {caVersion, caPublisher, caHomePage, abVersion, abPublisher, abHomePage}) label->setVisible(selected);
  if (!selected) {
    picApplicationIcon->setPixmap(QPixmap::fromImage(ProgramPicture()));
    abProgramName->setText(QStringLiteral("Instructions"));
    abVersion->clear();
    abPublisher->clear();
    abHomePage->clear();
  }
}

void TInstalledManageForm::ListInstalledSelectItem() {
  const QList<QTreeWidgetItem*> selected = ListInstalled->selectedItems();
  const int row = selected.isEmpty() ? -1 : ListInstalled->indexOfTopLevelItem(selected.front());
  if (row < 0 || row >= contents_.Count()) {
    ShowDetails(false);
    return;
  }
  const tools::TContent& item = contents_.GetItem(row).Content;
  ShowDetails(true);
  picApplicationIcon->clear();
  const int icon = rowIcons_[static_cast<std::size_t>(row)];
  if (icon >= 0) picApplicationIcon->setPixmap(QPixmap::fromImage(AppIconListEx[static_cast<std::size_t>(icon)]));
  abProgramName->setText(selected.front()->text(0));
  abVersion->setText(Text(item.DisplayVersion));
  abPublisher->setText(Text(item.Publisher));
  abHomePage->setText(Text(item.URLInfoAbout));
}

int TInstalledManageForm::SelectedRowOrTell() {
  const QList<QTreeWidgetItem*> selected = ListInstalled->selectedItems();
  const int row = selected.isEmpty() ? -1 : ListInstalled->indexOfTopLevelItem(selected.front());
  if (row < 0 || row >= contents_.Count()) {
    CurrentDialogs().MessageBox(kSelectOne, "Fernwick", MB_OK | MB_ICONWARNING);
    return -1;
  }
  return row;
}

void TInstalledManageForm::TbtUninstallClick() {
  if (IsBusy()) return;
  const int row = SelectedRowOrTell();
  if (row < 0) return;
  win::WinExec(tools::UninstallCommandLine(contents_.GetItem(row).Content), 1);
}

void TInstalledManageForm::TbrRemoveClick() {
  if (IsBusy()) return;
  const int row = SelectedRowOrTell();
  if (row < 0) return;
  const std::string question =
      "Warning: It is going to remove the registry information of \"" +
      ListInstalled->topLevelItem(row)->text(0).toStdString() +
      "\". After removing, you won't be able to uninstall this program through \"Add or Remove programs\" in the "
      "Control Panel of your system.\rAre you sure to continue this operation?\r\rSuggestion: Please try "
      "uninstalling operation before carrying out this operation.";
  if (CurrentDialogs().MessageBox(question, "Fernwick", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) return;
  if (!tools::RemoveUninstallEntry(contents_.GetItem(row).Content)) return;
  // Row, item and picture go together; then the details follow whatever
  // the list has selected now.
  {
    const QSignalBlocker block(ListInstalled);
    delete ListInstalled->takeTopLevelItem(row);
  }
  contents_.Delete(row);
  rowIcons_.erase(rowIcons_.begin() + row);
  ListInstalledSelectItem();
}

TInstalledManageForm* CreateInstalledManageForm(QWidget* parent) {
  auto* form = new TInstalledManageForm(parent);
  form->hide();
  return form;
}
