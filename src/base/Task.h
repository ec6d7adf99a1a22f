// Task<T>, the lazy coroutine type of all asynchronous code; SharedTask<T> for one operation
// that several parties await; startDetached for work nobody awaits.
#pragma once

#include <concepts>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/Cancellation.h"
#include "base/MainQueue.h"

namespace orlith {

template <class T = void>
class Task;

enum class TaskPriority { background, utility, userInitiated, userInteractive };

namespace detail {

// A suspended coroutine waiting to be resumed through the main queue. The awaiter that owns
// the PendingResume clears the slot when its frame is destroyed first, so a late resumption
// finds nothing to resume instead of a freed frame.
using ResumeSlot = std::shared_ptr<std::coroutine_handle<>>;

class PendingResume {
 public:
  PendingResume() = default;
  PendingResume(const PendingResume&) = delete;
  PendingResume& operator=(const PendingResume&) = delete;
  ~PendingResume() {
    if (slot_)
      *slot_ = nullptr;
  }

  void arm(std::coroutine_handle<> handle) {
    slot_ = std::make_shared<std::coroutine_handle<>>(handle);
  }
  const ResumeSlot& slot() const { return slot_; }

 private:
  ResumeSlot slot_;
};

// Runs on the main thread: resumes the coroutine if its frame still exists.
inline void resumeSlot(const ResumeSlot& slot) {
  if (std::coroutine_handle<> handle = std::exchange(*slot, nullptr))
    handle.resume();
}

// Thread-safe: resumes the slot's coroutine later on the main queue.
void resumeOnMainQueue(ResumeSlot slot);

struct TaskPromiseBase {
  struct FinalAwaiter {
    bool await_ready() const noexcept { return false; }
    template <class Promise>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> done) noexcept {
      return done.promise().continuation;
    }
    void await_resume() const noexcept {}
  };

  std::suspend_always initial_suspend() const noexcept { return {}; }
  FinalAwaiter final_suspend() const noexcept { return {}; }
  void unhandled_exception() noexcept { error = std::current_exception(); }

  std::coroutine_handle<> continuation = std::noop_coroutine();
  std::exception_ptr error;
};

template <class T>
struct TaskPromise : TaskPromiseBase {
  Task<T> get_return_object() noexcept;
  template <class U = T>
  requires std::constructible_from<T, U&&>
  void return_value(U&& value) { result.emplace(std::forward<U>(value)); }
  T takeResult() {
    if (error)
      std::rethrow_exception(error);
    return std::move(*result);
  }

  std::optional<T> result;
};

template <>
struct TaskPromise<void> : TaskPromiseBase {
  Task<void> get_return_object() noexcept;
  void return_void() const noexcept {}
  void takeResult() const {
    if (error)
      std::rethrow_exception(error);
  }
};

// A coroutine that starts when resumed by hand and frees its own frame when it ends. What
// escapes its body is a fault: it terminates like an exception escaping a thread.
struct SelfDestroyingCoroutine {
  struct promise_type {
    SelfDestroyingCoroutine get_return_object() noexcept {
      return {std::coroutine_handle<promise_type>::from_promise(*this)};
    }
    std::suspend_always initial_suspend() const noexcept { return {}; }
    std::suspend_never final_suspend() const noexcept { return {}; }
    void return_void() const noexcept {}
    void unhandled_exception() const noexcept { std::terminate(); }
  };
  std::coroutine_handle<> handle;
};

}  // namespace detail

// Lazy: the body starts when the task is awaited, and resumes its awaiter directly when it
// ends (every task runs on the main thread). Awaited once: `co_await std::move(task)`.
// Destroying a task that was never awaited frees its frame without running it.
template <class T>
class [[nodiscard]] Task {
  static_assert(!std::is_reference_v<T>, "Task<T&> is not supported; return a value");

 public:
  using promise_type = detail::TaskPromise<T>;
  using Handle = std::coroutine_handle<promise_type>;

  class Awaiter {
   public:
    explicit Awaiter(Handle handle) noexcept : handle_(handle) {}
    Awaiter(Awaiter&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Awaiter& operator=(Awaiter&&) = delete;
    ~Awaiter() {
      if (handle_)
        handle_.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
      handle_.promise().continuation = awaiting;
      return handle_;
    }
    T await_resume() { return handle_.promise().takeResult(); }

   private:
    Handle handle_;
  };

