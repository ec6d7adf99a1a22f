// The word never wraps (it shrinks, then truncates); the subtitle wraps onto as many centred
// lines as it needs.
#include "signin/gtk/AuthBrandLockup.h"

#include "base/LocalizedStrings.h"
#include "signin/TextFitting.h"

namespace orlith {

AuthBrandLockup::AuthBrandLockup(const Glib::ustring& subtitle)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 12),
      mark_(44),
      texts_(Gtk::Orientation::VERTICAL, 5),
      word_(localizedString("Orlith"), kBrandWordMinimumScale) {
  add_css_class("orlith-brand-lockup");
  set_hexpand(true);
  mark_.set_halign(Gtk::Align::CENTER);
  word_.add_css_class("orlith-brand-word");
  word_.label().set_xalign(0.5f);
  subtitle_.add_css_class("orlith-brand-subtitle");
  subtitle_.set_wrap(true);
  subtitle_.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
  subtitle_.set_justify(Gtk::Justification::CENTER);
  subtitle_.set_xalign(0.5f);
  for (Gtk::Widget* child :
       {static_cast<Gtk::Widget*>(&word_), static_cast<Gtk::Widget*>(&word_.label()),
        static_cast<Gtk::Widget*>(&subtitle_)}) {
    gtk_accessible_update_state(GTK_ACCESSIBLE(child->gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE,
                                -1);
  }
  texts_.append(word_);
  texts_.append(subtitle_);
  append(mark_);
  append(texts_);
  setSubtitle(subtitle);
}

void AuthBrandLockup::setSubtitle(const Glib::ustring& subtitle) {
  const std::string text = localizedString(subtitle.raw());
  subtitle_.set_text(text);
  const std::string label = word_.label().get_text().raw() + ", " + text;
  gtk_accessible_update_property(GTK_ACCESSIBLE(gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 label.c_str(), -1);
}

}  // namespace orlith
