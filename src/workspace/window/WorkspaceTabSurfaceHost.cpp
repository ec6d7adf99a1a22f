// The surface host's reconciliation, visibility and rendering-activity rules.
#include "workspace/window/WorkspaceTabSurfaceHost.h"

#include <set>
#include <utility>
#include <vector>

#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith {

WorkspaceTabSurfaceHost::WorkspaceTabSurfaceHost(SurfaceFactory factory)
    : factory_(std::move(factory)) {}

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

  // Existing surfaces are never rebuilt or moved; a new tab's surface goes on top, hidden.
  for (const auto& tab : tabs->tabs()) {
    if (surfaces_.contains(tab->id()))
      continue;
    std::unique_ptr<Surface> surface = factory_(tab);
    surface->setHidden(true);
    surfaces_.emplace(tab->id(), std::move(surface));
  }

  const std::string& selected = tabs->selectedID();
  selectedID_ = wanted.contains(selected) ? std::optional<std::string>(selected) : std::nullopt;

  for (auto& [id, surface] : surfaces_)
    surface->update();
  updateVisibility();
}

void WorkspaceTabSurfaceHost::clear() {
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
