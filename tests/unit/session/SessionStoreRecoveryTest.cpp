// Sign-out and the local clear, session recovery with its throttle, and retrying a recovery.
#include <gtest/gtest.h>

#include "SessionStoreFixture.h"

namespace orlith::testing {
namespace {

using namespace std::chrono_literals;
using Trail = std::vector<std::string>;

class SessionStoreRecoveryTest : public SessionStoreFixture {
 protected:
  std::size_t requestsTo(std::string_view path) const {
    return static_cast<std::size_t>(
        std::count_if(transport_->sent.begin(), transport_->sent.end(),
                      [&](const auto& sent) { return sent.request.url.ends_with(path); }));
  }
};

TEST_F(SessionStoreRecoveryTest, SignOutClearsEverythingAndThenLogsOutWithTheOldCookie) {
  for (bool withSession : {true, false}) {
    SCOPED_TRACE(withSession ? "with a session" : "without a session");
    transport_->sent.clear();
    if (withSession) {
      signInWith("v");
      transport_->sent.clear();
      webCookies_->cookies = {sessionCookie("v"), sessionCookie("theme")};
      webCookies_->cookies.back().name = "theme";
      transport_->reply(200, "{}");
    }
    const std::int64_t revision = store_->sessionRevision();
    takeTrail();

    store_->signOut();
    EXPECT_EQ(store_->state(), SessionState::unauthenticated());
    EXPECT_EQ(store_->sessionRevision(), revision + 1);
    EXPECT_TRUE(signedOutFlag());
    EXPECT_TRUE(transport_->sent.empty()) << "logout sent before the local clear";
    settle();

    EXPECT_FALSE(store_->currentSession());
    EXPECT_FALSE(secrets_->item());
    if (withSession) {
      EXPECT_EQ(takeTrail(), (Trail{"revision=" + std::to_string(revision + 1), "session=none",
                                    "state=unauthenticated"}));
      ASSERT_EQ(transport_->sent.size(), 1u);
      EXPECT_TRUE(transport_->sent[0].request.url.ends_with("/api/auth/logout"));
      EXPECT_EQ(transport_->sent[0].request.headers.value("Cookie"), "orlith_session=v");
      ASSERT_EQ(webCookies_->cookies.size(), 1u);
      EXPECT_EQ(webCookies_->cookies[0].name, "theme");
    } else {
      EXPECT_TRUE(transport_->sent.empty());
    }
  }
}

TEST_F(SessionStoreRecoveryTest, RecoveryIsThrottledToOncePerMinute) {
  struct Case {
    std::chrono::seconds gap;
    bool asks;
  };
  for (const Case c : {Case{30s, false}, Case{61s, true}}) {
    SCOPED_TRACE(c.gap.count());
    signInWith("v");
    transport_->sent.clear();
    transport_->reply(200);
    store_->recoverSession(store_->sessionRevision(), false);
    settle();
    ASSERT_TRUE(store_->state().isAuthenticated());

    time_->advance(c.gap);
    transport_->reply(200);
    takeTrail();
    store_->recoverSession(store_->sessionRevision(), false);
    settle();
    EXPECT_EQ(requestsTo("/api/app/bootstrap"), c.asks ? 2u : 1u);
    EXPECT_EQ(store_->state().isAuthenticated(), c.asks);
    if (!c.asks) {
      EXPECT_EQ(takeTrail(), Trail{"state=recoveryUnavailable"});
    }
    store_->signOut();
    settle();
    time_->advance(61s);
  }
}

TEST_F(SessionStoreRecoveryTest, BootstrapOutcomesDecideTheState) {
  struct Case {
    const char* name;
    std::function<void(FakeHttpTransport&, const HttpCookie& renewed)> reply;
    SessionState state;
    bool renewed;
  };
  const Case cases[] = {
      {"over", [](auto& t, auto&) { t.reply(401); }, SessionState::unauthenticated(), false},
      {"server error", [](auto& t, auto&) { t.reply(503); }, SessionState::recoveryUnavailable(),
       false},
      {"unreachable",
       [](auto& t, auto&) { t.fail(TransportError::url(UrlErrorCode::cannotConnectToHost)); },
       SessionState::recoveryUnavailable(), false},
      {"valid", [](auto& t, auto&) { t.reply(200); },
       SessionState::authenticated("a@orlith.example"), false},
      {"valid and renewed", [](auto& t, auto& renewed) { t.reply(200, "", {}, {renewed}); },
       SessionState::authenticated("a@orlith.example"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    signInWith("v");
    const StoredSession before = *store_->currentSession();
    const std::int64_t revision = store_->sessionRevision();
    webCookies_->cookies.clear();
    c.reply(*transport_, sessionCookie("v", 48h));
    takeTrail();
    store_->recoverSession(revision, false);
    EXPECT_EQ(takeTrail(), Trail{"state=loading"});
    settle();

    EXPECT_EQ(store_->state(), c.state);
    if (c.state == SessionState::unauthenticated()) {
      EXPECT_FALSE(store_->currentSession());
      EXPECT_FALSE(secrets_->item());
      EXPECT_TRUE(signedOutFlag());
    }
    if (c.state.isAuthenticated()) {
      EXPECT_EQ(store_->sessionRevision(), revision + 1);
      const StoredSession now = *store_->currentSession();
      EXPECT_EQ(now.cookie.expiresAt != before.cookie.expiresAt, c.renewed);
      EXPECT_EQ(keyringSession(), now);
      // The web views get the cookie they must send from now on, renewed expiry included.
      ASSERT_EQ(webCookies_->cookies.size(), 1u);
      EXPECT_EQ(StoredCookie::fromHttpCookie(webCookies_->cookies[0]), now.cookie);
    }
    store_->signOut();
    settle();
    time_->advance(61s);
  }
}

TEST_F(SessionStoreRecoveryTest, LateBootstrapReplyAfterSignOutIsDropped) {
  signInWith("v");
  transport_->holdReplies(true);
  store_->recoverSession(store_->sessionRevision(), false);
  queue_.runUntilIdle();
  ASSERT_EQ(transport_->heldCount(), 1u);
  store_->signOut();
  transport_->reply(200);
  transport_->reply(200);  // the logout
  transport_->holdReplies(false);
  while (transport_->heldCount() > 0)
    transport_->releaseOne();
  settle();
  EXPECT_EQ(store_->state(), SessionState::unauthenticated());
  EXPECT_FALSE(store_->currentSession());
}

TEST_F(SessionStoreRecoveryTest, RecoveryWithoutASessionSendsNothingEvenWhenForced) {
  store_->recoverSession(0, true);
  store_->recoverSession(0, false);
  settle();
  EXPECT_TRUE(transport_->sent.empty());
  EXPECT_EQ(store_->state(), SessionState::loading());
}

TEST_F(SessionStoreRecoveryTest, RetryWithoutASessionRestoresAgain) {
  secrets_->setReads(FakeSecretStore::Answer::fails);
  secrets_->setItem(storedSession("a@orlith.example", "v").encode());
  run(store_->restoreStoredSession());
  ASSERT_EQ(store_->state(), SessionState::recoveryUnavailable());
  secrets_->setReads(FakeSecretStore::Answer::normally);
  takeTrail();

  store_->retryRecovery();
  settle();
  EXPECT_EQ(takeTrail(), (Trail{"state=loading", "revision=1", "session=v",
                                "state=authenticated(a@orlith.example)"}));
  EXPECT_TRUE(transport_->sent.empty());
}

TEST_F(SessionStoreRecoveryTest, RetryWithASessionReValidatesAtOnceDespiteTheThrottle) {
  signInWith("v");
  transport_->reply(503);
  store_->recoverSession(store_->sessionRevision(), false);
  settle();
  ASSERT_EQ(store_->state(), SessionState::recoveryUnavailable());
  takeTrail();

  transport_->reply(200);
  store_->retryRecovery();
  EXPECT_EQ(takeTrail(), (Trail{"state=authenticated(a@orlith.example)", "state=loading"}));
  settle();
  EXPECT_EQ(requestsTo("/api/app/bootstrap"), 2u);
  EXPECT_TRUE(store_->state().isAuthenticated());

  store_->retryRecovery();  // only in recoveryUnavailable
  settle();
  EXPECT_EQ(requestsTo("/api/app/bootstrap"), 2u);
}

// A store that does not answer has removed nothing: sign-out tries again, and what is still due
// after that is tried before the next operation starts.
TEST_F(SessionStoreRecoveryTest, SignOutRemovalRetriesReadsThatTimedOut) {
  for (const int timeouts : {1, SessionStore::kCookieCleanupAttempts}) {
    SCOPED_TRACE(timeouts);
    signInWith("v");
    transport_->sent.clear();
    webCookies_->cookies = {sessionCookie("v")};
    webCookies_->readsTimingOut = timeouts;
    transport_->reply(200);  // the logout
    store_->signOut();
    settle();
    if (timeouts < SessionStore::kCookieCleanupAttempts) {
      EXPECT_TRUE(webCookies_->cookies.empty());
      continue;
    }
    EXPECT_EQ(webCookies_->cookies.size(), 1u) << "no read answered yet";
    transport_->reply(200, R"({"requiresTwoFactor": true, "pendingToken": "p1"})");
    StartedTask<void> signingIn(store_->submitEmailSignIn("a@orlith.example", "pw"));
    settle();
    EXPECT_TRUE(webCookies_->cookies.empty());
    EXPECT_EQ(requestsTo("/api/auth/login"), 1u);
  }
}

TEST_F(SessionStoreRecoveryTest, OperationAfterSignOutWaitsForTheCookieCleanup) {
  signInWith("v");
  transport_->sent.clear();
  webCookies_->cookies = {sessionCookie("v")};
  webCookies_->holdCalls(true);
  transport_->reply(200);  // the logout
  store_->signOut();
  transport_->reply(200, R"({"requiresTwoFactor": true, "pendingToken": "p1"})");
  StartedTask<void> signingIn(store_->submitEmailSignIn("a@orlith.example", "pw"));
  queue_.runUntilIdle();
  EXPECT_EQ(requestsTo("/api/auth/login"), 0u);
  webCookies_->holdCalls(false);
  while (webCookies_->heldCount() > 0) {
    webCookies_->releaseOne();
    queue_.runUntilIdle();
  }
  settle();
  EXPECT_TRUE(webCookies_->cookies.empty());
  EXPECT_EQ(requestsTo("/api/auth/login"), 1u);
  EXPECT_EQ(store_->pendingTwoFactorToken(), "p1");
}

// The account's other website data goes after its cookies, on the same clean-up; the next
// sign-in waits for it and clears once more before its session is entered, as the old pages may
// have written while they unloaded.
TEST_F(SessionStoreRecoveryTest, SignOutClearsTheAccountDataAfterItsCookiesAndTheNextSignInAgain) {
  signInWith("v");
  transport_->sent.clear();
  webCookies_->cookies = {sessionCookie("v")};
  webCookies_->calls.clear();
  webCookies_->holdCalls(true);
  transport_->reply(200);  // the logout
  store_->signOut();
  transport_->reply(200, R"({"requiresTwoFactor": true, "pendingToken": "p1"})");
  StartedTask<void> signingIn(store_->submitEmailSignIn("a@orlith.example", "pw"));
  queue_.runUntilIdle();
  while (webCookies_->heldCount() > 0) {
    EXPECT_EQ(requestsTo("/api/auth/login"), 0u) << "signed in before the clean-up ended";
    webCookies_->releaseOne();
    queue_.runUntilIdle();
  }
  webCookies_->holdCalls(false);
  settle();
  EXPECT_EQ(webCookies_->calls,
            (std::vector<std::string>{"read", "remove orlith_session=v@orlith.example", "clear"}));
  EXPECT_EQ(requestsTo("/api/auth/login"), 1u);

  webCookies_->calls.clear();
  replySignedIn("w");
  run(store_->submitTwoFactorCode(BusyIndicator::shown, "p1", "123456"));
  settle();
  ASSERT_TRUE(store_->state().isAuthenticated());
  EXPECT_EQ(webCookies_->calls, (std::vector<std::string>{"read", "clear"}));

  // With no sign-out since the last save there is nothing of another account to clear.
  webCookies_->cookies = {sessionCookie("w")};
  webCookies_->calls.clear();
  replySignedIn("x");
  run(store_->submitEmailSignIn("a@orlith.example", "pw"));
  settle();
  EXPECT_EQ(webCookies_->calls,
            (std::vector<std::string>{"read", "remove orlith_session=w@orlith.example"}));
}

}  // namespace
}  // namespace orlith::testing
