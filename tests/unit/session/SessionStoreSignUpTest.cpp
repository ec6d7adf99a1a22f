// Sign-up by e-mailed code, password reset, and the provider sign-in start and callbacks.
#include <gtest/gtest.h>

#include "SessionStoreFixture.h"

namespace orlith::testing {
namespace {

using namespace std::chrono_literals;
using Trail = std::vector<std::string>;

class SessionStoreSignUpTest : public SessionStoreFixture {
 protected:
  void requestChallenge(const std::string& id) {
    transport_->reply(200, R"({"ok": true, "challengeId": ")" + id + R"("})");
    ASSERT_TRUE(run(
        store_->requestSignupCode(BusyIndicator::shown, " New ", " new@orlith.example ", " pw")));
  }
  SessionStore::ProviderSignInStart startProvider() {
    transport_->reply(200, R"({"redirectTo": "https://github.com/login/oauth"})");
    auto start = run(store_->startProviderSignIn(BusyIndicator::hidden, "github"));
    EXPECT_TRUE(start);
    return start.value_or(SessionStore::ProviderSignInStart{*Url::parse("https://x"), {}});
  }
};

TEST_F(SessionStoreSignUpTest, VerifiedCodeSignsInWithTheSignUpEmail) {
  requestChallenge("c1");
  EXPECT_EQ(requestBody(0), R"({"email":"new@orlith.example","name":"New","password":" pw"})");
  EXPECT_EQ(takeTrail(), (Trail{"isBusy=1", "challenge=c1", "isBusy=0"}));

  store_->setSignupCode("123456");
  replySignedIn("v");
  run(store_->submitSignupCode());
  settle();
  EXPECT_EQ(requestBody(1), R"({"challengeId":"c1","code":"123456"})");
  EXPECT_EQ(takeTrail(),
            (Trail{"code=123456", "isBusy=1", "challenge=none", "code=", "revision=1", "isBusy=0",
                   "session=v", "state=authenticated(new@orlith.example)"}));
  EXPECT_EQ(keyringSession()->email, "new@orlith.example");
}

TEST_F(SessionStoreSignUpTest, OnlyASixCharacterCodeIsSent) {
  requestChallenge("c1");
  for (const char* code : {"", "12345", "1234567", "١٢٣٤٥"}) {
    store_->setSignupCode(code);
    run(store_->submitSignupCode());
  }
  EXPECT_EQ(transport_->sent.size(), 1u);
  // Six code points, whatever their bytes.
  store_->setSignupCode("١٢٣٤٥٦");
  transport_->reply(400, R"({"error": "That code didn't work. Please try again."})");
  run(store_->submitSignupCode());
  EXPECT_EQ(transport_->sent.size(), 2u);
  EXPECT_EQ(store_->errorMessage(), kTwoFactorRetryMessage);
}

TEST_F(SessionStoreSignUpTest, VerifyResultOfAStaleChallengeIsDropped) {
  requestChallenge("c1");
  store_->setSignupCode("123456");
  transport_->holdReplies(true);
  StartedTask<void> verifying(store_->submitSignupCode());
  queue_.runUntilIdle();
  store_->clearSignupChallenge();  // the e-mail was edited meanwhile
  takeTrail();
  replySignedIn("v");
  transport_->holdReplies(false);
  transport_->releaseOne();
  settle();
  ASSERT_TRUE(verifying.isDone());
  EXPECT_EQ(takeTrail(), Trail{"isBusy=0"});
  EXPECT_FALSE(store_->currentSession());
}

TEST_F(SessionStoreSignUpTest, ResetReportsWhetherTheMailWasSent) {
  struct Case {
    const char* name;
    std::function<void(FakeHttpTransport&)> reply;
    bool sent;
    bool alerts;
  };
  const Case cases[] = {
      {"ok false", [](auto& t) { t.reply(200, R"({"ok": false})"); }, false, false},
      {"empty reply", [](auto& t) { t.reply(200, "{}"); }, true, false},
      {"cancelled", [](auto& t) { t.fail(TransportError::url(UrlErrorCode::cancelled)); }, false,
       false},
      {"refused", [](auto& t) { t.reply(400, R"({"message": "No such account."})"); }, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    store_->setShowingError(false);
    c.reply(*transport_);
    EXPECT_EQ(run(store_->requestPasswordReset(BusyIndicator::hidden, " a@orlith.example\t")),
              c.sent);
    EXPECT_EQ(requestBody(transport_->sent.size() - 1), R"({"email":"a@orlith.example"})");
    EXPECT_EQ(store_->showingError(), c.alerts);
    EXPECT_FALSE(store_->isBusy());
  }
  EXPECT_EQ(store_->errorMessage(), "No such account.");
}

TEST_F(SessionStoreSignUpTest, ProviderStartReturnsOnlyATrustedUrlWithItsTicket) {
  transport_->reply(200, R"({"redirectTo": "https://accounts.google.com/o/oauth2/v2/auth"})");
  auto start = run(store_->startProviderSignIn(BusyIndicator::hidden, "google"));
  ASSERT_TRUE(start);
  EXPECT_EQ(start->url.absoluteString(), "https://accounts.google.com/o/oauth2/v2/auth");
  EXPECT_TRUE(store_->isProviderAttemptCurrent(start->ticket));
  EXPECT_EQ(
      requestBody(0),
      R"({"mode":"signup","nativeCallbackUrl":"orlith://auth/callback","provider":"google"})");
  EXPECT_EQ(takeTrail(), Trail{});

  transport_->reply(200, R"({"redirectTo": "https://evil.example/auth"})");
  EXPECT_FALSE(run(store_->startProviderSignIn(BusyIndicator::hidden, "google")));
  EXPECT_EQ(takeTrail(), (Trail{"error=Orlith returned an unexpected response. Please try again.",
                                "showingError=1"}));
}

TEST_F(SessionStoreSignUpTest, AHandoffIsConsumedOnceAndKeptOnlyOnceAccepted) {
  const auto older = startProvider();
  const auto newer = startProvider();
  EXPECT_FALSE(run(store_->consumeProviderHandoff("t0", older.ticket)));
  EXPECT_EQ(transport_->sent.size(), 2u) << "a superseded attempt's callback is inert";

  transport_->reply(200, R"({"ok": true, "email": "p@orlith.example",
      "cookie": {"name": "orlith_session", "value": "h", "secure": true, "path": "/"}})");
  takeTrail();
  auto handoff = run(store_->consumeProviderHandoff("t1", newer.ticket));
  settle();
  EXPECT_EQ(requestBody(2), R"({"token":"t1"})");
  ASSERT_TRUE(handoff);
  EXPECT_EQ(handoff->email, "p@orlith.example");
  EXPECT_EQ(handoff->cookie.value, "h");
  // Any program can send the callback link: nothing of the account is kept before the person
  // agrees to it.
  EXPECT_EQ(takeTrail(), (Trail{"isBusy=1", "isBusy=0"}));
  EXPECT_FALSE(secrets_->item());
  EXPECT_TRUE(store_->isProviderAttemptCurrent(newer.ticket));

  run(store_->acceptProviderHandoff(*handoff, newer.ticket));
  settle();
  EXPECT_EQ(takeTrail(), (Trail{"isBusy=1", "revision=1", "isBusy=0", "session=h",
                                "state=authenticated(p@orlith.example)"}));
  EXPECT_EQ(store_->currentSession()->cookie.domain, "orlith.example");
  EXPECT_EQ(keyringSession()->email, "p@orlith.example");

  store_->signOut();
  settle();
  const auto again = startProvider();
  EXPECT_FALSE(run(store_->consumeProviderHandoff("t1", again.ticket)));
  EXPECT_EQ(transport_->sent.size(), 5u) << "a token is consumed only once";
}

TEST_F(SessionStoreSignUpTest, AHandoffThatIsNotEnteredIsLoggedOutAtTheService) {
  struct Case {
    const char* name;
    std::function<void(const SessionStore::ProviderHandoff&, const ProviderSignInGate::Ticket&)>
        leave;
  };
  const Case cases[] = {
      {"declined",
       [&](const auto& handoff, const auto&) { store_->declineProviderHandoff(handoff); }},
      {"accepted after a newer attempt",
       [&](const auto& handoff, const auto& ticket) {
         startProvider();
         run(store_->acceptProviderHandoff(handoff, ticket));
       }},
      {"accepted after a password sign-in began",
       [&](const auto& handoff, const auto& ticket) {
         transport_->reply(200, R"({"requiresTwoFactor": true, "pendingToken": "p1"})");
         run(store_->submitEmailSignIn("a@orlith.example", "pw"));
         run(store_->acceptProviderHandoff(handoff, ticket));
         store_->cancelTwoFactor();
       }},
  };
  int token = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto start = startProvider();
    transport_->reply(200, R"({"ok": true, "email": "other@orlith.example",
        "cookie": {"name": "orlith_session", "value": "x", "secure": true, "path": "/"}})");
    auto handoff = run(store_->consumeProviderHandoff("t" + std::to_string(++token), start.ticket));
    ASSERT_TRUE(handoff);
    c.leave(*handoff, start.ticket);
    settle();
    ASSERT_TRUE(transport_->sent.back().request.url.ends_with("/api/auth/logout"));
    EXPECT_EQ(transport_->sent.back().request.headers.value("Cookie"), "orlith_session=x");
    EXPECT_FALSE(store_->currentSession());
    EXPECT_FALSE(secrets_->item());
  }
}

TEST_F(SessionStoreSignUpTest, HandoffWithoutACookieFallsBackToTheJar) {
  const auto start = startProvider();
  transport_->reply(200, R"({"ok": true, "email": "p@orlith.example"})", {}, {sessionCookie("j")});
  auto handoff = run(store_->consumeProviderHandoff("t1", start.ticket));
  ASSERT_TRUE(handoff);
  run(store_->acceptProviderHandoff(*handoff, start.ticket));
  settle();
  EXPECT_EQ(store_->currentSession()->cookie.value, "j");
  EXPECT_EQ(store_->currentSession()->email, "p@orlith.example");

  // With no cookie anywhere there is nothing to ask about.
  const auto next = startProvider();
  transport_->reply(200, R"({"ok": true, "email": "p@orlith.example"})");
  takeTrail();
  EXPECT_FALSE(run(store_->consumeProviderHandoff("t2", next.ticket)));
  EXPECT_EQ(store_->errorMessage(), kNoSessionReturnedMessage);
}

TEST_F(SessionStoreSignUpTest, PendingCallbackOpensTheChallengeOnce) {
  const auto start = startProvider();
  store_->beginProviderTwoFactor("p1", start.ticket);
  EXPECT_EQ(store_->pendingTwoFactorToken(), "p1");
  store_->cancelTwoFactor();
  store_->beginProviderTwoFactor("p2", start.ticket);
  EXPECT_FALSE(store_->pendingTwoFactorToken());
}

TEST_F(SessionStoreSignUpTest, PasswordSignInAbandonsTheProviderAttempt) {
  const auto start = startProvider();
  transport_->reply(200, R"({"requiresTwoFactor": true, "pendingToken": "p1"})");
  run(store_->submitEmailSignIn("a@orlith.example", "pw"));
  EXPECT_FALSE(store_->isProviderAttemptCurrent(start.ticket));
}

}  // namespace
}  // namespace orlith::testing
