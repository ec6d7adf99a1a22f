// A child process that does one piece of work, reports one line through a pipe and then holds
// whatever it made (descriptors, locks) until it is killed with SIGKILL, by the test or, at the
// latest, with the test process itself.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace orlith::testing {

class HoldingChild {
 public:
  // The work runs in the child right after the fork, so it should use no thread of the parent.
  explicit HoldingChild(const std::function<std::string()>& work) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
      throw std::runtime_error("no pipe for the child");
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0)
      throw std::runtime_error("cannot fork the child");
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent)
        ::_exit(1);
      ::close(ends[0]);
      std::string line;
      try {
        line = work();
      } catch (const std::exception& error) {
        line = std::string("error: ") + error.what();
      }
      line += '\n';
      if (::write(ends[1], line.data(), line.size()) < 0)
        ::_exit(1);
      for (;;)
        ::pause();
    }
    ::close(ends[1]);
    pollfd wait{ends[0], POLLIN, 0};
    char buffer[4096];
    while (report_.find('\n') == std::string::npos && ::poll(&wait, 1, 10'000) == 1) {
      const ssize_t got = ::read(ends[0], buffer, sizeof buffer);
      if (got <= 0)
        break;
      report_.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(ends[0]);
    if (!report_.empty() && report_.back() == '\n')
      report_.pop_back();
  }
  ~HoldingChild() { kill(); }
  HoldingChild(const HoldingChild&) = delete;
  HoldingChild& operator=(const HoldingChild&) = delete;

  // What the work returned, or "error: " and what it threw; empty when nothing came in 10 s.
  const std::string& report() const { return report_; }
  // Kills the child with SIGKILL and reaps it.
  void kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  std::string report_;
};

}  // namespace orlith::testing
