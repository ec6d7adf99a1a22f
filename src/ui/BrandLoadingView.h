// The full-window waiting screen: the brand mark over a small spinner on the canvas colour.
#pragma once

#include <gtkmm/box.h>
#include "ui/OnScreenSpinner.h"
#include "ui/OrlithMark.h"

namespace orlith {

class BrandLoadingView : public Gtk::Box {
 public:
  BrandLoadingView();

  OrlithMark& mark() { return mark_; }
  OnScreenSpinner& spinner() { return spinner_; }

 private:
  Gtk::Box stack_;
  OrlithMark mark_;
  OnScreenSpinner spinner_;
};

}  // namespace orlith
