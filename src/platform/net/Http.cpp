#include "platform/net/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/files/FileSystem.h"
#include "platform/net/CurlTransfer.h"
#include "platform/text/TextCodec.h"

namespace win {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* IndyUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
constexpr const char* ContentTypeHeader = "Content-Type: text/html";
constexpr const char* AcceptHeader = "Accept: text/html, */*";

struct EasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;
using HeaderList = std::unique_ptr<curl_slist, SlistCleanup>;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// White space as the C locale's isspace knows it.
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

// What the callbacks of one request share.
struct Exchange {
  std::vector<std::uint8_t>* body = nullptr;  // null: stop at the first body byte
  Clock::time_point lastData;
  std::string lastModified;
  bool stoppedAtBody = false;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  const size_t length = size * count;
  exchange.lastData = Clock::now();
  const std::string line = Trim(std::string_view(data, length), kWhiteSpace);
  if (line.substr(0, 5) == "HTTP/") {
    exchange.lastModified.clear();  // a new answer (after 100 Continue and the like)
  } else if (const auto colon = line.find(':'); colon != std::string::npos &&
             EqualsNoCase(Trim(std::string_view(line).substr(0, colon), kWhiteSpace), "Last-Modified")) {
    exchange.lastModified = Trim(std::string_view(line).substr(colon + 1), kWhiteSpace);
  }
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  const size_t length = size * count;
  exchange.lastData = Clock::now();
  if (exchange.body == nullptr) {
    exchange.stoppedAtBody = true;
    return 0;  // ends the transfer: only the headers were wanted
  }
  exchange.body->insert(exchange.body->end(), data, data + length);
  return length;
}

// Options every request of this program sets.
void SetCommonOptions(CURL* easy, char* errorBuffer) {
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");  // no proxy, not even from the environment
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
}

// Runs the request on easy (URL and options already set) and judges it. A
// transfer stopped on purpose at the first body byte counts as complete.
HttpResult RunRequest(CURL* easy, char* errorBuffer, Exchange& exchange, unsigned timeout) {
  HttpResult result;
  errorBuffer[0] = '\0';
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &exchange);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &exchange);
  const CurlOutcome outcome = PerformTransfer(easy, exchange.lastData, timeout);
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
  if (outcome.timedOut) {
    result.error = "no data from the server for " + std::to_string(timeout) + " ms";
  } else if (outcome.code != CURLE_OK &&
             !(outcome.code == CURLE_WRITE_ERROR && exchange.stoppedAtBody)) {
    result.error = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(outcome.code);
  } else if (result.status != 200) {
    result.error = "HTTP status " + std::to_string(result.status);
  } else {
    result.ok = true;
  }
  return result;
}

HttpResult InitFailure() {
  HttpResult result;
  result.error = "the HTTP library could not be initialised";
  return result;
}

}  // namespace

struct HttpClient::Session {
  EasyHandle easy;
  HeaderList headers;
  std::array<char, CURL_ERROR_SIZE> errorBuffer{};
};

HttpClient::HttpClient() : session_(std::make_unique<Session>()) {
  EnsureCurlInitialised();
  session_->easy.reset(curl_easy_init());
  if (!session_->easy) return;
  session_->headers.reset(curl_slist_append(nullptr, ContentTypeHeader));
  if (session_->headers && curl_slist_append(session_->headers.get(), AcceptHeader) == nullptr) {
    session_->headers.reset();
  }
  if (!session_->headers) {
    session_->easy.reset();
    return;
  }
  CURL* easy = session_->easy.get();
  SetCommonOptions(easy, session_->errorBuffer.data());
  curl_easy_setopt(easy, CURLOPT_USERAGENT, IndyUserAgent);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, session_->headers.get());
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // cookies on, kept in memory
}

HttpClient::~HttpClient() = default;

