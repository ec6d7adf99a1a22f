// The app's one update state machine: when to check, the road from check to download,
// verification and staging through the installer service, the staged installation held until
// the user restarts, the first installation of a copy started outside Applications, and every
// change published as one UpdateSnapshot. It reaches the network, files, the installer and the
// host application only through its injected dependencies. Main thread only.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "base/Observable.h"
#include "base/Scheduler.h"
#include "base/Task.h"
#include "base/Uuid.h"
#include "update/client/UpdateChecker.h"
#include "update/client/UpdateInstalling.h"
#include "update/client/UpdateSnapshot.h"

namespace orlith {

// What asking the application to quit gave. The toolkit's quit always returns: "quitting" means
// the process is on its way out, "refused" that something vetoed it.
enum class TerminateAnswer { quitting, refused };

struct UpdateCoordinatorDependencies {
  using DownloadProgress = std::function<void(int percent)>;

  std::function<Task<UpdateCheckResult>()> check;
  // The package on disk, matching the release's digest.
  std::function<Task<std::filesystem::path>(const VerifiedUpdateRelease&, DownloadProgress)>
      download;
  std::function<bool()> installerAvailable;
  // A fresh connection to the installer service.
  std::function<Task<std::shared_ptr<UpdateInstalling>>()> makeInstaller;
  std::function<bool()> hasActiveDownloads;
  std::function<void()> showPanel;
  // Opens the package with its default handler; false when that failed.
  std::function<bool(const std::filesystem::path&)> openInstaller;
  std::function<void()> revealApplication;
  // Announces the coming restart, closes the update panels and asks the application to quit.
  std::function<TerminateAnswer()> persistAndTerminate;
  // Removes the downloaded package folders except the one holding `keep`; no download starts
  // before it has finished.
  std::function<Task<void>(std::optional<std::filesystem::path> keep)> removePackagesExcept;
  // Removes the installer's work roots that no live service or updater claims.
  std::function<void()> removeUnclaimedWorkRoots;
};

class UpdateCoordinator : public std::enable_shared_from_this<UpdateCoordinator> {
 public:
  using Dependencies = UpdateCoordinatorDependencies;

  static constexpr std::chrono::seconds kCheckInterval{21'600};
  static constexpr std::chrono::seconds kRetryInterval{900};

  static constexpr const char* kInstallerUnavailable =
      "The signed installer is unavailable in this build. Install Orlith manually from the "
      "downloaded archive.";
  static constexpr const char* kFinishDownloads = "Finish your downloads before restarting Orlith.";
  static constexpr const char* kCancelFailed =
      "The installation could not be cancelled. Please keep Orlith open and try again.";
  static constexpr const char* kRestartCancelled =
      "Restart was cancelled. Save your work and try again.";
  static constexpr const char* kOpenFailed = "Couldn\u2019t open the installer. Please try again.";

  // `appVersion` is the running copy's version, "1.0" when its bundle has none.
  UpdateCoordinator(Dependencies dependencies, Scheduler& scheduler, UuidSource& uuids,
                    std::string appVersion);
  // Ends the periodic checks; the process-wide coordinator is never destroyed.
  ~UpdateCoordinator();
  UpdateCoordinator(const UpdateCoordinator&) = delete;
  UpdateCoordinator& operator=(const UpdateCoordinator&) = delete;

  const UpdateSnapshot& snapshot() const { return snapshot_; }
  // Emitted synchronously after each assignment of the snapshot, also an unchanged one.
  ChangeSignal& changed() { return changed_; }

  bool initialDecisionPending() const { return initialDecisionPending_; }
  void setInitialDecisionPending(bool pending) { initialDecisionPending_ = pending; }

  // Starts the periodic checks once per process: at once, then 21,600 s after each check ends,
  // or 900 s after one that failed, counting time the system spends asleep.
  void start();
  void checkForUpdates();
  void completeInitialDecision(bool install);
  void performPrimaryAction();

 private:
  enum class RoadEnd { finished, quitting };

  static bool isBusyStage(UpdateStage stage);
  static Task<void> runPeriodicChecks(std::weak_ptr<UpdateCoordinator> weak, std::stop_token stop);

  void publish(UpdateSnapshot snapshot);
  void publishError(std::string error);
  void startTask(Task<void> task);
  std::string beginOperation();
  void finishOperation(const std::string& op);
  void applyDownloadProgress(int percent, const std::string& op, const std::string& version);
  void fail(std::exception_ptr error, std::optional<std::string> version, bool initial,
            bool reveal);
  void adoptPackage(std::filesystem::path file);
  void removePackagesExcept(std::optional<std::filesystem::path> keep);
  Task<void> awaitPackageRemoval();

  Task<void> runCheck();
  Task<void> installCurrentApplication();
  Task<RoadEnd> restartAndUpdate(std::shared_ptr<UpdateInstalling> installer, std::string token,
                                 bool initial);
  Task<std::optional<std::string>> prepareWithNewInstaller(
      std::function<Task<std::string>(UpdateInstalling&)> prepare,
      std::optional<std::string> version, bool initial, bool reveal);
  Task<bool> cancelPreparedInstallation(bool initial, std::optional<std::string> version);
  Task<void> restartHeldInstallation(std::string op);

  UpdateSnapshot snapshot_;
  ChangeSignal changed_;
  Dependencies dependencies_;
  Scheduler& scheduler_;
  UuidSource& uuids_;
  std::string appVersion_;
  bool isBusy_ = false;
  bool started_ = false;
  std::stop_source periodicStop_;
  std::optional<std::string> operationID_;
  bool initialDecisionPending_ = false;
  bool initialInstallationQueued_ = false;
  std::optional<std::filesystem::path> packageURL_;
  // The last removal of package folders; a download waits for it, so a removal that listed the
  // folder before the download began can never take the download's new folder.
  SharedTask<void> packageRemoval_;
  std::optional<std::string> token_;
  std::shared_ptr<UpdateInstalling> installer_;
  bool preparedInitialInstallation_ = false;
  bool cancellationPending_ = false;
};

}  // namespace orlith
