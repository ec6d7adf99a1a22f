// A confirmation line of the sign-in scenes: a check-mark icon beside the text, both in the
// success colour. The icon only decorates, so assistive technology reads the text alone.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>

namespace orlith {

class AuthConfirmationLine : public Gtk::Box {
 public:
  static constexpr const char* kIconName = "emblem-ok-symbolic";

  AuthConfirmationLine();

  // `text` is shown as it is (already translated).
  void setText(const Glib::ustring& text);

  Gtk::Image& icon() { return icon_; }
  Gtk::Label& label() { return label_; }

 private:
  Gtk::Image icon_;
  Gtk::Label label_;
};

}  // namespace orlith
