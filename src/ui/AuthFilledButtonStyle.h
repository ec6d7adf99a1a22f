// The filled primary button: 46 high, the primary fill in a 10 px rounded rectangle, lighter
// on hover, faded when disabled, scaled a little while pressed.
#pragma once

#include <gtkmm/button.h>

namespace orlith {

class AuthFilledButtonStyle {
 public:
  static void apply(Gtk::Button& button);
};

}  // namespace orlith
