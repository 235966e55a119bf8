#include "platform/net/CurlTransfer.h"

#include <algorithm>
#include <memory>
#include <mutex>

namespace win {

namespace {

using Clock = std::chrono::steady_clock;

struct MultiCleanup {
  void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiCleanup>;

}  // namespace

void EnsureCurlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlOutcome PerformTransfer(CURL* easy, Clock::time_point& lastActivity, unsigned idleMs,
                            const std::function<void()>& whileWaiting) {
  CurlOutcome outcome;
  MultiHandle multi(curl_multi_init());
  if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) {
    outcome.code = CURLE_FAILED_INIT;
    return outcome;
  }
  lastActivity = Clock::now();
  const long long pollStep = whileWaiting ? 50 : 1000;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      outcome.code = CURLE_RECV_ERROR;
      break;
    }
    if (running == 0) {
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE) outcome.code = message->data.result;
      }
      break;
    }
    const auto idle =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity).count();
    if (idle >= static_cast<long long>(idleMs)) {
      outcome.timedOut = true;
      break;
    }
    const int wait = static_cast<int>(std::min<long long>(idleMs - idle, pollStep));
    curl_multi_poll(multi.get(), nullptr, 0, wait, nullptr);
    if (whileWaiting) whileWaiting();
  }
  curl_multi_remove_handle(multi.get(), easy);
  return outcome;
}

}  // namespace win
