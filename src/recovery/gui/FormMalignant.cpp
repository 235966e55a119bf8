#include "recovery/gui/FormMalignant.h"

#include <QApplication>
#include <QHeaderView>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>

#include "recovery/gui/ToolWidgets.h"
#include "shell/gui/DM.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/GridLines.h"
#include "shell/gui/HintUnit.h"
#include "shell/gui/ImageExUnit.h"

namespace {

constexpr int kBorder = 8;
constexpr int kNameColumn = 180;
constexpr int kStatusColumn = 80;
constexpr int kHeaderHeight = 112;
constexpr int kBarHeight = 37;

const char* const kMemoText =
    "The checked ActiveX item will be blocked from your PC and your PC system will be protected. "
    "The un-checked one will still have a chance to auto-install in your PC and maybe cause "
    "potential threats to your PC system.";

}  // namespace

TFormMalignant::TFormMalignant(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("FormMalignant"));
  SetWhiteBackground(this);
  Label1 = NewToolLabel(this, "Label1", QStringLiteral("Block the malignant ActiveX controls to protect your PC"));
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  LabelList = NewToolLabel(this, "LabelList", QStringLiteral("(ActiveX object)"));
  Memo1 = new QPlainTextEdit(QString::fromLatin1(kMemoText), this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ImageWarning = new QLabel(this);
  ImageWarning->setObjectName(QStringLiteral("ImageWarning"));
  ImageWarning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(24, 24));
  ImageWarning->hide();
  LabelWarning = NewToolLabel(this, "LabelWarning", QString());
  LabelWarning->setStyleSheet(QStringLiteral("color: #c00000;"));
  LabelWarning->hide();

  ListActiveX = NewReportList(this, "ListActiveX",
                              {QStringLiteral("Object Name"), QStringLiteral("CLSID"), QStringLiteral("Status")});
  ShowGridLines(ListActiveX);
  ListActiveX->setColumnWidth(0, kNameColumn);
  ListActiveX->setColumnWidth(2, kStatusColumn);
  ListActiveX->headerItem()->setTextAlignment(2, Qt::AlignCenter);
  ProtectGauge = new QProgressBar(this);
  ProtectGauge->setObjectName(QStringLiteral("ProtectGauge"));
  ProtectGauge->setRange(0, 100);
  ProtectGauge->setTextVisible(false);
  ProtectGauge->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: #0000ff; }"));
  ProtectGauge->hide();

  ChkList = new QCheckBox(this);
  ChkList->setObjectName(QStringLiteral("ChkList"));
  connect(ChkList, &QCheckBox::clicked, this, [this] { ChkListClick(); });
  Label3 = NewToolLabel(this, "Label3", QStringLiteral("Select All"), [this] { Label3Click(); });
  connect(ListActiveX, &QTreeWidget::itemChanged, this, [this] { ShowSelectAll(); });
  ImmunizeBtn = NewToolButton(this, "ImmunizeBtn", QStringLiteral("Lock"), [this] { ImmunizeBtnClick(); });
  UnImmunizeBtn = NewToolButton(this, "UnImmunizeBtn", QStringLiteral("Unlock"), [this] { UnImmunizeBtnClick(); });
  resize(590, 440);

  if (DM) {
    recovery::EnsureCodeFile(DM->IdHTTP1, this);
  } else {
    win::HttpClient http;
    recovery::EnsureCodeFile(http, this);
  }
}

TFormMalignant::~TFormMalignant() = default;

