#include "shell/gui/SystemTray.h"

#include <QSystemTrayIcon>

namespace {

std::optional<bool> testTray;

}  // namespace

bool SystemTrayPresent() { return testTray ? *testTray : QSystemTrayIcon::isSystemTrayAvailable(); }

void SetSystemTrayPresentForTesting(std::optional<bool> present) { testTray = present; }
