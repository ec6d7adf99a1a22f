// Binds the workspace chrome to the window's tabs model and the account session: it reads them
// into a snapshot the chrome shows, tells when that snapshot may have changed, and carries out
// the chrome's controls on the models.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/MainQueue.h"
#include "base/Observable.h"
#include "workspace/window/WorkspaceChromeState.h"
#include "workspace/window/WorkspaceSession.h"
#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith {

class WorkspaceChromeController {
 public:
  // `openWindow` opens another workspace window (the search command's way out at the tab
  // limit). `queue` runs what must not happen inside the control's own handler.
  WorkspaceChromeController(std::shared_ptr<WorkspaceTabsModel> tabs,
                            std::shared_ptr<WorkspaceSession> session,
                            std::function<void()> openWindow, MainQueue& queue);
  ~WorkspaceChromeController();
  WorkspaceChromeController(const WorkspaceChromeController&) = delete;
  WorkspaceChromeController& operator=(const WorkspaceChromeController&) = delete;

  // Emitted synchronously after any change the chrome shows: the tabs, the selection, any tab's
  // title or load state, the session. Observers coalesce; they must not call back into a model.
  ChangeSignal& changed() { return changed_; }

  WorkspaceChromeSnapshot snapshot() const;

  // The controls. Each acts on the models at once and does nothing without its target.
  void back();
  void forward();
  void reload();
  void home();
  void toggleSidebar();
  void selectTab(const std::string& id);
  void closeTab(const std::string& id);
  void newTab();
  void search();
  // Posted: ending the session takes the window's content down, and the menu that asked must
  // not be destroyed inside its own handler.
  void signOut();

 private:
  void observeTabs();

  std::shared_ptr<WorkspaceTabsModel> tabs_;
  std::shared_ptr<WorkspaceSession> session_;
  std::function<void()> openWindow_;
  MainQueue& queue_;
  ChangeSignal changed_;
  ScopedConnection tabsChanged_;
  ScopedConnection sessionChanged_;
  std::vector<ScopedConnection> tabChanged_;
  std::vector<std::weak_ptr<WorkspaceModel>> observedTabs_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orlith
