// A session store over fakes: scripted transport with a jar per session, in-memory keyring,
// in-memory web cookie store, manual time and queue; records every published change in order.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "AuthClientFixture.h"
#include "FakeHttpTransport.h"
#include "FakeSecretStore.h"
#include "FakeWebCookieStore.h"
#include "session/ReferenceDate.h"
#include "session/SessionStore.h"
#include "support/FakePreferences.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/RunToCompletion.h"
#include "support/SequentialUuidSource.h"

namespace orlith::testing {

class SessionStoreFixture : public ::testing::Test {
 protected:
  SessionStoreFixture() {
    transport_->useSeparateJars();
    store_->changed().connect([this](SessionField field) { trail_.push_back(describe(field)); });
  }
  void TearDown() override { settle(); }

  template <class T>
  T run(Task<T> task) {
    return runToCompletion(queue_, std::move(task));
  }

  // Runs the queue until nothing is left, also waiting a little for the keyring's thread.
  void settle() {
    do {
      queue_.runUntilIdle();
    } while (queue_.waitForWork(std::chrono::milliseconds(100)));
  }

  std::vector<std::string> takeTrail() { return std::exchange(trail_, {}); }

  std::string describe(SessionField field) const {
    auto text = [](const std::optional<std::string>& value) { return value.value_or("none"); };
    switch (field) {
      case SessionField::state: {
        const SessionState& state = store_->state();
        switch (state.kind) {
          case SessionState::Kind::authenticated:
            return "state=authenticated(" + text(state.email) + ")";
          case SessionState::Kind::loading:
            return "state=loading";
          case SessionState::Kind::unauthenticated:
            return "state=unauthenticated";
          case SessionState::Kind::recoveryUnavailable:
            return "state=recoveryUnavailable";
        }
        return "state=?";
      }
      case SessionField::currentSession:
        return "session=" + (store_->currentSession() ? store_->currentSession()->cookie.value
                                                      : std::string("none"));
      case SessionField::pendingTwoFactorToken:
        return "pending=" + text(store_->pendingTwoFactorToken());
      case SessionField::twoFactorError:
        return "twoFactorError=" + text(store_->twoFactorError());
      case SessionField::signupChallengeId:
        return "challenge=" + text(store_->signupChallengeId());
      case SessionField::signupCode:
        return "code=" + store_->signupCode();
      case SessionField::isBusy:
        return std::string("isBusy=") + (store_->isBusy() ? "1" : "0");
      case SessionField::errorMessage:
        return "error=" + text(store_->errorMessage());
      case SessionField::showingError:
        return std::string("showingError=") + (store_->showingError() ? "1" : "0");
      case SessionField::sessionRevision:
        return "revision=" + std::to_string(store_->sessionRevision());
    }
    return "?";
  }

  // The service's session cookie as the origin's host sets it.
  HttpCookie sessionCookie(const std::string& value,
                           std::chrono::seconds lifetime = std::chrono::hours(24)) const {
    HttpCookie cookie;
    cookie.name = "orlith_session";
    cookie.value = value;
    cookie.domain = "orlith.example";
    cookie.path = "/";
    cookie.secure = true;
    cookie.httpOnly = true;
    cookie.expires = time_->wallNow() + lifetime;
    return cookie;
  }
  StoredSession storedSession(std::optional<std::string> email, const std::string& value) const {
    return StoredSession{std::move(email), StoredCookie::fromHttpCookie(sessionCookie(value))};
  }
  // A reply that starts a session with this cookie value.
  void replySignedIn(const std::string& value, std::string body = "{}") {
    transport_->reply(200, std::move(body), {}, {sessionCookie(value)});
  }
  void signInWith(const std::string& value, const std::string& email = "a@orlith.example") {
    replySignedIn(value);
    run(store_->submitEmailSignIn(email, "pw"));
    settle();
    ASSERT_TRUE(store_->state().isAuthenticated());
  }
  std::optional<StoredSession> keyringSession() const {
    std::optional<std::string> item = secrets_->item();
    if (!item)
      return std::nullopt;
    return StoredSession::decode(*item);
  }
  bool signedOutFlag() const {
    return preferences_.boolean(std::string(kExplicitlySignedOutKey)).value_or(false);
  }
  std::string requestBody(std::size_t index) const {
    return transport_->sent.at(index).request.body.value_or("");
  }

  ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  std::shared_ptr<FakeHttpTransport> transport_ = std::make_shared<FakeHttpTransport>();
  std::shared_ptr<ManualTime> time_ = std::make_shared<ManualTime>();
  std::shared_ptr<FakeSecretStore> secrets_ = std::make_shared<FakeSecretStore>();
  FakePreferences preferences_;
  std::shared_ptr<SessionVault> vault_ = std::make_shared<SessionVault>(
      std::make_shared<SessionKeychain>(secrets_, "com.tolvik.orlith.mac.session"), preferences_);
  std::shared_ptr<FakeWebCookieStore> webCookies_ = std::make_shared<FakeWebCookieStore>();
  std::shared_ptr<SequentialUuidSource> ids_ = std::make_shared<SequentialUuidSource>();
  std::shared_ptr<SessionStore> store_ = SessionStore::create(SessionStore::Dependencies{
      exampleEnvironment(), transport_, AppIdentity{"2.3", "45", "com.tolvik.orlith.mac"}, time_,
      vault_, std::make_shared<SessionCookieCoordinator>(exampleHosts(), time_), webCookies_,
      ids_});
  std::vector<std::string> trail_;
};

}  // namespace orlith::testing
