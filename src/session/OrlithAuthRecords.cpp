// Strict decoders of the account API reply records.
#include "session/OrlithAuthRecords.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace orlith {
namespace {

using Json = nlohmann::json;

struct DecodeFailure {};

std::optional<Json> parseObject(std::string_view text) {
  try {
    Json json = Json::parse(text.begin(), text.end());
    if (!json.is_object())
      return std::nullopt;
    return json;
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

// Null and missing both read as absent.
const Json* field(const Json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || found->is_null())
    return nullptr;
  return &*found;
}

std::optional<std::string> optionalString(const Json& object, const char* key) {
  const Json* value = field(object, key);
  if (value == nullptr)
    return std::nullopt;
  if (!value->is_string())
    throw DecodeFailure{};
  return value->get<std::string>();
}

std::optional<bool> optionalBool(const Json& object, const char* key) {
  const Json* value = field(object, key);
  if (value == nullptr)
    return std::nullopt;
  if (!value->is_boolean())
    throw DecodeFailure{};
  return value->get<bool>();
}

// An integral number in range; 3.0 passes, 1.5 does not.
std::optional<std::int64_t> optionalInt(const Json& object, const char* key) {
  const Json* value = field(object, key);
  if (value == nullptr)
    return std::nullopt;
  if (value->is_number_integer() && !value->is_number_unsigned()) {
    return value->get<std::int64_t>();
  }
  if (value->is_number_unsigned()) {
    auto number = value->get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      throw DecodeFailure{};
    }
    return static_cast<std::int64_t>(number);
  }
  if (value->is_number_float()) {
    double number = value->get<double>();
    // 2^63 itself is out of range; -2^63 is in.
    if (!std::isfinite(number) || std::trunc(number) != number || number >= 0x1p63 ||
        number < -0x1p63) {
      throw DecodeFailure{};
    }
    return static_cast<std::int64_t>(number);
  }
  throw DecodeFailure{};
}

template <class T>
T required(std::optional<T> value) {
  if (!value)
    throw DecodeFailure{};
  return std::move(*value);
}

template <class Record, class Build>
std::optional<Record> decodeWith(std::string_view text, Build build) {
  auto object = parseObject(text);
  if (!object)
    return std::nullopt;
  try {
    return build(*object);
  } catch (const DecodeFailure&) {
    return std::nullopt;
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

NativeHandoffCookie decodeCookie(const Json& object) {
  if (!object.is_object())
    throw DecodeFailure{};
  NativeHandoffCookie cookie;
  cookie.name = required(optionalString(object, "name"));
  cookie.value = required(optionalString(object, "value"));
  cookie.expiresAt = optionalString(object, "expiresAt");
  cookie.secure = required(optionalBool(object, "secure"));
  cookie.path = optionalString(object, "path");
  return cookie;
}

}  // namespace

std::optional<OrlithErrorBody> OrlithErrorBody::decode(std::string_view json) {
  return decodeWith<OrlithErrorBody>(json, [](const Json& object) {
    return OrlithErrorBody{optionalString(object, "error"), optionalString(object, "message")};
  });
}

std::optional<TwoFactorGateResponse> TwoFactorGateResponse::decode(std::string_view json) {
  return decodeWith<TwoFactorGateResponse>(json, [](const Json& object) {
    return TwoFactorGateResponse{optionalBool(object, "requiresTwoFactor"),
                                 optionalString(object, "pendingToken")};
  });
}

std::optional<SignupCodeResponse> SignupCodeResponse::decode(std::string_view json) {
  return decodeWith<SignupCodeResponse>(json, [](const Json& object) {
    SignupCodeResponse response;
    response.ok = optionalBool(object, "ok");
    response.challengeId = required(optionalString(object, "challengeId"));
    response.expiresInMinutes = optionalInt(object, "expiresInMinutes");
    response.message = optionalString(object, "message");
    return response;
  });
}

std::optional<ForgotPasswordResponse> ForgotPasswordResponse::decode(std::string_view json) {
  return decodeWith<ForgotPasswordResponse>(json, [](const Json& object) {
    return ForgotPasswordResponse{optionalBool(object, "ok"), optionalString(object, "message")};
  });
}

std::optional<ProviderAuthResponse> ProviderAuthResponse::decode(std::string_view json) {
  return decodeWith<ProviderAuthResponse>(json, [](const Json& object) {
    return ProviderAuthResponse{optionalBool(object, "ok"),
                                required(optionalString(object, "redirectTo"))};
  });
}

std::optional<NativeHandoffResponse> NativeHandoffResponse::decode(std::string_view json) {
  return decodeWith<NativeHandoffResponse>(json, [](const Json& object) {
    NativeHandoffResponse response;
    response.ok = optionalBool(object, "ok");
    response.email = optionalString(object, "email");
    if (const Json* cookie = field(object, "cookie"))
      response.cookie = decodeCookie(*cookie);
    return response;
  });
}

std::optional<TwoFactorChallengeErrorResponse> TwoFactorChallengeErrorResponse::decode(
    std::string_view json) {
  return decodeWith<TwoFactorChallengeErrorResponse>(json, [](const Json& object) {
    return TwoFactorChallengeErrorResponse{optionalString(object, "error"),
                                           optionalString(object, "pendingToken"),
                                           optionalBool(object, "expired")};
  });
}

}  // namespace orlith
