// The button after the chips that opens a new tab: a plus glyph, a faint hover background when
// enabled, and the tab limit in its tooltip when disabled.
#pragma once

#include <gtkmm/button.h>
#include <gtkmm/image.h>

#include "workspace/window/WorkspaceTabChipPresentation.h"

namespace orlith {

class WorkspaceNewTabButton : public Gtk::Button {
 public:
  WorkspaceNewTabButton();

  void update(bool isDark, bool disabled);
  const WorkspaceNewTabButtonPresentation& presentation() const { return presentation_; }

 private:
  Gtk::Image glyph_;
  WorkspaceNewTabButtonPresentation presentation_;
};

}  // namespace orlith
