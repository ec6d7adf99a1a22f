// Cold start, measured: the app program with a stored session against a bare WebKitGTK window
// loading the same workspace address, run alternately, 5 times each. Both are timed by the same
// signal, from process start: the stand-in's workspace page reports its first paint itself
// (after the load event and one animation frame it asks a fixed address, which the stand-in
// timestamps on the monotonic clock). The PSS of each process tree is read 5 s after that
// signal. The last two lines are the ratios of the app's medians to the bare window's. Run it
// under a display and a D-Bus session with an unlocked keyring, away from any running copy
// (scripts/lib/in-test-session --display build/bench/bench_cold_start).
#include <dirent.h>
#include <glib.h>
#include <gtk/gtk.h>
#include <gtkmm/init.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "OrlithBuildConfig.h"
#include "app/AppDelegate.h"
#include "app/gtk/ProductionApplicationContext.h"
#include "base/StartedTask.h"
#include "platform/glib/GlibMainQueue.h"
#include "support/StandinProcess.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRunsEach = 5;
constexpr auto kSettleAfterPaint = 5s;
constexpr auto kPaintTimeout = 60s;
using orlith::bench::kAccount;
using orlith::bench::kPassword;
using orlith::bench::median;
using orlith::bench::processTree;
using orlith::bench::spinUntil;

// In a child process: signs in through the stand-in into the keyring item the app reads, and
// answers the install offer once, as a user of a copy outside Applications would have.
int seedSession(const std::string& origin) {
  gtk_init();
  Gtk::init_gtkmm_internals();
  orlith::GlibMainQueue mainQueue;
  orlith::MainQueue::Installation installation(mainQueue);
  auto context = orlith::makeProductionApplicationContext(
      orlith::OrlithEnvironment(*orlith::Url::parse(origin)),
      orlith::WorkspaceNetworkSession::shared());
  orlith::StartedTask<void> restore(context->sessionStore().restoreStoredSession());
  spinUntil([&] { return restore.isDone(); }, 30s);
  orlith::StartedTask<void> signIn(context->sessionStore().submitEmailSignIn(kAccount, kPassword));
  if (!spinUntil([&] { return signIn.isDone(); }, 60s) ||
      !context->sessionStore().state().isAuthenticated()) {
    std::fprintf(stderr, "sign-in through the stand-in failed\n");
    return 1;
  }
  context->preferences().setBoolean(orlith::AppDelegate::kDismissedReminderKey, true);
  std::fflush(stdout);
  std::_Exit(0);
}

std::vector<long long> paintReports(const std::string& log) {
  std::vector<long long> reports;
  std::ifstream file(log);
  long long value = 0;
  while (file >> value)
    reports.push_back(value);
  return reports;
}

struct Sample {
  double timeMs = 0;
  long pssKb = 0;
};

// Starts `argv`, waits for the next first-paint report, reads the tree's PSS 5 s later and
// ends the tree.
bool measure(std::vector<std::string> arguments, const std::string& log, Sample& sample) {
  const std::size_t before = paintReports(log).size();
  std::vector<char*> argv;
  for (auto& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  GPid pid = 0;
  GError* error = nullptr;
  const auto started = Clock::now();
  if (!g_spawn_async(
          nullptr, argv.data(), nullptr,
          static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL |
                                   G_SPAWN_STDERR_TO_DEV_NULL),
          nullptr, nullptr, &pid, &error)) {
    std::fprintf(stderr, "cannot start %s: %s\n", argv[0], error ? error->message : "?");
    g_clear_error(&error);
    return false;
  }
  std::optional<long long> painted;
  const auto deadline = Clock::now() + kPaintTimeout;
  while (!painted && Clock::now() < deadline) {
    auto reports = paintReports(log);
    if (reports.size() > before)
      painted = reports[before];
    else
      std::this_thread::sleep_for(5ms);
  }
  bool ok = painted.has_value();
  if (ok) {
    const auto startNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(started.time_since_epoch()).count();
    sample.timeMs = static_cast<double>(*painted - startNs) / 1e6;
    std::this_thread::sleep_for(kSettleAfterPaint);
    sample.pssKb = orlith::bench::treePssKilobytes(pid);
  } else {
    std::fprintf(stderr, "%s never reported its first paint\n", argv[0]);
  }
  const auto tree = processTree(pid);
  ::kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(10ms);
  if (waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  for (pid_t member : tree)
    if (member != pid)
      ::kill(member, SIGKILL);
  // The next run starts on a quiet machine.
  std::this_thread::sleep_for(1s);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--seed")
    return seedSession(argv[2]);

  const char* home = std::getenv("HOME");
  const std::string log = std::string(home && *home ? home : "/tmp") + "/bench-cold-start.log";
  std::remove(log.c_str());
  setenv("ORLITH_STANDIN_PAINT_LOG", log.c_str(), 1);
  // The app loads its compiled-in origin: the stand-in listens there.
  const std::string buildOrigin = orlith::build::kServiceOrigin;
  orlith::testing::StandinProcess standin(
      ORLITH_STANDIN_PATH, ORLITH_DEV_DIR, 10s,
      {"--port", buildOrigin.substr(buildOrigin.rfind(':') + 1)});
  const std::string origin = standin.origin();
  if (origin != orlith::build::kServiceOrigin) {
    std::fprintf(stderr, "the stand-in serves %s, the app is built for %s\n", origin.c_str(),
                 orlith::build::kServiceOrigin);
    return 1;
  }
  {
    char seedFlag[] = "--seed";
    std::string originArgument = origin;
    char* seedArgv[] = {argv[0], seedFlag, originArgument.data(), nullptr};
    gint status = 0;
    if (!g_spawn_sync(nullptr, seedArgv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                      nullptr, &status, nullptr) ||
        !g_spawn_check_wait_status(status, nullptr)) {
      std::fprintf(stderr, "seeding the session failed\n");
      return 1;
    }
  }

  std::map<std::string, std::vector<Sample>> samples;
  const std::vector<std::string> app = {ORLITH_BUNDLE_DIR "/Contents/MacOS/Orlith"};
  const std::vector<std::string> bare = {ORLITH_BARE_WINDOW_PATH,
                                         orlith::build::kDevCertificatePath, origin + "/app"};
  for (int round = 0; round < kRunsEach; ++round) {
    for (const auto& [name, command] : {std::pair{"app", app}, std::pair{"bare", bare}}) {
      Sample sample;
      if (!measure(command, log, sample)) {
        std::fprintf(stderr, "a measurement of the %s failed\n", name);
        return 1;
      }
      std::printf("run %d %s: first_paint_ms=%.1f pss_kb=%ld\n", round + 1, name, sample.timeMs,
                  sample.pssKb);
      std::fflush(stdout);
      samples[name].push_back(sample);
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
  std::printf("median app: first_paint_ms=%.1f pss_kb=%.0f\n", medianOf("app", time),
              medianOf("app", memory));
  std::printf("median bare: first_paint_ms=%.1f pss_kb=%.0f\n", medianOf("bare", time),
              medianOf("bare", memory));
  std::printf("cold_start_vs_bare: %.2f\n", medianOf("app", time) / medianOf("bare", time));
  std::printf("memory_vs_bare: %.2f\n", medianOf("app", memory) / medianOf("bare", memory));
  return 0;
}
