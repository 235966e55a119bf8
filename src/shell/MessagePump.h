#pragma once
// "Let pending window messages through": long loops call ProcessMessages once
// per entry. The window library installs the real pump; tests add a hook that
// runs after it (for example to press Abort at the fifth entry).

#include <functional>

void ProcessMessages();

// The pump itself; an empty function restores the default (does nothing).
void SetMessagePump(std::function<void()> pump);
// Runs after the pump on every call; an empty function removes it.
void SetProcessMessagesHook(std::function<void()> hook);

// Calls of ProcessMessages since the last reset.
long ProcessMessagesCount();
void ResetProcessMessagesCount();
