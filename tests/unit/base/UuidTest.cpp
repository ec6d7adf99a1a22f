// Tests for UUIDs: the random source gives distinct upper-case version-4 UUIDs; the test
// source is predictable.
#include "base/Uuid.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string_view>

#include "support/SequentialUuidSource.h"

namespace orlith {
namespace {

// 8-4-4-4-12 upper-case hexadecimal digits, version 4, RFC 4122 variant.
bool isUpperCaseVersion4(const std::string& uuid) {
  if (uuid.size() != 36 || uuid[14] != '4' ||
      std::string("89AB").find(uuid[19]) == std::string::npos) {
    return false;
  }
  for (std::size_t i = 0; i < uuid.size(); ++i) {
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    char c = uuid[i];
    if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

TEST(UuidTest, RandomUuidsAreDistinctUpperCaseVersion4) {
  RandomUuidSource source;
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    std::string uuid = source.next();
    EXPECT_TRUE(isUpperCaseVersion4(uuid)) << uuid;
    seen.insert(uuid);
  }
  EXPECT_EQ(seen.size(), 200u);
  EXPECT_FALSE(isUpperCaseVersion4("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
}

TEST(UuidTest, SequentialSourceCountsUp) {
  SequentialUuidSource source;
  EXPECT_EQ(source.next(), "00000000-0000-4000-8000-000000000001");
  EXPECT_EQ(source.next(), "00000000-0000-4000-8000-000000000002");
  EXPECT_EQ(source.issued(), 2u);
}

TEST(UuidTest, CanonicalUuidUpperCasesUuidsAndRefusesEverythingElse) {
  struct Case {
    std::string_view text;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
      {"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
      {"e621E1f8-C36c-495A-93fC-0c247A3e6E5f", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
      // Any version and variant: the nil UUID too.
      {"00000000-0000-0000-0000-000000000000", "00000000-0000-0000-0000-000000000000"},
      {"", std::nullopt},
      {"E621E1F8C36C495A93FC0C247A3E6E5F", std::nullopt},
      {"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}", std::nullopt},
      {" E621E1F8-C36C-495A-93FC-0C247A3E6E5F", std::nullopt},
      {"E621E1F8-C36C-495A-93FC-0C247A3E6E5F ", std::nullopt},
      {"E621E1F8-C36C-495A-93FC-0C247A3E6E5", std::nullopt},
      {"E621E1F8-C36C-495A-93FC-0C247A3E6E5FF", std::nullopt},
      {"E621E1F8-C36C-495A-93FC-0C247A3E6E5G", std::nullopt},
      {"E621E1F8_C36C-495A-93FC-0C247A3E6E5F", std::nullopt},
      {"E621E1F-8C36C-495A-93FC-0C247A3E6E5F", std::nullopt},
      {"E621E1F8-C36C-495A-93FC-0C247A3E6E-F", std::nullopt},
      {std::string_view("E621E1F8-C36C-495A-93FC-0C247A3E6E5\0", 36), std::nullopt},
      // Full-width digits and other non-ASCII bytes are not hexadecimal digits.
      {"E621E1F8-C36C-495A-93FC-0C247A3E6\xEF\xBC\x95", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(canonicalUuid(c.text), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace orlith
