// Timers: ManualTime's hand-driven schedule, sleepFor and its cancellation, GLib timers.
#include <gtest/gtest.h>

#include <glib.h>

#include <chrono>
#include <stop_token>
#include <thread>
#include <vector>

#include "base/Scheduler.h"
#include "base/StartedTask.h"
#include "platform/glib/GlibMainQueue.h"
#include "platform/glib/GlibScheduler.h"
#include "platform/glib/GlibTaskRunner.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using testing::ManualMainQueue;
using testing::ManualTime;
using Elapsed = std::chrono::milliseconds;

class ManualTimeTest : public ::testing::Test {
 protected:
  Elapsed sinceStart() const {
    return std::chrono::duration_cast<Elapsed>(time.monotonicNow() - start);
  }

  ManualMainQueue queue;
  MainQueue::Installation installation{queue};
  ManualTime time;
  const std::chrono::steady_clock::time_point start = time.monotonicNow();
};

TEST_F(ManualTimeTest, SixHourRepeatFiresExactlyAtEachMultiple) {
  std::vector<Elapsed> fired;
  TimerHandle timer = time.scheduleRepeating(6h, [&] { fired.push_back(sinceStart()); });

  time.advance(6h - 1s);
  EXPECT_TRUE(fired.empty());
  time.advance(12h + 2s);
  EXPECT_EQ(fired, (std::vector<Elapsed>{6h, 12h, 18h}));
  EXPECT_EQ(sinceStart(), Elapsed(18h + 1s));
  EXPECT_TRUE(timer.isActive());
}

TEST_F(ManualTimeTest, TimersFireInDueOrderWithTheClockAtTheirDueTime) {
  std::vector<Elapsed> fired;
  std::vector<TimerHandle> timers;
  for (Elapsed delay : {Elapsed(30s), Elapsed(10s), Elapsed(20s), Elapsed(10s)}) {
    timers.push_back(time.scheduleAfter(delay, [&] { fired.push_back(sinceStart()); }));
  }
  time.advance(1min);
  EXPECT_EQ(fired, (std::vector<Elapsed>{10s, 10s, 20s, 30s}));
  for (const TimerHandle& timer : timers)
    EXPECT_FALSE(timer.isActive());
}

TEST_F(ManualTimeTest, CancelledOrDestroyedHandleStopsItsTimer) {
  int cancelledFires = 0;
  int destroyedFires = 0;
  TimerHandle cancelled = time.scheduleRepeating(1h, [&] { ++cancelledFires; });
  {
    TimerHandle destroyed = time.scheduleAfter(2h, [&] { ++destroyedFires; });
  }
  time.advance(1h);
  EXPECT_EQ(cancelledFires, 1);
  cancelled.cancel();
  EXPECT_FALSE(cancelled.isActive());
  time.advance(5h);
  EXPECT_EQ(cancelledFires, 1);
  EXPECT_EQ(destroyedFires, 0);
  EXPECT_EQ(time.activeTimerCount(), 0u);
}

TEST_F(ManualTimeTest, RepeatingTimerMayCancelItselfFromItsCallback) {
  int fires = 0;
  TimerHandle timer;
  timer = time.scheduleRepeating(1min, [&] {
    if (++fires == 2)
      timer.cancel();
  });
  time.advance(10min);
  EXPECT_EQ(fires, 2);
}

TEST_F(ManualTimeTest, TimerScheduledByAFiringTimerFiresInTheSameAdvanceWhenDue) {
  std::vector<Elapsed> fired;
  TimerHandle follower;
  TimerHandle beyond;
  TimerHandle first = time.scheduleAfter(1h, [&] {
    fired.push_back(sinceStart());
    follower = time.scheduleAfter(30min, [&] { fired.push_back(sinceStart()); });
    beyond = time.scheduleAfter(5h, [&] { fired.push_back(sinceStart()); });
  });
  time.advance(2h);
  EXPECT_EQ(fired, (std::vector<Elapsed>{1h, 90min}));
  EXPECT_TRUE(beyond.isActive());
}

TEST_F(ManualTimeTest, WallClockMovesWithAdvanceAndCanBeSetAlone) {
  const auto wallStart = time.wallNow();
  time.advance(90s);
  EXPECT_EQ(time.wallNow() - wallStart, std::chrono::seconds(90));
  time.setWallNow(wallStart - 24h);
  EXPECT_EQ(sinceStart(), Elapsed(90s)) << "monotonic time does not follow the wall clock";
}

TEST_F(ManualTimeTest, RepeatingTimerWithoutPositiveIntervalIsRefused) {
  EXPECT_THROW((void)time.scheduleRepeating(0ms, [] {}), std::invalid_argument);
}

