// The user's appearance choice ("orlith.appearance"), what it resolves to, and the adoption
// of the theme that the workspace page reports.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/Observable.h"
#include "base/Preferences.h"
#include "workspace/surface/AppearanceEnvironment.h"
#include "workspace/surface/PageTheme.h"

namespace orlith {

enum class OrlithAppearancePreference { system, light, dark };

inline constexpr std::array<OrlithAppearancePreference, 3> kAllAppearancePreferences = {
    OrlithAppearancePreference::system, OrlithAppearancePreference::light,
    OrlithAppearancePreference::dark};

std::string_view rawValue(OrlithAppearancePreference preference);
std::optional<OrlithAppearancePreference> appearancePreferenceFromRaw(std::string_view raw);

// Reads and writes the preference through the Preferences port and applies it to the
// AppearanceEnvironment. Main thread only.
class AppearanceSettings {
 public:
  static constexpr std::string_view kPreferenceKey = "orlith.appearance";

  AppearanceSettings(Preferences& preferences, AppearanceEnvironment& environment);
  AppearanceSettings(const AppearanceSettings&) = delete;
  AppearanceSettings& operator=(const AppearanceSettings&) = delete;

  // The stored value; missing, not text or unknown text reads as system.
  OrlithAppearancePreference preference() const;
  // Stores the choice and applies it.
  void setPreference(OrlithAppearancePreference preference);
  // Sets the app's appearance from the stored choice.
  void apply();

  // Whether the appearance in force is dark: the choice, or the desktop's state for system.
  bool resolvedIsDark() const;
  PageTheme resolvedPageTheme() const {
    return resolvedIsDark() ? PageTheme::dark : PageTheme::light;
  }

  // The page reported `theme`. Nothing happens when the choice is system and the screen
  // already shows that theme; otherwise the theme becomes the stored choice and is applied.
  void adoptWebTheme(PageTheme theme);

  AppearanceEnvironment& environment() const { return environment_; }

  // Emitted once after resolvedIsDark() changed, whether the stored choice or the desktop's state
  // changed it; a change that leaves the result as it was emits nothing.
  ChangeSignal& resolvedAppearanceChanged() { return resolvedAppearanceChanged_; }

 private:
  void recheckResolved();

  Preferences& preferences_;
  AppearanceEnvironment& environment_;
  bool lastResolvedIsDark_;
  bool settingPreference_ = false;
  ChangeSignal resolvedAppearanceChanged_;
  ScopedConnection preferenceChanged_;
  ScopedConnection systemChanged_;
};

}  // namespace orlith
