// Tests for UUIDs: the random source gives distinct upper-case version-4 UUIDs; the test
// source is predictable.
#include "base/Uuid.h"

#include <gtest/gtest.h>

#include <set>

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

}  // namespace
}  // namespace orlith
