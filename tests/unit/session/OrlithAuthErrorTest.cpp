// The texts shown for account API errors.
#include <gtest/gtest.h>

#include <string>

#include "session/OrlithAuthError.h"

namespace orlith {
namespace {

struct TextCase {
  const char* label;
  OrlithAuthError error;
  std::string description;
  std::string failureMessage;
};

class AuthErrorTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(AuthErrorTextTest, ShowsTheFixedText) {
  const auto& param = GetParam();
  EXPECT_EQ(param.error.errorDescription(), param.description);
  EXPECT_EQ(param.error.failureMessage(), param.failureMessage);
}

const std::string kGeneric = "Something went wrong. Please try again.";
const std::string kWait = "Too many attempts. Please wait a moment and try again.";
const std::string kOffline = "You appear to be offline. Check your connection and try again.";

INSTANTIATE_TEST_SUITE_P(
    Errors, AuthErrorTextTest,
    ::testing::Values(
        TextCase{"Server", OrlithAuthError::server("Nope"), "Nope", "Nope"},
        TextCase{"HttpWithMessage", OrlithAuthError::http(400, "Bad e-mail"), "Bad e-mail",
                 "Bad e-mail"},
        TextCase{"HttpWithoutMessage", OrlithAuthError::http(503, std::nullopt),
                 "Request failed (503). Please try again.",
                 "Request failed (503). Please try again."},
        TextCase{"HttpEmptyMessageShowsGenericText", OrlithAuthError::http(400, ""), "", kGeneric},
        TextCase{"HttpBlankMessageShowsGenericText", OrlithAuthError::http(400, " \n\t\u2003"),
                 " \n\t\u2003", kGeneric},
        TextCase{"ServerEmptyMessageShowsGenericText", OrlithAuthError::server(""), "", kGeneric},
        TextCase{"RateLimitedWithWait", OrlithAuthError::rateLimited(30),
                 "Too many attempts. Try again in 30s.", "Too many attempts. Try again in 30s."},
        TextCase{"RateLimitedWithoutWait", OrlithAuthError::rateLimited(std::nullopt), kWait,
                 kWait},
        TextCase{"RetryAfterOfNegativeValueShowsNoWait", OrlithAuthError::rateLimited(-5), kWait,
                 kWait},
        TextCase{
            "NetworkOffline",
            OrlithAuthError::network(TransportError::url(UrlErrorCode::notConnectedToInternet)),
            kOffline, kOffline},
        TextCase{"NetworkOfflineCodeInOtherDomain",
                 OrlithAuthError::network(TransportError("OtherDomain", -1009, "own text")),
                 "own text", "own text"},
        TextCase{"NetworkTimeout",
                 OrlithAuthError::network(TransportError::url(UrlErrorCode::timedOut)),
                 "The request timed out.", "The request timed out."},
        TextCase{"InvalidResponse", OrlithAuthError::invalidResponse(),
                 "Orlith returned an unexpected response. Please try again.",
                 "Orlith returned an unexpected response. Please try again."},
        TextCase{"Cancelled", OrlithAuthError::cancelled(), "The request was cancelled.",
                 "The request was cancelled."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(AuthErrorTest, NegativeRetryAfterKeepsItsValue) {
  auto error = OrlithAuthError::rateLimited(-5);
  ASSERT_NE(error.as<OrlithAuthError::RateLimited>(), nullptr);
  EXPECT_EQ(error.as<OrlithAuthError::RateLimited>()->retryAfter, -5);
}

}  // namespace
}  // namespace orlith
