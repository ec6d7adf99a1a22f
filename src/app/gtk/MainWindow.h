// A window of the "main" group. While the account is signed in it shows the workspace of the
// account's tabs; on every other state it shows the launch screen until the sign-in view takes
// that place. Leaving the signed-in state dismantles the workspace; its tabs model stays, so
// the tabs come back at the pages they showed.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>

#include "app/ApplicationContext.h"
#include "app/gtk/ProductionApplicationContext.h"
#include "base/Observable.h"
#include "signin/gtk/BrandLoadingView.h"
#include "workspace/window/WorkspaceTabsModel.h"
#include "workspace/window/WorkspaceWindowServices.h"
#include "workspace/window/gtk/GtkBeep.h"
#include "workspace/window/gtk/WorkspaceView.h"

namespace orlith {

class MainWindow : public Gtk::ApplicationWindow {
 public:
  static constexpr int kDefaultWidth = 1180;
  static constexpr int kDefaultHeight = 780;
  static constexpr int kMinimumWidth = 720;
  static constexpr int kMinimumHeight = 480;

  struct Options {
    WorkspaceWebViewOptions webView;
    // Without one, the context's update client makes the indicator.
    UpdateIndicatorFactory indicator;
    // Opens another window of the group (a window command found no room here).
    std::function<void()> openWindow;
  };

  MainWindow(ApplicationContext& context, WorkspaceNetworkSession& network, Options options);
  ~MainWindow() override;

  const std::shared_ptr<WorkspaceTabsModel>& tabs() const { return tabs_; }
  // The workspace while signed in, else nullptr.
  WorkspaceView* workspace() { return workspace_.get(); }
  BrandLoadingView& launchScreen() { return launch_; }

  // Routes "search" or "billing-return" to this window's tabs.
  void routeDesktopCommand(std::string_view type);

 private:
  void sessionChanged();

  ApplicationContext& context_;
  WorkspaceNetworkSession& network_;
  Options options_;
  WorkspaceWindowServices services_;
  GtkBeep beep_;
  std::shared_ptr<WorkspaceTabsModel> tabs_;
  Gtk::Stack root_;
  BrandLoadingView launch_;
  std::unique_ptr<WorkspaceView> workspace_;
  CoalescedCallback sessionRefresh_;
  ScopedConnection sessionConnection_;
};

}  // namespace orlith
