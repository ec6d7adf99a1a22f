// Timers on a GLib main context.
#include "platform/glib/GlibScheduler.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

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
