// Cold start, measured: the app program with a stored session against a bare WebKitGTK window
// loading the same workspace address, run alternately, 5 times each, once as each picks its
// renderer and once with both drawing through the same one (GTK's cairo renderer). All are
// timed by the same signal, from process start: the stand-in's workspace page reports its first
// paint itself (after the load event and one animation frame it asks a fixed address, which the
// stand-in timestamps on the monotonic clock). The PSS of each process tree is read 5 s after
// that signal. The last four lines are the ratios of the app's medians to the bare window's,
// with the same renderer and as each picks it. Run it under a display and a D-Bus session with
// an unlocked keyring, away from any running copy
// (scripts/lib/in-test-session --display build/bench/bench_cold_start).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BenchProcessTree.h"
#include "BenchStoredSession.h"
#include "BenchSupport.h"
#include "OrlithBuildConfig.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRunsEach = 5;
constexpr auto kSettleAfterPaint = 5s;
constexpr auto kPaintTimeout = 60s;
using orlith::bench::BenchProcessTree;
using orlith::bench::median;
using orlith::bench::nextPaintReport;
using orlith::bench::paintReports;

struct Sample {
  double timeMs = 0;
  long pssKb = 0;
};

// Starts `arguments` with `environment` added, waits for the next first-paint report, reads the
// tree's PSS 5 s later and ends the tree.
bool measure(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             const std::string& log, Sample& sample) {
  const std::size_t before = paintReports(log).size();
  const auto started = Clock::now();
  std::optional<BenchProcessTree> tree;
  try {
    tree.emplace(arguments, environment);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return false;
  }
  const std::optional<long long> painted = nextPaintReport(log, before, kPaintTimeout);
  if (!painted) {
    std::fprintf(stderr, "%s never reported its first paint\n", arguments.front().c_str());
    return false;
  }
  const auto startNs =
      std::chrono::duration_cast<std::chrono::nanoseconds>(started.time_since_epoch()).count();
  sample.timeMs = static_cast<double>(*painted - startNs) / 1e6;
  std::this_thread::sleep_for(kSettleAfterPaint);
  sample.pssKb = orlith::bench::treePssKilobytes(tree->pid());
  tree.reset();
  // The next run starts on a quiet machine.
  std::this_thread::sleep_for(1s);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  orlith::bench::seedIfAsked(argc, argv);

  auto started = orlith::bench::startStandinForTheApp("bench-cold-start.log");
  if (!started)
    return 1;
  const std::string origin = started->origin;
  const std::string& log = started->paintLog;
  if (!orlith::bench::seedInChild(argv[0], origin))
    return 1;

  struct Series {
    const char* name;
    std::vector<std::string> command;
    std::vector<std::string> environment;
  };
  const std::vector<std::string> app = {ORLITH_BUNDLE_DIR "/Contents/MacOS/Orlith"};
  const std::vector<std::string> bare = {ORLITH_BARE_WINDOW_PATH,
                                         orlith::build::kDevCertificatePath, origin + "/app"};
  // Each as it chooses its renderer, and both with the one the app picks without direct
  // rendering.
  const std::vector<std::string> cairo = {"GSK_RENDERER=cairo"};
  const std::vector<Series> series = {
      {"app", app, {}}, {"bare", bare, {}}, {"app_cairo", app, cairo}, {"bare_cairo", bare, cairo}};
  std::map<std::string, std::vector<Sample>> samples;
  for (int round = 0; round < kRunsEach; ++round) {
    for (const Series& one : series) {
      Sample sample;
      if (!measure(one.command, one.environment, log, sample)) {
        std::fprintf(stderr, "a measurement of %s failed\n", one.name);
        return 1;
      }
      std::printf("run %d %s: first_paint_ms=%.1f pss_kb=%ld\n", round + 1, one.name, sample.timeMs,
                  sample.pssKb);
      std::fflush(stdout);
      samples[one.name].push_back(sample);
    }
  }
  auto medianOf = [&](const std::string& name, auto field) {
    std::vector<double> values;
    for (const Sample& sample : samples[name])
      values.push_back(field(sample));
    return median(values);
  };
  auto time = [](const Sample& s) { return s.timeMs; };
  auto memory = [](const Sample& s) { return static_cast<double>(s.pssKb); };
  for (const Series& one : series)
    std::printf("median %s: first_paint_ms=%.1f pss_kb=%.0f\n", one.name, medianOf(one.name, time),
                medianOf(one.name, memory));
  std::printf("cold_start_vs_bare_same_renderer: %.2f\n",
              medianOf("app_cairo", time) / medianOf("bare_cairo", time));
  std::printf("memory_vs_bare_same_renderer: %.2f\n",
              medianOf("app_cairo", memory) / medianOf("bare_cairo", memory));
  std::printf("cold_start_vs_bare: %.2f\n", medianOf("app", time) / medianOf("bare", time));
  std::printf("memory_vs_bare: %.2f\n", medianOf("app", memory) / medianOf("bare", memory));
  return 0;
}
