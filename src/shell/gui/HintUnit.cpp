#include "shell/gui/HintUnit.h"

#include "shell/gui/FormPlacement.h"

namespace {
constexpr int kClientWidth = 318;
constexpr int kClientHeight = 57;
constexpr int kStripHeight = 17;
}  // namespace

THintForm::THintForm(QWidget* owner) : THintForm("Hint", "", owner) {}

THintForm::THintForm(const std::string& title, const std::string& message, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(kClientWidth + 2, kClientHeight + 2);  // one-pixel border around the client area
  setStyleSheet(QStringLiteral("THintForm { background: #1f2a2c; }"));
  setAttribute(Qt::WA_StyledBackground);

  PanelHint = new QLabel(this);
  PanelHint->setGeometry(1, 1, kClientWidth, kStripHeight);
  PanelHint->setIndent(4);
  PanelHint->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  PanelHint->setStyleSheet(QStringLiteral("background: #0b4f5c; color: white; font-weight: bold;"));

  LabelMsg = new QLabel(this);
  LabelMsg->setGeometry(1, 1 + kStripHeight, kClientWidth, kClientHeight - kStripHeight);
  LabelMsg->setAlignment(Qt::AlignCenter);
  LabelMsg->setWordWrap(true);
  LabelMsg->setStyleSheet(QStringLiteral("background: white; color: black;"));

  SetTitle(title);
  SetMessage(message);
  CenterOnScreen(this);
}

void THintForm::SetTitle(const std::string& title) {
  const QString text = QString::fromStdString(title);
  setWindowTitle(text);
  PanelHint->setText(text);
}

void THintForm::SetMessage(const std::string& message) { LabelMsg->setText(QString::fromStdString(message)); }
