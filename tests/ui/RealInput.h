// Real pointer and key input for UI tests, sent through the X server's XTest extension: the engine
// sees a user's click, with its gesture, where a page's own click() has none, and keys reach the
// focused window as a user's do, through every toolkit phase and the focused widget.
#pragma once

#include <X11/keysym.h>
#include <gtk/gtk.h>

#include <initializer_list>

namespace orlith::testing {

// An X key symbol (the XK_ names); Xlib's own type stays out of this header, its macros clash
// with the toolkit's C++ headers.
using KeySymbol = unsigned long;

// Moves the pointer to (x, y) in `widget`'s coordinates and clicks the first button there
// `clicks` times, with `modifiers` held. The widget must be shown in a window on the X11
// display. Throws when it is not.
void clickAt(GtkWidget* widget, double x, double y, int clicks = 1,
             std::initializer_list<KeySymbol> modifiers = {});
// The same at (x, y) of an X window, also one of another program.
void clickInWindow(unsigned long xWindow, int x, int y);

// Presses the first button at (x, y) in `widget`'s coordinates, moves by (dx, dy) in steps and
// releases it there.
void dragAt(GtkWidget* widget, double x, double y, double dx, double dy);

// Presses the modifiers, taps the key and releases all, then lets the toolkit see them.
void pressKeys(std::initializer_list<KeySymbol> modifiers, KeySymbol key);

inline void pressControl(KeySymbol key) {
  pressKeys({XK_Control_L}, key);
}

}  // namespace orlith::testing
