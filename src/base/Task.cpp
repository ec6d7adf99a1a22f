// Detached tasks and main-queue resumption.
#include "base/Task.h"

namespace orlith {

namespace {

detail::SelfDestroyingCoroutine runDetached(Task<void> task, TaskPriority /*priority*/) {
  try {
    co_await std::move(task);
  } catch (const TaskCancelled&) {
    // A cancelled detached task has done what was asked of it.
  }
}

// Owns a detached coroutine until it starts, so a queue dropped with the start still pending
// frees the frame instead of leaking it.
class PendingStart {
 public:
  explicit PendingStart(std::coroutine_handle<> handle) : handle_(handle) {}
  PendingStart(const PendingStart&) = delete;
  PendingStart& operator=(const PendingStart&) = delete;
  ~PendingStart() {
    if (handle_)
      handle_.destroy();
  }
  void start() { std::exchange(handle_, nullptr).resume(); }

 private:
  std::coroutine_handle<> handle_;
};

}  // namespace

void detail::resumeOnMainQueue(ResumeSlot slot) {
  MainQueue::shared().post([slot = std::move(slot)] { resumeSlot(slot); });
}

void startDetached(Task<void> task, TaskPriority priority) {
  auto pending = std::make_shared<PendingStart>(runDetached(std::move(task), priority).handle);
  MainQueue::shared().post([pending] { pending->start(); });
}

}  // namespace orlith
