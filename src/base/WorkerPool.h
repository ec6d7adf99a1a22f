// A small bounded pool of threads for blocking work (keyring, files, child processes).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orlith {

class WorkerPool {
 public:
  explicit WorkerPool(std::size_t threadCount);
  // Runs the jobs already started to their end; jobs not yet started are dropped.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Thread-safe. Jobs run in submission order as threads come free; a job must not throw.
  void submit(std::function<void()> job);

  // The process's pool, made on first use and never destroyed: a blocking job still running at
  // exit must neither hold the process up nor see objects torn down under it.
  static WorkerPool& shared();

 private:
  void work() noexcept;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace orlith
