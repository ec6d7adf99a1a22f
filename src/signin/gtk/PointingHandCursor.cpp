#include "signin/gtk/PointingHandCursor.h"

namespace orlith {

void PointingHandCursor::attach(Gtk::Widget& widget) {
  refresh(widget);
  // GTK updates the cursor under a pointer that does not move when it changes.
  widget.property_sensitive().signal_changed().connect([&widget] { refresh(widget); });
}

void PointingHandCursor::refresh(Gtk::Widget& widget) {
  if (widget.get_sensitive()) {
    widget.set_cursor("pointer");
  } else {
    widget.set_cursor(Glib::RefPtr<Gdk::Cursor>());
  }
}

}  // namespace orlith
