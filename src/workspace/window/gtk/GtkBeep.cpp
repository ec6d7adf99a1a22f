// The error bell of the widget's display.
#include "workspace/window/gtk/GtkBeep.h"

namespace orlith {

GtkBeep::GtkBeep(GtkWidget* widget) {
  g_weak_ref_init(&widget_, widget);
}

GtkBeep::~GtkBeep() {
  g_weak_ref_clear(&widget_);
}

void GtkBeep::beep() {
  if (auto* widget = static_cast<GtkWidget*>(g_weak_ref_get(&widget_))) {
    gtk_widget_error_bell(widget);
    g_object_unref(widget);
  }
}

}  // namespace orlith
