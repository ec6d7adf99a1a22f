// One tab's place in the window: its web view on the canvas, the start-up cover over it until
// the page is ready, and the error view, crossfading in, after a failed load. It applies the
// stored page zoom when it is shown and each time the page becomes ready.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>

#include "base/Observable.h"
#include "workspace/surface/gtk/WorkspaceWebView.h"
#include "workspace/window/WorkspaceTabSurfaceHost.h"
#include "workspace/window/WorkspaceWindowServices.h"
#include "workspace/window/gtk/WorkspaceErrorView.h"
#include "workspace/window/gtk/WorkspaceStartupCover.h"

namespace orlith {

class WorkspaceContainerView final : public WorkspaceTabSurfaceHost::Surface {
 public:
  static constexpr unsigned kErrorTransitionMs = 200;

  // Places itself on top of `parent`'s children. `options.relatedView`, when set, is the view
  // whose web process this tab's view shares.
  WorkspaceContainerView(Gtk::Widget& parent, std::shared_ptr<WorkspaceModel> tab,
                         WorkspaceWindowServices& services, WorkspaceNetworkSession& network,
                         WorkspaceWebViewOptions options);
  ~WorkspaceContainerView() override;

  void setHidden(bool hidden) override;
  void update() override;
  // Dismantles the web view, then takes the container out of its parent.
  void dismantle() override;

  // Called once, from dismantle().
  std::function<void()> onDismantled;

  Gtk::Overlay& widget() { return overlay_; }
  WorkspaceWebView& webView() { return *webView_; }
  const std::shared_ptr<WorkspaceModel>& tab() const { return tab_; }
  WorkspaceStartupCover& cover() { return cover_; }
  Gtk::Revealer& errorRevealer() { return errorRevealer_; }
  WorkspaceErrorView& errorView() { return errorView_; }

 private:
  void refresh();
  void applyZoom();

  std::shared_ptr<WorkspaceModel> tab_;
  WorkspaceWindowServices& services_;
  Gtk::Overlay overlay_;
  Gtk::Box canvas_;
  WorkspaceStartupCover cover_;
  Gtk::Revealer errorRevealer_;
  WorkspaceErrorView errorView_;
  std::unique_ptr<WorkspaceWebView> webView_;
  bool wasReady_ = false;
  bool dismantled_ = false;
  CoalescedCallback refresh_;
  ScopedConnection tabChanged_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orlith
