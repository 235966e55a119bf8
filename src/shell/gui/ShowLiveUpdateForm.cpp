#include "shell/gui/ShowLiveUpdateForm.h"

#include "shell/gui/FormPlacement.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/PublicFunctionPictures.h"

TShowLiveUpdateForm::TShowLiveUpdateForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Live Update"));
  setFixedSize(367, 129);
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::white);
  setPalette(background);

  Image1 = new TImageEx(this);
  Image1->setGeometry(24, 40, 48, 48);
  LoadJpegResource(Image1, "LiveUpdate", "JPG");

  Label1 = new QLabel(QStringLiteral("Checking the latest version, please wait..."), this);
  Label1->setGeometry(88, 40, 367 - 88 - 16, 48);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  CenterOnScreen(this);
}
