// Changes of the tabs and the session are drawn once per main-loop turn.
#include "workspace/window/gtk/WorkspaceView.h"

#include "workspace/window/gtk/WorkspaceViewStyle.h"

namespace orlith {

WorkspaceView::WorkspaceView(WorkspaceWindowServices& services,
                             std::shared_ptr<WorkspaceTabsModel> tabs,
                             WorkspaceNetworkSession& network, WorkspaceWebViewOptions options,
                             std::unique_ptr<Gtk::Widget> chrome)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 0),
      services_(services),
      tabs_(std::move(tabs)),
      chrome_(std::move(chrome)),
      surfaces_(services, network, std::move(options)),
      refresh_([this] { refresh(); }) {
  add_css_class(kCanvasClass);
  if (chrome_)
    append(*chrome_);
  shadow_.add_css_class("orlith-chrome-shadow");
  shadow_.set_size_request(-1, 1);
  append(shadow_);
  stack_.set_transition_type(Gtk::StackTransitionType::NONE);
  stack_.set_hexpand(true);
  stack_.set_vexpand(true);
  stack_.add(cover_, kCoverPage);
  stack_.add(surfaces_, kSurfacesPage);
  stack_.set_visible_child(cover_);
  append(stack_);

  tabsChanged_ = tabs_->changed().connect([this] { refresh_.schedule(); });
  sessionChanged_ = services_.session->changed().connect([this] { refresh_.schedule(); });
  signal_map().connect([this] {
    // Does nothing once the session is prepared.
    tabs_->prepareSession(services_.session->currentSession(), services_.preferences);
    refresh_.schedule();
  });
  refresh();
}

WorkspaceView::~WorkspaceView() = default;

void WorkspaceView::refresh() {
  if (tabs_->isSessionPrepared()) {
    surfaces_.sync(tabs_);
    if (stack_.get_visible_child() != &surfaces_)
      stack_.set_visible_child(surfaces_);
  } else {
    // A reset session: the old tabs' pages go; the new blank tab waits for the next prepare.
    surfaces_.host().clear();
    if (stack_.get_visible_child() != &cover_)
      stack_.set_visible_child(cover_);
  }
  if (onRefreshed)
    onRefreshed();
}

}  // namespace orlith
