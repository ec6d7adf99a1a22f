// What the benchmark programs share: the stand-in's demo account, waiting on the main loop, the
// PSS of a process tree, the stand-in's first-paint reports and the median of the runs.
#pragma once

#include <dirent.h>
#include <glib.h>
#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace orlith::bench {

inline constexpr const char* kAccount = "demo@orlith.test";
inline constexpr const char* kPassword = "orlith-demo";

// Runs the default main context until `done` or the time-out; whether `done` came.
inline bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    if (!g_main_context_iteration(nullptr, FALSE))
      g_usleep(1000);
  }
  return true;
}

// Every process below `root`, by walking /proc's parent links.
inline std::set<pid_t> processTree(pid_t root) {
  std::map<pid_t, pid_t> parents;
  if (DIR* proc = opendir("/proc")) {
    while (dirent* entry = readdir(proc)) {
      char* end = nullptr;
      long pid = std::strtol(entry->d_name, &end, 10);
      if (!end || *end != '\0' || pid <= 0)
        continue;
      std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
      std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
      auto close = text.rfind(')');
      if (close == std::string::npos)
        continue;
      std::istringstream rest(text.substr(close + 2));
      char state = 0;
      long parent = 0;
      rest >> state >> parent;
      parents[static_cast<pid_t>(pid)] = static_cast<pid_t>(parent);
    }
    closedir(proc);
  }
  std::set<pid_t> tree{root};
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [pid, parent] : parents) {
      if (tree.contains(parent) && tree.insert(pid).second)
        grew = true;
    }
  }
  return tree;
}

inline long pssKilobytes(pid_t pid) {
  std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  while (std::getline(rollup, line)) {
    if (line.rfind("Pss:", 0) == 0)
      return std::strtol(line.c_str() + 4, nullptr, 10);
  }
  return 0;
}

// The PSS of `root` and every process below it.
inline long treePssKilobytes(pid_t root) {
  long pss = 0;
  for (pid_t pid : processTree(root))
    pss += pssKilobytes(pid);
  return pss;
}

// The first-paint reports the stand-in has appended to `log`, oldest first.
inline std::vector<long long> paintReports(const std::string& log) {
  std::vector<long long> reports;
  std::ifstream file(log);
  long long value = 0;
  while (file >> value)
    reports.push_back(value);
  return reports;
}

// The report after the first `before` ones, once the stand-in has appended it; nothing when none
// came within `timeout`.
inline std::optional<long long> nextPaintReport(const std::string& log, std::size_t before,
                                                std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::vector<long long> reports = paintReports(log);
    if (reports.size() > before)
      return reports[before];
    if (std::chrono::steady_clock::now() >= deadline)
      return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

inline double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace orlith::bench
