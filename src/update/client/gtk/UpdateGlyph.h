// The indicator's symbol, an arrow down to a line, drawn in the widget's CSS colour at a fixed
// size. Drawn rather than loaded: an SVG icon would bring an SVG decoder of several megabytes
// into the process for one glyph.
#pragma once

#include <gtkmm/widget.h>

namespace orlith {

class UpdateGlyph : public Gtk::Widget {
 public:
  explicit UpdateGlyph(int size);

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  int size_;
};

}  // namespace orlith
