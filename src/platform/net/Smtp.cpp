#include "platform/net/Smtp.h"

#include <curl/curl.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/net/CurlTransfer.h"

namespace win {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxPlainLine = 998;      // longest line SMTP carries
constexpr std::size_t kEncodedChunk = 45;       // bytes per encoded word (60 base64 characters)
constexpr std::size_t kBase64LineBytes = 57;    // 76 characters per body line
constexpr unsigned kBackupLimitMs = 1000;       // curl's own limits, after ours

struct EasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::string Base64(const std::string& bytes) {
  static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned n = static_cast<unsigned char>(bytes[i]) << 16 |
                       (i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0u) |
                       (i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0u);
    text += digits[n >> 18 & 63];
    text += digits[n >> 12 & 63];
    text += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
    text += i + 2 < bytes.size() ? digits[n & 63] : '=';
  }
  return text;
}

bool IsAscii(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Control characters (CR and LF among them) become blanks.
std::string HeaderSafe(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return text;
}

// Length of the UTF-8 sequence starting with this byte (1 for a stray byte).
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

// A header field's text: as it is when it is short ASCII, else encoded words
// of whole characters, one per folded line.
std::string EncodedHeaderText(const std::string& text, std::size_t nameLength) {
  if (IsAscii(text) && nameLength + text.size() <= 76) return text;
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size()) {
      const std::size_t next = end + SequenceLength(static_cast<unsigned char>(text[end]));
      if (next - pos > kEncodedChunk && end > pos) break;
      end = std::min(next, text.size());
    }
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(text.substr(pos, end - pos)) + "?=";
    pos = end;
  }
  return out;
}

// A display name as a quoted string (or encoded words beyond ASCII).
std::string DisplayName(const std::string& name) {
  if (!IsAscii(name)) return EncodedHeaderText(name, 80);
  std::string quoted = "\"";
  for (const char c : name) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// An address as it stands in a header and in the envelope: no control
// characters, no blanks or angle brackets around it.
std::string Address(const std::string& address) {
  std::string text = HeaderSafe(address);
  std::string out;
  for (const char c : text) {
    if (c != ' ' && c != '<' && c != '>') out += c;
  }
  return out;
}

// Lines of the body with CR LF ends; a lone CR or LF also ends a line.
std::vector<std::string> BodyLines(const std::string& body) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  lines.push_back(std::move(line));
  return lines;
}

std::string DateNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[64];
  std::strftime(text, sizeof(text), "%a, %d %b %Y %H:%M:%S +0000", &utc);
  return text;
}

// What the callbacks of one send share.
struct Exchange {
  std::string data;
  std::size_t sent = 0;
  Clock::time_point lastActivity;
  bool heardServer = false;
  std::chrono::milliseconds silenceLimit{DefaultSmtpTimeout};
  bool silent = false;  // ended for the silence limit
};

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  const std::size_t room = size * count;
  const std::size_t length = std::min(room, exchange.data.size() - exchange.sent);
  std::memcpy(buffer, exchange.data.data() + exchange.sent, length);
  exchange.sent += length;
  exchange.lastActivity = Clock::now();
  return length;
}

// Sees every exchange with the server (verbose mode), so that silence can be
// measured and a made connection known.
int OnDebug(CURL*, curl_infotype type, char*, size_t, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  if (type == CURLINFO_HEADER_IN || type == CURLINFO_DATA_IN) exchange.heardServer = true;
  if (type != CURLINFO_TEXT) exchange.lastActivity = Clock::now();
  return 0;
}

// Ends the exchange through curl once the server has been silent too long,
// so that curl treats it as failed and sends nothing more.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& exchange = *static_cast<Exchange*>(user);
  if (Clock::now() - exchange.lastActivity < exchange.silenceLimit) return 0;
  exchange.silent = true;
  return 1;
}

// "30 s", or "250 ms" below a second.
std::string DurationText(unsigned milliseconds) {
  if (milliseconds % 1000 == 0) return std::to_string(milliseconds / 1000) + " s";
  return std::to_string(milliseconds) + " ms";
}

