// The pointing hand over an enabled sign-in control, the arrow over a disabled one.
#pragma once

#include <gtkmm/widget.h>

namespace orlith {

// Sets the cursor now and again whenever the control's sensitivity changes (its own or an
// ancestor's).
void showPointingHandWhileEnabled(Gtk::Widget& control);

}  // namespace orlith
