// runOnWorker: blocking work on a worker thread, its result back on the main queue.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/MainQueue.h"
#include "base/Task.h"
#include "base/WorkerPool.h"

namespace orlith {

namespace detail {

template <class F>
class WorkerAwaiter {
  using Result = std::invoke_result_t<F&>;
  using Stored = std::conditional_t<std::is_void_v<Result>, std::monostate, Result>;

  // Written by the worker before it posts the resumption, read on the main thread after it.
  struct Outcome {
    std::optional<Stored> value;
    std::exception_ptr error;
  };

 public:
  explicit WorkerAwaiter(std::shared_ptr<F> job) : job_(std::move(job)) {}
  WorkerAwaiter(const WorkerAwaiter&) = delete;
  WorkerAwaiter& operator=(const WorkerAwaiter&) = delete;

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> awaiting) {
    pending_.arm(awaiting);
    WorkerPool::shared().submit([job = job_, outcome = outcome_, slot = pending_.slot()] {
      try {
        if constexpr (std::is_void_v<Result>) {
          (*job)();
          outcome->value.emplace();
        } else {
          outcome->value.emplace((*job)());
        }
      } catch (...) {
        outcome->error = std::current_exception();
      }
      // With no queue installed the program is shutting down and nothing is left to resume.
      if (MainQueue* queue = MainQueue::installed()) {
        queue->post([slot] { resumeSlot(slot); });
      }
    });
  }
  Result await_resume() {
    if (outcome_->error)
      std::rethrow_exception(outcome_->error);
    if constexpr (!std::is_void_v<Result>)
      return std::move(*outcome_->value);
  }

 private:
  std::shared_ptr<F> job_;
  std::shared_ptr<Outcome> outcome_ = std::make_shared<Outcome>();
  PendingResume pending_;
};

template <class F>
Task<std::invoke_result_t<F&>> awaitOnWorker(std::shared_ptr<F> job) {
  WorkerAwaiter<F> awaiter(std::move(job));
  co_return co_await awaiter;
}

}  // namespace detail

// Runs `job()` on the shared worker pool when awaited and resumes the awaiter on the main queue
// with its result or exception. `job` must not touch main-thread state.
// With g++ 12, name a job whose captures have destructors before awaiting it
// (`auto job = [...] {...}; co_await runOnWorker(std::move(job));`): that compiler destroys a
// temporary argument twice inside a co_await operand.
template <class F>
Task<std::invoke_result_t<F&>> runOnWorker(F job) {
  // Held by a shared_ptr so that move-only jobs fit the pool's copyable job type.
  return detail::awaitOnWorker(std::make_shared<F>(std::move(job)));
}

}  // namespace orlith
