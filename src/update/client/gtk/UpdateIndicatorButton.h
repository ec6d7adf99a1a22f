// The update indicator: a 26 × 26 symbol button in a window's chrome that follows the update
// snapshot (tint, tooltip, accessible description) and owns its update panel, made the first
// time it is asked for. A menu button, so a click while the panel is shown closes it.
#pragma once

#include <gtkmm.h>

#include <memory>
#include <vector>

#include "base/Observable.h"
#include "update/client/UpdateIndicatorModel.h"
#include "update/client/gtk/UpdateGlyph.h"
#include "update/client/gtk/UpdatePopoverController.h"

namespace orlith {

class UpdateIndicatorButton : public Gtk::MenuButton {
 public:
  static constexpr int kSize = 26;

  explicit UpdateIndicatorButton(UpdateIndicatorModel& model);
  ~UpdateIndicatorButton() override;

  // The panel, made now when it was never made.
  UpdatePopoverController& panel();
  bool hasPanel() const { return panel_ != nullptr; }
  // The tooltip and accessible description.
  const std::string& statusText() const { return status_; }
  bool isAccentTinted() const { return has_css_class("accent"); }

  // Opens the panel of the indicator in the active window, else the main one, else the first
  // shown; nothing when no indicator is shown.
  static void showPanel();
  // Closes every indicator's panel, making the ones never made.
  static void closePanels();
  // Every live indicator, in the order they were made.
  static const std::vector<UpdateIndicatorButton*>& registry();

 private:
  void apply(const UpdateSnapshot& snapshot);

  UpdateIndicatorModel& model_;
  UpdateGlyph glyph_;
  std::unique_ptr<UpdatePopoverController> panel_;
  std::string status_;
  ScopedConnection snapshotConnection_;
};

}  // namespace orlith
