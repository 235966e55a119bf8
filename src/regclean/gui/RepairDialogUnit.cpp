#include "regclean/gui/RepairDialogUnit.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "regclean/RepairDriverUnit.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/PublicFunctionPictures.h"

TRepairDialogForm::TRepairDialogForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      status_(regclean::kRepairDialogLabel) {
  setObjectName(QStringLiteral("RepairDialogForm"));
  setWindowTitle(QString::fromLatin1(regclean::kRepairDialogCaption));
  SetWhiteBackground(this);
  setFixedSize(425, 105);

  Animate1 = new TImageEx(this);
  Animate1->setObjectName(QStringLiteral("Animate1"));
  Animate1->setGeometry(10, 6, 272, 60);
  LoadGifResource("DeleteFile", Animate1);

  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setGeometry(330, 24, 80, 26);
  connect(CancelBtn, &QPushButton::clicked, this, &TRepairDialogForm::CancelBtnClick);

  abRepair = new QLabel(this);
  abRepair->setObjectName(QStringLiteral("abRepair"));
  abRepair->setGeometry(12, 72, 401, 24);
  abRepair->setTextFormat(Qt::PlainText);
  ShowStatus();
  CenterOnScreen(this);
}

void TRepairDialogForm::SetStatus(const std::string& text) {
  status_ = text;
  ShowStatus();
}

void TRepairDialogForm::ShowStatus() {
  const QString text = QString::fromStdString(status_);
  abRepair->setText(abRepair->fontMetrics().elidedText(text, Qt::ElideMiddle, abRepair->width()));
  abRepair->setToolTip(text);
}

void TRepairDialogForm::CancelBtnClick() {
  regclean::CancelRepair();
  close();
}

void TRepairDialogForm::reject() { CancelBtnClick(); }

void TRepairDialogForm::closeEvent(QCloseEvent* event) {
  regclean::CancelRepair();
  event->accept();
}

void TRepairDialogForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ShowStatus();
}
