// The opt-in gate, the event names, the metadata filter and the exact event body.
#include "session/DesktopDiagnostics.h"

#include <gtest/gtest.h>

#include "AuthClientFixture.h"
#include "support/FakePreferences.h"

namespace orlith::testing {
namespace {

class DiagnosticsTest : public ::testing::Test {
 protected:
  ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  FakePreferences preferences_;
  FakeHttpTransport transport_;
  DesktopDiagnostics diagnostics_{exampleEnvironment(), preferences_, transport_, "2.3"};
};

TEST_F(DiagnosticsTest, NothingIsSentWithoutOptInOrForAnUnknownName) {
  diagnostics_.send("app_started");
  preferences_.setString("orlith.diagnostics", "true");
  diagnostics_.send("app_started");
  preferences_.setBoolean("orlith.diagnostics", false);
  diagnostics_.send("app_started");
  preferences_.setBoolean("orlith.diagnostics", true);
  diagnostics_.send("app_crashed");
  diagnostics_.send("");
  queue_.runUntilIdle();
  EXPECT_TRUE(transport_.sent.empty());
}

TEST_F(DiagnosticsTest, EveryListedNameIsSentOnThePublicSession) {
  preferences_.setBoolean("orlith.diagnostics", true);
  for (std::string_view name : DesktopDiagnostics::allowedEvents) {
    transport_.reply(204);
    diagnostics_.send(name);
  }
  queue_.runUntilIdle();
  ASSERT_EQ(transport_.sent.size(), DesktopDiagnostics::allowedEvents.size());
  const auto& sent = transport_.sent.front();
  EXPECT_EQ(sent.request.url, "https://orlith.example/api/desktop/events");
  EXPECT_EQ(sent.request.method, "POST");
  EXPECT_EQ(sent.request.headers.fields(),
            (std::vector<HttpHeaderField>{{"Content-Type", "application/json"},
                                          {"Accept", "application/json"},
                                          {"User-Agent", "Orlith-macOS/2.3"}}));
  EXPECT_EQ(sent.request.timeout, std::chrono::seconds(8));
  EXPECT_EQ(sent.settings.cookies, CookieHandling::none);
  EXPECT_EQ(sent.settings.maxConnectionsPerHost, 2);
  EXPECT_EQ(sent.settings.requestTimeout, std::chrono::seconds(8));
  EXPECT_EQ(sent.settings.resourceTimeout, std::chrono::seconds(8));
}

TEST_F(DiagnosticsTest, AFailedSendIsDroppedSilently) {
  preferences_.setBoolean("orlith.diagnostics", true);
  transport_.fail(TransportError::url(UrlErrorCode::timedOut));
  diagnostics_.send("app_offline");
  EXPECT_NO_THROW(queue_.runUntilIdle());
  EXPECT_EQ(transport_.sent.size(), 1u);
}

#if defined(__aarch64__)
constexpr const char* kExpectedArch = "arm64";
#else
constexpr const char* kExpectedArch = "x64";
#endif

TEST(DiagnosticsBodyTest, HoldsExactlyTheSixKeysWithTheirTypes) {
  auto body = DesktopDiagnostics::eventBody("app_ready", {{"reason", "http_401"}}, "2.3");
  ASSERT_TRUE(body);
  auto json = nlohmann::json::parse(*body);
  EXPECT_EQ(json, (nlohmann::json{{"name", "app_ready"},
                                  {"appVersion", "2.3"},
                                  {"platform", "darwin"},
                                  {"arch", kExpectedArch},
                                  {"packaged", true},
                                  {"detail", {{"reason", "http_401"}}}}));
  auto empty = nlohmann::json::parse(*DesktopDiagnostics::eventBody("app_ready", {}, "2.3"));
  EXPECT_TRUE(empty["detail"].is_object());
  EXPECT_FALSE(DesktopDiagnostics::eventBody("app_ready", {}, "2.\xff"));
}

TEST(DiagnosticsFilterTest, KeepsOnlyKnownMetadata) {
  struct Case {
    DiagnosticsDetail input;
    DiagnosticsDetail kept;
  };
  const Case cases[] = {
      {{}, {}},
      {{{"domain", "NSURLErrorDomain"}, {"code", "-1009"}},
       {{"domain", "NSURLErrorDomain"}, {"code", "-1009"}}},
      {{{"domain", "WebKitErrorDomain"}}, {{"domain", "WebKitErrorDomain"}}},
      {{{"domain", "nsurlerrordomain"}}, {}},
      {{{"domain", "MyDomain"}, {"reason", "http_401"}, {"url", "https://x"}},
       {{"reason", "http_401"}}},
      {{{"reason", "auth_redirect"}}, {}},
      {{{"reason", "unstyled_surface_timeout"}}, {}},
      {{{"code", "+12"}}, {{"code", "12"}}},
      {{{"code", "-0"}}, {{"code", "0"}}},
      {{{"code", "0042"}}, {{"code", "42"}}},
      {{{"code", "1234567"}}, {{"code", "1234567"}}},
      {{{"code", "-123456"}}, {{"code", "-123456"}}},
      {{{"code", "12345678"}}, {}},
      {{{"code", "12a"}}, {}},
      {{{"code", "+"}}, {}},
      {{{"code", "+-1"}}, {}},
      {{{"code", " 1"}}, {}},
      {{{"code", ""}}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DesktopDiagnostics::filterDiagnosticsMetadata(c.input), c.kept);
  }
}

}  // namespace
}  // namespace orlith::testing
