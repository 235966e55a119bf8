#include "platform/net/Http.h"

#include <gtest/gtest.h>

#include <chrono>

#include "LocalHttpServer.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"

namespace {

using Clock = std::chrono::steady_clock;
using Response = LocalHttpServer::Response;

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string FileText(const std::string& path) {
  std::vector<std::uint8_t> data;
  EXPECT_TRUE(win::ReadFileBytes(path, data)) << path;
  return {data.begin(), data.end()};
}

long long ElapsedMs(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

win::FileTime FromUnixSeconds(std::int64_t seconds) {
  return static_cast<win::FileTime>(seconds + 11644473600LL) * 10000000u;
}

// 1994-11-06 08:49:37 UTC
constexpr std::int64_t Nov6th1994 = 784111777;

// Headers that promise a 100-byte body.
const std::string PartialHead = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n";

struct NamedResponse {
  const char* what;
  Response response;
};

Response Stalled(const std::string& head, const std::string& part, unsigned holdMs) {
  Response response;
  response.raw = head + part;
  response.holdMs = holdMs;
  return response;
}

TEST(HttpClient, SendsExactlyTheRequestHeadersOfTheProgram) {
  LocalHttpServer server({{"/update/Update.ini", LocalHttpServer::Answer(200, "[Version]\r\nVer=4.1\r\n")}});
  ASSERT_TRUE(server.listening());
  win::HttpClient client;
  std::vector<std::uint8_t> body;
  const win::HttpResult result = client.Get(server.url("/update/Update.ini"), body);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(200, result.status);
  EXPECT_EQ(Bytes("[Version]\r\nVer=4.1\r\n"), body);

  const auto requests = server.requests();
  ASSERT_EQ(1u, requests.size());
  const std::string& request = requests[0];
  EXPECT_EQ(0u, request.find("GET /update/Update.ini HTTP/1.1\r\n")) << request;
  EXPECT_NE(std::string::npos, request.find("\r\nContent-Type: text/html\r\n")) << request;
  EXPECT_NE(std::string::npos, request.find("\r\nAccept: text/html, */*\r\n")) << request;
  EXPECT_NE(std::string::npos,
            request.find("\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n")) << request;
  EXPECT_EQ("", LocalHttpServer::HeaderValue(request, "Content-Length"));
  EXPECT_EQ("", LocalHttpServer::HeaderValue(request, "Range"));
  EXPECT_EQ("", LocalHttpServer::HeaderValue(request, "Authorization"));
  EXPECT_EQ("", LocalHttpServer::HeaderValue(request, "Proxy-Connection"));
}

TEST(HttpClient, ReadTimeoutIsFiveSecondsByDefault) {
  EXPECT_EQ(5000u, win::HttpClient().ReadTimeout());
  EXPECT_EQ(5000u, win::DefaultHttpReadTimeout);
}

TEST(HttpClient, GivesUpWhenNoDataComesWithinTheReadTimeout) {
  Response silent = LocalHttpServer::Answer(200, "late");
  silent.delayMs = 2000;
  const NamedResponse cases[] = {
      {"no answer at all", silent},
      {"a body that stops half way", Stalled(PartialHead, "0123456789", 2000)},
  };
  for (const NamedResponse& c : cases) {
    SCOPED_TRACE(c.what);
    LocalHttpServer server([&](const std::string&) { return c.response; });
    win::HttpClient client;
    client.SetReadTimeout(200);
    std::vector<std::uint8_t> body = Bytes("old");
    const auto start = Clock::now();
    const win::HttpResult result = client.Get(server.url("/slow"), body);
    EXPECT_FALSE(result.ok);
    EXPECT_NE("", result.error);
    EXPECT_TRUE(body.empty());
    EXPECT_GE(ElapsedMs(start), 180);
    EXPECT_LT(ElapsedMs(start), 1500);
  }
}

TEST(HttpClient, ASlowButSteadyAnswerIsNotCutOff) {
  Response response;
  response.raw = "HTTP/1.1 200 OK\r\nContent-Length: 16\r\nConnection: close\r\n\r\nabcd";
  response.later = {"efgh", "ijkl", "mnop"};
  response.gapMs = 150;
  LocalHttpServer server([&](const std::string&) { return response; });
  win::HttpClient client;
  client.SetReadTimeout(350);  // shorter than the whole answer takes
  std::vector<std::uint8_t> body;
  const win::HttpResult result = client.Get(server.url("/steady"), body);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(Bytes("abcdefghijklmnop"), body);
}

TEST(HttpClient, AnythingButTwoHundredIsAFailure) {
  for (int status : {404, 500, 302, 304}) {
    SCOPED_TRACE(status);
    LocalHttpServer server([&](const std::string&) {
      return LocalHttpServer::Answer(status, "not the file", {"Location: /elsewhere"});
    });
    win::HttpClient client;
    std::vector<std::uint8_t> body;
    const win::HttpResult result = client.Get(server.url("/update/Update.ini"), body);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(status, result.status);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(1u, server.requests().size());  // redirects are not followed
  }
}

TEST(HttpClient, NoServerIsAFailureWithAText) {
  const RefusingPort refusing;
  const std::string url = refusing.url("/update/Update.ini");
  win::HttpClient client;
  std::vector<std::uint8_t> body;
  const win::HttpResult result = client.Get(url, body);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(0, result.status);
  EXPECT_NE("", result.error);

  EXPECT_FALSE(client.Get("file:///etc/hostname", body).ok);
  EXPECT_FALSE(client.Get("", body).ok);
}

class HttpDownload : public ::testing::Test {
 protected:
  TestMachine machine_{"", "C:\\Program Files\\Fernwick\\Update.ini | text=[Version]\\r\\nVer=3.9 old and long\\r\\n"};
  const std::string target_ = "C:\\Program Files\\Fernwick\\Update.ini";
  const std::string oldText_ = "[Version]\r\nVer=3.9 old and long\r\n";
};

TEST_F(HttpDownload, AShorterBodyReplacesALongerOldFileExactly) {
  LocalHttpServer server({{"/u", LocalHttpServer::Answer(200, "[Version]\r\nVer=4.1")}});
  win::HttpClient client;
  const win::HttpResult result = client.GetToFile(server.url("/u"), target_);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ("[Version]\r\nVer=4.1", FileText(target_));
}

TEST_F(HttpDownload, AnEmptyBodyGivesAnEmptyFile) {
  LocalHttpServer server({{"/u", LocalHttpServer::Answer(200, "")}});
  win::HttpClient client;
  ASSERT_TRUE(client.GetToFile(server.url("/u"), target_).ok);
  EXPECT_EQ("", FileText(target_));
}

TEST_F(HttpDownload, AFailedDownloadLeavesTheOldFileUntouched) {
  const NamedResponse cases[] = {
      {"404", LocalHttpServer::Answer(404, "<html>missing</html>")},
      {"body shorter than its Content-Length", Stalled(PartialHead, "[Version]\r\nVer=9", 0)},
      {"body that stalls", Stalled(PartialHead, "[Version]\r\nVer=9", 2000)},
  };
  for (const NamedResponse& c : cases) {
    SCOPED_TRACE(c.what);
    LocalHttpServer server([&](const std::string&) { return c.response; });
    win::HttpClient client;
    client.SetReadTimeout(200);
    EXPECT_FALSE(client.GetToFile(server.url("/u"), target_).ok);
    EXPECT_EQ(oldText_, FileText(target_));
  }
}

TEST_F(HttpDownload, CreatesAMissingFileAndFailsForAFolderThatIsNotThere) {
  LocalHttpServer server({{"/u", LocalHttpServer::Answer(200, "list")}});
  win::HttpClient client;
  const std::string fresh = "C:\\Program Files\\Fernwick\\errorlist.txt";
  ASSERT_TRUE(client.GetToFile(server.url("/u"), fresh).ok);
  EXPECT_EQ("list", FileText(fresh));

  const win::HttpResult result = client.GetToFile(server.url("/u"), "C:\\No Such Folder\\x.txt");
  EXPECT_FALSE(result.ok);
  EXPECT_NE("", result.error);
  EXPECT_FALSE(win::FileExists("C:\\No Such Folder\\x.txt"));
}

TEST(HttpLastModified, ReadsTheDateOfATwoHundredAnswerOnly) {
  const std::string date = "Sun, 06 Nov 1994 08:49:37 GMT";
  struct Case {
    const char* what;
    Response response;
    bool ok;
  };
  const Case cases[] = {
      {"200 with a date", LocalHttpServer::Answer(200, "MZ", {"Last-Modified: " + date}), true},
      {"lower-case header name", LocalHttpServer::Answer(200, "", {"last-modified:" + date}), true},
      {"404 with a date", LocalHttpServer::Answer(404, "", {"Last-Modified: " + date}), false},
      {"200 without a date", LocalHttpServer::Answer(200, "MZ"), false},
      {"200 with garbage", LocalHttpServer::Answer(200, "MZ", {"Last-Modified: yesterday"}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LocalHttpServer server([&](const std::string&) { return c.response; });
    win::FileTime time = 0;
    const win::HttpResult result =
        win::QueryLastModified(server.url("/update/Fernwick.exe"), "Fernwick", time);
    EXPECT_EQ(c.ok, result.ok) << result.error;
    if (c.ok) {
      EXPECT_EQ(FromUnixSeconds(Nov6th1994), time);
    } else {
      EXPECT_NE("", result.error);
    }
  }
}

TEST(HttpLastModified, SendsTheGivenAgentAndStopsAfterTheHeaders) {
  Response response = Stalled(
      "HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\nLast-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\n",
      "MZ", 3000);
  LocalHttpServer server([&](const std::string&) { return response; });
  win::FileTime time = 0;
  const auto start = Clock::now();
  const win::HttpResult result =
      win::QueryLastModified(server.url("/update/Fernwick.exe"), "Fernwick", time, 1000);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_LT(ElapsedMs(start), 900);
  ASSERT_EQ(1u, server.requests().size());
  EXPECT_EQ(0u, server.requests()[0].find("GET /update/Fernwick.exe HTTP/1.1\r\n"));
  EXPECT_EQ("Fernwick", LocalHttpServer::HeaderValue(server.requests()[0], "User-Agent"));
}

TEST(HttpLastModified, FailsWithoutAServerAndOnTimeOut) {
  Response silent = LocalHttpServer::Answer(200, "", {"Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT"});
  silent.delayMs = 2000;
  LocalHttpServer server([&](const std::string&) { return silent; });
  win::FileTime time = 0;
  EXPECT_FALSE(win::QueryLastModified(server.url("/f"), "Fernwick", time, 200).ok);
  EXPECT_FALSE(win::QueryLastModified("http://127.0.0.1:1/f", "Fernwick", time, 200).ok);
}

TEST(HttpDate, ParsesTheThreeFormsAndTheirZones) {
  struct Case {
    const char* text;
    std::int64_t unixSeconds;
  };
  const Case cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", Nov6th1994},
      {"Sunday, 06-Nov-94 08:49:37 GMT", Nov6th1994},
      {"Sun Nov  6 08:49:37 1994", Nov6th1994},
      {"Sun Nov 6 08:49:37 1994", Nov6th1994},
      {"  sun, 06 nov 1994 08:49:37 utc ", Nov6th1994},
      {"Sun, 06 Nov 1994 09:49:37 +0100", Nov6th1994},
      {"Sun, 06 Nov 1994 03:49:37 -0500", Nov6th1994},
      {"Sun, 06 Nov 1994 03:49:37 EST", Nov6th1994},
      {"Sun, 06 Nov 1994 01:49:37 PDT", Nov6th1994},
      {"Sun, 06 Nov 1994 14:19:37 +0530", Nov6th1994},
      {"Sat, 05 Nov 1994 23:49:37 -0900", Nov6th1994},
      {"Thursday, 01-Jan-70 00:00:00 GMT", 0},
      {"Saturday, 01-Jan-05 00:00:00 GMT", 1104537600},
      {"Thu, 29 Feb 1996 00:00:00 GMT", 825552000},
      {"Mon, 01 Jan 1601 00:00:00 GMT", -11644473600LL},
      {"Sun, 31 Dec 2000 23:59:59 GMT", 978307199},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    win::FileTime time = 0;
    ASSERT_TRUE(win::ParseHttpDate(c.text, time));
    EXPECT_EQ(FromUnixSeconds(c.unixSeconds), time);
  }
}

TEST(HttpDate, RejectsGarbage) {
  for (const char* text : {"", "yesterday", "0", "Sun, 06 Nov 1994", "Sun, 06 Nov 1994 08:49:37",
                           "Sun, 06 Nov 1994 08:49:37 XYZ", "Sun, 06 Nov 1994 08:49 GMT",
                           "Sun, 32 Nov 1994 08:49:37 GMT", "Sun, 31 Nov 1994 08:49:37 GMT",
                           "Wed, 29 Feb 1995 08:49:37 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
                           "Sun, 06 Nov 1994 08:60:37 GMT", "Sun, 06 Foo 1994 08:49:37 GMT",
                           "Xyz, 06 Nov 1994 08:49:37 GMT", "Sun 06 Nov 1994 08:49:37 GMT",
                           "Sun, 06 Nov 94 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37 +01",
                           "Sun, 06 Nov 1994 08:49:37 +0160", "Sunday, 06-Nov-994 08:49:37 GMT",
                           "Sunday, 06 Nov 1994 08:49:37 GMT", "Sun Nov  6 08:49:37 94",
                           "Sun, -6 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 1500 08:49:37 GMT",
                           "Sun, 06 Nov 1994 08:49:37 GMT trailing"}) {
    SCOPED_TRACE(text);
    win::FileTime time = 42;
    EXPECT_FALSE(win::ParseHttpDate(text, time));
  }
}

}  // namespace
