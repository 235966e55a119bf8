#include "platform/net/Smtp.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "LocalHttpServer.h"
#include "LocalSmtpServer.h"

using namespace win;

namespace {

constexpr const char* kUser = "support@test.invalid";
constexpr const char* kPassword = "qv731958";

SmtpAccount AccountFor(int port) {
  SmtpAccount account;
  account.host = "127.0.0.1";
  account.port = static_cast<unsigned>(port);
  account.user = kUser;
  account.password = kPassword;
  account.heloName = "HOME-PC";
  return account;
}

MailMessage Message(const std::string& subject, const std::string& body = "Hello") {
  MailMessage message;
  message.fromAddress = kUser;
  message.fromName = kUser;
  message.to = "report@test.invalid";
  message.replyTo = "report@test.invalid";
  message.subject = subject;
  message.body = body;
  return message;
}

// Header lines of a received message (folded lines joined) and its body.
struct Received {
  std::vector<std::string> headers;
  std::string body;
};

Received Split(const std::string& data) {
  Received received;
  const std::size_t end = data.find("\r\n\r\n");
  const std::string head = data.substr(0, end);
  received.body = end == std::string::npos ? "" : data.substr(end + 4);
  std::size_t pos = 0;
  while (pos <= head.size()) {
    std::size_t next = head.find("\r\n", pos);
    if (next == std::string::npos) next = head.size();
    const std::string line = head.substr(pos, next - pos);
    if (!line.empty() && line[0] == ' ' && !received.headers.empty()) {
      received.headers.back() += line;
    } else {
      received.headers.push_back(line);
    }
    pos = next + 2;
  }
  return received;
}

std::vector<std::string> HeadersNamed(const Received& received, const std::string& name) {
  std::vector<std::string> found;
  for (const std::string& line : received.headers) {
    if (line.rfind(name + ":", 0) == 0) found.push_back(line.substr(name.size() + 2));
  }
  return found;
}

// The text of RFC 2047 encoded words (B encoding) joined.
std::string DecodeWords(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  while ((pos = text.find("=?UTF-8?B?", pos)) != std::string::npos) {
    pos += 10;
    const std::size_t end = text.find("?=", pos);
    out += DecodeBase64(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}


}  // namespace

TEST(SmtpSend, LogsInWithAuthLoginAndSendsOneMessage) {
  LocalSmtpServer server(kUser, kPassword);
  const SmtpResult result = SendMail(AccountFor(server.port()), Message("Help  User Name:a@b.c"));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(result.connected);
  const std::vector<std::string> commands = server.commands();
  ASSERT_GE(commands.size(), 8u);
  EXPECT_EQ(commands[0], "EHLO HOME-PC");
  EXPECT_EQ(commands[1], "AUTH LOGIN");
  EXPECT_EQ(commands[2], std::string("user:") + kUser);
  EXPECT_EQ(commands[3], std::string("password:") + kPassword);
  EXPECT_EQ(commands[4].rfind("MAIL FROM:<support@test.invalid>", 0), 0u) << commands[4];
  EXPECT_EQ(commands[5], "RCPT TO:<report@test.invalid>");
  EXPECT_EQ(commands[6], "DATA");
  EXPECT_EQ(commands[7], "QUIT");

  ASSERT_EQ(server.messages().size(), 1u);
  const Received mail = Split(server.messages()[0]);
  EXPECT_EQ(HeadersNamed(mail, "From"),
            std::vector<std::string>{"\"support@test.invalid\" <support@test.invalid>"});
  EXPECT_EQ(HeadersNamed(mail, "To"), std::vector<std::string>{"report@test.invalid"});
  EXPECT_EQ(HeadersNamed(mail, "Reply-To"), std::vector<std::string>{"report@test.invalid"});
  EXPECT_EQ(HeadersNamed(mail, "Subject"), std::vector<std::string>{"Help  User Name:a@b.c"});
  EXPECT_EQ(HeadersNamed(mail, "Content-Type"), std::vector<std::string>{"text/plain; charset=utf-8"});
  EXPECT_EQ(mail.body, "Hello\r\n");
}

TEST(SmtpSend, HeaderFieldsCannotAddHeaders) {
  struct Case {
    const char* subject;
    const char* expected;
  };
  const Case cases[] = {
      {"Hi\r\nBcc: victim@test.invalid", "Hi  Bcc: victim@test.invalid"},
      {"Hi\nX-Evil: 1", "Hi X-Evil: 1"},
      {"tab\there\x7f", "tab here "},
  };
  for (const Case& c : cases) {
    LocalSmtpServer server(kUser, kPassword);
    MailMessage message = Message(c.subject);
    message.fromName = "Support\r\nX-Injected: yes";
    message.replyTo = "report@test.invalid\r\nCc: other@test.invalid";
    const SmtpResult result = SendMail(AccountFor(server.port()), message);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(server.messages().size(), 1u);
    const Received mail = Split(server.messages()[0]);
    EXPECT_EQ(HeadersNamed(mail, "Subject"), std::vector<std::string>{c.expected}) << c.subject;
    EXPECT_TRUE(HeadersNamed(mail, "Bcc").empty());
    EXPECT_TRUE(HeadersNamed(mail, "X-Evil").empty());
    EXPECT_TRUE(HeadersNamed(mail, "X-Injected").empty());
    EXPECT_TRUE(HeadersNamed(mail, "Cc").empty());
    EXPECT_EQ(mail.headers.size(), 8u) << server.messages()[0];
  }
}

TEST(SmtpSend, BodyLinesArriveIntactWithCrLf) {
  LocalSmtpServer server(kUser, kPassword);
  const SmtpResult result =
      SendMail(AccountFor(server.port()), Message("s", "first\n.\n..two\r\nlast"));
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(server.messages().size(), 1u);
  EXPECT_EQ(Split(server.messages()[0]).body, "first\r\n.\r\n..two\r\nlast\r\n");
}

TEST(SmtpSend, TextBeyondAsciiIsEncodedAndDecodesBack) {
  LocalSmtpServer server(kUser, kPassword);
  const std::string subject = "Fehler: Größe \xE2\x82\xAC  User Name:j\xC3\xBCrgen@test.invalid";
  const std::string body = "Gr\xC3\xBC\xC3\x9F" "e\n.\n" + std::string(2000, 'x');
  const SmtpResult result = SendMail(AccountFor(server.port()), Message(subject, body));
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(server.messages().size(), 1u);
  const Received mail = Split(server.messages()[0]);
  const auto subjects = HeadersNamed(mail, "Subject");
  ASSERT_EQ(subjects.size(), 1u);
  EXPECT_EQ(DecodeWords(subjects[0]), subject);
  EXPECT_EQ(HeadersNamed(mail, "Content-Transfer-Encoding"), std::vector<std::string>{"base64"});
  EXPECT_EQ(DecodeBase64(mail.body), "Gr\xC3\xBC\xC3\x9F" "e\r\n.\r\n" + std::string(2000, 'x'));
  for (const std::string& line : mail.headers) EXPECT_LE(line.size(), 998u);
}

TEST(SmtpSend, FailuresSayWhetherAConnectionWasMade) {
  {
    const RefusingPort refused;
    const SmtpResult result = SendMail(AccountFor(refused.port()), Message("s"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.connected);
    EXPECT_FALSE(result.error.empty());
  }
  for (const auto mode : {LocalSmtpServer::Mode::RefuseLogin, LocalSmtpServer::Mode::CloseDuringData}) {
    LocalSmtpServer server(kUser, kPassword, mode);
    const SmtpResult result = SendMail(AccountFor(server.port()), Message("s", "a\nb\nc"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.connected);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(server.messages().empty());
  }
  {
    LocalSmtpServer server(kUser, "another password");
    const SmtpResult result = SendMail(AccountFor(server.port()), Message("s"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(server.messages().empty());
  }
}

TEST(SmtpSend, SilentServerEndsAtTheTimeout) {
  LocalSmtpServer server(kUser, kPassword, LocalSmtpServer::Mode::Silent);
  SmtpTimeouts timeouts;
  timeouts.connectMs = 300;
  timeouts.silenceMs = 300;
  int waits = 0;
  const auto start = std::chrono::steady_clock::now();
  const SmtpResult result =
      SendMail(AccountFor(server.port()), Message("s"), timeouts, [&waits] { ++waits; });
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "no answer from the mail server for 300 ms");
  EXPECT_GE(took, std::chrono::milliseconds(300));
  // Not a second more: curl waiting (whole seconds) for an answer the
  // server never gives.
  EXPECT_LT(took, std::chrono::milliseconds(1250));
  EXPECT_GT(waits, 2);
}

TEST(SmtpSend, MailServerText) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    unsigned port;
  };
  const Case cases[] = {
      {"smtp.test.invalid", true, "smtp.test.invalid", 25},
      {"smtp.test.invalid:587", true, "smtp.test.invalid", 587},
      {"127.0.0.1:2525", true, "127.0.0.1", 2525},
      {"", false, "", 0},
      {":25", false, "", 0},
      {"host:", false, "", 0},
      {"host:0", false, "", 0},
      {"host:70000", false, "", 0},
      {"host:25x", false, "", 0},
      {"smtp://host", false, "", 0},
  };
  for (const Case& c : cases) {
    std::string host;
    unsigned port = 0;
    EXPECT_EQ(ParseMailServer(c.text, host, port), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(host, c.host);
      EXPECT_EQ(port, c.port);
    }
  }
}
