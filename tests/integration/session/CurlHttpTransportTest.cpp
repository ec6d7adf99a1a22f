// The libcurl transport and the account client against servers in the test process.
#include "platform/curl/CurlHttpTransport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stop_token>

#include "CurlFixture.h"
#include "LocalServers.h"
#include "platform/curl/CurlResultMapping.h"
#include "session/DesktopDiagnostics.h"
#include "support/FakePreferences.h"

namespace orlith::testing {
namespace {

using namespace std::chrono_literals;

class CurlTransportTest : public CurlFixture {
 protected:
  void SetUp() override {
    auto& server = recording_;
    server.post("/api/auth/login", [](const httplib::Request&, httplib::Response& response) {
      response.headers.emplace("Set-Cookie", "orlith_session=s1; Path=/; HttpOnly");
      response.headers.emplace("Set-Cookie", "velmar_session=s2; Path=/");
      response.headers.emplace("Set-Cookie", "theme=dark; Path=/");
      response.set_content(R"({"requiresTwoFactor": false})", "application/json");
    });
    server.post("/api/auth/signup/verify-code", [](const auto&, httplib::Response& response) {
      // No Path: the cookie gets the default path of the request, "/api/auth/signup".
      response.headers.emplace("Set-Cookie", "orlith_session=deep");
      response.set_content("{}", "application/json");
    });
    server.post("/api/auth/forgot-password", [](const auto&, httplib::Response& response) {
      response.set_redirect("/elsewhere", 302);
    });
    server.post("/api/auth/signup/request-code", [](const auto&, httplib::Response& response) {
      response.status = 429;
      response.set_header("Retry-After", "120");
    });
    server.post("/api/desktop/events", [](const auto&, httplib::Response& response) {
      response.headers.emplace("Set-Cookie", "tracker=1; Path=/");
      response.set_redirect("/api/desktop/events-moved", 302);
    });
    server.post("/api/auth/native/consume",
                [](const httplib::Request& request, httplib::Response& response) {
                  response.headers.emplace("Set-Cookie", request.get_header_value("X-Set-Cookie"));
                  response.set_content("{}", "application/json");
                });
    server.post("/echo", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content(std::to_string(request.body.size()), "text/plain");
    });
    server.post("/api/desktop/events-moved", [](const auto&, httplib::Response&) {});
    server.get("/elsewhere", [](const auto&, httplib::Response& response) {
      response.set_content("followed", "text/plain");
    });
    recording_.start();
    client_ = clientFor(recording_.origin());
  }

  std::vector<RecordingServer::Received> receivedAt(const std::string& path) {
    std::vector<RecordingServer::Received> matching;
    for (auto& request : recording_.received()) {
      if (request.path == path)
        matching.push_back(request);
    }
    return matching;
  }

