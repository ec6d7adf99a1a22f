// The update panel's view: the brand header, the snapshot's heading, explanation, download
// progress and error line, and one or two buttons, laid out with fixed constants. It draws a
// presentation and hands its buttons' actions to whoever set them.
#pragma once

#include <gtkmm.h>

#include <functional>

#include "ui/OrlithMark.h"
#include "update/client/UpdateIndicatorPresentation.h"
#include "update/client/gtk/NeutralUpdateChromeButton.h"

namespace orlith {

class UpdatePopoverContent : public Gtk::Box {
 public:
  static constexpr int kWidth = 340;
  static constexpr int kInsetTop = 16;
  static constexpr int kInsetBottom = 20;
  static constexpr int kInsetSide = 20;
  static constexpr int kRowSpacing = 8;
  // Beside the row spacing, after the header and after the error line.
  static constexpr int kGroupGap = 10;
  static constexpr int kMarkSize = 20;
  static constexpr int kCloseSize = 26;
  static constexpr int kActionHeight = 36;
  static constexpr int kPrimaryMinimumWidth = 100;

  UpdatePopoverContent();

  // Shows one presentation of the snapshot.
  void apply(const PanelPresentation& panel);

  // The close button's and "Later"'s action.
  std::function<void()> closeAction;
  // The main button's action; never run while the button is disabled.
  std::function<void()> primaryAction;

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
  void dismiss();
  void performPrimary();

  Gtk::Box header_{Gtk::Orientation::HORIZONTAL};
  OrlithMark mark_{kMarkSize};
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
};

}  // namespace orlith
