// The borderless button of the update indicator and the panel's buttons: no focus ring, a soft
// rounded highlight only while keyboard focus is shown in an active window (the style sheet).
#pragma once

#include <gtkmm.h>

namespace orlith {

inline constexpr const char* kNeutralUpdateChromeButtonClass = "orlith-update-chrome-button";

class NeutralUpdateChromeButton : public Gtk::Button {
 public:
  NeutralUpdateChromeButton();
};

// The same look on any widget (the indicator is a menu button).
void styleAsNeutralUpdateChromeButton(Gtk::Widget& widget);

}  // namespace orlith
