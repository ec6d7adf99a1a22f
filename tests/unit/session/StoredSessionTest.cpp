// The stored session records: JSON form, conversions from engine cookies and hand-offs, the
// usability test and the cookie that may be installed.
#include "session/StoredSession.h"

#include <gtest/gtest.h>

#include "session/ReferenceDate.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

constexpr double kMay1Noon = 1714564800.0 - kReferenceDateUnixSeconds;  // 2024-05-01T12:00:00Z

StoredCookie sessionCookie() {
  StoredCookie cookie;
  cookie.name = "orlith_session";
  cookie.value = "abc";
  cookie.domain = "orlith.example";
  cookie.path = "/";
  cookie.isSecure = true;
  return cookie;
}

TEST(StoredSessionTest, JsonRoundTripKeepsEveryFieldExactly) {
  StoredSession plain{std::nullopt, sessionCookie()};
  StoredSession full{"a@orlith.test", sessionCookie()};
  full.cookie.expiresAt = 736'000'000.123456789;
  full.cookie.isSecure = false;
  StoredSession unicode{"\xc3\xa9@orlith.test", sessionCookie()};
  unicode.cookie.value = "\xe2\x9c\x93";
  unicode.cookie.expiresAt = -1.5;
  for (const StoredSession& session : {plain, full, unicode}) {
    EXPECT_EQ(StoredSession::decode(session.encode()), session) << session.encode();
  }
}

TEST(StoredSessionTest, OptionalKeysAreWrittenOnlyWhenPresent) {
  const auto json = Json::parse(StoredSession{std::nullopt, sessionCookie()}.encode());
  EXPECT_FALSE(json.contains("email"));
  EXPECT_FALSE(json.at("cookie").contains("expiresAt"));

  const auto decoded = StoredSession::decode(
      R"({"cookie":{"name":"n","value":"v","domain":"d","path":"/","isSecure":true,)"
      R"("expiresAt":0},"email":null})");
  EXPECT_EQ(decoded.email, std::nullopt);
  ASSERT_TRUE(decoded.cookie.expiresAt);
  EXPECT_EQ(timePointFromReferenceSeconds(*decoded.cookie.expiresAt),
            std::chrono::system_clock::time_point(978307200s));
}

TEST(StoredSessionTest, DecodingFailsAsAWholeOnAMissingKeyOrWrongType) {
  const char* cookie = R"("name":"n","value":"v","domain":"d","path":"/")";
  const std::string cases[] = {
      R"({"email":"a@b"})",
      std::string(R"({"cookie":{)") + cookie + "}}",
      std::string(R"({"cookie":{)") + cookie + R"(,"isSecure":"true"}})",
      std::string(R"({"cookie":{)") + cookie + R"(,"isSecure":true,"expiresAt":"0"}})",
      std::string(R"({"cookie":{)") + cookie + R"(,"isSecure":true,"expiresAt":1e400}})",
      std::string(R"({"email":7,"cookie":{)") + cookie + R"(,"isSecure":true}})",
      R"({"cookie":{"name":"n","value":null,"domain":"d","path":"/","isSecure":true}})",
      R"([])",
      R"({"cookie":)",
      "",
  };
  for (const auto& text : cases)
    EXPECT_THROW(StoredSession::decode(text), JsonDecodeError) << text;
}

TEST(StoredSessionTest, EncodingTextThatIsNotUtf8Throws) {
  StoredSession session{"\xff", sessionCookie()};
  EXPECT_THROW(session.encode(), nlohmann::json::type_error);
}

