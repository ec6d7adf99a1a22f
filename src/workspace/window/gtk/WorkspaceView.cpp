// Changes of the tabs and the session are drawn once per main-loop turn.
#include "workspace/window/gtk/WorkspaceView.h"

#include "base/Json.h"
#include "base/MainQueue.h"
#include "workspace/window/WorkspaceChromeState.h"
#include "workspace/window/gtk/WorkspaceViewStyle.h"

namespace orlith {

WorkspaceView::WorkspaceView(WorkspaceWindowServices& services,
                             std::shared_ptr<WorkspaceTabsModel> tabs,
                             WorkspaceNetworkSession& network, WorkspaceWebViewOptions options,
                             std::function<void()> openWindow,
                             std::unique_ptr<Gtk::Widget> indicator)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 0),
      services_(services),
      tabs_(std::move(tabs)),
      openWindow_(std::move(openWindow)),
      surfaces_(services, network, std::move(options)),
      refresh_([this] { refresh(); }) {
  add_css_class(kCanvasClass);
  chrome_ = std::make_unique<WorkspaceChrome>(chromeActions(), std::move(indicator));
  append(*chrome_);
  append(shadow_);
  stack_.set_transition_type(Gtk::StackTransitionType::NONE);
  stack_.set_hexpand(true);
  stack_.set_vexpand(true);
  stack_.add(cover_, kCoverPage);
  stack_.add(surfaces_, kSurfacesPage);
  stack_.set_visible_child(cover_);
  append(stack_);

  tabsChanged_ = tabs_->changed().connect([this] { refresh_.schedule(); });
  sessionChanged_ = services_.session->changed().connect([this] { refresh_.schedule(); });
  appearanceChanged_ =
      services_.appearance.resolvedAppearanceChanged().connect([this] { applyAppearance(); });
  applyAppearance();
  signal_map().connect([this] {
    // Does nothing once the session is prepared.
    tabs_->prepareSession(services_.session->currentSession(), services_.preferences);
    refresh_.schedule();
  });
  refresh();
}

WorkspaceView::~WorkspaceView() = default;

void WorkspaceView::refresh() {
  if (tabs_->isSessionPrepared()) {
    surfaces_.sync(tabs_);
    if (stack_.get_visible_child() != &surfaces_)
      stack_.set_visible_child(surfaces_);
  } else {
    // A reset session: the old tabs' pages go; the new blank tab waits for the next prepare.
    surfaces_.host().clear();
    if (stack_.get_visible_child() != &cover_)
      stack_.set_visible_child(cover_);
  }
  WorkspaceChromeSnapshot snapshot;
  for (const auto& tab : tabs_->tabs())
    snapshot.tabs.push_back({tab->id(), tab->pageTitle()});
  snapshot.selectedID = tabs_->selectedID();
  WorkspaceChromeInputs inputs;
  inputs.tabCount = tabs_->tabs().size();
  inputs.maximumTabs = WorkspaceTabsModel::kMaximumTabs;
  auto selected = tabs_->selectedTab();
  inputs.hasSelectedTab = selected != nullptr;
  if (selected) {
    inputs.canGoBack = selected->canGoBack();
    inputs.canGoForward = selected->canGoForward();
    inputs.isLoading = selected->isLoading();
    inputs.selectedShowsWorkspacePage = tabs_->showsWorkspacePage(*selected);
  }
  if (const auto& session = services_.session->currentSession())
    inputs.email = session->email;
  snapshot.state = WorkspaceChromeState::from(inputs);
  chrome_->update(snapshot);
  if (onRefreshed)
    onRefreshed();
}

void WorkspaceView::applyAppearance() {
  bool dark = services_.appearance.resolvedIsDark();
  chrome_->setDark(dark);
  shadow_.setDark(dark);
}

WorkspaceChrome::Actions WorkspaceView::chromeActions() {
  // Each action reads the tabs model when it runs; the model is the window's and outlives the
  // view. A control whose target is gone does nothing.
  std::weak_ptr<WorkspaceTabsModel> weak = tabs_;
  auto onSelected = [weak](auto action) {
    return [weak, action] {
      auto tabs = weak.lock();
      auto tab = tabs ? tabs->selectedTab() : nullptr;
      if (tab)
        action(*tabs, *tab);
    };
  };
  WorkspaceChrome::Actions actions;
  actions.back = onSelected([](WorkspaceTabsModel&, WorkspaceModel& tab) {
    if (auto view = tab.webView())
      view->goBack();
  });
  actions.forward = onSelected([](WorkspaceTabsModel&, WorkspaceModel& tab) {
    if (auto view = tab.webView())
      view->goForward();
  });
  actions.reload =
      onSelected([](WorkspaceTabsModel&, WorkspaceModel& tab) { tab.reload(ReloadCache::use); });
  actions.home = onSelected([](WorkspaceTabsModel&, WorkspaceModel& tab) { tab.retry(); });
  actions.toggleSidebar = onSelected([](WorkspaceTabsModel& tabs, WorkspaceModel& tab) {
    if (!tabs.showsWorkspacePage(tab))
      return;
    if (tab.pendingCommands().enqueue(Json{{"type", "toggle-sidebar"}}))
      tab.startCommandDeliveryIfNeeded();
  });
  actions.selectTab = [weak](const std::string& id) {
    if (auto tabs = weak.lock())
      tabs->select(id);
  };
  actions.closeTab = [weak](const std::string& id) {
    if (auto tabs = weak.lock())
      tabs->closeTab(id);
  };
  actions.newTab = [weak] {
    if (auto tabs = weak.lock())
      tabs->newTab();
  };
  actions.search = [this, weak] {
    if (auto tabs = weak.lock())
      tabs->routeDesktopCommand(WorkspaceTabsModel::kSearchCommand,
                                services_.session->sessionRevision(), openWindow_);
  };
  actions.signOut = [session = std::weak_ptr<WorkspaceSession>(services_.session)] {
    // The window takes this view down when the session ends: not from inside its own menu.
    MainQueue::shared().post([session] {
      if (auto live = session.lock())
        live->signOut();
    });
  };
  actions.accountMenuOpening = [this] { refresh(); };
  return actions;
}

}  // namespace orlith
