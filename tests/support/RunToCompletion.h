// Runs a Task to its end on a ManualMainQueue, failing when it stalls.
#pragma once

#include <chrono>
#include <stdexcept>

#include "base/StartedTask.h"
#include "support/ManualMainQueue.h"

namespace orlith::testing {

// Runs the queue until the task ends, waiting up to `stallTimeout` for work from worker
// threads. Throws std::runtime_error when the task stalls (nothing pending and nothing posted
// in time, or work that never stops posting work). `queue` must be the installed queue.
template <class T>
T runToCompletion(ManualMainQueue& queue, Task<T> task,
                  std::chrono::milliseconds stallTimeout = std::chrono::seconds(5)) {
  if (MainQueue::installed() != &queue) {
    throw std::logic_error("runToCompletion needs the queue it drives to be installed");
  }
  std::size_t runs = 0;
  return runUntilComplete(std::move(task), [&] {
    if (++runs > ManualMainQueue::kRunLimit)
      return false;
    return queue.runOne() || (queue.waitForWork(stallTimeout) && queue.runOne());
  });
}

}  // namespace orlith::testing
