// sleepFor: a timer and a stop callback racing to resume one coroutine.
#include "base/Scheduler.h"

#include <optional>

namespace orlith {

namespace {

enum class SleepOutcome { pending, elapsed, cancelled };

struct SleepState {
  SleepOutcome outcome = SleepOutcome::pending;
  detail::ResumeSlot slot;
};

// Main thread only: the first of the timer and the stop request to get here wins.
void settle(SleepState& state, SleepOutcome outcome) {
  if (state.outcome != SleepOutcome::pending)
    return;
  state.outcome = outcome;
  detail::resumeSlot(state.slot);
}

void settleOnMainQueue(std::shared_ptr<SleepState> state, SleepOutcome outcome) {
  MainQueue::shared().post([state = std::move(state), outcome] { settle(*state, outcome); });
}

// May run on whichever thread requests the stop, so it only posts.
struct StopRequested {
  std::shared_ptr<SleepState> state;
  void operator()() const { settleOnMainQueue(state, SleepOutcome::cancelled); }
};

class SleepAwaiter {
 public:
  SleepAwaiter(Scheduler& scheduler, std::chrono::milliseconds duration, std::stop_token stop,
               TimerClock clock)
      : scheduler_(scheduler), duration_(duration), stop_(std::move(stop)), clock_(clock) {}
  SleepAwaiter(const SleepAwaiter&) = delete;
  SleepAwaiter& operator=(const SleepAwaiter&) = delete;

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> awaiting) {
    pending_.arm(awaiting);
    state_->slot = pending_.slot();
    timer_ = scheduler_.scheduleAfter(
        duration_, [state = state_] { settleOnMainQueue(state, SleepOutcome::elapsed); }, clock_);
    stopWatch_.emplace(stop_, StopRequested{state_});
  }
  void await_resume() const {
    if (state_->outcome == SleepOutcome::cancelled)
      throw TaskCancelled();
  }

 private:
  Scheduler& scheduler_;
  std::chrono::milliseconds duration_;
  std::stop_token stop_;
  TimerClock clock_;
  std::shared_ptr<SleepState> state_ = std::make_shared<SleepState>();
  TimerHandle timer_;
  std::optional<std::stop_callback<StopRequested>> stopWatch_;
  detail::PendingResume pending_;
};

}  // namespace

Task<void> sleepFor(Scheduler& scheduler, std::chrono::milliseconds duration, std::stop_token stop,
                    TimerClock clock) {
  throwIfStopRequested(stop);
  SleepAwaiter awaiter(scheduler, duration, std::move(stop), clock);
  co_await awaiter;
}

}  // namespace orlith
