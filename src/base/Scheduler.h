// Timers: the Scheduler port, its move-only TimerHandle, and sleepFor for coroutines.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>

#include "base/Task.h"

namespace orlith {

// Owns one scheduled timer; destroying or reassigning the handle cancels it.
class TimerHandle {
 public:
  // What a scheduler hands out per timer. cancel() may be called more than once, also from
  // inside the timer's own callback.
  class Timer {
   public:
    virtual ~Timer() = default;
    virtual void cancel() noexcept = 0;
    virtual bool isActive() const noexcept = 0;
  };

  TimerHandle() noexcept = default;
  explicit TimerHandle(std::unique_ptr<Timer> timer) noexcept : timer_(std::move(timer)) {}
  TimerHandle(TimerHandle&& other) noexcept = default;
  TimerHandle& operator=(TimerHandle&& other) noexcept {
    if (this != &other) {
      cancel();
      timer_ = std::move(other.timer_);
    }
    return *this;
  }
  TimerHandle(const TimerHandle&) = delete;
  TimerHandle& operator=(const TimerHandle&) = delete;
  ~TimerHandle() { cancel(); }

  void cancel() noexcept {
    if (timer_)
      std::exchange(timer_, nullptr)->cancel();
  }
  // True while the timer may still fire: a one-shot timer until it fired, a repeating one until
  // cancelled.
  bool isActive() const noexcept { return timer_ && timer_->isActive(); }

 private:
  std::unique_ptr<Timer> timer_;
};

// Which clock a one-shot timer counts on.
enum class TimerClock {
  monotonic,   // stands still while the system is suspended
  continuous,  // also counts the time the system spends suspended
};

// Callbacks run on the main thread. Intervals are measured on the monotonic clock unless a
// timer asks for the continuous one.
class Scheduler {
 public:
  virtual ~Scheduler() = default;
  // A negative delay counts as zero.
  [[nodiscard]] virtual TimerHandle scheduleAfter(std::chrono::milliseconds delay,
                                                  std::function<void()> action) = 0;
  // The same on the chosen clock. A scheduler that cannot count suspended time falls back to
  // the monotonic timer.
  [[nodiscard]] virtual TimerHandle scheduleAfter(std::chrono::milliseconds delay,
                                                  std::function<void()> action, TimerClock clock) {
    static_cast<void>(clock);
    return scheduleAfter(delay, std::move(action));
  }
  // Fires every `interval`, the first time one interval from now. Throws std::invalid_argument
  // for an interval that is not positive.
  [[nodiscard]] virtual TimerHandle scheduleRepeating(std::chrono::milliseconds interval,
                                                      std::function<void()> action) = 0;
};

// Completes after `duration`, resumed through the main queue; throws TaskCancelled as soon as
// `stop` is requested (checked first, then watched while sleeping).
Task<void> sleepFor(Scheduler& scheduler, std::chrono::milliseconds duration,
                    std::stop_token stop = {}, TimerClock clock = TimerClock::monotonic);

}  // namespace orlith
