// Runs one test program so that nothing it starts outlives it:
//   orlith-test-guard PROGRAM [ARGUMENTS...]
// The process the caller sees only relays the exit status and dies with its own parent. Below it
// a watchdog is the subreaper of the test, so every process the test leaves behind, including
// those that start their own session, ends up its child; once the test has ended, or the relay
// is gone (the test's time-out or the test runner killed), it kills every process below itself.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

[[noreturn]] void exitLike(int status) {
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
  }
  std::_Exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

// A file under /proc, empty when its process has gone meanwhile. Plain reads: a stream reports a
// vanished process by throwing from inside its buffer.
std::string readProcFile(const std::string& path) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return text;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  return got < 0 ? std::string() : text;
}

// Parent of every process, from /proc: field 4 of stat, after the name in parentheses.
std::map<pid_t, pid_t> parents() {
  std::map<pid_t, pid_t> result;
  std::error_code error;
  try {
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
      const std::string name = entry.path().filename();
      if (name.find_first_not_of("0123456789") != std::string::npos)
        continue;
      const std::string text = readProcFile(entry.path() / "stat");
      const auto close = text.rfind(')');
      if (close == std::string::npos)
        continue;
      std::istringstream fields(text.substr(close + 1));
      char state = 0;
      pid_t parent = 0;
      if (fields >> state >> parent)
        result[std::stoi(name)] = parent;
    }
  } catch (const std::exception&) {
    // The listing changed under the reader: the caller's next round reads it again.
  }
  return result;
}

std::vector<pid_t> descendantsOf(pid_t root) {
  const auto parentOf = parents();
  std::set<pid_t> below{root};
  bool grew = true;
  while (grew) {
    grew = false;
    for (const auto& [pid, parent] : parentOf)
      if (below.count(parent) && below.insert(pid).second)
        grew = true;
  }
  below.erase(root);
  return {below.begin(), below.end()};
}

std::string commandOf(pid_t pid) {
  std::string name = readProcFile("/proc/" + std::to_string(pid) + "/comm");
  if (!name.empty() && name.back() == '\n')
    name.pop_back();
  return name;
}

// Kills everything below this process until nothing is left: a killed process's children come
// here, as this is their subreaper, and are found in the next round.
void endEverythingBelow(const char* when) {
  std::string ended;
  for (;;) {
    for (pid_t pid : descendantsOf(::getpid())) {
      if (::kill(pid, SIGKILL) == 0 && when)
        ended += (ended.empty() ? "" : ", ") + commandOf(pid) + " (" + std::to_string(pid) + ")";
    }
    pid_t reaped = 0;
    while ((reaped = ::waitpid(-1, nullptr, WNOHANG)) > 0) {
    }
    if (reaped < 0 && errno == ECHILD)
      break;
    std::this_thread::sleep_for(20ms);
  }
  if (when && !ended.empty())
    std::fprintf(stderr, "orlith-test-guard: killed what the test left running %s: %s\n", when,
                 ended.c_str());
}

[[noreturn]] void runTest(char** argv, pid_t watchdog) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != watchdog)
    std::_Exit(1);
  ::execvp(argv[0], argv);
  std::fprintf(stderr, "orlith-test-guard: cannot run %s\n", argv[0]);
  std::_Exit(127);
}

[[noreturn]] void watch(int lifeline, char** argv) {
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGCHLD, SIGTERM, SIGINT, SIGHUP})
    sigaddset(&signals, signal);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
  const pid_t self = ::getpid();
  const pid_t test = ::fork();
  if (test == 0)
    runTest(argv, self);
  if (test < 0 || signalFd < 0) {
    std::perror("orlith-test-guard");
    std::_Exit(1);
  }
  for (;;) {
    pollfd descriptors[] = {{lifeline, POLLIN, 0}, {signalFd, POLLIN, 0}};
    if (::poll(descriptors, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      endEverythingBelow("when the guard failed");
      std::_Exit(1);
    }
    if (descriptors[0].revents != 0) {
      endEverythingBelow(nullptr);
      std::_Exit(1);
    }
    signalfd_siginfo info{};
    if (::read(signalFd, &info, sizeof info) != sizeof info)
      continue;
    if (info.ssi_signo != SIGCHLD) {
      endEverythingBelow(nullptr);
      exitLike(static_cast<int>(info.ssi_signo));
    }
    int status = 0;
    pid_t reaped = 0;
    while ((reaped = ::waitpid(-1, &status, WNOHANG)) > 0) {
      if (reaped == test) {
        endEverythingBelow("after it ended");
        exitLike(status);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: orlith-test-guard PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  // The relay dies with whoever started it: the test runner killed ends the test too.
  const pid_t starter = ::getppid();
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != starter)
    return 1;
  int lifeline[2];
  if (::pipe2(lifeline, O_CLOEXEC) != 0) {
    std::perror("orlith-test-guard");
    return 1;
  }
  const pid_t watchdog = ::fork();
  if (watchdog < 0) {
    std::perror("orlith-test-guard");
    return 1;
  }
  if (watchdog == 0) {
    ::close(lifeline[1]);
    watch(lifeline[0], argv + 1);
  }
  // The write end stays open here until this process dies, however it dies.
  ::close(lifeline[0]);
  int status = 0;
  while (::waitpid(watchdog, &status, 0) < 0 && errno == EINTR) {
  }
  exitLike(status);
}
