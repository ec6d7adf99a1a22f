// Reply mapping of each account API endpoint, the two-factor outcomes, the session check and
// the session cookies of the client session.
#include <gtest/gtest.h>

#include "AuthClientFixture.h"

namespace orlith::testing {
namespace {

using namespace std::chrono_literals;

class EndpointTest : public AuthClientFixture {};

TEST_F(EndpointTest, LoginReturnsOnlyANonEmptyPendingToken) {
  struct Case {
    std::string body;
    std::optional<std::string> token;
  };
  const Case cases[] = {{R"({"requiresTwoFactor": true, "pendingToken": "p"})", "p"},
                        {R"({"requiresTwoFactor": true, "pendingToken": ""})", std::nullopt},
                        {R"({"requiresTwoFactor": false, "pendingToken": "p"})", std::nullopt},
                        {R"({"pendingToken": "p"})", std::nullopt},
                        {"not json", std::nullopt},
                        {"", std::nullopt}};
  for (const auto& c : cases) {
    transport_->reply(200, c.body);
    EXPECT_EQ(run(client_.login("a@b.c", "pw")), c.token) << c.body;
  }
  EXPECT_EQ(lastRequest().url, "https://orlith.example/api/auth/login");
  EXPECT_EQ(lastRequest().body, R"({"email":"a@b.c","password":"pw"})");
}

TEST_F(EndpointTest, ForgotPasswordIsTrueUnlessTheServiceSaysFalse) {
  const std::pair<std::string, bool> cases[] = {
      {R"({"ok": false})", false}, {R"({"ok": true})", true}, {"{}", true}, {"", true}};
  for (const auto& [body, expected] : cases) {
    transport_->reply(200, body);
    EXPECT_EQ(run(client_.forgotPassword("a@b.c")), expected) << body;
  }
}

TEST_F(EndpointTest, SignupCodeMustDecode) {
  transport_->reply(200, R"({"ok": true, "challengeId": "c1", "expiresInMinutes": 10})");
  auto response = run(client_.requestSignupCode("N", "a@b.c", "pw"));
  EXPECT_EQ(response.challengeId, "c1");
  EXPECT_EQ(response.expiresInMinutes, 10);
  EXPECT_EQ(lastRequest().body, R"({"email":"a@b.c","name":"N","password":"pw"})");

  transport_->reply(200, R"({"ok": true})");
  EXPECT_TRUE(runError(client_.requestSignupCode("N", "a@b.c", "pw"))
                  .is<OrlithAuthError::InvalidResponse>());
}

TEST_F(EndpointTest, VerifySignupCodeSucceedsOnAnyTwoHundredWithoutReadingTheBody) {
  transport_->reply(201, "not json");
  run(client_.verifySignupCode("c1", "123456"));
  EXPECT_EQ(lastRequest().url, "https://orlith.example/api/auth/signup/verify-code");
  EXPECT_EQ(lastRequest().body, R"({"challengeId":"c1","code":"123456"})");
}

TEST_F(EndpointTest, HandoffMustDecode) {
  transport_->reply(200, R"({"ok": true, "email": "a@b.c"})");
  EXPECT_EQ(run(client_.consumeNativeHandoff("t")).email, "a@b.c");
  transport_->reply(200, R"({"cookie": {"name": "n", "value": "v"}})");
  EXPECT_TRUE(runError(client_.consumeNativeHandoff("t")).is<OrlithAuthError::InvalidResponse>());
}

TEST_F(EndpointTest, ProviderRedirectMustBeTheProvidersOwnHttpsHost) {
  struct Case {
    const char* provider;
    const char* redirect;
    bool trusted;
  };
  const Case cases[] = {
      {"google", "https://accounts.google.com/o/oauth2/auth?x=1", true},
      {"google", "https://ACCOUNTS.Google.com/", true},
      {"google", "http://accounts.google.com/", false},
      {"google", "https://accounts.google.com.evil.example/", false},
      {"google", "https://github.com/login", false},
      {"github", "https://github.com/login/oauth", true},
      {"github", "https://WWW.github.com/login/oauth", true},
      {"github", "https://api.github.com/", false},
      {"gitlab", "https://gitlab.com/", false},
      {"github", "not a url", false},
  };
  for (const auto& c : cases) {
    transport_->reply(200, std::string(R"({"ok": false, "redirectTo": ")") + c.redirect + "\"}");
    if (c.trusted) {
      EXPECT_EQ(run(client_.startProviderSignIn(c.provider, "signup")).absoluteString(),
                c.redirect);
    } else {
      EXPECT_TRUE(runError(client_.startProviderSignIn(c.provider, "signup"))
                      .is<OrlithAuthError::InvalidResponse>())
          << c.redirect;
    }
  }
  EXPECT_EQ(
      lastRequest().body,
      R"({"mode":"signup","nativeCallbackUrl":"orlith://auth/callback","provider":"github"})");
}

TEST_F(EndpointTest, TwoFactorOutcomes) {
  using Kind = TwoFactorChallengeOutcome::Kind;
  struct Case {
    int status;
    std::string body;
    std::optional<TwoFactorChallengeOutcome> outcome;
    std::string errorText;  // when no outcome
  };
  const std::string kDefault = "That code didn't work. Please try again.";
  const Case cases[] = {
      {200, "", TwoFactorChallengeOutcome{Kind::accepted, {}}, {}},
      {401,
       R"({"expired": true, "pendingToken": "p"})",
       TwoFactorChallengeOutcome{Kind::expired, {}},
       {}},
      {401, R"({"pendingToken": "p"})", TwoFactorChallengeOutcome{Kind::retry, "p"}, {}},
      {429,
       R"({"pendingToken": "q", "error": "slow"})",
       TwoFactorChallengeOutcome{Kind::retry, "q"},
       {}},
      {401, R"({"pendingToken": "", "error": "Locked."})", std::nullopt, "Locked."},
      {401, "{}", std::nullopt, kDefault},
      {500, "<html>", std::nullopt, kDefault},
  };
  for (const auto& c : cases) {
    transport_->reply(c.status, c.body);
    if (c.outcome) {
      EXPECT_EQ(run(client_.completeTwoFactor("t", "123456")), *c.outcome) << c.body;
    } else {
      auto error = runError(client_.completeTwoFactor("t", "123456"));
      EXPECT_TRUE(error.is<OrlithAuthError::Server>()) << c.body;
      EXPECT_EQ(error.errorDescription(), c.errorText);
    }
  }
  EXPECT_EQ(lastRequest().body, R"({"code":"123456","pendingToken":"t"})");
  EXPECT_EQ(lastRequest().headers.value("Origin"), "https://orlith.example");
}

TEST_F(EndpointTest, LogoutSendsTheCookieOnAOneOffSessionAndSwallowsFailures) {
  transport_->fail(TransportError::url(UrlErrorCode::timedOut));
  run(client_.logout("orlith_session=abc"));
  ASSERT_EQ(transport_->sent.size(), 1u);
  const auto& sent = transport_->sent.back();
  EXPECT_EQ(sent.request.headers.value("Cookie"), "orlith_session=abc");
  EXPECT_EQ(sent.request.body, "{}");
  EXPECT_EQ(sent.settings.cookies, CookieHandling::readReply);
  EXPECT_EQ(sent.settings.requestTimeout, 15s);
  EXPECT_EQ(sent.settings.resourceTimeout, 15s);
}

TEST_F(EndpointTest, LogoutWithoutASafeCookieSendsNothing) {
  const std::optional<std::string> cookies[] = {std::nullopt, "", "a=b\r\nX-Evil: 1", "a=b\n",
                                                std::string("a=b\0c", 5)};
  for (const auto& cookie : cookies)
    run(client_.logout(cookie));
  EXPECT_TRUE(transport_->sent.empty());
}

HttpCookie sessionCookie(std::string name, std::string value) {
  HttpCookie cookie;
  cookie.name = std::move(name);
  cookie.value = std::move(value);
  cookie.domain = "orlith.example";
  cookie.secure = true;
  return cookie;
}

TEST_F(EndpointTest, BootstrapClassifiesTheStatus) {
  using Kind = BootstrapCheck::Kind;
  const std::pair<int, Kind> cases[] = {
      {200, Kind::valid},   {204, Kind::valid},   {401, Kind::rejected}, {403, Kind::rejected},
      {302, Kind::unknown}, {500, Kind::unknown}, {404, Kind::unknown}};
  for (const auto& [status, kind] : cases) {
    transport_->reply(status);
    EXPECT_EQ(run(client_.bootstrap(sessionCookie("orlith_session", "v"))).kind, kind) << status;
  }
  transport_->fail(TransportError::url(UrlErrorCode::timedOut));
  EXPECT_EQ(run(client_.bootstrap(sessionCookie("orlith_session", "v"))).kind, Kind::unknown);

  const auto& sent = transport_->sent.back();
  EXPECT_EQ(sent.request.method, "GET");
  EXPECT_EQ(sent.request.readMode, ReadMode::headOnly);
  EXPECT_EQ(sent.request.headers.value("Cookie"), "orlith_session=v");
  EXPECT_FALSE(sent.request.headers.contains("Origin"));
  EXPECT_EQ(sent.settings.cookies, CookieHandling::readReply);
}

TEST_F(EndpointTest, BootstrapReturnsTheRenewedCookieOnlyWithTheSameValue) {
  HttpCookie renewed = sessionCookie("orlith_session", "v");
  renewed.expires = time_->wallNow() + 24h;
  HttpCookie rotated = sessionCookie("orlith_session", "new");
  HttpCookie other = sessionCookie("velmar_session", "v");

  transport_->reply(200, "", {}, {rotated, other, renewed});
  auto check = run(client_.bootstrap(sessionCookie("orlith_session", "v")));
  EXPECT_EQ(check, (BootstrapCheck{BootstrapCheck::Kind::valid, renewed}));

  transport_->reply(200, "", {}, {rotated});
  EXPECT_EQ(run(client_.bootstrap(sessionCookie("orlith_session", "v"))),
            (BootstrapCheck{BootstrapCheck::Kind::valid, std::nullopt}));
}

TEST_F(EndpointTest, BootstrapWithAnUnsafeCookieAnswersUnknownWithoutSending) {
  EXPECT_EQ(run(client_.bootstrap(sessionCookie("orlith_session", "v\r\nHost: x"))).kind,
            BootstrapCheck::Kind::unknown);
  EXPECT_EQ(run(client_.bootstrap(sessionCookie("orlith_session", std::string("v\0", 2)))).kind,
            BootstrapCheck::Kind::unknown);
  EXPECT_TRUE(transport_->sent.empty());
}

TEST_F(EndpointTest, CurrentSessionCookiePrefersNamesInOrder) {
  transport_->jar.add(sessionCookie("drunel_session", "d"));
  transport_->jar.add(sessionCookie("unrelated", "u"));
  EXPECT_EQ(client_.currentSessionCookie()->value, "d");
  transport_->jar.add(sessionCookie("orlith_session", "o"));
  EXPECT_EQ(client_.currentSessionCookie()->value, "o");
}

TEST_F(EndpointTest, CurrentSessionCookieSkipsCookiesThatDoNotApplyToTheOrigin) {
  HttpCookie expired = sessionCookie("orlith_session", "expired");
  expired.expires = time_->wallNow() - 1s;
  HttpCookie deeperPath = sessionCookie("orlith_session", "path");
  deeperPath.path = "/api/auth";
  HttpCookie otherHost = sessionCookie("orlith_session", "host");
  otherHost.domain = "other.example";
  HttpCookie parentDomain = sessionCookie("velmar_session", "parent");
  parentDomain.domain = ".example";
  for (const auto& cookie : {expired, deeperPath, otherHost, parentDomain}) {
    transport_->jar.cookies.push_back(cookie);
  }
  EXPECT_EQ(client_.currentSessionCookie()->value, "parent");
}

TEST_F(EndpointTest, ClearSessionCookiesRemovesOnlySessionNames) {
  transport_->jar.add(sessionCookie("orlith_session", "o"));
  transport_->jar.add(sessionCookie("velmar_session", "v"));
  transport_->jar.add(sessionCookie("theme", "dark"));
  client_.clearSessionCookies();
  ASSERT_EQ(transport_->jar.cookies.size(), 1u);
  EXPECT_EQ(transport_->jar.cookies.front().name, "theme");
  EXPECT_FALSE(client_.currentSessionCookie());
}

}  // namespace
}  // namespace orlith::testing
