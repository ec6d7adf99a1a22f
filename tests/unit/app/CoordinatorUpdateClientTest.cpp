// The app's update port over the coordinator: made once, on first use.
#include "app/CoordinatorUpdateClient.h"

#include <gtest/gtest.h>

#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/SequentialUuidSource.h"

namespace orlith {
namespace {

TEST(CoordinatorUpdateClientTest, TheCoordinatorIsMadeOnceOnFirstUse) {
  testing::ManualMainQueue queue;
  MainQueue::Installation installation(queue);
  testing::ManualTime time;
  SequentialUuidSource uuids;
  int made = 0;
  CoordinatorUpdateClient client(
      [&] {
        ++made;
        UpdateCoordinator::Dependencies d;
        d.showPanel = [] {};
        return std::make_shared<UpdateCoordinator>(std::move(d), time, uuids, "1.0.0");
      },
      true);
  EXPECT_FALSE(client.initialDecisionPending());
  EXPECT_EQ(made, 0);
  client.setInitialDecisionPending(true);
  EXPECT_TRUE(client.initialDecisionPending());
  client.checkForUpdates();
  EXPECT_EQ(made, 1);
  EXPECT_EQ(&client.coordinator(), &client.coordinator());
  EXPECT_TRUE(client.isInstallerBundled());
  queue.runUntilIdle();
}

}  // namespace
}  // namespace orlith
