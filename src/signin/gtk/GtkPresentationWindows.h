// The application's windows as the provider sign-in sheet chooses its anchor from them.
#pragma once

#include <gtkmm.h>

#include "signin/AuthPresentationProvider.h"

namespace orlith {

class GtkPresentationWindows final : public AuthPresentationProvider::Windows {
 public:
  // Without an application (tests), the toplevels GTK lists.
  explicit GtkPresentationWindows(Glib::RefPtr<Gtk::Application> application = {})
      : application_(std::move(application)) {}

  std::optional<PresentationAnchor> activeWindow() const override;
  std::vector<PresentationAnchor> windows() const override;

 private:
  Glib::RefPtr<Gtk::Application> application_;
};

}  // namespace orlith
