// The chrome's colour table.
#include "workspace/window/WorkspaceChromeColors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orlith {

int ChromeGrey::channel() const {
  return static_cast<int>(std::lround(std::clamp(white, 0.0, 1.0) * 255.0));
}

std::string ChromeGrey::css() const {
  char text[64];
  const int c = channel();
  std::snprintf(text, sizeof text, "rgba(%d,%d,%d,%.3g)", c, c, c, std::clamp(alpha, 0.0, 1.0));
  return text;
}

namespace WorkspaceChromeColors {

namespace {

bool isDark(ChromeAppearance appearance) {
  return appearance == ChromeAppearance::dark;
}

}  // namespace

ChromeGrey barBackground(ChromeAppearance appearance, WindowActivity activity) {
  const bool active = activity == WindowActivity::active;
  if (isDark(appearance))
    return {(active ? 30.0 : 36.0) / 255.0, 1};
  return {(active ? 242.0 : 246.0) / 255.0, 1};
}

ChromeGrey separator(ChromeAppearance appearance) {
  return isDark(appearance) ? ChromeGrey{1, 0.1} : ChromeGrey{0, 0.08};
}

ChromeGrey shadow(ChromeAppearance appearance) {
  return isDark(appearance) ? ChromeGrey{1, 0.08} : ChromeGrey{0, 0.06};
}

ChromeGrey toolSymbol(ChromeAppearance appearance, bool enabled) {
  if (isDark(appearance))
    return {enabled ? 0.82 : 0.34, 1};
  return {enabled ? 0.24 : 0.72, 1};
}

ChromeGrey toolHoverFill(ChromeAppearance appearance) {
  return isDark(appearance) ? ChromeGrey{1, 0.1} : ChromeGrey{0, 0.06};
}

ChromeGrey accountSymbol(ChromeAppearance appearance) {
  return {isDark(appearance) ? 0.82 : 0.24, 1};
}

ChromeGrey spinner(ChromeAppearance appearance) {
  return accountSymbol(appearance);
}

}  // namespace WorkspaceChromeColors

}  // namespace orlith
