// The toolkit side of the surface host: a container whose per-tab children all fill it, are
// never reordered or reparented, and are hidden but the selected one. It re-checks what is on
// screen when it is mapped or unmapped, moves to another window, or its window changes state.
// Occlusion and a hidden application are not observable on GTK 4.8 and always count as false.
#pragma once

#include <gtkmm.h>

#include <map>
#include <memory>
#include <string>

#include "base/Observable.h"
#include "workspace/surface/gtk/WorkspaceWebView.h"
#include "workspace/window/WorkspaceTabSurfaceHost.h"
#include "workspace/window/WorkspaceWindowServices.h"
#include "workspace/window/gtk/GtkWindowSystem.h"
#include "workspace/window/gtk/WorkspaceContainerView.h"

namespace orlith {

class WorkspaceTabSurfaces : public Gtk::Widget {
 public:
  WorkspaceTabSurfaces(WorkspaceWindowServices& services, WorkspaceNetworkSession& network,
                       WorkspaceWebViewOptions options);
  ~WorkspaceTabSurfaces() override;

  void sync(const std::shared_ptr<WorkspaceTabsModel>& tabs);

  WorkspaceTabSurfaceHost& host() { return *host_; }
  // The container of a tab, or nullptr.
  WorkspaceContainerView* container(const std::string& id) const;
  std::size_t containerCount() const { return containers_.size(); }

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  std::unique_ptr<WorkspaceTabSurfaceHost::Surface> makeSurface(
      const std::shared_ptr<WorkspaceModel>& tab);
  void updateVisibility();

  WorkspaceWindowServices& services_;
  WorkspaceNetworkSession& network_;
  WorkspaceWebViewOptions options_;
  std::map<std::string, WorkspaceContainerView*> containers_;
  std::unique_ptr<GtkWindowSystem> windowSystem_;
  ScopedConnection windowChanged_;
  std::unique_ptr<WorkspaceTabSurfaceHost> host_;
};

}  // namespace orlith
