// Password sign-in, the two-factor challenge, the operation frame's failure rule and the
// sign-in completion, with the order in which each publishes.
#include <gtest/gtest.h>

#include "SessionStoreFixture.h"

namespace orlith::testing {
namespace {

using namespace std::chrono_literals;
using Trail = std::vector<std::string>;

class SessionStoreSignInTest : public SessionStoreFixture {
 protected:
  // Signs in up to the two-factor challenge with pending token "p1".
  void openChallenge() {
    transport_->reply(200, R"({"requiresTwoFactor": true, "pendingToken": "p1"})");
    run(store_->submitEmailSignIn(" a@orlith.example\n", "pw"));
    ASSERT_EQ(store_->pendingTwoFactorToken(), "p1");
    takeTrail();
  }
};

TEST_F(SessionStoreSignInTest, BlankEmailOrEmptyPasswordDoesNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "pw"}, {" \t\n\u3000", "pw"}, {"a@orlith.example", ""}};
  for (const auto& [email, password] : cases) {
    run(store_->submitEmailSignIn(email, password));
  }
  EXPECT_TRUE(transport_->sent.empty());
  EXPECT_EQ(takeTrail(), Trail{});
}

TEST_F(SessionStoreSignInTest, PasswordSignInRemovesOldCookiesThenSavesThenEnters) {
  webCookies_->cookies = {sessionCookie("old")};
  webCookies_->holdCalls(true);
  replySignedIn("v", R"({"requiresTwoFactor": false})");
  StartedTask<void> signingIn(store_->submitEmailSignIn(" a@orlith.example ", "p w "));
  queue_.runUntilIdle();
  ASSERT_EQ(webCookies_->heldCount(), 1u);
  EXPECT_TRUE(secrets_->calls().empty()) << "saved before the old cookies were removed";
  webCookies_->holdCalls(false);
  webCookies_->releaseOne();
  settle();

  ASSERT_TRUE(signingIn.isDone());
  EXPECT_EQ(requestBody(0), R"({"email":"a@orlith.example","password":"p w "})");
  EXPECT_TRUE(webCookies_->cookies.empty());
  EXPECT_EQ(keyringSession(), store_->currentSession());
  EXPECT_EQ(store_->currentSession()->email, "a@orlith.example");
  EXPECT_FALSE(signedOutFlag());
  EXPECT_EQ(takeTrail(), (Trail{"isBusy=1", "revision=1", "isBusy=0", "session=v",
                                "state=authenticated(a@orlith.example)"}));
}

