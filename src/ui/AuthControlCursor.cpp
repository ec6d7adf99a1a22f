// Cursor following a control's effective sensitivity.
#include "ui/AuthControlCursor.h"

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

void addButtonStyleClass(Gtk::Button& button, const char* cssClass) {
  if (button.has_css_class(cssClass))
    return;
  button.add_css_class(cssClass);
  showPointingHandWhileEnabled(button);
}

}  // namespace orlith
