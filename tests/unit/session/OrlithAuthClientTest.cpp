// Request building, status validation and error mapping of the account API client.
#include "session/OrlithAuthClient.h"

#include <gtest/gtest.h>

#include "AuthClientFixture.h"

namespace orlith::testing {
namespace {

using Fields = std::vector<HttpHeaderField>;

struct HeaderCase {
  const char* label;
  const char* method;
  AppIdentity identity;
  Fields expected;
};

class RequestHeadersTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(RequestHeadersTest, CarriesTheIdentificationHeadersInOrder) {
  auto transport = std::make_shared<FakeHttpTransport>();
  OrlithAuthClient client(exampleEnvironment(), transport, GetParam().identity,
                          std::make_shared<ManualTime>());
  HttpRequest request = client.makeRequest("/api/auth/login", GetParam().method);
  EXPECT_EQ(request.url, "https://orlith.example/api/auth/login");
  EXPECT_EQ(request.method, GetParam().method);
  EXPECT_EQ(request.headers.fields(), GetParam().expected);
}

const Fields kBundleFields = {{"User-Agent", "Orlith-macOS/2.3"},
                              {"X-Orlith-Native-App", "orlith"},
                              {"X-Orlith-Native-Platform", "macos"},
                              {"X-Orlith-Native-Bundle-Id", "com.tolvik.orlith.custom"},
                              {"X-Orlith-Native-Version", "2.3"},
                              {"X-Orlith-Native-Build", "45"}};

Fields withAccept(Fields rest, bool originHeaders) {
  Fields fields = {{"Accept", "application/json"}};
  if (originHeaders) {
    fields.push_back({"Origin", "https://orlith.example"});
    fields.push_back({"Referer", "https://orlith.example/"});
  }
  fields.insert(fields.end(), rest.begin(), rest.end());
  return fields;
}

const AppIdentity kBundle{"2.3", "45", "com.tolvik.orlith.custom"};

INSTANTIATE_TEST_SUITE_P(
    Methods, RequestHeadersTest,
    ::testing::Values(HeaderCase{"Get", "GET", kBundle, withAccept(kBundleFields, false)},
                      HeaderCase{"LowerCaseHead", "head", kBundle,
                                 withAccept(kBundleFields, false)},
                      HeaderCase{"MixedCaseGet", "gEt", kBundle, withAccept(kBundleFields, false)},
                      HeaderCase{"Post", "POST", kBundle, withAccept(kBundleFields, true)},
                      HeaderCase{"Delete", "DELETE", kBundle, withAccept(kBundleFields, true)},
                      HeaderCase{"BundleDefaults", "POST", AppIdentity::fromBundle(BundleInfo()),
                                 withAccept({{"User-Agent", "Orlith-macOS/1.0"},
                                             {"X-Orlith-Native-App", "orlith"},
                                             {"X-Orlith-Native-Platform", "macos"},
                                             {"X-Orlith-Native-Bundle-Id", "com.tolvik.orlith.mac"},
                                             {"X-Orlith-Native-Version", "1.0"},
                                             {"X-Orlith-Native-Build", "1"}},
                                            true)}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(AuthClientFixture, PostCarriesJsonBodyAfterTheIdentificationHeaders) {
  transport_->reply(200, "{}");
  run(client_.forgotPassword("a@b.c"));
  const auto& fields = lastRequest().headers.fields();
  ASSERT_FALSE(fields.empty());
  EXPECT_EQ(fields.back(), (HttpHeaderField{"Content-Type", "application/json"}));
  EXPECT_EQ(lastRequest().body, R"({"email":"a@b.c"})");
  EXPECT_EQ(lastRequest().timeout, std::chrono::seconds(60));
}

TEST_F(AuthClientFixture, ClientSessionKeepsCookiesWithItsTimeouts) {
  ASSERT_EQ(transport_->sessionSettings.size(), 1u);
  const auto& settings = transport_->sessionSettings.front();
  EXPECT_EQ(settings.cookies, CookieHandling::sessionJar);
  EXPECT_EQ(settings.requestTimeout, std::chrono::seconds(35));
  EXPECT_EQ(settings.resourceTimeout, std::chrono::seconds(180));
}

TEST_F(AuthClientFixture, UnserialisableBodyFailsBeforeAnythingIsSent) {
  EXPECT_THROW(run(client_.login("a\xff", "p")), nlohmann::json::exception);
  EXPECT_TRUE(transport_->sent.empty());
}

TEST(AuthClientRequestTest, OriginThatFormsNoUrlWithThePathRefusesToSend) {
  auto transport = std::make_shared<FakeHttpTransport>();
  OrlithAuthClient client(exampleEnvironment(), transport, AppIdentity{},
                          std::make_shared<ManualTime>());
  try {
    client.makeRequest("/api/auth/login?x=[", "POST");
    FAIL() << "a request was built";
  } catch (const OrlithAuthError& error) {
    EXPECT_TRUE(error.is<OrlithAuthError::InvalidResponse>());
  }
}

struct ValidateCase {
  const char* label;
  int status;
  HttpHeaders headers;
  std::string body;
  std::optional<OrlithAuthError> expected;  // none: the reply passes
};

class ValidateTest : public ::testing::TestWithParam<ValidateCase> {};

TEST_P(ValidateTest, MapsStatusToResultOrError) {
  const auto& param = GetParam();
  HttpResponse response{param.status, param.headers, param.body, {}};
  try {
    HttpResponse passed = OrlithAuthClient::validate(response);
    EXPECT_FALSE(param.expected) << "passed unexpectedly";
    EXPECT_EQ(passed.body, param.body);
  } catch (const OrlithAuthError& error) {
    ASSERT_TRUE(param.expected) << error.what();
    EXPECT_EQ(error.value().index(), param.expected->value().index());
    EXPECT_EQ(error.errorDescription(), param.expected->errorDescription());
    if (auto* limited = error.as<OrlithAuthError::RateLimited>()) {
      EXPECT_EQ(limited->retryAfter,
                param.expected->as<OrlithAuthError::RateLimited>()->retryAfter);
    }
  }
}

HttpHeaders retryAfter(const char* value) {
  return HttpHeaders{{"Retry-After", value}};
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ValidateTest,
    ::testing::Values(
        ValidateCase{"Ok", 200, {}, "body", std::nullopt},
        ValidateCase{"NoContent", 204, {}, "", std::nullopt},
        ValidateCase{"RedirectIsAnError",
                     302,
                     {{"Location", "https://elsewhere.example/"}},
                     "",
                     OrlithAuthError::http(302, std::nullopt)},
        ValidateCase{"ErrorWinsOverMessage",
                     400,
                     {},
                     R"({"error": "x", "message": "y"})",
                     OrlithAuthError::http(400, "x")},
        ValidateCase{
            "MessageAlone", 400, {}, R"({"message": "y"})", OrlithAuthError::http(400, "y")},
        ValidateCase{"NonJsonBody", 400, {}, "<html>", OrlithAuthError::http(400, std::nullopt)},
        ValidateCase{"WrongTypedBody",
                     400,
                     {},
                     R"({"error": 7, "message": "y"})",
                     OrlithAuthError::http(400, std::nullopt)},
        ValidateCase{"RetryAfterSeconds", 429, retryAfter("120"), "",
                     OrlithAuthError::rateLimited(120)},
        ValidateCase{"RetryAfterNegative", 429, retryAfter("-5"), "",
                     OrlithAuthError::rateLimited(-5)},
        ValidateCase{"RetryAfterPlus", 429, retryAfter("+7"), "", OrlithAuthError::rateLimited(7)},
        ValidateCase{"RetryAfterDate", 429, retryAfter("Wed, 21 Oct 2015 07:28:00 GMT"), "",
                     OrlithAuthError::rateLimited(std::nullopt)},
        ValidateCase{"RetryAfterEmpty", 429, retryAfter(""), "",
                     OrlithAuthError::rateLimited(std::nullopt)},
        ValidateCase{"RetryAfterMissing",
                     429,
                     {},
                     R"({"error": "slow down"})",
                     OrlithAuthError::rateLimited(std::nullopt)},
        ValidateCase{"RetryAfterOverflow", 429, retryAfter("99999999999999999999"), "",
                     OrlithAuthError::rateLimited(std::nullopt)},
        ValidateCase{"NoStatus", 0, {}, "", OrlithAuthError::invalidResponse()}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RetryAfterTest, ReadsOnlyAWholeSignedInteger) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {{"0", 0},
                        {"120", 120},
                        {"-5", -5},
                        {"+7", 7},
                        {"9223372036854775807", INT64_MAX},
                        {"-9223372036854775808", INT64_MIN},
                        {"9223372036854775808", std::nullopt},
                        {"+-5", std::nullopt},
                        {"++5", std::nullopt},
                        {"+", std::nullopt},
                        {"-", std::nullopt},
                        {" 5", std::nullopt},
                        {"5 ", std::nullopt},
                        {"5s", std::nullopt},
                        {"1.5", std::nullopt},
                        {"0x10", std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(OrlithAuthClient::parseRetryAfter(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(TransportErrorMappingTest, CancellationIsCancelledAndEverythingElseNetwork) {
  auto mapped = [](auto error) {
    return OrlithAuthClient::mapTransportError(std::make_exception_ptr(error));
  };
  EXPECT_TRUE(mapped(TaskCancelled()).is<OrlithAuthError::Cancelled>());
  EXPECT_TRUE(
      mapped(TransportError::url(UrlErrorCode::cancelled)).is<OrlithAuthError::Cancelled>());
  auto timedOut = mapped(TransportError::url(UrlErrorCode::timedOut));
  ASSERT_TRUE(timedOut.is<OrlithAuthError::Network>());
  EXPECT_EQ(timedOut.as<OrlithAuthError::Network>()->error.code(), -1001);
  // The cancelled code of another domain is not a cancellation.
  EXPECT_TRUE(mapped(TransportError("Other", -999, "x")).is<OrlithAuthError::Network>());
  auto other = mapped(std::runtime_error("disk on fire"));
  ASSERT_TRUE(other.is<OrlithAuthError::Network>());
  EXPECT_EQ(other.errorDescription(), "disk on fire");
}

TEST_F(AuthClientFixture, TransportFailureOfAnEndpointIsMapped) {
  transport_->fail(TransportError::url(UrlErrorCode::notConnectedToInternet));
  auto error = runError(client_.verifySignupCode("c", "123456"));
  EXPECT_TRUE(error.is<OrlithAuthError::Network>());
  EXPECT_EQ(error.errorDescription(),
            "You appear to be offline. Check your connection and try again.");
}

}  // namespace
}  // namespace orlith::testing
