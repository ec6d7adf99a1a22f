// Tickets of the account operation gate and the provider sign-in gate.
#include <gtest/gtest.h>

#include "session/ProviderSignInGate.h"
#include "session/SessionOperationGate.h"
#include "support/SequentialUuidSource.h"

namespace orlith {
namespace {

TEST(OperationGatesTest, OperationGateAdmitsOneAndDisownsAcrossRevisions) {
  SequentialUuidSource ids;
  SessionOperationGate gate;

  const auto first = gate.begin(ids);
  ASSERT_TRUE(first);
  EXPECT_EQ(gate.begin(ids), std::nullopt) << "a second operation while one runs";
  EXPECT_TRUE(gate.isCurrent(*first));

  gate.disownAll();
  EXPECT_FALSE(gate.isCurrent(*first));
  const auto second = gate.begin(ids);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->revision, 1);
  EXPECT_FALSE(gate.isCurrent(*first)) << "the gate is busy again, but not for the old ticket";

  // The same id from before the revision step is not current either.
  EXPECT_FALSE(gate.isCurrent({second->id, 0}));

  gate.end(*first);
  EXPECT_TRUE(gate.isCurrent(*second)) << "a stale ticket does not end the newer operation";
  gate.end(*second);
  EXPECT_EQ(gate.active(), std::nullopt);
  EXPECT_FALSE(gate.isCurrent(*second));
  EXPECT_TRUE(gate.begin(ids));
}

TEST(OperationGatesTest, ProviderGateHonoursOnlyTheNewestAttemptOnce) {
  SequentialUuidSource ids;
  ProviderSignInGate gate;
  const ProviderSignInGate::Ticket never{"00000000-0000-4000-8000-000000000009"};
  EXPECT_FALSE(gate.isCurrent(never));
  EXPECT_FALSE(gate.finish(never));

  const auto replaced = gate.start(ids);
  const auto newest = gate.start(ids);
  EXPECT_FALSE(gate.isCurrent(replaced));
  EXPECT_FALSE(gate.finish(replaced));
  EXPECT_TRUE(gate.isCurrent(newest));
  EXPECT_TRUE(gate.finish(newest));
  EXPECT_FALSE(gate.finish(newest));

  const auto abandoned = gate.start(ids);
  gate.abandon();
  EXPECT_FALSE(gate.finish(abandoned));
}

}  // namespace
}  // namespace orlith
