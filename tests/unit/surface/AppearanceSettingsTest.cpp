// The appearance choice, what it resolves to, and how the page's theme is adopted.
#include <gtest/gtest.h>

#include "support/FakePreferences.h"
#include "workspace/surface/OrlithAppearancePreference.h"
#include "workspace/surface/WorkspaceWebThemeSessionScope.h"

namespace orlith {
namespace {

class FakeAppearanceEnvironment final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return systemDark; }
  void setAppAppearance(AppAppearance appearance) override {
    applied.push_back(appearance);
    current = appearance;
  }
  AppAppearance appAppearance() const override { return current; }

  bool systemDark = false;
  AppAppearance current = AppAppearance::system;
  std::vector<AppAppearance> applied;
};

const std::string kKey = "orlith.appearance";

TEST(AppearanceSettingsTest, RawValuesInOrderAndUnknownReadsAsSystem) {
  std::vector<std::string_view> raw;
  for (auto preference : kAllAppearancePreferences)
    raw.push_back(rawValue(preference));
  EXPECT_EQ(raw, (std::vector<std::string_view>{"system", "light", "dark"}));
  EXPECT_EQ(appearancePreferenceFromRaw("Dark"), std::nullopt);

  FakePreferences preferences;
  FakeAppearanceEnvironment environment;
  AppearanceSettings settings(preferences, environment);
  EXPECT_EQ(settings.preference(), OrlithAppearancePreference::system);
  preferences.setString(kKey, "sepia");
  EXPECT_EQ(settings.preference(), OrlithAppearancePreference::system);
  preferences.setBoolean(kKey, true);
  EXPECT_EQ(settings.preference(), OrlithAppearancePreference::system);
  preferences.setString(kKey, "dark");
  EXPECT_EQ(settings.preference(), OrlithAppearancePreference::dark);
}

TEST(AppearanceSettingsTest, ResolvesChoiceOrDesktopState) {
  FakePreferences preferences;
  FakeAppearanceEnvironment environment;
  AppearanceSettings settings(preferences, environment);
  for (bool systemDark : {false, true}) {
    environment.systemDark = systemDark;
    EXPECT_EQ(settings.resolvedIsDark(), systemDark);
    preferences.setString(kKey, "light");
    EXPECT_FALSE(settings.resolvedIsDark());
    preferences.setString(kKey, "dark");
    EXPECT_EQ(settings.resolvedPageTheme(), PageTheme::dark);
    preferences.remove(kKey);
  }
}

struct AdoptCase {
  const char* name;
  std::optional<std::string> stored;
  bool systemDark;
  PageTheme reported;
  std::optional<std::string> storedAfter;
  std::vector<AppAppearance> applied;
};

class AdoptWebThemeTest : public ::testing::TestWithParam<AdoptCase> {};

TEST_P(AdoptWebThemeTest, SystemChoiceKeepsAMatchingThemeOtherwiseThemeBecomesTheChoice) {
  FakePreferences preferences;
  FakeAppearanceEnvironment environment;
  environment.systemDark = GetParam().systemDark;
  if (GetParam().stored)
    preferences.setString(kKey, *GetParam().stored);
  AppearanceSettings settings(preferences, environment);
  settings.adoptWebTheme(GetParam().reported);
  EXPECT_EQ(preferences.string(kKey), GetParam().storedAfter);
  EXPECT_EQ(environment.applied, GetParam().applied);
}

