#pragma once
// HTTP GET of one URL into memory or into a file of the machine, the
// Last-Modified date of a URL, and HTTP date parsing. Failures are results
// with a text saying what went wrong; nothing throws.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

// Longest wait for data, in milliseconds, before a request gives up.
constexpr unsigned DefaultHttpReadTimeout = 5000;

struct HttpResult {
  bool ok = false;     // a complete answer with status 200
  long status = 0;     // the answer's status; 0 when none came
  std::string error;   // empty on success
};

// A client with fixed request headers: "Content-Type: text/html",
// "Accept: text/html, */*" and the user agent
// "Mozilla/3.0 (compatible; Indy Library)"; no proxy, no authentication,
// no redirects followed, cookies kept for the client's lifetime.
class HttpClient {
 public:
  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Time without any data (connecting included) after which a request fails.
  unsigned ReadTimeout() const { return readTimeout_; }
  void SetReadTimeout(unsigned milliseconds) { readTimeout_ = milliseconds; }

  // body holds the answer's body when the result is ok, else it is emptied.
  HttpResult Get(const std::string& url, std::vector<std::uint8_t>& body);
  // Replaces fileName (a path on the machine) with the body only after a
  // complete 200 answer; on any failure an earlier file stays as it was.
  HttpResult GetToFile(const std::string& url, const std::string& fileName);

 private:
  struct Session;
  std::unique_ptr<Session> session_;
  unsigned readTimeout_ = DefaultHttpReadTimeout;
};

// Requests url with GET, sending agent as the user agent, and reads the answer
// up to the end of its headers. Succeeds with the Last-Modified date (UTC)
// only for a 200 answer whose Last-Modified header parses.
HttpResult QueryLastModified(const std::string& url, const std::string& agent,
                             FileTime& lastModified,
                             unsigned readTimeout = DefaultHttpReadTimeout);

// Parses an HTTP date in RFC 1123 ("Sun, 06 Nov 1994 08:49:37 GMT"),
// RFC 850 ("Sunday, 06-Nov-94 08:49:37 GMT") or asctime
// ("Sun Nov  6 08:49:37 1994") form. The zone may be GMT, UT, UTC, Z, a
// North American zone name (EST ... PDT) or a numeric offset ("+0100");
// asctime dates are GMT. False for anything else.
bool ParseHttpDate(const std::string& text, FileTime& utc);

}  // namespace win
