// The chrome's binding to the tabs model and the session.
#include "workspace/window/WorkspaceChromeController.h"

#include <algorithm>

#include "base/Json.h"

namespace orlith {

WorkspaceChromeController::WorkspaceChromeController(std::shared_ptr<WorkspaceTabsModel> tabs,
                                                     std::shared_ptr<WorkspaceSession> session,
                                                     std::function<void()> openWindow,
                                                     MainQueue& queue)
    : tabs_(std::move(tabs)),
      session_(std::move(session)),
      openWindow_(std::move(openWindow)),
      queue_(queue) {
  tabsChanged_ = tabs_->changed().connect([this] {
    observeTabs();
    changed_.emit();
  });
  sessionChanged_ = session_->changed().connect([this] { changed_.emit(); });
  observeTabs();
}

WorkspaceChromeController::~WorkspaceChromeController() = default;

void WorkspaceChromeController::observeTabs() {
  // Every chip shows its own tab's title, so every tab is watched, not only the selected one.
  const auto& tabs = tabs_->tabs();
  const bool same =
      std::equal(tabs.begin(), tabs.end(), observedTabs_.begin(), observedTabs_.end(),
                 [](const std::shared_ptr<WorkspaceModel>& tab,
                    const std::weak_ptr<WorkspaceModel>& seen) { return tab == seen.lock(); });
  if (same)
    return;
  tabChanged_.clear();
  observedTabs_.clear();
  for (const auto& tab : tabs) {
    tabChanged_.emplace_back(tab->changed().connect([this] { changed_.emit(); }));
    observedTabs_.push_back(tab);
  }
}

WorkspaceChromeSnapshot WorkspaceChromeController::snapshot() const {
  WorkspaceChromeSnapshot snapshot;
  for (const auto& tab : tabs_->tabs())
    snapshot.tabs.push_back({tab->id(), tab->pageTitle()});
  snapshot.selectedID = tabs_->selectedID();

  WorkspaceChromeInputs inputs;
  inputs.tabCount = tabs_->tabs().size();
  inputs.maximumTabs = WorkspaceTabsModel::kMaximumTabs;
  const auto selected = tabs_->selectedTab();
  inputs.hasSelectedTab = selected != nullptr;
  if (selected) {
    inputs.canGoBack = selected->canGoBack();
    inputs.canGoForward = selected->canGoForward();
    inputs.isLoading = selected->isLoading();
    inputs.selectedShowsWorkspacePage = tabs_->showsWorkspacePage(*selected);
  }
  if (const auto& session = session_->currentSession(); session && session->email)
    inputs.email = *session->email;
  snapshot.state = WorkspaceChromeState::from(inputs);
  return snapshot;
}

void WorkspaceChromeController::back() {
  if (auto tab = tabs_->selectedTab())
    if (auto view = tab->webView())
      view->goBack();
}

void WorkspaceChromeController::forward() {
  if (auto tab = tabs_->selectedTab())
    if (auto view = tab->webView())
      view->goForward();
}

void WorkspaceChromeController::reload() {
  if (auto tab = tabs_->selectedTab())
    tab->reload(ReloadCache::use);
}

void WorkspaceChromeController::home() {
  if (auto tab = tabs_->selectedTab())
    tab->retry();
}

void WorkspaceChromeController::toggleSidebar() {
  auto tab = tabs_->selectedTab();
  if (!tab)
    return;
  // A refused command (a full queue) is dropped, and delivery is not started for it.
  if (tab->pendingCommands().enqueue(Json{{"type", "toggle-sidebar"}}))
    tab->startCommandDeliveryIfNeeded();
}

void WorkspaceChromeController::selectTab(const std::string& id) {
  tabs_->select(id);
}

void WorkspaceChromeController::closeTab(const std::string& id) {
  tabs_->closeTab(id);
}

void WorkspaceChromeController::newTab() {
  tabs_->newTab();
}

void WorkspaceChromeController::search() {
  tabs_->routeDesktopCommand(WorkspaceTabsModel::kSearchCommand, session_->sessionRevision(),
                             openWindow_);
}

void WorkspaceChromeController::signOut() {
  queue_.post([weak = std::weak_ptr<WorkspaceSession>(session_)] {
    if (auto session = weak.lock())
      session->signOut();
  });
}

}  // namespace orlith
