#include "shell/MessagePump.h"

#include <chrono>
#include <utility>

namespace {
using Clock = std::chrono::steady_clock;

// Letting messages through costs far more than a scan entry: the pump runs
// once this much time has passed since it last returned.
constexpr auto kPumpInterval = std::chrono::milliseconds(10);

std::function<void()> g_pump;
std::function<void()> g_hook;
Clock::time_point g_nextPump{};
long g_count = 0;
std::function<void(bool)> g_showWaitCursor;
int g_waitDepth = 0;
}  // namespace

void ProcessMessages() {
  ++g_count;
  if (g_pump && Clock::now() >= g_nextPump) {
    g_pump();
    g_nextPump = Clock::now() + kPumpInterval;
  }
  if (g_hook) {
    // A hook may replace itself; keep the running one alive until it returns.
    std::function<void()> hook = g_hook;
    hook();
  }
}

void SetMessagePump(std::function<void()> pump) {
  g_pump = std::move(pump);
  g_nextPump = {};
}
void SetProcessMessagesHook(std::function<void()> hook) { g_hook = std::move(hook); }
long ProcessMessagesCount() { return g_count; }
void ResetProcessMessagesCount() { g_count = 0; }

WaitCursor::WaitCursor() {
  if (++g_waitDepth == 1 && g_showWaitCursor) g_showWaitCursor(true);
}

WaitCursor::~WaitCursor() {
  if (--g_waitDepth == 0 && g_showWaitCursor) g_showWaitCursor(false);
}

void SetWaitCursorDisplay(std::function<void(bool busy)> show) { g_showWaitCursor = std::move(show); }
