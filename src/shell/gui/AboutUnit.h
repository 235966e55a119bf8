#pragma once
// The About box: program picture, version (hidden), home-page link, OK.

#include <QDialog>
#include <QLabel>
#include <QPushButton>

class TImageEx;

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutForm(QWidget* owner = nullptr);

  TImageEx* TopImage;
  QLabel* abVersion;
  QLabel* abHomeBtn;
  QPushButton* OKBtn;

  void FormCreate();
  void abHomeBtnClick();
  void abHomeBtnMouseEnter();
  void abHomeBtnMouseLeave();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};
