// A clock and scheduler that tests move by hand: advance(6h) runs six hours of timers at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/Clock.h"
#include "base/Scheduler.h"

namespace orlith::testing {

// Timer callbacks run synchronously inside advance(), each with the clock set to its due time;
// a coroutine waiting on a timer (sleepFor) is resumed through the main queue, so run the queue
// after advancing. Main thread only.
class ManualTime final : public Clock, public Scheduler {
 public:
  static constexpr std::chrono::system_clock::time_point kDefaultWallStart{
      std::chrono::seconds(1704067200)};  // 2024-01-01T00:00:00Z

  explicit ManualTime(std::chrono::system_clock::time_point wallStart = kDefaultWallStart);
  ~ManualTime() override;

  std::chrono::steady_clock::time_point monotonicNow() const override { return now_; }
  std::chrono::system_clock::time_point wallNow() const override;

  TimerHandle scheduleAfter(std::chrono::milliseconds delay, std::function<void()> action) override;
  TimerHandle scheduleAfter(std::chrono::milliseconds delay, std::function<void()> action,
                            TimerClock clock) override;
  TimerHandle scheduleRepeating(std::chrono::milliseconds interval,
                                std::function<void()> action) override;

  // Moves both clocks forward by `span`, firing every timer that falls due within it (also
  // those scheduled meanwhile) in due-time order, ties in scheduling order. Repeating timers
  // fire at exactly start + k * interval.
  void advance(std::chrono::milliseconds span);
  // The system sleeps for `span`: continuous timers count it and fire when due, monotonic ones
  // are pushed back by it, as if their clock had stood still.
  void suspend(std::chrono::milliseconds span);
  // Sets the wall clock alone, as when the user changes the system time.
  void setWallNow(std::chrono::system_clock::time_point wall);

  std::size_t activeTimerCount() const;

 private:
  struct Entry {
    std::chrono::steady_clock::time_point due;
    std::chrono::milliseconds interval;  // zero: fires once
    std::uint64_t sequence;
    std::function<void()> action;
    bool active = true;
    TimerClock clock = TimerClock::monotonic;
  };
  class EntryTimer;

  TimerHandle add(std::chrono::milliseconds delay, std::chrono::milliseconds interval,
                  std::function<void()> action, TimerClock clock = TimerClock::monotonic);

  std::chrono::steady_clock::time_point now_;
  std::chrono::system_clock::time_point wallAtNow_;
  std::uint64_t nextSequence_ = 0;
  bool advancing_ = false;
  std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace orlith::testing
