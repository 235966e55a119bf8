#pragma once
// TEMailForm: the modal "Support" window. The user types an e-mail address,
// a subject and a message; "Send" hands them to the engine (shell/UnitMail.h).

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/net/Smtp.h"

class TEMailForm : public QDialog {
  Q_OBJECT
 public:
  explicit TEMailForm(QWidget* owner = nullptr);

  QLineEdit* TxtSendFile;
  QLineEdit* TxtSubject;
  QPlainTextEdit* MemoText;
  QPushButton* btnSend;
  QPushButton* btnClose;

  // Time limits of a send (tests shorten them).
  win::SmtpTimeouts Timeouts;

  void btnSendClick();
  void btnCloseClick();

 protected:
  // Escape and the window's close box wait until a send has ended.
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  bool sending_ = false;
};
