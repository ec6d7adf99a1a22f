// The whole account road for real: the session store over libcurl against the stand-in service,
// with the keyring of the test's own Secret Service; only the web views' cookie store is a fake.
#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>

#include "CurlFixture.h"
#include "platform/secret/LibsecretSecretStore.h"
#include "session/SessionStore.h"
#include "support/FakePreferences.h"
#include "support/ManualTime.h"
#include "support/StandinProcess.h"
#include "unit/session/FakeWebCookieStore.h"

namespace orlith::testing {
namespace {

using namespace std::chrono_literals;

class SessionStoreRoadTest : public CurlFixture {
 protected:
  void SetUp() override {
    transport_ = std::make_shared<CurlHttpTransport>(
        LocalTlsAuthority{"127.0.0.1", std::string(ORLITH_DEV_DIR) + "/ca.pem"});
  }
  void TearDown() override { secrets_->remove(keychain_->key()); }

  // A store as the app makes one at launch, on a clock that starts at `wallStart`.
  std::shared_ptr<SessionStore> launch(std::shared_ptr<ManualTime> time) {
    auto store = SessionStore::create(SessionStore::Dependencies{
        environmentAt(standin_.origin()), transport_,
        AppIdentity{"2.3", "45", "com.tolvik.orlith.mac"}, time, vault_,
        std::make_shared<SessionCookieCoordinator>(environmentAt(standin_.origin()).hosts(), time),
        webCookies_, std::make_shared<RandomUuidSource>()});
    run(store->restoreStoredSession());
    return store;
  }

  // Iterates the main loop until `done` holds; fails after 30 s.
  void waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done()) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "timed out";
      if (!g_main_context_iteration(nullptr, FALSE))
        g_usleep(1000);
    }
  }
  // Lets detached work (keyring writes, the logout) finish.
  void drain() {
    const auto until = std::chrono::steady_clock::now() + 500ms;
    while (std::chrono::steady_clock::now() < until) {
      if (!g_main_context_iteration(nullptr, FALSE))
        g_usleep(1000);
    }
  }

  Task<nlohmann::json> standin(std::string method, std::string path, nlohmann::json body) {
    auto session = transport_->makeSession({});
    HttpRequest request;
    request.url = standin_.origin() + path;
    request.method = std::move(method);
    request.headers.add("Content-Type", "application/json");
    request.body = body.dump();
    Task<HttpResponse> sending = session->send(std::move(request));
    HttpResponse response = co_await std::move(sending);
    co_return nlohmann::json::parse(response.body, nullptr, false);
  }

  std::optional<StoredSession> keyringSession() {
    SecretReadResult read = secrets_->read(keychain_->key());
    if (read.kind != SecretReadResult::Kind::data)
      return std::nullopt;
    return StoredSession::decode(read.data);
  }

  StandinProcess standin_{ORLITH_STANDIN_PATH, ORLITH_DEV_DIR};
  std::shared_ptr<LibsecretSecretStore> secrets_ =
      std::make_shared<LibsecretSecretStore>("com.tolvik.orlith.mac");
  std::shared_ptr<SessionKeychain> keychain_ = std::make_shared<SessionKeychain>(
      secrets_, "org.orlith.test." + makeRandomUuid() + ".session");
  FakePreferences preferences_;
  std::shared_ptr<SessionVault> vault_ = std::make_shared<SessionVault>(keychain_, preferences_);
  std::shared_ptr<FakeWebCookieStore> webCookies_ = std::make_shared<FakeWebCookieStore>();
};

