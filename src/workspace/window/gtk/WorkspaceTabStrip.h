// The chrome's tab strip: one chip per tab, keyed by the tab's id, in one clipping child, and
// the new-tab button beside it. When the chips no longer fit at their narrowest, the clipping
// child becomes a scrolling row with its own offset, and a newly selected chip is centred.
#pragma once

#include <gtkmm.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "workspace/window/ChromeAnimation.h"
#include "workspace/window/WorkspaceChromeState.h"
#include "workspace/window/WorkspaceTabStripGeometry.h"
#include "workspace/window/gtk/WorkspaceNewTabButton.h"
#include "workspace/window/gtk/WorkspaceTabChipView.h"

namespace orlith {

class WorkspaceTabStrip : public Gtk::Widget {
 public:
  struct Actions {
    std::function<void(const std::string& id)> select;
    std::function<void(const std::string& id)> close;
    std::function<void()> newTab;
  };

  explicit WorkspaceTabStrip(Actions actions);
  ~WorkspaceTabStrip() override;

  // Chips of tabs that are gone are removed here, never from their own handlers: the caller
  // calls this from a deferred refresh.
  void update(const std::vector<WorkspaceTabStripItem>& tabs, const std::string& selectedID,
              bool dark);

  void setDark(bool dark);

  WorkspaceTabChipView* chip(const std::string& id);
  WorkspaceNewTabButton& newTabButton();
  // The clipping child that holds every chip.
  Gtk::Widget& chipArea();
  bool overflows() const { return overflows_; }
  double scrollOffset() const { return offset_; }
  // Also true while a centring waits for the next layout.
  bool isAnimating() const { return tickId_ != 0 || centreOnNextLayout_; }

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  class ChipArea;
  struct Frame {
    double x = 0;
    double width = 0;
  };

  void applyChips();
  void relayout();
  void startTicking();
  bool onTick();
  bool onScroll(double dx, double dy);
  std::optional<std::size_t> selectedIndex() const;

  Actions actions_;
  std::unique_ptr<ChipArea> area_;
  std::map<std::string, std::unique_ptr<WorkspaceTabChipView>> chips_;
  std::vector<WorkspaceTabStripItem> items_;
  std::vector<std::string> order_;
  double chipWidthApplied_ = -1;
  sigc::connection widthRefresh_;
  std::string selectedID_;
  bool dark_ = false;
  WorkspaceNewTabButton plus_;
  Glib::RefPtr<Gtk::EventControllerScroll> scroll_;

  // Layout state.
  int lastWidth_ = -1;
  bool overflows_ = false;
  bool centreOnNextLayout_ = false;
  bool animateCentring_ = false;
  double offset_ = 0;
  ChromeAnimation scrollAnimation_;
  bool scrollAnimating_ = false;
  // Where each chip and the button were drawn when the tab count last changed.
  std::map<std::string, Frame> countFrom_;
  std::optional<Frame> plusFrom_;
  std::int64_t countStart_ = 0;
  bool countAnimating_ = false;
  std::map<std::string, Frame> shown_;
  Frame plusShown_;
  guint tickId_ = 0;
};

}  // namespace orlith
