#pragma once
// A small SMTP server on 127.0.0.1 for tests: one connection at a time,
// EHLO offering AUTH LOGIN, the login checked against a user and password,
// and the dialogue and the message data recorded. Modes make it refuse the
// login, stay silent, or drop the connection during DATA.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LocalSmtpServer {
 public:
  enum class Mode { Normal, RefuseLogin, Silent, CloseDuringData };

  LocalSmtpServer(std::string user, std::string password, Mode mode = Mode::Normal);
  ~LocalSmtpServer();
  LocalSmtpServer(const LocalSmtpServer&) = delete;
  LocalSmtpServer& operator=(const LocalSmtpServer&) = delete;

  int port() const { return port_; }
  // Command lines received, in order; AUTH LOGIN's user and password lines
  // appear decoded as "user:<name>" and "password:<text>".
  std::vector<std::string> commands() const;
  // The message data of each DATA, without the closing "." line and with
  // the dot stuffing removed.
  std::vector<std::string> messages() const;

 private:
  void Run();
  void Serve(int connection);
  bool ReadLine(int connection, std::string& line);
  void Record(std::string line);

  std::string user_;
  std::string password_;
  Mode mode_;
  int listener_ = -1;
  int port_ = 0;
  std::string pending_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> commands_;
  std::vector<std::string> messages_;
  std::thread thread_;
};

// Decodes base64 text (tests only).
std::string DecodeBase64(const std::string& text);
