// The chrome bar's widget.
#include "workspace/window/gtk/WorkspaceChrome.h"

#include <glib.h>

#include <cmath>

#include "base/LocalizedStrings.h"
#include "workspace/window/gtk/WorkspaceChromeStyle.h"

namespace orlith {

namespace {

constexpr double kLeadingWidth = 78;
constexpr double kFullScreenLeadingWidth = 12;
constexpr int kControlsMargin = 6;

void setUpSeparator(Gtk::Box& separator) {
  separator.add_css_class("orlith-chrome-separator");
  separator.set_size_request(1, 18);
  separator.set_valign(Gtk::Align::CENTER);
  separator.set_margin_start(6);
  separator.set_margin_end(6);
  WorkspaceChromeStyle::setAccessibleRole(separator, GTK_ACCESSIBLE_ROLE_SEPARATOR);
}

std::function<void()> guarded(const std::function<void()>& action) {
  return [action] {
    if (action)
      action();
  };
}

}  // namespace

WorkspaceChrome::WorkspaceChrome(Actions actions, std::unique_ptr<Gtk::Widget> indicator)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 0),
      callbacks_(std::move(actions)),
      nav_({guarded(callbacks_.back), guarded(callbacks_.forward), guarded(callbacks_.reload)}),
      indicator_(indicator ? std::move(indicator) : std::make_unique<Gtk::Box>()),
      strip_({[this](const std::string& id) {
                if (callbacks_.selectTab)
                  callbacks_.selectTab(id);
              },
              [this](const std::string& id) {
                if (callbacks_.closeTab)
                  callbacks_.closeTab(id);
              },
              guarded(callbacks_.newTab)}),
      search_("system-search-symbolic", localizedString("Search Orlith"),
              guarded(callbacks_.search)),
      actions_(Gio::SimpleActionGroup::create()),
      menu_(Gio::Menu::create()) {
  WorkspaceChromeStyle::install();
  add_css_class("orlith-chrome");
  set_size_request(-1, 34);
  set_valign(Gtk::Align::START);
  set_hexpand(true);

  // The slot is at least its width; buttons that need more widen it.
  leading_.set_size_request(static_cast<int>(kLeadingWidth), -1);
  WorkspaceChromeStyle::setAccessibleRole(leading_, GTK_ACCESSIBLE_ROLE_PRESENTATION);
  startControls_.set_valign(Gtk::Align::CENTER);
  startControls_.set_margin_start(kControlsMargin);
  startControls_.set_margin_end(kControlsMargin);
  leading_.append(startControls_);
  endControls_.set_valign(Gtk::Align::CENTER);
  endControls_.set_margin_start(kControlsMargin);
  endControls_.set_margin_end(kControlsMargin);
  for (auto* controls : {&startControls_, &endControls_})
    controls->property_empty().signal_changed().connect([this] { applyControlsVisibility(); });
  applyControlsVisibility();

  indicator_->set_size_request(26, 26);
  indicator_->set_valign(Gtk::Align::CENTER);
  indicator_->set_halign(Gtk::Align::START);
  indicator_->set_margin_start(4);

  setUpSeparator(separatorBefore_);
  setUpSeparator(separatorAfter_);
  strip_.set_hexpand(true);
  strip_.set_valign(Gtk::Align::CENTER);
  search_.set_margin_end(2);

  accountImage_.set_from_icon_name("avatar-default-symbolic");
  // At a bitmap size of the theme, so no SVG decoder is loaded for it.
  accountImage_.set_pixel_size(16);
  WorkspaceChromeStyle::setAccessibleRole(accountImage_, GTK_ACCESSIBLE_ROLE_PRESENTATION);
  account_.set_child(accountImage_);
  account_.set_has_frame(false);
  account_.set_always_show_arrow(false);
  account_.add_css_class("orlith-account-menu");
  account_.set_size_request(30, 26);
  account_.set_valign(Gtk::Align::CENTER);
  account_.set_tooltip_text(localizedString("Account"));
  WorkspaceChromeStyle::setAccessibleLabel(account_, localizedString("Account"));
  account_.set_menu_model(menu_);

  auto add = [this](const char* name, std::function<void()> action) {
    actions_->add_action(name, [action] {
      if (action)
        action();
    });
  };
  add("new-tab", callbacks_.newTab);
  add("reload", callbacks_.reload);
  add("home", callbacks_.home);
  add("toggle-sidebar", callbacks_.toggleSidebar);
  add("sign-out", callbacks_.signOut);
  insert_action_group(kActionGroupName, actions_);
  rebuildMenu(std::nullopt);
  if (auto* popover = account_.get_popover()) {
    // Whether the selected tab shows the workspace page can change without a model change (a
    // link followed inside the page): ask again each time the menu opens.
    popover->signal_show().connect([this] {
      if (callbacks_.accountMenuOpening)
        callbacks_.accountMenuOpening();
    });
  }

  append(leading_);
  append(nav_);
  append(*indicator_);
  append(separatorBefore_);
  append(strip_);
  append(separatorAfter_);
  append(search_);
  append(account_);
  append(endControls_);

  signal_map().connect(sigc::mem_fun(*this, &WorkspaceChrome::watchWindow));
  signal_unmap().connect([this] {
    activeConnection_.disconnect();
    fullScreenConnection_.disconnect();
    window_ = nullptr;
  });
}

