// A one-line label that shrinks its text, down to a minimum scale, before it truncates it.
#pragma once

#include <gtkmm/label.h>
#include <gtkmm/widget.h>

namespace orlith {

class ShrinkingLabel : public Gtk::Widget {
 public:
  ShrinkingLabel(const Glib::ustring& text, double minimumScale);
  ~ShrinkingLabel() override;

  Gtk::Label& label() { return label_; }
  // The scale of the last allocation (1 when the text fits).
  double scale() const { return scale_; }

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  Gtk::Label label_;
  double minimumScale_;
  double scale_ = 1;
};

}  // namespace orlith
