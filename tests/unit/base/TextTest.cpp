// Tests for the text helpers: the full White_Space set, interior whitespace kept, invalid
// UTF-8 left alone.
#include "base/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace orlith {
namespace {

struct TrimCase {
  std::string input;
  std::string expected;
};

const TrimCase kTrimCases[] = {
    {"", ""},
    {"plain", "plain"},
    {" \t\n\r\v\f a b \n", "a b"},
    {"\xC2\x85x\xC2\x85", "x"},                                  // U+0085 NEXT LINE
    {"\xC2\xA0x\xC2\xA0", "x"},                                  // U+00A0
    {"\xE3\x80\x80\xE3\x80\x80x\xE3\x80\x80", "x"},              // U+3000 IDEOGRAPHIC SPACE
    {"\xE1\x9A\x80\xE2\x80\x80\xE2\x80\x8Ax", "x"},              // U+1680, U+2000, U+200A
    {"x\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\x9F", "x"},  // U+2028, U+2029, U+202F, U+205F
    {"a \xE3\x80\x80\n b", "a \xE3\x80\x80\n b"},                // interior whitespace stays
    {"\xE2\x80\x8Bx\xE2\x80\x8B", "\xE2\x80\x8Bx\xE2\x80\x8B"},  // U+200B is not White_Space
    {"\xEF\xBB\xBFx", "\xEF\xBB\xBFx"},                          // nor is the BOM
    {" \xFF x \xC2 ", "\xFF x \xC2"},                            // invalid bytes stop trimming
    {"\xE2\xC2\x85", "\xE2"},                                    // a truncated lead before U+0085
    {"\x80\x80 ", "\x80\x80"},                                   // stray continuation bytes
    {" \xE3\x80", "\xE3\x80"},                                   // truncated U+3000 is not space
};

TEST(TextTest, TrimRemovesExactlyLeadingAndTrailingWhiteSpace) {
  for (const TrimCase& c : kTrimCases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    EXPECT_EQ(trimWhitespaceAndNewlines(c.input), c.expected);
  }
}

TEST(TextTest, WhitespacePredicateMatchesTheUnicodeSet) {
  const char32_t kSpaces[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,  0x1680,
                              0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (char32_t c : kSpaces) {
    EXPECT_TRUE(isWhitespaceOrNewline(c)) << std::hex << static_cast<std::uint32_t>(c);
  }
  for (char32_t c : {U'\x08', U'\x0E', U'\x1F', U'a', U'\x84', U'\x180E', U'\x200B', U'\x2060',
                     U'\xFEFF', U'\x3001'}) {
    EXPECT_FALSE(isWhitespaceOrNewline(c)) << std::hex << static_cast<std::uint32_t>(c);
  }
}

TEST(TextTest, AsciiLowercaseTouchesOnlyAsciiLetters) {
  EXPECT_EQ(asciiLowercase("AbC-Z@[`\xC3\x84\xC4\xB0"), "abc-z@[`\xC3\x84\xC4\xB0");
}

}  // namespace
}  // namespace orlith
