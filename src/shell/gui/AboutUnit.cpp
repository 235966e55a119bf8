#include "shell/gui/AboutUnit.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include "shell/PublicFunctionUnit.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/PublicFunctionPictures.h"

namespace {
constexpr int kClientWidth = 346;
constexpr int kClientHeight = 207;
constexpr int kBandHeight = 86;

void SetLinkLook(QLabel* label, bool hot) {
  QFont font = label->font();
  font.setUnderline(hot);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, hot ? QColor(0, 0, 255) : QColor(0, 0, 0));
  label->setPalette(palette);
}
}  // namespace

TAboutForm::TAboutForm(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setWindowTitle(QStringLiteral("About"));
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::white);
  setPalette(background);

  TopImage = new TImageEx(this);
  TopImage->setGeometry(0, 0, kClientWidth, kBandHeight);
  LoadJpegResource(TopImage, "AboutTop", "JPG");

  abVersion = new QLabel(this);
  abVersion->setGeometry(20, 100, 120, 16);
  abVersion->hide();

  abHomeBtn = new QLabel(this);
  abHomeBtn->setGeometry(20, 118, kClientWidth - 40, 20);
  abHomeBtn->setAlignment(Qt::AlignCenter);
  abHomeBtn->setCursor(Qt::PointingHandCursor);
  abHomeBtn->installEventFilter(this);

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setGeometry((kClientWidth - 75) / 2, kClientHeight - 25 - 16, 75, 25);
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

  FormCreate();
  CenterOnScreen(this);
}

void TAboutForm::FormCreate() {
  abVersion->setText(QStringLiteral("Ver %1").arg(QLatin1String(ProgramVersion)));
  abHomeBtn->setText(QString::fromStdString(Settings.HomePage));
  SetLinkLook(abHomeBtn, false);
}

void TAboutForm::abHomeBtnClick() { OpenWebPage(0, Settings.HomePage); }
void TAboutForm::abHomeBtnMouseEnter() { SetLinkLook(abHomeBtn, true); }
void TAboutForm::abHomeBtnMouseLeave() { SetLinkLook(abHomeBtn, false); }

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == abHomeBtn) {
    switch (event->type()) {
      case QEvent::Enter: abHomeBtnMouseEnter(); break;
      case QEvent::Leave: abHomeBtnMouseLeave(); break;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) abHomeBtnClick();
        break;
      default: break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutForm::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  painter.setPen(QColor(0x0B, 0x4F, 0x5C));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
