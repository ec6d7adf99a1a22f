// A main queue that tests drive by hand. Install it with MainQueue::Installation.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "base/MainQueue.h"

namespace orlith::testing {

class ManualMainQueue final : public MainQueue {
 public:
  static constexpr std::size_t kRunLimit = 100000;

  ManualMainQueue() = default;
  ~ManualMainQueue() override;
  ManualMainQueue(const ManualMainQueue&) = delete;
  ManualMainQueue& operator=(const ManualMainQueue&) = delete;

  void post(std::function<void()> work) override;

  // Runs the oldest pending work; false when there was none.
  bool runOne();
  // Runs until nothing is pending, including work posted meanwhile; returns how much ran.
  // Throws std::runtime_error after `limit` runs: work that keeps posting itself.
  std::size_t runUntilIdle(std::size_t limit = kRunLimit);
  std::size_t pendingCount() const;
  // Waits for work posted by another thread; false when none came within `timeout`.
  bool waitForWork(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> pending_;
};

}  // namespace orlith::testing
