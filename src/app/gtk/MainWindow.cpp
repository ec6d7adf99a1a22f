// Binds the window's screens to its root view.
#include "app/gtk/MainWindow.h"

#include <algorithm>

#include "app/WindowConfigurator.h"
#include "base/LocalizedStrings.h"
#include "signin/LayoutDirection.h"
#include "signin/gtk/SignInStyleSheet.h"

namespace orlith {

MainWindow::MainWindow(ApplicationContext& context, WorkspaceNetworkSession& network,
                       Options options)
    : context_(context),
      network_(network),
      options_(std::move(options)),
      services_(context.windowServices()),
      beep_(GTK_WIDGET(gobj())),
      tabs_(WorkspaceTabsModel::create(services_.tabsModelDependencies(beep_))),
      rootSession_(context.sessionStorePointer()) {
  installApplicationStyles(context_.appearance());
  if (!options_.signIn)
    options_.signIn = std::make_shared<SignInServices>();
  rootTabs_ =
      std::make_unique<WorkspaceTabsRootTabs>(tabs_, context_.preferences(), options_.openWindow);
  root_ = std::make_unique<RootView>(
      RootView::Dependencies{rootSession_, *rootTabs_, context_.pendingWindowCommands(),
                             context_.clock(), options_.activateApplication});

  add_css_class("orlith-window");
  set_title(options_.signIn->localize()("Orlith"));
  set_default_size(kDefaultWidth, kDefaultHeight);
  // On the content, so the header bar does not eat into the minimum.
  content_.set_size_request(kMinimumWidth, kMinimumHeight);
  // Not shown, yet the window draws its own frame as with a title bar of its own.
  titlebar_.set_visible(false);
  set_titlebar(titlebar_);

  stack_.set_transition_type(Gtk::StackTransitionType::CROSSFADE);
  stack_.set_transition_duration(250);
  stack_.add(launch_, "launch");
  content_.set_child(stack_);
  buildTopStrip();
  content_.set_vexpand(true);
  frame_.append(menuBar_);
  frame_.append(content_);
  set_child(frame_);
  menuBar_.watch(*this);

  clampToMonitor();

  screenConnection_ =
      root_->screenChanged().connect([this](RootScreen screen) { showScreen(screen); });
  showScreen(root_->screen());
  signal_map().connect(
      [this] {
        if (root_->hasAppeared())
          return;
        root_->handleAppear();
        if (options_.onFirstAppear)
          options_.onFirstAppear();
      },
      true);
}

MainWindow::~MainWindow() {
  screenConnection_ = ScopedConnection();
  if (workspace_)
    stack_.remove(*workspace_);
  if (signIn_)
    stack_.remove(*signIn_);
  if (recovery_)
    stack_.remove(*recovery_);
  if (indicator_)
    topRow_.remove(*indicator_);
  workspace_.reset();
  signIn_.reset();
  recovery_.reset();
}

void MainWindow::setMenuModel(const Glib::RefPtr<Gio::MenuModel>& model) {
  menuBar_.set_menu_model(model);
}

void MainWindow::buildTopStrip() {
  topStrip_.add_css_class("orlith-top-strip");
  topStrip_.set_valign(Gtk::Align::START);
  topRow_.set_size_request(-1, kTopStripHeight);
  for (auto* controls : {&startControls_, &endControls_}) {
    controls->set_valign(Gtk::Align::CENTER);
    controls->set_margin_start(6);
    controls->set_margin_end(6);
  }
  topSpacer_.set_hexpand(true);
  topRow_.append(startControls_);
  topRow_.append(topSpacer_);
  // The update indicator keeps its corner, left of buttons at the end.
  indicator_ = options_.indicator ? options_.indicator() : makeUpdateIndicator(context_.updates());
  if (indicator_) {
    indicator_->set_valign(Gtk::Align::START);
    indicator_->set_margin_top(12);
    indicator_->set_margin_end(18);
    topRow_.append(*indicator_);
  }
  topRow_.append(endControls_);
  topStrip_.set_child(topRow_);
  content_.add_overlay(topStrip_);
  auto apply = [this] {
    // Full screen has no window buttons.
    for (auto* controls : {&startControls_, &endControls_})
      controls->set_visible(!is_fullscreen() && !controls->get_empty());
  };
  for (auto* controls : {&startControls_, &endControls_})
    controls->property_empty().signal_changed().connect(apply);
  property_fullscreened().signal_changed().connect(apply);
  apply();
}

void MainWindow::clampToMonitor() {
  auto display = Gdk::Display::get_default();
  if (!display)
    return;
  auto monitors = display->get_monitors();
  if (!monitors || monitors->get_n_items() == 0)
    return;
  auto monitor = std::dynamic_pointer_cast<Gdk::Monitor>(monitors->get_object(0));
  if (!monitor)
    return;
  Gdk::Rectangle area;
  monitor->get_geometry(area);
  int width = 0, height = 0;
  get_default_size(width, height);
  auto [clampedWidth, clampedHeight] =
      WindowConfigurator::clampedSize(width, height, area.get_width(), area.get_height());
  if (clampedWidth != width || clampedHeight != height)
    set_default_size(clampedWidth, clampedHeight);
}

void MainWindow::showScreen(RootScreen screen) {
  const AuthView::Localizer& localize = options_.signIn->localize();
  switch (screen) {
    case RootScreen::launch:
      stack_.set_visible_child(launch_);
      break;
    case RootScreen::signIn:
      if (!signIn_) {
        SignInServices& services = *options_.signIn;
        auto view = AuthView::create(AuthView::Dependencies{
            std::make_shared<SessionAuthStore>(context_.sessionStorePointer()),
            context_.scheduler(), services.announcer(), services.webAuth(), services.windows(),
            localize});
        signIn_ = std::make_unique<SignInView>(view, services.opener(), services.announcer());
        stack_.add(*signIn_, "signIn");
      }
      stack_.set_visible_child(*signIn_);
      break;
    case RootScreen::recovery:
      if (!recovery_) {
        recovery_ = std::make_unique<RecoveryView>(
            *root_, localize, isRightToLeftLanguage(LocalizedStrings::main().languageCode()));
        stack_.add(*recovery_, "recovery");
      }
      recovery_->refresh();
      stack_.set_visible_child(*recovery_);
      break;
    case RootScreen::workspace:
      if (!workspace_) {
        // The chrome carries its own update indicator while signed in.
        workspace_ = std::make_unique<WorkspaceView>(
            services_, tabs_, network_, options_.webView, options_.openWindow,
            options_.indicator ? options_.indicator() : makeUpdateIndicator(context_.updates()));
        stack_.add(*workspace_, "workspace");
      }
      stack_.set_visible_child(*workspace_);
      break;
  }
  // No workspace follows: the process started for it goes.
  if (screen == RootScreen::signIn || screen == RootScreen::recovery)
    network_.releaseWarmView();
  if (indicator_)
    indicator_->set_visible(root_->showsUpdateIndicator());
  // The workspace's chrome carries the buttons and moves the window itself.
  topStrip_.set_visible(screen != RootScreen::workspace);
  // What the new screen replaced goes: a workspace is never kept hidden for a later session.
  if (screen != RootScreen::workspace && workspace_) {
    stack_.remove(*workspace_);
    workspace_.reset();
  }
  if (screen != RootScreen::signIn && signIn_) {
    stack_.remove(*signIn_);
    signIn_.reset();
  }
  if (screen != RootScreen::recovery && recovery_) {
    stack_.remove(*recovery_);
    recovery_.reset();
  }
}

void MainWindow::routeDesktopCommand(std::string_view type) {
  tabs_->routeDesktopCommand(type, rootSession_.sessionRevision(), options_.openWindow);
}

void MainWindow::handleOpenURL(const Url& url) {
  root_->handleOpenURL(url);
}

}  // namespace orlith