TEST_F(ManualTimeTest, SleepForCompletesAfterItsDurationThroughTheQueue) {
  StartedTask<void> sleeping(sleepFor(time, 10s));
  time.advance(10s - 1ms);
  queue.runUntilIdle();
  EXPECT_FALSE(sleeping.isDone());
  time.advance(1ms);
  EXPECT_FALSE(sleeping.isDone()) << "resumed through the queue, not from the timer";
  queue.runUntilIdle();
  ASSERT_TRUE(sleeping.isDone());
  EXPECT_NO_THROW(sleeping.takeResult());
}

enum class StopFrom { mainThread, otherThread, beforeStart };

class SleepForCancellationTest : public ManualTimeTest,
                                 public ::testing::WithParamInterface<StopFrom> {};

TEST_P(SleepForCancellationTest, StopRequestEndsTheSleepWithTaskCancelled) {
  std::stop_source stop;
  if (GetParam() == StopFrom::beforeStart)
    stop.request_stop();
  StartedTask<void> sleeping(sleepFor(time, 6h, stop.get_token()));
  if (GetParam() == StopFrom::mainThread)
    stop.request_stop();
  if (GetParam() == StopFrom::otherThread)
    std::thread([&] { stop.request_stop(); }).join();
  queue.runUntilIdle();
  ASSERT_TRUE(sleeping.isDone()) << "cancelled without any time passing";
  EXPECT_THROW(sleeping.takeResult(), TaskCancelled);
  EXPECT_EQ(time.activeTimerCount(), 0u);
  time.advance(7h);
  EXPECT_EQ(queue.runUntilIdle(), 0u);
}

INSTANTIATE_TEST_SUITE_P(All, SleepForCancellationTest,
                         ::testing::Values(StopFrom::mainThread, StopFrom::otherThread,
                                           StopFrom::beforeStart));

TEST(GlibSchedulerTest, TimerFiresOnTheMainContextAndACancelledOneDoesNot) {
  GlibScheduler scheduler;
  bool fired = false;
  bool cancelledFired = false;
  TimerHandle cancelled = scheduler.scheduleAfter(5ms, [&] { cancelledFired = true; });
  TimerHandle timer = scheduler.scheduleAfter(20ms, [&] { fired = true; });
  cancelled.cancel();
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!fired && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  EXPECT_TRUE(fired);
  EXPECT_FALSE(timer.isActive());
  EXPECT_FALSE(cancelledFired);
}

TEST(GlibSchedulerTest, SleepForWaitsAtLeastItsDuration) {
  GlibMainQueue queue;
  MainQueue::Installation installation(queue);
  GlibScheduler scheduler;
  const auto before = std::chrono::steady_clock::now();
  runOnMainContext(sleepFor(scheduler, 30ms));
  EXPECT_GE(std::chrono::steady_clock::now() - before, 30ms);
}

TEST(GlibSchedulerTest, ContinuousTimerFiresOnceNotBeforeItsDelayAndCancelsLikeAnother) {
  GlibScheduler scheduler;
  int fired = 0;
  bool cancelledFired = false;
  TimerHandle cancelled = scheduler.scheduleAfter(
      5ms, [&] { cancelledFired = true; }, TimerClock::continuous);
  cancelled.cancel();
  const auto before = std::chrono::steady_clock::now();
  TimerHandle timer = scheduler.scheduleAfter(
      40ms, [&] { ++fired; }, TimerClock::continuous);
  const auto deadline = before + 5s;
  while (fired == 0 && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  EXPECT_EQ(fired, 1);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 40ms);
  EXPECT_FALSE(timer.isActive());
  // Nothing fires again, and the cancelled one never did.
  const auto settle = std::chrono::steady_clock::now() + 60ms;
  while (std::chrono::steady_clock::now() < settle) {
    g_main_context_iteration(nullptr, FALSE);
  }
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(cancelledFired);
}

TEST(ManualTimeSuspendTest, CountsForContinuousTimersOnly) {
  testing::ManualTime time;
  bool continuous = false;
  bool monotonic = false;
  TimerHandle a = time.scheduleAfter(
      6h, [&] { continuous = true; }, TimerClock::continuous);
  TimerHandle b = time.scheduleAfter(6h, [&] { monotonic = true; });
  time.suspend(6h);
  EXPECT_TRUE(continuous);
  EXPECT_FALSE(monotonic);
  time.advance(6h);
  EXPECT_TRUE(monotonic);
}

}  // namespace
}  // namespace orlith
