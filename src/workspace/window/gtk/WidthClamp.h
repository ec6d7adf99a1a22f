// Holds one child no wider than a maximum, centred in whatever width it is given; the
// toolkit's own clamp needs a library this app does not use.
#pragma once

#include <gtkmm.h>

namespace orlith {

class WidthClamp : public Gtk::Widget {
 public:
  explicit WidthClamp(int maximumWidth);
  ~WidthClamp() override;

  void setChild(Gtk::Widget& child);
  int maximumWidth() const { return maximumWidth_; }

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  int maximumWidth_;
  Gtk::Widget* child_ = nullptr;
};

}  // namespace orlith
