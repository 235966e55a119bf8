#include "shell/gui/QtMessagePump.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

#include "shell/MessagePump.h"

void InstallQtMessagePump() {
  SetMessagePump([] {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
  });
  SetWaitCursorDisplay([](bool busy) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return;
    if (busy) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else QGuiApplication::restoreOverrideCursor();
  });
}
