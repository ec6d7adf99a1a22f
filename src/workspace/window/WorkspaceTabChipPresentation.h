// What a tab chip and the new-tab button show, from plain inputs: texts, tint, fill, outline,
// close visibility and the buttons' frames. The widgets only draw this.
#pragma once

#include <string>
#include <string_view>

#include "workspace/surface/SrgbColour.h"

namespace orlith {

inline constexpr double kWorkspaceTabChipHeight = 26;
inline constexpr double kWorkspaceTabChipButtonHeight = 24;
// The fixed tab limit the new-tab button names when it is disabled.
inline constexpr int kWorkspaceNewTabButtonTabLimit = 20;

struct ChipFrame {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  friend bool operator==(const ChipFrame&, const ChipFrame&) = default;
};

struct WorkspaceTabChipInput {
  std::string title;
  bool selected = false;
  bool canClose = true;
  bool isDark = false;
  // The pointer is inside the chip, and the chip's window is the active one: hover shows only
  // when both hold.
  bool pointerInside = false;
  bool windowActive = false;
  double width = 160;
  double height = kWorkspaceTabChipHeight;
};

struct WorkspaceTabChipPresentation {
  // The title shown, its tooltip and its accessible label.
  std::string displayTitle;
  // The title button is a radio: checked when the tab is selected.
  bool checked = false;
  std::string closeAccessibleLabel;
  std::string closeTooltip;
  bool closeVisible = true;
  // Title text and close symbol.
  SrgbColour tint;
  SrgbColour fill;
  SrgbColour outline;
  ChipFrame titleFrame;
  ChipFrame closeFrame;
};

// `closeTabText` is the localized "Close tab".
WorkspaceTabChipPresentation presentWorkspaceTabChip(const WorkspaceTabChipInput& input,
                                                     std::string_view closeTabText);

struct WorkspaceNewTabButtonPresentation {
  SrgbColour glyph;
  SrgbColour background;
  std::string tooltip;
  std::string accessibleLabel;
  bool sensitive = true;
};

// `newTabText` is the localized "New tab"; the disabled tooltip is not localized.
WorkspaceNewTabButtonPresentation presentWorkspaceNewTabButton(bool isDark, bool disabled,
                                                               bool hovered,
                                                               std::string_view newTabText);

}  // namespace orlith
