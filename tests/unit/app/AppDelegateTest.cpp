// The offer to install into Applications: when it shows, its texts and check box, the stored
// reminder flag, and the one decision per launch; and which windows a reopen brings forward.
#include "app/AppDelegate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/TemporaryDirectory.h"
#include "unit/app/AppFixture.h"
#include "unit/update/FakeUserDatabase.h"

namespace orlith {
namespace {

using std::filesystem::path;

class AppDelegateTest : public ::testing::Test, protected testing::AppFixture {
 protected:
  AppDelegateTest() {
    for (const char* folder :
         {"opt/Applications/Orlith.app", "home/ada/Applications/Orlith.app",
          "home/ada/Downloads/Orlith.app", "private/var/AppTranslocation/X/d/Orlith.app"})
      std::filesystem::create_directories(tree() / folder);
    std::filesystem::create_directory_symlink(tree() / "opt", tree() / "linked-opt");
  }

  path tree() const { return temporary.path(); }

  struct Shown {
    InstallOffer offer;
    std::function<void(InstallOfferResponse, bool)> done;
  };

  AppDelegate makeDelegate(std::optional<path> bundle) {
    return AppDelegate(
        {updates, preferences, std::move(bundle), locations,
         [this](const InstallOffer& offer, std::function<void(InstallOfferResponse, bool)> done) {
           shown.push_back({offer, std::move(done)});
         },
         [this](const path& bundle) { revealed.push_back(bundle); }});
  }

