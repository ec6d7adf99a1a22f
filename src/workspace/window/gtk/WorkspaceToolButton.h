// A 26 × 26 symbol button of the chrome: the symbol tinted by the style, a hover fill only
// while enabled, and its help text as both tooltip and accessible label.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <string>

namespace orlith {

class WorkspaceToolButton : public Gtk::Button {
 public:
  WorkspaceToolButton(const std::string& iconName, const std::string& help,
                      std::function<void()> action);

 private:
  Gtk::Image image_;
  std::function<void()> action_;
};

}  // namespace orlith
