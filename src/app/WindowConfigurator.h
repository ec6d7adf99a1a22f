// The main window's size rule: at least 720 × 480, and no larger than the screen's visible area
// (which wins when it is smaller). Only the size is clamped; where a window goes is the window
// manager's business here.
#pragma once

#include <utility>

namespace orlith {

class WindowConfigurator {
 public:
  static constexpr int kMinimumWidth = 720;
  static constexpr int kMinimumHeight = 480;

  static std::pair<int, int> clampedSize(int width, int height, int availableWidth,
                                         int availableHeight);
};

}  // namespace orlith
