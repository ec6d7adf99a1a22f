// Tests for the strict JSON helpers: a wrong type always fails, null is absence only for
// optional members, integers are never read from fractions.
#include "base/Json.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace orlith {
namespace {

const Json kDocument = parseJson(R"({
  "text": "hi", "empty": "", "flag": false, "zero": 0, "negative": -42,
  "big": 9223372036854775807, "tooBig": 9223372036854775808, "fraction": 1.5,
  "wholeFloat": 1.0, "exponent": 1e3, "nothing": null, "object": {"a": 1}, "list": [1, 2]
})");

// For each helper, the members it accepts; every other member of kDocument is a failure for
// require*, and for optional* too except "nothing" and a missing one.
struct HelperCase {
  const char* name;
  std::function<void(const Json&, std::string_view)> require;
  std::function<bool(const Json&, std::string_view)> optionalHasValue;
  std::vector<std::string> accepted;
};

const HelperCase kHelpers[] = {
    {"String",
     [](auto& j, auto k) { requireString(j, k); },
     [](auto& j, auto k) { return optionalString(j, k).has_value(); },
     {"text", "empty"}},
    {"Bool",
     [](auto& j, auto k) { requireBool(j, k); },
     [](auto& j, auto k) { return optionalBool(j, k).has_value(); },
     {"flag"}},
    {"Int64",
     [](auto& j, auto k) { requireInt64(j, k); },
     [](auto& j, auto k) { return optionalInt64(j, k).has_value(); },
     {"zero", "negative", "big"}},
    {"Double",
     [](auto& j, auto k) { requireDouble(j, k); },
     [](auto& j, auto k) { return optionalDouble(j, k).has_value(); },
     {"zero", "negative", "big", "tooBig", "fraction", "wholeFloat", "exponent"}},
    {"Object",
     [](auto& j, auto k) { requireObject(j, k); },
     [](auto& j, auto k) { return optionalObject(j, k) != nullptr; },
     {"object"}},
    {"Array",
     [](auto& j, auto k) { requireArray(j, k); },
     [](auto& j, auto k) { return optionalArray(j, k) != nullptr; },
     {"list"}},
};

class JsonHelperTest : public testing::TestWithParam<HelperCase> {};

TEST_P(JsonHelperTest, AcceptsOnlyItsTypeAndNullOnlyWhenOptional) {
  const HelperCase& helper = GetParam();
  for (const auto& [key, value] : kDocument.items()) {
    SCOPED_TRACE(key);
    bool accepted =
        std::find(helper.accepted.begin(), helper.accepted.end(), key) != helper.accepted.end();
    if (accepted) {
      EXPECT_NO_THROW(helper.require(kDocument, key));
      EXPECT_TRUE(helper.optionalHasValue(kDocument, key));
    } else if (key == "nothing") {
      EXPECT_THROW(helper.require(kDocument, key), JsonDecodeError);
      EXPECT_FALSE(helper.optionalHasValue(kDocument, key));
    } else {
      EXPECT_THROW(helper.require(kDocument, key), JsonDecodeError);
      EXPECT_THROW(helper.optionalHasValue(kDocument, key), JsonDecodeError);
    }
  }
  EXPECT_THROW(helper.require(kDocument, "missing"), JsonDecodeError);
  EXPECT_FALSE(helper.optionalHasValue(kDocument, "missing"));
}

TEST_P(JsonHelperTest, ContainerThatIsNotAnObjectFails) {
  for (const char* text : {"[]", "null", "\"text\"", "3"}) {
    SCOPED_TRACE(text);
    Json container = parseJson(text);
    EXPECT_THROW(GetParam().require(container, "text"), JsonDecodeError);
    EXPECT_THROW(GetParam().optionalHasValue(container, "text"), JsonDecodeError);
  }
}

INSTANTIATE_TEST_SUITE_P(Helpers, JsonHelperTest, testing::ValuesIn(kHelpers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JsonTest, DecodedValuesAreExact) {
  EXPECT_EQ(requireString(kDocument, "text"), "hi");
  EXPECT_EQ(requireBool(kDocument, "flag"), false);
  EXPECT_EQ(requireInt64(kDocument, "negative"), -42);
  EXPECT_EQ(requireInt64(kDocument, "big"), INT64_MAX);
  EXPECT_EQ(requireDouble(kDocument, "fraction"), 1.5);
  EXPECT_EQ(requireDouble(kDocument, "negative"), -42.0);
  EXPECT_EQ(requireObject(kDocument, "object").size(), 1u);
  EXPECT_EQ(optionalArray(kDocument, "list"), &kDocument["list"]);
}

TEST(JsonTest, ErrorNamesTheKeyAndTheTypes) {
  try {
    requireInt64(kDocument, "fraction");
    FAIL() << "no error";
  } catch (const JsonDecodeError& error) {
    EXPECT_EQ(error.key(), "fraction");
    EXPECT_NE(std::string(error.what()).find("\"fraction\""), std::string::npos);
    EXPECT_NE(std::string(error.what()).find("integer"), std::string::npos);
  }
  try {
    requireString(kDocument, "absent");
    FAIL() << "no error";
  } catch (const JsonDecodeError& error) {
    EXPECT_NE(std::string(error.what()).find("\"absent\": missing"), std::string::npos);
  }
}

TEST(JsonTest, MalformedTextThrowsOnlyJsonDecodeError) {
  for (const char* text : {"", "   ", "{", "{\"a\":}", "[1,]", "{'a':1}", "{\"a\":1} x", "nul",
                           "\"\xFF\"", "01", "NaN", "1e999"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(parseJson(text), JsonDecodeError);
  }
}

TEST(JsonTest, NestingBeyondTheLimitIsRefused) {
  auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_NO_THROW(parseJson(nested(kMaxJsonDepth)));
  EXPECT_THROW(parseJson(nested(kMaxJsonDepth + 1)), JsonDecodeError);
  EXPECT_THROW(parseJson(nested(200000)), JsonDecodeError);
}

}  // namespace
}  // namespace orlith
