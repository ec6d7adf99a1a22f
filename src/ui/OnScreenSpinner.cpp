#include "ui/OnScreenSpinner.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>

#include "ui/WidgetCairo.h"

namespace orlith {
namespace {

constexpr int kNaturalSize = 16;
constexpr double kSecondsPerTurn = 1.0;
constexpr double kArcFraction = 0.3;
constexpr double kTrackAlpha = 0.25;

bool animationsEnabled(GtkWidget* widget) {
  gboolean enabled = TRUE;
  g_object_get(gtk_widget_get_settings(widget), "gtk-enable-animations", &enabled, nullptr);
  return enabled;
}

}  // namespace

OnScreenSpinner::OnScreenSpinner() : Glib::ObjectBase("OrlithOnScreenSpinner"), Gtk::Widget() {
  // Before the widget has a parent: GTK keeps the role it had when it was first shown.
  g_object_set(gobj(), "accessible-role", GTK_ACCESSIBLE_ROLE_PROGRESS_BAR, nullptr);
  add_css_class("orlith-spinner");
}

OnScreenSpinner::~OnScreenSpinner() {
  if (tickId_ != 0)
    gtk_widget_remove_tick_callback(GTK_WIDGET(gobj()), tickId_);
}

void OnScreenSpinner::setTurning(bool turning) {
  turning_ = turning;
  updateTicking();
  queue_draw();
}

void OnScreenSpinner::on_map() {
  Gtk::Widget::on_map();
  updateTicking();
}

void OnScreenSpinner::on_unmap() {
  Gtk::Widget::on_unmap();
  updateTicking();
}

void OnScreenSpinner::updateTicking() {
  GtkWidget* widget = GTK_WIDGET(gobj());
  const bool wanted = turning_ && get_mapped() && animationsEnabled(widget);
  if (wanted && tickId_ == 0) {
    tickId_ = gtk_widget_add_tick_callback(
        widget,
        [](GtkWidget* self, GdkFrameClock* clock, gpointer data) -> gboolean {
          auto* spinner = static_cast<OnScreenSpinner*>(data);
          const double seconds =
              static_cast<double>(gdk_frame_clock_get_frame_time(clock)) / G_USEC_PER_SEC;
          spinner->turn_ = std::fmod(seconds / kSecondsPerTurn, 1.0);
          gtk_widget_queue_draw(self);
          return G_SOURCE_CONTINUE;
        },
        this, nullptr);
  } else if (!wanted && tickId_ != 0) {
    gtk_widget_remove_tick_callback(widget, tickId_);
    tickId_ = 0;
  }
}

void OnScreenSpinner::measure_vfunc(Gtk::Orientation, int, int& minimum, int& natural,
                                    int& minimumBaseline, int& naturalBaseline) const {
  minimum = natural = kNaturalSize;
  minimumBaseline = naturalBaseline = -1;
}

void OnScreenSpinner::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  const int width = get_width();
  const int height = get_height();
  const double edge = std::min(width, height);
  if (edge <= 0)
    return;
  const WidgetCairo drawing(*this, snapshot);
  cairo_t* cr = drawing.get();
  const GdkRGBA& color = drawing.colour();
  const double lineWidth = std::max(1.5, edge / 8);
  const double radius = (edge - lineWidth) / 2;
  const double cx = width / 2.0;
  const double cy = height / 2.0;
  cairo_set_line_width(cr, lineWidth);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha * kTrackAlpha);
  cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
  cairo_stroke(cr);

  const double start = (turn_ - 0.25) * 2 * M_PI;
  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
  cairo_arc(cr, cx, cy, radius, start, start + kArcFraction * 2 * M_PI);
  cairo_stroke(cr);
}

}  // namespace orlith
