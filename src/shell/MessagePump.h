#pragma once
// "Let pending window messages through": long loops call ProcessMessages once
// per entry. The window library installs the real pump, which runs at most
// about every 10 ms; tests add a hook that runs on every call (for example to
// press Abort at the fifth entry).

#include <functional>

void ProcessMessages();

// The pump itself; an empty function restores the default (does nothing).
// A newly set pump runs at the next call.
void SetMessagePump(std::function<void()> pump);
// Runs after the pump on every call; an empty function removes it.
void SetProcessMessagesHook(std::function<void()> hook);

// Calls of ProcessMessages since the last reset.
long ProcessMessagesCount();
void ResetProcessMessagesCount();

// Shows the busy cursor while it lives (nested ones show it once), for work
// that lets messages through only now and then. The window library installs
// how it is shown; an empty function shows nothing.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};
void SetWaitCursorDisplay(std::function<void(bool busy)> show);