TEST(StoredSessionTest, UsableOnlyWithAValueAndAnExpiryAfterNow) {
  const auto now = std::chrono::system_clock::time_point(1'700'000'000s);
  const double nowSeconds = referenceSecondsFrom(now);
  struct Case {
    std::optional<double> expiresAt;
    const char* value;
    bool usable;
  };
  const Case cases[] = {
      {std::nullopt, "abc", true},    {nowSeconds + 1, "abc", true},  {nowSeconds, "abc", false},
      {nowSeconds - 1, "abc", false}, {nowSeconds + 3600, "", false}, {std::nullopt, "", false},
  };
  for (const auto& c : cases) {
    StoredSession session{std::nullopt, sessionCookie()};
    session.cookie.expiresAt = c.expiresAt;
    session.cookie.value = c.value;
    EXPECT_EQ(session.isUsable(now), c.usable)
        << c.expiresAt.value_or(-1) - nowSeconds << " '" << c.value << "'";
  }
}

TEST(StoredSessionTest, EngineCookieLosesOneLeadingDotAndGetsARootPath) {
  struct Case {
    const char* domain;
    const char* path;
    const char* storedDomain;
    const char* storedPath;
  };
  const Case cases[] = {
      {".Orlith.example", "", "Orlith.example", "/"},
      {"..orlith.example", "/app", ".orlith.example", "/app"},
      {"orlith.example", "/", "orlith.example", "/"},
  };
  for (const auto& c : cases) {
    HttpCookie engine;
    engine.name = "orlith_session";
    engine.value = "v";
    engine.domain = c.domain;
    engine.path = c.path;
    engine.secure = true;
    engine.expires = std::chrono::system_clock::time_point(1714564800s);
    const auto stored = StoredCookie::fromHttpCookie(engine);
    EXPECT_EQ(stored.domain, c.storedDomain);
    EXPECT_EQ(stored.path, c.storedPath);
    EXPECT_TRUE(stored.isSecure);
    EXPECT_EQ(stored.expiresAt, kMay1Noon);
  }
}

TEST(StoredSessionTest, HandoffCookieParsesInternetDatesAndKeepsItsPath) {
  struct Case {
    const char* name;
    const char* value;
    std::optional<std::string> expiresAt;
    std::optional<std::string> path;
    bool made;
    std::optional<double> storedExpiry;
    const char* storedPath;
  };
  const Case cases[] = {
      {"s", "v", "2024-05-01T12:00:00Z", std::nullopt, true, kMay1Noon, "/"},
      {"s", "v", "2024-05-01T12:00:00.250Z", "/app", true, kMay1Noon + 0.25, "/app"},
      {"s", "v", "2024-05-01T14:30:00+02:30", "", true, kMay1Noon, ""},
      {"s", "v", "2024-05-01T07:00:00.5-05:00", "/", true, kMay1Noon + 0.5, "/"},
      {"s", "v", "2024-05-01t12:00:00z", "/", true, kMay1Noon, "/"},
      {"s", "v", "2024-05-01T12:00:00", "/", true, std::nullopt, "/"},
      {"s", "v", "2024-05-01 12:00:00Z", "/", true, std::nullopt, "/"},
      {"s", "v", "2024-02-30T12:00:00Z", "/", true, std::nullopt, "/"},
      {"s", "v", "2024-05-01T12:00:00.Z", "/", true, std::nullopt, "/"},
      {"s", "v", "2024-05-01T24:00:00Z", "/", true, std::nullopt, "/"},
      {"s", "v", "tomorrow", "/", true, std::nullopt, "/"},
      {"s", "v", std::nullopt, "/", true, std::nullopt, "/"},
      {"s", "", "2024-05-01T12:00:00Z", "/", false, std::nullopt, ""},
      {"", "v", "2024-05-01T12:00:00Z", "/", false, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    NativeHandoffCookie handoff{c.name, c.value, c.expiresAt, true, c.path};
    const auto stored = StoredCookie::fromHandoff(handoff, "orlith.example");
    ASSERT_EQ(stored.has_value(), c.made) << c.expiresAt.value_or("none");
    if (!stored)
      continue;
    EXPECT_EQ(stored->domain, "orlith.example");
    EXPECT_EQ(stored->path, c.storedPath);
    ASSERT_EQ(stored->expiresAt.has_value(), c.storedExpiry.has_value())
        << c.expiresAt.value_or("none");
    if (c.storedExpiry) {
      EXPECT_DOUBLE_EQ(*stored->expiresAt, *c.storedExpiry) << *c.expiresAt;
    }
  }
}

TEST(StoredSessionTest, InstalledCookieIsHttpOnlyAndSecureOnlyWhenStoredSo) {
  StoredCookie stored = sessionCookie();
  stored.isSecure = false;
  stored.path = "";
  stored.expiresAt = kMay1Noon;
  const auto cookie = stored.httpCookie();
  ASSERT_TRUE(cookie);
  EXPECT_FALSE(cookie->secure);
  EXPECT_TRUE(cookie->httpOnly);
  EXPECT_EQ(cookie->path, "/");
  EXPECT_EQ(cookie->expires, std::chrono::system_clock::time_point(1714564800s));
  EXPECT_EQ(sessionCookie().httpCookie()->expires, std::nullopt);

  // An expiry far beyond what the clock holds is clamped rather than overflowing.
  stored.expiresAt = 1e300;
  EXPECT_GT(stored.httpCookie()->expires, std::chrono::system_clock::time_point(1714564800s));
}

TEST(StoredSessionTest, CookieThatCannotBeSentSafelyIsNeverInstalled) {
  struct Case {
    const char* name;
    const char* value;
    const char* domain;
    const char* path;
  };
  const Case cases[] = {
      {"", "v", "orlith.example", "/"},
      {"a=b", "v", "orlith.example", "/"},
      {"a;b", "v", "orlith.example", "/"},
      {"a b", "v", "orlith.example", "/"},
      {"a\tb", "v", "orlith.example", "/"},
      {"a\x7f", "v", "orlith.example", "/"},
      {"s", "x;y", "orlith.example", "/"},
      {"s", "x\r\ny", "orlith.example", "/"},
      {"s", "v", "", "/"},
      {"s", "v", "orlith.example;x", "/"},
      {"s", "v", "orlith.example\n", "/"},
      {"s", "v", "orlith.example", "/;Secure"},
      {"s", "v", "orlith.example", "/\x01"},
  };
  for (const auto& c : cases) {
    StoredCookie stored = sessionCookie();
    stored.name = c.name;
    stored.value = c.value;
    stored.domain = c.domain;
    stored.path = c.path;
    EXPECT_FALSE(stored.httpCookie())
        << c.name << "|" << c.value << "|" << c.domain << "|" << c.path;
  }
  StoredCookie spaced = sessionCookie();
  spaced.value = "a b=c";
  EXPECT_TRUE(spaced.httpCookie());
}

}  // namespace
}  // namespace orlith
