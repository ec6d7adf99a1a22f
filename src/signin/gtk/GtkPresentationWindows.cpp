#include "signin/gtk/GtkPresentationWindows.h"

namespace orlith {

std::optional<PresentationAnchor> GtkPresentationWindows::activeWindow() const {
  if (application_) {
    if (Gtk::Window* active = application_->get_active_window())
      return PresentationAnchor{active};
  }
  return std::nullopt;
}

std::vector<PresentationAnchor> GtkPresentationWindows::windows() const {
  std::vector<PresentationAnchor> all;
  if (application_) {
    for (Gtk::Window* window : application_->get_windows())
      all.push_back(PresentationAnchor{window});
  }
  return all;
}

}  // namespace orlith
