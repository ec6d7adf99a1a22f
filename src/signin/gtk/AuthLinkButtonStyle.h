// A text button drawn as a link in one palette colour: underlined on hover, faded while pressed
// or disabled. It keeps the font of its surroundings.
#pragma once

#include <gtkmm/button.h>

#include "workspace/surface/OrlithPalette.h"

namespace orlith {

class AuthLinkButtonStyle {
 public:
  explicit AuthLinkButtonStyle(const PaletteColour& colour) : colour_(colour) {}

  void apply(Gtk::Button& button) const;

 private:
  const PaletteColour& colour_;
};

}  // namespace orlith
