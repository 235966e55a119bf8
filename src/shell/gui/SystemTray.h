#pragma once
// Whether the desktop runs a system tray now. Tests put a tray in place of
// the real one.

#include <optional>

bool SystemTrayPresent();
// std::nullopt: the real tray again.
void SetSystemTrayPresentForTesting(std::optional<bool> present);
