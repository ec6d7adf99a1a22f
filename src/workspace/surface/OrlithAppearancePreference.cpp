// The appearance choice and its adoption of the page's theme.
#include "workspace/surface/OrlithAppearancePreference.h"

#include <exception>
#include <utility>

namespace orlith {
namespace {

AppAppearance appAppearanceOf(OrlithAppearancePreference preference) {
  switch (preference) {
    case OrlithAppearancePreference::light:
      return AppAppearance::light;
    case OrlithAppearancePreference::dark:
      return AppAppearance::dark;
    case OrlithAppearancePreference::system:
      break;
  }
  return AppAppearance::system;
}

}  // namespace

std::string_view rawValue(OrlithAppearancePreference preference) {
  switch (preference) {
    case OrlithAppearancePreference::light:
      return "light";
    case OrlithAppearancePreference::dark:
      return "dark";
    case OrlithAppearancePreference::system:
      break;
  }
  return "system";
}

std::optional<OrlithAppearancePreference> appearancePreferenceFromRaw(std::string_view raw) {
  for (OrlithAppearancePreference preference : kAllAppearancePreferences) {
    if (rawValue(preference) == raw)
      return preference;
  }
  return std::nullopt;
}

AppearanceSettings::AppearanceSettings(Preferences& preferences, AppearanceEnvironment& environment)
    : preferences_(preferences), environment_(environment), lastResolvedIsDark_(resolvedIsDark()) {
  preferenceChanged_ = preferences_.changed().connect([this](const std::string& key) {
    if (key == kPreferenceKey && !settingPreference_)
      recheckResolved();
  });
  systemChanged_ = environment_.systemAppearanceChanged().connect([this] { recheckResolved(); });
}

void AppearanceSettings::recheckResolved() {
  const bool dark = resolvedIsDark();
  if (dark == lastResolvedIsDark_)
    return;
  lastResolvedIsDark_ = dark;
  resolvedAppearanceChanged_.emit();
}

OrlithAppearancePreference AppearanceSettings::preference() const {
  auto raw = preferences_.string(std::string(kPreferenceKey));
  if (!raw)
    return OrlithAppearancePreference::system;
  return appearancePreferenceFromRaw(*raw).value_or(OrlithAppearancePreference::system);
}

void AppearanceSettings::setPreference(OrlithAppearancePreference preference) {
  // Observers hear of the change once the windows have taken it too.
  {
    const bool wasSetting = std::exchange(settingPreference_, true);
    try {
      preferences_.setString(std::string(kPreferenceKey), std::string(rawValue(preference)));
    } catch (...) {
      settingPreference_ = wasSetting;
      throw;
    }
    settingPreference_ = wasSetting;
  }
  environment_.setAppAppearance(appAppearanceOf(preference));
  recheckResolved();
}

void AppearanceSettings::apply() {
  environment_.setAppAppearance(appAppearanceOf(preference()));
}

bool AppearanceSettings::resolvedIsDark() const {
  switch (preference()) {
    case OrlithAppearancePreference::light:
      return false;
    case OrlithAppearancePreference::dark:
      return true;
    case OrlithAppearancePreference::system:
      break;
  }
  return environment_.systemIsDark();
}

void AppearanceSettings::adoptWebTheme(PageTheme theme) {
  const bool reportsDark = theme == PageTheme::dark;
  if (preference() == OrlithAppearancePreference::system &&
      environment_.systemIsDark() == reportsDark) {
    return;
  }
  try {
    setPreference(reportsDark ? OrlithAppearancePreference::dark
                              : OrlithAppearancePreference::light);
  } catch (const std::exception&) {
    // A page's report must not end the program. The choice is stored before it is applied,
    // so a failed write leaves the stored choice and the screen as they were.
  }
}

}  // namespace orlith
