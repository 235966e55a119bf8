#pragma once
// The one busy guard: every long operation that lets messages through holds a
// BusyGuard for its whole run. Page switches, closing a tool window and
// quitting check IsBusy() and refuse, or queue their work with RunWhenIdle.

#include <functional>

class BusyGuard {
 public:
  BusyGuard();
  ~BusyGuard();
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;
};

bool IsBusy();
// Number of guards held (nested operations each hold one).
int BusyDepth();
// Runs action now when nothing is busy, else right after the last guard is
// released (in the order queued).
void RunWhenIdle(std::function<void()> action);
