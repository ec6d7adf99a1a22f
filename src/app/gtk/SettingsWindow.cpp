// Builds the settings window and keeps its controls on the model's values. Setting a control
// from code fires its signal, so each refresh blocks the handler it would wake.
#include "app/gtk/SettingsWindow.h"

#include <utility>

#include "base/LocalizedStrings.h"
#include "workspace/window/WorkspaceSession.h"

namespace orlith {

namespace {

void sizedText(Gtk::Label& label, int pixels, bool semibold) {
  Pango::AttrList attributes;
  auto size = Pango::Attribute::create_attr_size_absolute(pixels * PANGO_SCALE);
  attributes.insert(size);
  if (semibold) {
    auto weight = Pango::Attribute::create_attr_weight(Pango::Weight::SEMIBOLD);
    attributes.insert(weight);
  }
  label.set_attributes(attributes);
}

void footnote(Gtk::Label& label) {
  sizedText(label, 10, false);
  label.add_css_class("dim-label");
  label.set_wrap(true);
  label.set_xalign(0);
}

}  // namespace

SettingsWindow::SettingsWindow(Dependencies dependencies)
    : view_(std::move(dependencies.view)),
      session_(dependencies.session),
      preferences_(dependencies.preferences),
      checkForUpdates_(std::move(dependencies.checkForUpdates)),
      openExternally_(std::move(dependencies.openExternally)),
      origin_(std::move(dependencies.origin)) {
  add_css_class("orlith-settings");
  set_default_size(kWidth, kHeight);
  set_size_request(kWidth, kHeight);
  set_resizable(false);
  set_hide_on_close(true);
  // Escape closes it, as the desktop's preference windows do.
  auto keys = Gtk::ShortcutController::create();
  keys->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string("Escape"),
                                           Gtk::NamedAction::create("window.close")));
  add_controller(keys);

  stack_.set_transition_type(Gtk::StackTransitionType::NONE);
  auto general = stack_.add(buildGeneral(), "general", localizedString("General"));
  general->set_icon_name("preferences-system-symbolic");
  auto about = stack_.add(buildAbout(), "about", localizedString("About"));
  about->set_icon_name("help-about-symbolic");
  version_.set_text(
      GeneralSettingsView::versionLine(dependencies.appVersion, dependencies.buildVersion));
  switcher_.set_stack(stack_);
  switcher_.set_halign(Gtk::Align::CENTER);
  switcher_.set_margin(8);
  stack_.set_vexpand(true);
  outer_.append(switcher_);
  outer_.append(stack_);
  set_child(outer_);
  stack_.property_visible_child().signal_changed().connect([this] { refreshTitle(); });
  refreshTitle();

  viewChanged_ = view_->changed().connect([this] { refresh(); });
  sessionChanged_ = session_.changed().connect([this] { refreshAccount(); });
  preferenceChanged_ = preferences_.changed().connect([this](const std::string& key) {
    if (key == AppearanceSettings::kPreferenceKey || key == GeneralSettingsView::kDiagnosticsKey)
      refresh();
  });
  // Each appearance of the window reads the login item anew.
  signal_show().connect([this] { view_->refreshLoginItemState(); });
  refresh();
  refreshAccount();
}

SettingsWindow::~SettingsWindow() = default;

Gtk::ToggleButton& SettingsWindow::appearanceButton(OrlithAppearancePreference preference) {
  return appearance_[static_cast<std::size_t>(preference)];
}

