// The tab strip's chip width, its switch to a scrolling row, whole-pixel frames and the
// scrolling offsets.
#include "workspace/window/WorkspaceTabStripGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orlith {
namespace {

struct WidthCase {
  const char* name;
  double width;
  std::size_t tabs;
  double chipWidth;
  bool overflows;
};

class ChipWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(ChipWidthTest, LimitsTheSharedWidthAndOverflowsBelowTheNarrowest) {
  const auto geometry = WorkspaceTabStripGeometry::measure(GetParam().width, GetParam().tabs);
  EXPECT_NEAR(geometry.chipWidth(), GetParam().chipWidth, 0.005);
  EXPECT_EQ(geometry.overflows(), GetParam().overflows);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, ChipWidthTest,
    ::testing::Values(WidthCase{"oneTabCapped", 800, 1, 160, false},
                      WidthCase{"fiveTabsShare", 800, 5, 150.4, false},
                      WidthCase{"nineTabsShare", 800, 9, 81.78, false},
                      WidthCase{"tenTabsOverflow", 800, 10, 80, true},
                      WidthCase{"noTabsCountAsOne", 800, 0, 160, false},
                      WidthCase{"rawExactlyNarrowestFits", 868, 10, 80, false},
                      WidthCase{"rawJustUnderNarrowestOverflows", 867.9, 10, 80, true},
                      WidthCase{"veryWideWindowCaps", 10000, 20, 160, false},
                      WidthCase{"chromeAt1180TenTabs", 896, 10, 82.8, false},
                      WidthCase{"zeroWidth", 0, 3, 80, true},
                      WidthCase{"notFiniteWidth", std::numeric_limits<double>::quiet_NaN(), 3, 80,
                                true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkspaceTabStripGeometry, RawWidthOfTenTabsAt800) {
  EXPECT_NEAR(WorkspaceTabStripGeometry::measure(800, 10).rawWidth(), 73.2, 1e-9);
  EXPECT_NEAR(WorkspaceTabStripGeometry::measure(800, 1).rawWidth(), 768, 1e-9);
}

TEST(WorkspaceTabStripGeometry, LimitIsReachedAtTwentyTabs) {
  EXPECT_FALSE(WorkspaceTabStripGeometry::measure(896, 19).atLimit());
  EXPECT_TRUE(WorkspaceTabStripGeometry::measure(896, 20).atLimit());
}

TEST(WorkspaceTabStripGeometry, OneTabAndTheNewTabButtonAfterThePadding) {
  const auto geometry = WorkspaceTabStripGeometry::measure(896, 1);
  EXPECT_EQ(geometry.chipFrames(), (std::vector<PixelSpan>{{4, 160}}));
  EXPECT_EQ(geometry.plusFrame(), (PixelSpan{168, 28}));
}

TEST(WorkspaceTabStripGeometry, FractionalWidthsRoundWithoutDrift) {
  for (double width : {800.0, 896.0, 1001.3, 777.7}) {
    for (std::size_t tabs = 1; tabs <= 20; ++tabs) {
      const auto geometry = WorkspaceTabStripGeometry::measure(width, tabs);
      const auto frames = geometry.chipFrames();
      ASSERT_EQ(frames.size(), tabs);
      // The chips and gaps tile the row exactly: widths plus gaps reach the rounded end.
      int covered = 0;
      for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_LE(std::abs(frames[i].width - geometry.chipWidth()), 1.0);
        covered += frames[i].width;
        if (i + 1 < frames.size()) {
          EXPECT_GE(frames[i + 1].x - frames[i].end(), 3);
          EXPECT_LE(frames[i + 1].x - frames[i].end(), 5);
          covered += frames[i + 1].x - frames[i].end();
        }
      }
      const double origin = geometry.overflows() ? 0 : geometry.metrics().padding;
      const double exactEnd = origin + static_cast<double>(tabs) * (geometry.chipWidth() + 4) - 4;
      EXPECT_EQ(frames.front().x + covered, static_cast<int>(std::lround(exactEnd)))
          << width << " " << tabs;
      EXPECT_EQ(geometry.plusFrame().width, 28);
    }
  }
}

TEST(WorkspaceTabStripGeometry, ScrollingRowLeavesRoomForTheNewTabButton) {
  const auto geometry = WorkspaceTabStripGeometry::measure(896, 11);
  ASSERT_TRUE(geometry.overflows());
  EXPECT_EQ(geometry.viewportFrame(), (PixelSpan{4, 856}));
  EXPECT_EQ(geometry.plusFrame(), (PixelSpan{864, 28}));
  EXPECT_EQ(geometry.chipFrames()[1], (PixelSpan{84, 80}));
  EXPECT_DOUBLE_EQ(geometry.contentWidth(), 11 * 84 - 4);
}

struct CentreCase {
  const char* name;
  std::size_t tabs;
  std::size_t index;
  double offset;
};

class CentredOffsetTest : public ::testing::TestWithParam<CentreCase> {};

TEST_P(CentredOffsetTest, CentresTheChipAsFarAsTheEndsAllow) {
  const auto geometry = WorkspaceTabStripGeometry::measure(896, GetParam().tabs);
  EXPECT_DOUBLE_EQ(geometry.centredOffset(GetParam().index), GetParam().offset);
}

// Viewport 856; content 11 chips: 920, so at most 64.
INSTANTIATE_TEST_SUITE_P(Offsets, CentredOffsetTest,
                         ::testing::Values(CentreCase{"firstStaysAtStart", 11, 0, 0},
                                           CentreCase{"lastStopsAtEnd", 11, 10, 64},
                                           CentreCase{"middleOfTwenty", 20, 10, 452},
                                           CentreCase{"missingIndex", 20, 25, 0},
                                           CentreCase{"fittingRowNeverScrolls", 5, 4, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkspaceTabStripGeometry, ScrollingMovesByChipsOrPixelsWithinTheEnds) {
  const auto geometry = WorkspaceTabStripGeometry::measure(896, 20);
  const double max = geometry.maximumOffset();
  EXPECT_DOUBLE_EQ(max, 20 * 84 - 4 - 856);
  EXPECT_DOUBLE_EQ(geometry.scrolledOffset(0, 1, ScrollDeltaUnit::wheelSteps), 84);
  EXPECT_DOUBLE_EQ(geometry.scrolledOffset(10, 7.5, ScrollDeltaUnit::pixels), 17.5);
  EXPECT_DOUBLE_EQ(geometry.scrolledOffset(10, -3, ScrollDeltaUnit::wheelSteps), 0);
  EXPECT_DOUBLE_EQ(geometry.scrolledOffset(max, 2, ScrollDeltaUnit::wheelSteps), max);
  EXPECT_DOUBLE_EQ(geometry.clampOffset(std::numeric_limits<double>::infinity()), 0);
}

}  // namespace
}  // namespace orlith
