#include "shell/gui/EMailForm.h"

#include <gtest/gtest.h>

#include "GuiTestApp.h"
#include "LocalSmtpServer.h"
#include "TestMachine.h"
#include "shell/Dialogs.h"

TEST(SupportForm, SendsTheTypedFieldsAndStaysOpen) {
  GuiApp();
  LocalSmtpServer server("support@test.invalid", "pw");
  TestMachine machine("", "",
                      TestMachine::DefaultConfigText() + "[Servers]\r\nMail=127.0.0.1:" +
                          std::to_string(server.port()) +
                          "\r\n[Mail]\r\nSupport=support@test.invalid\r\nReport=report@test.invalid\r\n"
                          "Password=pw\r\n");
  ScriptedDialogs dialogs;
  TEMailForm form;
  EXPECT_EQ(form.windowTitle(), "Support");
  EXPECT_EQ(form.size(), QSize(550, 380));
  form.show();
  form.TxtSendFile->setText(QStringLiteral("me@test.invalid"));
  form.TxtSubject->setText(QStringLiteral("Crash"));
  form.MemoText->setPlainText(QStringLiteral("line one\n.\nline three"));
  form.btnSend->click();
  ASSERT_EQ(server.messages().size(), 1u);
  const std::string mail = server.messages()[0];
  EXPECT_NE(mail.find("\r\nSubject: Crash  User Name:me@test.invalid\r\n"), std::string::npos) << mail;
  EXPECT_NE(mail.find("\r\n\r\nline one\r\n.\r\nline three\r\n"), std::string::npos) << mail;
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "end of the mail");
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.btnSend->isEnabled());
  form.btnClose->click();
  EXPECT_FALSE(form.isVisible());
}
