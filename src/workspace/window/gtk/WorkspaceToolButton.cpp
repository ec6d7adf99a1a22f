// The chrome's symbol button.
#include "workspace/window/gtk/WorkspaceToolButton.h"

#include "workspace/window/gtk/WorkspaceChromeStyle.h"

namespace orlith {

WorkspaceToolButton::WorkspaceToolButton(const std::string& iconName, const std::string& help,
                                         std::function<void()> action)
    : action_(std::move(action)) {
  add_css_class("orlith-tool-button");
  set_has_frame(false);
  set_focus_on_click(false);
  set_size_request(26, 26);
  set_valign(Gtk::Align::CENTER);
  set_halign(Gtk::Align::CENTER);
  image_.set_from_icon_name(iconName);
  image_.set_pixel_size(16);
  image_.set_halign(Gtk::Align::CENTER);
  image_.set_valign(Gtk::Align::CENTER);
  WorkspaceChromeStyle::setAccessibleRole(image_, GTK_ACCESSIBLE_ROLE_PRESENTATION);
  set_child(image_);
  set_tooltip_text(help);
  WorkspaceChromeStyle::setAccessibleLabel(*this, help);
  signal_clicked().connect([this] {
    if (action_)
      action_();
  });
}

}  // namespace orlith
