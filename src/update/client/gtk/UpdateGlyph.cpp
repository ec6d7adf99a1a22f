#include "update/client/gtk/UpdateGlyph.h"

#include <gtk/gtk.h>

#include <algorithm>

#include "ui/WidgetCairo.h"

namespace orlith {
namespace {

// The outline on a 16-unit grid: a shaft with its arrowhead, and the line below it.
void traceGlyph(cairo_t* cr) {
  cairo_move_to(cr, 7.25, 1.5);
  cairo_line_to(cr, 8.75, 1.5);
  cairo_line_to(cr, 8.75, 9.19);
  cairo_line_to(cr, 11.47, 6.47);
  cairo_line_to(cr, 12.53, 7.53);
  cairo_line_to(cr, 8, 12.06);
  cairo_line_to(cr, 3.47, 7.53);
  cairo_line_to(cr, 4.53, 6.47);
  cairo_line_to(cr, 7.25, 9.19);
  cairo_close_path(cr);
  cairo_rectangle(cr, 2.5, 13, 11, 1.5);
}

}  // namespace

UpdateGlyph::UpdateGlyph(int size)
    : Glib::ObjectBase("OrlithUpdateGlyph"), Gtk::Widget(), size_(std::max(size, 0)) {
  // Before the widget has a parent: GTK keeps the role it had when it was first shown.
  g_object_set(gobj(), "accessible-role", GTK_ACCESSIBLE_ROLE_PRESENTATION, nullptr);
  add_css_class("orlith-update-glyph");
  set_halign(Gtk::Align::CENTER);
  set_valign(Gtk::Align::CENTER);
}

void UpdateGlyph::measure_vfunc(Gtk::Orientation, int, int& minimum, int& natural,
                                int& minimumBaseline, int& naturalBaseline) const {
  minimum = natural = size_;
  minimumBaseline = naturalBaseline = -1;
}

void UpdateGlyph::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  const int edge = std::min({size_, get_width(), get_height()});
  if (edge <= 0)
    return;
  const WidgetCairo drawing(*this, snapshot);
  cairo_t* cr = drawing.get();
  cairo_translate(cr, (get_width() - edge) / 2.0, (get_height() - edge) / 2.0);
  cairo_scale(cr, edge / 16.0, edge / 16.0);
  traceGlyph(cr);
  gdk_cairo_set_source_rgba(cr, &drawing.colour());
  cairo_fill(cr);
}

}  // namespace orlith