HttpResult HttpClient::Get(const std::string& url, std::vector<std::uint8_t>& body) {
  body.clear();
  if (!session_->easy) return InitFailure();
  CURL* easy = session_->easy.get();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  std::vector<std::uint8_t> received;
  Exchange exchange;
  exchange.body = &received;
  HttpResult result = RunRequest(easy, session_->errorBuffer.data(), exchange, readTimeout_);
  if (result.ok) body = std::move(received);
  return result;
}

HttpResult HttpClient::GetToFile(const std::string& url, const std::string& fileName) {
  std::vector<std::uint8_t> body;
  HttpResult result = Get(url, body);
  if (result.ok && !WriteFileBytes(fileName, body)) {
    result.ok = false;
    result.error = "cannot write " + fileName + " (error " + std::to_string(GetLastError()) + ")";
  }
  return result;
}

HttpResult QueryLastModified(const std::string& url, const std::string& agent,
                             FileTime& lastModified, unsigned readTimeout) {
  EnsureCurlInitialised();
  EasyHandle easy(curl_easy_init());
  if (!easy) return InitFailure();
  std::array<char, CURL_ERROR_SIZE> errorBuffer{};
  SetCommonOptions(easy.get(), errorBuffer.data());
  curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, agent.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
  Exchange exchange;
  HttpResult result = RunRequest(easy.get(), errorBuffer.data(), exchange, readTimeout);
  if (!result.ok) return result;
  if (exchange.lastModified.empty()) {
    result.ok = false;
    result.error = "the answer has no Last-Modified header";
  } else if (!ParseHttpDate(exchange.lastModified, lastModified)) {
    result.ok = false;
    result.error = "Last-Modified is not an HTTP date: " + exchange.lastModified;
  }
  return result;
}

// ---- HTTP dates ----

namespace {

constexpr std::array<const char*, 7> ShortDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> LongDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                 "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> Months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct DateParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int zoneMinutes = 0;  // offset east of UTC
};

std::vector<std::string_view> SplitBlanks(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) parts.push_back(text.substr(start, i - start));
  }
  return parts;
}

template <size_t N>
bool IsOneOf(std::string_view word, const std::array<const char*, N>& names) {
  return std::any_of(names.begin(), names.end(),
                     [&](const char* name) { return EqualsNoCase(word, name); });
}

std::optional<int> Number(std::string_view digits, size_t minLength, size_t maxLength) {
  if (digits.size() < minLength || digits.size() > maxLength) return std::nullopt;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool ParseMonth(std::string_view word, DateParts& parts) {
  for (size_t i = 0; i < Months.size(); ++i) {
    if (EqualsNoCase(word, Months[i])) {
      parts.month = static_cast<int>(i) + 1;
      return true;
    }
  }
  return false;
}

bool ParseClock(std::string_view text, DateParts& parts) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
  const auto hour = Number(text.substr(0, 2), 2, 2);
  const auto minute = Number(text.substr(3, 2), 2, 2);
  const auto second = Number(text.substr(6, 2), 2, 2);
  if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 60) return false;
  parts.hour = *hour;
  parts.minute = *minute;
  parts.second = *second;
  return true;
}

bool ParseZone(std::string_view zone, DateParts& parts) {
  struct Named {
    const char* name;
    int hours;
  };
  static constexpr std::array<Named, 12> names = {{{"GMT", 0}, {"UT", 0}, {"UTC", 0}, {"Z", 0},
                                                   {"EST", -5}, {"EDT", -4}, {"CST", -6},
                                                   {"CDT", -5}, {"MST", -7}, {"MDT", -6},
                                                   {"PST", -8}, {"PDT", -7}}};
  for (const Named& named : names) {
    if (EqualsNoCase(zone, named.name)) {
      parts.zoneMinutes = named.hours * 60;
      return true;
    }
  }
  if (zone.size() != 5 || (zone[0] != '+' && zone[0] != '-')) return false;
  const auto hours = Number(zone.substr(1, 2), 2, 2);
  const auto minutes = Number(zone.substr(3, 2), 2, 2);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return false;
  parts.zoneMinutes = (zone[0] == '-' ? -1 : 1) * (*hours * 60 + *minutes);
  return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[static_cast<size_t>(month - 1)];
}

