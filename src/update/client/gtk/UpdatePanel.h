// The update panel: a popover on the indicator that shows the current snapshot as a heading, an
// explanation, the download's progress, an error line and one or two buttons, and forwards the
// main button to the update client. It closes on its close button, "Later", Escape, a click
// outside, and when its window is resized, changes full screen, closes or when no window of
// the app stays active; closing never changes the update's state.
#pragma once

#include <gtkmm.h>

#include <cstddef>
#include <vector>

#include "base/Observable.h"
#include "ui/OrlithMark.h"
#include "update/client/UpdateIndicatorModel.h"
#include "update/client/UpdateIndicatorPresentation.h"
#include "update/client/gtk/NeutralUpdateChromeButton.h"

namespace orlith {

class UpdatePanel : public Gtk::Popover {
 public:
  static constexpr int kWidth = 340;

  explicit UpdatePanel(UpdateIndicatorModel& model);
  ~UpdatePanel() override;

  // Renders a snapshot; the model's signal calls it for every published one.
  void render(const UpdateSnapshot& snapshot);

  // Heading changes while shown, each one heard by assistive technology as the label's change.
  std::size_t headingAnnouncements() const { return headings_.announcements(); }

  Gtk::Label& heading() { return heading_; }
  Gtk::Label& detail() { return detail_; }
  Gtk::Label& version() { return version_; }
  Gtk::Label& error() { return error_; }
  Gtk::Label& percent() { return percent_; }
  Gtk::ProgressBar& progress() { return progress_; }
  Gtk::Box& progressGroup() { return progressGroup_; }
  NeutralUpdateChromeButton& primary() { return primary_; }
  NeutralUpdateChromeButton& later() { return later_; }
  NeutralUpdateChromeButton& closeButton() { return closeButton_; }

 private:
  void shown();
  void closed();
  void watchOwner(Gtk::Window& owner);
  void closeLater();

  UpdateIndicatorModel& model_;
  PanelHeadingTracker headings_;
  Gtk::Box body_{Gtk::Orientation::VERTICAL};
  Gtk::Box header_{Gtk::Orientation::HORIZONTAL};
  OrlithMark mark_{20};
  Gtk::Label brand_;
  Gtk::Label version_;
  Gtk::Box spacer_;
  NeutralUpdateChromeButton closeButton_;
  Gtk::Image closeImage_;
  Gtk::Label heading_;
  Gtk::Label detail_;
  Gtk::Box progressGroup_{Gtk::Orientation::VERTICAL};
  Gtk::Label percent_;
  Gtk::ProgressBar progress_;
  Gtk::Label error_;
  Gtk::Box footer_{Gtk::Orientation::HORIZONTAL};
  NeutralUpdateChromeButton primary_;
  NeutralUpdateChromeButton later_;
  ScopedConnection snapshotConnection_;
  std::vector<ScopedConnection> ownerConnections_;
  ScopedConnection pendingClose_;
};

}  // namespace orlith
