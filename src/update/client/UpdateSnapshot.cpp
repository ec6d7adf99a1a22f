// Stage raw values and the presentation table of an update snapshot.
#include "update/client/UpdateSnapshot.h"

namespace orlith {
namespace {

constexpr std::string_view kSaveWorkBeforeContinuing =
    "Save your work before continuing. Unsaved edits and active downloads may be interrupted. "
    "Your sign-in and saved tab locations are kept.";
constexpr std::string_view kKeepWorking = "You can keep working.";

}  // namespace

std::string_view rawValue(UpdateStage stage) {
  switch (stage) {
    case UpdateStage::idle:
      return "idle";
    case UpdateStage::checking:
      return "checking";
    case UpdateStage::downloading:
      return "downloading";
    case UpdateStage::verifying:
      return "verifying";
    case UpdateStage::ready:
      return "ready";
    case UpdateStage::upToDate:
      return "upToDate";
    case UpdateStage::failed:
      return "failed";
    case UpdateStage::manual:
      return "manual";
    case UpdateStage::restarting:
      return "restarting";
  }
  return "idle";
}

std::optional<UpdateStage> updateStageFromRaw(std::string_view raw) {
  for (const UpdateStage stage : kAllUpdateStages) {
    if (rawValue(stage) == raw)
      return stage;
  }
  return std::nullopt;
}

std::string_view UpdateSnapshot::title() const {
  switch (stage) {
    case UpdateStage::idle:
      return "Orlith updates";
    case UpdateStage::checking:
      return "Checking for updates";
    case UpdateStage::downloading:
      return "Downloading update";
    case UpdateStage::verifying:
      return isInitialInstallation ? "Preparing installation" : "Verifying update";
    case UpdateStage::ready:
      return isInitialInstallation ? "Ready to install" : "Ready to update";
    case UpdateStage::upToDate:
      return "You're up to date";
    case UpdateStage::failed:
      return "Couldn't update Orlith";
    case UpdateStage::manual:
      return "Ready to install";
    case UpdateStage::restarting:
      return isInitialInstallation ? "Installing Orlith" : "Restarting Orlith";
  }
  return "Orlith updates";
}

std::string_view UpdateSnapshot::detail() const {
  switch (stage) {
    case UpdateStage::idle:
    case UpdateStage::checking:
    case UpdateStage::upToDate:
    case UpdateStage::restarting:
      return "";
    case UpdateStage::downloading:
      return kKeepWorking;
    case UpdateStage::verifying:
      return isInitialInstallation ? kSaveWorkBeforeContinuing : kKeepWorking;
    case UpdateStage::ready:
      return isInitialInstallation ? kSaveWorkBeforeContinuing
                                   : "Save your work before restarting.";
    case UpdateStage::failed:
      return "Please try again in a moment.";
    case UpdateStage::manual:
      return manualAction == UpdateManualAction::revealApplication
                 ? "This copy cannot be installed automatically. Reveal Orlith in Files and copy "
                   "it to Applications, then open the installed copy."
                 : "This copy cannot be installed automatically. Open the verified installer and "
                   "follow its installation instructions.";
  }
  return "";
}

std::string_view UpdateSnapshot::primaryActionTitle() const {
  switch (stage) {
    case UpdateStage::idle:
      return "Check for updates";
    case UpdateStage::checking:
      return "Checking\u2026";
    case UpdateStage::downloading:
      return "Downloading\u2026";
    case UpdateStage::verifying:
      return isInitialInstallation ? "Preparing\u2026" : "Verifying\u2026";
    case UpdateStage::ready:
      return isInitialInstallation ? "Install & Open" : "Restart & update";
    case UpdateStage::upToDate:
      return "Check again";
    case UpdateStage::failed:
      return "Try again";
    case UpdateStage::manual:
      return manualAction == UpdateManualAction::revealApplication ? "Reveal in Files"
                                                                   : "Open installer";
    case UpdateStage::restarting:
      return isInitialInstallation ? "Installing\u2026" : "Restarting\u2026";
  }
  return "Check for updates";
}

}  // namespace orlith
