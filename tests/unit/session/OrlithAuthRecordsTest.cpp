// Strict decoding of the account API reply records.
#include <gtest/gtest.h>

#include <string>

#include "session/OrlithAuthRecords.h"

namespace orlith {
namespace {

struct DecodeCase {
  const char* label;
  bool (*decodes)(const std::string&);
  std::string json;
  bool expected;
};

template <class Record>
bool decodes(const std::string& json) {
  return Record::decode(json).has_value();
}

class RecordDecodingTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(RecordDecodingTest, DecodesOnlyWellTypedObjects) {
  const auto& param = GetParam();
  EXPECT_EQ(param.decodes(param.json), param.expected) << param.json;
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordDecodingTest,
    ::testing::Values(
        DecodeCase{"GateEmptyObject", decodes<TwoFactorGateResponse>, "{}", true},
        DecodeCase{"GateTopLevelArray", decodes<TwoFactorGateResponse>, "[]", false},
        DecodeCase{"GateTopLevelString", decodes<TwoFactorGateResponse>, "\"x\"", false},
        DecodeCase{"GateEmptyBody", decodes<TwoFactorGateResponse>, "", false},
        DecodeCase{"GateBoolAsNumber", decodes<TwoFactorGateResponse>,
                   R"({"requiresTwoFactor": 1})", false},
        DecodeCase{"GateBoolAsString", decodes<TwoFactorGateResponse>,
                   R"({"requiresTwoFactor": "true"})", false},
        DecodeCase{"GateNullIsAbsent", decodes<TwoFactorGateResponse>,
                   R"({"requiresTwoFactor": null, "pendingToken": null})", true},
        DecodeCase{"GateUnknownKeysIgnored", decodes<TwoFactorGateResponse>,
                   R"({"extra": [1, {"a": 2}]})", true},
        DecodeCase{"SignupWithoutChallenge", decodes<SignupCodeResponse>, R"({"ok": true})", false},
        DecodeCase{"SignupNullChallenge", decodes<SignupCodeResponse>, R"({"challengeId": null})",
                   false},
        DecodeCase{"SignupIntegralFloat", decodes<SignupCodeResponse>,
                   R"({"challengeId": "c", "expiresInMinutes": 3.0})", true},
        DecodeCase{"SignupFractionalInt", decodes<SignupCodeResponse>,
                   R"({"challengeId": "c", "expiresInMinutes": 1.5})", false},
        DecodeCase{"SignupIntOutOfRange", decodes<SignupCodeResponse>,
                   R"({"challengeId": "c", "expiresInMinutes": 9223372036854775808})", false},
        DecodeCase{"SignupIntAtLimit", decodes<SignupCodeResponse>,
                   R"({"challengeId": "c", "expiresInMinutes": -9223372036854775808})", true},
        DecodeCase{"ProviderWithoutRedirect", decodes<ProviderAuthResponse>, R"({"ok": true})",
                   false},
        DecodeCase{"HandoffCookieWithoutSecure", decodes<NativeHandoffResponse>,
                   R"({"cookie": {"name": "n", "value": "v"}})", false},
        DecodeCase{"HandoffCookieMinimal", decodes<NativeHandoffResponse>,
                   R"({"cookie": {"name": "n", "value": "v", "secure": true}})", true},
        DecodeCase{"HandoffCookieNotObject", decodes<NativeHandoffResponse>, R"({"cookie": "n=v"})",
                   false},
        DecodeCase{"HandoffNullCookie", decodes<NativeHandoffResponse>, R"({"cookie": null})",
                   true},
        DecodeCase{"ErrorBodyWrongType", decodes<OrlithErrorBody>, R"({"error": 5})", false},
        DecodeCase{"ChallengeErrorExpiredString", decodes<TwoFactorChallengeErrorResponse>,
                   R"({"expired": "yes"})", false},
        DecodeCase{"InvalidUtf8", decodes<OrlithErrorBody>, "{\"error\": \"\xff\"}", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RecordDecodingTest, HandoffKeepsEveryField) {
  auto response = NativeHandoffResponse::decode(
      R"({"ok": true, "email": "a@b.c", "cookie": {"name": "orlith_session", "value": "v",
          "expiresAt": "2030-01-01T00:00:00Z", "secure": true, "path": "/"}})");
  ASSERT_TRUE(response);
  EXPECT_EQ(*response,
            (NativeHandoffResponse{
                true, "a@b.c",
                NativeHandoffCookie{"orlith_session", "v", "2030-01-01T00:00:00Z", true, "/"}}));
}

}  // namespace
}  // namespace orlith
