// The menu's enabled rules and commands.
#include "app/WorkspaceCommands.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "app/UpdateClient.h"
#include "base/Json.h"
#include "session/OrlithEnvironment.h"
#include "workspace/window/WorkspaceSession.h"
#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith {

WorkspaceMenuState WorkspaceMenuState::from(const WorkspaceMenuInputs& in) {
  WorkspaceMenuState state;
  state.signOut = in.signedIn;
  const bool focused = in.signedIn && in.tabs;
  state.newTab = focused && in.count < WorkspaceTabsModel::kMaximumTabs;
  state.closeTab = focused && in.count >= 2;
  state.search = focused;
  state.toggleSidebar = focused && in.hasSelectedTab && in.selectedShowsWorkspacePage;
  state.showNextTab = focused && in.count >= 2;
  state.showPreviousTab = state.showNextTab;
  for (std::size_t number = 1; number < kShowTabItems; ++number)
    state.showTab[number - 1] = focused && in.count >= number;
  state.showTab[kShowTabItems - 1] = focused;
  state.back = focused && in.hasSelectedTab && in.canGoBack;
  state.forward = focused && in.hasSelectedTab && in.canGoForward;
  state.home = focused;
  state.reload = focused;
  state.forceReload = focused;
  state.zoomIn = focused;
  state.zoomOut = focused;
  state.actualSize = focused;
  return state;
}

WorkspaceCommands::WorkspaceCommands(Dependencies dependencies)
    : session_(dependencies.session),
      preferences_(dependencies.preferences),
      appearance_(dependencies.appearance),
      updates_(dependencies.updates),
      openExternally_(std::move(dependencies.openExternally)),
      openWindow_(std::move(dependencies.openWindow)),
      post_(std::move(dependencies.post)) {}

std::string WorkspaceCommands::helpPageAddress() {
  return ServiceHosts::fromBuild().originText + "/contact";
}

std::string WorkspaceCommands::showTabTitle(int number) {
  return number >= 9 ? std::string("Show Last Tab") : "Show Tab " + std::to_string(number);
}

double WorkspaceCommands::zoomStep(double current, double factor) {
  const double next = current > 0 ? current * factor : factor;
  return std::clamp(next, kMinimumZoom, kMaximumZoom);
}

WorkspaceMenuInputs WorkspaceCommands::inputs(const WorkspaceTabsModel* tabs) const {
  WorkspaceMenuInputs in;
  in.signedIn = session_.state().isAuthenticated();
  if (!tabs)
    return in;
  in.tabs = true;
  in.count = tabs->tabs().size();
  if (auto selected = tabs->selectedTab()) {
    in.hasSelectedTab = true;
    in.selectedShowsWorkspacePage = tabs->showsWorkspacePage(*selected);
    in.canGoBack = selected->canGoBack();
    in.canGoForward = selected->canGoForward();
  }
  return in;
}

void WorkspaceCommands::checkForUpdates() {
  // The client shows its panel itself; the menu's activation has returned by then.
  post_([&updates = updates_] { updates.checkForUpdates(); });
}

void WorkspaceCommands::signOut() {
  session_.signOut();
}

void WorkspaceCommands::newTab(WorkspaceTabsModel* tabs) {
  if (tabs)
    tabs->newTab();
}

void WorkspaceCommands::closeTab(WorkspaceTabsModel* tabs) {
  if (tabs)
    tabs->closeTab(tabs->selectedID());
}

void WorkspaceCommands::search(WorkspaceTabsModel* tabs) {
  if (tabs)
    tabs->routeDesktopCommand(WorkspaceTabsModel::kSearchCommand, session_.sessionRevision(),
                              openWindow_);
}

void WorkspaceCommands::toggleSidebar(WorkspaceTabsModel* tabs) {
  auto selected = tabs ? tabs->selectedTab() : nullptr;
  if (!selected)
    return;
  if (selected->pendingCommands().enqueue(Json{{"type", "toggle-sidebar"}}))
    selected->startCommandDeliveryIfNeeded();
}

void WorkspaceCommands::selectAdjacentTab(WorkspaceTabsModel* tabs, int offset) {
  if (tabs)
    tabs->selectAdjacentTab(offset);
}

void WorkspaceCommands::showTab(WorkspaceTabsModel* tabs, int number) {
  if (!tabs)
    return;
  const auto count = static_cast<long>(tabs->tabs().size());
  const long index = number <= 8 ? number - 1 : count - 1;
  if (index < 0 || index >= count)
    return;
  // Copied: selecting may change the list the id came from.
  const std::string id = tabs->tabs()[static_cast<std::size_t>(index)]->id();
  tabs->select(id);
}

void WorkspaceCommands::goBack(WorkspaceTabsModel* tabs) {
  auto selected = tabs ? tabs->selectedTab() : nullptr;
  if (auto view = selected ? selected->webView() : nullptr)
    view->goBack();
}

void WorkspaceCommands::goForward(WorkspaceTabsModel* tabs) {
  auto selected = tabs ? tabs->selectedTab() : nullptr;
  if (auto view = selected ? selected->webView() : nullptr)
    view->goForward();
}

void WorkspaceCommands::home(WorkspaceTabsModel* tabs) {
  if (auto selected = tabs ? tabs->selectedTab() : nullptr)
    selected->retry();
}

void WorkspaceCommands::reload(WorkspaceTabsModel* tabs) {
  if (auto selected = tabs ? tabs->selectedTab() : nullptr)
    selected->reload(ReloadCache::use);
}

void WorkspaceCommands::forceReload(WorkspaceTabsModel* tabs) {
  if (auto selected = tabs ? tabs->selectedTab() : nullptr)
    selected->reload(ReloadCache::bypass);
}

void WorkspaceCommands::zoom(WorkspaceTabsModel* tabs, double factor) {
  auto selected = tabs ? tabs->selectedTab() : nullptr;
  auto view = selected ? selected->webView() : nullptr;
  if (!view)
    return;
  const double next = zoomStep(view->zoomLevel(), factor);
  view->setZoomLevel(next);
  storeZoom(next);
}

void WorkspaceCommands::resetZoom(WorkspaceTabsModel* tabs) {
  auto selected = tabs ? tabs->selectedTab() : nullptr;
  if (auto view = selected ? selected->webView() : nullptr)
    view->setZoomLevel(1.0);
  storeZoom(1.0);
}

void WorkspaceCommands::storeZoom(double zoom) {
  try {
    preferences_.setNumber(kPageZoomKey, zoom);
  } catch (const std::exception&) {
    // The shown page has its zoom already; only later tabs miss it, and the next step retries.
  }
}

void WorkspaceCommands::setAppearance(OrlithAppearancePreference preference) {
  try {
    appearance_.setPreference(preference);
  } catch (const std::exception&) {
    // The stored choice stays as it was, and so does the menu's check mark that follows it.
  }
}

void WorkspaceCommands::openHelp() {
  if (openExternally_)
    openExternally_(helpPageAddress());
}

}  // namespace orlith
