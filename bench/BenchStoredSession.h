// What a benchmark of the app program prepares before starting it: a stored session of the
// stand-in's demo account in the keyring item the app reads, the install offer answered once (as
// a user of a copy outside Applications would have), and optionally the tabs to restore.
#pragma once

#include <gtk/gtk.h>
#include <gtkmm/init.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "OrlithBuildConfig.h"
#include "app/AppDelegate.h"
#include "app/gtk/ProductionApplicationContext.h"
#include "base/StartedTask.h"
#include "base/Uuid.h"
#include "platform/glib/GlibMainQueue.h"
#include "support/StandinProcess.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"
#include "workspace/window/WorkspaceTabRecoveryStore.h"

namespace orlith::bench {

// Meant for a child process of its own, which it ends: signs in through the stand-in at
// `origin` and, with `restoredTabs`, leaves a recovery record of that many tabs on `page`.
[[noreturn]] inline void seedStoredSession(const std::string& origin,
                                           std::optional<int> restoredTabs = std::nullopt,
                                           const std::string& page = "/app") {
  using namespace std::chrono_literals;
  gtk_init();
  Gtk::init_gtkmm_internals();
  GlibMainQueue mainQueue;
  MainQueue::Installation installation(mainQueue);
  OrlithEnvironment environment(*Url::parse(origin));
  auto context = makeProductionApplicationContext(environment, WorkspaceNetworkSession::shared());
  StartedTask<void> restore(context->sessionStore().restoreStoredSession());
  spinUntil([&] { return restore.isDone(); }, 30s);
  StartedTask<void> signIn(context->sessionStore().submitEmailSignIn(kAccount, kPassword));
  if (!spinUntil([&] { return signIn.isDone(); }, 60s) ||
      !context->sessionStore().state().isAuthenticated()) {
    std::fprintf(stderr, "sign-in through the stand-in failed\n");
    std::_Exit(1);
  }
  context->preferences().setBoolean(AppDelegate::kDismissedReminderKey, true);
  if (restoredTabs) {
    auto recovery = WorkspaceTabRecoveryStore::make(kAccount, environment, context->preferences());
    if (!recovery) {
      std::fprintf(stderr, "no recovery record for the demo account\n");
      std::_Exit(1);
    }
    recovery->remove();
    recovery->save(makeRandomUuid(), std::vector<Url>(*restoredTabs, *Url::parse(origin + page)),
                   0);
  }
  std::fflush(stdout);
  std::_Exit(0);
}

// The stand-in where the app looks for its service: on the port of the build's origin, its
// first-paint reports appended to a fresh file in the home folder.
struct StandinForTheApp {
  std::unique_ptr<testing::StandinProcess> standin;
  std::string origin;
  std::string paintLog;
};

// Nothing, with the reason on stderr, when the stand-in does not serve the build's origin.
inline std::optional<StandinForTheApp> startStandinForTheApp(const std::string& logName) {
  const char* home = std::getenv("HOME");
  StandinForTheApp started;
  started.paintLog = std::string(home && *home ? home : "/tmp") + "/" + logName;
  std::remove(started.paintLog.c_str());
  setenv("ORLITH_STANDIN_PAINT_LOG", started.paintLog.c_str(), 1);
  const std::string buildOrigin = build::kServiceOrigin;
  started.standin = std::make_unique<testing::StandinProcess>(
      ORLITH_STANDIN_PATH, ORLITH_DEV_DIR, std::chrono::seconds(10),
      std::vector<std::string>{"--port", buildOrigin.substr(buildOrigin.rfind(':') + 1)});
  started.origin = started.standin->origin();
  if (started.origin != buildOrigin) {
    std::fprintf(stderr, "the stand-in serves %s, the app is built for %s\n",
                 started.origin.c_str(), buildOrigin.c_str());
    return std::nullopt;
  }
  return started;
}

inline constexpr const char* kSeedFlag = "--seed";

// Runs `self` with kSeedFlag, the origin and the tab count (none: 0), which main() hands to
// seedStoredSession(); whether it succeeded.
inline bool seedInChild(const char* self, const std::string& origin,
                        std::optional<int> restoredTabs = std::nullopt) {
  std::string flag = kSeedFlag, originArgument = origin,
              tabs = std::to_string(restoredTabs.value_or(0));
  char* argv[] = {const_cast<char*>(self), flag.data(), originArgument.data(), tabs.data(),
                  nullptr};
  gint status = 0;
  if (!g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, nullptr,
                    &status, nullptr) ||
      !g_spawn_check_wait_status(status, nullptr)) {
    std::fprintf(stderr, "seeding the session failed\n");
    return false;
  }
  return true;
}

// In main(): whether this run is the seeding child, which never returns.
inline void seedIfAsked(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == kSeedFlag) {
    const int tabs = std::atoi(argv[3]);
    seedStoredSession(argv[2], tabs > 0 ? std::optional<int>(tabs) : std::nullopt);
  }
}

}  // namespace orlith::bench
