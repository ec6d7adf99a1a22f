// Tests for base64: round trips at every padding length and strict refusal of bad text.
#include "base/Base64.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Base64Test, KnownEncodingsRoundTrip) {
  const std::pair<Bytes, std::string> kCases[] = {
      {{}, ""},
      {{'f'}, "Zg=="},
      {{'f', 'o'}, "Zm8="},
      {{'f', 'o', 'o'}, "Zm9v"},
      {{'f', 'o', 'o', 'b'}, "Zm9vYg=="},
      {{0xFF, 0xFE, 0x00}, "//4A"},
  };
  for (const auto& [bytes, encoded] : kCases) {
    EXPECT_EQ(base64Encode(bytes), encoded);
    EXPECT_EQ(base64Decode(encoded), bytes) << encoded;
  }
}

TEST(Base64Test, WhitespaceIsSkippedAndAnythingElseRefused) {
  EXPECT_EQ(base64Decode(" Zm9v\n\tYg==\n"), (Bytes{'f', 'o', 'o', 'b'}));
  for (const char* text : {"Zm9", "Zm9v=", "Zg=a", "Z===", "Zg==Zg==", "Zm9-", "Zm9_", "Zm\x80v"}) {
    EXPECT_EQ(base64Decode(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace orlith
