// The sign-in header: the brand mark above the product word and a subtitle, read out as one
// element.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/label.h>

#include "signin/gtk/ShrinkingLabel.h"
#include "ui/OrlithMark.h"

namespace orlith {

class AuthBrandLockup : public Gtk::Box {
 public:
  // `subtitle` is a key of the string table.
  explicit AuthBrandLockup(const Glib::ustring& subtitle);

  void setSubtitle(const Glib::ustring& subtitle);

  OrlithMark& mark() { return mark_; }
  ShrinkingLabel& word() { return word_; }
  Gtk::Label& subtitle() { return subtitle_; }

 private:
  OrlithMark mark_;
  Gtk::Box texts_;
  ShrinkingLabel word_;
  Gtk::Label subtitle_;
};

}  // namespace orlith