  RecordingServer recording_;
  std::unique_ptr<OrlithAuthClient> client_;
};

TEST_F(CurlTransportTest, TheNineIdentificationHeadersArrive) {
  run(client_->login("a@b.c", "pw"));
  auto received = receivedAt("/api/auth/login");
  ASSERT_EQ(received.size(), 1u);
  const auto& headers = received.front().headers;
  auto header = [&](const char* name) {
    auto found = headers.find(name);
    return found == headers.end() ? std::string("<missing>") : found->second;
  };
  EXPECT_EQ(header("Accept"), "application/json");
  EXPECT_EQ(header("Origin"), recording_.origin());
  EXPECT_EQ(header("Referer"), recording_.origin() + "/");
  EXPECT_EQ(header("User-Agent"), "Orlith-macOS/2.3");
  EXPECT_EQ(header("X-Orlith-Native-App"), "orlith");
  EXPECT_EQ(header("X-Orlith-Native-Platform"), "macos");
  EXPECT_EQ(header("X-Orlith-Native-Bundle-Id"), "com.tolvik.orlith.mac");
  EXPECT_EQ(header("X-Orlith-Native-Version"), "2.3");
  EXPECT_EQ(header("X-Orlith-Native-Build"), "45");
  EXPECT_EQ(header("Content-Type"), "application/json");
  EXPECT_EQ(received.front().body, R"({"email":"a@b.c","password":"pw"})");
}

TEST_F(CurlTransportTest, ARedirectIsNotFollowed) {
  auto error = runError(client_->forgotPassword("a@b.c"));
  ASSERT_TRUE(error.is<OrlithAuthError::Http>()) << error.what();
  EXPECT_EQ(error.as<OrlithAuthError::Http>()->status, 302);
  EXPECT_TRUE(receivedAt("/elsewhere").empty());
}

TEST_F(CurlTransportTest, TooManyRequestsCarriesRetryAfter) {
  auto error = runError(client_->requestSignupCode("N", "a@b.c", "pw"));
  ASSERT_TRUE(error.is<OrlithAuthError::RateLimited>()) << error.what();
  EXPECT_EQ(error.as<OrlithAuthError::RateLimited>()->retryAfter, 120);
}

TEST_F(CurlTransportTest, ThreeSetCookieLinesReachTheJarAndTheSessionCookieIsReadBack) {
  run(client_->login("a@b.c", "pw"));
  auto cookie = client_->currentSessionCookie();
  ASSERT_TRUE(cookie);
  EXPECT_EQ(cookie->name, "orlith_session");
  EXPECT_EQ(cookie->value, "s1");
  EXPECT_EQ(cookie->domain, "127.0.0.1");
  EXPECT_TRUE(cookie->httpOnly);

  client_->clearSessionCookies();
  EXPECT_FALSE(client_->currentSessionCookie());
  // A later request still carries the cookie that was not a session cookie.
  run(client_->login("a@b.c", "pw"));
  auto second = receivedAt("/api/auth/login").back();
  EXPECT_EQ(second.headers.find("Cookie")->second, "theme=dark");
}

TEST_F(CurlTransportTest, ASessionCookieWithoutPathStaysUnderTheRequestPath) {
  run(client_->verifySignupCode("c", "123456"));
  EXPECT_FALSE(client_->currentSessionCookie());
}

TEST_F(CurlTransportTest, TheJarFollowsTheCookieRules) {
  struct Case {
    const char* setCookie;
    bool kept;
  };
  const Case cases[] = {
      {"orlith_session=v; Path=/", true},
      {"orlith_session=v; Path=/; Max-Age=3600; Expires=Thu, 01 Jan 1970 00:00:01 GMT", true},
      {"orlith_session=v; Path=/; Max-Age=0; Expires=Fri, 01 Jan 2100 00:00:00 GMT", false},
      {"orlith_session=v; Path=/; Expires=Thu, 01 Jan 1970 00:00:01 GMT", false},
      {"orlith_session=v; Path=/; Domain=other.example", false},
      {"orlith_session=v; Path=/; Secure", false},
      {"orlith_session=v", false},
  };
  for (const auto& c : cases) {
    auto client = clientFor(recording_.origin());
    HttpHeaders extra{{"X-Set-Cookie", c.setCookie}};
    run(client->send("/api/auth/native/consume", "POST", nlohmann::json::object(), extra));
    EXPECT_EQ(client->currentSessionCookie().has_value(), c.kept) << c.setCookie;
  }
}

TEST_F(CurlTransportTest, AHeaderWithLineBreakSendsNothing) {
  auto session = transport_->makeSession({});
  for (const char* value : {"a\r\nX-Injected: 1", "a\nb", "a\rb"}) {
    HttpRequest request;
    request.url = recording_.origin() + "/echo";
    request.method = "POST";
    request.headers.add("X-Test", value);
    EXPECT_THROW(run(session->send(request)), TransportError);
  }
  HttpRequest nul;
  nul.url = recording_.origin() + "/echo";
  nul.headers.add("X-Test", std::string("a\0b", 3));
  EXPECT_THROW(run(session->send(nul)), TransportError);
  EXPECT_TRUE(recording_.received().empty());
}

TEST_F(CurlTransportTest, ALargePostGoesWithoutExpect) {
  auto session = transport_->makeSession({});
  HttpRequest request;
  request.url = recording_.origin() + "/echo";
  request.method = "POST";
  request.headers.add("Content-Type", "application/octet-stream");
  request.body = std::string((1 << 20) + 17, 'x');
  auto response = run(session->send(request));
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, std::to_string((1 << 20) + 17));
  auto received = receivedAt("/echo");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received.front().headers.count("Expect"), 0u);
}

