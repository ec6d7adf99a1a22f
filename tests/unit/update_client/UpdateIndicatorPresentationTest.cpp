// What the indicator and the panel show over every stage, and which indicator opens the panel.
#include <gtest/gtest.h>

#include "update/client/UpdateIndicatorPresentation.h"

namespace orlith {
namespace {

using S = UpdateStage;

UpdateSnapshot snapshot(S stage, bool initial = false, long progress = 0) {
  UpdateSnapshot value;
  value.stage = stage;
  value.isInitialInstallation = initial;
  value.progress = progress;
  return value;
}

std::string identity(std::string_view key) {
  return std::string(key);
}

TEST(UpdateIndicatorPresentationTest, TintAndStatusOverEveryStage) {
  const struct {
    S stage;
    bool initial;
    bool accent;
    const char* status;
  } rows[] = {
      {S::idle, false, false, "Orlith updates"},
      {S::checking, false, false, "Checking for updates"},
      {S::downloading, false, false, "Downloading update 42%"},
      {S::verifying, false, false, "Verifying update"},
      {S::verifying, true, false, "Preparing installation"},
      {S::ready, false, true, "Ready to update"},
      {S::ready, true, false, "Ready to install"},
      {S::upToDate, false, false, "You're up to date"},
      {S::failed, false, false, "Couldn't update Orlith"},
      {S::manual, false, true, "Ready to install"},
      {S::manual, true, false, "Ready to install"},
      {S::restarting, false, false, "Restarting Orlith"},
      {S::restarting, true, false, "Installing Orlith"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(rawValue(row.stage)) + (row.initial ? " initial" : ""));
    const auto presentation = indicatorPresentation(snapshot(row.stage, row.initial, 42));
    EXPECT_EQ(presentation.tint,
              row.accent ? UpdateIndicatorTint::accent : UpdateIndicatorTint::secondary);
    EXPECT_EQ(indicatorStatusText(presentation, &identity), row.status);
  }
}

TEST(UpdateIndicatorPresentationTest, DownloadPercentIsClampedOnlyForShow) {
  const struct {
    long progress;
    const char* status;
  } rows[] = {{150, "Downloading update 100%"},
              {-3, "Downloading update 0%"},
              {0, "Downloading update 0%"},
              {100, "Downloading update 100%"}};
  for (const auto& row : rows) {
    const UpdateSnapshot value = snapshot(S::downloading, false, row.progress);
    EXPECT_EQ(indicatorStatusText(indicatorPresentation(value), &identity), row.status);
    EXPECT_EQ(value.progress, row.progress);
  }
  // The translation applies to the title; the percent stays as it is.
  auto shout = [](std::string_view key) { return std::string(key) + "!"; };
  EXPECT_EQ(indicatorStatusText(indicatorPresentation(snapshot(S::downloading, false, 7)), shout),
            "Downloading update! 7%");
}

TEST(UpdatePanelPresentationTest, ControlsOverEveryStage) {
  const struct {
    S stage;
    bool enabled;
    bool later;
    bool progress;
    bool detail;
  } rows[] = {
      {S::idle, true, false, false, false},        {S::checking, false, false, false, false},
      {S::downloading, false, false, true, true},  {S::verifying, false, false, false, true},
      {S::ready, true, true, false, true},         {S::upToDate, true, false, false, false},
      {S::failed, true, false, false, true},       {S::manual, true, false, false, true},
      {S::restarting, false, false, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(rawValue(row.stage));
    const UpdateSnapshot value = snapshot(row.stage);
    const PanelPresentation panel = panelPresentation(value, "2.0.0");
    EXPECT_EQ(panel.primaryEnabled, row.enabled);
    EXPECT_EQ(panel.laterVisible, row.later);
    EXPECT_EQ(panel.primaryHelpIsDetail, row.later);
    EXPECT_EQ(panel.progressVisible, row.progress);
    EXPECT_EQ(panel.detailVisible, row.detail);
    EXPECT_EQ(panel.headingKey, value.title());
    EXPECT_EQ(panel.detailKey, value.detail());
    EXPECT_EQ(panel.primaryTitleKey, value.primaryActionTitle());
    EXPECT_EQ(panelFocusTarget(panel),
              row.later ? PanelFocusTarget::later : PanelFocusTarget::closeButton);
    EXPECT_FALSE(panel.error.has_value());
  }
}

TEST(UpdatePanelPresentationTest, ProgressVersionAndError) {
  UpdateSnapshot value = snapshot(S::downloading, false, 250);
  PanelPresentation panel = panelPresentation(value, "2.0.0");
  EXPECT_EQ(panel.progressValue, 100);
  EXPECT_EQ(panel.percentText, "100%");
  EXPECT_EQ(panel.version, "2.0.0");
  EXPECT_EQ(panelPresentation(snapshot(S::downloading, false, -9), "1.0").percentText, "0%");

  value = snapshot(S::ready);
  value.version = "2.1.0";
  value.error = "Finish your downloads before restarting Orlith.";
  panel = panelPresentation(value, "2.0.0");
  EXPECT_EQ(panel.version, "2.1.0");
  EXPECT_EQ(panel.error, value.error);
  // An empty error is still an error line; only an absent one hides it.
  value.error = "";
  EXPECT_EQ(panelPresentation(value, "2.0.0").error, std::optional<std::string>(""));
}

TEST(UpdatePanelPresentationTest, HeadingChangesAnnouncedOnlyWhileShown) {
  PanelHeadingTracker tracker;
  EXPECT_TRUE(tracker.apply("Orlith updates", false));
  EXPECT_TRUE(tracker.apply("Checking for updates", false));
  EXPECT_EQ(tracker.announcements(), 0u);
  EXPECT_TRUE(tracker.apply("Downloading update", true));
  EXPECT_FALSE(tracker.apply("Downloading update", true));  // progress alone
  EXPECT_EQ(tracker.announcements(), 1u);
  EXPECT_TRUE(tracker.apply("Ready to update", true));
  EXPECT_EQ(tracker.announcements(), 2u);
}

TEST(UpdateIndicatorPresentationTest, PanelOpensOnActiveThenMainThenFirstShownIndicator) {
  using C = IndicatorCandidate;
  const C hidden{false, true, true};
  const C background{true, false, false};
  const C main{true, false, true};
  const C active{true, true, false};
  const struct {
    std::vector<C> candidates;
    std::optional<std::size_t> chosen;
  } rows[] = {
      {{}, std::nullopt},        {{hidden, hidden}, std::nullopt},
      {{background, active}, 1}, {{main, background, active}, 2},
      {{background, main}, 1},   {{hidden, background, background}, 1},
  };
  for (const auto& row : rows)
    EXPECT_EQ(indicatorForPanel(row.candidates), row.chosen);
}

}  // namespace
}  // namespace orlith
