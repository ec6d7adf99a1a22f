// The brand mark: the app's artwork, fitted into a square of a given size and kept out of the
// accessibility tree (it only decorates).
#pragma once

#include <gtkmm/picture.h>
#include <gtkmm/widget.h>

namespace orlith {

class OrlithMark : public Gtk::Widget {
 public:
  explicit OrlithMark(int size);
  ~OrlithMark() override;

  int size() const { return size_; }
  Gtk::Picture& picture() { return picture_; }

  // The artwork's resource path; the resource is compiled into the program, so it is there
  // also outside the bundle.
  static const char* artworkResourcePath();

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  int size_;
  Gtk::Picture picture_;
};

}  // namespace orlith
