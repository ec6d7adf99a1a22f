// What every sign-in view of the process shares: the route of provider callbacks, the browser
// launcher, the provider sessions, the anchor windows and the string table. Owned by the
// application object; a window made without one (tests) makes its own.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/glib/UriLauncher.h"
#include "signin/Announcer.h"
#include "signin/AuthCallbackRoute.h"
#include "signin/AuthView.h"
#include "signin/BrowserWebAuthSession.h"
#include "signin/gtk/GtkPresentationWindows.h"

namespace orlith {

class SignInServices {
 public:
  // `application` may be empty: no anchor windows then.
  explicit SignInServices(Glib::RefPtr<Gtk::Application> application = {},
                          AuthView::Localizer localize = {});

  AuthCallbackRoute& callbackRoute() { return route_; }
  UriOpener& opener() { return launcher_; }
  Announcer& announcer() { return announcer_; }
  WebAuthSessionFactory& webAuth() { return webAuth_; }
  const AuthPresentationProvider::Windows& windows() const { return windows_; }
  const AuthView::Localizer& localize() const { return localize_; }

 private:
  AuthView::Localizer localize_;
  AuthCallbackRoute route_;
  UriLauncher launcher_;
  SilentAnnouncer announcer_;
  GtkPresentationWindows windows_;
  BrowserWebAuthSessionFactory webAuth_;
};

}  // namespace orlith