void TFormMalignant::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFormMalignant::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TFormMalignant::FormResize() {
  const int inner = width() - 2 * kBorder;
  Label1->setGeometry(kBorder, kBorder, inner - 120, 20);
  LabelList->setGeometry(width() - kBorder - 120, kBorder, 120, 20);
  LabelList->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Memo1->setGeometry(kBorder, kBorder + 24, inner, 52);
  ImageWarning->setGeometry(kBorder, kBorder + 80, 24, 24);
  LabelWarning->setGeometry(kBorder + 30, kBorder + 80, inner - 30, 24);
  const int barTop = height() - kBorder - kBarHeight;
  const int gaugeTop = barTop - 18;
  ListActiveX->setGeometry(kBorder, kHeaderHeight, inner, std::max(0, gaugeTop - 4 - kHeaderHeight));
  ListActiveX->setColumnWidth(1, std::max(0, ListActiveX->width() - (kNameColumn + kStatusColumn + 20)));
  ProtectGauge->setGeometry(kBorder, gaugeTop, inner, 14);
  ChkList->setGeometry(kBorder + 4, barTop + 10, 18, 20);
  Label3->setGeometry(kBorder + 24, barTop + 10, 100, 20);
  UnImmunizeBtn->move(width() - kBorder - UnImmunizeBtn->width(), barTop + 6);
  ImmunizeBtn->move(UnImmunizeBtn->x() - 8 - ImmunizeBtn->width(), barTop + 6);
}

void TFormMalignant::FormShow() {
  FormResize();
  rows_ = recovery::LoadMalignantRows();
  const QSignalBlocker quiet(ListActiveX);
  ListActiveX->clear();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    auto* item = new QTreeWidgetItem({QString::fromStdString(rows_[i].Name), QString::fromStdString(rows_[i].Clsid), QString()});
    item->setTextAlignment(2, Qt::AlignCenter);
    ListActiveX->addTopLevelItem(item);
  }
  ShowRows();
  const int count = static_cast<int>(rows_.size());
  LabelList->setText(QString::fromStdString(recovery::ObjectCountText(count)));
}

void TFormMalignant::ShowRows() {
  const QSignalBlocker quiet(ListActiveX);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    QTreeWidgetItem* item = ListActiveX->topLevelItem(static_cast<int>(i));
    if (!item) continue;
    item->setCheckState(0, rows_[i].Checked ? Qt::Checked : Qt::Unchecked);
    item->setText(2, QString::fromLatin1(rows_[i].Locked ? recovery::kLockedText : recovery::kUnlockedText));
  }
  ShowWarning();
  ShowSelectAll();
}

void TFormMalignant::ShowSelectAll() {
  const int count = ListActiveX->topLevelItemCount();
  bool all = count > 0;
  for (int i = 0; i < count && all; ++i) all = IsRowTicked(ListActiveX, i);
  ChkList->setChecked(all);
}

void TFormMalignant::ShowWarning() {
  const int unlocked = recovery::UnlockedCount(rows_);
  LabelWarning->setText(QString::fromStdString(recovery::WarningText(unlocked)));
  ImageWarning->setVisible(unlocked != 0);
  LabelWarning->setVisible(unlocked != 0);
}

void TFormMalignant::TakeTicks() {
  for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i].Checked = IsRowTicked(ListActiveX, static_cast<int>(i));
}

void TFormMalignant::ChkListClick() {
  {
    const QSignalBlocker quiet(ListActiveX);
    TickAllRows(ListActiveX, ChkList->isChecked());
  }
  ShowSelectAll();
}

void TFormMalignant::Label3Click() {
  ChkList->setChecked(!ChkList->isChecked());
  ChkListClick();
}

void TFormMalignant::RunWithGauge(Action action, Outcome tell) {
  TakeTicks();
  ProtectGauge->setValue(0);
  ProtectGauge->show();
  ShowAndPaint(ProtectGauge);
  const int failed = action(rows_, [this](int percent) {
    ProtectGauge->setValue(percent);
    ProtectGauge->repaint();
  });
  ShowRows();
  tell(rows_, failed);
  ProtectGauge->setValue(0);
  ProtectGauge->hide();
}

void TFormMalignant::ImmunizeBtnClick() { RunWithGauge(recovery::LockRows, recovery::TellLockOutcome); }

void TFormMalignant::UnImmunizeBtnClick() { RunWithGauge(recovery::UnlockRows, recovery::TellUnlockOutcome); }

void TFormMalignant::ShowWait(const std::string& title, const std::string& message) {
  waitForm_ = std::make_unique<THintForm>(title, message, this);
  ShowAndPaint(waitForm_.get());
}

void TFormMalignant::CloseWait() { waitForm_.reset(); }

TFormMalignant* CreateFormMalignant(QWidget* parent) {
  auto* form = new TFormMalignant(parent);
  form->hide();
  return form;
}
