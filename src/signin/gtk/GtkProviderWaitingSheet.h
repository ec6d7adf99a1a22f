// The window that stands in the app while a provider's page is open in the browser: the host,
// a spinner, "Opening…" and Cancel. Closing it cancels the sign-in.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>

#include "signin/BrowserWebAuthSession.h"

namespace orlith {

class GtkProviderWaitingSheet final : public ProviderWaitingSheet {
 public:
  using Localizer = std::function<std::string(const std::string&)>;

  explicit GtkProviderWaitingSheet(Localizer localize);
  ~GtkProviderWaitingSheet() override;

  void show(const std::string& host, std::optional<PresentationAnchor> anchor,
            std::function<void()> onCancel) override;
  void close() override;

  // The open sheet's window, for tests; null when none is shown.
  static Gtk::Window* openSheet();

 private:
  class Window;
  Localizer localize_;
  std::unique_ptr<Window> window_;
};

}  // namespace orlith