TEST_F(CurlTransportTest, ADiagnosticsPostCarriesNoCookieAndIsNotRedirected) {
  FakePreferences preferences;
  preferences.setBoolean("orlith.diagnostics", true);
  DesktopDiagnostics diagnostics(environmentAt(recording_.origin()), preferences, *transport_,
                                 "2.3");
  diagnostics.send("app_started");
  diagnostics.send("app_ready", {{"reason", "http_401"}});
  // Events report nothing back: wait until the server has both.
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (receivedAt("/api/desktop/events").size() < 2 &&
         std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
    std::this_thread::sleep_for(1ms);
  }
  auto received = receivedAt("/api/desktop/events");
  ASSERT_EQ(received.size(), 2u);
  for (const auto& request : received)
    EXPECT_EQ(request.headers.count("Cookie"), 0u);
  // The two events travel on separate connections, in no promised order.
  std::vector<std::string> bodies;
  for (const auto& request : received)
    bodies.push_back(request.body);
  EXPECT_THAT(bodies, ::testing::Contains(
                          R"({"appVersion":"2.3","arch":"x64","detail":{"reason":"http_401"},)"
                          R"("name":"app_ready","packaged":true,"platform":"darwin"})"));
  EXPECT_TRUE(receivedAt("/api/desktop/events-moved").empty());

  // Events still in flight end now, so that their session and connections go with the test.
  diagnostics.cancelAll();
  while (g_main_context_pending(nullptr))
    g_main_context_iteration(nullptr, FALSE);
}

void waitForPeerToClose(int socket, const std::atomic<bool>& stopping) {
  char buffer[256];
  while (!stopping) {
    pollfd descriptor{socket, POLLIN, 0};
    if (::poll(&descriptor, 1, 20) <= 0)
      continue;
    if (::recv(socket, buffer, sizeof buffer, 0) <= 0)
      return;
  }
}

