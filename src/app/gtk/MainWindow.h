// A window of the "main" group. Its root view picks the screen from the account session: the
// launch screen while loading, the sign-in view when signed out, the recovery screen when the
// stored session cannot be used now, and the workspace of the account's tabs when signed in.
// Leaving the signed-in state destroys the workspace (every web view is rebuilt with fresh
// callbacks next time); its tabs model stays, so the tabs come back at the pages they showed.
// A plain window, not an application window: those export their actions on the session bus.
// The content reaches the top edge: the workspace's chrome is the title bar, and the other
// screens have a draggable top strip with the window's buttons; the menu bar hides until asked
// for.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>

#include "app/ApplicationContext.h"
#include "app/RootView.h"
#include "app/RootViewAdapters.h"
#include "app/gtk/HiddenMenuBar.h"
#include "app/gtk/ProductionApplicationContext.h"
#include "app/gtk/RecoveryView.h"
#include "app/gtk/SignInServices.h"
#include "signin/gtk/SignInView.h"
#include "ui/BrandLoadingView.h"
#include "workspace/window/WorkspaceTabsModel.h"
#include "workspace/window/WorkspaceWindowServices.h"
#include "workspace/window/gtk/GtkBeep.h"
#include "workspace/window/gtk/WorkspaceView.h"

namespace orlith {

class MainWindow : public Gtk::Window {
 public:
  static constexpr int kDefaultWidth = 1180;
  static constexpr int kDefaultHeight = 780;
  static constexpr int kMinimumWidth = 720;
  static constexpr int kMinimumHeight = 480;
  static constexpr int kTopStripHeight = 34;

  struct Options {
    WorkspaceWebViewOptions webView;
    // Without one, the context's update client makes the indicator.
    UpdateIndicatorFactory indicator;
    // Opens another window of the group (a window command found no room here).
    std::function<void()> openWindow;
    // Shared by the process's windows; a window given none makes its own.
    std::shared_ptr<SignInServices> signIn;
    // The application's work at each new window's first appearance, after the root view's own.
    std::function<void()> onFirstAppear;
    // Brings the application to the front (a billing-return link).
    std::function<void()> activateApplication;
  };

  MainWindow(ApplicationContext& context, WorkspaceNetworkSession& network, Options options);
  ~MainWindow() override;

  const std::shared_ptr<WorkspaceTabsModel>& tabs() const { return tabs_; }
  RootView& rootView() { return *root_; }
  // The workspace while signed in, else nullptr.
  WorkspaceView* workspace() { return workspace_.get(); }
  // The sign-in view while signed out, else nullptr.
  SignInView* signInView() { return signIn_.get(); }
  RecoveryView* recoveryView() { return recovery_.get(); }
  BrandLoadingView& launchScreen() { return launch_; }
  Gtk::Widget* updateIndicator() { return indicator_.get(); }
  Gtk::Widget& content() { return content_; }
  // The window's own menu bar over `model`, whose actions the window's action groups hold.
  void setMenuModel(const Glib::RefPtr<Gio::MenuModel>& model);
  HiddenMenuBar& menuBar() { return menuBar_; }
  // The draggable strip with the window's buttons over the screens without chrome.
  Gtk::Widget& topStrip() { return topStrip_; }
  Gtk::WindowControls& windowControls(Gtk::PackType side) {
    return side == Gtk::PackType::START ? startControls_ : endControls_;
  }

  // Routes "search" or "billing-return" to this window's tabs.
  void routeDesktopCommand(std::string_view type);
  // A link of the app's scheme for this window (the billing return).
  void handleOpenURL(const Url& url);

 private:
  void showScreen(RootScreen screen);
  void clampToMonitor();
  void buildTopStrip();

  ApplicationContext& context_;
  WorkspaceNetworkSession& network_;
  Options options_;
  WorkspaceWindowServices services_;
  GtkBeep beep_;
  std::shared_ptr<WorkspaceTabsModel> tabs_;
  SessionStoreRootSession rootSession_;
  std::unique_ptr<WorkspaceTabsRootTabs> rootTabs_;
  std::unique_ptr<RootView> root_;
  // Empty: the toolkit's own title bar would take a row, and it hides a title bar in full
  // screen, where the chrome stays.
  Gtk::Box titlebar_;
  Gtk::Box frame_{Gtk::Orientation::VERTICAL, 0};
  HiddenMenuBar menuBar_;
  Gtk::Overlay content_;
  Gtk::WindowHandle topStrip_;
  Gtk::Box topRow_{Gtk::Orientation::HORIZONTAL, 0};
  Gtk::WindowControls startControls_{Gtk::PackType::START};
  Gtk::Box topSpacer_;
  Gtk::WindowControls endControls_{Gtk::PackType::END};
  Gtk::Stack stack_;
  BrandLoadingView launch_;
  std::unique_ptr<SignInView> signIn_;
  std::unique_ptr<RecoveryView> recovery_;
  std::unique_ptr<WorkspaceView> workspace_;
  std::unique_ptr<Gtk::Widget> indicator_;
  ScopedConnection screenConnection_;
};

}  // namespace orlith
