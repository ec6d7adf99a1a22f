// CoalescedCallback: a burst of changes in one turn runs the callback once.
#include <gtest/gtest.h>

#include <memory>

#include "base/Observable.h"
#include "support/ManualMainQueue.h"

namespace orlith {
namespace {

using testing::ManualMainQueue;

class CoalescedCallbackTest : public ::testing::Test {
 protected:
  ManualMainQueue queue;
  MainQueue::Installation installation{queue};
};

TEST_F(CoalescedCallbackTest, ManyChangesInOneTurnRunTheCallbackOnce) {
  int redraws = 0;
  ChangeSignal changed;
  CoalescedCallback redraw([&] { ++redraws; });
  changed.connect([&] { redraw.schedule(); });
  for (int i = 0; i < 5; ++i)
    changed.emit();
  EXPECT_EQ(redraws, 0);
  EXPECT_EQ(queue.pendingCount(), 1u);
  queue.runUntilIdle();
  EXPECT_EQ(redraws, 1);

  changed.emit();
  queue.runUntilIdle();
  EXPECT_EQ(redraws, 2);
}

TEST_F(CoalescedCallbackTest, ScheduleFromTheCallbackRunsAgainOnALaterTurn) {
  int runs = 0;
  std::unique_ptr<CoalescedCallback> callback;
  callback = std::make_unique<CoalescedCallback>([&] {
    if (++runs == 1)
      callback->schedule();
  });
  callback->schedule();
  EXPECT_TRUE(queue.runOne());
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(callback->isScheduled());
  queue.runUntilIdle();
  EXPECT_EQ(runs, 2);
}

TEST_F(CoalescedCallbackTest, DestroyedBeforeItRunsDoesNothing) {
  int runs = 0;
  auto callback = std::make_unique<CoalescedCallback>([&] { ++runs; });
  callback->schedule();
  callback.reset();
  queue.runUntilIdle();
  EXPECT_EQ(runs, 0);
}

TEST(ScopedConnectionTest, DisconnectsWhenDestroyedOrReassignedAndFollowsAMove) {
  ChangeSignal changed;
  int first = 0;
  int second = 0;
  {
    ScopedConnection connection = changed.connect([&] { ++first; });
    changed.emit();
    ScopedConnection moved = std::move(connection);
    EXPECT_FALSE(connection.connected());
    changed.emit();
    // Reassigning drops the old handler at once.
    moved = changed.connect([&] { ++second; });
    changed.emit();
  }
  changed.emit();
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 1);

  ScopedConnection target = changed.connect([&] { ++first; });
  ScopedConnection source = changed.connect([&] { ++second; });
  target = std::move(source);
  changed.emit();
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 2);
  sigc::connection kept = target.release();
  target = ScopedConnection();
  changed.emit();
  EXPECT_EQ(second, 3);
  kept.disconnect();
}

TEST(ScopedConnectionTest, AHandlerMayDropItsOwnConnection) {
  ChangeSignal changed;
  int runs = 0;
  ScopedConnection connection;
  connection = changed.connect([&] {
    ++runs;
    connection.disconnect();
  });
  changed.emit();
  changed.emit();
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace orlith
