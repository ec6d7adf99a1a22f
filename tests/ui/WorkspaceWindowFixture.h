// Workspace windows built from the production application context against the stand-in, with
// the account signed in through it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "UiHarness.h"
#include "app/gtk/MainWindow.h"
#include "app/gtk/ProductionApplicationContext.h"
#include "base/StartedTask.h"
#include "platform/glib/GObjectPtr.h"
#include "support/StandinProcess.h"
#include "workspace/window/WorkspaceTabRecoveryStore.h"

namespace orlith::testing {

inline constexpr const char* kDemoAccount = "demo@orlith.test";
inline constexpr const char* kTwoFactorAccount = "two-factor@orlith.test";
inline constexpr const char* kPassword = "orlith-demo";

template <class T>
T awaitOnLoop(Task<T> task, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  StartedTask<T> started(std::move(task));
  if (!spinUntil([&] { return started.isDone(); }, timeout))
    throw std::runtime_error("the operation did not end in time");
  return started.takeResult();
}

// A picture of the whole test display in the build's ui-artifacts folder, for a person to look
// at; nothing when no screen-capture program is installed.
inline void saveScreen(const std::string& name) {
  spinUntil([] { return false; }, std::chrono::milliseconds(300));
  GCharPtr program(g_find_program_in_path("import"));
  if (!program)
    return;
  const auto folder = std::filesystem::path(ORLITH_BINARY_DIR) / "ui-artifacts";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / (name + ".png")).string();
  const gchar* argv[] = {program.get(), "-window", "root", path.c_str(), nullptr};
  g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
               nullptr, nullptr, nullptr, nullptr);
}

class WorkspaceWindowFixture : public ::testing::Test {
 protected:
  WorkspaceWindowFixture() : standin_(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert") {}

  void TearDown() override {
    windows_.clear();
    if (context_ && context_->sessionStore().currentSession())
      context_->sessionStore().clearLocalSession();
    spinUntil([] { return false; }, std::chrono::milliseconds(200));
  }

  OrlithEnvironment environment() const {
    return OrlithEnvironment(*Url::parse(standin_.origin()));
  }

  // A fresh context, as a new launch of the app makes one, restored from the keyring.
  ApplicationContext& launch(std::optional<OrlithEnvironment> environment = std::nullopt) {
    windows_.clear();
    context_.reset();
    context_ =
        makeProductionApplicationContext(environment ? *environment : this->environment(),
                                         WorkspaceNetworkSession::shared(), keychainService_);
    awaitOnLoop(context_->sessionStore().restoreStoredSession());
    return *context_;
  }

  // Signs in through the stand-in (the two-factor account with its code).
  void signIn(const std::string& account) {
    SessionStore& store = context_->sessionStore();
    awaitOnLoop(store.submitEmailSignIn(account, kPassword));
    if (auto token = store.pendingTwoFactorToken())
      awaitOnLoop(store.submitTwoFactorCode(BusyIndicator::shown, *token, "123456"));
    ASSERT_TRUE(store.state().isAuthenticated()) << account;
  }

  MainWindow& openWindow(MainWindow::Options options = {}) {
    if (!options.openWindow)
      options.openWindow = [this] { openWindow(); };
    windows_.push_back(std::make_unique<WindowHolder>(
        new MainWindow(*context_, WorkspaceNetworkSession::shared(), std::move(options))));
    MainWindow& window = *windows_.back()->window;
    presentAndWait(GTK_WINDOW(window.gobj()));
    return window;
  }

  // The selected tab's container once the window shows its workspace.
  WorkspaceContainerView* selectedContainer(MainWindow& window) {
    auto* workspace = window.workspace();
    auto tab = window.tabs()->selectedTab();
    return workspace && tab ? workspace->surfaces().container(tab->id()) : nullptr;
  }

  bool waitReady(MainWindow& window, const std::shared_ptr<WorkspaceModel>& tab,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    return spinUntil(
        [&] {
          return window.workspace() && window.workspace()->surfaces().container(tab->id()) &&
                 tab->isReady();
        },
        timeout);
  }

  WebKitWebView* webViewOf(MainWindow& window, const std::shared_ptr<WorkspaceModel>& tab) {
    auto* container = window.workspace()->surfaces().container(tab->id());
    return container ? container->webView().webView() : nullptr;
  }

  struct WindowHolder {
    explicit WindowHolder(MainWindow* made) : window(made) {}
    ~WindowHolder() {
      window->destroy();
      delete window;
    }
    MainWindow* window;
  };

  StandinProcess standin_;
  // The keyring is shared by every test of the run: each fixture keeps its session apart.
  std::string keychainService_ = "org.orlith.test." + makeRandomUuid() + ".session";
  std::unique_ptr<ApplicationContext> context_;
  std::vector<std::unique_ptr<WindowHolder>> windows_;
};

}  // namespace orlith::testing
