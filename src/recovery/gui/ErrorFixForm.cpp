#include "recovery/gui/ErrorFixForm.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QResizeEvent>

#include "recovery/gui/ToolWidgets.h"
#include "shell/BusyGuard.h"
#include "shell/gui/DM.h"
#include "shell/gui/EMailForm.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/GridLines.h"
#include "shell/gui/HintUnit.h"

namespace {

constexpr int kBorder = 8;
constexpr int kCaptionHeight = 22;
constexpr int kDescriptionHeight = 110;
constexpr int kBarHeight = 33;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;
constexpr int kDescriptionColour = 16773087;

QLabel* NewPanel(QWidget* parent, const char* name, const char* caption) {
  QLabel* panel = NewToolLabel(parent, name, QString::fromLatin1(caption));
  panel->setAutoFillBackground(true);
  panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return panel;
}

}  // namespace

TErrorFixForm::TErrorFixForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("ErrorFixForm"));
  SetWhiteBackground(this);
  PanelCaption = NewPanel(this, "PanelCaption",
                          "Select the error options from the list below, and click button 'Repair' to proceed. ");
  listerror = NewReportList(this, "listerror", {QStringLiteral("Error Info")});
  ShowGridLines(listerror);
  listerror->setColumnWidth(0, 300);
  listerror->viewport()->installEventFilter(this);
  PanelDescription = NewPanel(this, "PanelDescription", "  Error description");
  QPalette palette = PanelDescription->palette();
  palette.setColor(QPalette::Window, WindowsColour(kDescriptionColour));
  PanelDescription->setPalette(palette);
  MemoText = new QPlainTextEdit(this);
  MemoText->setObjectName(QStringLiteral("MemoText"));
  MemoText->setReadOnly(true);

  cbSelectAll = new QCheckBox(this);
  cbSelectAll->setObjectName(QStringLiteral("cbSelectAll"));
  connect(cbSelectAll, &QCheckBox::clicked, this, [this] { cbSelectAllClick(false); });
  abSelectAll = NewToolLabel(this, "abSelectAll", QStringLiteral("Select All  (except IE 5.x and IE 6.x options)"),
                             [this] { cbSelectAllClick(true); });
  BitBtn1 = NewPushButton(this, "BitBtn1", QStringLiteral("Repair"), [this] { BitBtn1Click(); });
  BitBtn2 = NewPushButton(this, "BitBtn2", QStringLiteral("Report"), [this] { BitBtn2Click(); });
  BitBtn2->hide();
  connect(listerror, &QTreeWidget::itemSelectionChanged, this, [this] { listerrorSelectItem(); });
  resize(590, 440);

  if (DM) {
    recovery::LoadErrorList(DM->IdHTTP1, this, contents_, rows_);
  } else {
    win::HttpClient http;
    recovery::LoadErrorList(http, this, contents_, rows_);
  }
  for (const recovery::ErrorRow& row : rows_) {
    listerror->addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(row.Caption)}));
  }
  ShowStates();
}

TErrorFixForm::~TErrorFixForm() = default;

void TErrorFixForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TErrorFixForm::FormResize() {
  const int inner = width() - 2 * kBorder;
  PanelCaption->setGeometry(kBorder, kBorder, inner, kCaptionHeight);
  const int barTop = height() - kBorder - kBarHeight;
  const int descriptionTop = barTop - kDescriptionHeight;
  const int listTop = kBorder + kCaptionHeight + 4;
  listerror->setGeometry(kBorder, listTop, inner, std::max(0, descriptionTop - 6 - listTop));
  listerror->setColumnWidth(0, std::max(0, listerror->width() - 20));
  PanelDescription->setGeometry(kBorder, descriptionTop, inner, kCaptionHeight);
  MemoText->setGeometry(kBorder, descriptionTop + kCaptionHeight, inner, kDescriptionHeight - kCaptionHeight);
  cbSelectAll->setGeometry(kBorder + 4, barTop + 8, 18, 20);
  abSelectAll->setGeometry(kBorder + 24, barTop + 8, 300, 20);
  BitBtn1->setGeometry(width() - kBorder - kButtonWidth, barTop + 6, kButtonWidth, kButtonHeight);
  BitBtn2->setGeometry(BitBtn1->geometry());
}

bool TErrorFixForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == listerror->viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      const QPoint at = mouse->position().toPoint();
      if (QTreeWidgetItem* item = listerror->itemAt(at)) {
        const QRect rect = listerror->visualItemRect(item);
        listerrorMouseDown(listerror->indexOfTopLevelItem(item), at.x() - rect.left() - 4);
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TErrorFixForm::ShowStates() {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    QTreeWidgetItem* item = listerror->topLevelItem(static_cast<int>(i));
    if (item) item->setIcon(0, DM ? DM->StatImageList.Icon(rows_[i].State) : QIcon());
  }
}

void TErrorFixForm::listerrorMouseDown(int row, int x) {
  if (IsBusy() || row < 0 || x < kStatePictureLeft || x >= kStatePictureLeft + 16) return;
  if (recovery::ToggleErrorRow(rows_, static_cast<std::size_t>(row))) ShowStates();
}

void TErrorFixForm::cbSelectAllClick(bool fromLabel) {
  if (fromLabel) cbSelectAll->setChecked(!cbSelectAll->isChecked());
  recovery::SelectAllErrorRows(rows_, cbSelectAll->isChecked());
  ShowStates();
}

void TErrorFixForm::listerrorSelectItem() {
  const QList<QTreeWidgetItem*> selected = listerror->selectedItems();
  const int row = selected.isEmpty() ? -1 : listerror->indexOfTopLevelItem(selected.front());
  if (row < 0 || row >= static_cast<int>(rows_.size())) {
    MemoText->clear();
    return;
  }
  MemoText->setPlainText(
      QString::fromStdString(recovery::ErrorRowDescription(rows_[static_cast<std::size_t>(row)], contents_)));
}

void TErrorFixForm::BitBtn1Click() {
  if (!IsBusy()) recovery::RepairErrors(rows_, contents_);
}

void TErrorFixForm::BitBtn2Click() {
  TEMailForm form(this);
  form.exec();
}

void TErrorFixForm::ShowWait(const std::string& title, const std::string& message) {
  waitForm_ = std::make_unique<THintForm>(title, message, this);
  ShowAndPaint(waitForm_.get());
}

void TErrorFixForm::CloseWait() { waitForm_.reset(); }

TErrorFixForm* CreateErrorFixForm(QWidget* parent) {
  auto* form = new TErrorFixForm(parent);
  form->hide();
  return form;
}
