// At rest, measured: the CPU time the app program spends while nothing changes, signed in on the
// stand-in's workspace page with 1 restored tab and with 20 (every tab's page loaded, the first
// shown), against a bare WebKitGTK window on the same page; all three draw with the same
// renderer. Each runs in a process tree of its own: once the shown page has reported its first
// paint, its window is given the input focus, left alone for 15 s and then measured for 60 s.
// The tree's time comes from its own control group where one can be made (ended processes and
// threads count), the program's own from /proc/<pid>/stat. The last three lines are percentages
// of one core. Run it under a display and a D-Bus session with an unlocked keyring, away from
// any running copy (scripts/lib/in-test-session --display build/bench/bench_idle).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BenchProcessTree.h"
#include "BenchStoredSession.h"
#include "BenchSupport.h"
#include "OrlithBuildConfig.h"

// Last: its macros clash with names in the toolkit's C++ headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using orlith::bench::BenchProcessTree;

constexpr auto kQuiet = 15s;
constexpr auto kMeasured = 60s;
constexpr auto kPaintTimeout = 120s;
constexpr auto kFocusTimeout = 10s;
// Both sides draw alike, whatever the display offers.
constexpr const char* kRenderer = "GSK_RENDERER=cairo";

struct Scenario {
  const char* name;
  std::vector<std::string> command;
  std::optional<int> restoredTabs;
};

struct Result {
  double programPercent = 0;
  double treePercent = 0;
};

double percentOf(long long micros, std::chrono::microseconds span) {
  return 100.0 * static_cast<double>(micros) / static_cast<double>(span.count());
}

std::string commandName(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "?" : name;
}

// The viewable top-level X window of `pid` with the largest area.
std::optional<Window> windowOf(Display* display, pid_t pid) {
  const Atom wmPid = XInternAtom(display, "_NET_WM_PID", True);
  if (wmPid == None)
    return std::nullopt;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
    return std::nullopt;
  std::optional<Window> best;
  long bestArea = -1;
  for (unsigned int i = 0; i < count; ++i) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, children[i], wmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) != Success)
      continue;
    const bool ours = data && items == 1 && format == 32 &&
                      static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid;
    if (data)
      XFree(data);
    XWindowAttributes attributes;
    if (!ours || !XGetWindowAttributes(display, children[i], &attributes) ||
        attributes.map_state != IsViewable)
      continue;
    const long area = static_cast<long>(attributes.width) * attributes.height;
    if (area > bestArea) {
      best = children[i];
      bestArea = area;
    }
  }
  if (children)
    XFree(children);
  return best;
}

// Raises the program's window and gives it the input focus, as a click on it would.
bool focusWindowOf(pid_t pid) {
  std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
  if (!display)
    return false;
  const auto deadline = Clock::now() + kFocusTimeout;
  while (Clock::now() < deadline) {
    if (auto window = windowOf(display.get(), pid)) {
      XRaiseWindow(display.get(), *window);
      XSetInputFocus(display.get(), *window, RevertToParent, CurrentTime);
      XSync(display.get(), False);
      Window focused = 0;
      int revert = 0;
      XGetInputFocus(display.get(), &focused, &revert);
      if (focused == *window)
        return true;
    }
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

std::optional<Result> measure(const Scenario& scenario, const std::string& log) {
  const std::size_t before = orlith::bench::paintReports(log).size();
  BenchProcessTree tree(scenario.command, {kRenderer});
  if (!orlith::bench::nextPaintReport(log, before, kPaintTimeout)) {
    std::fprintf(stderr, "%s never reported its first paint\n", scenario.name);
    return std::nullopt;
  }
  if (!focusWindowOf(tree.pid())) {
    std::fprintf(stderr, "the window of %s could not be focused\n", scenario.name);
    return std::nullopt;
  }
  std::this_thread::sleep_for(kQuiet);
  const auto start = tree.readCpu();
  const auto started = Clock::now();
  std::this_thread::sleep_for(kMeasured);
  const auto end = tree.readCpu();
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);

  Result result;
  result.programPercent =
      percentOf(BenchProcessTree::processMicrosBetween(tree.pid(), start, end), span);
  result.treePercent = percentOf(BenchProcessTree::treeMicrosBetween(start, end), span);
  std::printf("%s (%s):\n", scenario.name, tree.accounting().c_str());
  for (const auto& [pid, micros] : end.processMicros) {
    std::printf("  %-18s pid %-7d %6.2f %%\n", commandName(pid).c_str(), pid,
                percentOf(BenchProcessTree::processMicrosBetween(pid, start, end), span));
  }
  std::printf("  program %.2f %%, tree %.2f %% of one core over %.1f s\n", result.programPercent,
              result.treePercent, static_cast<double>(span.count()) / 1e6);
  std::fflush(stdout);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  orlith::bench::seedIfAsked(argc, argv);

  auto started = orlith::bench::startStandinForTheApp("bench-idle.log");
  if (!started)
    return 1;
  const std::string origin = started->origin;
  const std::string& log = started->paintLog;

  const std::vector<std::string> app = {ORLITH_BUNDLE_DIR "/Contents/MacOS/Orlith"};
  const std::vector<Scenario> scenarios = {
      {"app, 1 tab", app, 1},
      {"app, 20 tabs", app, 20},
      {"bare window",
       {ORLITH_BARE_WINDOW_PATH, orlith::build::kDevCertificatePath, origin + "/app"},
       std::nullopt},
  };
  std::vector<Result> results;
  for (const Scenario& scenario : scenarios) {
    if (scenario.restoredTabs &&
        !orlith::bench::seedInChild(argv[0], origin, scenario.restoredTabs))
      return 1;
    auto result = measure(scenario, log);
    if (!result)
      return 1;
    results.push_back(*result);
    // The next run starts on a quiet machine.
    std::this_thread::sleep_for(1s);
  }
  std::printf("idle_ui_percent_1_tab: %.2f\n", results[0].programPercent);
  std::printf("idle_tree_percent_20_tabs: %.2f\n", results[1].treePercent);
  std::printf("idle_bare_tree_percent: %.2f\n", results[2].treePercent);
  return 0;
}
