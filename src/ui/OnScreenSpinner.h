// A spinner that turns only while it is on screen. One left turning on a stack page that is not
// shown, or in a hidden window, still restyles itself every frame and keeps its window from ever
// resting.
#pragma once

#include <gtkmm/spinner.h>

namespace orlith {

class OnScreenSpinner : public Gtk::Spinner {
 public:
  OnScreenSpinner() = default;

  // Whether it turns whenever it is on screen.
  void setTurning(bool turning);
  bool isTurning() const { return turning_; }

 protected:
  void on_map() override;
  void on_unmap() override;

 private:
  bool turning_ = false;
};

}  // namespace orlith
