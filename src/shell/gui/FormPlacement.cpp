#include "shell/gui/FormPlacement.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

void CenterOnScreen(QWidget* window) {
  if (!window) return;
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

void ShowAndPaint(QWidget* window) {
  if (!window) return;
  window->show();
  window->raise();
  window->repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SetWhiteBackground(QWidget* widget) {
  if (!widget) return;
  widget->setAutoFillBackground(true);
  QPalette background = widget->palette();
  background.setColor(QPalette::Window, Qt::white);
  widget->setPalette(background);
}

void SetHotLabelLook(QLabel* label, bool hot, bool bold) {
  if (!label) return;
  QFont font = label->font();
  font.setUnderline(hot);
  font.setBold(hot && bold);
  label->setFont(font);
  QPalette colours = label->palette();
  colours.setColor(QPalette::WindowText, hot ? QColor(0, 0, 255) : QColor(0, 0, 0));
  label->setPalette(colours);
}
