// Restored tabs, measured: how much later the selected tab of a window restored with 20 tabs is
// ready than that of a window restored with one, and how much more memory the process tree
// holds. Each run is a fresh process with a fresh home folder and keyring item: it signs in
// through the stand-in, writes a recovery record of N tabs, builds the workspace window from
// the application context, and reports (a) the time from the window's creation to the selected
// tab's readiness report reaching the native side and (b) the PSS of its process tree (itself,
// its web and network processes) 5 s after that report. Runs alternate 1 and 20 tabs, 3 each;
// the last line gives the ratios of the medians. Run it under a display and a D-Bus session
// with an unlocked keyring (scripts/lib/in-test-session --display).
#include <dirent.h>
#include <glib.h>
#include <gtk/gtk.h>
#include <gtkmm/init.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/gtk/MainWindow.h"
#include "app/gtk/ProductionApplicationContext.h"
#include "base/StartedTask.h"
#include "base/Uuid.h"
#include "platform/glib/GlibMainQueue.h"
#include "support/StandinProcess.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"
#include "workspace/surface/gtk/WebProcessExtensions.h"
#include "workspace/window/WorkspaceTabRecoveryStore.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRunsEach = 3;
constexpr auto kSettleAfterReady = 5s;
using orlith::bench::kAccount;
using orlith::bench::kPassword;
using orlith::bench::median;
using orlith::bench::spinUntil;

template <class T>
T awaitOnLoop(orlith::Task<T> task) {
  orlith::StartedTask<T> started(std::move(task));
  if (!spinUntil([&] { return started.isDone(); }, 60s))
    throw std::runtime_error("the operation did not end in time");
  return started.takeResult();
}

// One measured run, in this process: prints "tabs=N time_ms=T pss_kb=P".
int runOnce(int tabCount, const std::string& origin) {
  gtk_init();
  Gtk::init_gtkmm_internals();
  orlith::WebProcessExtensions::install(ORLITH_BUNDLE_DIR "/Contents/Resources/web-extensions");
  orlith::GlibMainQueue mainQueue;
  orlith::MainQueue::Installation installation(mainQueue);

  orlith::OrlithEnvironment environment(*orlith::Url::parse(origin));
  auto context = orlith::makeProductionApplicationContext(
      environment, orlith::WorkspaceNetworkSession::shared(),
      "org.orlith.bench." + orlith::makeRandomUuid() + ".session");
  orlith::SessionStore& store = context->sessionStore();
  awaitOnLoop(store.restoreStoredSession());
  awaitOnLoop(store.submitEmailSignIn(kAccount, kPassword));
  if (!store.state().isAuthenticated()) {
    std::fprintf(stderr, "sign-in through the stand-in failed\n");
    return 1;
  }

  std::vector<orlith::Url> urls;
  for (int i = 0; i < tabCount; ++i)
    urls.push_back(*orlith::Url::parse(origin + "/app/board/" + std::to_string(i + 1)));
  auto recovery =
      orlith::WorkspaceTabRecoveryStore::make(kAccount, environment, context->preferences());
  recovery->save(orlith::makeRandomUuid(), urls, 0);

  const auto created = Clock::now();
  orlith::MainWindow::Options options;
  auto* window = new orlith::MainWindow(*context, orlith::WorkspaceNetworkSession::shared(),
                                        std::move(options));
  window->present();
  std::shared_ptr<orlith::WorkspaceModel> selected = window->tabs()->selectedTab();
  if (static_cast<int>(window->tabs()->tabs().size()) != tabCount) {
    std::fprintf(stderr, "restored %zu tabs, not %d\n", window->tabs()->tabs().size(), tabCount);
    return 1;
  }
  if (!spinUntil([&] { return selected->isReady(); }, 120s)) {
    std::fprintf(stderr, "the selected tab did not become ready\n");
    return 1;
  }
  const auto ready = Clock::now();
  spinUntil([] { return false; }, kSettleAfterReady);
  const long pss = orlith::bench::treePssKilobytes(getpid());
  const auto millis = std::chrono::duration<double, std::milli>(ready - created).count();
  std::printf("tabs=%d time_ms=%.1f pss_kb=%ld\n", tabCount, millis, pss);
  std::fflush(stdout);
  // The process ends here: its web processes go with it.
  std::_Exit(0);
}

