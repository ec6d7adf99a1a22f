// The surface host's reconciliation, visibility and rendering-activity rules.
#include "workspace/window/WorkspaceTabSurfaceHost.h"

#include <set>
#include <utility>
#include <vector>

#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith {

WorkspaceTabSurfaceHost::WorkspaceTabSurfaceHost(SurfaceFactory factory, Scheduler& scheduler)
    : factory_(std::move(factory)), scheduler_(scheduler) {}

WorkspaceTabSurfaceHost::~WorkspaceTabSurfaceHost() {
  for (auto& [id, surface] : surfaces_)
    surface->dismantle();
}

void WorkspaceTabSurfaceHost::sync(const std::shared_ptr<WorkspaceTabsModel>& tabs) {
  tabs_ = tabs;
  std::set<std::string> wanted;
  for (const auto& tab : tabs->tabs())
    wanted.insert(tab->id());

  // A leaving tab is dismantled before it is dropped, so no engine callback reaches a model
  // that the window has let go of.
  for (auto it = surfaces_.begin(); it != surfaces_.end();) {
    if (wanted.contains(it->first)) {
      ++it;
      continue;
    }
    std::unique_ptr<Surface> leaving = std::move(it->second);
    it = surfaces_.erase(it);
    leaving->dismantle();
  }

  const std::string& selected = tabs->selectedID();
  selectedID_ = wanted.contains(selected) ? std::optional<std::string>(selected) : std::nullopt;

  // Existing surfaces are never rebuilt or moved; a new tab's surface goes on top, hidden.
  auto make = [this](const std::shared_ptr<WorkspaceModel>& tab) {
    std::unique_ptr<Surface> surface = factory_(tab);
    surface->setHidden(true);
    surfaces_.emplace(tab->id(), std::move(surface));
  };
  if (auto tab = tabs->selectedTab(); tab && !surfaces_.contains(tab->id()))
    make(tab);
  bool deferred = false;
  for (const auto& tab : tabs->tabs()) {
    if (surfaces_.contains(tab->id()))
      continue;
    if (!backgroundTabsMayStart(*tabs)) {
      deferred = true;
      continue;
    }
    make(tab);
  }
  if (deferred && !deferredTimer_.isActive()) {
    deferredTimer_ = scheduler_.scheduleAfter(kBackgroundTabsDelay, [this] {
      backgroundDelayPassed_ = true;
      if (auto tabs = tabs_.lock())
        sync(tabs);
    });
  } else if (!deferred) {
    deferredTimer_.cancel();
  }

  for (auto& [id, surface] : surfaces_)
    surface->update();
  updateVisibility();
}

bool WorkspaceTabSurfaceHost::backgroundTabsMayStart(const WorkspaceTabsModel& tabs) {
  if (backgroundDelayPassed_)
    return true;
  auto selected = tabs.selectedTab();
  return !selected || selected->isReady() || selected->didFailToLoad();
}

void WorkspaceTabSurfaceHost::clear() {
  deferredTimer_.cancel();
  auto surfaces = std::exchange(surfaces_, {});
  selectedID_.reset();
  for (auto& [id, surface] : surfaces)
    surface->dismantle();
}

void WorkspaceTabSurfaceHost::setVisibilityInputs(const TabSurfaceVisibilityInputs& inputs) {
  inputs_ = inputs;
  updateVisibility();
}

void WorkspaceTabSurfaceHost::updateVisibility() {
  bool visible = inputs_.isVisible();
  for (auto& [id, surface] : surfaces_)
    surface->setHidden(!(visible && selectedID_ && id == *selectedID_));

  auto tabs = tabs_.lock();
  if (!tabs)
    return;
  // Each tab hears only of a change of its own flag (setActiveForRendering calls its handler
  // once per change).
  for (const auto& tab : tabs->tabs())
    tab->setActiveForRendering(visible && selectedID_ && tab->id() == *selectedID_);
}

}  // namespace orlith
