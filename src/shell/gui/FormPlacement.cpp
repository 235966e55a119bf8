#include "shell/gui/FormPlacement.h"

#include <QCoreApplication>
#include <QGuiApplication>
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
