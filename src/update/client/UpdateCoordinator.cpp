// The update state machine.
#include "update/client/UpdateCoordinator.h"

#include <exception>

#include "base/MainQueue.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

constexpr const char* kUnknownError = "An unknown error occurred.";

std::string describe(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const UpdateFailure& failure) {
    return failure.message();
  } catch (const std::exception& other) {
    return other.what();
  } catch (...) {
    return kUnknownError;
  }
}

bool requiresManualInstallation(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const UpdateFailure& failure) {
    return failure.requiresManualInstallation();
  } catch (...) {
    return false;
  }
}

UpdateSnapshot snapshotOf(UpdateStage stage, std::optional<std::string> version,
                          std::optional<std::string> error, bool initial,
                          UpdateManualAction action = UpdateManualAction::openInstaller,
                          long progress = 0) {
  return {stage, std::move(version), progress, std::move(error), initial, action};
}

}  // namespace

UpdateCoordinator::UpdateCoordinator(Dependencies dependencies, Scheduler& scheduler,
                                     UuidSource& uuids, std::string appVersion)
    : dependencies_(std::move(dependencies)),
      scheduler_(scheduler),
      uuids_(uuids),
      appVersion_(std::move(appVersion)) {}

UpdateCoordinator::~UpdateCoordinator() {
  periodicStop_.request_stop();
}

bool UpdateCoordinator::isBusyStage(UpdateStage stage) {
  return stage == UpdateStage::ready || stage == UpdateStage::manual ||
         stage == UpdateStage::restarting;
}

void UpdateCoordinator::publish(UpdateSnapshot snapshot) {
  snapshot_ = std::move(snapshot);
  changed_.emit();
}

void UpdateCoordinator::publishError(std::string error) {
  UpdateSnapshot next = snapshot_;
  next.error = std::move(error);
  publish(std::move(next));
}

// Every road catches what its dependencies throw, so nothing escapes to end the program; a
// fault that still does is one startDetached reports.
void UpdateCoordinator::startTask(Task<void> task) {
  startDetached(std::move(task));
}

std::string UpdateCoordinator::beginOperation() {
  std::string op = uuids_.next();
  operationID_ = op;
  isBusy_ = true;
  return op;
}

void UpdateCoordinator::finishOperation(const std::string& op) {
  if (operationID_ != op)
    return;
  operationID_.reset();
  isBusy_ = false;
  if (initialInstallationQueued_ && !initialDecisionPending_)
    startTask(installCurrentApplication());
}

void UpdateCoordinator::start() {
  if (started_)
    return;
  started_ = true;
  // Packages that earlier runs left behind; a download of this run may already be under way.
  if (!isBusy_)
    removePackagesExcept(packageURL_);
  if (dependencies_.removeUnclaimedWorkRoots)
    dependencies_.removeUnclaimedWorkRoots();
  startTask(runPeriodicChecks(weak_from_this(), periodicStop_.get_token()));
}

Task<void> UpdateCoordinator::runPeriodicChecks(std::weak_ptr<UpdateCoordinator> weak,
                                                std::stop_token stop) {
  for (;;) {
    std::chrono::seconds delay = kCheckInterval;
    Scheduler* scheduler = nullptr;
    if (std::shared_ptr<UpdateCoordinator> self = weak.lock()) {
      co_await self->runCheck();
      if (self->snapshot_.stage == UpdateStage::failed)
        delay = kRetryInterval;
      scheduler = &self->scheduler_;
    }
    if (stop.stop_requested() || scheduler == nullptr)
      co_return;
    try {
      Task<void> sleeping = sleepFor(*scheduler, delay, stop, TimerClock::continuous);
      co_await std::move(sleeping);
    } catch (...) {
      // A failed or interrupted sleep only ends the wait; cancellation is checked next.
    }
    if (stop.stop_requested())
      co_return;
  }
}

void UpdateCoordinator::checkForUpdates() {
  dependencies_.showPanel();
  if (isBusyStage(snapshot_.stage))
    return;
  startTask(runCheck());
}

