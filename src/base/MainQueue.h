// The main thread's work queue: everything that touches models and views runs through it.
#pragma once

#include <functional>

namespace orlith {

class MainQueue {
 public:
  class Installation;

  virtual ~MainQueue() = default;

  // Thread-safe. `work` runs later on the main thread, never inline, in posting order. Work must
  // not throw: an exception escaping it terminates the program like one escaping a thread.
  virtual void post(std::function<void()> work) = 0;

  // The process-wide queue. Aborts when none is installed: that is a start-up fault.
  static MainQueue& shared();
  // The installed queue or nullptr (during shutdown, for instance).
  static MainQueue* installed() noexcept;
  // Installs `queue` (nullptr uninstalls). The caller keeps it alive while installed.
  static void install(MainQueue* queue) noexcept;
};

// Installs a queue for its own lifetime and restores the previous one afterwards.
class MainQueue::Installation {
 public:
  explicit Installation(MainQueue& queue) : previous_(MainQueue::installed()) {
    MainQueue::install(&queue);
  }
  ~Installation() { MainQueue::install(previous_); }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

 private:
  MainQueue* previous_;
};

}  // namespace orlith
