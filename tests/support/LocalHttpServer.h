#pragma once
// A small HTTP server on 127.0.0.1 for tests: answers each connection on a
// thread of its own with a scripted response and records the raw request.
// It listens on an ephemeral port and stops when destroyed, or by itself
// after its lifetime has passed.

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A port on 127.0.0.1 kept bound but never listened on while this object
// lives: connections to it are refused, and no other server can take it
// meanwhile (a port freed right after use may be taken by a test running
// beside).
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by path.
  std::string url(const std::string& path = "") const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

class LocalHttpServer {
 public:
  struct Response {
    std::string raw;                 // bytes sent as they are: status line, headers, body
    unsigned delayMs = 0;            // wait before sending anything
    std::vector<std::string> later;  // further pieces, each sent gapMs after the one before
    unsigned gapMs = 0;
    unsigned holdMs = 0;             // keep the connection open this long after sending
  };
  // Picks the response for a request head (request line and headers).
  using Handler = std::function<Response(const std::string& request)>;

  explicit LocalHttpServer(Handler handler,
                           std::chrono::milliseconds lifetime = std::chrono::seconds(30));
  // Answers by request path; unknown paths get 404.
  explicit LocalHttpServer(std::map<std::string, Response> routes);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool listening() const { return listener_ >= 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by path.
  std::string url(const std::string& path = "") const;
  // Raw request heads received so far, in order.
  std::vector<std::string> requests() const;

  // "HTTP/1.1 <status> <reason>" with Content-Length, "Connection: close",
  // the extra header lines (each without line end) and the body.
  static Response Answer(int status, const std::string& body,
                         const std::vector<std::string>& headers = {});
  // The path of a request head's request line ("GET /a/b HTTP/1.1" -> "/a/b").
  static std::string RequestPath(const std::string& request);
  // The value of one header of a request head ("" when missing).
  static std::string HeaderValue(const std::string& request, const std::string& name);

 private:
  void Run(std::chrono::steady_clock::time_point deadline);
  void Serve(int connection);
  bool SleepUnlessStopped(unsigned milliseconds);
  static bool SendAll(int connection, const std::string& bytes);

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};