TEST_F(SessionStoreRoadTest, SignInWithCodeRestartRecoverExpireAndSignOut) {
  const auto now = std::chrono::system_clock::now();
  auto store = launch(std::make_shared<ManualTime>(now));
  ASSERT_EQ(store->state(), SessionState::unauthenticated());

  run(store->submitEmailSignIn(" two-factor@orlith.test ", "orlith-demo"));
  ASSERT_TRUE(store->pendingTwoFactorToken());
  const std::string first = *store->pendingTwoFactorToken();
  run(store->submitTwoFactorCode(BusyIndicator::shown, first, "000000"));
  EXPECT_EQ(store->twoFactorError(), kTwoFactorRetryMessage);
  ASSERT_TRUE(store->pendingTwoFactorToken());
  EXPECT_NE(*store->pendingTwoFactorToken(), first);
  run(store->submitTwoFactorCode(BusyIndicator::shown, *store->pendingTwoFactorToken(), "123456"));
  ASSERT_EQ(store->state(), SessionState::authenticated("two-factor@orlith.test"));
  EXPECT_FALSE(store->isBusy());
  const StoredSession signedIn = *store->currentSession();
  EXPECT_EQ(keyringSession(), signedIn);
  EXPECT_EQ(signedIn.cookie.domain, "127.0.0.1");
  EXPECT_TRUE(signedIn.cookie.isSecure);

  // A restart a day after the cookie's expiry: the session is entered without it.
  store.reset();
  auto time = std::make_shared<ManualTime>(now + 31 * 24h);
  store = launch(time);
  ASSERT_EQ(store->state(), SessionState::authenticated("two-factor@orlith.test"));
  EXPECT_EQ(store->currentSession()->cookie.value, signedIn.cookie.value);
  EXPECT_FALSE(store->currentSession()->cookie.expiresAt);
  // Back to the service's time, so that the cookies it sets from here on are not already expired.
  time->setWallNow(now);

  // The service still knows it and renews it; the renewal reaches keyring and web views.
  const std::int64_t revision = store->sessionRevision();
  store->recoverSession(revision, false);
  EXPECT_EQ(store->state(), SessionState::loading());
  waitUntil([&] { return store->state() != SessionState::loading(); });
  ASSERT_TRUE(store->state().isAuthenticated());
  EXPECT_EQ(store->sessionRevision(), revision + 1);
  const StoredSession renewed = *store->currentSession();
  EXPECT_EQ(renewed.cookie.value, signedIn.cookie.value);
  EXPECT_TRUE(renewed.cookie.expiresAt);
  drain();
  EXPECT_EQ(keyringSession(), renewed);
  ASSERT_EQ(webCookies_->cookies.size(), 1u);
  EXPECT_EQ(StoredCookie::fromHttpCookie(webCookies_->cookies[0]), renewed.cookie);

  // Expired at the service: the next recovery, a minute on, ends the session here too.
  run(standin("POST", "/__standin/expire-sessions", nlohmann::json::object()));
  time->advance(61s);
  store->recoverSession(store->sessionRevision(), false);
  waitUntil([&] { return store->state() != SessionState::loading(); });
  EXPECT_EQ(store->state(), SessionState::unauthenticated());
  drain();
  EXPECT_FALSE(keyringSession());
  EXPECT_TRUE(webCookies_->cookies.empty());

  // Signed in again and out: the service hears the logout with the session's cookie.
  run(store->submitEmailSignIn("demo@orlith.test", "orlith-demo"));
  ASSERT_EQ(store->state(), SessionState::authenticated("demo@orlith.test"));
  const std::string cookie = "orlith_session=" + store->currentSession()->cookie.value;
  drain();
  ASSERT_TRUE(keyringSession());
  store->signOut();
  EXPECT_EQ(store->state(), SessionState::unauthenticated());
  drain();
  EXPECT_FALSE(keyringSession());
  auto requests = run(standin("GET", "/__standin/requests", nlohmann::json::object()));
  ASSERT_TRUE(requests.is_array());
  ASSERT_EQ(requests.back()["path"], "/api/auth/logout");
  bool sentCookie = false;
  for (const auto& header : requests.back()["headers"]) {
    sentCookie = sentCookie || (header[0] == "Cookie" && header[1] == cookie);
  }
  EXPECT_TRUE(sentCookie);

  // The next launch finds nobody signed in.
  store.reset();
  EXPECT_EQ(launch(time)->state(), SessionState::unauthenticated());
}

TEST_F(SessionStoreRoadTest, ProviderHandoffSignsInOnce) {
  auto store = launch(std::make_shared<ManualTime>(std::chrono::system_clock::now()));
  auto start = run(store->startProviderSignIn(BusyIndicator::hidden, "github"));
  ASSERT_TRUE(start);
  EXPECT_EQ(start->url.lowercasedHost(), "github.com");

  auto issued = run(standin("POST", "/__standin/handoff", {{"email", "demo@orlith.test"}}));
  const std::string token = issued["token"];
  auto handoff = run(store->consumeProviderHandoff(token, start->ticket));
  ASSERT_TRUE(handoff);
  EXPECT_EQ(handoff->email, "demo@orlith.test");
  run(store->acceptProviderHandoff(*handoff, start->ticket));
  ASSERT_EQ(store->state(), SessionState::authenticated("demo@orlith.test"));
  drain();
  EXPECT_EQ(keyringSession(), store->currentSession());

  store->signOut();
  auto again = run(store->startProviderSignIn(BusyIndicator::hidden, "github"));
  ASSERT_TRUE(again);
  EXPECT_FALSE(run(store->consumeProviderHandoff(token, again->ticket)));
  EXPECT_EQ(store->state(), SessionState::unauthenticated());
  drain();
}

}  // namespace
}  // namespace orlith::testing
