#include "recovery/gui/BrowserRepairForm.h"

#include <QResizeEvent>
#include <QShowEvent>

#include "recovery/IERepairItemUnit.h"
#include "recovery/gui/ToolWidgets.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/GridLines.h"
#include "shell/gui/ImageExUnit.h"

namespace {

constexpr int kBorder = 8;
constexpr int kBarHeight = 37;
constexpr int kCheckColumn = 25;
constexpr int kStatusColumn = 80;
constexpr int kRed = 0x0000FF;
constexpr int kGreen = 0x008000;

}  // namespace

TBrowserRepairForm::TBrowserRepairForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("BrowserRepairForm"));
  SetWhiteBackground(this);
  IERepairListView = NewReportList(this, "IERepairListView", {QString(), QStringLiteral("Name"), QStringLiteral("Status")});
  ShowGridLines(IERepairListView);
  IERepairListView->setColumnWidth(0, kCheckColumn);
  IERepairListView->setColumnWidth(2, kStatusColumn);
  cbSelectAll = new QCheckBox(this);
  cbSelectAll->setObjectName(QStringLiteral("cbSelectAll"));
  cbSelectAll->setChecked(true);
  connect(cbSelectAll, &QCheckBox::clicked, this, [this] { cbSelectAllClick(false); });
  abSelectAll = NewToolLabel(this, "abSelectAll", QStringLiteral("Select All"), [this] { cbSelectAllClick(true); });
  DeleteItemBtn = NewToolButton(this, "DeleteItemBtn", QStringLiteral("Restore"), [this] { DeleteItemBtnClick(); });
  resize(590, 440);
}

void TBrowserRepairForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TBrowserRepairForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TBrowserRepairForm::FormShow() {
  IERepairListView->clear();
  for (const char* caption : recovery::kRepairCaptions) {
    auto* item = new QTreeWidgetItem({QString(), QString::fromLatin1(caption), QString()});
    item->setCheckState(0, Qt::Checked);
    IERepairListView->addTopLevelItem(item);
  }
  FormResize();
}

void TBrowserRepairForm::FormResize() {
  const int inner = width() - 2 * kBorder;
  const int barTop = height() - kBorder - kBarHeight;
  IERepairListView->setGeometry(kBorder, kBorder, inner, std::max(0, barTop - kBorder));
  IERepairListView->setColumnWidth(1, std::max(0, IERepairListView->width() - (kCheckColumn + kStatusColumn + 20)));
  cbSelectAll->setGeometry(kBorder + 4, barTop + 10, 18, 20);
  abSelectAll->setGeometry(kBorder + 24, barTop + 10, 100, 20);
  DeleteItemBtn->move(width() - kBorder - DeleteItemBtn->width(), barTop + 6);
}

void TBrowserRepairForm::cbSelectAllClick(bool fromLabel) {
  if (fromLabel) cbSelectAll->setChecked(!cbSelectAll->isChecked());
  TickAllRows(IERepairListView, cbSelectAll->isChecked());
}

void TBrowserRepairForm::DeleteItemBtnClick() { recovery::RestoreBrowserSettings(*this); }

bool TBrowserRepairForm::IsRowChecked(int row) const { return IsRowTicked(IERepairListView, row); }

void TBrowserRepairForm::SetRowStatus(int row, const std::string& status) {
  QTreeWidgetItem* item = IERepairListView->topLevelItem(row);
  if (!item) return;
  item->setText(2, QString::fromStdString(status));
  if (status == recovery::kRepairingText || status == recovery::kFailedText) item->setForeground(2, WindowsColour(kRed));
  else if (status == recovery::kCompletedText) item->setForeground(2, WindowsColour(kGreen));
}

TBrowserRepairForm* CreateBrowserRepairForm(QWidget* parent) {
  auto* form = new TBrowserRepairForm(parent);
  form->hide();
  return form;
}