void UpdateCoordinator::completeInitialDecision(bool install) {
  initialDecisionPending_ = false;
  if (install) {
    initialInstallationQueued_ = true;
    startTask(installCurrentApplication());
  } else if (started_) {
    startTask(runCheck());
  }
}

void UpdateCoordinator::applyDownloadProgress(int percent, const std::string& op,
                                              const std::string& version) {
  if (operationID_ != op || snapshot_.stage != UpdateStage::downloading ||
      snapshot_.version != version) {
    return;
  }
  UpdateSnapshot next = snapshot_;
  next.progress = percent;
  publish(std::move(next));
}

void UpdateCoordinator::fail(std::exception_ptr error, std::optional<std::string> version,
                             bool initial, bool reveal) {
  token_.reset();
  installer_.reset();
  preparedInitialInstallation_ = false;
  if (requiresManualInstallation(error)) {
    publish(snapshotOf(
        UpdateStage::manual, std::move(version), describe(error), initial,
        reveal ? UpdateManualAction::revealApplication : UpdateManualAction::openInstaller));
  } else {
    publish(snapshotOf(UpdateStage::failed, std::move(version), describe(error), initial));
  }
}

// A new package replaces the previous one, whose folder nothing needs any more.
void UpdateCoordinator::adoptPackage(std::filesystem::path file) {
  const bool replaced = packageURL_ && *packageURL_ != file;
  packageURL_ = std::move(file);
  if (replaced)
    removePackagesExcept(packageURL_);
}

// Started at once; the next download awaits it.
void UpdateCoordinator::removePackagesExcept(std::optional<std::filesystem::path> keep) {
  if (!dependencies_.removePackagesExcept)
    return;
  packageRemoval_ = SharedTask<void>(dependencies_.removePackagesExcept(std::move(keep)));
  packageRemoval_.start();
}

Task<void> UpdateCoordinator::awaitPackageRemoval() {
  if (!packageRemoval_.valid() || packageRemoval_.isDone())
    co_return;
  const SharedTask<void> removal = packageRemoval_;
  try {
    co_await removal;
  } catch (...) {
    // A removal that failed leaves folders for a later one; the download goes ahead.
  }
}

Task<void> UpdateCoordinator::runCheck() {
  if (initialDecisionPending_ || initialInstallationQueued_ || isBusy_ ||
      isBusyStage(snapshot_.stage)) {
    co_return;
  }
  const std::string op = beginOperation();
  if (cancellationPending_) {
    const bool ok =
        co_await cancelPreparedInstallation(snapshot_.isInitialInstallation, snapshot_.version);
    if (!ok) {
      finishOperation(op);
      co_return;
    }
  }
  publish(snapshotOf(UpdateStage::checking, std::nullopt, std::nullopt, false));

  UpdateCheckResult result;
  try {
    result = co_await dependencies_.check();
  } catch (...) {
    result = UpdateCheckResult::failed(describe(std::current_exception()));
  }
  if (result.kind == UpdateCheckResult::Kind::failed) {
    publish(snapshotOf(UpdateStage::failed, std::nullopt, result.message, false));
    finishOperation(op);
    co_return;
  }
  if (result.kind == UpdateCheckResult::Kind::upToDate || !result.release) {
    publish(snapshotOf(UpdateStage::upToDate, std::nullopt, std::nullopt, false));
    finishOperation(op);
    co_return;
  }
  const VerifiedUpdateRelease release = std::move(*result.release);
  const std::string version = release.version;
  publish(snapshotOf(UpdateStage::downloading, version, std::nullopt, false));

  std::optional<std::filesystem::path> file;
  std::exception_ptr error;
  try {
    // One main-queue task per report, holding the coordinator weakly, so a report that comes
    // after its download ended, or from an older operation, is dropped when it runs.
    auto report = [weak = weak_from_this(), op, version](int percent) {
      MainQueue::shared().post([weak, op, version, percent] {
        if (std::shared_ptr<UpdateCoordinator> self = weak.lock())
          self->applyDownloadProgress(percent, op, version);
      });
    };
    co_await awaitPackageRemoval();
    Task<std::filesystem::path> downloading = dependencies_.download(release, std::move(report));
    file = co_await std::move(downloading);
  } catch (...) {
    error = std::current_exception();
  }
  if (error) {
    fail(error, version, false, false);
    finishOperation(op);
    co_return;
  }
  adoptPackage(*file);
  publish(snapshotOf(UpdateStage::verifying, version, std::nullopt, false,
                     UpdateManualAction::openInstaller, 100));

  if (!dependencies_.installerAvailable()) {
    publish(snapshotOf(UpdateStage::manual, version, kInstallerUnavailable, false));
    finishOperation(op);
    co_return;
  }
  std::optional<std::string> token = co_await prepareWithNewInstaller(
      [&](UpdateInstalling& installer) { return installer.prepare(*file, release); }, version,
      false, false);
  if (!token) {
    finishOperation(op);
    co_return;
  }
  token_ = std::move(token);
  preparedInitialInstallation_ = false;
  publish(snapshotOf(UpdateStage::ready, version, std::nullopt, false));
  finishOperation(op);
}