struct Sample {
  double timeMs = 0;
  long pssKb = 0;
};

// Runs one measured child with a fresh home folder; its output line is parsed.
bool measure(const char* self, int tabCount, const std::string& origin, Sample& sample) {
  const char* parentHome = std::getenv("HOME");
  std::string home =
      std::string(parentHome && *parentHome ? parentHome : "/tmp") + "/bench-tab-restore-XXXXXX";
  if (!mkdtemp(home.data()))
    return false;
  std::vector<std::string> environment;
  for (char** variable = environ; *variable; ++variable) {
    std::string text(*variable);
    if (text.rfind("HOME=", 0) == 0 || text.rfind("XDG_CONFIG_HOME=", 0) == 0 ||
        text.rfind("XDG_DATA_HOME=", 0) == 0 || text.rfind("XDG_CACHE_HOME=", 0) == 0)
      continue;
    environment.push_back(text);
  }
  environment.push_back("HOME=" + home);
  environment.push_back("XDG_CONFIG_HOME=" + home + "/.config");
  environment.push_back("XDG_DATA_HOME=" + home + "/.local/share");
  environment.push_back("XDG_CACHE_HOME=" + home + "/.cache");
  std::vector<char*> envp;
  for (auto& text : environment)
    envp.push_back(text.data());
  envp.push_back(nullptr);
  std::string count = std::to_string(tabCount);
  std::string originArgument = origin;
  char runFlag[] = "--run";
  char* argv[] = {const_cast<char*>(self), runFlag, count.data(), originArgument.data(), nullptr};

  gchar* output = nullptr;
  gint status = 0;
  GError* error = nullptr;
  if (!g_spawn_sync(nullptr, argv, envp.data(), G_SPAWN_DEFAULT, nullptr, nullptr, &output, nullptr,
                    &status, &error)) {
    std::fprintf(stderr, "cannot run a measurement: %s\n", error ? error->message : "?");
    g_clear_error(&error);
    return false;
  }
  std::string text(output ? output : "");
  g_free(output);
  auto at = text.find("tabs=");
  if (!g_spawn_check_wait_status(status, nullptr) || at == std::string::npos)
    return false;
  int parsedTabs = 0;
  if (std::sscanf(text.c_str() + at, "tabs=%d time_ms=%lf pss_kb=%ld", &parsedTabs, &sample.timeMs,
                  &sample.pssKb) != 3)
    return false;
  std::printf("run: %s", text.c_str() + at);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--run")
    return runOnce(std::atoi(argv[2]), argv[3]);

  orlith::testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_DEV_DIR);
  std::map<int, std::vector<Sample>> samples;
  for (int round = 0; round < kRunsEach; ++round) {
    for (int tabCount : {1, 20}) {
      Sample sample;
      if (!measure(argv[0], tabCount, standin.origin(), sample)) {
        std::fprintf(stderr, "a measurement with %d tabs failed\n", tabCount);
        return 1;
      }
      samples[tabCount].push_back(sample);
    }
  }
  auto medianOf = [&](int tabs, auto field) {
    std::vector<double> values;
    for (const Sample& sample : samples[tabs])
      values.push_back(field(sample));
    return median(values);
  };
  auto time = [](const Sample& s) { return s.timeMs; };
  auto memory = [](const Sample& s) { return static_cast<double>(s.pssKb); };
  std::printf("median 1 tab: time_ms=%.1f pss_kb=%.0f\n", medianOf(1, time), medianOf(1, memory));
  std::printf("median 20 tabs: time_ms=%.1f pss_kb=%.0f\n", medianOf(20, time),
              medianOf(20, memory));
  std::printf("tabs20_vs_1: memory %.2f time %.2f\n", medianOf(20, memory) / medianOf(1, memory),
              medianOf(20, time) / medianOf(1, time));
  return 0;
}
