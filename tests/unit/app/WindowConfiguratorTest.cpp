// The main window's opening size against the screen.
#include <gmock/gmock.h>

#include "app/WindowConfigurator.h"

namespace orlith {
namespace {

TEST(WindowConfigurator, KeepsTheMinimumAndStaysOnTheScreen) {
  struct Case {
    int width, height, availableWidth, availableHeight, expectedWidth, expectedHeight;
  } cases[] = {
      {1180, 780, 1920, 1080, 1180, 780},  // fits
      {1180, 780, 1024, 700, 1024, 700},   // larger than the screen
      {500, 300, 1920, 1080, 720, 480},    // below the minimum
      {1180, 780, 640, 400, 640, 400},     // a screen smaller than the minimum wins
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        WindowConfigurator::clampedSize(c.width, c.height, c.availableWidth, c.availableHeight),
        std::make_pair(c.expectedWidth, c.expectedHeight));
  }
}

}  // namespace
}  // namespace orlith
