// pidfd exit watch.
#include "update/trust/UpdateParentExitObservation.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

constexpr const char* kHandoffInvalid = "The application restart handoff is invalid.";
constexpr int kWaitStepMilliseconds = 100;

}  // namespace

UpdateParentExitObservation::UpdateParentExitObservation(pid_t pid) {
  if (pid < 1) {
    throw UpdateFailure(kHandoffInvalid);
  }
  const long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    descriptor_.reset(static_cast<int>(fd));
  } else if (errno == ESRCH) {
    exited_ = true;
  } else {
    throw UpdateFailure(kHandoffInvalid);
  }
}

bool UpdateParentExitObservation::wait(Deadline deadline,
                                       const std::function<void()>& checkCancellation) {
  while (!exited_) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      break;
    }
    checkCancellation();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    const int timeout = static_cast<int>(std::min<long long>(left, kWaitStepMilliseconds));
    pollfd entry{descriptor_.get(), POLLIN, 0};
    const int ready = ::poll(&entry, 1, timeout);
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw UpdateFailure(kHandoffInvalid);
    }
    if (ready == 0) {
      continue;
    }
    if ((entry.revents & (POLLERR | POLLNVAL)) != 0 || (entry.revents & POLLIN) == 0) {
      throw UpdateFailure(kHandoffInvalid);
    }
    exited_ = true;
  }
  checkCancellation();
  return exited_;
}

}  // namespace orlith
