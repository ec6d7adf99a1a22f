// Tests for the claimed recovery-window registry: claims are per account key, compare as UUIDs,
// and last until the account's set is removed.
#include "workspace/window/ClaimedRecoveryWindows.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

const std::string kAlice = "orlith.tabRecovery.v1.alice";
const std::string kBob = "orlith.tabRecovery.v1.bob";
const std::string kFirst = "00000000-0000-4000-8000-00000000000A";
const std::string kSecond = "00000000-0000-4000-8000-00000000000B";

TEST(ClaimedRecoveryWindowsTest, ClaimsArePerAccountUntilTheAccountIsRemoved) {
  ClaimedRecoveryWindows registry;
  EXPECT_TRUE(registry.claimedIDs(kAlice).empty());

  registry.claim(kAlice, kFirst);
  registry.claim(kAlice, "00000000-0000-4000-8000-00000000000b");
  registry.claim(kBob, kFirst);

  EXPECT_EQ(registry.claimedIDs(kAlice), (std::set<std::string>{kFirst, kSecond}));
  EXPECT_TRUE(registry.isClaimed(kAlice, "00000000-0000-4000-8000-00000000000a"));
  EXPECT_FALSE(registry.isClaimed(kBob, kSecond));

  registry.removeAccount(kAlice);
  EXPECT_TRUE(registry.claimedIDs(kAlice).empty());
  EXPECT_FALSE(registry.isClaimed(kAlice, kFirst));
  EXPECT_TRUE(registry.isClaimed(kBob, kFirst));
}

}  // namespace
}  // namespace orlith
