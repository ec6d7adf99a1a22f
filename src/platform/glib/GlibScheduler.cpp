// Timers on a GLib main context.
#include "platform/glib/GlibScheduler.h"

#include <glib-unix.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace orlith {

namespace {

struct TimerCallback {
  std::function<void()> action;
  bool repeating;
};

gboolean fire(gpointer data) noexcept {
  // GLib keeps the callback data alive through the dispatch even if the action cancels its own
  // timer, so `callback` stays valid after the call.
  auto* callback = static_cast<TimerCallback*>(data);
  callback->action();
  return callback->repeating ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void freeCallback(gpointer data) {
  delete static_cast<TimerCallback*>(data);
}

// A one-shot timerfd and its action; the descriptor closes with the source.
struct BoottimeCallback {
  int fd;
  std::function<void()> action;
};

gboolean fireBoottime(gint fd, GIOCondition, gpointer data) noexcept {
  std::uint64_t expirations = 0;
  // Nonblocking: a spurious wake-up reads nothing and waits on.
  if (::read(fd, &expirations, sizeof expirations) != sizeof expirations)
    return G_SOURCE_CONTINUE;
  static_cast<BoottimeCallback*>(data)->action();
  return G_SOURCE_REMOVE;
}

void freeBoottimeCallback(gpointer data) {
  auto* callback = static_cast<BoottimeCallback*>(data);
  ::close(callback->fd);
  delete callback;
}

class SourceTimer final : public TimerHandle::Timer {
 public:
  explicit SourceTimer(GSource* source) : source_(source, &g_source_unref) {}
  void cancel() noexcept override {
    if (!g_source_is_destroyed(source_.get()))
      g_source_destroy(source_.get());
  }
  bool isActive() const noexcept override { return !g_source_is_destroyed(source_.get()); }

 private:
  std::unique_ptr<GSource, decltype(&g_source_unref)> source_;
};

}  // namespace

GlibScheduler::GlibScheduler(GMainContext* context)
    : context_(g_main_context_ref(context != nullptr ? context : g_main_context_default()),
               &g_main_context_unref) {}

TimerHandle GlibScheduler::scheduleAfter(std::chrono::milliseconds delay,
                                         std::function<void()> action) {
  return schedule(delay, std::move(action), Repeat::once);
}

TimerHandle GlibScheduler::scheduleAfter(std::chrono::milliseconds delay,
                                         std::function<void()> action, TimerClock clock) {
  if (clock == TimerClock::monotonic)
    return schedule(delay, std::move(action), Repeat::once);
  // Not the alarm clock: the timer counts suspended time, it does not wake the machine.
  const int fd = ::timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC | TFD_NONBLOCK);
  if (fd < 0)
    throw std::system_error(errno, std::generic_category());
  // An absolute due time on the boot clock, so the time asleep counts toward it.
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const auto wait = std::max(delay, std::chrono::milliseconds(1));
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
  itimerspec due{};
  due.it_value.tv_sec = now.tv_sec + static_cast<time_t>(seconds.count());
  due.it_value.tv_nsec =
      now.tv_nsec + static_cast<long>(std::chrono::nanoseconds(wait - seconds).count());
  if (due.it_value.tv_nsec >= 1'000'000'000L) {
    due.it_value.tv_sec += 1;
    due.it_value.tv_nsec -= 1'000'000'000L;
  }
  if (::timerfd_settime(fd, TFD_TIMER_ABSTIME, &due, nullptr) != 0) {
    const int error = errno;
    ::close(fd);
    throw std::system_error(error, std::generic_category());
  }
  GSource* source = g_unix_fd_source_new(fd, G_IO_IN);
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, G_SOURCE_FUNC(fireBoottime),
                        new BoottimeCallback{fd, std::move(action)}, &freeBoottimeCallback);
  g_source_attach(source, context_.get());
  return TimerHandle(std::make_unique<SourceTimer>(source));
}

TimerHandle GlibScheduler::scheduleRepeating(std::chrono::milliseconds interval,
                                             std::function<void()> action) {
  if (interval <= std::chrono::milliseconds::zero()) {
    throw std::invalid_argument("a repeating timer needs a positive interval");
  }
  return schedule(interval, std::move(action), Repeat::everyInterval);
}

TimerHandle GlibScheduler::schedule(std::chrono::milliseconds delay, std::function<void()> action,
                                    Repeat repeat) {
  const auto milliseconds = std::clamp<std::chrono::milliseconds::rep>(
      delay.count(), 0, std::numeric_limits<guint>::max());
  GSource* source = g_timeout_source_new(static_cast<guint>(milliseconds));
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, &fire,
                        new TimerCallback{std::move(action), repeat == Repeat::everyInterval},
                        &freeCallback);
  g_source_attach(source, context_.get());
  return TimerHandle(std::make_unique<SourceTimer>(source));
}

}  // namespace orlith
