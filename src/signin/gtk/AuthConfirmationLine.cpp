// The icon sits on the first line of the text, which wraps beside it.
#include "signin/gtk/AuthConfirmationLine.h"

namespace orlith {

AuthConfirmationLine::AuthConfirmationLine() : Gtk::Box(Gtk::Orientation::HORIZONTAL, 6) {
  add_css_class("orlith-confirmation");
  // Before the icon has a parent: GTK keeps the role it had when it was first shown.
  g_object_set(icon_.gobj(), "accessible-role", GTK_ACCESSIBLE_ROLE_PRESENTATION, nullptr);
  gtk_accessible_update_state(GTK_ACCESSIBLE(icon_.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
  icon_.set_from_icon_name(kIconName);
  icon_.set_pixel_size(14);
  icon_.set_valign(Gtk::Align::START);
  icon_.set_margin_top(1);
  label_.set_wrap(true);
  label_.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
  label_.set_xalign(0);
  label_.set_hexpand(true);
  label_.set_halign(Gtk::Align::FILL);
  append(icon_);
  append(label_);
}

void AuthConfirmationLine::setText(const Glib::ustring& text) {
  label_.set_text(text);
}

}  // namespace orlith
