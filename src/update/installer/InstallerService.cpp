// The installer service's operations, each run on the connection's serial queue.
#include "update/installer/InstallerService.h"

#include <algorithm>
#include <cctype>

#include "base/Url.h"
#include "update/trust/AtomicFile.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/ProcessTable.h"
#include "update/trust/UpdateCancellationAuthorization.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateManifestPolicy.h"
#include "update/trust/UpdatePath.h"
#include "update/trust/UpdateSignatureVerifier.h"
#include "update/trust/UpdateTreeFiles.h"
#include "update/trust/UpdateWire.h"
#include "update/trust/UpdateWorkRoot.h"

namespace orlith {
namespace {

constexpr const char* kAlreadyPrepared = "An installation is already prepared. Please try again.";
constexpr const char* kInvalidSize = "The update package has an invalid size.";
constexpr const char* kNotNewer = "This package is not a newer update.";
constexpr const char* kChecksum = "The update package failed checksum verification.";
constexpr const char* kInvalidVersion = "The running application has an invalid version.";
constexpr const char* kChangedDuringPreparation =
    "The running application changed during preparation.";
constexpr const char* kExpired = "The prepared update expired. Check again.";
constexpr const char* kHandoffUsed =
    "This installation handoff was already used. Please try again.";
constexpr const char* kSourceChanged = "The running application changed. Please try again.";
constexpr const char* kLaunchFailed = "Couldn't launch the verified update installer.";
constexpr const char* kNotPrepared = "The verified update installer could not prepare the restart.";
constexpr const char* kNotCommitted = "The verified update installer could not commit the restart.";
constexpr const char* kSecurityCheck = "The update package failed a security check.";

std::optional<std::string> shortVersion(const std::filesystem::path& bundle) {
  const PlistDictionary metadata = InstallationSecurity::bundleMetadata(bundle);
  const PlistValue* value = metadata.find("CFBundleShortVersionString");
  return value && value->string() ? std::optional<std::string>(*value->string()) : std::nullopt;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

void InstallerService::removeRoot(const std::filesystem::path& root) {
  try {
    UpdateTreeFiles::remove(root.string());
  } catch (const std::exception&) {
    // What cannot be removed stays for the next service's or updater's sweep.
  }
  rootClaims_.erase(root);
}

InstallerService::InstallerService(std::filesystem::path source,
                                   std::shared_ptr<const PinnedProcess> caller, UpdateTeam team,
                                   InstallerServiceContext context)
    : source_(std::move(source)),
      caller_(std::move(caller)),
      team_(std::move(team)),
      context_(std::move(context)),
      sourceExit_(caller_->pid()) {}

InstallerService::~InstallerService() {
  {
    const std::lock_guard lock(watchersMutex_);
    stopping_ = true;
  }
  queue_.reset();
  for (std::thread& watcher : watchers_) {
    watcher.join();
  }
}

bool InstallerService::isStopping() {
  const std::lock_guard lock(watchersMutex_);
  return stopping_;
}

bool InstallerService::postFromWatcher(InstallerQueue::Job job) {
  const std::lock_guard lock(watchersMutex_);
  if (stopping_) {
    return false;
  }
  queue_->post(std::move(job));
  return true;
}

// --- Calls ---------------------------------------------------------------------------------

void InstallerService::prepare(std::string package, std::string manifest,
                               UpdateReplyGuard<UpdatePrepareReply> reply) {
  auto job = [this, package = std::move(package), manifest = std::move(manifest), reply]() mutable {
    std::optional<std::filesystem::path> root;
    UpdatePrepareReply answer;
    {
      // The package is released before the reply, which lets the connection read the next one.
      const std::string body = std::move(package);
      package.clear();
      package.shrink_to_fit();
      try {
        answer = UpdatePrepareReply::success(preparePackage(body, manifest, root));
      } catch (...) {
        if (root) {
          removeRoot(*root);
        }
        answer = UpdatePrepareReply::failure(std::current_exception());
      }
    }
    reply(answer);
  };
  queue_->post(std::move(job));
}

void InstallerService::prepareCurrentApplication(UpdateReplyGuard<UpdatePrepareReply> reply) {
  queue_->post([this, reply] {
    std::optional<std::filesystem::path> root;
    try {
      reply(UpdatePrepareReply::success(prepareRunningCopy(root)));
    } catch (...) {
      if (root) {
        removeRoot(*root);
      }
      reply(UpdatePrepareReply::failure(std::current_exception()));
    }
  });
}

void InstallerService::install(std::string token, UpdateReplyGuard<UpdateCompletionReply> reply) {
  auto job = [this, token = std::move(token), reply] {
    try {
      startInstall(token, reply);
    } catch (...) {
      reply(UpdateCompletionReply::failure(std::current_exception()));
    }
  };
  queue_->post(std::move(job));
}

void InstallerService::cancel(std::string token, UpdateReplyGuard<UpdateCompletionReply> reply) {
  auto job = [this, token = std::move(token), reply] {
    const auto plan = plans_.find(token);
    if (plan == plans_.end()) {
      reply(UpdateCompletionReply::success());
      return;
    }
    const std::filesystem::path root = plan->second.parent_path();
    try {
      markCancelled(root);
    } catch (...) {
      scheduleCancellationRetry();
      reply({false, UpdateCancellationAuthorization::kFailureMessage});
      return;
    }
    forgetCancelledPlan(token, root);
    reply(UpdateCompletionReply::success());
  };
  queue_->post(std::move(job));
}

void InstallerService::connectionClosed() {
  queue_->post([this] { cleanup(); });
}

bool InstallerService::waitUntilFinished(std::chrono::milliseconds limit) {
  std::unique_lock lock(finishedMutex_);
  return finishedChanged_.wait_for(lock, limit, [this] { return finished_; });
}

// --- Preparation ---------------------------------------------------------------------------

std::filesystem::path InstallerService::makeRoot() {
  if (plans_.size() >= 2) {
    throw UpdateFailure(kAlreadyPrepared);
  }
  InstallationSecurity::validateRunningSource(source_, *caller_, team_);
  InstallationSecurity::refuseOtherApplicationInstances(caller_->pid(), context_.locations);
  UpdateWorkRoot::Created created = UpdateWorkRoot::create(context_.locations, *context_.uuids);
  const std::filesystem::path root = created.path;
  // Claimed for the service's life: a sweep never takes a root the service may still hand over,
  // and the claim ends with the process however it ends.
  rootClaims_.emplace(root, std::move(created.claim));
  // A root that fails this check right after its creation is not ours to remove.
  InstallationSecurity::validatePrivateRoot(root, context_.locations);
  return root;
}

std::string InstallerService::preparePackage(const std::string& package,
                                             const std::string& manifestBytes,
                                             std::optional<std::filesystem::path>& root) {
  const UpdateLocations& locations = context_.locations;
  if (package.empty() || package.size() > update_wire::kMaximumPackageSize) {
    throw UpdateFailure(kInvalidSize);
  }
  const std::string architecture = InstallationSecurity::callerArchitecture(caller_->pid());
  const DesktopUpdateManifest manifest =
      InstallationSecurity::verifiedManifest(manifestBytes, architecture, locations);
  const auto extension = manifest.downloadUrl
                             ? UpdateManifestPolicy::pathExtension(*manifest.downloadUrl)
                             : std::nullopt;
  // A running version that cannot be read is no version this package could be newer than.
  std::optional<std::string> running;
  try {
    running = shortVersion(source_);
  } catch (const std::exception&) {
    running.reset();
  }
  if (!manifest.version || !extension || (*extension != "dmg" && *extension != "zip") || !running ||
      UpdateManifestPolicy::compareVersions(*manifest.version, *running) != 1) {
    throw UpdateFailure(kNotNewer);
  }
  root = makeRoot();
  const std::string packageName = std::string(update_wire::kPackageFilePrefix) + *extension;
  AtomicFile::write(*root, packageName, package, 0600);
  const std::filesystem::path packageFile = *root / packageName;
  if (!manifest.sha256 || UpdateSignatureVerifier::hashOf(packageFile) != lower(*manifest.sha256)) {
    throw UpdateFailure(kChecksum);
  }
  const std::filesystem::path candidate = InstallationSecurity::extract(
      packageFile, *root, *manifest.version, team_, *context_.archives, locations);
  InstallationSecurity::validateArchitecture(candidate, architecture);
  const auto sourceVersion = shortVersion(source_);
  if (!sourceVersion) {
    throw UpdateFailure(kInvalidVersion);
  }
  InstallationSecurity::validatePinnedKey(source_, locations);
  InstallationSecurity::preserveProfileContract(candidate, source_);
  const ResolvedDestination destination = InstallationSecurity::resolveDestination(
      source_, candidate, *manifest.version, architecture, team_, locations);

  UpdateInstallPlan plan =
      planFor(candidate, destination, *sourceVersion, *manifest.version, architecture);
  plan.package = packageFile;
  plan.manifest = manifestBytes;
  return registerPlan(*root, plan);
}

std::string InstallerService::prepareRunningCopy(std::optional<std::filesystem::path>& root) {
  const UpdateLocations& locations = context_.locations;
  root = makeRoot();
  const std::string architecture = InstallationSecurity::callerArchitecture(caller_->pid());
  const auto version = shortVersion(source_);
  if (!version || UpdateManifestPolicy::compareVersions(*version, *version) != 0) {
    throw UpdateFailure(kInvalidVersion);
  }
  InstallationSecurity::validateCandidate(source_, *version, team_, locations);
  const std::string fingerprint = InstallationSecurity::bundleFingerprint(source_);
  const std::filesystem::path candidate = *root / update_wire::kApplicationFileName;
  try {
    UpdateTreeFiles::copy(source_.string(), candidate.string());
  } catch (const std::system_error&) {
    throw UpdateFailure(kSecurityCheck);
  }
  InstallationSecurity::validateCandidate(candidate, *version, team_, locations);
  InstallationSecurity::validateArchitecture(candidate, architecture);
  if (InstallationSecurity::bundleFingerprint(candidate) != fingerprint ||
      InstallationSecurity::bundleFingerprint(source_) != fingerprint) {
    throw UpdateFailure(kChangedDuringPreparation);
  }
  const auto sourceVersion = shortVersion(source_);
  if (!sourceVersion) {
    throw UpdateFailure(kInvalidVersion);
  }
  InstallationSecurity::validatePinnedKey(source_, locations);
  InstallationSecurity::preserveProfileContract(candidate, source_);
  const ResolvedDestination destination = InstallationSecurity::resolveDestination(
      source_, candidate, *version, architecture, team_, locations);

  UpdateInstallPlan plan = planFor(candidate, destination, *sourceVersion, *version, architecture);
  plan.localSourceFingerprint = fingerprint;
  return registerPlan(*root, plan);
}

// What every plan of this caller holds; each road adds its own package or fingerprint.
UpdateInstallPlan InstallerService::planFor(const std::filesystem::path& candidate,
                                            const ResolvedDestination& destination,
                                            const std::string& sourceVersion,
                                            const std::string& candidateVersion,
                                            const std::string& architecture) const {
  UpdateInstallPlan plan;
  plan.candidate = candidate;
  plan.target = destination.target;
  plan.source = source_;
  plan.sourceVersion = sourceVersion;
  plan.candidateVersion = candidateVersion;
  plan.version = destination.version;
  plan.architecture = architecture;
  plan.parentPID = caller_->pid();
  plan.sourceIdentity = InstallationSecurity::directoryIdentity(source_);
  plan.targetIdentity = destination.targetIdentity;
  plan.parentIdentity = destination.parentIdentity;
  plan.operation = destination.operation;
  return plan;
}

std::string InstallerService::registerPlan(const std::filesystem::path& root,
                                           const UpdateInstallPlan& plan) {
  UpdateWorkRoot::writePlan(root, plan);
  std::string token = context_.uuids->next();
  plans_[token] = UpdateWorkRoot::planFile(root);
  return token;
}

// --- Install -------------------------------------------------------------------------------

void InstallerService::startInstall(const std::string& token,
                                    UpdateReplyGuard<UpdateCompletionReply> reply) {
  const auto found = plans_.find(token);
  if (found == plans_.end()) {
    throw UpdateFailure(kExpired);
  }
  const std::filesystem::path planFile = found->second;
  const std::filesystem::path root = planFile.parent_path();
  if (cancellationRequested_.contains(root)) {
    throw UpdateFailure(UpdateCancellationAuthorization::kFailureMessage);
  }
  if (launched_.contains(root)) {
    throw UpdateFailure(kHandoffUsed);
  }
  const UpdateInstallPlan plan = UpdateWorkRoot::readPlan(planFile, *context_.locations.users);
  InstallationSecurity::validatePlanDestination(plan, team_, context_.locations);
  InstallationSecurity::validateRunningSource(source_, *caller_, team_);
  InstallationSecurity::refuseOtherApplicationInstances(caller_->pid(), context_.locations);
  if (InstallationSecurity::directoryIdentity(source_) != plan.sourceIdentity) {
    throw UpdateFailure(kSourceChanged);
  }
  if (!context_.locations.ownBundle) {
    throw UpdateFailure(kLaunchFailed);
  }
  const std::filesystem::path updater =
      UpdatePath::standardized(*context_.locations.ownBundle).parent_path().parent_path() /
      "Helpers" / "OrlithUpdater.app";
  InstallationSecurity::validateCode(updater, update_wire::kHelperIdentifier, team_);
  // From here the updater, not forgetCancelledPlan, owns the work root.
  launched_.insert(root);
  ++activeInstalls_;
  const std::lock_guard lock(watchersMutex_);
  if (stopping_) {
    return;
  }
  watchers_.emplace_back(
      [this, token, planFile, updater, reply] { watchInstall(token, planFile, updater, reply); });
}

// On a thread of its own, so the queue stays free while the updater gets ready.
void InstallerService::watchInstall(std::string token, std::filesystem::path planFile,
                                    std::filesystem::path updater,
                                    UpdateReplyGuard<UpdateCompletionReply> reply) {
  const std::filesystem::path root = planFile.parent_path();
  std::shared_ptr<const PinnedProcess> process;
  // An updater that ended at once, or never started, can no longer own the work root.
  bool noUpdater = false;
  try {
    LaunchRequest request;
    request.bundle = updater;
    request.identifier = std::string(update_wire::kHelperIdentifier);
    request.arguments = {planFile.string()};
    request.settle = context_.timings.settle;
    auto launched = context_.launcher->launch(request, team_);
    noUpdater = !launched;
    if (launched) {
      const auto bundle = ProcessTable::bundleOf(*launched);
      const auto resolved = bundle ? UpdatePath::resolvingSymlinks(*bundle) : std::nullopt;
      if (resolved && resolved == UpdatePath::resolvingSymlinks(updater)) {
        process = std::make_shared<const PinnedProcess>(std::move(*launched));
      }
    }
  } catch (const std::exception&) {
    // Any launch error is the same launch failure to the app.
    process.reset();
    noUpdater = true;
  }
  if (process) {
    const auto deadline = std::chrono::steady_clock::now() + context_.timings.preparedDeadline;
    while (!isStopping() &&
           !InstallationSecurity::pathExists(root / update_wire::kPreparedMarker) &&
           !InstallationSecurity::pathExists(root / update_wire::kCancelledMarker) &&
           !process->isTerminated() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(context_.timings.preparedPoll);
    }
  }
  postFromWatcher([this, token, planFile, process, noUpdater, reply] {
    --activeInstalls_;
    const std::filesystem::path root = planFile.parent_path();
    if (process) {
      updaters_[root] = process;
      commit(token, planFile, process, reply);
    } else {
      if (noUpdater) {
        updaters_[root] = nullptr;
      }
      failLaunched(root, kLaunchFailed, reply);
    }
    if (abandoned_.erase(root) > 0) {
      updaters_.erase(root);
      launched_.erase(root);
      orphanRoot(root, process);
    }
    updateFinished();
  });
}

void InstallerService::commit(const std::string& token, const std::filesystem::path& planFile,
                              const std::shared_ptr<const PinnedProcess>& updater,
                              const UpdateReplyGuard<UpdateCompletionReply>& reply) {
  const std::filesystem::path root = planFile.parent_path();
  const auto current = plans_.find(token);
  const bool ready =
      current != plans_.end() && current->second == planFile &&
      !cancellationRequested_.contains(root) &&
      !InstallationSecurity::pathExists(root / update_wire::kCancelledMarker) &&
      !updater->isTerminated() &&
      UpdateWorkRoot::markerNamesProcess(root, UpdateMarker::prepared, updater->pid());
  if (!ready) {
    failLaunched(root, kNotPrepared, reply);
    return;
  }
  try {
    UpdateWorkRoot::writeMarker(root, UpdateMarker::committed,
                                UpdateWorkRoot::processIdText(updater->pid()));
  } catch (const std::exception&) {
    failLaunched(root, kNotCommitted, reply);
    return;
  }
  committed_.insert(root);
  reply(UpdateCompletionReply::success());
}

void InstallerService::failLaunched(const std::filesystem::path& root, const char* message,
                                    const UpdateReplyGuard<UpdateCompletionReply>& reply) {
  try {
    markCancelled(root);
  } catch (...) {
    scheduleCancellationRetry();
    reply({false, UpdateCancellationAuthorization::kFailureMessage});
    return;
  }
  reply({false, message});
}

// --- Cancellation --------------------------------------------------------------------------

void InstallerService::markCancelled(const std::filesystem::path& root) {
  cancellationRequested_.insert(root);
  UpdateCancellationAuthorization::revokeCommitted(root, context_.locations);
  committed_.erase(root);
  if (InstallationSecurity::pathExists(root)) {
    try {
      UpdateWorkRoot::writeMarker(root, UpdateMarker::cancelled, "");
    } catch (const std::exception&) {
      // "Committed" is withdrawn already, which alone stops the updater.
    }
  }
}

void InstallerService::forgetCancelledPlan(const std::string& token,
                                           const std::filesystem::path& root) {
  plans_.erase(token);
  committed_.erase(root);
  cancellationRequested_.erase(root);
  // An updater that has ended, even one killed half-way, can no longer clean up its work root.
  if (!launched_.contains(root) || updaterEnded(root)) {
    removeRoot(root);
  } else if (!updaters_.contains(root)) {
    // The launch is still in flight: an updater it starts stops on "Cancelled" before it takes
    // the root over, so the launch's end decides who removes it.
    abandoned_.insert(root);
    return;
  }
  launched_.erase(root);
  updaters_.erase(root);
}

void InstallerService::orphanRoot(const std::filesystem::path& root,
                                  const std::shared_ptr<const PinnedProcess>& updater) {
  if (!updater || updater->isTerminated()) {
    removeRoot(root);
    return;
  }
  orphans_[root] = updater;
  if (!orphanSweepScheduled_) {
    orphanSweepScheduled_ = true;
    queue_->postAfter(context_.timings.retryInterval, [this] { sweepOrphans(); });
  }
}

void InstallerService::sweepOrphans() {
  orphanSweepScheduled_ = false;
  for (auto orphan = orphans_.begin(); orphan != orphans_.end();) {
    if (orphan->second->isTerminated()) {
      removeRoot(orphan->first);
      orphan = orphans_.erase(orphan);
    } else {
      ++orphan;
    }
  }
  if (!orphans_.empty()) {
    orphanSweepScheduled_ = true;
    queue_->postAfter(context_.timings.retryInterval, [this] { sweepOrphans(); });
  }
  updateFinished();
}

void InstallerService::scheduleCancellationRetry() {
  if (cancellationRetryScheduled_) {
    return;
  }
  const bool pending = std::any_of(plans_.begin(), plans_.end(), [this](const auto& plan) {
    return cancellationRequested_.contains(plan.second.parent_path());
  });
  if (!pending) {
    return;
  }
  cancellationRetryScheduled_ = true;
  queue_->postAfter(context_.timings.retryInterval, [this] { retryCancellations(); });
}

bool InstallerService::updaterEnded(const std::filesystem::path& root) const {
  const auto updater = updaters_.find(root);
  return updater != updaters_.end() && (!updater->second || updater->second->isTerminated());
}

// Once the connection is gone nobody can ask for the plan again, so a withdrawal is only worth
// retrying while an updater could still read the marker.
bool InstallerService::nothingCanAnswer(const std::filesystem::path& root) const {
  if (!closed_) {
    return false;
  }
  if (!InstallationSecurity::pathExists(root)) {
    return true;
  }
  return !updaters_.contains(root) || updaterEnded(root);
}

void InstallerService::retryCancellations() {
  cancellationRetryScheduled_ = false;
  const auto snapshot = plans_;
  for (const auto& [token, planFile] : snapshot) {
    const std::filesystem::path root = planFile.parent_path();
    if (!cancellationRequested_.contains(root)) {
      continue;
    }
    if (!nothingCanAnswer(root)) {
      try {
        markCancelled(root);
      } catch (const std::exception&) {
        continue;  // still requested; the next round tries again
      }
    }
    forgetCancelledPlan(token, root);
  }
  scheduleCancellationRetry();
  updateFinished();
}

void InstallerService::cleanup() {
  bool exited = false;
  try {
    exited = sourceExit_.wait(std::chrono::steady_clock::now() + context_.timings.exitWait, [] {});
  } catch (const std::exception&) {
    exited = false;
  }
  const auto snapshot = plans_;
  for (const auto& [token, planFile] : snapshot) {
    const std::filesystem::path root = planFile.parent_path();
    if (exited && committed_.contains(root) && !cancellationRequested_.contains(root) &&
        !updaterEnded(root)) {
      // The updater owns the update now.
      plans_.erase(token);
      committed_.erase(root);
      launched_.erase(root);
      updaters_.erase(root);
      continue;
    }
    try {
      markCancelled(root);
    } catch (const std::exception&) {
      continue;
    }
    forgetCancelledPlan(token, root);
  }
  closed_ = true;
  scheduleCancellationRetry();
  updateFinished();
}

void InstallerService::updateFinished() {
  if (!closed_ || cancellationRetryScheduled_ || activeInstalls_ > 0 || !orphans_.empty()) {
    return;
  }
  {
    const std::lock_guard lock(finishedMutex_);
    finished_ = true;
  }
  finishedChanged_.notify_all();
}

}  // namespace orlith
