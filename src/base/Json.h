// Strict decoding helpers on nlohmann::json: a member of the wrong type is always a failure,
// and every failure is a JsonDecodeError naming the member.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orlith {

using Json = nlohmann::json;

class JsonDecodeError : public std::runtime_error {
 public:
  // key is empty when the failure is not about one member (malformed text, wrong container).
  JsonDecodeError(std::string key, const std::string& message);

  const std::string& key() const { return key_; }

 private:
  std::string key_;
};

// Parses a whole JSON text. Malformed input, invalid UTF-8, trailing garbage and nesting deeper
// than kMaxJsonDepth throw JsonDecodeError; no other exception type escapes.
inline constexpr int kMaxJsonDepth = 256;
Json parseJson(std::string_view text);

// In all helpers `object` must be a JSON object, else JsonDecodeError. require*: the member must
// be present and of the type. optional*: a missing member or null gives nullopt (nullptr), any
// other type is a failure.
std::string requireString(const Json& object, std::string_view key);
std::optional<std::string> optionalString(const Json& object, std::string_view key);

bool requireBool(const Json& object, std::string_view key);
std::optional<bool> optionalBool(const Json& object, std::string_view key);

// Only integers written without fraction or exponent are integers: 1.0 and 1e3 are rejected, as
// is any value outside the int64 range.
std::int64_t requireInt64(const Json& object, std::string_view key);
std::optional<std::int64_t> optionalInt64(const Json& object, std::string_view key);

// Any JSON number.
double requireDouble(const Json& object, std::string_view key);
std::optional<double> optionalDouble(const Json& object, std::string_view key);

// The returned references point into `object`.
const Json& requireObject(const Json& object, std::string_view key);
const Json* optionalObject(const Json& object, std::string_view key);
const Json& requireArray(const Json& object, std::string_view key);
const Json* optionalArray(const Json& object, std::string_view key);

// The name of a JSON value's type as used in error messages ("string", "number", ...).
std::string jsonTypeName(const Json& value);

}  // namespace orlith
