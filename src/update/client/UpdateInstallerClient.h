// The app's side of the installer service: the four calls with their time-outs, replies and
// connection failures turned into results or UpdateFailure, and whether the service ships in
// the bundle at all. Main thread only; the blocking work runs on workers.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "base/Task.h"
#include "update/client/UpdateInstallerConnection.h"
#include "update/client/UpdateInstalling.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateTeam.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

class UpdateInstallerClient final : public UpdateInstalling,
                                    public std::enable_shared_from_this<UpdateInstallerClient> {
 public:
  static constexpr std::chrono::seconds kPrepareTimeout{240};
  static constexpr std::chrono::seconds kInstallTimeout{300};
  static constexpr std::chrono::seconds kCancelTimeout{15};
  // How long after a lost connection a committed update may still run: the updater's wait for
  // the app's exit after "Prepared", and a margin. A commit always follows "Prepared", and the
  // loss follows the commit, so once this has passed from the loss nothing can install.
  static constexpr std::chrono::seconds kLostCommitWindow{125};

  static constexpr const char* kUnavailableInBuild =
      "The signed update installer is unavailable in this build.";
  static constexpr const char* kUnavailable = "The update installer is unavailable.";
  static constexpr const char* kCouldNotStart = "The update installer could not be started.";
  static constexpr const char* kInterrupted =
      "The update installer was interrupted. Please try again.";
  static constexpr const char* kTimedOut = "The update installer timed out. Please try again.";
  static constexpr const char* kDisconnected =
      "The update installer disconnected. Please check again.";

  UpdateInstallerClient(std::unique_ptr<UpdateInstallerConnector> connector, const Clock& clock,
                        std::uint64_t packageLimit = update_wire::kMaximumPackageSize);

  // The app's own seal checked on a worker, then a client that starts the service from the main
  // bundle on its first call. Throws UpdateFailure(kUnavailableInBuild) without contacting any
  // process.
  static Task<std::shared_ptr<UpdateInstallerClient>> connect(const Clock& clock);
  // Whether the service bundle is inside the running app; its seal is not checked.
  static bool isInstallerBundled();
  static bool isInstallerBundled(const std::filesystem::path& application);

  Task<std::string> prepare(std::filesystem::path packageURL,
                            VerifiedUpdateRelease release) override;
  Task<std::string> prepareCurrentApplication() override;
  Task<void> install(std::string token) override;
  Task<bool> cancel(std::string token) override;

  bool lostConnection() const { return lostAt_.has_value(); }

 private:
  // The connection, started on first use. Throws UpdateFailure(kCouldNotStart) when refused.
  Task<std::shared_ptr<UpdateInstallerConnection>> connection();
  // Reads the channel's state; a newly noticed loss is stamped and the service reaped.
  bool noticeLoss();
  // The failure for a call that got no answer: a send the service did not take in time, or no
  // reply in time, is a time-out; a connection that ended is an interruption.
  UpdateFailure unansweredFailure(UpdateInstallerConnection::CallEnd end);
  Task<std::string> prepareWith(std::optional<std::string> package, std::string manifest,
                                const char* fallback);

  std::unique_ptr<UpdateInstallerConnector> connector_;
  const Clock& clock_;
  std::uint64_t packageLimit_;
  std::shared_ptr<UpdateInstallerConnection> connection_;
  std::optional<std::chrono::steady_clock::time_point> lostAt_;
  bool installSent_ = false;
};

}  // namespace orlith