  TemporaryDirectory temporary;
  UpdateLocations locations =
      test::testLocations(temporary.path(), 1000, (temporary.path() / "home/ada").string());
  std::vector<Shown> shown;
  std::vector<path> revealed;
};

TEST_F(AppDelegateTest, StandardLocationsShowNothingAndStillDeliverFalseOnce) {
  for (const std::optional<path>& bundle :
       {std::optional<path>(tree() / "opt/Applications/Orlith.app"),
        std::optional<path>(tree() / "home/ada/Applications/Orlith.app"), std::optional<path>()}) {
    updates.decisions.clear();
    AppDelegate delegate = makeDelegate(bundle);
    delegate.noteInstallLocation();
    EXPECT_FALSE(updates.pending);
    delegate.deliverInstallDecision();
    delegate.deliverInstallDecision();
    EXPECT_EQ(updates.decisions, std::vector<bool>{false});
  }
  EXPECT_TRUE(shown.empty());
}

TEST_F(AppDelegateTest, TheOfferAndItsAnswers) {
  const path downloads = tree() / "home/ada/Downloads/Orlith.app";
  const path linked = tree() / "linked-opt/Applications/Orlith.app";
  const path translocated = tree() / "private/var/AppTranslocation/X/d/Orlith.app";
  struct Case {
    const char* name;
    path bundle;
    bool dismissed;
    bool installer;
    // Nothing: no offer is shown.
    std::optional<InstallOfferResponse> response;
    bool tick;
    bool checkBox;
    std::vector<bool> decisions;
    bool dismissedAfter;
    bool reveals;
  } cases[] = {
      {"return continues",
       downloads,
       false,
       true,
       InstallOfferResponse::continueAnyway,
       false,
       true,
       {false},
       false,
       false},
      {"ticked and continue",
       downloads,
       false,
       true,
       InstallOfferResponse::continueAnyway,
       true,
       true,
       {false},
       true,
       false},
      {"install",
       downloads,
       false,
       true,
       InstallOfferResponse::firstButton,
       false,
       true,
       {true},
       false,
       false},
      {"ticked and install",
       downloads,
       false,
       true,
       InstallOfferResponse::firstButton,
       true,
       true,
       {true},
       true,
       false},
      {"reached through a link",
       linked,
       false,
       true,
       InstallOfferResponse::firstButton,
       false,
       true,
       {true},
       false,
       false},
      {"dismissed before", downloads, true, true, std::nullopt, false, false, {false}, true, false},
      {"translocated after dismissal",
       translocated,
       true,
       true,
       InstallOfferResponse::continueAnyway,
       false,
       false,
       {false},
       true,
       false},
      {"no installer: reveal",
       downloads,
       false,
       false,
       InstallOfferResponse::firstButton,
       false,
       true,
       {false},
       false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shown.clear();
    revealed.clear();
    updates = {};
    updates.installerBundled = c.installer;
    preferences.remove(AppDelegate::kDismissedReminderKey);
    if (c.dismissed)
      preferences.setBoolean(AppDelegate::kDismissedReminderKey, true);

    AppDelegate delegate = makeDelegate(c.bundle);
    delegate.noteInstallLocation();
    EXPECT_TRUE(updates.pending);
    delegate.deliverInstallDecision();
    if (c.response) {
      ASSERT_EQ(shown.size(), 1u);
      const InstallOffer& offer = shown[0].offer;
      EXPECT_EQ(offer.messageText, "Install Orlith in Applications");
      EXPECT_EQ(offer.firstButton, c.installer ? "Install & Open" : "Reveal in Files");
      EXPECT_EQ(offer.secondButton, "Continue Anyway");
      EXPECT_EQ(offer.suppressionTitle.has_value(), c.checkBox);
      EXPECT_TRUE(offer.informativeText.ends_with(
          "\n\nSave your work before continuing. Unsaved edits and active downloads may be "
          "interrupted. Your sign-in and saved tab locations are kept."));
      EXPECT_EQ(offer.informativeText.starts_with("The signed installer is unavailable"),
                !c.installer);
      EXPECT_TRUE(updates.decisions.empty()) << "not before the answer";
      shown[0].done(*c.response, c.tick);
      shown[0].done(*c.response, c.tick);  // a second close changes nothing
    } else {
      EXPECT_TRUE(shown.empty());
    }
    EXPECT_EQ(updates.decisions, c.decisions);
    EXPECT_FALSE(updates.pending);
    EXPECT_EQ(preferences.boolean(AppDelegate::kDismissedReminderKey).value_or(false),
              c.dismissedAfter);
    EXPECT_EQ(revealed, c.reveals ? std::vector<path>{c.bundle} : std::vector<path>{});
  }
}

TEST_F(AppDelegateTest, NoOfferWhileTheDismissalIsStoredAndAFailedWriteOffersAgain) {
  const path downloads = tree() / "home/ada/Downloads/Orlith.app";
  {
    AppDelegate first = makeDelegate(downloads);
    first.deliverInstallDecision();
    ASSERT_EQ(shown.size(), 1u);
    preferences.setFailWrites(true);
    shown[0].done(InstallOfferResponse::continueAnyway, true);
    preferences.setFailWrites(false);
  }
  AppDelegate second = makeDelegate(downloads);
  EXPECT_TRUE(second.installOffer().has_value());
}

TEST(AppDelegateTranslocation, OnlyTheTranslocationFolderCounts) {
  EXPECT_TRUE(AppDelegate::isTranslocated("/private/var/folders/AppTranslocation/1/d/Orlith.app"));
  EXPECT_FALSE(AppDelegate::isTranslocated("/home/ada/Downloads/Orlith.app"));
}

TEST(AppDelegateReopen, PresentsOpenMainAndSettingsWindowsOldestFirst) {
  using Kind = ReopenWindow::Kind;
  struct Case {
    const char* name;
    std::vector<ReopenWindow> windows;
    ReopenPlan plan;
  } cases[] = {
      {"no window", {}, {{}, true}},
      {"two main windows", {{Kind::main}, {Kind::main}}, {{0, 1}, false}},
      {"minimized stays", {{Kind::main, true, true}, {Kind::main}}, {{1}, false}},
      {"all minimized", {{Kind::main, true, true}, {Kind::main, true, true}}, {{}, false}},
      {"closed settings and a hidden panel stay hidden",
       {{Kind::settings, false}, {Kind::other, true}, {Kind::main}},
       {{2}, false}},
      {"open settings only", {{Kind::settings}}, {{0}, true}},
      {"closed main windows only", {{Kind::main, false}}, {{}, true}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AppDelegate::planReopen(c.windows), c.plan) << c.name;
}

}  // namespace
}  // namespace orlith
