// The update panel: owns the popover on an indicator and its content, keeps the content in step
// with the update snapshot and forwards the main button to the update client. The popover closes
// on its close button, "Later", Escape, a click outside, and when its window is resized, changes
// full screen, closes or when no window of the app stays active; closing never changes the
// update's state. Focus moves into the panel when it opens and back to the indicator after.
#pragma once

#include <gtkmm.h>

#include <cstddef>
#include <vector>

#include "base/Observable.h"
#include "update/client/UpdateIndicatorModel.h"
#include "update/client/UpdateIndicatorPresentation.h"
#include "update/client/gtk/UpdatePopoverContent.h"

namespace orlith {

class UpdatePopoverController {
 public:
  explicit UpdatePopoverController(UpdateIndicatorModel& model);
  ~UpdatePopoverController();
  UpdatePopoverController(const UpdatePopoverController&) = delete;
  UpdatePopoverController& operator=(const UpdatePopoverController&) = delete;

  // Renders a snapshot; the model's signal calls it for every published one.
  void render(const UpdateSnapshot& snapshot);

  void show();
  void close();
  void toggle();
  bool isShown() const { return popover_.get_visible(); }

  // Heading changes while shown, each one heard by assistive technology as the label's change.
  std::size_t headingAnnouncements() const { return headings_.announcements(); }

  // The indicator anchors the popover as its own.
  Gtk::Popover& popover() { return popover_; }
  UpdatePopoverContent& content() { return content_; }

 private:
  void shown();
  void closed();
  void watchOwner(Gtk::Window& owner);
  void closeLater();

  UpdateIndicatorModel& model_;
  PanelHeadingTracker headings_;
  Gtk::Popover popover_;
  UpdatePopoverContent content_;
  ScopedConnection snapshotConnection_;
  std::vector<ScopedConnection> ownerConnections_;
  ScopedConnection pendingClose_;
};

}  // namespace orlith
