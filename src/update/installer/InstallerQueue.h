// The service's serial queue: one worker thread runs every job of a connection in order, timed
// jobs once their delay has passed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace orlith {

class InstallerQueue {
 public:
  using Job = std::function<void()>;

  InstallerQueue();
  InstallerQueue(const InstallerQueue&) = delete;
  InstallerQueue& operator=(const InstallerQueue&) = delete;
  // Jobs not yet run are dropped.
  ~InstallerQueue();

  void post(Job job) { postAfter(std::chrono::milliseconds(0), std::move(job)); }
  void postAfter(std::chrono::milliseconds delay, Job job);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable changed_;
  // Keyed by due time and then by order of posting, so equal times run in order.
  std::multimap<std::chrono::steady_clock::time_point, Job> jobs_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace orlith
