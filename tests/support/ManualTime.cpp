// A clock and scheduler that tests move by hand.
#include "support/ManualTime.h"

#include <algorithm>
#include <stdexcept>

namespace orlith::testing {

class ManualTime::EntryTimer final : public TimerHandle::Timer {
 public:
  explicit EntryTimer(std::weak_ptr<Entry> entry) : entry_(std::move(entry)) {}
  void cancel() noexcept override {
    if (auto entry = entry_.lock())
      entry->active = false;
  }
  bool isActive() const noexcept override {
    auto entry = entry_.lock();
    return entry && entry->active;
  }

 private:
  std::weak_ptr<Entry> entry_;
};

// Monotonic time starts well away from the clock's epoch, so that no code under test can
// mistake the start for a zero time point.
ManualTime::ManualTime(std::chrono::system_clock::time_point wallStart)
    : now_(std::chrono::steady_clock::time_point{} + std::chrono::hours(1000)),
      wallAtNow_(wallStart) {}

ManualTime::~ManualTime() = default;

std::chrono::system_clock::time_point ManualTime::wallNow() const {
  return wallAtNow_;
}

TimerHandle ManualTime::scheduleAfter(std::chrono::milliseconds delay,
                                      std::function<void()> action) {
  return add(std::max(delay, std::chrono::milliseconds::zero()), std::chrono::milliseconds::zero(),
             std::move(action));
}

TimerHandle ManualTime::scheduleAfter(std::chrono::milliseconds delay, std::function<void()> action,
                                      TimerClock clock) {
  return add(std::max(delay, std::chrono::milliseconds::zero()), std::chrono::milliseconds::zero(),
             std::move(action), clock);
}

void ManualTime::suspend(std::chrono::milliseconds span) {
  for (const auto& entry : entries_) {
    if (entry->active && entry->clock == TimerClock::monotonic)
      entry->due += span;
  }
  advance(span);
}

TimerHandle ManualTime::scheduleRepeating(std::chrono::milliseconds interval,
                                          std::function<void()> action) {
  if (interval <= std::chrono::milliseconds::zero()) {
    throw std::invalid_argument("a repeating timer needs a positive interval");
  }
  return add(interval, interval, std::move(action));
}

TimerHandle ManualTime::add(std::chrono::milliseconds delay, std::chrono::milliseconds interval,
                            std::function<void()> action, TimerClock clock) {
  auto entry = std::make_shared<Entry>(
      Entry{now_ + delay, interval, nextSequence_++, std::move(action), true, clock});
  entries_.push_back(entry);
  return TimerHandle(std::make_unique<EntryTimer>(entry));
}

void ManualTime::advance(std::chrono::milliseconds span) {
  if (span < std::chrono::milliseconds::zero()) {
    throw std::invalid_argument("time only moves forward");
  }
  if (advancing_)
    throw std::logic_error("advance() called from a timer callback");
  advancing_ = true;
  const auto target = now_ + span;
  for (;;) {
    std::erase_if(entries_, [](const auto& entry) { return !entry->active; });
    auto next =
        std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
          return a->due != b->due ? a->due < b->due : a->sequence < b->sequence;
        });
    if (next == entries_.end() || (*next)->due > target)
      break;
    // Held here: the callback may cancel its own timer or schedule others.
    std::shared_ptr<Entry> entry = *next;
    wallAtNow_ +=
        std::chrono::duration_cast<std::chrono::system_clock::duration>(entry->due - now_);
    now_ = entry->due;
    if (entry->interval > std::chrono::milliseconds::zero()) {
      entry->due += entry->interval;
    } else {
      entry->active = false;
    }
    try {
      entry->action();
    } catch (...) {
      advancing_ = false;
      throw;
    }
  }
  wallAtNow_ += std::chrono::duration_cast<std::chrono::system_clock::duration>(target - now_);
  now_ = target;
  advancing_ = false;
}

void ManualTime::setWallNow(std::chrono::system_clock::time_point wall) {
  wallAtNow_ = wall;
}

std::size_t ManualTime::activeTimerCount() const {
  return static_cast<std::size_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return e->active; }));
}

}  // namespace orlith::testing
