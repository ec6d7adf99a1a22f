// A provider button's label: the provider's mark in an 18 × 18 slot at the leading edge (a
// spinner there while loading) and the title centred on the whole button.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/centerbox.h>

#include "signin/gtk/ShrinkingLabel.h"
#include "ui/OnScreenSpinner.h"

namespace orlith {

class AuthSocialButtonLabel : public Gtk::CenterBox {
 public:
  // `title` is a key of the string table; `icon` is owned by the caller and outlives the label.
  AuthSocialButtonLabel(const Glib::ustring& title, bool isLoading, Gtk::Widget& icon);

  void setLoading(bool isLoading);
  bool isLoading() const { return isLoading_; }

  OnScreenSpinner& spinner() { return spinner_; }
  ShrinkingLabel& title() { return title_; }

 private:
  Gtk::Box slot_;
  Gtk::Widget& icon_;
  OnScreenSpinner spinner_;
  ShrinkingLabel title_;
  bool isLoading_ = false;
};

}  // namespace orlith
