#include "shell/MessagePump.h"

#include <utility>

namespace {
std::function<void()> g_pump;
std::function<void()> g_hook;
long g_count = 0;
}  // namespace

void ProcessMessages() {
  ++g_count;
  if (g_pump) g_pump();
  if (g_hook) {
    // A hook may replace itself; keep the running one alive until it returns.
    std::function<void()> hook = g_hook;
    hook();
  }
}

void SetMessagePump(std::function<void()> pump) { g_pump = std::move(pump); }
void SetProcessMessagesHook(std::function<void()> hook) { g_hook = std::move(hook); }
long ProcessMessagesCount() { return g_count; }
void ResetProcessMessagesCount() { g_count = 0; }
