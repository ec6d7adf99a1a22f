#include "app/WindowConfigurator.h"

#include <algorithm>

namespace orlith {

std::pair<int, int> WindowConfigurator::clampedSize(int width, int height, int availableWidth,
                                                    int availableHeight) {
  return {std::min(std::max(width, kMinimumWidth), availableWidth),
          std::min(std::max(height, kMinimumHeight), availableHeight)};
}

}  // namespace orlith
