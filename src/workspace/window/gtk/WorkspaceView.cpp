// Changes of the tabs and the session are drawn once per main-loop turn.
#include "workspace/window/gtk/WorkspaceView.h"

#include "base/MainQueue.h"
#include "workspace/window/WorkspaceChromeController.h"
#include "workspace/window/gtk/WorkspaceViewStyle.h"

namespace orlith {

WorkspaceView::WorkspaceView(WorkspaceWindowServices& services,
                             std::shared_ptr<WorkspaceTabsModel> tabs,
                             WorkspaceNetworkSession& network, WorkspaceWebViewOptions options,
                             std::function<void()> openWindow,
                             std::unique_ptr<Gtk::Widget> indicator)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 0),
      services_(services),
      tabs_(std::move(tabs)),
      openWindow_(std::move(openWindow)),
      surfaces_(services, network, std::move(options)),
      refresh_([this] { refresh(); }) {
  add_css_class(kCanvasClass);
  // The chrome keeps itself in line with the tabs, every tab's title and the session.
  chrome_ = WorkspaceChrome::bound(std::make_shared<WorkspaceChromeController>(
                                       tabs_, services_.session, openWindow_, MainQueue::shared()),
                                   services_.appearance, std::move(indicator));
  chromeHandle_.set_child(*chrome_);
  append(chromeHandle_);
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
  appearanceChanged_ =
      services_.appearance.resolvedAppearanceChanged().connect([this] { applyAppearance(); });
  applyAppearance();
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

void WorkspaceView::applyAppearance() {
  shadow_.setDark(services_.appearance.resolvedIsDark());
}

}  // namespace orlith
