// The pointing hand over an enabled sign-in control, the arrow over a disabled one.
#pragma once

#include <gtkmm/button.h>
#include <gtkmm/widget.h>

namespace orlith {

// Sets the cursor now and again whenever the control's sensitivity changes (its own or an
// ancestor's).
void showPointingHandWhileEnabled(Gtk::Widget& control);

// Gives a button a button style's CSS class and the pointing hand, once: a button styled again
// keeps the one cursor handler it has.
void addButtonStyleClass(Gtk::Button& button, const char* cssClass);

}  // namespace orlith
