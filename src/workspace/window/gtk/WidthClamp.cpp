// Height is asked for the clamped width, so wrapping text measures as it will be drawn.
#include "workspace/window/gtk/WidthClamp.h"

#include <algorithm>

namespace orlith {

WidthClamp::WidthClamp(int maximumWidth) : maximumWidth_(maximumWidth) {}

WidthClamp::~WidthClamp() {
  if (child_)
    child_->unparent();
}

void WidthClamp::setChild(Gtk::Widget& child) {
  if (child_)
    child_->unparent();
  child_ = &child;
  child.set_parent(*this);
}

Gtk::SizeRequestMode WidthClamp::get_request_mode_vfunc() const {
  return Gtk::SizeRequestMode::HEIGHT_FOR_WIDTH;
}

void WidthClamp::measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum,
                               int& natural, int& minimumBaseline, int& naturalBaseline) const {
  minimum = natural = 0;
  minimumBaseline = naturalBaseline = -1;
  if (!child_)
    return;
  if (orientation == Gtk::Orientation::HORIZONTAL) {
    int childMinimum = 0, childNatural = 0, ignored = 0;
    child_->measure(orientation, forSize, childMinimum, childNatural, ignored, ignored);
    minimum = childMinimum;
    natural = std::max(std::min(childNatural, maximumWidth_), minimum);
    return;
  }
  int width = forSize < 0 ? maximumWidth_ : std::min(forSize, maximumWidth_);
  int ignored = 0;
  child_->measure(orientation, width, minimum, natural, ignored, ignored);
}

void WidthClamp::size_allocate_vfunc(int width, int height, int baseline) {
  if (!child_)
    return;
  int childWidth = std::min(width, maximumWidth_);
  Gtk::Allocation allocation((width - childWidth) / 2, 0, childWidth, height);
  child_->size_allocate(allocation, baseline);
}

}  // namespace orlith
