// What a tab shows until its page is ready, and the window until its tabs are prepared: the
// brand mark over a small spinner on the canvas.
#pragma once

#include <gtkmm.h>

#include "ui/OnScreenSpinner.h"
#include "ui/OrlithMark.h"

namespace orlith {

class WorkspaceStartupCover : public Gtk::Box {
 public:
  static constexpr int kMarkSize = 42;
  static constexpr int kSpacing = 14;

  WorkspaceStartupCover();

  OrlithMark& mark() { return mark_; }
  OnScreenSpinner& spinner() { return spinner_; }

 private:
  Gtk::Box column_;
  OrlithMark mark_;
  OnScreenSpinner spinner_;
};

}  // namespace orlith
