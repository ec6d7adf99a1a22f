// A window of the "main" group: the workspace of one account, shown in a web view.
#pragma once

#include <gtkmm.h>

#include <memory>
#include <string>

#include "workspace/surface/gtk/WorkspaceWebView.h"

namespace orlith {

class MainWindow : public Gtk::ApplicationWindow {
 public:
  static constexpr int kDefaultWidth = 1180;
  static constexpr int kDefaultHeight = 780;
  static constexpr int kMinimumWidth = 720;
  static constexpr int kMinimumHeight = 480;

  // `origin` is the service origin; the window's tab opens its "/app" page.
  MainWindow(WorkspaceNetworkSession& session, const std::string& origin);

  WorkspaceWebView& webView() { return *webView_; }

 private:
  std::shared_ptr<WorkspaceModel> model_;
  std::unique_ptr<WorkspaceWebView> webView_;
};

}  // namespace orlith