// Makes an installer, keeps it and has `prepare` stage the installation with it: the token, or
// nothing once the failure is reported.
Task<std::optional<std::string>> UpdateCoordinator::prepareWithNewInstaller(
    std::function<Task<std::string>(UpdateInstalling&)> prepare, std::optional<std::string> version,
    bool initial, bool reveal) {
  std::exception_ptr error;
  std::shared_ptr<UpdateInstalling> installer;
  try {
    installer = co_await dependencies_.makeInstaller();
  } catch (...) {
    error = std::current_exception();
  }
  if (error || !installer) {
    fail(error ? error : std::make_exception_ptr(UpdateFailure(kUnknownError)), std::move(version),
         initial, reveal);
    co_return std::nullopt;
  }
  installer_ = installer;
  std::string token;
  try {
    token = co_await prepare(*installer);
  } catch (...) {
    error = std::current_exception();
  }
  if (error) {
    fail(error, std::move(version), initial, reveal);
    co_return std::nullopt;
  }
  co_return token;
}

Task<bool> UpdateCoordinator::cancelPreparedInstallation(bool initial,
                                                         std::optional<std::string> version) {
  if (!token_ || !installer_)
    co_return !cancellationPending_;
  bool ok = false;
  try {
    ok = co_await installer_->cancel(*token_);
  } catch (...) {
    // A cancel that fails is one that did not happen.
    ok = false;
  }
  if (ok) {
    token_.reset();
    installer_.reset();
    preparedInitialInstallation_ = false;
    cancellationPending_ = false;
    co_return true;
  }
  cancellationPending_ = true;
  publish(snapshotOf(UpdateStage::failed, std::move(version), kCancelFailed, initial));
  co_return false;
}

Task<void> UpdateCoordinator::installCurrentApplication() {
  dependencies_.showPanel();
  if (isBusy_) {
    if (!snapshot_.isInitialInstallation && snapshot_.stage != UpdateStage::restarting)
      initialInstallationQueued_ = true;
    co_return;
  }
  initialInstallationQueued_ = false;
  const std::string op = beginOperation();
  if (cancellationPending_) {
    const bool cancelled = co_await cancelPreparedInstallation(true, appVersion_);
    if (!cancelled) {
      finishOperation(op);
      co_return;
    }
  }
  if (dependencies_.hasActiveDownloads()) {
    publish(snapshotOf(UpdateStage::ready, appVersion_, kFinishDownloads, true));
    finishOperation(op);
    co_return;
  }
  if (preparedInitialInstallation_ && token_ && installer_) {
    const RoadEnd end = co_await restartAndUpdate(installer_, *token_, true);
    if (end == RoadEnd::finished)
      finishOperation(op);
    co_return;
  }
  // Withdraws an update that the update road staged.
  const bool withdrawn = co_await cancelPreparedInstallation(true, appVersion_);
  if (!withdrawn) {
    finishOperation(op);
    co_return;
  }
  publish(snapshotOf(UpdateStage::verifying, appVersion_, std::nullopt, true));
  if (!dependencies_.installerAvailable()) {
    publish(snapshotOf(UpdateStage::manual, appVersion_, kInstallerUnavailable, true,
                       UpdateManualAction::revealApplication));
    finishOperation(op);
    co_return;
  }
  std::optional<std::string> token = co_await prepareWithNewInstaller(
      [](UpdateInstalling& installer) { return installer.prepareCurrentApplication(); },
      appVersion_, true, true);
  if (!token) {
    finishOperation(op);
    co_return;
  }
  token_ = token;
  preparedInitialInstallation_ = true;
  const RoadEnd end = co_await restartAndUpdate(installer_, *token, true);
  if (end == RoadEnd::finished)
    finishOperation(op);
}

