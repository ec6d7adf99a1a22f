// A revealer that is not revealed still covers its content in the overlay; it takes pointer
// events only while loading, so the content below gets every click otherwise.
#include "signin/gtk/LoadingOverlay.h"

#include "base/LocalizedStrings.h"

namespace orlith {

LoadingOverlay::LoadingOverlay(bool isLoading) : veil_(Gtk::Orientation::VERTICAL) {
  add_css_class("orlith-loading-overlay");
  set_transition_type(Gtk::RevealerTransitionType::CROSSFADE);
  set_transition_duration(180);
  set_hexpand(true);
  set_vexpand(true);
  veil_.add_css_class("orlith-loading-veil");
  veil_.set_hexpand(true);
  veil_.set_vexpand(true);
  spinner_.set_size_request(32, 32);
  spinner_.set_halign(Gtk::Align::CENTER);
  spinner_.set_valign(Gtk::Align::CENTER);
  spinner_.set_vexpand(true);
  gtk_accessible_update_property(GTK_ACCESSIBLE(spinner_.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 localizedString("Loading").c_str(), -1);
  veil_.append(spinner_);
  set_child(veil_);
  isLoading_ = !isLoading;
  setLoading(isLoading);
}

void LoadingOverlay::setLoading(bool isLoading) {
  if (isLoading == isLoading_)
    return;
  isLoading_ = isLoading;
  set_can_target(isLoading);
  set_reveal_child(isLoading);
  spinner_.setTurning(isLoading);
}

}  // namespace orlith
