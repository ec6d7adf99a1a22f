// Cairo drawing over a widget's whole area, for its snapshot, with the widget's CSS colour at
// hand. The context is handed to the snapshot when this goes out of scope.
#pragma once

#include <gtk/gtk.h>
#include <gtkmm/snapshot.h>
#include <gtkmm/widget.h>

namespace orlith {

class WidgetCairo {
 public:
  WidgetCairo(Gtk::Widget& widget, const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
    gtk_style_context_get_color(gtk_widget_get_style_context(widget.gobj()), &colour_);
    const graphene_rect_t bounds = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(widget.get_width()),
                                                      static_cast<float>(widget.get_height()));
    cr_ = gtk_snapshot_append_cairo(snapshot->gobj(), &bounds);
  }
  ~WidgetCairo() { cairo_destroy(cr_); }
  WidgetCairo(const WidgetCairo&) = delete;
  WidgetCairo& operator=(const WidgetCairo&) = delete;

  cairo_t* get() const { return cr_; }
  const GdkRGBA& colour() const { return colour_; }

 private:
  GdkRGBA colour_{};
  cairo_t* cr_ = nullptr;
};

}  // namespace orlith
