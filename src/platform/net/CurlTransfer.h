#pragma once
// The transfer loop that the HTTP and SMTP clients share: runs one prepared
// libcurl request until it ends or has been silent for too long.

#include <curl/curl.h>

#include <chrono>
#include <functional>

namespace win {

struct CurlOutcome {
  CURLcode code = CURLE_OK;
  bool timedOut = false;  // nothing came or went for the idle limit
};

// Runs easy to its end. lastActivity is set now and is moved on by the
// request's callbacks whenever data comes or goes; when it lies idleMs in the
// past the request is given up. whileWaiting, when set, runs between polls
// (at least every 50 ms).
CurlOutcome PerformTransfer(CURL* easy, std::chrono::steady_clock::time_point& lastActivity,
                            unsigned idleMs, const std::function<void()>& whileWaiting = {});

// curl_global_init, once per process.
void EnsureCurlInitialised();

}  // namespace win
