// The indicator, its registry and the process-wide panel operations.
#include "update/client/gtk/UpdateIndicatorButton.h"

#include <algorithm>

#include "base/LocalizedStrings.h"
#include "update/client/UpdateIndicatorPresentation.h"
#include "update/client/gtk/NeutralUpdateChromeButton.h"

namespace orlith {
namespace {

std::vector<UpdateIndicatorButton*>& buttons() {
  static std::vector<UpdateIndicatorButton*> list;
  return list;
}

std::string translate(std::string_view key) {
  return localizedString(key);
}

}  // namespace

UpdateIndicatorButton::UpdateIndicatorButton(UpdateIndicatorModel& model)
    : model_(model), glyph_(13) {
  styleAsNeutralUpdateChromeButton(*this);
  add_css_class("orlith-update-indicator");
  set_has_frame(false);
  set_always_show_arrow(false);
  set_size_request(kSize, kSize);
  set_halign(Gtk::Align::CENTER);
  set_valign(Gtk::Align::CENTER);
  set_child(glyph_);
  const std::string label = translate(kCheckForUpdatesLabel);
  set_tooltip_text(label);
  gtk_accessible_update_property(GTK_ACCESSIBLE(gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 label.c_str(), -1);
  // The panel is made on the first click. Through the C call: the button outlives no handler.
  gtk_menu_button_set_create_popup_func(
      gobj(),
      [](GtkMenuButton*, gpointer self) { static_cast<UpdateIndicatorButton*>(self)->panel(); },
      this, nullptr);
  snapshotConnection_ = model_.changed().connect([this] { apply(model_.snapshot()); });
  apply(model_.snapshot());
  buttons().push_back(this);
}

UpdateIndicatorButton::~UpdateIndicatorButton() {
  auto& list = buttons();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  snapshotConnection_.disconnect();
  gtk_menu_button_set_create_popup_func(gobj(), nullptr, nullptr, nullptr);
  if (panel_) {
    panel_->close();
    gtk_menu_button_set_popover(gobj(), nullptr);
    panel_.reset();
  }
}

UpdatePopoverController& UpdateIndicatorButton::panel() {
  if (!panel_) {
    panel_ = std::make_unique<UpdatePopoverController>(model_);
    set_popover(panel_->popover());
  }
  return *panel_;
}

void UpdateIndicatorButton::apply(const UpdateSnapshot& snapshot) {
  const IndicatorPresentation presentation = indicatorPresentation(snapshot);
  if (presentation.tint == UpdateIndicatorTint::accent)
    add_css_class("accent");
  else
    remove_css_class("accent");
  status_ = indicatorStatusText(presentation, &translate);
  set_tooltip_text(status_);
  gtk_accessible_update_property(GTK_ACCESSIBLE(gobj()), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                 status_.c_str(), -1);
}

const std::vector<UpdateIndicatorButton*>& UpdateIndicatorButton::registry() {
  return buttons();
}

void UpdateIndicatorButton::showPanel() {
  std::vector<IndicatorCandidate> candidates;
  GtkWindow* main = nullptr;
  if (GApplication* application = g_application_get_default();
      application != nullptr && GTK_IS_APPLICATION(application))
    main = gtk_application_get_active_window(GTK_APPLICATION(application));
  for (UpdateIndicatorButton* button : buttons()) {
    auto* window = dynamic_cast<Gtk::Window*>(button->get_root());
    IndicatorCandidate candidate;
    candidate.shown = window != nullptr && button->is_drawable();
    candidate.inActiveWindow = window != nullptr && window->is_active();
    candidate.inMainWindow = window != nullptr && window->gobj() == main;
    candidates.push_back(candidate);
  }
  if (auto chosen = indicatorForPanel(candidates)) {
    UpdateIndicatorButton* button = buttons()[*chosen];
    if (!button->panel().isShown())
      button->popup();
  }
}

void UpdateIndicatorButton::closePanels() {
  for (UpdateIndicatorButton* button : buttons()) {
    button->panel();
    button->popdown();
  }
}

}  // namespace orlith
