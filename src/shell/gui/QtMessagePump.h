#pragma once
// The window library's message pump for ProcessMessages.

// Makes ProcessMessages let pending Qt events through.
void InstallQtMessagePump();
