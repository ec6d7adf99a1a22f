// The toolkit's form of a palette colour.
#pragma once

#include <gdk/gdk.h>

#include "workspace/surface/SrgbColour.h"

namespace orlith {

inline GdkRGBA gdkColour(const SrgbColour& colour) {
  return GdkRGBA{static_cast<float>(colour.red), static_cast<float>(colour.green),
                 static_cast<float>(colour.blue), static_cast<float>(colour.alpha)};
}

}  // namespace orlith
