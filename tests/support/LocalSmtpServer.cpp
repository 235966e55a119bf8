#include "LocalSmtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

constexpr int PollStepMs = 20;

bool SendAll(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t wrote = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (wrote <= 0) return false;
    sent += static_cast<std::size_t>(wrote);
  }
  return true;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::string DecodeBase64(const std::string& text) {
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  for (const char c : text) {
    int value = -1;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    if (value < 0) continue;
    buffer = buffer << 6 | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>(buffer >> bits & 0xFF);
    }
  }
  return out;
}

LocalSmtpServer::LocalSmtpServer(std::string user, std::string password, Mode mode)
    : user_(std::move(user)), password_(std::move(password)), mode_(mode) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener_, 4) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener_);
    listener_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&LocalSmtpServer::Run, this);
}

LocalSmtpServer::~LocalSmtpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

std::vector<std::string> LocalSmtpServer::commands() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}

std::vector<std::string> LocalSmtpServer::messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

void LocalSmtpServer::Record(std::string line) {
  std::lock_guard<std::mutex> lock(mutex_);
  commands_.push_back(std::move(line));
}

void LocalSmtpServer::Run() {
  while (!stop_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (::poll(&waiting, 1, PollStepMs) <= 0) continue;
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    pending_.clear();
    Serve(connection);
    ::close(connection);
  }
}

bool LocalSmtpServer::ReadLine(int connection, std::string& line) {
  for (;;) {
    const std::size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      return true;
    }
    if (stop_) return false;
    pollfd readable{connection, POLLIN, 0};
    if (::poll(&readable, 1, PollStepMs) <= 0) continue;
    char buffer[65536];
    const ssize_t got = ::recv(connection, buffer, sizeof(buffer), 0);
    if (got <= 0) return false;
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

void LocalSmtpServer::Serve(int connection) {
  if (mode_ == Mode::Silent) {
    while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(PollStepMs));
    return;
  }
  if (!SendAll(connection, "220 test.invalid ESMTP\r\n")) return;
  std::string line;
  while (ReadLine(connection, line)) {
    Record(line);
    const std::string word = Upper(line.substr(0, line.find(' ')));
    std::string answer;
    if (word == "EHLO") {
      answer = "250-test.invalid\r\n250-AUTH LOGIN\r\n250 8BITMIME\r\n";
    } else if (word == "AUTH" && Upper(line) == "AUTH LOGIN") {
      std::string userLine;
      std::string passwordLine;
      if (!SendAll(connection, "334 VXNlcm5hbWU6\r\n") || !ReadLine(connection, userLine)) return;
      Record("user:" + DecodeBase64(userLine));
      if (!SendAll(connection, "334 UGFzc3dvcmQ6\r\n") || !ReadLine(connection, passwordLine)) return;
      Record("password:" + DecodeBase64(passwordLine));
      const bool accepted = mode_ != Mode::RefuseLogin && DecodeBase64(userLine) == user_ &&
                            DecodeBase64(passwordLine) == password_;
      answer = accepted ? "235 Authentication successful\r\n" : "535 Authentication failed\r\n";
    } else if (word == "MAIL" || word == "RCPT" || word == "RSET" || word == "NOOP") {
      answer = "250 OK\r\n";
    } else if (word == "DATA") {
      if (!SendAll(connection, "354 End data with <CR><LF>.<CR><LF>\r\n")) return;
      std::string data;
      std::string dataLine;
      bool first = true;
      while (ReadLine(connection, dataLine) && dataLine != ".") {
        if (mode_ == Mode::CloseDuringData) return;
        if (!dataLine.empty() && dataLine[0] == '.') dataLine.erase(0, 1);
        data += (first ? "" : "\r\n") + dataLine;
        first = false;
      }
      if (dataLine != ".") return;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(data + "\r\n");
      }
      answer = "250 Queued\r\n";
    } else if (word == "QUIT") {
      SendAll(connection, "221 Bye\r\n");
      return;
    } else {
      answer = "502 Not implemented\r\n";
    }
    if (!SendAll(connection, answer)) return;
  }
}