WorkspaceChrome::~WorkspaceChrome() {
  if (tickId_ != 0)
    remove_tick_callback(tickId_);
  activeConnection_.disconnect();
  fullScreenConnection_.disconnect();
}

std::unique_ptr<WorkspaceChrome> WorkspaceChrome::bound(
    std::shared_ptr<WorkspaceChromeController> controller, AppearanceSettings& appearance,
    std::unique_ptr<Gtk::Widget> indicator) {
  // The chrome owns the controller, so the controls may hold it plainly.
  WorkspaceChromeController* c = controller.get();
  Actions actions;
  actions.back = [c] { c->back(); };
  actions.forward = [c] { c->forward(); };
  actions.reload = [c] { c->reload(); };
  actions.selectTab = [c](const std::string& id) { c->selectTab(id); };
  actions.closeTab = [c](const std::string& id) { c->closeTab(id); };
  actions.newTab = [c] { c->newTab(); };
  actions.search = [c] { c->search(); };
  actions.home = [c] { c->home(); };
  actions.toggleSidebar = [c] { c->toggleSidebar(); };
  actions.signOut = [c] { c->signOut(); };
  auto chrome = std::make_unique<WorkspaceChrome>(std::move(actions), std::move(indicator));
  WorkspaceChrome* raw = chrome.get();
  // Not a model handler: the menu is opening, so the fresh state is shown at once.
  raw->callbacks_.accountMenuOpening = [raw] { raw->update(raw->controller_->snapshot()); };
  raw->controller_ = std::move(controller);
  raw->refresh_ =
      std::make_unique<CoalescedCallback>([raw] { raw->update(raw->controller_->snapshot()); });
  raw->controllerChanged_ =
      raw->controller_->changed().connect([raw] { raw->refresh_->schedule(); });
  raw->appearanceChanged_ = appearance.resolvedAppearanceChanged().connect(
      [raw, &appearance] { raw->setDark(appearance.resolvedIsDark()); });
  raw->setDark(appearance.resolvedIsDark());
  raw->update(raw->controller_->snapshot());
  return chrome;
}

void WorkspaceChrome::update(const WorkspaceChromeSnapshot& snapshot) {
  const WorkspaceChromeState& state = snapshot.state;
  nav_.set_visible(state.showsNavigation);
  nav_.update(state);
  strip_.update(snapshot.tabs, snapshot.selectedID, dark_);
  auto enable = [this](const char* name, bool enabled) {
    auto action = std::dynamic_pointer_cast<Gio::SimpleAction>(actions_->lookup_action(name));
    if (action)
      action->set_enabled(enabled);
  };
  enable("new-tab", state.newTabEnabled);
  enable("reload", state.reloadItemEnabled);
  enable("home", state.homeItemEnabled);
  enable("toggle-sidebar", state.toggleSidebarEnabled);
  enable("sign-out", state.signOutEnabled);
  if (!menuBuilt_ || state.emailItem != menuEmail_)
    rebuildMenu(state.emailItem);
}

