#pragma once
// Mouse events sent straight to a widget, as the window system would.

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>

inline void SendEnter(QWidget* widget) {
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
  QCoreApplication::sendEvent(widget, &enter);
}

inline void SendLeave(QWidget* widget) {
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(widget, &leave);
}

// A press, move or release at a point of the widget; buttons is what is held.
inline void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, QPoint at,
                      Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

inline void SendClick(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
  const QPoint at(widget->width() / 2, widget->height() / 2);
  SendMouse(widget, QEvent::MouseButtonPress, button, at, button);
  SendMouse(widget, QEvent::MouseButtonRelease, button, at, Qt::NoButton);
}
