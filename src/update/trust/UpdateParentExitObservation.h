// Watches one process until it exits, through a pidfd: no polling of the process table, and a
// pid reused by another process cannot be mistaken for the one watched.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>

#include "update/trust/UniqueFd.h"

namespace orlith {

class UpdateParentExitObservation {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // Throws UpdateFailure "The application restart handoff is invalid." for a pid below 1 and when
  // the process cannot be watched; a process that is already gone counts as exited.
  explicit UpdateParentExitObservation(pid_t pid);
  UpdateParentExitObservation(const UpdateParentExitObservation&) = delete;
  UpdateParentExitObservation& operator=(const UpdateParentExitObservation&) = delete;

  // True once the process has exited, false at the deadline. checkCancellation runs before every
  // wait of at most 0.1 s and once more at the end; what it throws ends the wait.
  bool wait(Deadline deadline, const std::function<void()>& checkCancellation);

 private:
  UniqueFd descriptor_;
  bool exited_ = false;
};

}  // namespace orlith
