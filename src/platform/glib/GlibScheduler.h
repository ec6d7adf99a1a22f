// Timers on a GLib main context: g_timeout on the monotonic clock, and a CLOCK_BOOTTIME timerfd
// for timers that count suspended time. Callbacks run on that context.
#pragma once

#include <glib.h>

#include <memory>

#include "base/Scheduler.h"

namespace orlith {

class GlibScheduler final : public Scheduler {
 public:
  // nullptr means the default main context.
  explicit GlibScheduler(GMainContext* context = nullptr);

  // A callback must not throw: an exception escaping it terminates the program.
  TimerHandle scheduleAfter(std::chrono::milliseconds delay, std::function<void()> action) override;
  // Throws std::system_error when the timer descriptor cannot be made or set.
  TimerHandle scheduleAfter(std::chrono::milliseconds delay, std::function<void()> action,
                            TimerClock clock) override;
  TimerHandle scheduleRepeating(std::chrono::milliseconds interval,
                                std::function<void()> action) override;

 private:
  enum class Repeat { once, everyInterval };
  TimerHandle schedule(std::chrono::milliseconds delay, std::function<void()> action,
                       Repeat repeat);

  std::unique_ptr<GMainContext, decltype(&g_main_context_unref)> context_;
};

}  // namespace orlith
