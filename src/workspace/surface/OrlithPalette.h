// The app's twelve appearance-dependent colours, each with a light and a dark sRGB value, and
// the same-valued names the sign-in views use. The UI kit turns them into named CSS colours
// ("@orlith_canvas") that follow the app's resolved appearance.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "workspace/surface/SrgbColour.h"

namespace orlith {

struct PaletteColour {
  std::string_view name;
  SrgbColour light;
  SrgbColour dark;

  constexpr const SrgbColour& resolved(bool isDark) const { return isDark ? dark : light; }
  // The CSS colour name this colour is defined under, without the '@'.
  std::string cssName() const { return "orlith_" + std::string(name); }
};

struct PaletteAlias {
  std::string_view name;
  const PaletteColour& colour;

  std::string cssName() const { return "orlith_" + std::string(name); }
};

struct OrlithPalette {
  static constexpr PaletteColour canvas{
      "canvas", {252 / 255.0, 251 / 255.0, 248 / 255.0}, SrgbColour::grey(18 / 255.0)};
  static constexpr PaletteColour ink{"ink", SrgbColour::grey(0.086), SrgbColour::grey(0.954)};
  static constexpr PaletteColour inkSecondary{"inkSecondary", SrgbColour::grey(0.265),
                                              SrgbColour::grey(0.8)};
  static constexpr PaletteColour inkMuted{"inkMuted", SrgbColour::grey(0.404),
                                          SrgbColour::grey(0.645)};
  static constexpr PaletteColour hairline{"hairline", SrgbColour::grey(0.824),
                                          SrgbColour::grey(0.184)};
  static constexpr PaletteColour hairlineStrong{"hairlineStrong", SrgbColour::grey(0.67),
                                                SrgbColour::grey(0.245)};
  static constexpr PaletteColour accent{"accent", {0.957, 0.479, 0.205}, {1.0, 0.546, 0.269}};
  static constexpr PaletteColour accentText{"accentText", {0.65, 0.235, 0.07}, {1.0, 0.546, 0.269}};
  static constexpr PaletteColour success{"success", {0.16, 0.63, 0.38}, {0.385, 0.82, 0.56}};
  static constexpr PaletteColour danger{"danger", {0.82, 0.21, 0.185}, {1.0, 0.455, 0.42}};
  static constexpr PaletteColour fill{"fill", SrgbColour::grey(0.09), SrgbColour::grey(0.954)};
  static constexpr PaletteColour onFill{"onFill", SrgbColour::grey(1.0), SrgbColour::grey(0.07)};

  // The sign-in views' names for four of the colours above.
  static constexpr const PaletteColour& inkHover = inkSecondary;
  static constexpr const PaletteColour& controlBorder = hairlineStrong;
  static constexpr const PaletteColour& primaryFill = fill;
  static constexpr const PaletteColour& onPrimaryFill = onFill;

  static constexpr std::array<const PaletteColour*, 12> colours{
      &canvas, &ink,        &inkSecondary, &inkMuted, &hairline, &hairlineStrong,
      &accent, &accentText, &success,      &danger,   &fill,     &onFill};
  static constexpr std::array<PaletteAlias, 4> aliases{{{"inkHover", inkSecondary},
                                                        {"controlBorder", hairlineStrong},
                                                        {"primaryFill", fill},
                                                        {"onPrimaryFill", onFill}}};
};

}  // namespace orlith
