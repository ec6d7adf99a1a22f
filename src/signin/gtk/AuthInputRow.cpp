#include "signin/gtk/AuthInputRow.h"

namespace orlith {

AuthInputRow::AuthInputRow(const std::string& title, Gtk::Widget& content)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 9), caption_(title) {
  add_css_class("orlith-input-row");
  caption_.add_css_class("orlith-input-caption");
  caption_.set_halign(Gtk::Align::START);
  caption_.set_xalign(0);
  gtk_accessible_update_state(GTK_ACCESSIBLE(caption_.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE,
                              -1);
  gtk_accessible_update_property(GTK_ACCESSIBLE(content.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 title.c_str(), -1);
  content.add_css_class("orlith-input");
  content.set_size_request(-1, 26);
  content.set_hexpand(true);
  append(caption_);
  append(content);
}

}  // namespace orlith
