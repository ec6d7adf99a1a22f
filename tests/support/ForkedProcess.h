// A function run in a second process of the test's own: forked, killed with SIGKILL when the
// object goes or the test process dies, and reaped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>

namespace orlith::testing {

class ForkedProcess {
 public:
  // `body` runs in the child; its result is the child's exit code, an exception exits with 99.
  explicit ForkedProcess(const std::function<int()>& body);
  ~ForkedProcess();
  ForkedProcess(const ForkedProcess&) = delete;
  ForkedProcess& operator=(const ForkedProcess&) = delete;

  pid_t pid() const { return pid_; }
  // The exit code once the child has exited, waiting at most `timeout`; none when it has not
  // (or did not exit normally).
  std::optional<int> wait(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

}  // namespace orlith::testing
