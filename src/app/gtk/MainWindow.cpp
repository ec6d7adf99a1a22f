// Follows the account session: prepares, delivers parked window commands, resets.
#include "app/gtk/MainWindow.h"

namespace orlith {

MainWindow::MainWindow(ApplicationContext& context, WorkspaceNetworkSession& network,
                       Options options)
    : context_(context),
      network_(network),
      options_(std::move(options)),
      services_(context.windowServices()),
      beep_(GTK_WIDGET(gobj())),
      tabs_(WorkspaceTabsModel::create(services_.tabsModelDependencies(beep_))),
      sessionRefresh_([this] { sessionChanged(); }) {
  installApplicationStyles(context_.appearance());
  set_title("Orlith");
  set_default_size(kDefaultWidth, kDefaultHeight);
  set_size_request(kMinimumWidth, kMinimumHeight);
  root_.set_transition_type(Gtk::StackTransitionType::NONE);
  root_.add(launch_, "launch");
  set_child(root_);
  // A handler never re-enters the session it observes: the change is handled one turn later.
  sessionConnection_ = services_.session->changed().connect([this] { sessionRefresh_.schedule(); });
  sessionChanged();
}

MainWindow::~MainWindow() {
  sessionConnection_.disconnect();
  if (workspace_)
    root_.remove(*workspace_);
  workspace_.reset();
}

void MainWindow::sessionChanged() {
  const SessionState& state = services_.session->state();
  if (state.isAuthenticated()) {
    tabs_->prepareSession(services_.session->currentSession(), services_.preferences);
    tabs_->deliverPendingWindowCommands(services_.session->sessionRevision());
    if (!workspace_) {
      workspace_ = std::make_unique<WorkspaceView>(
          services_, tabs_, network_, options_.webView, options_.openWindow,
          options_.indicator ? options_.indicator() : makeUpdateIndicator(context_.updates()));
      root_.add(*workspace_, "workspace");
    }
    root_.set_visible_child(*workspace_);
    return;
  }
  if (state.kind == SessionState::Kind::unauthenticated)
    tabs_->resetSession();
  root_.set_visible_child(launch_);
  if (workspace_) {
    // Each dismantled web view leaves its page in its tab, so a rebuilt one opens it again.
    root_.remove(*workspace_);
    workspace_.reset();
  }
}

void MainWindow::routeDesktopCommand(std::string_view type) {
  tabs_->routeDesktopCommand(type, services_.session->sessionRevision(), options_.openWindow);
}

}  // namespace orlith
