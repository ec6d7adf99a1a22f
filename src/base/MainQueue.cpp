// The one installed main queue.
#include "base/MainQueue.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace orlith {

namespace {
std::atomic<MainQueue*> installedQueue{nullptr};
}  // namespace

MainQueue& MainQueue::shared() {
  MainQueue* queue = installedQueue.load(std::memory_order_acquire);
  if (queue == nullptr) {
    std::fputs("orlith: MainQueue::shared() used before a main queue was installed\n", stderr);
    std::abort();
  }
  return *queue;
}

MainQueue* MainQueue::installed() noexcept {
  return installedQueue.load(std::memory_order_acquire);
}

void MainQueue::install(MainQueue* queue) noexcept {
  installedQueue.store(queue, std::memory_order_release);
}

}  // namespace orlith
