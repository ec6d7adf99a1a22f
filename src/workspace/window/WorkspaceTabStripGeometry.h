// Where the tab strip puts its chips and its new-tab button: the chip width from the measured
// width and the tab count, the switch to a scrolling row, and whole-pixel frames.
#pragma once

#include <cstddef>
#include <vector>

namespace orlith {

struct WorkspaceTabStripMetrics {
  double minTab = 80;
  double maxTab = 160;
  double gap = 4;
  double plusWidth = 28;
  // Horizontal padding on each side of the strip's content.
  double padding = 4;
  std::size_t maximumTabs = 20;
};

// A whole-pixel horizontal frame.
struct PixelSpan {
  int x = 0;
  int width = 0;
  int end() const { return x + width; }
  friend bool operator==(const PixelSpan&, const PixelSpan&) = default;
};

// How wheel deltas are given: in wheel steps, or already in pixels (touchpads).
enum class ScrollDeltaUnit { wheelSteps, pixels };

class WorkspaceTabStripGeometry {
 public:
  // `width` is the strip's measured width, before its own padding. An empty strip is laid out
  // as one tab, so the division never divides by zero.
  static WorkspaceTabStripGeometry measure(double width, std::size_t tabCount,
                                           const WorkspaceTabStripMetrics& metrics = {});

  double width() const { return width_; }
  std::size_t tabCount() const { return tabCount_; }
  const WorkspaceTabStripMetrics& metrics() const { return metrics_; }
  // The width each tab would get if nothing limited it.
  double rawWidth() const { return raw_; }
  double chipWidth() const { return chipWidth_; }
  // True when the chips do not fit at the narrowest width and the row scrolls.
  bool overflows() const { return overflows_; }
  // No further tab may be opened.
  bool atLimit() const { return tabCount_ >= metrics_.maximumTabs; }

  // Whole-pixel chip frames relative to the strip's leading edge. Edges are rounded from the
  // exact positions (x_i = round(x0 + i·pitch), end_i = round(x0 + i·pitch + w)), so no
  // rounding error piles up along the row. In a scrolling row the frames are relative to the
  // scrolled content, whose first chip starts at 0.
  std::vector<PixelSpan> chipFrames() const;
  // The new-tab button: after the last chip, or after the scrolling viewport.
  PixelSpan plusFrame() const;

  // The scrolling row: a viewport after the leading padding that leaves room for the gap and
  // the new-tab button; the content is every chip at the narrowest width.
  PixelSpan viewportFrame() const;
  double contentWidth() const;
  double maximumOffset() const;
  double clampOffset(double offset) const;
  // The offset that centres the chip at `index` in the viewport, as far as the ends allow.
  double centredOffset(std::size_t index) const;
  // The offset after a scroll of `delta` (positive scrolls towards later tabs).
  double scrolledOffset(double offset, double delta, ScrollDeltaUnit unit) const;

 private:
  double pitch() const { return chipWidth_ + metrics_.gap; }

  double width_ = 0;
  std::size_t tabCount_ = 0;
  std::size_t layoutCount_ = 1;
  WorkspaceTabStripMetrics metrics_;
  double raw_ = 0;
  double chipWidth_ = 0;
  bool overflows_ = false;
};

}  // namespace orlith
