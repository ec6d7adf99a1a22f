// The serial queue's worker.
#include "update/installer/InstallerQueue.h"

namespace orlith {

InstallerQueue::InstallerQueue() : worker_([this] { run(); }) {}

InstallerQueue::~InstallerQueue() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void InstallerQueue::postAfter(std::chrono::milliseconds delay, Job job) {
  {
    const std::lock_guard lock(mutex_);
    jobs_.emplace(std::chrono::steady_clock::now() + delay, std::move(job));
  }
  changed_.notify_all();
}

void InstallerQueue::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (jobs_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const auto due = jobs_.begin()->first;
    if (due > std::chrono::steady_clock::now()) {
      changed_.wait_until(lock, due);
      continue;
    }
    Job job = std::move(jobs_.begin()->second);
    jobs_.erase(jobs_.begin());
    lock.unlock();
    job();
    lock.lock();
  }
}

}  // namespace orlith
