// A small bounded pool of threads for blocking work.
#include "base/WorkerPool.h"

#include <algorithm>

namespace orlith {

namespace {
// Blocking work here waits on I/O, not on the processor: a few threads keep several
// operations in flight without letting a burst of them spawn a thread each.
constexpr std::size_t kSharedThreadCount = 4;
}  // namespace

WorkerPool::WorkerPool(std::size_t threadCount) {
  threadCount = std::max<std::size_t>(threadCount, 1);
  threads_.reserve(threadCount);
  for (std::size_t i = 0; i < threadCount; ++i)
    threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(jobs_);
  }
  wake_.notify_all();
  for (std::thread& thread : threads_)
    thread.join();
}

void WorkerPool::submit(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

WorkerPool& WorkerPool::shared() {
  static WorkerPool* const pool = new WorkerPool(kSharedThreadCount);
  return *pool;
}

void WorkerPool::work() noexcept {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_)
        return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

}  // namespace orlith
