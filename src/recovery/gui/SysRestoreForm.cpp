#include "recovery/gui/SysRestoreForm.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QShowEvent>

#include "recovery/gui/ToolWidgets.h"
#include "shell/BusyGuard.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/GridLines.h"

namespace {

constexpr int kBorder = 8;
constexpr int kDateColumn = 160;
constexpr int kMemoHeight = 70;
constexpr int kButtonWidth = 150;
constexpr int kButtonHeight = 25;

const char* const kIntroText =
    "This utility can be used to create and name your own restore points at any time. In case of system "
    "instability, it is better to have a restore point before any major actions were taken on your PC system. "
    "After that, you can choose a restore point and return your computer to its previous stable state.";

}  // namespace

TSysRestoreForm::TSysRestoreForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("SysRestoreForm"));
  SetWhiteBackground(this);
  Memo = NewIntroMemo(this, "Memo", QString::fromLatin1(kIntroText));

  RestoreListView = NewReportList(this, "RestoreListView",
                                  {QStringLiteral("Description"), QStringLiteral("Backup Date"), QString()});
  ShowGridLines(RestoreListView);
  RestoreListView->setColumnWidth(0, 200);
  RestoreListView->setColumnWidth(1, kDateColumn);
  RestoreListView->setColumnHidden(kSequenceColumn, true);

  // "Delete" first, so that "Restore" covers it.
  DeleteButton = NewPushButton(this, "DeleteButton", QStringLiteral("Delete"), [this] { DeleteButtonClick(); });
  RefreshButton = NewPushButton(this, "RefreshButton", QStringLiteral("Refresh"), [this] { RefreshButtonClick(); });
  BackupButton = NewPushButton(this, "BackupButton", QStringLiteral("Create a Restore Point"),
                               [this] { BackupButtonClick(); });
  RestoreButton = NewPushButton(this, "RestoreButton", QStringLiteral("Restore"), [this] { RestoreButtonClick(); });
  setTabOrder(RefreshButton, BackupButton);
  setTabOrder(BackupButton, RestoreButton);
  setTabOrder(RestoreButton, DeleteButton);
  resize(590, 440);
}

void TSysRestoreForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TSysRestoreForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TSysRestoreForm::FormShow() {
  FormResize();
  recovery::ShowRestoreTool(*this);
}

void TSysRestoreForm::FormResize() {
  const int inner = width() - 2 * kBorder;
  Memo->setGeometry(kBorder, kBorder, inner, kMemoHeight);
  const int barTop = height() - kBorder - kButtonHeight;
  const int listTop = kBorder + kMemoHeight + 6;
  RestoreListView->setGeometry(kBorder, listTop, inner, std::max(0, barTop - 8 - listTop));
  RestoreListView->setColumnWidth(0, std::max(0, RestoreListView->width() - (kDateColumn + 19)));
  int left = width() - kBorder - kButtonWidth;
  for (QPushButton* button : {RestoreButton, BackupButton, RefreshButton}) {
    button->setGeometry(left, barTop, kButtonWidth, kButtonHeight);
    left -= kButtonWidth + 8;
  }
  DeleteButton->setGeometry(RestoreButton->geometry());
  DeleteButton->stackUnder(RestoreButton);
}

void TSysRestoreForm::ShowRestorePoints(const std::vector<recovery::RestorePointRow>& rows) {
  RestoreListView->clear();
  for (const recovery::RestorePointRow& row : rows) {
    RestoreListView->addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(row.Description),
                                                          QString::fromStdString(row.DateText),
                                                          QString::fromStdString(row.SequenceNumber)}));
  }
}

std::string TSysRestoreForm::SelectedSequence() const {
  const QList<QTreeWidgetItem*> selected = RestoreListView->selectedItems();
  return selected.isEmpty() ? std::string() : selected.front()->text(kSequenceColumn).toStdString();
}

void TSysRestoreForm::RefreshButtonClick() {
  if (!IsBusy()) recovery::RefreshRestorePoints(*this);
}

void TSysRestoreForm::BackupButtonClick() {
  if (!IsBusy()) recovery::CreateRestorePointAction(*this);
}

void TSysRestoreForm::RestoreButtonClick() {
  if (!IsBusy()) recovery::RestoreAction(*this, SelectedSequence());
}

void TSysRestoreForm::DeleteButtonClick() {
  if (!IsBusy()) recovery::DeleteAction(*this, SelectedSequence());
}

TSysRestoreForm* CreateSysRestoreForm(QWidget* parent) {
  auto* form = new TSysRestoreForm(parent);
  form->hide();
  return form;
}
