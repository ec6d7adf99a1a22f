// Lays out the main window around the workspace web view.
#include "app/gtk/MainWindow.h"

#include "workspace/surface/gtk/DesktopSurfaceServices.h"

namespace orlith {

namespace {

OrlithEnvironment environmentOf(const std::string& origin) {
  auto url = Url::parse(origin);
  return url ? OrlithEnvironment(*url) : OrlithEnvironment::shared();
}

}  // namespace

MainWindow::MainWindow(WorkspaceNetworkSession& session, const std::string& origin)
    : model_(WorkspaceModel::create(environmentOf(origin), std::nullopt,
                                    DesktopSurfaceServices::shared().scheduler())),
      webView_(std::make_unique<WorkspaceWebView>(
          session, model_, DesktopSurfaceServices::shared().services(), SurfaceSession{})) {
  set_title("Orlith");
  set_default_size(kDefaultWidth, kDefaultHeight);
  set_size_request(kMinimumWidth, kMinimumHeight);
  gtk_widget_set_hexpand(webView_->widget(), TRUE);
  gtk_widget_set_vexpand(webView_->widget(), TRUE);
  gtk_window_set_child(GTK_WINDOW(gobj()), webView_->widget());
}

}  // namespace orlith
