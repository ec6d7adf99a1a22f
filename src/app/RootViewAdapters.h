// The root view's ports over the process's SessionStore and a window's WorkspaceTabsModel.
#pragma once

#include <functional>
#include <memory>

#include "app/RootView.h"
#include "base/Preferences.h"
#include "session/SessionStore.h"
#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith {

class SessionStoreRootSession final : public RootView::Session {
 public:
  explicit SessionStoreRootSession(std::shared_ptr<SessionStore> store);

  const SessionState& state() const override { return store_->state(); }
  const std::optional<StoredSession>& currentSession() const override {
    return store_->currentSession();
  }
  std::int64_t sessionRevision() const override { return store_->sessionRevision(); }
  ChangeSignal& changed() override { return changed_; }
  void retryRecovery() override { store_->retryRecovery(); }
  void signOut() override { store_->signOut(); }

 private:
  std::shared_ptr<SessionStore> store_;
  ChangeSignal changed_;
  ScopedConnection storeChanged_;
};

class WorkspaceTabsRootTabs final : public RootView::Tabs {
 public:
  WorkspaceTabsRootTabs(std::shared_ptr<WorkspaceTabsModel> tabs, Preferences& preferences,
                        std::function<void()> openWindow)
      : tabs_(std::move(tabs)), preferences_(preferences), openWindow_(std::move(openWindow)) {}

  void prepareSession(const std::optional<StoredSession>& session) override {
    tabs_->prepareSession(session, preferences_);
  }
  void deliverPendingWindowCommands(std::int64_t revision) override {
    tabs_->deliverPendingWindowCommands(revision);
  }
  void resetSession() override { tabs_->resetSession(); }
  void routeDesktopCommand(std::string_view type, std::int64_t revision) override {
    tabs_->routeDesktopCommand(type, revision, openWindow_);
  }

 private:
  std::shared_ptr<WorkspaceTabsModel> tabs_;
  Preferences& preferences_;
  std::function<void()> openWindow_;
};

}  // namespace orlith
