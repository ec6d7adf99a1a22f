// The palette's colours as GTK CSS: the named colours every sheet of the app draws with.
#pragma once

#include <string>

#include "workspace/surface/OrlithPalette.h"

namespace orlith {

// Every colour and alias as a CSS colour definition ("@define-color orlith_ink rgb(…);") with
// the values of one appearance.
std::string paletteStyleSheet(bool isDark);

// "rgb(…)" or "rgba(…)" text of a colour, as GTK's CSS reads it.
std::string cssColour(const SrgbColour& colour);

}  // namespace orlith
