// The tab strip's widget: layout from the strip geometry, chips keyed by id, the scrolling row
// and the tick-driven animations of the tab count and of centring the selection.
#include "workspace/window/gtk/WorkspaceTabStrip.h"

#include <glib.h>

#include <algorithm>
#include <cmath>

#include "workspace/window/gtk/WorkspaceChromeStyle.h"

namespace orlith {

namespace {

constexpr int kChipHeight = 26;
constexpr int kStripHeight = 28;

Gtk::Allocation allocationOf(double x, double width, int y, int height) {
  const int left = static_cast<int>(std::lround(x));
  const int right = static_cast<int>(std::lround(x + width));
  return Gtk::Allocation(left, y, std::max(0, right - left), height);
}

}  // namespace

// Holds every chip; the strip tells it where each goes. It clips only in the scrolling row.
class WorkspaceTabStrip::ChipArea : public Gtk::Widget {
 public:
  ChipArea() { set_overflow(Gtk::Overflow::VISIBLE); }
  std::vector<std::pair<Gtk::Widget*, Gtk::Allocation>> layout;

 protected:
  void measure_vfunc(Gtk::Orientation, int, int& minimum, int& natural, int& minimumBaseline,
                     int& naturalBaseline) const override {
    minimum = natural = 0;
    minimumBaseline = naturalBaseline = -1;
  }
  void size_allocate_vfunc(int, int, int) override {
    for (auto& [widget, allocation] : layout)
      widget->size_allocate(allocation, -1);
  }
};

WorkspaceTabStrip::WorkspaceTabStrip(Actions actions)
    : actions_(std::move(actions)), area_(std::make_unique<ChipArea>()) {
  WorkspaceChromeStyle::install();
  add_css_class("orlith-tab-strip");
  set_overflow(Gtk::Overflow::VISIBLE);
  area_->set_parent(*this);

  plus_.signal_clicked().connect([this] {
    if (actions_.newTab)
      actions_.newTab();
  });
  plus_.set_parent(*this);

  scroll_ = Gtk::EventControllerScroll::create();
  scroll_->set_flags(Gtk::EventControllerScroll::Flags::BOTH_AXES);
  scroll_->signal_scroll().connect(sigc::mem_fun(*this, &WorkspaceTabStrip::onScroll), false);
  area_->add_controller(scroll_);
}

WorkspaceTabStrip::~WorkspaceTabStrip() {
  widthRefresh_.disconnect();
  if (tickId_ != 0)
    remove_tick_callback(tickId_);
  for (auto& [id, chip] : chips_)
    chip->unparent();
  chips_.clear();
  area_->unparent();
  plus_.unparent();
}

void WorkspaceTabStrip::update(const std::vector<WorkspaceTabStripItem>& tabs,
                               const std::string& selectedID, bool dark) {
  const bool countChanged = tabs.size() != order_.size();
  const bool selectionChanged = selectedID != selectedID_;
  if (countChanged && lastWidth_ >= 0 && !overflows_ && WorkspaceChromeStyle::animationsEnabled()) {
    countFrom_ = shown_;
    plusFrom_ = plusShown_;
    countStart_ = g_get_monotonic_time();
    countAnimating_ = true;
    startTicking();
  }

  std::vector<std::string> order;
  order.reserve(tabs.size());
  for (const auto& tab : tabs)
    order.push_back(tab.id);
  for (auto it = chips_.begin(); it != chips_.end();) {
    if (std::find(order.begin(), order.end(), it->first) == order.end()) {
      it->second->unparent();
      shown_.erase(it->first);
      it = chips_.erase(it);
    } else {
      ++it;
    }
  }
  order_ = std::move(order);
  selectedID_ = selectedID;
  dark_ = dark;

  items_ = tabs;
  applyChips();
  plus_.update(dark, WorkspaceTabStripGeometry::measure(0, tabs.size()).atLimit());
  if (dark)
    add_css_class("dark");
  else
    remove_css_class("dark");

  if (selectionChanged) {
    centreOnNextLayout_ = true;
    animateCentring_ = true;
  }
  relayout();
}

void WorkspaceTabStrip::setDark(bool dark) {
  if (dark == dark_)
    return;
  dark_ = dark;
  applyChips();
  plus_.update(dark, WorkspaceTabStripGeometry::measure(0, items_.size()).atLimit());
}

void WorkspaceTabStrip::applyChips() {
  const bool canClose = items_.size() >= 2;
  // The chips' preferred width, whole pixels down, so no chip is ever given less than it asks.
  const auto geometry = WorkspaceTabStripGeometry::measure(std::max(lastWidth_, 0), items_.size());
  chipWidthApplied_ = std::floor(geometry.chipWidth());
  for (const auto& tab : items_) {
    auto& chip = chips_[tab.id];
    if (!chip) {
      chip = std::make_unique<WorkspaceTabChipView>();
      chip->set_parent(*area_);
    }
    const std::string id = tab.id;
    chip->update(
        tab.title, id == selectedID_, canClose, dark_, chipWidthApplied_,
        [this, id] {
          if (actions_.select)
            actions_.select(id);
        },
        [this, id] {
          if (actions_.close)
            actions_.close(id);
        });
  }
}

WorkspaceTabChipView* WorkspaceTabStrip::chip(const std::string& id) {
  auto it = chips_.find(id);
  return it == chips_.end() ? nullptr : it->second.get();
}

WorkspaceNewTabButton& WorkspaceTabStrip::newTabButton() {
  return plus_;
}

Gtk::Widget& WorkspaceTabStrip::chipArea() {
  return *area_;
}

Gtk::SizeRequestMode WorkspaceTabStrip::get_request_mode_vfunc() const {
  return Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void WorkspaceTabStrip::measure_vfunc(Gtk::Orientation orientation, int, int& minimum, int& natural,
                                      int& minimumBaseline, int& naturalBaseline) const {
  minimumBaseline = naturalBaseline = -1;
  if (orientation == Gtk::Orientation::VERTICAL) {
    minimum = natural = kStripHeight;
    return;
  }
  // Small, so the window can narrow: the chips shrink and then scroll.
  const WorkspaceTabStripMetrics metrics;
  minimum = natural = static_cast<int>(metrics.plusWidth + 2 * metrics.padding);
}

std::optional<std::size_t> WorkspaceTabStrip::selectedIndex() const {
  auto it = std::find(order_.begin(), order_.end(), selectedID_);
  if (it == order_.end())
    return std::nullopt;
  return static_cast<std::size_t>(it - order_.begin());
}

void WorkspaceTabStrip::size_allocate_vfunc(int width, int height, int) {
  const auto geometry = WorkspaceTabStripGeometry::measure(width, order_.size());
  const bool wasOverflowing = overflows_ && lastWidth_ >= 0;
  overflows_ = geometry.overflows();
  lastWidth_ = width;
  if (std::floor(geometry.chipWidth()) != chipWidthApplied_ && !widthRefresh_.connected()) {
    // A new width reaches the chips after this layout pass, never during it.
    widthRefresh_ = Glib::signal_idle().connect([this] {
      applyChips();
      return false;
    });
  }
  const std::int64_t now = g_get_monotonic_time();
  const int chipY = (height - kChipHeight) / 2;

  double originX = 0;
  Gtk::Allocation areaAllocation(0, 0, width, height);
  if (overflows_) {
    // The first display of the scrolling row centres the selection at once; later selection
    // changes move there over the animation.
    if (!wasOverflowing || centreOnNextLayout_) {
      const auto index = selectedIndex();
      const double target = index ? geometry.centredOffset(*index) : offset_;
      if (wasOverflowing && animateCentring_ && WorkspaceChromeStyle::animationsEnabled()) {
        scrollAnimation_ = ChromeAnimation(offset_, target, now, kSelectionScrollAnimationMicros);
        scrollAnimating_ = true;
        startTicking();
      } else {
        offset_ = target;
        scrollAnimating_ = false;
      }
    }
    if (scrollAnimating_) {
      offset_ = scrollAnimation_.valueAt(now);
      scrollAnimating_ = !scrollAnimation_.isFinishedAt(now);
    }
    offset_ = geometry.clampOffset(offset_);
    countAnimating_ = false;
    const PixelSpan viewport = geometry.viewportFrame();
    area_->set_overflow(Gtk::Overflow::HIDDEN);
    areaAllocation = Gtk::Allocation(viewport.x, 0, viewport.width, height);
    originX = -offset_;
  } else {
    offset_ = 0;
    scrollAnimating_ = false;
    area_->set_overflow(Gtk::Overflow::VISIBLE);
  }
  centreOnNextLayout_ = false;
  animateCentring_ = false;

  double progress = 1;
  if (countAnimating_) {
    const double t = static_cast<double>(now - countStart_) / kTabCountAnimationMicros;
    progress = easeInOut(t);
    countAnimating_ = t < 1;
  }
  auto lerp = [progress](const std::optional<Frame>& from, Frame to) {
    if (!from || progress >= 1)
      return to;
    return Frame{from->x + (to.x - from->x) * progress,
                 from->width + (to.width - from->width) * progress};
  };

  const auto frames = geometry.chipFrames();
  area_->layout.clear();
  for (std::size_t i = 0; i < order_.size(); ++i) {
    const std::string& id = order_[i];
    std::optional<Frame> from;
    if (auto it = countFrom_.find(id); it != countFrom_.end())
      from = it->second;
    const Frame frame =
        lerp(from, Frame{static_cast<double>(frames[i].x), static_cast<double>(frames[i].width)});
    shown_[id] = frame;
    area_->layout.emplace_back(chips_[id].get(),
                               allocationOf(originX + frame.x, frame.width, chipY, kChipHeight));
  }
  area_->size_allocate(areaAllocation, -1);

  const PixelSpan plus = geometry.plusFrame();
  plusShown_ = lerp(plusFrom_, Frame{static_cast<double>(plus.x), static_cast<double>(plus.width)});
  plus_.size_allocate(allocationOf(plusShown_.x, plusShown_.width, chipY, kChipHeight), -1);
  if (!countAnimating_) {
    countFrom_.clear();
    plusFrom_.reset();
  }
}

void WorkspaceTabStrip::relayout() {
  // The chip area keeps its size while its chips move: both must be laid out again.
  queue_allocate();
  area_->queue_allocate();
}

void WorkspaceTabStrip::startTicking() {
  if (tickId_ != 0)
    return;
  tickId_ = add_tick_callback([this](const Glib::RefPtr<Gdk::FrameClock>&) { return onTick(); });
}

bool WorkspaceTabStrip::onTick() {
  if (!countAnimating_ && !scrollAnimating_) {
    tickId_ = 0;
    return false;
  }
  relayout();
  return true;
}

bool WorkspaceTabStrip::onScroll(double dx, double dy) {
  if (!overflows_ || lastWidth_ < 0)
    return false;
  const auto geometry = WorkspaceTabStripGeometry::measure(lastWidth_, order_.size());
  const auto unit = gtk_event_controller_scroll_get_unit(scroll_->gobj()) == GDK_SCROLL_UNIT_WHEEL
                        ? ScrollDeltaUnit::wheelSteps
                        : ScrollDeltaUnit::pixels;
  offset_ = geometry.scrolledOffset(offset_, dx != 0 ? dx : dy, unit);
  scrollAnimating_ = false;
  relayout();
  return true;
}

}  // namespace orlith
