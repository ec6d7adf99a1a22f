// The URL policy against a production-like origin and a local one, and the origin text.
#include "session/OrlithEnvironment.h"

#include <gtest/gtest.h>

#include "OrlithBuildConfig.h"

namespace orlith {
namespace {

const ServiceHosts kHosts{"https://orlith.example", "orlith.example", "www.orlith.example"};

OrlithEnvironment environmentAt(const char* origin) {
  return OrlithEnvironment(*Url::parse(origin), kHosts);
}

Url url(const char* text) {
  auto parsed = Url::parse(text);
  if (!parsed)
    throw std::invalid_argument(text);
  return *parsed;
}

TEST(OrlithEnvironmentTest, CompiledInOriginParsesAndIsItsOwnOriginString) {
  EXPECT_EQ(OrlithEnvironment::defaultOrigin().absoluteString(), build::kServiceOrigin);
  EXPECT_EQ(OrlithEnvironment::shared().originString(), build::kServiceOrigin);
  EXPECT_TRUE(OrlithEnvironment::shared().isTrustedHost(build::kServiceHost));
}

TEST(OrlithEnvironmentTest, OriginStringKeepsCaseAndExplicitPort) {
  const std::pair<const char*, const char*> cases[] = {
      {"https://orlith.example", "https://orlith.example"},
      {"http://localhost:3000", "http://localhost:3000"},
      {"https://example.test:443", "https://example.test:443"},
      {"HTTPS://Orlith.Example/app?x#y", "HTTPS://Orlith.Example"},
      {"https://[::1]:8443/", "https://[::1]:8443"},
      {"mailto:someone@orlith.example", "https://orlith.example"},
      {"file:///tmp/x", "https://orlith.example"},
  };
  for (const auto& [origin, text] : cases) {
    EXPECT_EQ(environmentAt(origin).originString(), text) << origin;
  }
  EXPECT_EQ(OrlithEnvironment::originString(url("urn:isbn:1")), build::kServiceOrigin);
}

struct PolicyCase {
  const char* origin;
  const char* url;
  bool allowed;
  bool app;
};

class UrlPolicyTest : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(UrlPolicyTest, AnswersAllowedAndAppUrl) {
  auto environment = environmentAt(GetParam().origin);
  Url candidate = url(GetParam().url);
  EXPECT_EQ(environment.isAllowedURL(candidate), GetParam().allowed);
  EXPECT_EQ(environment.isAppURL(candidate), GetParam().app);
}

constexpr const char* kProduction = "https://orlith.example";
constexpr const char* kLocal = "http://localhost:3000";

INSTANTIATE_TEST_SUITE_P(
    Origins, UrlPolicyTest,
    ::testing::Values(PolicyCase{kProduction, "https://orlith.example/app", true, true},
                      PolicyCase{kProduction, "https://orlith.example:443/x", true, false},
                      PolicyCase{kProduction, "https://WWW.Orlith.Example/app/x", true, true},
                      PolicyCase{kProduction, "http://orlith.example/app", false, false},
                      PolicyCase{kProduction, "https://orlith.example:8443/app", false, false},
                      PolicyCase{kProduction, "https://api.orlith.example/app", false, false},
                      PolicyCase{kProduction, "https://orlith.example.evil/app", false, false},
                      PolicyCase{kProduction, "https://user@orlith.example/app", false, false},
                      PolicyCase{kProduction, "https://user:pw@orlith.example/app", false, false},
                      PolicyCase{kProduction, "http://localhost:3000/app", false, false},
                      PolicyCase{kProduction, "https://127.0.0.1/app", false, false},
                      PolicyCase{kProduction, "https://orlith.example/share/abc", true, true},
                      PolicyCase{kProduction, "https://orlith.example/api", true, true},
                      PolicyCase{kProduction, "https://orlith.example/logout", true, true},
                      PolicyCase{kProduction, "https://orlith.example/apple", true, false},
                      PolicyCase{kProduction, "https://orlith.example/apps", true, false},
                      PolicyCase{kProduction, "https://orlith.example/", true, false},
                      PolicyCase{kProduction, "https://orlith.example/login", true, false},
                      PolicyCase{kProduction, "data:text/html,x", false, false},
                      PolicyCase{kLocal, "http://localhost:3000/app", true, true},
                      PolicyCase{kLocal, "http://LOCALHOST:3000/app", true, true},
                      PolicyCase{kLocal, "http://localhost:3001/app", false, false},
                      PolicyCase{kLocal, "https://localhost:3000/app", false, false},
                      PolicyCase{kLocal, "http://127.0.0.1:3000/app", false, false},
                      PolicyCase{kLocal, "http://localhost/app", false, false},
                      PolicyCase{kLocal, "https://orlith.example/app", true, true}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(OrlithEnvironmentTest, TrustedHostsAndOrigins) {
  auto production = environmentAt(kProduction);
  EXPECT_TRUE(production.isTrustedHost("WWW.orlith.example"));
  EXPECT_FALSE(production.isTrustedHost("api.orlith.example"));
  EXPECT_FALSE(production.isTrustedHost("localhost"));
  EXPECT_FALSE(production.isTrustedHost("127.0.0.1"));
  EXPECT_FALSE(production.isAllowedOrigin("http", "localhost", 3000));
  EXPECT_TRUE(production.isAllowedOrigin("https", "orlith.example", 0));
  EXPECT_TRUE(production.isAllowedOrigin("HTTPS", "orlith.example", 443));
  EXPECT_FALSE(production.isAllowedOrigin("https", "orlith.example", 80));

  auto local = environmentAt(kLocal);
  EXPECT_TRUE(local.isTrustedHost("127.0.0.1"));
  EXPECT_TRUE(local.isTrustedHost("localhost"));
  EXPECT_TRUE(local.isAllowedOrigin("http", "localhost", 3000));
  EXPECT_FALSE(local.isAllowedOrigin("http", "127.0.0.1", 3000));

  auto localHttps = environmentAt("https://127.0.0.1");
  EXPECT_TRUE(localHttps.isAllowedOrigin("https", "127.0.0.1", 0));
  EXPECT_FALSE(localHttps.isAllowedOrigin("http", "127.0.0.1", 443));
}

TEST(OrlithEnvironmentTest, EqualityFollowsTheOrigin) {
  EXPECT_EQ(environmentAt(kProduction), environmentAt(kProduction));
  EXPECT_FALSE(environmentAt(kProduction) == environmentAt(kLocal));
}

}  // namespace
}  // namespace orlith
