// Reply records of the account API. Decoding is strict: the top level is an object, a
// required field that is missing or of the wrong type fails the record, a null optional is
// absent, and unknown keys are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

struct OrlithErrorBody {
  std::optional<std::string> error;
  std::optional<std::string> message;
  static std::optional<OrlithErrorBody> decode(std::string_view json);
};

struct TwoFactorGateResponse {
  std::optional<bool> requiresTwoFactor;
  std::optional<std::string> pendingToken;
  static std::optional<TwoFactorGateResponse> decode(std::string_view json);
};

struct SignupCodeResponse {
  std::optional<bool> ok;
  std::string challengeId;
  std::optional<std::int64_t> expiresInMinutes;
  std::optional<std::string> message;
  static std::optional<SignupCodeResponse> decode(std::string_view json);
  bool operator==(const SignupCodeResponse&) const = default;
};

struct ForgotPasswordResponse {
  std::optional<bool> ok;
  std::optional<std::string> message;
  static std::optional<ForgotPasswordResponse> decode(std::string_view json);
};

struct ProviderAuthResponse {
  std::optional<bool> ok;
  std::string redirectTo;
  static std::optional<ProviderAuthResponse> decode(std::string_view json);
};

struct NativeHandoffCookie {
  std::string name;
  std::string value;
  std::optional<std::string> expiresAt;  // ISO 8601
  bool secure = false;
  std::optional<std::string> path;
  bool operator==(const NativeHandoffCookie&) const = default;
};

struct NativeHandoffResponse {
  std::optional<bool> ok;
  std::optional<std::string> email;
  std::optional<NativeHandoffCookie> cookie;
  static std::optional<NativeHandoffResponse> decode(std::string_view json);
  bool operator==(const NativeHandoffResponse&) const = default;
};

struct TwoFactorChallengeErrorResponse {
  std::optional<std::string> error;
  std::optional<std::string> pendingToken;
  std::optional<bool> expired;
  static std::optional<TwoFactorChallengeErrorResponse> decode(std::string_view json);
};

}  // namespace orlith
