// The palette's CSS text.
#include "ui/PaletteStyleSheet.h"

#include <algorithm>
#include <cstdio>

namespace orlith {
namespace {

// Channels in 0–255 with three decimals: the 8-bit value a renderer ends up with is then the
// same as from the exact component.
std::string channel(double component) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", std::clamp(component, 0.0, 1.0) * 255.0);
  return text;
}

}  // namespace

std::string cssColour(const SrgbColour& colour) {
  std::string rgb = channel(colour.red) + "," + channel(colour.green) + "," + channel(colour.blue);
  if (colour.alpha >= 1)
    return "rgb(" + rgb + ")";
  char alpha[32];
  std::snprintf(alpha, sizeof alpha, "%.4f", std::clamp(colour.alpha, 0.0, 1.0));
  return "rgba(" + rgb + "," + alpha + ")";
}

std::string paletteStyleSheet(bool isDark) {
  std::string text;
  for (const PaletteColour* colour : OrlithPalette::colours)
    text +=
        "@define-color " + colour->cssName() + " " + cssColour(colour->resolved(isDark)) + ";\n";
  for (const PaletteAlias& alias : OrlithPalette::aliases)
    text += "@define-color " + alias.cssName() + " @" + alias.colour.cssName() + ";\n";
  return text;
}

}  // namespace orlith
