// The shrink-to-fit rule of one-line texts.
#include "signin/TextFitting.h"

#include <algorithm>
#include <cmath>

namespace orlith {

double fittingScale(double naturalWidth, double availableWidth, double minimumScale) {
  if (!(naturalWidth > 0) || !std::isfinite(naturalWidth) || availableWidth >= naturalWidth)
    return 1.0;
  if (!(availableWidth > 0))
    return minimumScale;
  return std::max(minimumScale, availableWidth / naturalWidth);
}

}  // namespace orlith
