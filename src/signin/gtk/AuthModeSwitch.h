// The two-tab switch of the e-mail form between signing in and creating an account. It keeps no
// selection of its own: choosing a tab, also the selected one, calls onSelect, and the tabs show
// whatever setSelection last said.
#pragma once

#include <gtkmm.h>

#include <array>
#include <functional>

#include "signin/EmailAuthMode.h"

namespace orlith {

class AuthModeSwitch {
 public:
  using Localizer = std::function<std::string(const std::string&)>;

  AuthModeSwitch(EmailAuthMode selection, std::function<void(EmailAuthMode)> onSelect,
                 const Localizer& localize);
  AuthModeSwitch(const AuthModeSwitch&) = delete;
  AuthModeSwitch& operator=(const AuthModeSwitch&) = delete;
  ~AuthModeSwitch();

  // A homogeneous box in the accessibility role of a group, labelled "Authentication mode".
  Gtk::Widget& widget() { return *box_; }
  Gtk::ToggleButton& tab(EmailAuthMode mode);

  void setSelection(EmailAuthMode selection);

 private:
  Gtk::Box* box_ = nullptr;
  std::array<Gtk::ToggleButton, 2> tabs_;
  std::array<sigc::connection, 2> clicks_;
  std::function<void(EmailAuthMode)> onSelect_;
};

}  // namespace orlith
