#include "signin/gtk/SignInColumn.h"

#include <algorithm>
#include <cmath>

namespace orlith {

SignInColumn::SignInColumn(Gtk::Widget& child) : child_(child) {
  child_.set_parent(*this);
  set_hexpand(true);
  set_vexpand(true);
}

SignInColumn::~SignInColumn() {
  pageSize_.disconnect();
  relayout_.disconnect();
  child_.unparent();
}

int SignInColumn::extraBottomPadding(int visibleHeight) {
  return std::max(0, static_cast<int>(std::lround(visibleHeight * 0.3)) - 100);
}

int SignInColumn::visibleHeight() const {
  auto* scrolled = dynamic_cast<const Gtk::ScrolledWindow*>(get_ancestor(GTK_TYPE_SCROLLED_WINDOW));
  return scrolled != nullptr ? scrolled->get_height() : get_height();
}

void SignInColumn::on_realize() {
  Gtk::Widget::on_realize();
  // The extra space follows the visible height, which changes with the window.
  if (auto* scrolled = dynamic_cast<Gtk::ScrolledWindow*>(get_ancestor(GTK_TYPE_SCROLLED_WINDOW))) {
    pageSize_.disconnect();
    // The page size changes while the scrolled window allocates; a new layout is asked for
    // after that, and only when the height really differs from the one measured.
    pageSize_ = scrolled->get_vadjustment()->property_page_size().signal_changed().connect([this] {
      if (visibleHeight() == measuredVisibleHeight_ || relayout_.connected())
        return;
      relayout_ = Glib::signal_idle().connect([this] {
        queue_resize();
        return false;
      });
    });
  }
}

Gtk::SizeRequestMode SignInColumn::get_request_mode_vfunc() const {
  return Gtk::SizeRequestMode::HEIGHT_FOR_WIDTH;
}

int SignInColumn::childWidthFor(int width) const {
  int minimum = 0, natural = 0, ignored = 0;
  child_.measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
  return std::max(minimum, std::min(kMaximumWidth, width - 2 * kSidePadding));
}

void SignInColumn::measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum,
                                 int& natural, int& minimumBaseline, int& naturalBaseline) const {
  minimumBaseline = naturalBaseline = -1;
  if (orientation == Gtk::Orientation::HORIZONTAL) {
    int childMinimum = 0, childNatural = 0, ignored = 0;
    child_.measure(orientation, -1, childMinimum, childNatural, ignored, ignored);
    minimum = childMinimum + 2 * kSidePadding;
    natural = std::max(minimum, kMaximumWidth + 2 * kSidePadding);
    return;
  }
  const int width = forSize < 0 ? kMaximumWidth + 2 * kSidePadding : forSize;
  int childMinimum = 0, childNatural = 0, ignored = 0;
  child_.measure(orientation, childWidthFor(width), childMinimum, childNatural, ignored, ignored);
  measuredVisibleHeight_ = visibleHeight();
  const int padding = 2 * kVerticalPadding + extraBottomPadding(measuredVisibleHeight_);
  minimum = childMinimum + padding;
  natural = std::max(childNatural + padding, measuredVisibleHeight_);
}

void SignInColumn::size_allocate_vfunc(int width, int height, int) {
  const int childWidth = std::min(width, childWidthFor(width));
  int childMinimum = 0, childNatural = 0, ignored = 0;
  child_.measure(Gtk::Orientation::VERTICAL, childWidth, childMinimum, childNatural, ignored,
                 ignored);
  const int top = kVerticalPadding;
  const int bottom = kVerticalPadding + extraBottomPadding(visibleHeight());
  const int room = std::max(0, height - top - bottom);
  const int childHeight =
      std::min(std::max(childNatural, childMinimum), std::max(room, childMinimum));
  Gtk::Allocation allocation;
  allocation.set_x((width - childWidth) / 2);
  allocation.set_y(top + std::max(0, (room - childHeight) / 2));
  allocation.set_width(childWidth);
  allocation.set_height(childHeight);
  child_.size_allocate(allocation, -1);
}

}  // namespace orlith
