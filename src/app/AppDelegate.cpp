// The install offer and the reopen plan.
#include "app/AppDelegate.h"

#include <exception>
#include <utility>

#include "app/UpdateClient.h"
#include "base/LocalizedStrings.h"
#include "update/trust/UpdateInstallationLocation.h"

namespace orlith {

AppDelegate::AppDelegate(Dependencies dependencies)
    : updates_(dependencies.updates),
      preferences_(dependencies.preferences),
      bundlePath_(std::move(dependencies.bundlePath)),
      locations_(dependencies.locations),
      presentOffer_(std::move(dependencies.presentOffer)),
      revealInFiles_(std::move(dependencies.revealInFiles)) {}

bool AppDelegate::isStandardLocation() const {
  // A program outside a bundle (a test program) has no copy to move.
  if (!bundlePath_)
    return true;
  return UpdateInstallationLocation::isStandardApplication(*bundlePath_, locations_);
}

bool AppDelegate::isTranslocated(const std::filesystem::path& bundle) {
  return bundle.string().find("/AppTranslocation/") != std::string::npos;
}

void AppDelegate::noteInstallLocation() {
  if (!isStandardLocation())
    updates_.setInitialDecisionPending(true);
}

std::optional<InstallOffer> AppDelegate::installOffer() const {
  if (isStandardLocation())
    return std::nullopt;
  const bool translocated = isTranslocated(*bundlePath_);
  const bool dismissed = preferences_.boolean(kDismissedReminderKey).value_or(false);
  if (dismissed && !translocated)
    return std::nullopt;
  InstallOffer offer;
  offer.installerAvailable = updates_.isInstallerBundled();
  offer.messageText = localizedString("Install Orlith in Applications");
  const std::string first =
      offer.installerAvailable
          ? localizedString(
                "Orlith will install this copy in Applications and open it. If a newer copy is "
                "already installed, Orlith will open that copy.")
          : localizedString(
                "The signed installer is unavailable in this build. Install Orlith manually from "
                "the downloaded archive.");
  offer.informativeText =
      first + "\n\n" +
      localizedString(
          "Save your work before continuing. Unsaved edits and active downloads may be "
          "interrupted. Your sign-in and saved tab locations are kept.");
  offer.firstButton =
      localizedString(offer.installerAvailable ? "Install & Open" : "Reveal in Files");
  offer.secondButton = localizedString("Continue Anyway");
  if (!translocated)
    offer.suppressionTitle = localizedString("Don't remind me again");
  return offer;
}

bool AppDelegate::decide(const InstallOffer& offer, InstallOfferResponse response, bool suppress) {
  if (offer.suppressionTitle && suppress) {
    try {
      preferences_.setBoolean(kDismissedReminderKey, true);
    } catch (const std::exception&) {
      // Not remembered: the offer comes back at the next launch, which loses nothing.
    }
  }
  if (response != InstallOfferResponse::firstButton)
    return false;
  if (!offer.installerAvailable) {
    if (revealInFiles_ && bundlePath_)
      revealInFiles_(*bundlePath_);
    return false;
  }
  return true;
}

void AppDelegate::deliverInstallDecision() {
  if (delivered_ || offering_)
    return;
  auto offer = installOffer();
  if (!offer || !presentOffer_) {
    complete(false);
    return;
  }
  offering_ = true;
  presentOffer_(*offer, [this, offer = *offer](InstallOfferResponse response, bool suppress) {
    // A window that reports its close twice acts once.
    if (delivered_)
      return;
    complete(decide(offer, response, suppress));
  });
}

void AppDelegate::complete(bool install) {
  // A second answer from a window that closes twice changes nothing.
  if (delivered_)
    return;
  delivered_ = true;
  offering_ = false;
  updates_.completeInitialDecision(install);
}

ReopenPlan AppDelegate::planReopen(const std::vector<ReopenWindow>& windows) {
  ReopenPlan plan;
  bool anyMain = false;
  for (std::size_t index = 0; index < windows.size(); ++index) {
    const ReopenWindow& window = windows[index];
    if (!window.visible || window.kind == ReopenWindow::Kind::other)
      continue;
    if (window.kind == ReopenWindow::Kind::main)
      anyMain = true;
    if (!window.minimized)
      plan.present.push_back(index);
  }
  plan.openWindow = !anyMain;
  return plan;
}

}  // namespace orlith
