// runOnWorker: the job runs off the main thread and its outcome comes back on it.
#include <gtest/gtest.h>

#include <glib.h>

#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "base/StartedTask.h"
#include "base/Worker.h"
#include "platform/glib/GlibMainQueue.h"
#include "platform/glib/GlibTaskRunner.h"
#include "support/ManualMainQueue.h"
#include "support/RunToCompletion.h"

namespace orlith {
namespace {

using testing::ManualMainQueue;
using testing::runToCompletion;

struct ThreadsSeen {
  std::thread::id job;
  std::thread::id resumed;
};

Task<int> squareOnWorker(int value, ThreadsSeen& seen) {
  const int result = co_await runOnWorker([value, &seen] {
    seen.job = std::this_thread::get_id();
    return value * value;
  });
  seen.resumed = std::this_thread::get_id();
  co_return result;
}

Task<int> failOnWorker() {
  co_return co_await runOnWorker([]() -> int { throw std::runtime_error("disk full"); });
}

Task<int> moveOnlyJob() {
  auto owned = std::make_unique<int>(5);
  // Named, not a temporary in the co_await operand: see runOnWorker about g++ 12.
  auto job = [owned = std::move(owned)] { return *owned + 1; };
  co_return co_await runOnWorker(std::move(job));
}

class WorkerTest : public ::testing::Test {
 protected:
  ManualMainQueue queue;
  MainQueue::Installation installation{queue};
};

TEST_F(WorkerTest, JobRunsOnAWorkerAndResumesOnTheMainThreadWithItsResult) {
  ThreadsSeen seen;
  EXPECT_EQ(runToCompletion(queue, squareOnWorker(12, seen)), 144);
  EXPECT_NE(seen.job, std::this_thread::get_id());
  EXPECT_EQ(seen.resumed, std::this_thread::get_id());
}

TEST_F(WorkerTest, JobExceptionReachesTheAwaiter) {
  EXPECT_THROW(runToCompletion(queue, failOnWorker()), std::runtime_error);
}

TEST_F(WorkerTest, MoveOnlyJobIsAccepted) {
  EXPECT_EQ(runToCompletion(queue, moveOnlyJob()), 6);
}

Task<void> waitOnWorker(std::shared_future<void> release) {
  auto job = [release] { release.wait(); };
  co_await runOnWorker(std::move(job));
}

TEST_F(WorkerTest, TaskDestroyedWhileItsJobRunsIsNotResumed) {
  std::promise<void> release;
  {
    StartedTask<void> started(waitOnWorker(release.get_future().share()));
    EXPECT_FALSE(started.isDone());
  }
  release.set_value();
  ASSERT_TRUE(queue.waitForWork(std::chrono::seconds(5)));
  EXPECT_NO_FATAL_FAILURE(queue.runUntilIdle());
}

TEST(GlibWorkerTest, JobResumesOnTheThreadIteratingTheMainContext) {
  GlibMainQueue queue;
  MainQueue::Installation installation(queue);
  ThreadsSeen seen;
  EXPECT_EQ(runOnMainContext(squareOnWorker(3, seen)), 9);
  EXPECT_NE(seen.job, std::this_thread::get_id());
  EXPECT_EQ(seen.resumed, std::this_thread::get_id());
}

}  // namespace
}  // namespace orlith
