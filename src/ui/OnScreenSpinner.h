// The app's spinner: a ring with a turning arc, drawn in the widget's CSS colour at the size of
// its allocation. It draws itself so that no image loader is needed to show it, and it turns
// only while it is on screen: one left turning on a stack page that is not shown, or in a hidden
// window, would keep its window from ever resting.
#pragma once

#include <gtkmm/widget.h>

namespace orlith {

class OnScreenSpinner : public Gtk::Widget {
 public:
  OnScreenSpinner();
  ~OnScreenSpinner() override;

  // Whether it turns whenever it is on screen. With animations off it stands still.
  void setTurning(bool turning);
  bool isTurning() const { return turning_; }
  // Whether frames are being drawn for it now.
  bool isAnimating() const { return tickId_ != 0; }

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;
  void on_map() override;
  void on_unmap() override;

 private:
  void updateTicking();

  bool turning_ = false;
  guint tickId_ = 0;
  double turn_ = 0;  // fraction of a revolution
};

}  // namespace orlith
