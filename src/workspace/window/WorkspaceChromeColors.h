// The chrome's colours: sRGB greys with an opacity, chosen by the window's dark flag rather
// than by the system appearance.
#pragma once

#include <string>

namespace orlith {

struct ChromeGrey {
  // Grey level 0…1 (red = green = blue) and opacity 0…1.
  double white = 0;
  double alpha = 1;

  // 0…255 channel value, rounded.
  int channel() const;
  // A CSS colour, "rgba(242,242,242,1)".
  std::string css() const;
  friend bool operator==(const ChromeGrey&, const ChromeGrey&) = default;
};

enum class ChromeAppearance { light, dark };
enum class WindowActivity { active, inactive };

namespace WorkspaceChromeColors {

ChromeGrey barBackground(ChromeAppearance appearance, WindowActivity activity);
// The separators between the bar's groups.
ChromeGrey separator(ChromeAppearance appearance);
// The 1 px line under the bar.
ChromeGrey shadow(ChromeAppearance appearance);
// The symbol of a tool button.
ChromeGrey toolSymbol(ChromeAppearance appearance, bool enabled);
// Behind an enabled tool button under the pointer.
ChromeGrey toolHoverFill(ChromeAppearance appearance);
ChromeGrey accountSymbol(ChromeAppearance appearance);
ChromeGrey spinner(ChromeAppearance appearance);

}  // namespace WorkspaceChromeColors

}  // namespace orlith