// Days from 1601-01-01 to the given date (proleptic Gregorian calendar).
std::int64_t DaysSince1601(int year, int month, int day) {
  const std::int64_t y = year - 1601;
  std::int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

bool ToFileTime(const DateParts& parts, FileTime& utc) {
  if (parts.year < 1601 || parts.year > 30827 || parts.day < 1 ||
      parts.day > DaysInMonth(parts.year, parts.month)) {
    return false;
  }
  std::int64_t seconds = DaysSince1601(parts.year, parts.month, parts.day) * 86400 +
                         parts.hour * 3600 + parts.minute * 60 + parts.second -
                         static_cast<std::int64_t>(parts.zoneMinutes) * 60;
  if (seconds < 0) return false;
  utc = static_cast<FileTime>(seconds) * 10000000u;
  return true;
}

// Day, month name and year: four digits, or two ("94") in RFC 850 dates.
bool ParseDayMonthYear(std::string_view day, std::string_view month, std::string_view year,
                       bool twoDigitYear, DateParts& parts) {
  const size_t yearDigits = twoDigitYear ? 2 : 4;
  const auto dayNumber = Number(day, 1, 2);
  const auto yearNumber = Number(year, yearDigits, yearDigits);
  if (!dayNumber || !yearNumber || !ParseMonth(month, parts)) return false;
  parts.day = *dayNumber;
  parts.year = *yearNumber;
  if (twoDigitYear) parts.year += parts.year < 70 ? 2000 : 1900;
  return true;
}

// "06 Nov 1994 08:49:37 GMT"
bool ParseRfc1123(const std::vector<std::string_view>& words, DateParts& parts) {
  return words.size() == 5 && ParseDayMonthYear(words[0], words[1], words[2], false, parts) &&
         ParseClock(words[3], parts) && ParseZone(words[4], parts);
}

// "06-Nov-94 08:49:37 GMT"
bool ParseRfc850(const std::vector<std::string_view>& words, DateParts& parts) {
  if (words.size() != 3) return false;
  const std::string_view date = words[0];
  const size_t first = date.find('-');
  if (first == std::string_view::npos) return false;
  const size_t second = date.find('-', first + 1);
  if (second == std::string_view::npos) return false;
  const std::string_view year = date.substr(second + 1);
  return ParseDayMonthYear(date.substr(0, first), date.substr(first + 1, second - first - 1), year,
                           year.size() == 2, parts) &&
         ParseClock(words[1], parts) && ParseZone(words[2], parts);
}

// "Nov 6 08:49:37 1994", after the day name
bool ParseAsctime(const std::vector<std::string_view>& words, DateParts& parts) {
  return words.size() == 4 && ParseDayMonthYear(words[1], words[0], words[3], false, parts) &&
         ParseClock(words[2], parts);
}

}  // namespace

bool ParseHttpDate(const std::string& text, FileTime& utc) {
  const std::string trimmed = Trim(text, kWhiteSpace);
  std::vector<std::string_view> words = SplitBlanks(trimmed);
  if (words.empty()) return false;
  std::string_view dayName = words.front();
  words.erase(words.begin());
  DateParts parts;
  bool parsed = false;
  if (!dayName.empty() && dayName.back() == ',') {
    dayName.remove_suffix(1);
    if (IsOneOf(dayName, ShortDays)) {
      parsed = ParseRfc1123(words, parts);
    } else if (IsOneOf(dayName, LongDays)) {
      parsed = ParseRfc850(words, parts);
    }
  } else if (IsOneOf(dayName, ShortDays)) {
    parsed = ParseAsctime(words, parts);
  }
  return parsed && ToFileTime(parts, utc);
}

}  // namespace win
