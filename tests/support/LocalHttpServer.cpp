#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int PollStepMs = 20;
constexpr size_t MaxRequestHead = 64 * 1024;
constexpr auto RequestReadLimit = std::chrono::seconds(5);

std::string ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

RefusingPort::RefusingPort() {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
}

RefusingPort::~RefusingPort() {
  if (fd_ >= 0) ::close(fd_);
}

std::string RefusingPort::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

LocalHttpServer::LocalHttpServer(Handler handler, std::chrono::milliseconds lifetime)
    : handler_(std::move(handler)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener_);
    listener_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&LocalHttpServer::Run, this, Clock::now() + lifetime);
}

LocalHttpServer::LocalHttpServer(std::map<std::string, Response> routes)
    : LocalHttpServer([routes = std::move(routes)](const std::string& request) {
        const auto found = routes.find(RequestPath(request));
        return found != routes.end() ? found->second : Answer(404, "");
      }) {}

LocalHttpServer::~LocalHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

std::string LocalHttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LocalHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

LocalHttpServer::Response LocalHttpServer::Answer(int status, const std::string& body,
                                                  const std::vector<std::string>& headers) {
  std::string raw = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
  raw += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  raw += "Connection: close\r\n";
  for (const std::string& header : headers) raw += header + "\r\n";
  raw += "\r\n" + body;
  Response response;
  response.raw = std::move(raw);
  return response;
}

std::string LocalHttpServer::RequestPath(const std::string& request) {
  const size_t start = request.find(' ');
  if (start == std::string::npos) return "";
  const size_t end = request.find(' ', start + 1);
  return request.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

std::string LocalHttpServer::HeaderValue(const std::string& request, const std::string& name) {
  const std::string wanted = Lower(name) + ":";
  size_t line = request.find("\r\n");
  while (line != std::string::npos) {
    line += 2;
    const size_t end = request.find("\r\n", line);
    const std::string text = request.substr(line, end == std::string::npos ? std::string::npos : end - line);
    if (Lower(text.substr(0, wanted.size())) == wanted) {
      const size_t value = text.find_first_not_of(' ', wanted.size());
      return value == std::string::npos ? "" : text.substr(value);
    }
    line = end;
  }
  return "";
}

void LocalHttpServer::Run(Clock::time_point deadline) {
  while (!stop_ && Clock::now() < deadline) {
    pollfd waiting{listener_, POLLIN, 0};
    if (::poll(&waiting, 1, PollStepMs) <= 0) continue;
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    Serve(connection);
    ::close(connection);
  }
}

void LocalHttpServer::Serve(int connection) {
  std::string head;
  const auto readUntil = Clock::now() + RequestReadLimit;
  while (!stop_ && Clock::now() < readUntil && head.find("\r\n\r\n") == std::string::npos &&
         head.size() < MaxRequestHead) {
    pollfd readable{connection, POLLIN, 0};
    if (::poll(&readable, 1, PollStepMs) <= 0) continue;
    char buffer[4096];
    const ssize_t got = ::recv(connection, buffer, sizeof(buffer), 0);
    if (got <= 0) return;
    head.append(buffer, static_cast<size_t>(got));
  }
  const size_t end = head.find("\r\n\r\n");
  if (end == std::string::npos) return;
  head.resize(end + 4);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head);
  }
  const Response response = handler_(head);
  if (!SleepUnlessStopped(response.delayMs)) return;
  if (!SendAll(connection, response.raw)) return;
  for (const std::string& piece : response.later) {
    if (!SleepUnlessStopped(response.gapMs) || !SendAll(connection, piece)) return;
  }
  SleepUnlessStopped(response.holdMs);
}

bool LocalHttpServer::SendAll(int connection, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t wrote = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (wrote <= 0) return false;
    sent += static_cast<size_t>(wrote);
  }
  return true;
}

bool LocalHttpServer::SleepUnlessStopped(unsigned milliseconds) {
  const auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!stop_ && Clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(PollStepMs / 4));
  }
  return !stop_;
}