INSTANTIATE_TEST_SUITE_P(
    Adoptions, AdoptWebThemeTest,
    ::testing::Values(
        AdoptCase{"systemShowsSameTheme", std::nullopt, true, PageTheme::dark, std::nullopt, {}},
        AdoptCase{"systemShowsOtherTheme",
                  std::nullopt,
                  false,
                  PageTheme::dark,
                  "dark",
                  {AppAppearance::dark}},
        AdoptCase{"storedSystemShowsOther",
                  "system",
                  true,
                  PageTheme::light,
                  "light",
                  {AppAppearance::light}},
        AdoptCase{"unknownStoredCountsAsSystem", "sepia", false, PageTheme::light, "sepia", {}},
        AdoptCase{"lightChoiceReportedDark",
                  "light",
                  false,
                  PageTheme::dark,
                  "dark",
                  {AppAppearance::dark}},
        AdoptCase{"darkChoiceReportedDark",
                  "dark",
                  false,
                  PageTheme::dark,
                  "dark",
                  {AppAppearance::dark}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppearanceSettingsTest, FailedWriteOfAdoptedThemeChangesNothingAndDoesNotThrow) {
  FakePreferences preferences;
  FakeAppearanceEnvironment environment;
  AppearanceSettings settings(preferences, environment);
  preferences.setFailWrites(true);
  EXPECT_NO_THROW(settings.adoptWebTheme(PageTheme::dark));
  EXPECT_FALSE(preferences.string(kKey).has_value());
  EXPECT_TRUE(environment.applied.empty());
}

TEST(AppearanceSettingsTest, ApplyAndSetPreferenceSetTheAppAppearance) {
  FakePreferences preferences;
  FakeAppearanceEnvironment environment;
  AppearanceSettings settings(preferences, environment);
  settings.apply();
  settings.setPreference(OrlithAppearancePreference::light);
  EXPECT_EQ(preferences.string(kKey), "light");
  EXPECT_EQ(environment.applied,
            (std::vector<AppAppearance>{AppAppearance::system, AppAppearance::light}));
}

TEST(AppearanceSettingsTest, ResolvedChangeSignalFiresOnlyWhenLightOrDarkChanges) {
  FakePreferences preferences;
  FakeAppearanceEnvironment environment;
  AppearanceSettings settings(preferences, environment);
  std::vector<bool> heard;
  std::vector<AppAppearance> appliedWhenHeard;
  settings.resolvedAppearanceChanged().connect([&] {
    heard.push_back(settings.resolvedIsDark());
    appliedWhenHeard.push_back(environment.current);
  });

  settings.setPreference(OrlithAppearancePreference::light);  // light stays light
  EXPECT_TRUE(heard.empty());
  settings.setPreference(OrlithAppearancePreference::dark);
  EXPECT_EQ(appliedWhenHeard.back(), AppAppearance::dark) << "heard after it was applied";
  environment.systemDark = true;
  environment.systemAppearanceChanged().emit();                // the choice wins over the desktop
  settings.setPreference(OrlithAppearancePreference::system);  // the desktop is dark too
  EXPECT_EQ(heard, (std::vector<bool>{true}));

  environment.systemDark = false;
  environment.systemAppearanceChanged().emit();
  preferences.setString(kKey, "dark");  // written elsewhere
  preferences.setString("orlith.other", "x");
  preferences.remove(kKey);
  EXPECT_EQ(heard, (std::vector<bool>{true, false, true, false}));
}

using Advance = WorkspaceWebThemeSessionScope::Advance;

struct ScopeCase {
  const char* name;
  std::optional<std::string> email;
  std::int64_t revision;
  Advance expected;
};

class ThemeSessionScopeTest : public ::testing::TestWithParam<ScopeCase> {};

TEST_P(ThemeSessionScopeTest, AdvancesOnlyForSameAccountAndNoEarlierRevision) {
  WorkspaceWebThemeSessionScope scope(std::string(" Ada@Example.org\n"), 5);
  EXPECT_EQ(scope.advance(GetParam().email, GetParam().revision), GetParam().expected);
  EXPECT_EQ(scope.revision(),
            GetParam().expected == Advance::newRevision ? GetParam().revision : 5);
}

INSTANTIATE_TEST_SUITE_P(
    Scopes, ThemeSessionScopeTest,
    ::testing::Values(ScopeCase{"sameEverything", "ada@example.org", 5, Advance::sameRevision},
                      ScopeCase{"higherRevision", "ADA@example.org ", 6, Advance::newRevision},
                      ScopeCase{"lowerRevision", "ada@example.org", 4, Advance::refused},
                      ScopeCase{"otherAccount", "bob@example.org", 6, Advance::refused},
                      ScopeCase{"noAccount", std::nullopt, 6, Advance::refused}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ThemeSessionScopeTest, BothWithoutAccountCountAsTheSame) {
  WorkspaceWebThemeSessionScope scope(std::nullopt, 1);
  EXPECT_EQ(scope.advance(std::nullopt, 2), Advance::newRevision);
}

}  // namespace
}  // namespace orlith
