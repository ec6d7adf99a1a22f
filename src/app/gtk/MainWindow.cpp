// Lays out the main window around the workspace web view.
#include "app/gtk/MainWindow.h"

namespace orlith {

MainWindow::MainWindow(WorkspaceNetworkSession& session, const std::string& origin)
    : webView_(std::make_unique<WorkspaceWebView>(session)) {
  set_title("Orlith");
  set_default_size(kDefaultWidth, kDefaultHeight);
  set_size_request(kMinimumWidth, kMinimumHeight);
  gtk_widget_set_hexpand(webView_->widget(), TRUE);
  gtk_widget_set_vexpand(webView_->widget(), TRUE);
  gtk_window_set_child(GTK_WINDOW(gobj()), webView_->widget());
  webView_->load(origin + "/app");
}

}  // namespace orlith
