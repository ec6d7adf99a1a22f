// A main queue that tests drive by hand.
#include "support/ManualMainQueue.h"

#include <stdexcept>
#include <string>

namespace orlith::testing {

ManualMainQueue::~ManualMainQueue() {
  std::deque<std::function<void()>> dropped;
  std::lock_guard lock(mutex_);
  dropped.swap(pending_);
}

void ManualMainQueue::post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(work));
  }
  posted_.notify_all();
}

bool ManualMainQueue::runOne() {
  std::function<void()> work;
  {
    std::lock_guard lock(mutex_);
    if (pending_.empty())
      return false;
    work = std::move(pending_.front());
    pending_.pop_front();
  }
  work();
  return true;
}

std::size_t ManualMainQueue::runUntilIdle(std::size_t limit) {
  std::size_t ran = 0;
  while (runOne()) {
    if (++ran >= limit) {
      throw std::runtime_error("main queue still busy after " + std::to_string(limit) +
                               " runs: work keeps posting work");
    }
  }
  return ran;
}

std::size_t ManualMainQueue::pendingCount() const {
  std::lock_guard lock(mutex_);
  return pending_.size();
}

bool ManualMainQueue::waitForWork(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return posted_.wait_for(lock, timeout, [this] { return !pending_.empty(); });
}

}  // namespace orlith::testing
