#include "app/OrlithMacApp.h"

#include "base/Task.h"
#include "session/SessionVault.h"

namespace orlith {

OrlithMacApp::OrlithMacApp(Dependencies dependencies)
    : store_(dependencies.store),
      appearance_(dependencies.appearance),
      diagnostics_(dependencies.diagnostics),
      updates_(dependencies.updates) {
  preferenceChanged_ = dependencies.preferences.changed().connect([this](const std::string& key) {
    if (key == AppearanceSettings::kPreferenceKey)
      appearance_.apply();
  });
}

void OrlithMacApp::handleWindowAppear() {
  appearance_.apply();
  if (!store_.didBootstrap()) {
    // Set before the restore starts and never cleared.
    store_.markBootstrapped();
    startDetached(store_.restoreStoredSession());
    diagnostics_.send("app_started");
  }
  updates_.start();
}

AppAppearance OrlithMacApp::applicationAppearance(std::string_view raw) {
  if (raw == "light")
    return AppAppearance::light;
  if (raw == "dark")
    return AppAppearance::dark;
  return AppAppearance::system;
}

bool OrlithMacApp::expectsStoredSession(const Preferences& preferences) {
  return !SessionVault::isExplicitlySignedOut(preferences);
}

bool OrlithMacApp::isBundleIdentifierConsistent(
    const std::optional<std::string>& bundleIdentifier) {
  return !bundleIdentifier || *bundleIdentifier == kApplicationId;
}

}  // namespace orlith
