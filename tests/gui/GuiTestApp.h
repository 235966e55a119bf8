#pragma once
// The one QApplication of the window tests (offscreen), made on first use.

#include <QApplication>
#include <QElapsedTimer>
#include <functional>
#include <memory>

inline QApplication& GuiApp() {
  static int argc = 1;
  static char name[] = "test_gui";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QApplication>(argc, argv);
  return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

// Lets events through until done() or the time is up; returns done().
inline bool ProcessEventsUntil(const std::function<bool()>& done, int milliseconds = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}
