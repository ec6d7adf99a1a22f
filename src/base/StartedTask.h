// Runs a Task from outside any coroutine: StartedTask owns a started task and its outcome,
// runUntilComplete pumps an event source until the task ends.
#pragma once

#include <exception>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "base/Task.h"

namespace orlith {

template <class T = void>
class StartedTask {
  struct Outcome {
    bool done = false;
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::exception_ptr error;
  };

  // Suspends at its end so that the StartedTask frees the frame, finished or not.
  struct Driver {
    struct promise_type {
      Driver get_return_object() noexcept {
        return Driver{std::coroutine_handle<promise_type>::from_promise(*this)};
      }
      std::suspend_always initial_suspend() const noexcept { return {}; }
      std::suspend_always final_suspend() const noexcept { return {}; }
      void return_void() const noexcept {}
      void unhandled_exception() const noexcept { std::terminate(); }
    };
    std::coroutine_handle<promise_type> handle;
  };

 public:
  // Starts the task at once, on the calling (main) thread.
  explicit StartedTask(Task<T> task) : driver_(drive(std::move(task), outcome_).handle) {
    driver_.resume();
  }
  StartedTask(const StartedTask&) = delete;
  StartedTask& operator=(const StartedTask&) = delete;
  // Destroying an unfinished task destroys its frames; pending resumptions then find nothing.
  ~StartedTask() { driver_.destroy(); }

  bool isDone() const noexcept { return outcome_.done; }

  // The result, or the exception the task ended with. Only once, only when done.
  T takeResult() {
    if (!outcome_.done)
      throw std::logic_error("StartedTask has not finished");
    if (outcome_.error)
      std::rethrow_exception(outcome_.error);
    if constexpr (!std::is_void_v<T>)
      return std::move(*outcome_.value);
  }

 private:
  static Driver drive(Task<T> task, Outcome& outcome) {
    try {
      if constexpr (std::is_void_v<T>) {
        co_await std::move(task);
      } else {
        T value = co_await std::move(task);
        outcome.value.emplace(std::move(value));
      }
    } catch (...) {
      outcome.error = std::current_exception();
    }
    outcome.done = true;
  }

  Outcome outcome_;
  std::coroutine_handle<typename Driver::promise_type> driver_;
};

// Starts `task` and calls `pump()` until it ends; `pump` runs pending main-queue work and
// returns false when nothing more can happen, which is reported as std::runtime_error.
template <class T, class Pump>
T runUntilComplete(Task<T> task, Pump&& pump) {
  StartedTask<T> started(std::move(task));
  while (!started.isDone()) {
    if (!pump())
      throw std::runtime_error("task stalled before it completed");
  }
  return started.takeResult();
}

}  // namespace orlith
