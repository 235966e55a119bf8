#include "shell/BusyGuard.h"

#include <deque>
#include <utility>

namespace {
int g_depth = 0;
std::deque<std::function<void()>> g_idleActions;

void RunIdleActions() {
  while (g_depth == 0 && !g_idleActions.empty()) {
    std::function<void()> action = std::move(g_idleActions.front());
    g_idleActions.pop_front();
    action();
  }
}
}  // namespace

BusyGuard::BusyGuard() { ++g_depth; }

BusyGuard::~BusyGuard() {
  if (--g_depth == 0) RunIdleActions();
}

bool IsBusy() { return g_depth > 0; }
int BusyDepth() { return g_depth; }

void RunWhenIdle(std::function<void()> action) {
  if (!action) return;
  g_idleActions.push_back(std::move(action));
  RunIdleActions();
}
