// The application's launch and reopen rules: whether the running copy sits in an Applications
// folder, the offer to install it there and the one decision handed to the update client per
// launch, and which windows a reopen brings forward. Main thread only.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Preferences.h"
#include "update/trust/UpdateLocations.h"

namespace orlith {

class UpdateClient;

// The offer's texts, already looked up in the string table.
struct InstallOffer {
  bool installerAvailable = false;
  std::string messageText;
  std::string informativeText;
  std::string firstButton;
  std::string secondButton;
  // The "Don't remind me again" box; absent for a translocated copy.
  std::optional<std::string> suppressionTitle;
};

// How the offer closed. Escape and a window-manager close count as continuing.
enum class InstallOfferResponse { firstButton, continueAnyway };

struct ReopenWindow {
  enum class Kind { main, settings, other };
  Kind kind = Kind::main;
  // Open, as opposed to hidden (a closed settings window stays in the toolkit's list).
  bool visible = true;
  bool minimized = false;
};

struct ReopenPlan {
  // Indexes into the list handed in, in the order to present them.
  std::vector<std::size_t> present;
  bool openWindow = false;
  friend bool operator==(const ReopenPlan&, const ReopenPlan&) = default;
};

class AppDelegate {
 public:
  static constexpr const char* kDismissedReminderKey = "orlith.dismissedApplicationsReminder";

  // Shows the offer, transient for the first window, and calls `done` once with the answer
  // and the state of the check box (false when there is none).
  using PresentOffer = std::function<void(const InstallOffer&,
                                          std::function<void(InstallOfferResponse, bool)> done)>;

  struct Dependencies {
    UpdateClient& updates;
    Preferences& preferences;
    // The running bundle; none for a program outside one, which has nothing to install.
    std::optional<std::filesystem::path> bundlePath;
    const UpdateLocations& locations;
    PresentOffer presentOffer;
    // Shows the bundle in the file manager.
    std::function<void(const std::filesystem::path&)> revealInFiles;
  };

  explicit AppDelegate(Dependencies dependencies);

  // At start-up, before any window: marks the client's first-installation decision pending
  // when the copy is not in an Applications folder.
  void noteInstallLocation();
  // One turn after launching: offers (or not) and hands the answer to the client. The client
  // hears exactly one decision per launch, whatever path the offer takes.
  void deliverInstallDecision();
  bool hasDeliveredDecision() const { return delivered_; }

  // The offer this launch would show, or none.
  std::optional<InstallOffer> installOffer() const;
  // Records the check box and acts on the answer; returns whether to install.
  bool decide(const InstallOffer& offer, InstallOfferResponse response, bool suppress);

  bool isStandardLocation() const;
  static bool isTranslocated(const std::filesystem::path& bundle);

  // `windows` oldest first. Every open, not minimized main or settings window is presented, the
  // newest last; with no open main window one is opened.
  static ReopenPlan planReopen(const std::vector<ReopenWindow>& windows);

 private:
  void complete(bool install);

  UpdateClient& updates_;
  Preferences& preferences_;
  std::optional<std::filesystem::path> bundlePath_;
  const UpdateLocations& locations_;
  PresentOffer presentOffer_;
  std::function<void(const std::filesystem::path&)> revealInFiles_;
  bool delivered_ = false;
  bool offering_ = false;
};

}  // namespace orlith
