#pragma once
// The one QApplication of the window tests (offscreen), made on first use and
// destroyed when the test program's tests are over, before static
// destruction (a QApplication destroyed by an exit handler crashes).

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <functional>

class GuiAppEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete app;
    app = nullptr;
  }
  static inline QApplication* app = nullptr;
};

inline const bool kGuiAppEnvironmentAdded =
    (::testing::AddGlobalTestEnvironment(new GuiAppEnvironment), true);

inline QApplication& GuiApp() {
  static int argc = 1;
  static char name[] = "test_gui";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) GuiAppEnvironment::app = new QApplication(argc, argv);
  return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

// Lets events through until done() or the time is up; returns done().
inline bool ProcessEventsUntil(const std::function<bool()>& done, int milliseconds = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}
