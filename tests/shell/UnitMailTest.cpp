#include "shell/UnitMail.h"

#include <gtest/gtest.h>

#include "LocalSmtpServer.h"
#include "ShellFixtures.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"

namespace {

constexpr const char* kSupport = "support@test.invalid";
constexpr const char* kPassword = "pw731958";

std::string MailConfig(const std::string& server) {
  return ConfigWith("", "",
                    "[Servers]\r\nMail=" + server +
                        "\r\n[Mail]\r\nSupport=" + kSupport +
                        "\r\nReport=report@test.invalid\r\nPassword=" + kPassword + "\r\n");
}

std::string Port(const LocalSmtpServer& server) {
  return "127.0.0.1:" + std::to_string(server.port());
}

std::vector<std::string> Texts(const ScriptedDialogs& dialogs) {
  std::vector<std::string> texts;
  for (const auto& message : dialogs.messages()) texts.push_back(message.caption + "|" + message.text);
  return texts;
}

}  // namespace

TEST(SupportMail, SendsWithTheMachinesAccountAndEndsWithTheHint) {
  LocalSmtpServer server(kSupport, kPassword);
  TestMachine machine("", "", MailConfig(Port(server)));
  ScriptedDialogs dialogs;
  bool busyWhileSending = false;
  SetProcessMessagesHook([&] { busyWhileSending = busyWhileSending || IsBusy(); });
  EXPECT_TRUE(SendSupportMail("", "", ""));
  SetProcessMessagesHook(nullptr);
  EXPECT_TRUE(busyWhileSending);
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(Texts(dialogs), std::vector<std::string>{"Hint|end of the mail"});
  ASSERT_EQ(server.messages().size(), 1u);
  const std::string mail = server.messages()[0];
  EXPECT_NE(mail.find("\r\nSubject:   User Name:\r\n"), std::string::npos) << mail;
  EXPECT_NE(mail.find("\r\nReply-To: report@test.invalid\r\n"), std::string::npos);
  const auto commands = server.commands();
  ASSERT_GE(commands.size(), 4u);
  EXPECT_EQ(commands[0], "EHLO TEST-PC");  // the machine's computer name
  EXPECT_EQ(commands[2], std::string("user:") + kSupport);
  EXPECT_EQ(commands[3], std::string("password:") + kPassword);
}

TEST(SupportMail, TypedEmailWithLineBreaksStaysInTheSubject) {
  LocalSmtpServer server(kSupport, kPassword);
  TestMachine machine("", "", MailConfig(Port(server)));
  ScriptedDialogs dialogs;
  EXPECT_TRUE(SendSupportMail("me@test.invalid\r\nBcc: x@test.invalid", "Crash\n", "1 MB\n" + std::string(1 << 20, 'm')));
  ASSERT_EQ(server.messages().size(), 1u);
  const std::string mail = server.messages()[0];
  EXPECT_NE(mail.find("\r\nSubject: Crash   User Name:me@test.invalid  Bcc: x@test.invalid\r\n"),
            std::string::npos);
  EXPECT_EQ(mail.find("\r\nBcc:"), std::string::npos);
}

TEST(SupportMail, FailuresShowTheErrorAndTheHintOnlyAfterAConnection) {
  ScriptedDialogs dialogs;
  {
    // Nothing listens on port 1.
    TestMachine machine("", "", MailConfig("127.0.0.1:1"));
    EXPECT_FALSE(SendSupportMail("a", "b", "c"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text.rfind("ERROR: ", 0), 0u);
    EXPECT_EQ(dialogs.messages()[0].flags, MB_OK);
  }
  dialogs.clear();
  {
    LocalSmtpServer server(kSupport, kPassword, LocalSmtpServer::Mode::RefuseLogin);
    TestMachine machine("", "", MailConfig(Port(server)));
    EXPECT_FALSE(SendSupportMail("a", "b", "c"));
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[0].text.rfind("ERROR: ", 0), 0u);
    EXPECT_EQ(dialogs.messages()[1].text, "end of the mail");
    EXPECT_EQ(dialogs.messages()[1].caption, "Hint");
  }
  dialogs.clear();
  {
    LocalSmtpServer server(kSupport, kPassword, LocalSmtpServer::Mode::Silent);
    TestMachine machine("", "", MailConfig(Port(server)));
    win::SmtpTimeouts timeouts{200, 200};
    EXPECT_FALSE(SendSupportMail("a", "b", "c", timeouts));
    ASSERT_FALSE(dialogs.messages().empty());
    EXPECT_EQ(dialogs.messages()[0].text, "ERROR: no answer from the mail server for 200 ms");
  }
}

TEST(SupportMail, MissingAccountSettingsAreAnErrorWithoutSending) {
  const std::string cases[] = {
      ConfigWith("", ""),
      ConfigWith("", "", "[Servers]\r\nMail=smtp.test.invalid:x\r\n[Mail]\r\nSupport=a@b\r\nReport=c@d\r\n"),
      ConfigWith("", "", "[Servers]\r\nMail=smtp.test.invalid\r\n[Mail]\r\nSupport=a@b\r\n"),
  };
  for (const std::string& config : cases) {
    TestMachine machine("", "", config);
    ScriptedDialogs dialogs;
    EXPECT_FALSE(SendSupportMail("a", "b", "c"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text.rfind("ERROR: ", 0), 0u) << dialogs.messages()[0].text;
  }
}
