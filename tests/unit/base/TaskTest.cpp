// Task, SharedTask and detached tasks: laziness, results, exceptions, several awaiters.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Scheduler.h"
#include "base/StartedTask.h"
#include "base/Task.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/RunToCompletion.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using testing::ManualMainQueue;
using testing::ManualTime;
using testing::runToCompletion;

class TaskTest : public ::testing::Test {
 protected:
  // Lets the queue and the clock run until no timer is due within `span`.
  void advanceAndRun(std::chrono::milliseconds span) {
    time.advance(span);
    queue.runUntilIdle();
  }

  ManualMainQueue queue;
  MainQueue::Installation installation{queue};
  ManualTime time;
};

Task<int> answer(int value) {
  co_return value;
}

Task<int> sumOfAnswers(int a, int b) {
  const int first = co_await answer(a);
  const int second = co_await answer(b);
  co_return first + second;
}

Task<std::string> failing(std::string message) {
  throw std::runtime_error(message);
  co_return "";
}

Task<std::string> passesFailureThrough(std::string message) {
  std::string value = co_await failing(std::move(message));
  co_return value + " unreachable";
}

Task<void> markRan(bool& ran) {
  ran = true;
  co_return;
}

Task<int> afterSleep(Scheduler& scheduler, int value, int& runs) {
  ++runs;
  co_await sleepFor(scheduler, 1s);
  co_return value;
}

Task<void> appendAfterSleep(Scheduler& scheduler, std::vector<std::string>& log, std::string name) {
  co_await sleepFor(scheduler, 1s);
  log.push_back(name);
}

Task<int> awaitShared(SharedTask<int> shared) {
  co_return co_await shared;
}

TEST_F(TaskTest, NestedTasksDeliverTheirValues) {
  EXPECT_EQ(runToCompletion(queue, sumOfAnswers(20, 22)), 42);
}

TEST_F(TaskTest, ExceptionThrownInBodyReachesTheAwaiterThroughEveryLevel) {
  try {
    runToCompletion(queue, passesFailureThrough("keyring locked"));
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "keyring locked");
  }
}

TEST_F(TaskTest, TaskIsLazyAndDestroyedUnawaitedNeverRuns) {
  bool ran = false;
  {
    Task<void> task = markRan(ran);
    EXPECT_TRUE(task.valid());
  }
  queue.runUntilIdle();
  EXPECT_FALSE(ran);
}

Task<void> awaitTwice(Task<int> task) {
  co_await std::move(task);
  co_await std::move(task);
}

TEST_F(TaskTest, AwaitingATaskTwiceThrows) {
  EXPECT_THROW(runToCompletion(queue, awaitTwice(answer(1))), std::logic_error);
}

TEST_F(TaskTest, StartDetachedStartsFromTheQueueNotInline) {
  bool ran = false;
  startDetached(markRan(ran), TaskPriority::background);
  EXPECT_FALSE(ran);
  EXPECT_EQ(queue.pendingCount(), 1u);
  queue.runUntilIdle();
  EXPECT_TRUE(ran);
}

TEST_F(TaskTest, DetachedTaskDroppedBeforeItStartsIsFreed) {
  bool ran = false;
  {
    ManualMainQueue shortLived;
    MainQueue::Installation scoped(shortLived);
    startDetached(markRan(ran));
  }
  EXPECT_FALSE(ran);
}

Task<void> cancelledBody() {
  throw TaskCancelled();
  co_return;
}

TEST_F(TaskTest, DetachedTaskEndedByCancellationIsQuiet) {
  startDetached(cancelledBody());
  EXPECT_NO_FATAL_FAILURE(queue.runUntilIdle());
}

Task<void> detachedFailure() {
  throw std::runtime_error("lost write");
  co_return;
}

TEST(TaskDeathTest, DetachedTaskThatThrowsTerminatesWithTheError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        ManualMainQueue queue;
        MainQueue::Installation installation(queue);
        startDetached(detachedFailure());
        queue.runUntilIdle();
      },
      "lost write");
}

TEST_F(TaskTest, SharedTaskRunsOnceAndEveryAwaiterGetsTheResult) {
  int runs = 0;
  SharedTask<int> shared(afterSleep(time, 7, runs));
  StartedTask<int> early(awaitShared(shared));
  StartedTask<int> alsoEarly(awaitShared(shared));
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(early.isDone());

  advanceAndRun(1s);
  ASSERT_TRUE(shared.isDone());
  EXPECT_EQ(early.takeResult(), 7);
  EXPECT_EQ(alsoEarly.takeResult(), 7);

  StartedTask<int> late(awaitShared(shared));
  EXPECT_FALSE(late.isDone()) << "a late awaiter resumes through the queue, not inline";
  queue.runUntilIdle();
  EXPECT_EQ(late.takeResult(), 7);
  EXPECT_EQ(runs, 1);
}

Task<int> failsAfterSleep(Scheduler& scheduler) {
  co_await sleepFor(scheduler, 1s);
  throw std::runtime_error("refresh failed");
}

TEST_F(TaskTest, SharedTaskExceptionReachesAwaitersBeforeAndAfterCompletion) {
  SharedTask<int> shared(failsAfterSleep(time));
  StartedTask<int> early(awaitShared(shared));
  advanceAndRun(1s);
  StartedTask<int> late(awaitShared(shared));
  queue.runUntilIdle();
  EXPECT_THROW(early.takeResult(), std::runtime_error);
  EXPECT_THROW(late.takeResult(), std::runtime_error);
}

Task<void> chainedCleanup(SharedTask<void> previous, Scheduler& scheduler,
                          std::vector<std::string>& log, std::string name) {
  co_await previous;
  co_await appendAfterSleep(scheduler, log, std::move(name));
}

Task<void> awaitSharedVoid(SharedTask<void> shared) {
  co_await shared;
}

TEST_F(TaskTest, SharedTaskChainedAfterThePreviousRunsAfterIt) {
  std::vector<std::string> log;
  SharedTask<void> first(appendAfterSleep(time, log, "first"));
  first.start();
  SharedTask<void> second(chainedCleanup(first, time, log, "second"));
  SharedTask<void> third(chainedCleanup(second, time, log, "third"));
  StartedTask<void> later(awaitSharedVoid(third));

  advanceAndRun(1s);
  EXPECT_EQ(log, (std::vector<std::string>{"first"}));
  advanceAndRun(1s);
  advanceAndRun(1s);
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_NO_THROW(later.takeResult());
}

TEST_F(TaskTest, StartedSharedTaskFinishesWhenEveryHandleIsDropped) {
  std::vector<std::string> log;
  SharedTask<void>(appendAfterSleep(time, log, "cleanup")).start();
  advanceAndRun(1s);
  EXPECT_EQ(log, (std::vector<std::string>{"cleanup"}));
}

TEST_F(TaskTest, TaskDestroyedWhileSuspendedIsNotResumedLater) {
  std::vector<std::string> log;
  { StartedTask<void> started(appendAfterSleep(time, log, "never")); }
  advanceAndRun(1s);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(time.activeTimerCount(), 0u);
}

}  // namespace
}  // namespace orlith
