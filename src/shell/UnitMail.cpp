#include "shell/UnitMail.h"

#include "platform/machine/Machine.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"

const char* const kMailErrorPrefix = "ERROR: ";
const char* const kMailEndMessage = "end of the mail";
const char* const kMailEndCaption = "Hint";

namespace {

constexpr const char* kCaption = "Fernwick";

}  // namespace

std::string SupportMailSubject(const std::string& subject, const std::string& userEmail) {
  return subject + "  User Name:" + userEmail;
}

bool BuildSupportMail(const std::string& userEmail, const std::string& subject,
                      const std::string& body, win::SmtpAccount& account,
                      win::MailMessage& message, std::string& error) {
  const win::Machine* machine = win::CurrentMachine();
  if (!machine) {
    error = "no machine is open";
    return false;
  }
  const win::MachineConfig& config = machine->Config();
  const std::string server = config.Server("Mail");
  if (!win::ParseMailServer(server, account.host, account.port)) {
    error = server.empty() ? "no mail server is set (machine.ini, [Servers] Mail)"
                           : "the mail server \"" + server + "\" is not host[:port]";
    return false;
  }
  const std::string support = config.MailSetting("Support");
  const std::string report = config.MailSetting("Report");
  if (support.empty() || report.empty()) {
    error = "the support mailboxes are not set (machine.ini, [Mail] Support and Report)";
    return false;
  }
  account.user = support;
  account.password = config.MailSetting("Password");
  account.heloName = config.computerName;
  message.fromAddress = support;
  message.fromName = support;
  message.to = report;
  message.replyTo = report;
  message.subject = SupportMailSubject(subject, userEmail);
  message.body = body;
  return true;
}

bool SendSupportMail(const std::string& userEmail, const std::string& subject,
                     const std::string& body, const win::SmtpTimeouts& timeouts) {
  win::SmtpAccount account;
  win::MailMessage message;
  win::SmtpResult result;
  if (!BuildSupportMail(userEmail, subject, body, account, message, result.error)) {
    CurrentDialogs().MessageBox(kMailErrorPrefix + result.error, kCaption, MB_OK);
    return false;
  }
  {
    BusyGuard busy;
    result = win::SendMail(account, message, timeouts, [] { ProcessMessages(); });
  }
  if (!result.ok) CurrentDialogs().MessageBox(kMailErrorPrefix + result.error, kCaption, MB_OK);
  if (result.connected) CurrentDialogs().MessageBox(kMailEndMessage, kMailEndCaption, MB_OK);
  return result.ok;
}
