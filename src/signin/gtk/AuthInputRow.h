// One labelled input of the sign-in forms: a small caption above the caller's entry and a thin
// base line under both. The caption is hidden from assistive technologies; the entry carries
// the title as its label instead.
#pragma once

#include <gtkmm.h>

#include <string>

namespace orlith {

class AuthInputRow : public Gtk::Box {
 public:
  // `title` is shown as given (already localized); `content` stays owned by the caller.
  AuthInputRow(const std::string& title, Gtk::Widget& content);

  Gtk::Label& caption() { return caption_; }

 private:
  Gtk::Label caption_;
};

}  // namespace orlith
