// Forked test processes that never outlive the test.
#include "support/ForkedProcess.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace orlith::testing {

ForkedProcess::ForkedProcess(const std::function<int()>& body) {
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ < 0)
    throw std::system_error(errno, std::generic_category(), "fork");
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
      ::_exit(98);
    int code = 99;
    try {
      code = body();
    } catch (...) {
      // Reported as the exit code.
    }
    ::_exit(code);
  }
}

ForkedProcess::~ForkedProcess() {
  if (!reaped_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

std::optional<int> ForkedProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!reaped_) {
    const pid_t got = ::waitpid(pid_, &status_, WNOHANG);
    if (got == pid_) {
      reaped_ = true;
    } else if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  if (!WIFEXITED(status_))
    return std::nullopt;
  return WEXITSTATUS(status_);
}

}  // namespace orlith::testing
