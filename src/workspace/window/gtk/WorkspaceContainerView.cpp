// The overlays follow the tab's model through one coalesced refresh per main-loop turn.
#include "workspace/window/gtk/WorkspaceContainerView.h"

#include "base/MainQueue.h"
#include "workspace/window/WorkspaceContainerPresentation.h"
#include "workspace/window/gtk/WorkspaceViewStyle.h"

namespace orlith {

WorkspaceContainerView::WorkspaceContainerView(Gtk::Widget& parent,
                                               std::shared_ptr<WorkspaceModel> tab,
                                               WorkspaceWindowServices& services,
                                               WorkspaceNetworkSession& network,
                                               WorkspaceWebViewOptions options)
    : tab_(std::move(tab)),
      services_(services),
      canvas_(Gtk::Orientation::VERTICAL),
      errorView_([weak = std::weak_ptr<WorkspaceModel>(tab_)] {
        if (auto tab = weak.lock())
          tab->reload(ReloadCache::bypass);
      }),
      refresh_([this] { refresh(); }) {
  canvas_.add_css_class(kCanvasClass);
  canvas_.set_hexpand(true);
  canvas_.set_vexpand(true);
  overlay_.set_child(canvas_);
  overlay_.add_overlay(cover_);
  errorRevealer_.set_transition_type(Gtk::RevealerTransitionType::CROSSFADE);
  errorRevealer_.set_transition_duration(kErrorTransitionMs);
  errorRevealer_.set_child(errorView_);
  // An unrevealed revealer still covers the page and would take its clicks.
  errorRevealer_.set_can_target(false);
  overlay_.add_overlay(errorRevealer_);
  // Made hidden: a page mapped even for a moment keeps its drawing resources, which twenty
  // background tabs cannot afford. The host shows the selected one.
  overlay_.set_visible(false);
  overlay_.set_parent(parent);

  webView_ =
      std::make_unique<WorkspaceWebView>(network, tab_, services_.makeSurfaceServices(),
                                         makeSurfaceSession(services_.session), std::move(options));
  GtkWidget* page = webView_->widget();
  gtk_widget_set_hexpand(page, TRUE);
  gtk_widget_set_vexpand(page, TRUE);
  gtk_box_append(GTK_BOX(canvas_.gobj()), page);

  overlay_.signal_map().connect([this, alive = std::weak_ptr<bool>(alive_)] {
    // After the view has been created and laid out: one main-queue turn later.
    MainQueue::shared().post([this, alive] {
      if (alive.lock())
        applyZoom();
    });
  });
  tabChanged_ = tab_->changed().connect([this] { refresh_.schedule(); });
  wasReady_ = tab_->isReady();
  refresh();
}

WorkspaceContainerView::~WorkspaceContainerView() {
  dismantle();
}

void WorkspaceContainerView::setHidden(bool hidden) {
  if (overlay_.get_visible() == !hidden)
    return;
  overlay_.set_visible(!hidden);
}

void WorkspaceContainerView::update() {
  if (!dismantled_)
    webView_->update(makeSurfaceSession(services_.session));
}

void WorkspaceContainerView::dismantle() {
  if (dismantled_)
    return;
  dismantled_ = true;
  *alive_ = false;
  alive_.reset();
  tabChanged_.disconnect();
  webView_->dismantle();
  overlay_.unparent();
  if (onDismantled)
    onDismantled();
}

void WorkspaceContainerView::refresh() {
  if (dismantled_)
    return;
  ContainerOverlay shown = containerOverlay(tab_->isReady(), tab_->didFailToLoad());
  cover_.set_visible(shown == ContainerOverlay::startupCover);
  if (shown == ContainerOverlay::error)
    errorView_.show(tab_->isOffline(), tab_->readinessError());
  errorRevealer_.set_reveal_child(shown == ContainerOverlay::error);
  errorRevealer_.set_can_target(shown == ContainerOverlay::error);
  bool ready = tab_->isReady();
  if (ready && !wasReady_)
    applyZoom();
  wasReady_ = ready;
}

void WorkspaceContainerView::applyZoom() {
  if (dismantled_)
    return;
  if (auto view = tab_->webView())
    PageZoom::apply(*view, services_.preferences);
}

}  // namespace orlith
