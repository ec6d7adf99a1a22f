#include "signin/gtk/AuthModeSwitch.h"

#include "ui/AuthControlCursor.h"

namespace orlith {

AuthModeSwitch::AuthModeSwitch(EmailAuthMode selection, std::function<void(EmailAuthMode)> onSelect,
                               const Localizer& localize)
    : onSelect_(std::move(onSelect)) {
  // The role can only be given at construction.
  auto* box = GTK_WIDGET(g_object_new(GTK_TYPE_BOX, "orientation", GTK_ORIENTATION_HORIZONTAL,
                                      "homogeneous", TRUE, "spacing", 0, "accessible-role",
                                      GTK_ACCESSIBLE_ROLE_GROUP, nullptr));
  // Held here, so the box outlives any container it is put in or taken out of.
  g_object_ref_sink(box);
  box_ = Glib::wrap(GTK_BOX(box));
  gtk_accessible_update_property(GTK_ACCESSIBLE(box), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 localize("Authentication mode").c_str(), -1);
  box_->add_css_class("orlith-mode-switch");
  for (std::size_t index = 0; index < kAllEmailAuthModes.size(); ++index) {
    const EmailAuthMode mode = kAllEmailAuthModes[index];
    Gtk::ToggleButton& tab = tabs_[index];
    tab.set_label(localize(std::string(rawValue(mode))));
    tab.add_css_class("orlith-mode-tab");
    tab.set_has_frame(false);
    tab.set_hexpand(true);
    showPointingHandWhileEnabled(tab);
    clicks_[index] = tab.signal_clicked().connect([this, mode] {
      if (onSelect_)
        onSelect_(mode);
    });
    box_->append(tab);
  }
  setSelection(selection);
}

AuthModeSwitch::~AuthModeSwitch() {
  for (sigc::connection& click : clicks_)
    click.disconnect();
  for (Gtk::ToggleButton& tab : tabs_) {
    if (tab.get_parent() != nullptr)
      box_->remove(tab);
  }
  g_object_unref(box_->gobj());
}

Gtk::ToggleButton& AuthModeSwitch::tab(EmailAuthMode mode) {
  return tabs_[mode == EmailAuthMode::signIn ? 0 : 1];
}

void AuthModeSwitch::setSelection(EmailAuthMode selection) {
  for (std::size_t index = 0; index < kAllEmailAuthModes.size(); ++index) {
    const bool selected = kAllEmailAuthModes[index] == selection;
    clicks_[index].block();
    tabs_[index].set_active(selected);
    clicks_[index].unblock();
    gtk_accessible_update_state(
        GTK_ACCESSIBLE(tabs_[index].gobj()), GTK_ACCESSIBLE_STATE_PRESSED,
        selected ? GTK_ACCESSIBLE_TRISTATE_TRUE : GTK_ACCESSIBLE_TRISTATE_FALSE, -1);
  }
}

}  // namespace orlith
