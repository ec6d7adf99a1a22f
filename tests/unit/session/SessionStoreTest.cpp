// The session store's launch restore, session activation and cookie reconciliation.
#include <gtest/gtest.h>

#include "SessionStoreFixture.h"

namespace orlith::testing {
namespace {

using namespace std::chrono_literals;
using Trail = std::vector<std::string>;

class SessionStoreTest : public SessionStoreFixture {};

TEST_F(SessionStoreTest, RestoreMapsEachVaultOutcomeOnceTheKeyringAnswers) {
  struct Case {
    const char* name;
    std::optional<std::string> item;
    bool flagSet;
    bool readFails;
    SessionState state;
    std::optional<double> expiresAt;  // of the entered session
    bool itemKept;
  };
  const double expired = referenceSecondsFrom(ManualTime::kDefaultWallStart - 1h);
  const double later = referenceSecondsFrom(ManualTime::kDefaultWallStart + 1h);
  auto stored = [](std::optional<double> expiresAt) {
    StoredSession session{"a@orlith.example",
                          StoredCookie{"orlith_session", "v", "orlith.example", "/", true, {}}};
    session.cookie.expiresAt = expiresAt;
    return session.encode();
  };
  const Case cases[] = {
      {"usable", stored(later), false, false, SessionState::authenticated("a@orlith.example"),
       later, true},
      {"expired, entered without expiry", stored(expired), false, false,
       SessionState::authenticated("a@orlith.example"), std::nullopt, true},
      {"missing", std::nullopt, false, false, SessionState::unauthenticated(), {}, false},
      {"signed out", stored(later), true, false, SessionState::unauthenticated(), {}, true},
      {"unavailable", stored(later), false, true, SessionState::recoveryUnavailable(), {}, true},
      {"corrupt, item kept",
       std::string("{not json"),
       false,
       false,
       SessionState::recoveryUnavailable(),
       {},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionStoreFixture::TearDown();
    auto secrets = std::make_shared<FakeSecretStore>();
    secrets->setItem(c.item);
    if (c.readFails)
      secrets->setReads(FakeSecretStore::Answer::fails);
    FakePreferences preferences;
    preferences.setBoolean(std::string(kExplicitlySignedOutKey), c.flagSet);
    auto vault = std::make_shared<SessionVault>(
        std::make_shared<SessionKeychain>(secrets, "com.tolvik.orlith.mac.session"), preferences);
    auto store = SessionStore::create(SessionStore::Dependencies{
        exampleEnvironment(), transport_, AppIdentity{}, time_, vault,
        std::make_shared<SessionCookieCoordinator>(exampleHosts(), time_), webCookies_, ids_});

    StartedTask<void> restoring(store->restoreStoredSession());
    if (!c.flagSet) {
      EXPECT_EQ(store->state(), SessionState::loading()) << "decided before the keyring answered";
    }
    while (!restoring.isDone()) {
      ASSERT_TRUE(queue_.runOne() || queue_.waitForWork(5s));
    }
    EXPECT_EQ(store->state(), c.state);
    if (c.state.isAuthenticated()) {
      ASSERT_TRUE(store->currentSession());
      EXPECT_EQ(store->currentSession()->cookie.expiresAt, c.expiresAt);
      EXPECT_EQ(store->sessionRevision(), 1);
    } else {
      EXPECT_FALSE(store->currentSession());
    }
    EXPECT_EQ(secrets->item().has_value(), c.itemKept);
    EXPECT_TRUE(transport_->sent.empty());
  }
}

TEST_F(SessionStoreTest, ActivatingTwiceRaisesTheRevisionTwiceAndLeavesOneWatcher) {
  store_->activate(storedSession("a@orlith.example", "one"));
  store_->activate(storedSession("b@orlith.example", "two"));
  EXPECT_EQ(store_->sessionRevision(), 2);
  EXPECT_EQ(takeTrail(),
            (Trail{"revision=1", "session=one", "state=authenticated(a@orlith.example)",
                   "revision=2", "session=two", "state=authenticated(b@orlith.example)"}));

  webCookies_->changed().emit();
  settle();
  EXPECT_EQ(std::count(webCookies_->calls.begin(), webCookies_->calls.end(), "read"), 1);
}

TEST_F(SessionStoreTest, ReconciliationAdoptsOnlyAChangeOfTheSameLiveSessionCookie) {
  struct Case {
    const char* name;
    std::function<void(std::vector<HttpCookie>&)> engine;  // applied to the stored cookie's copy
    bool adopts;
  };
  const Case cases[] = {
      {"value changed", [](auto& c) { c[0].value = "rotated"; }, true},
      {"expiry +30 s", [](auto& c) { *c[0].expires += 30s; }, false},
      {"expiry -30 s", [](auto& c) { *c[0].expires -= 30s; }, false},
      {"expiry +120 s", [](auto& c) { *c[0].expires += 120s; }, true},
      {"expiry -120 s", [](auto& c) { *c[0].expires -= 120s; }, true},
      {"expiry dropped", [](auto& c) { c[0].expires.reset(); }, true},
      {"vanished", [](auto& c) { c.clear(); }, false},
      {"not secure",
       [](auto& c) {
         c[0].secure = false;
         c[0].value = "rotated";
       },
       false},
      {"path /app",
       [](auto& c) {
         c[0].path = "/app";
         c[0].value = "rotated";
       },
       false},
      {"another host",
       [](auto& c) {
         c[0].domain = "other.example";
         c[0].value = "rotated";
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const StoredSession session = storedSession("a@orlith.example", "v");
    store_->activate(session);
    secrets_->setItem(session.encode());
    std::vector<HttpCookie> engine = {*session.cookie.httpCookie()};
    c.engine(engine);
    webCookies_->cookies = engine;
    takeTrail();

    webCookies_->changed().emit();
    settle();
    if (c.adopts) {
      StoredSession expected = session;
      expected.cookie = StoredCookie::fromHttpCookie(engine[0]);
      EXPECT_EQ(store_->currentSession(), expected);
      EXPECT_EQ(keyringSession(), expected);
      EXPECT_EQ(takeTrail(), Trail{"session=" + expected.cookie.value});
    } else {
      EXPECT_EQ(store_->currentSession(), session);
      EXPECT_EQ(keyringSession(), session);
      EXPECT_EQ(takeTrail(), Trail{});
    }
  }
}

TEST_F(SessionStoreTest, CookieReportOfAnEndedSessionIsDropped) {
  store_->activate(storedSession("a@orlith.example", "v"));
  webCookies_->cookies = {sessionCookie("rotated")};
  webCookies_->holdCalls(true);
  webCookies_->changed().emit();
  queue_.runUntilIdle();
  ASSERT_EQ(webCookies_->heldCount(), 1u);

  store_->activate(storedSession("b@orlith.example", "w"));
  webCookies_->holdCalls(false);
  webCookies_->releaseOne();
  settle();
  EXPECT_EQ(store_->currentSession()->cookie.value, "w");
  EXPECT_FALSE(secrets_->item());
}

TEST_F(SessionStoreTest, AdoptionKeepsTheSessionWhenTheKeyringRefuses) {
  store_->activate(storedSession("a@orlith.example", "v"));
  secrets_->setUpdates(FakeSecretStore::Answer::fails);
  secrets_->setAdds(FakeSecretStore::Answer::fails);
  webCookies_->cookies = {sessionCookie("rotated")};
  webCookies_->changed().emit();
  settle();
  EXPECT_EQ(store_->currentSession()->cookie.value, "rotated");
  EXPECT_EQ(store_->sessionRevision(), 1);
  EXPECT_TRUE(store_->state().isAuthenticated());
}

}  // namespace
}  // namespace orlith::testing
