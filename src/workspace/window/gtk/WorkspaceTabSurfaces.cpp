// Every tab of a window shares one web process: a new tab's view is made related to a live
// view of the window, since all of them show the one service origin; the first one takes over
// the process started ahead of it, when there is one.
#include "workspace/window/gtk/WorkspaceTabSurfaces.h"

namespace orlith {

WorkspaceTabSurfaces::WorkspaceTabSurfaces(WorkspaceWindowServices& services,
                                           WorkspaceNetworkSession& network,
                                           WorkspaceWebViewOptions options)
    : services_(services), network_(network), options_(std::move(options)) {
  set_hexpand(true);
  set_vexpand(true);
  host_ = std::make_unique<WorkspaceTabSurfaceHost>(
      [this](const std::shared_ptr<WorkspaceModel>& tab) { return makeSurface(tab); },
      services_.scheduler);
  windowSystem_ = std::make_unique<GtkWindowSystem>(GTK_WIDGET(gobj()));
  windowChanged_ = windowSystem_->changed().connect([this] { updateVisibility(); });
  signal_map().connect([this] { updateVisibility(); });
  signal_unmap().connect([this] { updateVisibility(); });
  property_root().signal_changed().connect([this] { updateVisibility(); });
  updateVisibility();
}

WorkspaceTabSurfaces::~WorkspaceTabSurfaces() {
  windowChanged_.disconnect();
  // Dismantles and unparents every tab's container before the widget goes.
  host_.reset();
}

std::unique_ptr<WorkspaceTabSurfaceHost::Surface> WorkspaceTabSurfaces::makeSurface(
    const std::shared_ptr<WorkspaceModel>& tab) {
  WorkspaceWebViewOptions options = options_;
  if (!containers_.empty())
    options.relatedView = containers_.begin()->second->webView().webView();
  else if (!options.relatedView)
    options.relatedView = network_.warmView();
  auto container =
      std::make_unique<WorkspaceContainerView>(*this, tab, services_, network_, std::move(options));
  // A tab's view exists now, and holds the process if it took the prewarmed one: the warm view
  // has done its part either way.
  network_.releaseWarmView();
  const std::string id = tab->id();
  containers_[id] = container.get();
  container->onDismantled = [this, id] { containers_.erase(id); };
  return container;
}

WorkspaceContainerView* WorkspaceTabSurfaces::container(const std::string& id) const {
  auto found = containers_.find(id);
  return found == containers_.end() ? nullptr : found->second;
}

void WorkspaceTabSurfaces::sync(const std::shared_ptr<WorkspaceTabsModel>& tabs) {
  host_->sync(tabs);
}

void WorkspaceTabSurfaces::updateVisibility() {
  if (!host_)
    return;
  TabSurfaceVisibilityInputs inputs;
  GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(gobj()));
  inputs.hasWindow = root != nullptr;
  if (root) {
    inputs.windowVisible = gtk_widget_get_mapped(GTK_WIDGET(root));
    inputs.windowMinimized = windowSystem_->isMinimized();
    // Inside a shown window the host is on screen only while it is mapped (a stack page that
    // is not the visible one is not).
    inputs.hostHidden = inputs.windowVisible && !get_mapped();
  } else {
    inputs.hostHidden = !is_visible();
  }
  host_->setVisibilityInputs(inputs);
}

void WorkspaceTabSurfaces::measure_vfunc(Gtk::Orientation, int, int& minimum, int& natural,
                                         int& minimumBaseline, int& naturalBaseline) const {
  minimum = natural = 0;
  minimumBaseline = naturalBaseline = -1;
}

void WorkspaceTabSurfaces::size_allocate_vfunc(int width, int height, int baseline) {
  for (auto* child = get_first_child(); child; child = child->get_next_sibling()) {
    if (!child->get_visible())
      continue;
    // Measured first, as the toolkit expects of every allocated child.
    int minimum = 0, natural = 0, ignored = 0;
    child->measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
    child->size_allocate(Gtk::Allocation(0, 0, width, height), baseline);
  }
}

}  // namespace orlith
