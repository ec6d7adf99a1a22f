// The chrome's navigation buttons.
#include "workspace/window/gtk/WorkspaceNavCluster.h"

#include "base/LocalizedStrings.h"
#include "workspace/window/gtk/WorkspaceChromeStyle.h"

namespace orlith {

WorkspaceNavCluster::WorkspaceNavCluster(Actions actions)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 2),
      back_("go-previous-symbolic", localizedString("Back"), std::move(actions.back)),
      forward_("go-next-symbolic", localizedString("Forward"), std::move(actions.forward)),
      reload_("view-refresh-symbolic", localizedString("Reload"), std::move(actions.reload)) {
  set_valign(Gtk::Align::CENTER);
  spinner_.set_size_request(16, 16);
  spinner_.set_halign(Gtk::Align::CENTER);
  spinner_.set_valign(Gtk::Align::CENTER);
  WorkspaceChromeStyle::setAccessibleRole(spinner_, GTK_ACCESSIBLE_ROLE_PRESENTATION);
  spinnerSlot_.add_css_class("orlith-tool-spinner");
  spinnerSlot_.set_size_request(26, 26);
  spinnerSlot_.set_halign(Gtk::Align::CENTER);
  spinnerSlot_.set_valign(Gtk::Align::CENTER);
  spinnerSlot_.append(spinner_);
  spinnerSlot_.set_homogeneous(true);
  spinnerSlot_.set_tooltip_text(localizedString("Loading\u2026"));
  WorkspaceChromeStyle::setAccessibleLabel(spinnerSlot_, localizedString("Loading page"));

  stack_.set_transition_type(Gtk::StackTransitionType::CROSSFADE);
  stack_.set_transition_duration(180);
  stack_.set_size_request(26, 26);
  stack_.add(reload_, "reload");
  stack_.add(spinnerSlot_, "spinner");
  stack_.set_visible_child(reload_);

  append(back_);
  append(forward_);
  append(stack_);
}

void WorkspaceNavCluster::update(const WorkspaceChromeState& state) {
  back_.set_sensitive(state.backEnabled);
  forward_.set_sensitive(state.forwardEnabled);
  reload_.set_sensitive(state.reloadEnabled);
  // The stack itself honours gtk-enable-animations for its crossfade.
  stack_.set_visible_child(state.showsSpinner ? static_cast<Gtk::Widget&>(spinnerSlot_)
                                              : static_cast<Gtk::Widget&>(reload_));
  spinner_.setTurning(state.showsSpinner);
}

}  // namespace orlith
