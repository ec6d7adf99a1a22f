// One workspace tab's web view on WebKitGTK: builds and configures the WebKitWebView, forwards
// its signals to the tab's coordinator and carries out the answers. It decides nothing itself.
#pragma once

#include <gtk/gtk.h>
#include <sigc++/sigc++.h>
#include <webkit/webkit.h>

#include <filesystem>
#include <memory>
#include <string>

#include "workspace/surface/WorkspaceModel.h"
#include "workspace/surface/WorkspaceSurfaceCoordinator.h"
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

namespace orlith {

struct WorkspaceWebViewOptions {
  SurfaceTimings timings;
  // Empty: the user's Downloads folder.
  std::filesystem::path downloadsFolder;
  // Empty: the bundle's short version.
  std::string appVersion;
  ServiceHosts hosts = ServiceHosts::fromBuild();
  // Lets the engine's fake capture devices answer media requests (tests only).
  bool mockCaptureDevices = false;
  // A live view whose web process this one shares (the tabs of one window show one origin, and
  // one process for all of them costs far less memory and start-up time than one each).
  WebKitWebView* relatedView = nullptr;
};

class WorkspaceWebView {
 public:
  // Makes the view and starts the cookie bootstrap and first load. `services.print` may be
  // left empty: the view then prints through the engine's print dialog.
  WorkspaceWebView(WorkspaceNetworkSession& session, std::shared_ptr<WorkspaceModel> model,
                   SurfaceServices services, SurfaceSession surfaceSession,
                   WorkspaceWebViewOptions options = {});
  // Dismantles first.
  ~WorkspaceWebView();
  WorkspaceWebView(const WorkspaceWebView&) = delete;
  WorkspaceWebView& operator=(const WorkspaceWebView&) = delete;

  // The container to place in a window.
  GtkWidget* widget() const;
  WebKitWebView* webView() const;
  WorkspaceSurfaceCoordinator& coordinator() const;

  // The page zoom; 1.0 is the page's own size.
  double zoomLevel() const;
  void setZoomLevel(double level);

  void update(SurfaceSession surfaceSession);
  // Stops the coordinator, disconnects every signal, cancels this view's downloads.
  void dismantle();

  // The JSON text of each message the main frame posts on the page bridge.
  sigc::signal<void(const std::string&)>& scriptMessageReceived();
  // Each main-frame load that finished without failing.
  sigc::signal<void()>& loadFinished();

  // The user's Downloads folder: the desktop's, else Downloads in the home folder of the
  // user database.
  static std::filesystem::path userDownloadsFolder();

 private:
  class Engine;
  std::shared_ptr<Engine> engine_;
};

}  // namespace orlith
