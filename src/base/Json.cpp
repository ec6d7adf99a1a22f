// Strict JSON decoding helpers.
#include "base/Json.h"

#include <limits>

namespace orlith {

namespace {

std::string describeFailure(std::string_view key, std::string_view message) {
  if (key.empty()) {
    return std::string(message);
  }
  return "JSON member \"" + std::string(key) + "\": " + std::string(message);
}

const Json* findMember(const Json& object, std::string_view key) {
  if (!object.is_object()) {
    throw JsonDecodeError(std::string(key),
                          "expected an object to hold it, found " + jsonTypeName(object));
  }
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

const Json& requireMember(const Json& object, std::string_view key) {
  const Json* member = findMember(object, key);
  if (member == nullptr) {
    throw JsonDecodeError(std::string(key), "missing");
  }
  return *member;
}

// Present and not null, or nullptr.
const Json* optionalMember(const Json& object, std::string_view key) {
  const Json* member = findMember(object, key);
  return member == nullptr || member->is_null() ? nullptr : member;
}

[[noreturn]] void wrongType(std::string_view key, std::string_view expected, const Json& found) {
  throw JsonDecodeError(std::string(key),
                        "expected " + std::string(expected) + ", found " + jsonTypeName(found));
}

std::string asString(std::string_view key, const Json& value) {
  if (!value.is_string()) {
    wrongType(key, "a string", value);
  }
  return value.get<std::string>();
}

bool asBool(std::string_view key, const Json& value) {
  if (!value.is_boolean()) {
    wrongType(key, "a Boolean", value);
  }
  return value.get<bool>();
}

std::int64_t asInt64(std::string_view key, const Json& value) {
  if (value.is_number_unsigned()) {
    auto unsignedValue = value.get<std::uint64_t>();
    if (unsignedValue > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      throw JsonDecodeError(std::string(key), "integer out of range");
    }
    return static_cast<std::int64_t>(unsignedValue);
  }
  if (value.is_number_integer()) {
    return value.get<std::int64_t>();
  }
  wrongType(key, "an integer", value);
}

double asDouble(std::string_view key, const Json& value) {
  if (!value.is_number()) {
    wrongType(key, "a number", value);
  }
  return value.get<double>();
}

const Json& asObject(std::string_view key, const Json& value) {
  if (!value.is_object()) {
    wrongType(key, "an object", value);
  }
  return value;
}

const Json& asArray(std::string_view key, const Json& value) {
  if (!value.is_array()) {
    wrongType(key, "an array", value);
  }
  return value;
}

}  // namespace

JsonDecodeError::JsonDecodeError(std::string key, const std::string& message)
    : std::runtime_error(describeFailure(key, message)), key_(std::move(key)) {}

Json parseJson(std::string_view text) {
  // The depth limit keeps hostile input from exhausting the stack in the recursive copy,
  // comparison and serialisation of a parsed value.
  bool tooDeep = false;
  Json::parser_callback_t limitDepth = [&tooDeep](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
        depth >= kMaxJsonDepth) {
      tooDeep = true;
    }
    return !tooDeep;
  };
  try {
    Json value = Json::parse(text.begin(), text.end(), limitDepth);
    if (tooDeep) {
      throw JsonDecodeError({}, "JSON nested deeper than " + std::to_string(kMaxJsonDepth));
    }
    return value;
  } catch (const Json::exception& error) {
    throw JsonDecodeError({}, std::string("malformed JSON: ") + error.what());
  }
}

std::string jsonTypeName(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::boolean:
      return "a Boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return "an integer";
    case Json::value_t::number_float:
      return "a non-integer number";
    case Json::value_t::binary:
      return "binary data";
    case Json::value_t::discarded:
      break;
  }
  return "an invalid value";
}

std::string requireString(const Json& object, std::string_view key) {
  return asString(key, requireMember(object, key));
}

std::optional<std::string> optionalString(const Json& object, std::string_view key) {
  const Json* member = optionalMember(object, key);
  if (member == nullptr) {
    return std::nullopt;
  }
  return asString(key, *member);
}

bool requireBool(const Json& object, std::string_view key) {
  return asBool(key, requireMember(object, key));
}

std::optional<bool> optionalBool(const Json& object, std::string_view key) {
  const Json* member = optionalMember(object, key);
  if (member == nullptr) {
    return std::nullopt;
  }
  return asBool(key, *member);
}

std::int64_t requireInt64(const Json& object, std::string_view key) {
  return asInt64(key, requireMember(object, key));
}

std::optional<std::int64_t> optionalInt64(const Json& object, std::string_view key) {
  const Json* member = optionalMember(object, key);
  if (member == nullptr) {
    return std::nullopt;
  }
  return asInt64(key, *member);
}

double requireDouble(const Json& object, std::string_view key) {
  return asDouble(key, requireMember(object, key));
}

std::optional<double> optionalDouble(const Json& object, std::string_view key) {
  const Json* member = optionalMember(object, key);
  if (member == nullptr) {
    return std::nullopt;
  }
  return asDouble(key, *member);
}

const Json& requireObject(const Json& object, std::string_view key) {
  return asObject(key, requireMember(object, key));
}

const Json* optionalObject(const Json& object, std::string_view key) {
  const Json* member = optionalMember(object, key);
  return member == nullptr ? nullptr : &asObject(key, *member);
}

const Json& requireArray(const Json& object, std::string_view key) {
  return asArray(key, requireMember(object, key));
}

const Json* optionalArray(const Json& object, std::string_view key) {
  const Json* member = optionalMember(object, key);
  return member == nullptr ? nullptr : &asArray(key, *member);
}

}  // namespace orlith
