// What a tab chip and the new-tab button show for each combination of their inputs.
#include <gtest/gtest.h>

#include "workspace/window/WorkspaceTabChipPresentation.h"

namespace orlith {
namespace {

const SrgbColour kClear = SrgbColour::clear();
const SrgbColour kLightSelectedFill{252 / 255.0, 251 / 255.0, 248 / 255.0, 1};

TEST(WorkspaceTabChipPresentationTest, LookForEveryStateOfDarkSelectedHoveredAndActive) {
  struct Case {
    bool dark, selected, pointerInside, active;
    SrgbColour tint, fill, outline;
  };
  const Case cases[] = {
      // Light: hover shows only with the pointer inside an active window, and never on the
      // selected chip, whose fill and outline win.
      {false, false, false, false, SrgbColour::grey(0.36), kClear, kClear},
      {false, false, false, true, SrgbColour::grey(0.36), kClear, kClear},
      {false, false, true, false, SrgbColour::grey(0.36), kClear, kClear},
      {false, false, true, true, SrgbColour::grey(0.36), SrgbColour::grey(0, 0.045), kClear},
      {false, true, false, false, SrgbColour::grey(0.09), kLightSelectedFill,
       SrgbColour::grey(0, 0.28)},
      {false, true, false, true, SrgbColour::grey(0.09), kLightSelectedFill,
       SrgbColour::grey(0, 0.28)},
      {false, true, true, false, SrgbColour::grey(0.09), kLightSelectedFill,
       SrgbColour::grey(0, 0.28)},
      {false, true, true, true, SrgbColour::grey(0.09), kLightSelectedFill,
       SrgbColour::grey(0, 0.28)},
      // Dark.
      {true, false, false, false, SrgbColour::grey(0.72), kClear, kClear},
      {true, false, false, true, SrgbColour::grey(0.72), kClear, kClear},
      {true, false, true, false, SrgbColour::grey(0.72), kClear, kClear},
      {true, false, true, true, SrgbColour::grey(0.72), SrgbColour::grey(1, 0.06), kClear},
      {true, true, false, false, SrgbColour::grey(0.95), SrgbColour::grey(0.17),
       SrgbColour::grey(1, 0.28)},
      {true, true, false, true, SrgbColour::grey(0.95), SrgbColour::grey(0.17),
       SrgbColour::grey(1, 0.28)},
      {true, true, true, false, SrgbColour::grey(0.95), SrgbColour::grey(0.17),
       SrgbColour::grey(1, 0.28)},
      {true, true, true, true, SrgbColour::grey(0.95), SrgbColour::grey(0.17),
       SrgbColour::grey(1, 0.28)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "dark " << c.dark << " selected " << c.selected
                                      << " inside " << c.pointerInside << " active " << c.active);
    WorkspaceTabChipInput input;
    input.title = "Roadmap";
    input.isDark = c.dark;
    input.selected = c.selected;
    input.pointerInside = c.pointerInside;
    input.windowActive = c.active;
    const auto chip = presentWorkspaceTabChip(input, "Close tab");
    EXPECT_EQ(chip.tint, c.tint);
    EXPECT_EQ(chip.fill, c.fill);
    EXPECT_EQ(chip.outline, c.outline);
    EXPECT_EQ(chip.checked, c.selected);
    EXPECT_EQ(chip.displayTitle, "Roadmap");
    EXPECT_EQ(chip.closeAccessibleLabel, "Close tab: Roadmap");
    EXPECT_EQ(chip.closeTooltip, "Close tab");
    EXPECT_TRUE(chip.closeVisible);
  }
}

TEST(WorkspaceTabChipPresentationTest, TitleAndCloseFramesKeepTheirPlaceAtAnyWidth) {
  struct Case {
    double width;
    bool canClose;
    ChipFrame title, close;
  };
  const Case cases[] = {
      {160, true, {12, 1, 111, 24}, {129, 1, 24, 24}},
      // A hidden close button leaves the title where it was.
      {160, false, {12, 1, 111, 24}, {129, 1, 24, 24}},
      {49, true, {12, 1, 0, 24}, {18, 1, 24, 24}},
      {40, true, {12, 1, 0, 24}, {9, 1, 24, 24}},
      {80, true, {12, 1, 31, 24}, {49, 1, 24, 24}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "W " << c.width << " close " << c.canClose);
    WorkspaceTabChipInput input;
    input.width = c.width;
    input.canClose = c.canClose;
    const auto chip = presentWorkspaceTabChip(input, "Close tab");
    EXPECT_EQ(chip.titleFrame, c.title);
    EXPECT_EQ(chip.closeFrame, c.close);
    EXPECT_EQ(chip.closeVisible, c.canClose);
  }
}

TEST(WorkspaceTabChipPresentationTest, EmptyTitleShowsTheProductNameEverywhere) {
  WorkspaceTabChipInput input;
  const auto chip = presentWorkspaceTabChip(input, "Onglet fermé");
  EXPECT_EQ(chip.displayTitle, "Orlith");
  EXPECT_EQ(chip.closeAccessibleLabel, "Onglet fermé: Orlith");
  EXPECT_EQ(chip.closeTooltip, "Onglet fermé");
}

TEST(WorkspaceTabChipPresentationTest, NewTabButtonByAppearanceStateAndHover) {
  struct Case {
    bool dark, disabled, hovered;
    SrgbColour glyph, background;
    std::string tooltip;
  };
  const Case cases[] = {
      {false, false, false, SrgbColour::grey(0.4), kClear, "New tab"},
      {false, false, true, SrgbColour::grey(0.4), SrgbColour::grey(0, 0.045), "New tab"},
      {false, true, false, SrgbColour::grey(0.72), kClear, "Maximum 20 tabs"},
      {false, true, true, SrgbColour::grey(0.72), kClear, "Maximum 20 tabs"},
      {true, false, false, SrgbColour::grey(0.64), kClear, "New tab"},
      {true, false, true, SrgbColour::grey(0.64), SrgbColour::grey(1, 0.06), "New tab"},
      {true, true, false, SrgbColour::grey(0.34), kClear, "Maximum 20 tabs"},
      {true, true, true, SrgbColour::grey(0.34), kClear, "Maximum 20 tabs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "dark " << c.dark << " disabled " << c.disabled << " hovered " << c.hovered);
    const auto button = presentWorkspaceNewTabButton(c.dark, c.disabled, c.hovered, "New tab");
    EXPECT_EQ(button.glyph, c.glyph);
    EXPECT_EQ(button.background, c.background);
    EXPECT_EQ(button.tooltip, c.tooltip);
    EXPECT_EQ(button.accessibleLabel, "New tab");
    EXPECT_EQ(button.sensitive, !c.disabled);
  }
}

}  // namespace
}  // namespace orlith
