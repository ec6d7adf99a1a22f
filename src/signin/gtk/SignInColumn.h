// The sign-in view's single column inside its scrolled window: the child at most 380 wide and
// centred, padded 30 at the sides and 28 above and below, lifted by H × 0.3 − 100 of extra
// bottom space (never less than none), and at least as tall as the visible height H, so a short
// column sits centred and a tall one scrolls. GTK 4.8 has no max-width box.
#pragma once

#include <gtkmm.h>

namespace orlith {

class SignInColumn : public Gtk::Widget {
 public:
  static constexpr int kMaximumWidth = 380;
  static constexpr int kSidePadding = 30;
  static constexpr int kVerticalPadding = 28;

  // `child` stays owned by the caller and must outlive the column.
  explicit SignInColumn(Gtk::Widget& child);
  ~SignInColumn() override;

  // The extra bottom space for a visible height.
  static int extraBottomPadding(int visibleHeight);
  // The visible height the column is given: its scrolled window's, else its own.
  int visibleHeight() const;

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;
  void on_realize() override;

 private:
  int childWidthFor(int width) const;

  Gtk::Widget& child_;
  sigc::connection pageSize_;
  sigc::connection relayout_;
  // The visible height the last measure used.
  mutable int measuredVisibleHeight_ = -1;
};

}  // namespace orlith
