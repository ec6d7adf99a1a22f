// The application's start-up rules: the one application id, the appearance applied at every
// window appearance and at every change of the stored choice, and the once-per-process launch
// work (restore the stored session, "app_started") before the update client starts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/UpdateClient.h"
#include "base/Observable.h"
#include "base/Preferences.h"
#include "session/DesktopDiagnostics.h"
#include "session/SessionStore.h"
#include "workspace/surface/OrlithAppearancePreference.h"

namespace orlith {

class OrlithMacApp {
 public:
  // The application id and bundle identifier: the session bus name, the desktop entry's name
  // and the keyring service all derive from it.
  static constexpr std::string_view kApplicationId = "com.tolvik.orlith.mac";
  static constexpr std::string_view kMainWindowTitle = "Orlith";

  struct Dependencies {
    SessionStore& store;
    AppearanceSettings& appearance;
    Preferences& preferences;
    DesktopDiagnostics& diagnostics;
    UpdateClient& updates;
  };

  explicit OrlithMacApp(Dependencies dependencies);
  OrlithMacApp(const OrlithMacApp&) = delete;
  OrlithMacApp& operator=(const OrlithMacApp&) = delete;

  // Runs each time a main window's content is shown, after its root view's own first
  // appearance. Idempotent apart from the appearance and the update client's start.
  void handleWindowAppear();

  // The stored raw appearance as the application applies it; any other text follows the system.
  static AppAppearance applicationAppearance(std::string_view raw);
  // Whether the bundle says the same identifier the program runs under (a missing bundle
  // identifier, as outside the bundle, is no contradiction).
  static bool isBundleIdentifierConsistent(const std::optional<std::string>& bundleIdentifier);
  // Whether the launch may restore a session, so the workspace's web process is worth starting
  // before the keyring answers: not after the person signed out.
  static bool expectsStoredSession(const Preferences& preferences);

 private:
  SessionStore& store_;
  AppearanceSettings& appearance_;
  DesktopDiagnostics& diagnostics_;
  UpdateClient& updates_;
  // Every writer of the stored choice takes effect at once, also with no main window open.
  ScopedConnection preferenceChanged_;
};

}  // namespace orlith