Task<UpdateCoordinator::RoadEnd> UpdateCoordinator::restartAndUpdate(
    std::shared_ptr<UpdateInstalling> installer, std::string token, bool initial) {
  const std::optional<std::string> version =
      initial ? std::optional<std::string>(appVersion_) : snapshot_.version;
  if (dependencies_.hasActiveDownloads()) {
    publish(snapshotOf(UpdateStage::ready, version, kFinishDownloads, initial));
    co_return RoadEnd::finished;
  }
  publish(snapshotOf(UpdateStage::restarting, version, std::nullopt, initial));
  std::exception_ptr error;
  try {
    co_await installer->install(token);
  } catch (...) {
    error = std::current_exception();
  }
  if (error) {
    const bool cancelled = co_await cancelPreparedInstallation(initial, version);
    if (cancelled)
      publish(snapshotOf(UpdateStage::failed, version, describe(error), initial));
    co_return RoadEnd::finished;
  }
  if (dependencies_.hasActiveDownloads()) {
    const bool cancelled = co_await cancelPreparedInstallation(initial, version);
    if (cancelled)
      publish(snapshotOf(UpdateStage::failed, version, kFinishDownloads, initial));
    co_return RoadEnd::finished;
  }
  // On its way out the process keeps its committed install, its installer connection and its
  // busy operation: nothing may withdraw the update any more.
  if (dependencies_.persistAndTerminate() == TerminateAnswer::quitting)
    co_return RoadEnd::quitting;
  const bool cancelled = co_await cancelPreparedInstallation(initial, version);
  if (cancelled)
    publish(snapshotOf(UpdateStage::failed, version, kRestartCancelled, initial));
  co_return RoadEnd::finished;
}

Task<void> UpdateCoordinator::restartHeldInstallation(std::string op) {
  const RoadEnd end = co_await restartAndUpdate(installer_, *token_, false);
  if (end == RoadEnd::finished)
    finishOperation(op);
}

void UpdateCoordinator::performPrimaryAction() {
  switch (snapshot_.stage) {
    case UpdateStage::idle:
    case UpdateStage::upToDate:
    case UpdateStage::failed:
      startTask(snapshot_.isInitialInstallation ? installCurrentApplication() : runCheck());
      return;
    case UpdateStage::ready:
      if (snapshot_.isInitialInstallation) {
        startTask(installCurrentApplication());
        return;
      }
      if (!token_ || !installer_ || isBusy_)
        return;
      if (dependencies_.hasActiveDownloads()) {
        publishError(kFinishDownloads);
        return;
      }
      startTask(restartHeldInstallation(beginOperation()));
      return;
    case UpdateStage::manual:
      if (snapshot_.manualAction == UpdateManualAction::revealApplication) {
        dependencies_.revealApplication();
      } else if (packageURL_ && !dependencies_.openInstaller(*packageURL_)) {
        publishError(kOpenFailed);
      }
      return;
    case UpdateStage::checking:
    case UpdateStage::downloading:
    case UpdateStage::verifying:
    case UpdateStage::restarting:
      return;
  }
}

}  // namespace orlith
