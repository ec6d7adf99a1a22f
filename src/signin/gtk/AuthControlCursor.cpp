// Cursor following a control's effective sensitivity.
#include "signin/gtk/AuthControlCursor.h"

namespace orlith {
namespace {

void update(Gtk::Widget& control) {
  // An empty name leaves the cursor to the surroundings: the arrow.
  control.set_cursor(control.is_sensitive() ? "pointer" : "");
}

}  // namespace

void showPointingHandWhileEnabled(Gtk::Widget& control) {
  update(control);
  control.signal_state_flags_changed().connect([&control](Gtk::StateFlags previous) {
    const bool wasSensitive =
        (previous & Gtk::StateFlags::INSENSITIVE) != Gtk::StateFlags::INSENSITIVE;
    if (wasSensitive != control.is_sensitive())
      update(control);
  });
}

}  // namespace orlith
