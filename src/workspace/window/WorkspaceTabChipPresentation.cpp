// The chip's and the new-tab button's looks. Greys are sRGB greys.
#include "workspace/window/WorkspaceTabChipPresentation.h"

#include <algorithm>

namespace orlith {
namespace {

constexpr std::string_view kPlaceholderTitle = "Orlith";
constexpr double kTitleX = 12;
constexpr double kCloseRightInset = 7;
constexpr double kCloseWidth = 24;
constexpr double kTitleToClose = 6;

// A hovered, unselected tab or new-tab button: a faint veil of the opposite ink.
SrgbColour hoverVeil(bool isDark) {
  return isDark ? SrgbColour::grey(1, 0.06) : SrgbColour::grey(0, 0.045);
}

}  // namespace

WorkspaceTabChipPresentation presentWorkspaceTabChip(const WorkspaceTabChipInput& input,
                                                     std::string_view closeTabText) {
  WorkspaceTabChipPresentation out;
  out.displayTitle = input.title.empty() ? std::string(kPlaceholderTitle) : input.title;
  out.checked = input.selected;
  out.closeAccessibleLabel = std::string(closeTabText) + ": " + out.displayTitle;
  out.closeTooltip = std::string(closeTabText);
  out.closeVisible = input.canClose;

  if (input.isDark)
    out.tint = SrgbColour::grey(input.selected ? 0.95 : 0.72);
  else
    out.tint = SrgbColour::grey(input.selected ? 0.09 : 0.36);

  const bool hovering = input.pointerInside && input.windowActive;
  if (input.selected)
    out.fill =
        input.isDark ? SrgbColour::grey(0.17) : SrgbColour{252 / 255.0, 251 / 255.0, 248 / 255.0};
  else if (hovering)
    out.fill = hoverVeil(input.isDark);
  else
    out.fill = SrgbColour::clear();
  out.outline = !input.selected ? SrgbColour::clear()
                : input.isDark  ? SrgbColour::grey(1, 0.28)
                                : SrgbColour::grey(0, 0.28);

  const double buttonY = (input.height - kWorkspaceTabChipButtonHeight) / 2;
  const double closeX = input.width - kCloseRightInset - kCloseWidth;
  out.closeFrame = {closeX, buttonY, kCloseWidth, kWorkspaceTabChipButtonHeight};
  // The title ends before where the close button sits, also when that button is hidden.
  out.titleFrame = {kTitleX, buttonY, std::max(0.0, closeX - kTitleToClose - kTitleX),
                    kWorkspaceTabChipButtonHeight};
  return out;
}

WorkspaceNewTabButtonPresentation presentWorkspaceNewTabButton(bool isDark, bool disabled,
                                                               bool hovered,
                                                               std::string_view newTabText) {
  WorkspaceNewTabButtonPresentation out;
  if (isDark)
    out.glyph = SrgbColour::grey(disabled ? 0.34 : 0.64);
  else
    out.glyph = SrgbColour::grey(disabled ? 0.72 : 0.4);
  out.background = hovered && !disabled ? hoverVeil(isDark) : SrgbColour::clear();
  out.tooltip = disabled ? "Maximum " + std::to_string(kWorkspaceNewTabButtonTabLimit) + " tabs"
                         : std::string(newTabText);
  out.accessibleLabel = std::string(newTabText);
  out.sensitive = !disabled;
  return out;
}

}  // namespace orlith
