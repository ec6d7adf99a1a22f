// The content of a signed-in window: the chrome, its 1 px shadow, and under them either the
// start-up cover (until the window's tabs are prepared) or the tab surfaces. Showing it
// prepares the session's tabs.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>

#include "base/Observable.h"
#include "workspace/surface/gtk/WorkspaceWebView.h"
#include "workspace/window/WorkspaceTabsModel.h"
#include "workspace/window/WorkspaceWindowServices.h"
#include "workspace/window/gtk/WorkspaceChrome.h"
#include "workspace/window/gtk/WorkspaceChromeShadow.h"
#include "workspace/window/gtk/WorkspaceStartupCover.h"
#include "workspace/window/gtk/WorkspaceTabSurfaces.h"

namespace orlith {

class WorkspaceView : public Gtk::Box {
 public:
  static constexpr const char* kCoverPage = "cover";
  static constexpr const char* kSurfacesPage = "surfaces";

  // `openWindow` opens another window of the group; `indicator` is the update indicator.
  WorkspaceView(WorkspaceWindowServices& services, std::shared_ptr<WorkspaceTabsModel> tabs,
                WorkspaceNetworkSession& network, WorkspaceWebViewOptions options = {},
                std::function<void()> openWindow = {},
                std::unique_ptr<Gtk::Widget> indicator = nullptr);
  ~WorkspaceView() override;

  Gtk::Stack& stack() { return stack_; }
  WorkspaceStartupCover& cover() { return cover_; }
  WorkspaceTabSurfaces& surfaces() { return surfaces_; }
  WorkspaceChrome& chrome() { return *chrome_; }
  WorkspaceChromeShadow& shadow() { return shadow_; }

  // Runs every time the view has been brought in line with its tabs.
  std::function<void()> onRefreshed;

 private:
  void refresh();
  void applyAppearance();

  WorkspaceWindowServices& services_;
  std::shared_ptr<WorkspaceTabsModel> tabs_;
  std::function<void()> openWindow_;
  std::unique_ptr<WorkspaceChrome> chrome_;
  // The chrome is the window's title bar: its empty parts move the window.
  Gtk::WindowHandle chromeHandle_;
  WorkspaceChromeShadow shadow_;
  Gtk::Stack stack_;
  WorkspaceStartupCover cover_;
  WorkspaceTabSurfaces surfaces_;
  CoalescedCallback refresh_;
  ScopedConnection tabsChanged_;
  ScopedConnection sessionChanged_;
  ScopedConnection appearanceChanged_;
};

}  // namespace orlith