  Task() noexcept = default;
  Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Task& operator=(Task&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  ~Task() { reset(); }

  // False for a default-constructed, moved-from or already awaited task.
  bool valid() const noexcept { return static_cast<bool>(handle_); }

  Awaiter operator co_await() && {
    if (!handle_)
      throw std::logic_error("Task awaited twice or empty");
    return Awaiter(std::exchange(handle_, nullptr));
  }

 private:
  friend promise_type;
  explicit Task(Handle handle) noexcept : handle_(handle) {}
  void reset() noexcept {
    if (handle_)
      std::exchange(handle_, nullptr).destroy();
  }

  Handle handle_;
};

template <class T>
Task<T> detail::TaskPromise<T>::get_return_object() noexcept {
  return Task<T>(Task<T>::Handle::from_promise(*this));
}

inline Task<void> detail::TaskPromise<void>::get_return_object() noexcept {
  return Task<void>(Task<void>::Handle::from_promise(*this));
}

// A copyable handle on one operation that several parties await. The operation starts on the
// first await (directly, like a Task) or on start(); each awaiter gets a copy of the result or
// the exception, resumed through the main queue; later awaiters are resumed through the main
// queue at once. A started operation runs to its end even when every handle is dropped.
template <class T = void>
class SharedTask {
  static_assert(std::is_void_v<T> || std::is_copy_constructible_v<T>,
                "every awaiter of a SharedTask gets a copy of its result");

  struct State {
    explicit State(Task<T> body) : task(std::move(body)) {}

    Task<T> task;
    bool started = false;
    bool done = false;
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> result{};
    std::exception_ptr error;
    std::vector<detail::ResumeSlot> waiters;
  };

 public:
  class Awaiter {
   public:
    explicit Awaiter(std::shared_ptr<State> state) : state_(std::move(state)) {}

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) {
      pending_.arm(awaiting);
      if (state_->done) {
        detail::resumeOnMainQueue(pending_.slot());
        return std::noop_coroutine();
      }
      state_->waiters.push_back(pending_.slot());
      if (!state_->started)
        return launch(state_);
      return std::noop_coroutine();
    }
    T await_resume() const {
      if (state_->error)
        std::rethrow_exception(state_->error);
      if constexpr (!std::is_void_v<T>)
        return *state_->result;
    }

   private:
    std::shared_ptr<State> state_;
    detail::PendingResume pending_;
  };

  SharedTask() = default;
  explicit SharedTask(Task<T> task) : state_(std::make_shared<State>(std::move(task))) {}

  bool valid() const noexcept { return static_cast<bool>(state_); }
  bool isDone() const noexcept { return state_ && state_->done; }

  // Starts the operation now if it has not started; runs it up to its first suspension.
  void start() {
    requireState();
    if (!state_->started)
      launch(state_).resume();
  }

  Awaiter operator co_await() const {
    requireState();
    return Awaiter(state_);
  }

 private:
  void requireState() const {
    if (!state_)
      throw std::logic_error("SharedTask is empty");
  }

  static std::coroutine_handle<> launch(const std::shared_ptr<State>& state) {
    state->started = true;
    return run(state).handle;
  }

  // Keeps the state alive until the operation ends.
  static detail::SelfDestroyingCoroutine run(std::shared_ptr<State> state) {
    try {
      if constexpr (std::is_void_v<T>) {
        co_await std::move(state->task);
      } else {
        T value = co_await std::move(state->task);
        state->result.emplace(std::move(value));
      }
    } catch (...) {
      state->error = std::current_exception();
    }
    state->done = true;
    for (detail::ResumeSlot& waiter : state->waiters)
      detail::resumeOnMainQueue(std::move(waiter));
    state->waiters.clear();
  }

  std::shared_ptr<State> state_;
};

// Starts `task` from the main queue (posted, never inline) and lets it run on its own.
// Cancellation (TaskCancelled) ends it quietly; any other exception escaping it is a fault
// and terminates the program, which reports the exception, as one escaping a thread would.
// The priority is carried with the started task for callers to state intent; the main queue
// itself stays strictly FIFO, because running higher priorities first would reorder work
// callers posted in order.
void startDetached(Task<void> task, TaskPriority priority = TaskPriority::userInitiated);

}  // namespace orlith
