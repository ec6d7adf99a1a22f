// The tab strip's arithmetic.
#include "workspace/window/WorkspaceTabStripGeometry.h"

#include <algorithm>
#include <cmath>

namespace orlith {

namespace {

int roundToPixel(double value) {
  return static_cast<int>(std::lround(value));
}

}  // namespace

WorkspaceTabStripGeometry WorkspaceTabStripGeometry::measure(
    double width, std::size_t tabCount, const WorkspaceTabStripMetrics& metrics) {
  WorkspaceTabStripGeometry geometry;
  geometry.width_ = std::isfinite(width) ? std::max(0.0, width) : 0.0;
  geometry.tabCount_ = tabCount;
  geometry.metrics_ = metrics;
  geometry.layoutCount_ = std::max<std::size_t>(tabCount, 1);
  const double n = static_cast<double>(geometry.layoutCount_);
  geometry.raw_ = (geometry.width_ - metrics.plusWidth - metrics.gap * n) / n;
  geometry.chipWidth_ = std::min(std::max(geometry.raw_, metrics.minTab), metrics.maxTab);
  geometry.overflows_ = geometry.raw_ < metrics.minTab;
  return geometry;
}

std::vector<PixelSpan> WorkspaceTabStripGeometry::chipFrames() const {
  const double origin = overflows_ ? 0.0 : metrics_.padding;
  std::vector<PixelSpan> frames;
  frames.reserve(tabCount_);
  for (std::size_t i = 0; i < tabCount_; ++i) {
    const double start = origin + static_cast<double>(i) * pitch();
    const int x = roundToPixel(start);
    frames.push_back(PixelSpan{x, roundToPixel(start + chipWidth_) - x});
  }
  return frames;
}

PixelSpan WorkspaceTabStripGeometry::plusFrame() const {
  double start;
  if (overflows_) {
    const PixelSpan viewport = viewportFrame();
    start = viewport.end() + metrics_.gap;
  } else {
    start = metrics_.padding + static_cast<double>(tabCount_) * pitch();
  }
  const int x = roundToPixel(start);
  return PixelSpan{x, roundToPixel(start + metrics_.plusWidth) - x};
}

PixelSpan WorkspaceTabStripGeometry::viewportFrame() const {
  const double available = width_ - 2 * metrics_.padding - metrics_.gap - metrics_.plusWidth;
  const int x = roundToPixel(metrics_.padding);
  return PixelSpan{x, std::max(0, roundToPixel(metrics_.padding + available) - x)};
}

double WorkspaceTabStripGeometry::contentWidth() const {
  if (tabCount_ == 0)
    return 0;
  return static_cast<double>(tabCount_) * pitch() - metrics_.gap;
}

double WorkspaceTabStripGeometry::maximumOffset() const {
  return std::max(0.0, contentWidth() - viewportFrame().width);
}

double WorkspaceTabStripGeometry::clampOffset(double offset) const {
  if (!std::isfinite(offset))
    return 0;
  return std::clamp(offset, 0.0, maximumOffset());
}

double WorkspaceTabStripGeometry::centredOffset(std::size_t index) const {
  if (index >= tabCount_)
    return 0;
  const double centre = static_cast<double>(index) * pitch() + chipWidth_ / 2;
  return clampOffset(centre - viewportFrame().width / 2.0);
}

double WorkspaceTabStripGeometry::scrolledOffset(double offset, double delta,
                                                 ScrollDeltaUnit unit) const {
  // A wheel step moves by one chip, so a step never leaves a chip half in view for long.
  const double pixels = unit == ScrollDeltaUnit::wheelSteps ? delta * pitch() : delta;
  return clampOffset(offset + pixels);
}

}  // namespace orlith
