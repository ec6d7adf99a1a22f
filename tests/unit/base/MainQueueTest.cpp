// Ordering of the main queue: the manual one tests use and the GLib one programs use.
#include <gtest/gtest.h>

#include <glib.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/glib/GlibMainQueue.h"
#include "support/ManualMainQueue.h"

namespace orlith {
namespace {

using testing::ManualMainQueue;

// Iterates the default main context until `done` or the deadline; a short repeating timer
// bounds each blocking iteration.
bool iterateDefaultContextUntil(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const guint tick = g_timeout_add(
      10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  g_source_remove(tick);
  return done();
}

// Posts "outer" items, each of which posts an "inner" one: all outer ones posted first must
// run before any inner one.
template <class Queue>
void postNested(Queue& queue, std::vector<int>& order) {
  for (int i = 0; i < 3; ++i) {
    queue.post([&queue, &order, i] {
      order.push_back(i);
      queue.post([&order, i] { order.push_back(10 + i); });
    });
  }
}

TEST(ManualMainQueueTest, WorkPostedByWorkRunsAfterEarlierPosts) {
  ManualMainQueue queue;
  std::vector<int> order;
  postNested(queue, order);
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(queue.pendingCount(), 3u);
  EXPECT_EQ(queue.runUntilIdle(), 6u);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 10, 11, 12}));
  EXPECT_FALSE(queue.runOne());
}

TEST(ManualMainQueueTest, RunUntilIdleStopsWorkThatKeepsPostingItself) {
  ManualMainQueue queue;
  std::function<void()> again = [&] { queue.post(again); };
  queue.post(again);
  EXPECT_THROW(queue.runUntilIdle(50), std::runtime_error);
}

TEST(GlibMainQueueTest, WorkNeverRunsInlineAndWorkPostedByWorkRunsAfterEarlierPosts) {
  GlibMainQueue queue;
  std::vector<int> order;
  postNested(queue, order);
  EXPECT_TRUE(order.empty());
  ASSERT_TRUE(iterateDefaultContextUntil([&] { return order.size() == 6; }));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 10, 11, 12}));
}

TEST(GlibMainQueueTest, WorkPostedFromSeveralThreadsRunsInPostingOrder) {
  GlibMainQueue queue;
  constexpr int kThreads = 6;
  constexpr int kPostsPerThread = 500;
  // Taking a number and posting under one lock makes the posting order the numbering order.
  std::mutex postingLock;
  int nextNumber = 0;
  std::vector<int> ran;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kPostsPerThread; ++i) {
        std::lock_guard lock(postingLock);
        const int number = nextNumber++;
        queue.post([&ran, number] { ran.push_back(number); });
      }
    });
  }
  // The loop runs while the threads post, so the wake-up from other threads is exercised.
  const bool allRan =
      iterateDefaultContextUntil([&] { return ran.size() == kThreads * kPostsPerThread; });
  for (std::thread& thread : threads)
    thread.join();
  ASSERT_TRUE(allRan);
  for (int i = 0; i < kThreads * kPostsPerThread; ++i)
    ASSERT_EQ(ran[i], i) << "at " << i;
}

TEST(GlibMainQueueTest, PendingWorkIsDroppedWithTheQueue) {
  bool ran = false;
  {
    GlibMainQueue queue;
    queue.post([&] { ran = true; });
  }
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace orlith
