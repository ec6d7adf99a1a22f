// The pointing-hand cursor over a clickable sign-in control while it is sensitive; a disabled
// one inherits its parent's cursor (the arrow).
#pragma once

#include <gtkmm.h>

namespace orlith {

class PointingHandCursor {
 public:
  // Follows the widget's sensitivity for as long as the widget lives.
  static void attach(Gtk::Widget& widget);
  // The cursor the widget should show now.
  static void refresh(Gtk::Widget& widget);
};

}  // namespace orlith
