// The shrink-to-fit rule of the brand word and the button titles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "signin/TextFitting.h"

namespace orlith {
namespace {

TEST(TextFittingTest, ShrinksOnlyAsFarAsTheMinimum) {
  struct Case {
    double natural, available, minimum, expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {100, 120, 0.78, 1.0},   // fits
      {100, 100, 0.78, 1.0},   // exactly
      {100, 90, 0.78, 0.9},    // shrinks to fit
      {100, 78, 0.78, 0.78},   // at the floor
      {100, 50, 0.78, 0.78},   // floor, then truncation
      {100, 95, 0.9, 0.95},    // button title
      {100, 0, 0.9, 0.9},      // no room at all
      {100, -5, 0.9, 0.9},     // a negative width is no room
      {0, 10, 0.78, 1.0},      // empty text
      {nan, 10, 0.78, 1.0},    // unmeasured text draws at its size
      {100, nan, 0.78, 0.78},  // unknown room is no room
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.natural << " in " << c.available);
    EXPECT_DOUBLE_EQ(fittingScale(c.natural, c.available, c.minimum), c.expected);
  }
}

}  // namespace
}  // namespace orlith
