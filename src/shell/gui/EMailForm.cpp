#include "shell/gui/EMailForm.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "shell/UnitMail.h"

namespace {

constexpr int kClientWidth = 550;
constexpr int kClientHeight = 380;
constexpr int kBorder = 8;

}  // namespace

TEMailForm::TEMailForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("EMailForm"));
  setWindowTitle(QStringLiteral("Support"));
  setFixedSize(kClientWidth, kClientHeight);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
  auto* fields = new QGridLayout;
  TxtSendFile = new QLineEdit(this);
  TxtSendFile->setObjectName(QStringLiteral("TxtSendFile"));
  TxtSubject = new QLineEdit(this);
  TxtSubject->setObjectName(QStringLiteral("TxtSubject"));
  auto* emailLabel = new QLabel(QStringLiteral("User Email"), this);
  emailLabel->setBuddy(TxtSendFile);
  auto* subjectLabel = new QLabel(QStringLiteral("Subject"), this);
  subjectLabel->setBuddy(TxtSubject);
  fields->addWidget(emailLabel, 0, 0);
  fields->addWidget(TxtSendFile, 0, 1);
  fields->addWidget(subjectLabel, 1, 0);
  fields->addWidget(TxtSubject, 1, 1);
  layout->addLayout(fields);

  MemoText = new QPlainTextEdit(this);
  MemoText->setObjectName(QStringLiteral("MemoText"));
  layout->addWidget(MemoText, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  btnSend = new QPushButton(QStringLiteral("Send"), this);
  btnSend->setObjectName(QStringLiteral("btnSend"));
  btnSend->setAutoDefault(false);
  btnClose = new QPushButton(QStringLiteral("Close"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setAutoDefault(false);
  buttons->addWidget(btnSend);
  buttons->addWidget(btnClose);
  layout->addLayout(buttons);

  connect(btnSend, &QPushButton::clicked, this, [this] { btnSendClick(); });
  connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

void TEMailForm::btnSendClick() {
  // No second send and no closing while the first one runs.
  btnSend->setEnabled(false);
  btnClose->setEnabled(false);
  sending_ = true;
  SendSupportMail(TxtSendFile->text().toStdString(), TxtSubject->text().toStdString(),
                  MemoText->toPlainText().toStdString(), Timeouts);
  sending_ = false;
  btnSend->setEnabled(true);
  btnClose->setEnabled(true);
}

void TEMailForm::btnCloseClick() { close(); }

void TEMailForm::closeEvent(QCloseEvent* event) {
  if (sending_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TEMailForm::reject() {
  if (!sending_) QDialog::reject();
}
