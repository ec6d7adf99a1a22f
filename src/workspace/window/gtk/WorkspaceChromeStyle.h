// The chrome's stylesheet, made from the chrome's colour table and installed once per display,
// and small helpers its widgets share.
#pragma once

#include <gtkmm.h>

#include <string>

namespace orlith::WorkspaceChromeStyle {

// Installs the chrome's CSS on the default display; later calls do nothing.
void install();
// The CSS text itself.
std::string css();
// gtk-enable-animations: the desktop's reduce-motion switch.
bool animationsEnabled();
// The accessible label of a widget (its name for screen readers).
void setAccessibleLabel(Gtk::Widget& widget, const std::string& label);
// The toolkit takes a role only before the widget is shown: call this before parenting.
void setAccessibleRole(Gtk::Widget& widget, GtkAccessibleRole role);

}  // namespace orlith::WorkspaceChromeStyle