Gtk::Widget& SettingsWindow::buildGeneral() {
  general_.set_margin_start(24);
  general_.set_margin_end(24);
  general_.set_margin_top(4);
  general_.set_margin_bottom(12);

  appearanceLabel_.set_text(localizedString("Appearance"));
  appearanceLabel_.set_hexpand(true);
  appearanceLabel_.set_xalign(0);
  appearanceButtons_.add_css_class("linked");
  const char* titles[] = {"System", "Light", "Dark"};
  for (std::size_t index = 0; index < appearance_.size(); ++index) {
    auto& button = appearance_[index];
    button.set_label(titles[index]);
    if (index > 0)
      button.set_group(appearance_[0]);
    const auto preference = kAllAppearancePreferences[index];
    appearanceHandlers_[index] = button.signal_toggled().connect([this, preference, &button] {
      if (button.get_active())
        view_->setAppearance(preference);
    });
    appearanceButtons_.append(button);
  }
  appearanceRow_.append(appearanceLabel_);
  appearanceRow_.append(appearanceButtons_);
  general_.append(appearanceRow_);

  loginLabel_.set_text(localizedString("Launch Orlith at login"));
  loginLabel_.set_hexpand(true);
  loginLabel_.set_xalign(0);
  loginItemSwitch_.set_valign(Gtk::Align::CENTER);
  // The switch shows the real state: a change is asked of the model, and the state follows when
  // the file work reports back.
  loginItemSwitch_.signal_state_set().connect(
      [this](bool state) {
        if (state != view_->loginItemToggleOn())
          view_->loginItemToggleChanged(state);
        return true;
      },
      false);
  loginRow_.append(loginLabel_);
  loginRow_.append(loginItemSwitch_);
  general_.append(loginRow_);
  footnote(loginItemError_);
  general_.append(loginItemError_);

  diagnosticsLabel_.set_text(localizedString("Share anonymous diagnostics"));
  diagnosticsLabel_.set_hexpand(true);
  diagnosticsLabel_.set_xalign(0);
  diagnosticsSwitch_.set_valign(Gtk::Align::CENTER);
  diagnosticsHandler_ = diagnosticsSwitch_.property_active().signal_changed().connect(
      [this] { view_->diagnosticsChanged(diagnosticsSwitch_.get_active()); });
  diagnosticsRow_.append(diagnosticsLabel_);
  diagnosticsRow_.append(diagnosticsSwitch_);
  general_.append(diagnosticsRow_);
  diagnosticsNote_.set_text(localizedString(
      "Diagnostics help improve Orlith for Linux. No workspace content is ever sent."));
  footnote(diagnosticsNote_);
  general_.append(diagnosticsNote_);

  checkForUpdates_Button_.set_label(localizedString("Check for Updates…"));
  checkForUpdates_Button_.set_halign(Gtk::Align::START);
  checkForUpdates_Button_.signal_clicked().connect([this] {
    if (checkForUpdates_)
      checkForUpdates_();
  });
  general_.append(checkForUpdates_Button_);

  accountHeader_.set_text(localizedString("Account"));
  sizedText(accountHeader_, 13, true);
  accountHeader_.set_xalign(0);
  accountLabel_.set_text(localizedString("Signed in as"));
  accountLabel_.set_hexpand(true);
  accountLabel_.set_xalign(0);
  accountEmail_.set_selectable(true);
  accountEmail_.set_ellipsize(Pango::EllipsizeMode::MIDDLE);
  accountRow_.append(accountLabel_);
  accountRow_.append(accountEmail_);
  signOut_.set_label(localizedString("Sign Out"));
  signOut_.add_css_class("destructive-action");
  signOut_.set_halign(Gtk::Align::START);
  signOut_.signal_clicked().connect([this] { view_->signOut(); });
  account_.append(accountHeader_);
  account_.append(accountRow_);
  account_.append(signOut_);
  general_.append(account_);
  return general_;
}

Gtk::Widget& SettingsWindow::buildAbout() {
  about_.set_valign(Gtk::Align::CENTER);
  about_.set_halign(Gtk::Align::FILL);
  about_.set_margin(12);
  mark_.set_halign(Gtk::Align::CENTER);
  about_.append(mark_);
  product_.set_text(localizedString("Orlith for Linux"));
  sizedText(product_, 18, true);
  sizedText(version_, 11, false);
  version_.add_css_class("dim-label");
  productColumn_.append(product_);
  productColumn_.append(version_);
  about_.append(productColumn_);
  const std::pair<const char*, std::string> links[] = {
      {"Website", origin_}, {"Privacy", origin_ + "/privacy"}, {"Terms", origin_ + "/terms"}};
  links_.set_halign(Gtk::Align::CENTER);
  for (std::size_t index = 0; index < linkButtons_.size(); ++index) {
    auto& button = linkButtons_[index];
    button.set_label(localizedString(links[index].first));
    button.set_uri(links[index].second);
    button.add_css_class("orlith-settings-link");
    button.signal_activate_link().connect(
        [this, uri = links[index].second] {
          if (openExternally_)
            openExternally_(uri);
          return true;
        },
        false);
    links_.append(button);
  }
  about_.append(links_);
  return about_;
}

void SettingsWindow::showPage(Page page) {
  stack_.set_visible_child(page == Page::general ? "general" : "about");
}

SettingsWindow::Page SettingsWindow::page() const {
  return stack_.get_visible_child_name() == "about" ? Page::about : Page::general;
}

void SettingsWindow::refreshTitle() {
  set_title(localizedString(page() == Page::about ? "About" : "General"));
}

void SettingsWindow::refresh() {
  for (auto& handler : appearanceHandlers_)
    handler.block();
  const auto current = view_->appearance();
  appearanceButton(current).set_active(true);
  for (auto& handler : appearanceHandlers_)
    handler.unblock();

  // While work is in flight the switch keeps the asked position and does not act; then it shows
  // the real state. The state-set handler sees the model's own value and asks nothing.
  const bool busy = view_->loginItemBusy();
  loginItemSwitch_.set_sensitive(!busy);
  if (!busy) {
    const bool on = view_->loginItemToggleOn();
    loginItemSwitch_.set_active(on);
    loginItemSwitch_.set_state(on);
  }
  const auto& error = view_->loginItemError();
  loginItemError_.set_text(error ? *error : "");
  loginItemError_.set_visible(error.has_value());

  diagnosticsHandler_.block();
  diagnosticsSwitch_.set_active(view_->diagnostics());
  diagnosticsHandler_.unblock();
}

void SettingsWindow::refreshAccount() {
  const auto section = view_->accountSection();
  account_.set_visible(section.has_value());
  accountRow_.set_visible(section && section->email);
  accountEmail_.set_text(section && section->email ? *section->email : "");
}

}  // namespace orlith
