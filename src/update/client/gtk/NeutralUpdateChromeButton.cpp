// The neutral update button.
#include "update/client/gtk/NeutralUpdateChromeButton.h"

namespace orlith {

void styleAsNeutralUpdateChromeButton(Gtk::Widget& widget) {
  widget.add_css_class(kNeutralUpdateChromeButtonClass);
}

NeutralUpdateChromeButton::NeutralUpdateChromeButton() {
  set_has_frame(false);
  styleAsNeutralUpdateChromeButton(*this);
}

}  // namespace orlith