TEST_F(CurlFixture, AStalledReplyTimesOutAsNetwork) {
  RawServer stalling(waitForPeerToClose);
  HttpSessionSettings settings;
  settings.requestTimeout = 1s;
  settings.resourceTimeout = 30s;
  auto client = clientFor(stalling.origin());
  auto session = transport_->makeSession(settings);
  HttpRequest request = client->makeRequest("/api/auth/login", "GET");
  auto started = std::chrono::steady_clock::now();
  try {
    run(session->send(request));
    FAIL() << "the stalled request completed";
  } catch (const TransportError& error) {
    EXPECT_EQ(error.code(), -1001);
    EXPECT_EQ(OrlithAuthClient::mapTransportError(std::current_exception()).errorDescription(),
              "The request timed out.");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

TEST_F(CurlFixture, ACancelledRequestGivesCancelled) {
  RawServer stalling(waitForPeerToClose);
  auto client = clientFor(stalling.origin());
  std::stop_source stop;
  after(200ms, [&stop] { stop.request_stop(); });
  auto error = runError(
      client->send("/api/auth/login", "POST", nlohmann::json::object(), {}, stop.get_token()));
  EXPECT_TRUE(error.is<OrlithAuthError::Cancelled>()) << error.what();
}

TEST_F(CurlFixture, CancelAllEndsEveryTransferOfTheSession) {
  RawServer stalling(waitForPeerToClose);
  auto session = transport_->makeSession({});
  HttpRequest request;
  request.url = stalling.origin() + "/";
  after(200ms, [&session] { session->cancelAll(); });
  try {
    run(session->send(request));
    FAIL() << "the request completed";
  } catch (const TransportError& error) {
    EXPECT_TRUE(error.isUrlError(UrlErrorCode::cancelled));
  }
}

TEST_F(CurlFixture, DestroyingTheSessionCancelsItsTransfers) {
  RawServer stalling(waitForPeerToClose);
  auto session = transport_->makeSession({});
  HttpRequest request;
  request.url = stalling.origin() + "/";
  after(200ms, [&session] { session.reset(); });
  try {
    run(session->send(request));
    FAIL() << "the request completed";
  } catch (const TransportError& error) {
    EXPECT_TRUE(error.isUrlError(UrlErrorCode::cancelled));
  }
  EXPECT_FALSE(session);
}

TEST_F(CurlFixture, BootstrapReturnsAtTheHeadOfAnEndlessBody) {
  RawServer endless([](int socket, const std::atomic<bool>& stopping) {
    if (!RawServer::sendAll(socket,
                            "HTTP/1.1 100 Continue\r\n\r\n"
                            "HTTP/1.1 200 OK\r\n"
                            "Set-Cookie: orlith_session=v; Path=/; Max-Age=3600; HttpOnly\r\n"
                            "Content-Type: application/json\r\n"
                            "Transfer-Encoding: chunked\r\n\r\n")) {
      return;
    }
    while (!stopping && RawServer::sendAll(socket, "1\r\n \r\n")) {
      std::this_thread::sleep_for(10ms);
    }
  });
  auto client = clientFor(endless.origin());
  HttpCookie sent;
  sent.name = "orlith_session";
  sent.value = "v";
  auto started = std::chrono::steady_clock::now();
  auto check = run(client->bootstrap(sent));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  ASSERT_EQ(check.kind, BootstrapCheck::Kind::valid);
  ASSERT_TRUE(check.cookie);
  EXPECT_EQ(check.cookie->value, "v");
  EXPECT_TRUE(check.cookie->expires);
}

TEST_F(CurlFixture, ConnectionRefusedIsCannotConnect) {
  int port = 0;
  {
    RawServer closed([](int, const std::atomic<bool>&) {});
    port = std::stoi(closed.origin().substr(closed.origin().rfind(':') + 1));
  }
  auto session = transport_->makeSession({});
  HttpRequest request;
  request.url = "http://127.0.0.1:" + std::to_string(port) + "/";
  try {
    run(session->send(request));
    FAIL() << "connected to a closed port";
  } catch (const TransportError& error) {
    EXPECT_EQ(error.domain(), "NSURLErrorDomain");
    EXPECT_EQ(error.code(), -1004);
  }
}

TEST(CurlResultMappingTest, MapsResultsToUrlErrorCodes) {
  struct Case {
    CURLcode result;
    long osErrno;
    NetworkAvailability network;
    int code;
  };
  const auto up = NetworkAvailability::available;
  const auto down = NetworkAvailability::unavailable;
  const Case cases[] = {
      {CURLE_OPERATION_TIMEDOUT, 0, up, -1001},
      {CURLE_COULDNT_RESOLVE_HOST, 0, up, -1003},
      {CURLE_COULDNT_CONNECT, 0, up, -1004},
      {CURLE_GOT_NOTHING, 0, up, -1005},
      {CURLE_SEND_ERROR, 0, up, -1005},
      {CURLE_RECV_ERROR, 0, up, -1005},
      {CURLE_PARTIAL_FILE, 0, up, -1005},
      {CURLE_HTTP2_STREAM, 0, up, -1005},
      {CURLE_PEER_FAILED_VERIFICATION, 0, up, -1200},
      {CURLE_SSL_CONNECT_ERROR, 0, up, -1200},
      {CURLE_COULDNT_CONNECT, 0, down, -1009},
      {CURLE_OPERATION_TIMEDOUT, 0, down, -1009},
      {CURLE_COULDNT_CONNECT, ENETUNREACH, up, -1009},
      {CURLE_URL_MALFORMAT, 0, up, -1},
      {CURLE_URL_MALFORMAT, 0, down, -1},
  };
  for (const auto& c : cases) {
    auto error = transportErrorFor(c.result, c.osErrno, c.network);
    EXPECT_EQ(error.code(), c.code) << curl_easy_strerror(c.result);
    EXPECT_EQ(error.domain(), "NSURLErrorDomain");
  }
  EXPECT_STREQ(transportErrorFor(CURLE_COULDNT_RESOLVE_HOST, 0, up).what(),
               "A server with the specified hostname could not be found.");
  EXPECT_STREQ(transportErrorFor(CURLE_COULDNT_CONNECT, 0, down).what(),
               "You appear to be offline. Check your connection and try again.");
  EXPECT_STREQ(transportErrorFor(CURLE_URL_MALFORMAT, 0, up).what(),
               "An unknown network error occurred.");
}

}  // namespace
}  // namespace orlith::testing