TEST_F(SessionStoreSignInTest, CompletionFailuresShowTheirTextAndStaySignedOut) {
  struct Case {
    const char* name;
    bool setsCookie;
    bool keyringRefuses;
    const char* message;
  };
  const Case cases[] = {
      {"no cookie", false, false, kNoSessionReturnedMessage},
      {"keyring refuses", true, true, kKeyringSaveFailedMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    secrets_->setUpdates(c.keyringRefuses ? FakeSecretStore::Answer::fails
                                          : FakeSecretStore::Answer::normally);
    secrets_->setAdds(c.keyringRefuses ? FakeSecretStore::Answer::fails
                                       : FakeSecretStore::Answer::normally);
    if (c.setsCookie)
      replySignedIn("v");
    else
      transport_->reply(200, "{}");
    store_->setShowingError(false);
    takeTrail();
    run(store_->submitEmailSignIn("a@orlith.example", "pw"));
    settle();
    EXPECT_EQ(takeTrail(),
              (Trail{"isBusy=1", std::string("error=") + c.message, "showingError=1", "isBusy=0"}));
    EXPECT_FALSE(store_->currentSession());
    EXPECT_EQ(store_->sessionRevision(), 0);
  }
}

TEST_F(SessionStoreSignInTest, RequestFailuresFollowTheFailureRule) {
  struct Case {
    const char* name;
    std::function<void(FakeHttpTransport&)> script;
    std::optional<std::string> message;
  };
  const Case cases[] = {
      {"service message", [](auto& t) { t.reply(401, R"({"error": "Incorrect e-mail."})"); },
       "Incorrect e-mail."},
      {"status without message", [](auto& t) { t.reply(500, "{}"); },
       OrlithAuthError::http(500, std::nullopt).failureMessage()},
      {"offline",
       [](auto& t) { t.fail(TransportError::url(UrlErrorCode::notConnectedToInternet)); },
       std::string(kOfflineDescription)},
      {"cancelled request", [](auto& t) { t.fail(TransportError::url(UrlErrorCode::cancelled)); },
       std::nullopt},
      {"cancelled task", [](auto& t) { t.fail(TaskCancelled()); }, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.script(*transport_);
    run(store_->submitEmailSignIn("a@orlith.example", "pw"));
    Trail expected{"isBusy=1"};
    if (c.message)
      expected = {"isBusy=1", "error=" + *c.message, "showingError=1", "isBusy=0"};
    else
      expected.push_back("isBusy=0");
    EXPECT_EQ(takeTrail(), expected);
    store_->setShowingError(false);
    takeTrail();
  }
}

TEST_F(SessionStoreSignInTest, PendingTokenOpensTheChallengeWithoutAnAlert) {
  transport_->reply(200, R"({"requiresTwoFactor": true, "pendingToken": "p1"})");
  run(store_->submitEmailSignIn("a@orlith.example", "pw"));
  EXPECT_EQ(takeTrail(), (Trail{"isBusy=1", "pending=p1", "isBusy=0"}));
  EXPECT_FALSE(store_->showingError());
  EXPECT_FALSE(store_->twoFactorError());
}

TEST_F(SessionStoreSignInTest, WrongCodeKeepsTheSheetAndTheNextCodeCarriesTheNewToken) {
  openChallenge();
  transport_->reply(401, R"({"error": "nope", "pendingToken": "p2"})");
  run(store_->submitTwoFactorCode(BusyIndicator::shown, "p1", "000000"));
  EXPECT_EQ(takeTrail(),
            (Trail{"isBusy=1", "pending=p2",
                   std::string("twoFactorError=") + kTwoFactorRetryMessage, "isBusy=0"}));
  EXPECT_FALSE(store_->showingError());

  replySignedIn("v");
  run(store_->submitTwoFactorCode(BusyIndicator::shown, "p2", "123456"));
  settle();
  EXPECT_EQ(requestBody(2), R"({"code":"123456","pendingToken":"p2"})");
  EXPECT_EQ(takeTrail(), (Trail{"isBusy=1", "twoFactorError=none", "pending=none", "revision=1",
                                "isBusy=0", "session=v", "state=authenticated(a@orlith.example)"}));
  // The e-mail typed at the login survives the challenge.
  EXPECT_EQ(keyringSession()->email, "a@orlith.example");
}

TEST_F(SessionStoreSignInTest, ExpiredChallengeClosesTheSheetAndAlerts) {
  openChallenge();
  transport_->reply(401, R"({"expired": true})");
  run(store_->submitTwoFactorCode(BusyIndicator::shown, "p1", "123456"));
  EXPECT_EQ(takeTrail(),
            (Trail{"isBusy=1", "pending=none", std::string("error=") + kTwoFactorExpiredMessage,
                   "showingError=1", "isBusy=0"}));
}

TEST_F(SessionStoreSignInTest, CodeForATokenNoLongerPendingSendsNothing) {
  run(store_->submitTwoFactorCode(BusyIndicator::shown, "p1", "123456"));
  openChallenge();
  run(store_->submitTwoFactorCode(BusyIndicator::shown, "p0", "123456"));
  EXPECT_EQ(transport_->sent.size(), 1u);
  EXPECT_EQ(takeTrail(), Trail{});
}

TEST_F(SessionStoreSignInTest, ResultAfterDismissalOrSignOutChangesNothing) {
  struct Case {
    const char* name;
    std::function<void(SessionStore&)> interrupt;
    Trail interruption;
  };
  const Case cases[] = {
      {"dismissed", [](SessionStore& s) { s.cancelTwoFactor(); },
       Trail{"isBusy=0", "pending=none"}},
      {"signed out", [](SessionStore& s) { s.signOut(); },
       Trail{"revision=1", "isBusy=0", "pending=none", "state=unauthenticated"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    openChallenge();
    transport_->holdReplies(true);
    StartedTask<void> submitting(store_->submitTwoFactorCode(BusyIndicator::shown, "p1", "123456"));
    queue_.runUntilIdle();
    ASSERT_EQ(transport_->heldCount(), 1u);
    c.interrupt(*store_);
    replySignedIn("late");
    transport_->holdReplies(false);
    transport_->releaseOne();
    settle();
    ASSERT_TRUE(submitting.isDone());
    Trail trail = takeTrail();
    EXPECT_EQ(Trail(trail.begin() + 1, trail.end()), c.interruption) << "after isBusy=1";
    EXPECT_FALSE(store_->state().isAuthenticated());
    EXPECT_FALSE(keyringSession());
    store_->setShowingError(false);
    time_->advance(1s);
  }
}

TEST_F(SessionStoreSignInTest, CompletionStaleAfterSignOutSavesNothing) {
  webCookies_->holdCalls(true);
  replySignedIn("v");
  StartedTask<void> signingIn(store_->submitEmailSignIn("a@orlith.example", "pw"));
  queue_.runUntilIdle();
  ASSERT_EQ(webCookies_->heldCount(), 1u);
  store_->signOut();
  webCookies_->holdCalls(false);
  while (webCookies_->heldCount() > 0) {
    webCookies_->releaseOne();
    queue_.runUntilIdle();
  }
  settle();
  ASSERT_TRUE(signingIn.isDone());
  EXPECT_EQ(store_->state(), SessionState::unauthenticated());
  EXPECT_FALSE(keyringSession());
  EXPECT_TRUE(signedOutFlag());
  for (const std::string& call : secrets_->calls())
    EXPECT_EQ(call.rfind("remove", 0), 0u) << call;
}

TEST_F(SessionStoreSignInTest, SecondOperationWhileOneRunsIsIgnored) {
  transport_->holdReplies(true);
  StartedTask<void> first(store_->submitEmailSignIn("a@orlith.example", "pw"));
  queue_.runUntilIdle();
  run(store_->submitEmailSignIn("b@orlith.example", "pw"));
  EXPECT_FALSE(run(store_->requestPasswordReset(BusyIndicator::hidden, "b@orlith.example")));
  EXPECT_EQ(transport_->sent.size(), 1u);
  transport_->reply(200, R"({"requiresTwoFactor": true, "pendingToken": "p1"})");
  transport_->holdReplies(false);
  transport_->releaseOne();
  settle();
  EXPECT_EQ(takeTrail(), (Trail{"isBusy=1", "pending=p1", "isBusy=0"}));
}

TEST_F(SessionStoreSignInTest, ActivationClearsTheChallenge) {
  openChallenge();
  store_->presentError("typo");
  store_->activate(storedSession("a@orlith.example", "v"));
  EXPECT_FALSE(store_->pendingTwoFactorToken());
  EXPECT_FALSE(store_->twoFactorError());
}

}  // namespace
}  // namespace orlith::testing
