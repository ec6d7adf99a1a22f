// Over the toolkit's own traps, never a handler of our own, which would replace its handler.
#include "XErrorTrap.h"

#include <gdk/x11/gdkx.h>

namespace orlith::testing {

XErrorTrap::XErrorTrap() {
  gdk_x11_display_error_trap_push(gdk_display_get_default());
}

XErrorTrap::~XErrorTrap() {
  if (!ended_)
    gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
}

int XErrorTrap::end() {
  ended_ = true;
  return gdk_x11_display_error_trap_pop(gdk_display_get_default());
}

}  // namespace orlith::testing
