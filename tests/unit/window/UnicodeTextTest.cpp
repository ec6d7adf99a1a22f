// Tests for the ICU text operations: locale-independent lower-casing, grapheme counting, and
// refusal of byte strings that are not UTF-8.
#include "platform/icu/UnicodeText.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <optional>
#include <string>
#include <string_view>

namespace orlith {
namespace {

TEST(UnicodeTextTest, LowercasesWithFullMappingOfTheRootLocale) {
  struct Case {
    std::string_view text;
    std::string_view lowered;
  };
  const Case cases[] = {
      {"", ""},
      {"ALICE@Example.COM", "alice@example.com"},
      {"\xC3\x89VA", "\xC3\xA9va"},   // É → é
      {"\xC4\xB0@x", "i\xCC\x87@x"},  // İ → i + U+0307, two code points
      {"I", "i"},                     // never the dotless ı
      {"\xE1\xBA\x9E", "\xC3\x9F"},   // ẞ → ß
      {"\xCE\xA3\xCE\x91\xCE\xA3", "\xCF\x83\xCE\xB1\xCF\x82"},  // ΣΑΣ → σας (final sigma)
      {std::string_view("A\0B", 3), std::string_view("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lowercasedLocaleIndependent(c.text), std::string(c.lowered)) << c.text;
  }
}

TEST(UnicodeTextTest, LowercasingIgnoresTheDefaultLocale) {
  const std::string previous = uloc_getDefault();
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault("tr_TR", &status);
  ASSERT_TRUE(U_SUCCESS(status));
  auto lowered = lowercasedLocaleIndependent("IRIS@X");
  uloc_setDefault(previous.c_str(), &status);
  EXPECT_EQ(lowered, "iris@x");
}

TEST(UnicodeTextTest, CountsExtendedGraphemeClusters) {
  struct Case {
    std::string_view text;
    std::size_t count;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 3},
      {"e\xCC\x81", 1},  // e + combining acute
      {"a\xCC\x81"
       "b",
       2},
      {"\r\n", 1},
      {"\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", 1},  // a flag of two regional indicators
      {"\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7",
       1},                                          // ZWJ family
      {"\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8", 1},  // Hangul L V T jamo
      {"i\xCC\x87@x", 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(graphemeClusterCount(c.text), c.count) << c.text;
  }
}

// Invalid input is refused, never replaced: two different byte strings must not share a result.
TEST(UnicodeTextTest, RefusesInvalidUtf8) {
  const std::string_view cases[] = {
      "\xFF",
      "a\xC3",             // truncated sequence
      "\xC0\xAF",          // overlong "/"
      "\xED\xA0\x80",      // a surrogate encoded in UTF-8
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "ok\x80@x",          // a lone continuation byte
  };
  for (std::string_view text : cases) {
    EXPECT_EQ(lowercasedLocaleIndependent(text), std::nullopt) << text;
    EXPECT_EQ(graphemeClusterCount(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace orlith
