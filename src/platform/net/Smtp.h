#pragma once
// Sending one plain-text mail over SMTP with AUTH LOGIN (libcurl). Header
// fields are made safe here: control characters become blanks, so no text
// can add a header line; texts beyond ASCII go as RFC 2047 encoded words.
// Failures are results; nothing throws.

#include <functional>
#include <string>

namespace win {

constexpr unsigned DefaultSmtpPort = 25;
constexpr unsigned DefaultSmtpTimeout = 30000;  // milliseconds

struct SmtpAccount {
  std::string host;
  unsigned port = DefaultSmtpPort;
  std::string user;
  std::string password;
  std::string heloName;  // the name given with EHLO; empty: "localhost"
};

struct MailMessage {
  std::string fromAddress;
  std::string fromName;
  std::string to;
  std::string replyTo;
  std::string subject;  // UTF-8
  std::string body;     // UTF-8; any line ends
};

struct SmtpTimeouts {
  unsigned connectMs = DefaultSmtpTimeout;  // to make the connection
  unsigned silenceMs = DefaultSmtpTimeout;  // without anything coming or going
};

struct SmtpResult {
  bool ok = false;         // the server took the message
  bool connected = false;  // a connection to the server was made
  std::string error;       // empty on success
};

// "host" or "host:port" (port 25 when left out). False for an empty host or
// a port that is not 1 to 65535.
bool ParseMailServer(const std::string& text, std::string& host, unsigned& port);

// The message as it goes after DATA: headers (Date, From, To, Reply-To,
// Subject, MIME), a blank line and the body, all lines ending in CR LF.
// date is the Date header's text.
std::string FormatMailMessage(const MailMessage& message, const std::string& date);

// Connects, logs in with AUTH LOGIN and sends the message. whileWaiting, when
// set, runs again and again while the exchange goes on.
SmtpResult SendMail(const SmtpAccount& account, const MailMessage& message,
                    const SmtpTimeouts& timeouts = {},
                    const std::function<void()>& whileWaiting = {});

}  // namespace win
