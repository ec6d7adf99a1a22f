// Real key presses for UI tests: sent through the X server's test extension, so they reach the
// focused window as a user's keys do, through every toolkit phase and the focused widget.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/x11/gdkx.h>

#include <chrono>
#include <initializer_list>

#include "UiHarness.h"

namespace orlith::testing {

// Presses the modifiers, taps the key and releases all, then lets the toolkit see them.
inline void pressKeys(std::initializer_list<KeySym> modifiers, KeySym key) {
  Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  for (KeySym modifier : modifiers)
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), True, CurrentTime);
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
  for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, *it), False, CurrentTime);
  XFlush(display);
  spinUntil([] { return false; }, std::chrono::milliseconds(150));
}

inline void pressControl(KeySym key) {
  pressKeys({XK_Control_L}, key);
}

}  // namespace orlith::testing
