#include "app/gtk/SignInServices.h"

#include "base/LocalizedStrings.h"
#include "signin/gtk/GtkProviderWaitingSheet.h"

namespace orlith {

namespace {

// The display's launch context, so the browser gets the startup notification and the
// activation token.
GObjectPtr<GAppLaunchContext> displayLaunchContext() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr)
    return {};
  return adoptObject(G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)));
}

}  // namespace

SignInServices::SignInServices(Glib::RefPtr<Gtk::Application> application,
                               AuthView::Localizer localize)
    : localize_(localize ? std::move(localize)
                         : [](const std::string& key) { return localizedString(key); }),
      launcher_(&displayLaunchContext),
      windows_(std::move(application)),
      webAuth_(launcher_, route_,
               [this] { return std::make_unique<GtkProviderWaitingSheet>(localize_); }) {}

}  // namespace orlith