void WorkspaceChrome::rebuildMenu(const std::optional<std::string>& email) {
  menu_->remove_all();
  if (email) {
    // A plain line: no action, so it cannot be chosen.
    auto account = Gio::Menu::create();
    account->append_item(Gio::MenuItem::create(*email, Glib::ustring()));
    menu_->append_section(account);
  }
  auto tabs = Gio::Menu::create();
  tabs->append(localizedString("New Tab"), std::string(kActionGroupName) + ".new-tab");
  tabs->append(localizedString("Reload"), std::string(kActionGroupName) + ".reload");
  tabs->append(localizedString("Home"), std::string(kActionGroupName) + ".home");
  tabs->append(localizedString("Toggle Sidebar"),
               std::string(kActionGroupName) + ".toggle-sidebar");
  menu_->append_section(tabs);
  // The toolkit's menus have no destructive role: "Sign Out" is a plain item.
  auto session = Gio::Menu::create();
  session->append(localizedString("Sign Out"), std::string(kActionGroupName) + ".sign-out");
  menu_->append_section(session);
  menuEmail_ = email;
  menuBuilt_ = true;
}

void WorkspaceChrome::setDark(bool dark) {
  dark_ = dark;
  strip_.setDark(dark);
  if (dark)
    add_css_class("dark");
  else
    remove_css_class("dark");
}

void WorkspaceChrome::setFullScreen(bool fullScreen) {
  if (fullScreen == fullScreen_)
    return;
  fullScreen_ = fullScreen;
  applyControlsVisibility();
  animateLeadingTo(fullScreen ? kFullScreenLeadingWidth : kLeadingWidth);
}

void WorkspaceChrome::applyControlsVisibility() {
  // Full screen has no window buttons.
  startControls_.set_visible(!fullScreen_ && !startControls_.get_empty());
  endControls_.set_visible(!fullScreen_ && !endControls_.get_empty());
}

void WorkspaceChrome::watchWindow() {
  activeConnection_.disconnect();
  fullScreenConnection_.disconnect();
  window_ = dynamic_cast<Gtk::Window*>(get_root());
  if (!window_)
    return;
  activeConnection_ = window_->property_is_active().signal_changed().connect(
      sigc::mem_fun(*this, &WorkspaceChrome::applyActivity));
  fullScreenConnection_ = window_->property_fullscreened().signal_changed().connect(
      [this] { setFullScreen(window_->is_fullscreen()); });
  applyActivity();
  if (window_->is_fullscreen())
    setFullScreen(true);
}

void WorkspaceChrome::applyActivity() {
  if (window_ && !window_->is_active())
    add_css_class("inactive");
  else
    remove_css_class("inactive");
}

void WorkspaceChrome::animateLeadingTo(double width) {
  if (!WorkspaceChromeStyle::animationsEnabled() || !get_mapped()) {
    leadingWidth_ = width;
    leadingAnimation_ = ChromeAnimation(width, width, 0, 0);
    leading_.set_size_request(static_cast<int>(std::lround(width)), -1);
    return;
  }
  leadingAnimation_ =
      ChromeAnimation(leadingWidth_, width, g_get_monotonic_time(), kFullScreenAnimationMicros);
  if (tickId_ == 0)
    tickId_ = add_tick_callback([this](const Glib::RefPtr<Gdk::FrameClock>&) { return onTick(); });
}

bool WorkspaceChrome::onTick() {
  const std::int64_t now = g_get_monotonic_time();
  leadingWidth_ = leadingAnimation_.valueAt(now);
  leading_.set_size_request(static_cast<int>(std::lround(leadingWidth_)), -1);
  if (leadingAnimation_.isFinishedAt(now)) {
    tickId_ = 0;
    return false;
  }
  return true;
}

}  // namespace orlith
