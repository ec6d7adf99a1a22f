// A colour as the views draw it: sRGB components and an alpha, each from 0 to 1.
#pragma once

namespace orlith {

struct SrgbColour {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  // A grey level g: red = green = blue = g.
  static constexpr SrgbColour grey(double level, double alpha = 1) {
    return {level, level, level, alpha};
  }
  static constexpr SrgbColour clear() { return {0, 0, 0, 0}; }

  friend constexpr bool operator==(const SrgbColour&, const SrgbColour&) = default;
};

}  // namespace orlith
