// Keeps one surface per tab alive while its tab exists, shows only the selected one, and tells
// every tab whether it is really on screen, so that hidden pages stop rendering work. The
// toolkit container supplies the surfaces and the window's state; every decision is made here.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/Scheduler.h"
#include "workspace/surface/WorkspaceModel.h"

namespace orlith {

class WorkspaceTabsModel;

// What decides whether the host is on screen. Occlusion and a hidden application cannot be
// observed on GTK 4.8 (no suspended toplevel state, no app-wide hide); the container passes
// false for both, and the rule keeps them so that it stays whole.
struct TabSurfaceVisibilityInputs {
  bool hostHidden = false;  // the host or an ancestor is hidden
  bool applicationHidden = false;
  bool hasWindow = false;
  bool windowVisible = false;
  bool windowMinimized = false;
  bool windowOccluded = false;

  // A host without a window counts as visible when neither it nor the application is hidden.
  bool isVisible() const {
    if (hostHidden || applicationHidden)
      return false;
    return !hasWindow || (windowVisible && !windowMinimized && !windowOccluded);
  }
};

class WorkspaceTabSurfaceHost {
 public:
  // One tab's view in the container. It is made hidden, shown or hidden by the host, refreshed
  // on every sync, and dismantled (which takes it out of the container) before it is dropped.
  class Surface {
   public:
    virtual ~Surface() = default;
    virtual void setHidden(bool hidden) = 0;
    virtual void update() = 0;
    virtual void dismantle() = 0;
  };
  using SurfaceFactory =
      std::function<std::unique_ptr<Surface>(const std::shared_ptr<WorkspaceModel>& tab)>;

  // How long background tabs wait at most for the selected tab's first content.
  static constexpr std::chrono::milliseconds kBackgroundTabsDelay{4000};

  // `scheduler` must outlive the host.
  WorkspaceTabSurfaceHost(SurfaceFactory factory, Scheduler& scheduler);
  // Dismantles every surface.
  ~WorkspaceTabSurfaceHost();
  WorkspaceTabSurfaceHost(const WorkspaceTabSurfaceHost&) = delete;
  WorkspaceTabSurfaceHost& operator=(const WorkspaceTabSurfaceHost&) = delete;

  // Brings the surfaces in line with the tabs (a new tab's surface is added, a closed tab's is
  // dismantled, the others are kept and refreshed) and recomputes visibility. The selected
  // tab's surface is made at once; the others (a restored window's background tabs) wait until
  // the selected tab is ready or has failed, or kBackgroundTabsDelay has passed, so that its
  // first content does not wait for theirs.
  void sync(const std::shared_ptr<WorkspaceTabsModel>& tabs);
  // Dismantles every surface (the window's tabs are no longer shown).
  void clear();
  // The window or the host changed: recomputes visibility and the tabs' rendering activity.
  void setVisibilityInputs(const TabSurfaceVisibilityInputs& inputs);
  void updateVisibility();

  bool isVisible() const { return inputs_.isVisible(); }
  const std::optional<std::string>& selectedID() const { return selectedID_; }
  bool hasSurface(const std::string& id) const { return surfaces_.contains(id); }
  std::size_t surfaceCount() const { return surfaces_.size(); }
  bool hasDeferredTabs() const { return deferredTimer_.isActive(); }

 private:
  bool backgroundTabsMayStart(const WorkspaceTabsModel& tabs);

  SurfaceFactory factory_;
  Scheduler& scheduler_;
  TimerHandle deferredTimer_;
  bool backgroundDelayPassed_ = false;
  std::map<std::string, std::unique_ptr<Surface>> surfaces_;
  std::optional<std::string> selectedID_;
  std::weak_ptr<WorkspaceTabsModel> tabs_;
  TabSurfaceVisibilityInputs inputs_;
};

}  // namespace orlith
