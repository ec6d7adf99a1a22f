// A program a benchmark starts, with everything it starts in turn: kept in a control group of
// its own where the system lets us make one (so CPU time of processes and threads that ended
// still counts, and the whole tree ends at once), otherwise followed through /proc. The program
// dies with the benchmark, however the benchmark ends.
#pragma once

#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"

namespace orlith::bench {

class BenchProcessTree {
 public:
  // Starts `arguments` with the benchmark's environment plus `extraEnvironment`
  // ("NAME=value" entries, which win); output goes to /dev/null. Throws when it cannot start.
  BenchProcessTree(std::vector<std::string> arguments,
                   const std::vector<std::string>& extraEnvironment = {}) {
    static int serial = 0;
    const std::string name =
        "/orlith-bench-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    for (const char* root : kControlGroupRoots) {
      const std::string group = root + name;
      if (::access((std::string(root) + "/cgroup.controllers").c_str(), F_OK) == 0 &&
          ::mkdir(group.c_str(), 0755) == 0) {
        group_ = group;
        break;
      }
    }

    std::vector<std::string> environment = extraEnvironment;
    for (char** variable = environ; *variable; ++variable) {
      const std::string text(*variable);
      const std::string name = text.substr(0, text.find('='));
      bool replaced = false;
      for (const auto& extra : extraEnvironment)
        replaced = replaced || extra.substr(0, extra.find('=')) == name;
      if (!replaced)
        environment.push_back(text);
    }
    std::vector<char*> argv, envp;
    for (auto& argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    for (auto& entry : environment)
      envp.push_back(entry.data());
    envp.push_back(nullptr);

    // Opened here: the child may only make async-signal-safe calls before exec.
    if (group_)
      procsFd_ = ::open((*group_ + "/cgroup.procs").c_str(), O_WRONLY | O_CLOEXEC);
    GError* error = nullptr;
    if (!g_spawn_async(
            nullptr, argv.data(), envp.data(),
            static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL |
                                     G_SPAWN_STDERR_TO_DEV_NULL),
            &BenchProcessTree::inChild, this, &pid_, &error)) {
      const std::string message = error ? error->message : "?";
      g_clear_error(&error);
      release();
      throw std::runtime_error("cannot start " + arguments.front() + ": " + message);
    }
    if (procsFd_ >= 0) {
      ::close(procsFd_);
      procsFd_ = -1;
    }
  }

  ~BenchProcessTree() { release(); }
  BenchProcessTree(const BenchProcessTree&) = delete;
  BenchProcessTree& operator=(const BenchProcessTree&) = delete;

  pid_t pid() const { return pid_; }

  // The tree's CPU time at one moment: the group's total, or each process's own.
  struct CpuReading {
    std::optional<long long> groupMicros;
    std::map<pid_t, long long> processMicros;
  };

  CpuReading readCpu() const {
    CpuReading reading;
    if (countsWholeGroup())
      reading.groupMicros = groupCpuMicros();
    for (pid_t member : processTree(pid_))
      if (auto micros = processCpuMicros(member))
        reading.processMicros[member] = *micros;
    return reading;
  }

  // The tree's CPU time between two readings; without a group, of the processes in both.
  static long long treeMicrosBetween(const CpuReading& before, const CpuReading& after) {
    if (before.groupMicros && after.groupMicros)
      return *after.groupMicros - *before.groupMicros;
    long long micros = 0;
    for (const auto& [pid, value] : after.processMicros)
      if (auto it = before.processMicros.find(pid); it != before.processMicros.end())
        micros += value - it->second;
    return micros;
  }

  static long long processMicrosBetween(pid_t pid, const CpuReading& before,
                                        const CpuReading& after) {
    auto from = before.processMicros.find(pid);
    auto to = after.processMicros.find(pid);
    if (from == before.processMicros.end() || to == after.processMicros.end())
      return 0;
    return to->second - from->second;
  }

  // How the tree's CPU time is counted, for the report.
  std::string accounting() const {
    return countsWholeGroup() ? "control group cpu.stat, ended processes and threads included"
                              : "/proc utime+stime of the processes alive at both reads";
  }

  // utime + stime of one process, threads that ended included; nothing once it is gone.
  static std::optional<long long> processCpuMicros(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
      return std::nullopt;
    std::istringstream fields(text.substr(close + 2));
    std::string skipped;
    // After the name: state, then fields 4..13, then utime (14) and stime (15).
    for (int i = 3; i <= 13; ++i)
      fields >> skipped;
    long long utime = 0, stime = 0;
    if (!(fields >> utime >> stime))
      return std::nullopt;
    return (utime + stime) * 1'000'000 / ::sysconf(_SC_CLK_TCK);
  }

 private:
  // The unified hierarchy, where the system mounts both kinds or only it.
  static constexpr const char* kControlGroupRoots[] = {"/sys/fs/cgroup/unified", "/sys/fs/cgroup"};

  static void inChild(gpointer data) {
    auto* self = static_cast<BenchProcessTree*>(data);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (self->procsFd_ >= 0) {
      const char kSelf[] = "0\n";
      if (::write(self->procsFd_, kSelf, sizeof kSelf - 1) < 0) {
        // Left outside the group: the counts fall back to /proc, as countsWholeGroup() finds.
      }
    }
  }

  bool countsWholeGroup() const {
    if (!group_ || !groupCpuMicros())
      return false;
    std::ifstream procs(*group_ + "/cgroup.procs");
    pid_t member = 0;
    while (procs >> member)
      if (member == pid_)
        return true;
    // Once the program itself has gone only the group can say; it was in it from the start.
    return ::kill(pid_, 0) != 0;
  }

  std::optional<long long> groupCpuMicros() const {
    std::ifstream stat(*group_ + "/cpu.stat");
    std::string name;
    long long value = 0;
    while (stat >> name >> value)
      if (name == "usage_usec")
        return value;
    return std::nullopt;
  }

  void release() {
    if (procsFd_ >= 0)
      ::close(procsFd_);
    procsFd_ = -1;
    if (pid_ > 0) {
      const auto members = processTree(pid_);
      ::kill(pid_, SIGTERM);
      int status = 0;
      for (int i = 0; i < 500 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (::waitpid(pid_, &status, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
      }
      for (pid_t member : members)
        if (member != pid_)
          ::kill(member, SIGKILL);
      g_spawn_close_pid(pid_);
      pid_ = 0;
    }
    if (group_) {
      std::ofstream(*group_ + "/cgroup.kill") << "1\n";
      // The group can go only once it is empty.
      for (int i = 0; i < 500 && ::rmdir(group_->c_str()) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      group_.reset();
    }
  }

  std::optional<std::string> group_;
  int procsFd_ = -1;
  GPid pid_ = 0;
};

}  // namespace orlith::bench
