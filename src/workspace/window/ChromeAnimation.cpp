// Ease-in-out interpolation.
#include "workspace/window/ChromeAnimation.h"

#include <algorithm>
#include <cmath>

namespace orlith {

namespace {

// One coordinate of the curve with control points 0, p1, p2, 1.
double bezier(double s, double p1, double p2) {
  const double u = 1 - s;
  return 3 * u * u * s * p1 + 3 * u * s * s * p2 + s * s * s;
}

}  // namespace

double easeInOut(double t) {
  if (!(t > 0))
    return 0;
  if (t >= 1)
    return 1;
  // x(s) is monotonic for these control points: bisect for the parameter of time t.
  double low = 0, high = 1, s = t;
  for (int i = 0; i < 40; ++i) {
    s = (low + high) / 2;
    if (bezier(s, 0.42, 0.58) < t)
      low = s;
    else
      high = s;
  }
  return bezier(s, 0.0, 1.0);
}

double ChromeAnimation::valueAt(std::int64_t nowMicros) const {
  if (isFinishedAt(nowMicros))
    return to_;
  const double t = static_cast<double>(nowMicros - start_) / static_cast<double>(duration_);
  return from_ + (to_ - from_) * easeInOut(t);
}

bool ChromeAnimation::isFinishedAt(std::int64_t nowMicros) const {
  return duration_ <= 0 || nowMicros - start_ >= duration_;
}

}  // namespace orlith
