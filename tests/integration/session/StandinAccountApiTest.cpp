// Every account API endpoint through libcurl against the local stand-in service over HTTPS,
// trusting the build's development authority for 127.0.0.1 only.
#include <gtest/gtest.h>

#include "CurlFixture.h"
#include "support/StandinProcess.h"

namespace orlith::testing {
namespace {

class StandinAccountApiTest : public CurlFixture {
 protected:
  void SetUp() override {
    transport_ = std::make_shared<CurlHttpTransport>(
        LocalTlsAuthority{"127.0.0.1", std::string(ORLITH_DEV_DIR) + "/ca.pem"});
    client_ = clientFor(standin_.origin());
  }

  // Queues one scripted reply on the stand-in.
  void script(const nlohmann::json& reply) {
    auto session = transport_->makeSession({});
    HttpRequest request;
    request.url = standin_.origin() + "/__standin/replies";
    request.method = "POST";
    request.headers.add("Content-Type", "application/json");
    request.body = reply.dump();
    ASSERT_EQ(run(session->send(request)).status, 204);
  }

  // Posts to one of the stand-in's own endpoints and returns the JSON it answered.
  Task<nlohmann::json> post(std::string path, nlohmann::json body) {
    auto session = transport_->makeSession({});
    HttpRequest request;
    request.url = standin_.origin() + path;
    request.method = "POST";
    request.headers.add("Content-Type", "application/json");
    request.body = body.dump();
    Task<HttpResponse> sending = session->send(std::move(request));
    HttpResponse response = co_await std::move(sending);
    co_return nlohmann::json::parse(response.body);
  }

  StandinProcess standin_{ORLITH_STANDIN_PATH, ORLITH_DEV_DIR};
  std::unique_ptr<OrlithAuthClient> client_;
};

TEST_F(StandinAccountApiTest, SignInCheckAndSignOut) {
  EXPECT_EQ(run(client_->login("demo@orlith.test", "orlith-demo")), std::nullopt);
  auto cookie = client_->currentSessionCookie();
  ASSERT_TRUE(cookie);
  EXPECT_EQ(cookie->name, "orlith_session");
  EXPECT_TRUE(cookie->secure);
  EXPECT_EQ(cookie->path, "/");

  EXPECT_EQ(run(client_->bootstrap(*cookie)).kind, BootstrapCheck::Kind::valid);
  run(client_->logout(cookie->name + "=" + cookie->value));
  EXPECT_EQ(run(client_->bootstrap(*cookie)).kind, BootstrapCheck::Kind::rejected);

  auto wrong = runError(client_->login("demo@orlith.test", "wrong"));
  ASSERT_TRUE(wrong.is<OrlithAuthError::Http>());
  EXPECT_EQ(wrong.errorDescription(), "Incorrect e-mail or password.");
}

TEST_F(StandinAccountApiTest, TwoFactorChallenge) {
  auto pending = run(client_->login("two-factor@orlith.test", "orlith-demo"));
  ASSERT_TRUE(pending);
  auto retry = run(client_->completeTwoFactor(*pending, "000000"));
  ASSERT_EQ(retry.kind, TwoFactorChallengeOutcome::Kind::retry);
  EXPECT_EQ(run(client_->completeTwoFactor(retry.pendingToken, "123456")).kind,
            TwoFactorChallengeOutcome::Kind::accepted);
  EXPECT_TRUE(client_->currentSessionCookie());
  EXPECT_EQ(run(client_->completeTwoFactor(retry.pendingToken, "123456")).kind,
            TwoFactorChallengeOutcome::Kind::expired);
}

TEST_F(StandinAccountApiTest, SignUpResetProviderAndHandoff) {
  auto code = run(client_->requestSignupCode("New", "new@orlith.test", "secret"));
  EXPECT_FALSE(code.challengeId.empty());
  run(client_->verifySignupCode(code.challengeId, "123456"));
  EXPECT_TRUE(client_->currentSessionCookie());

  EXPECT_TRUE(run(client_->forgotPassword("new@orlith.test")));
  EXPECT_EQ(*run(client_->startProviderSignIn("github", "signup")).lowercasedHost(), "github.com");
  const std::string token =
      run(post("/__standin/handoff", {{"email", "new@orlith.test"}}))["token"];
  auto handoff = run(client_->consumeNativeHandoff(token));
  ASSERT_TRUE(handoff.cookie);
  EXPECT_EQ(handoff.cookie->name, "orlith_session");
  EXPECT_EQ(handoff.email, "new@orlith.test");
  EXPECT_TRUE(runError(client_->consumeNativeHandoff(token)).is<OrlithAuthError::Http>())
      << "a hand-off token is good for one consume";
}

TEST_F(StandinAccountApiTest, ScriptedRepliesReachTheClient) {
  script({{"path", "/api/auth/login"},
          {"status", 429},
          {"headers", {{"Retry-After", "120"}}},
          {"body", "{}"}});
  auto limited = runError(client_->login("demo@orlith.test", "orlith-demo"));
  ASSERT_TRUE(limited.is<OrlithAuthError::RateLimited>());
  EXPECT_EQ(limited.as<OrlithAuthError::RateLimited>()->retryAfter, 120);

  script({{"path", "/api/auth/forgot-password"}, {"status", 500}, {"body", R"({"error": ""})"}});
  auto empty = runError(client_->forgotPassword("a@b.c"));
  EXPECT_EQ(empty.failureMessage(), "Something went wrong. Please try again.");

  script({{"path", "/api/auth/login"},
          {"setCookies", {"velmar_session=scripted; Path=/; Secure"}},
          {"body", "{}"}});
  run(client_->login("demo@orlith.test", "orlith-demo"));
  EXPECT_EQ(client_->currentSessionCookie()->value, "scripted");
}

TEST_F(StandinAccountApiTest, TheDevelopmentAuthorityIsNotTrustedForAnotherHostName) {
  transport_ = std::make_shared<CurlHttpTransport>(
      LocalTlsAuthority{"localhost", std::string(ORLITH_DEV_DIR) + "/ca.pem"});
  auto client = clientFor(standin_.origin());
  auto error = runError(client->forgotPassword("a@b.c"));
  ASSERT_TRUE(error.is<OrlithAuthError::Network>()) << error.what();
  EXPECT_EQ(error.as<OrlithAuthError::Network>()->error.code(), -1200);
}

}  // namespace
}  // namespace orlith::testing
