// Real pointer input for UI tests, sent through the X server's XTest extension: the engine sees
// a user's click, with its gesture, where a page's own click() has none.
#pragma once

#include <gtk/gtk.h>

namespace orlith::testing {

// Moves the pointer to (x, y) in `widget`'s coordinates and clicks the first button there.
// The widget must be shown in a window on the X11 display. Throws when it is not.
void clickAt(GtkWidget* widget, double x, double y);

}  // namespace orlith::testing
