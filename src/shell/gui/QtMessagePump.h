#pragma once
// The window library's message pump and busy cursor.

// Makes ProcessMessages let pending Qt events through and WaitCursor show
// Qt's wait cursor.
void InstallQtMessagePump();
