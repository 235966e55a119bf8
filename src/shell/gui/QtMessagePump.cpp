#include "shell/gui/QtMessagePump.h"

#include <QCoreApplication>

#include "shell/MessagePump.h"

void InstallQtMessagePump() {
  SetMessagePump([] {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
  });
}
