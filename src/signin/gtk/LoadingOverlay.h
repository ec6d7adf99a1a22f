// The veil a view lays over its content while something loads: the canvas colour at 0.86 with
// a large spinner, faded in and out. Put it in a Gtk::Overlay above the content.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/revealer.h>

#include "ui/OnScreenSpinner.h"

namespace orlith {

class LoadingOverlay : public Gtk::Revealer {
 public:
  explicit LoadingOverlay(bool isLoading = false);

  void setLoading(bool isLoading);
  bool isLoading() const { return isLoading_; }

  OnScreenSpinner& spinner() { return spinner_; }

 private:
  Gtk::Box veil_;
  OnScreenSpinner spinner_;
  bool isLoading_ = false;
};

}  // namespace orlith
