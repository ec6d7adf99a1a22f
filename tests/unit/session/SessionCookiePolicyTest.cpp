// The session cookie's domains, the live-cookie test and the reconciliation decision.
#include "session/SessionCookiePolicy.h"

#include <gtest/gtest.h>

#include "session/ReferenceDate.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using Set = std::set<std::string>;

const ServiceHosts kHosts{"https://orlith.example", "orlith.example", "www.orlith.example"};
const auto kNow = std::chrono::system_clock::time_point(1'700'000'000s);

HttpCookie engineCookie(const char* name, const char* value, const char* domain) {
  HttpCookie cookie;
  cookie.name = name;
  cookie.value = value;
  cookie.domain = domain;
  cookie.path = "/";
  cookie.secure = true;
  cookie.httpOnly = true;
  return cookie;
}

TEST(SessionCookiePolicyTest, ServiceHostAndItsTwinBelongTogether) {
  const Set both{"orlith.example", "www.orlith.example"};
  const std::pair<const char*, Set> cases[] = {
      {".ORLITH.Example", both},    {"www.orlith.example", both},
      {"orlith.example", both},     {"api.orlith.example", {"api.orlith.example"}},
      {"localhost", {"localhost"}}, {"..orlith.example", {".orlith.example"}},
  };
  for (const auto& [domain, expected] : cases)
    EXPECT_EQ(sessionCookieDomains(domain, kHosts), expected) << domain;
}

TEST(SessionCookiePolicyTest, LiveSessionCookieNeedsNameDomainRootPathSecureAndNoExpiry) {
  const Set domains = sessionCookieDomains("orlith.example", kHosts);
  auto with = [](auto change) {
    HttpCookie cookie = engineCookie("orlith_session", "v", ".Orlith.Example");
    change(cookie);
    return cookie;
  };
  const std::pair<HttpCookie, bool> cases[] = {
      {with([](HttpCookie&) {}), true},
      {with([](HttpCookie& c) { c.domain = "www.orlith.example"; }), true},
      {with([](HttpCookie& c) { c.name = "Orlith_session"; }), false},
      {with([](HttpCookie& c) { c.domain = "evil.example"; }), false},
      {with([](HttpCookie& c) { c.path = "/app"; }), false},
      {with([](HttpCookie& c) { c.path = ""; }), false},
      {with([](HttpCookie& c) { c.secure = false; }), false},
      {with([](HttpCookie& c) { c.expires = kNow + 1s; }), true},
      {with([](HttpCookie& c) { c.expires = kNow; }), false},
  };
  for (const auto& [cookie, expected] : cases) {
    EXPECT_EQ(isSessionCookie(cookie, "orlith_session", domains, kNow), expected)
        << cookie.name << "@" << cookie.domain << cookie.path << " secure " << cookie.secure;
  }
}

TEST(SessionCookiePolicyTest, SyncAdoptsAChangedValueOrExpiryAndKeepsOtherwise) {
  StoredCookie stored;
  stored.name = "orlith_session";
  stored.value = "old";
  stored.domain = "orlith.example";
  stored.path = "/";
  stored.isSecure = true;
  stored.expiresAt = referenceSecondsFrom(kNow + 3600s);

  auto expiring = [](HttpCookie cookie, std::chrono::seconds fromNow) {
    cookie.expires = kNow + fromNow;
    return cookie;
  };
  const auto same = engineCookie("orlith_session", "old", "orlith.example");
  const auto renewed = engineCookie("orlith_session", "new", "orlith.example");
  const auto twin = engineCookie("orlith_session", "twin", "www.orlith.example");
  const double inTwoHours = referenceSecondsFrom(kNow + 7200s);
  const double inAnHour = referenceSecondsFrom(kNow + 3600s);
  auto adopt = [](const char* value, std::optional<double> expiry) {
    return SessionCookieSyncDecision::adopt("orlith_session", value, expiry);
  };
  struct Case {
    const char* what;
    std::vector<HttpCookie> engine;
    SessionCookieSyncDecision decision;
  };
  const Case cases[] = {
      {"unchanged", {expiring(same, 3600s)}, SessionCookieSyncDecision::none()},
      {"expiry within a minute", {expiring(same, 3660s)}, SessionCookieSyncDecision::none()},
      {"expiry moved on", {expiring(same, 7200s)}, adopt("old", inTwoHours)},
      {"expiry dropped", {same}, adopt("old", std::nullopt)},
      {"new value", {expiring(renewed, 3600s)}, adopt("new", inAnHour)},
      {"vanished", {}, SessionCookieSyncDecision::none()},
      {"expired in the engine", {expiring(renewed, 0s)}, SessionCookieSyncDecision::none()},
      {"other name",
       {engineCookie("velmar_session", "x", "orlith.example")},
       SessionCookieSyncDecision::none()},
      {"not secure",
       {[&] {
         auto c = renewed;
         c.secure = false;
         return c;
       }()},
       SessionCookieSyncDecision::none()},
      {"twin only", {expiring(twin, 3600s)}, adopt("twin", inAnHour)},
      {"own domain preferred",
       {expiring(twin, 3600s), expiring(renewed, 3600s)},
       adopt("new", inAnHour)},
  };
  for (const auto& c : cases) {
    const auto decision = decideSessionCookieSync(stored, c.engine, kHosts, kNow);
    EXPECT_EQ(decision.kind, c.decision.kind) << c.what;
    EXPECT_EQ(decision.value, c.decision.value) << c.what;
    ASSERT_EQ(decision.expiresAt.has_value(), c.decision.expiresAt.has_value()) << c.what;
    if (decision.expiresAt) {
      EXPECT_NEAR(*decision.expiresAt, *c.decision.expiresAt, 1e-3) << c.what;
    }
  }
}

TEST(SessionCookiePolicyTest, AdoptingTakesValueAndExpiryAndKeepsTheRest) {
  StoredCookie stored;
  stored.name = "orlith_session";
  stored.value = "old";
  stored.domain = "orlith.example";
  stored.path = "/";
  stored.isSecure = true;
  stored.expiresAt = 10;

  StoredCookie expected = stored;
  expected.value = "new";
  expected.expiresAt = std::nullopt;
  EXPECT_EQ(applySessionCookieSync(
                stored, SessionCookieSyncDecision::adopt("orlith_session", "new", std::nullopt)),
            expected);
  EXPECT_EQ(applySessionCookieSync(stored, SessionCookieSyncDecision::none()), stored);
}

}  // namespace
}  // namespace orlith
