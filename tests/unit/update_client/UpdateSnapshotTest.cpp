// The presentation table of update snapshots, their equality and the stage raw values.
#include <gtest/gtest.h>

#include "update/client/UpdateSnapshot.h"

namespace orlith {
namespace {

constexpr const char* kSaveWork =
    "Save your work before continuing. Unsaved edits and active downloads may be interrupted. "
    "Your sign-in and saved tab locations are kept.";

TEST(UpdateSnapshotTest, TextsFollowStageFlagAndManualAction) {
  using S = UpdateStage;
  using A = UpdateManualAction;
  const struct {
    S stage;
    bool initial;
    A action;
    const char* title;
    const char* detail;
    const char* button;
  } rows[] = {
      {S::idle, true, A::revealApplication, "Orlith updates", "", "Check for updates"},
      {S::checking, true, A::openInstaller, "Checking for updates", "", "Checking\u2026"},
      {S::downloading, true, A::openInstaller, "Downloading update", "You can keep working.",
       "Downloading\u2026"},
      {S::verifying, false, A::openInstaller, "Verifying update", "You can keep working.",
       "Verifying\u2026"},
      {S::verifying, true, A::openInstaller, "Preparing installation", kSaveWork,
       "Preparing\u2026"},
      {S::ready, false, A::revealApplication, "Ready to update",
       "Save your work before restarting.", "Restart & update"},
      {S::ready, true, A::openInstaller, "Ready to install", kSaveWork, "Install & Open"},
      {S::upToDate, false, A::openInstaller, "You're up to date", "", "Check again"},
      {S::failed, true, A::revealApplication, "Couldn't update Orlith",
       "Please try again in a moment.", "Try again"},
      {S::manual, true, A::openInstaller, "Ready to install",
       "This copy cannot be installed automatically. Open the verified installer and follow its "
       "installation instructions.",
       "Open installer"},
      {S::manual, true, A::revealApplication, "Ready to install",
       "This copy cannot be installed automatically. Reveal Orlith in Files and copy it to "
       "Applications, then open the installed copy.",
       "Reveal in Files"},
      {S::restarting, false, A::openInstaller, "Restarting Orlith", "", "Restarting\u2026"},
      {S::restarting, true, A::openInstaller, "Installing Orlith", "", "Installing\u2026"},
  };
  for (const auto& row : rows) {
    UpdateSnapshot snapshot;
    snapshot.stage = row.stage;
    snapshot.isInitialInstallation = row.initial;
    snapshot.manualAction = row.action;
    snapshot.progress = 150;
    const std::string name(rawValue(row.stage));
    EXPECT_EQ(snapshot.title(), row.title) << name;
    EXPECT_EQ(snapshot.detail(), row.detail) << name;
    EXPECT_EQ(snapshot.primaryActionTitle(), row.button) << name;
    EXPECT_EQ(snapshot.isDownloading(), row.stage == S::downloading) << name;
    EXPECT_EQ(snapshot.isReady(), row.stage == S::ready) << name;
    EXPECT_EQ(snapshot.progress, 150) << "the snapshot never clamps";
  }
}

TEST(UpdateSnapshotTest, EqualityCoversEveryFieldAndRawValuesAreExact) {
  const UpdateSnapshot neutral;
  EXPECT_EQ(neutral.title(), "Orlith updates");
  EXPECT_EQ(neutral.detail(), "");
  UpdateSnapshot progressed = neutral;
  progressed.progress = -5;
  EXPECT_NE(progressed, neutral);
  UpdateSnapshot emptyError = neutral;
  emptyError.error = "";
  EXPECT_NE(emptyError, neutral);
  UpdateSnapshot same = neutral;
  EXPECT_EQ(same, neutral);

  for (const UpdateStage stage : kAllUpdateStages)
    EXPECT_EQ(updateStageFromRaw(rawValue(stage)), stage);
  EXPECT_EQ(updateStageFromRaw("upToDate"), UpdateStage::upToDate);
  EXPECT_EQ(updateStageFromRaw("UpToDate"), std::nullopt);
  EXPECT_EQ(updateStageFromRaw(""), std::nullopt);
}

}  // namespace
}  // namespace orlith
