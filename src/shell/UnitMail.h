#pragma once
// The support mail without its window: the account comes from the machine's
// settings (machine.ini: [Servers] Mail=host[:port]; [Mail] Support, Report,
// Password), the message from the form's three fields.

#include <string>

#include "platform/net/Smtp.h"

extern const char* const kMailErrorPrefix;  // "ERROR: "
extern const char* const kMailEndMessage;   // "end of the mail"
extern const char* const kMailEndCaption;   // "Hint"

// The subject as sent: the typed subject, "  User Name:" and the typed e-mail.
std::string SupportMailSubject(const std::string& subject, const std::string& userEmail);

// Account and message of a support mail. False with a text saying what is
// missing when the machine has no usable mail settings.
bool BuildSupportMail(const std::string& userEmail, const std::string& subject,
                      const std::string& body, win::SmtpAccount& account,
                      win::MailMessage& message, std::string& error);

// "Send": sends the mail while window messages are let through (under the
// busy guard), shows "ERROR: " and the reason on a failure, and "end of the
// mail" whenever a connection was made. True when the server took the mail.
bool SendSupportMail(const std::string& userEmail, const std::string& subject,
                     const std::string& body, const win::SmtpTimeouts& timeouts = {});
