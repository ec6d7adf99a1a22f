// Back, forward, and reload that gives way to a spinner while the selected tab loads.
#pragma once

#include <gtkmm.h>

#include <functional>

#include "ui/OnScreenSpinner.h"
#include "workspace/window/WorkspaceChromeState.h"
#include "workspace/window/gtk/WorkspaceToolButton.h"

namespace orlith {

class WorkspaceNavCluster : public Gtk::Box {
 public:
  struct Actions {
    std::function<void()> back;
    std::function<void()> forward;
    std::function<void()> reload;
  };

  explicit WorkspaceNavCluster(Actions actions);

  void update(const WorkspaceChromeState& state);

  Gtk::Button& backButton() { return back_; }
  Gtk::Button& forwardButton() { return forward_; }
  Gtk::Button& reloadButton() { return reload_; }
  Gtk::Widget& spinner() { return spinnerSlot_; }
  // The reload-or-spinner place.
  Gtk::Stack& reloadStack() { return stack_; }

 private:
  WorkspaceToolButton back_;
  WorkspaceToolButton forward_;
  Gtk::Stack stack_;
  WorkspaceToolButton reload_;
  Gtk::Box spinnerSlot_;
  OnScreenSpinner spinner_;
};

}  // namespace orlith
