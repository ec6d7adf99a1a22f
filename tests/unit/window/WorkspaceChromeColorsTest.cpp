// The chrome's colours and their CSS form, and the animation curve.
#include "workspace/window/WorkspaceChromeColors.h"

#include <gtest/gtest.h>

#include "workspace/window/ChromeAnimation.h"

namespace orlith {
namespace {

using enum ChromeAppearance;
using enum WindowActivity;
namespace colors = WorkspaceChromeColors;

TEST(WorkspaceChromeColors, BarBackgroundByAppearanceAndActivity) {
  EXPECT_EQ(colors::barBackground(light, active).channel(), 242);
  EXPECT_EQ(colors::barBackground(light, inactive).channel(), 246);
  EXPECT_EQ(colors::barBackground(dark, active).channel(), 30);
  EXPECT_EQ(colors::barBackground(dark, inactive).channel(), 36);
  EXPECT_EQ(colors::barBackground(light, active).css(), "rgba(242,242,242,1)");
}

struct ToolCase {
  ChromeAppearance appearance;
  bool enabled;
  double white;
};

TEST(WorkspaceChromeColors, ToolSymbolGreys) {
  for (const ToolCase& c : {ToolCase{dark, false, 0.34}, ToolCase{light, false, 0.72},
                            ToolCase{dark, true, 0.82}, ToolCase{light, true, 0.24}}) {
    EXPECT_EQ(colors::toolSymbol(c.appearance, c.enabled), (ChromeGrey{c.white, 1}));
  }
}

TEST(WorkspaceChromeColors, TranslucentLinesAndFills) {
  EXPECT_EQ(colors::separator(dark).css(), "rgba(255,255,255,0.1)");
  EXPECT_EQ(colors::separator(light).css(), "rgba(0,0,0,0.08)");
  EXPECT_EQ(colors::shadow(dark).css(), "rgba(255,255,255,0.08)");
  EXPECT_EQ(colors::shadow(light).css(), "rgba(0,0,0,0.06)");
  EXPECT_EQ(colors::toolHoverFill(dark).css(), "rgba(255,255,255,0.1)");
  EXPECT_EQ(colors::toolHoverFill(light).css(), "rgba(0,0,0,0.06)");
  EXPECT_EQ(colors::accountSymbol(dark).channel(), 209);
  EXPECT_EQ(colors::spinner(light).channel(), 61);
}

TEST(ChromeAnimation, EasesInAndOutAndLandsOnTheTarget) {
  EXPECT_DOUBLE_EQ(easeInOut(0), 0);
  EXPECT_DOUBLE_EQ(easeInOut(1), 1);
  EXPECT_NEAR(easeInOut(0.5), 0.5, 1e-6);
  EXPECT_LT(easeInOut(0.1), 0.1);  // slow start
  EXPECT_GT(easeInOut(0.9), 0.9);  // slow end

  const ChromeAnimation padding(78, 12, 1000, kFullScreenAnimationMicros);
  EXPECT_DOUBLE_EQ(padding.valueAt(1000), 78);
  EXPECT_NEAR(padding.valueAt(1000 + kFullScreenAnimationMicros / 2), 45, 1e-4);
  EXPECT_FALSE(padding.isFinishedAt(1000 + kFullScreenAnimationMicros - 1));
  EXPECT_DOUBLE_EQ(padding.valueAt(1000 + kFullScreenAnimationMicros), 12);

  const ChromeAnimation instant(78, 12, 1000, 0);
  EXPECT_TRUE(instant.isFinishedAt(1000));
  EXPECT_DOUBLE_EQ(instant.valueAt(1000), 12);
}

}  // namespace
}  // namespace orlith