size_t IgnoreBody(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

bool ParseMailServer(const std::string& text, std::string& host, unsigned& port) {
  const std::size_t colon = text.rfind(':');
  std::string name = text.substr(0, colon);
  unsigned number = DefaultSmtpPort;
  if (colon != std::string::npos) {
    const std::string digits = text.substr(colon + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || number == 0 ||
        number > 65535) {
      return false;
    }
  }
  if (name.empty() || name.find_first_of(" /@\t") != std::string::npos) return false;
  host = std::move(name);
  port = number;
  return true;
}

std::string FormatMailMessage(const MailMessage& message, const std::string& date) {
  const std::string from = Address(message.fromAddress);
  std::string text = "Date: " + HeaderSafe(date) + "\r\n";
  const std::string name = HeaderSafe(message.fromName);
  text += "From: " + (name.empty() ? from : DisplayName(name) + " <" + from + ">") + "\r\n";
  text += "To: " + Address(message.to) + "\r\n";
  if (!message.replyTo.empty()) text += "Reply-To: " + Address(message.replyTo) + "\r\n";
  text += "Subject: " + EncodedHeaderText(HeaderSafe(message.subject), 9) + "\r\n";
  text += "MIME-Version: 1.0\r\n";
  text += "Content-Type: text/plain; charset=utf-8\r\n";

  const std::vector<std::string> lines = BodyLines(message.body);
  bool plain = IsAscii(message.body);
  for (const std::string& line : lines) plain = plain && line.size() <= kMaxPlainLine;
  if (plain) {
    text += "Content-Transfer-Encoding: 7bit\r\n\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
  } else {
    text += "Content-Transfer-Encoding: base64\r\n\r\n";
    std::string crlf;
    for (std::size_t i = 0; i < lines.size(); ++i) crlf += (i ? "\r\n" : "") + lines[i];
    for (std::size_t i = 0; i < crlf.size(); i += kBase64LineBytes) {
      text += Base64(crlf.substr(i, kBase64LineBytes)) + "\r\n";
    }
  }
  return text;
}

SmtpResult SendMail(const SmtpAccount& account, const MailMessage& message,
                    const SmtpTimeouts& timeouts, const std::function<void()>& whileWaiting) {
  SmtpResult result;
  EnsureCurlInitialised();
  std::unique_ptr<CURL, EasyCleanup> easy(curl_easy_init());
  if (!easy) {
    result.error = "the mail library could not be initialised";
    return result;
  }
  const std::string host = HeaderSafe(account.host);
  if (host.empty() || host.find_first_of(" /@") != std::string::npos) {
    result.error = "no mail server is set";
    return result;
  }
  const std::string helo = account.heloName.empty() ? "localhost" : Address(account.heloName);
  const std::string url = "smtp://" + host + ":" + std::to_string(account.port) + "/" + helo;
  const std::string from = Address(message.fromAddress);
  const std::string to = Address(message.to);
  std::unique_ptr<curl_slist, SlistCleanup> recipients(curl_slist_append(nullptr, to.c_str()));
  if (!recipients) {
    result.error = "out of memory";
    return result;
  }

  Exchange exchange;
  exchange.data = FormatMailMessage(message, DateNow());
  std::array<char, CURL_ERROR_SIZE> errorBuffer{};
  CURL* handle = easy.get();
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_PROXY, "");
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
  curl_easy_setopt(handle, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
  curl_easy_setopt(handle, CURLOPT_USERNAME, account.user.c_str());
  curl_easy_setopt(handle, CURLOPT_PASSWORD, account.password.c_str());
  curl_easy_setopt(handle, CURLOPT_MAIL_FROM, ("<" + from + ">").c_str());
  curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(exchange.data.size()));
  curl_easy_setopt(handle, CURLOPT_READFUNCTION, OnRead);
  curl_easy_setopt(handle, CURLOPT_READDATA, &exchange);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, IgnoreBody);
  curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, OnDebug);
  curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &exchange);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer.data());

  // The progress callback ends the exchange after idle milliseconds without
  // a word from the server, connecting included. curl's own limits and the
  // transfer loop's come a while later and only back it up: curl may end
  // the exchange a moment before the limit, and a transfer taken away from
  // curl still ends its message and waits for the answer.
  const unsigned idle = std::max(timeouts.silenceMs, timeouts.connectMs);
  exchange.silenceLimit = std::chrono::milliseconds(idle);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &exchange);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connectMs + kBackupLimitMs));
  curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                   static_cast<long>((idle + kBackupLimitMs + 999) / 1000));
  const CurlOutcome outcome =
      PerformTransfer(handle, exchange.lastActivity, idle + kBackupLimitMs, whileWaiting);
  curl_off_t connectTime = 0;
  curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectTime);
  result.connected = exchange.heardServer || connectTime > 0;
  if (exchange.silent || outcome.timedOut || outcome.code == CURLE_OPERATION_TIMEDOUT) {
    result.error = "no answer from the mail server for " + DurationText(idle);
  } else if (outcome.code != CURLE_OK) {
    result.error = errorBuffer[0] != '\0' ? errorBuffer.data() : curl_easy_strerror(outcome.code);
  } else {
    result.ok = true;
  }
  return result;
}

}  // namespace win
