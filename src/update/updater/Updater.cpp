// The updater's run, phase by phase.
#include "update/updater/Updater.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "update/trust/DescriptorFiles.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/ProcessTable.h"
#include "update/trust/UpdateCancellationAuthorization.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateInstallationLocation.h"
#include "update/trust/UpdateManifestPolicy.h"
#include "update/trust/UpdateParentExitObservation.h"
#include "update/trust/UpdatePath.h"
#include "update/trust/UpdateSignatureVerifier.h"
#include "update/trust/UpdateTreeFiles.h"
#include "update/trust/UpdateWire.h"
#include "update/trust/UpdateWorkRoot.h"
#include "update/updater/UpdateLaunchFailure.h"

namespace orlith {
namespace {

constexpr const char* kInvalidHandoff = "Invalid updater handoff.";
constexpr const char* kNotPrivate = "The updater handoff is not private.";
constexpr const char* kCancelled = "The installation was cancelled.";
constexpr const char* kInvalidPaths = "The updater handoff contains invalid paths.";
constexpr const char* kSourceChanged = "The running application changed during preparation.";
constexpr const char* kLocalMismatch = "The local installation handoff failed verification.";
constexpr const char* kDownloadedMismatch =
    "The downloaded installation handoff failed verification.";
constexpr const char* kDowngrade =
    "Opening this application would downgrade the installed version.";
constexpr const char* kVersionInvalid = "The installation version is invalid.";
constexpr const char* kNoLongerNewer = "The installation is no longer a newer update.";
constexpr const char* kFolderUnopened = "The Applications folder could not be opened.";
constexpr const char* kFolderChanged = "The Applications folder changed during preparation.";
constexpr const char* kNotClosed =
    "The application did not finish closing. Installation was cancelled.";
constexpr const char* kNotCommitted = "The installation restart was not committed.";
constexpr const char* kSwapFailed = "The atomic application replacement failed.";
constexpr const char* kChangedDuring =
    "Another installer changed the application during replacement.";
constexpr const char* kBackupFailed = "The previous signed application could not be preserved.";
constexpr const char* kFolderChangedAfter = "The Applications folder changed after replacement.";
constexpr const char* kChangedAfter =
    "Another installer changed the application after replacement.";
constexpr const char* kCouldNotLaunch = "The system could not launch the installed application.";
constexpr const char* kNotConfirmed =
    "The system did not confirm the installed application launch. The signed backup was "
    "preserved.";
constexpr const char* kConfirmationTimedOut =
    "The system has not confirmed the application launch. The signed backup was preserved.";
constexpr const char* kUnconfirmed = "The application launch is unconfirmed.";
constexpr const char* kSecurityCheck = "The update package failed a security check.";

std::optional<std::string> shortVersion(const std::filesystem::path& bundle) {
  const PlistDictionary metadata = InstallationSecurity::bundleMetadata(bundle);
  const PlistValue* value = metadata.find("CFBundleShortVersionString");
  return value && value->string() ? std::optional<std::string>(*value->string()) : std::nullopt;
}

std::optional<UpdateDirectoryIdentity> identityAt(int folder, const std::string& name) {
  const auto info = DescriptorFiles::statAt(folder, name);
  if (!info || !S_ISDIR(info->st_mode)) {
    return std::nullopt;
  }
  return UpdateDirectoryIdentity{static_cast<std::uint64_t>(info->st_dev),
                                 static_cast<std::uint64_t>(info->st_ino)};
}

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

}  // namespace

struct Updater::Handoff {
  std::filesystem::path planFile;
  std::filesystem::path root;
  bool committedSeen = false;
  UpdateInstallPlan plan;
  UpdateTeam team;
  std::unique_ptr<UpdateParentExitObservation> exitWatch;
  UniqueFd applications;
  std::string targetName;
  std::optional<std::string> stagedName;
  std::optional<UpdateDirectoryIdentity> stagedIdentity;
  std::optional<std::string> backupName;
  bool applicationExited = false;
  bool putAtTarget = false;
  FolderClaim claim;
};

void Updater::checkCancellation(Handoff& handoff) const {
  const UpdateLocations& locations = context_.locations;
  if (InstallationSecurity::pathExists(handoff.root / update_wire::kCancelledMarker)) {
    throw UpdateFailure(kCancelled);
  }
  if (InstallationSecurity::pathExists(handoff.root / update_wire::kCommittedMarker)) {
    if (!UpdateCancellationAuthorization::isCommitted(handoff.root, context_.ownPid, locations)) {
      throw UpdateFailure(kCancelled);
    }
    handoff.committedSeen = true;
  } else if (handoff.committedSeen) {
    throw UpdateFailure(kCancelled);
  }
}

void Updater::run(const std::vector<std::string>& arguments) {
  const UpdateLocations& locations = context_.locations;
  // Phase 1, the handoff: a failure here touches nothing.
  if (arguments.size() != 1) {
    throw UpdateFailure(kInvalidHandoff);
  }
  Handoff handoff;
  handoff.planFile = UpdatePath::standardized(arguments[0]);
  handoff.root = handoff.planFile.parent_path();
  struct stat info {};
  if (!handoff.planFile.is_absolute() || ::lstat(handoff.planFile.c_str(), &info) != 0 ||
      !S_ISREG(info.st_mode) || info.st_uid != locations.users->effectiveUserId() ||
      info.st_size < 1 ||
      static_cast<std::uint64_t>(info.st_size) > update_wire::kMaximumPlanFileSize ||
      (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    throw UpdateFailure(kNotPrivate);
  }
  InstallationSecurity::validatePrivateRoot(handoff.root, locations);
  // Claimed before the service can hand the root over, and for the rest of the run, so no sweep
  // takes it while this updater lives.
  try {
    handoff.claim = FolderClaim::claim(handoff.root);
  } catch (const std::system_error&) {
    throw UpdateFailure(kNotPrivate);
  }
  UpdateWorkRoot::removeUnclaimed(locations);
  checkCancellation(handoff);
  handoff.plan = UpdateWorkRoot::readPlan(handoff.planFile, *locations.users);
  const UpdateInstallPlan& plan = handoff.plan;
  const auto resolvedTarget = UpdatePath::resolvingSymlinks(plan.target);
  if (UpdatePath::standardized(plan.candidate).parent_path() != handoff.root ||
      plan.candidate.filename() != update_wire::kApplicationFileName ||
      (plan.package && UpdatePath::standardized(*plan.package).parent_path() != handoff.root) ||
      UpdatePath::standardized(plan.target) != plan.target || resolvedTarget != plan.target ||
      !UpdateInstallationLocation::isStandardApplication(plan.target, locations) ||
      (plan.operation == UpdateInstallOperation::install) != !plan.targetIdentity) {
    throw UpdateFailure(kInvalidPaths);
  }

  // Phase 2 on: every exit deletes the work root.
  try {
    verify(handoff);
    stageAndSwap(handoff);
  } catch (...) {
    try {
      UpdateTreeFiles::remove(handoff.root.string());
    } catch (const std::exception&) {
      // A work root left behind holds nothing the next update reads.
    }
    throw;
  }
  UpdateTreeFiles::remove(handoff.root.string());
}

void Updater::verify(Handoff& handoff) {
  const UpdateLocations& locations = context_.locations;
  const UpdateInstallPlan& plan = handoff.plan;
  handoff.team = InstallationSecurity::ownTeam(locations);
  const UpdateTeam& team = handoff.team;
  // The caller's exit is watched from here on, so its exit cannot be missed later.
  handoff.exitWatch = std::make_unique<UpdateParentExitObservation>(plan.parentPID);
  InstallationSecurity::validateRunningSource(plan.source, plan.parentPID, team);
  try {
    if (InstallationSecurity::directoryIdentity(plan.source) != plan.sourceIdentity ||
        shortVersion(plan.source) != plan.sourceVersion) {
      throw UpdateFailure(kSourceChanged);
    }
  } catch (const UpdateFailure&) {
    throw UpdateFailure(kSourceChanged);
  }
  InstallationSecurity::validatePinnedKey(plan.source, locations);

  if (!plan.manifest && !plan.package) {
    if (!plan.localSourceFingerprint || plan.candidateVersion != plan.sourceVersion ||
        InstallationSecurity::bundleFingerprint(plan.source) != *plan.localSourceFingerprint ||
        InstallationSecurity::bundleFingerprint(plan.candidate) != *plan.localSourceFingerprint) {
      throw UpdateFailure(kLocalMismatch);
    }
  } else if (plan.manifest && plan.package) {
    const DesktopUpdateManifest manifest =
        InstallationSecurity::verifiedManifest(*plan.manifest, plan.architecture, locations);
    if (manifest.version != plan.candidateVersion || !manifest.sha256 ||
        UpdateSignatureVerifier::hashOf(*plan.package) != lower(*manifest.sha256) ||
        UpdateManifestPolicy::compareVersions(plan.candidateVersion, plan.sourceVersion) != 1) {
      throw UpdateFailure(kDownloadedMismatch);
    }
  } else {
    throw UpdateFailure(kLocalMismatch);
  }

  InstallationSecurity::validateCandidate(plan.candidate, plan.candidateVersion, team, locations);
  InstallationSecurity::validateArchitecture(plan.candidate, plan.architecture);
  InstallationSecurity::preserveProfileContract(plan.candidate, plan.source);
  InstallationSecurity::validatePlanDestination(plan, team, locations);
  InstallationSecurity::refuseOtherApplicationInstances(plan.parentPID, locations);

  switch (plan.operation) {
    case UpdateInstallOperation::openExisting: {
      const auto order = UpdateManifestPolicy::compareVersions(plan.version, plan.candidateVersion);
      if (!order || *order < 0) {
        throw UpdateFailure(kDowngrade);
      }
      InstallationSecurity::validateCandidate(plan.target, plan.version, team, locations);
      InstallationSecurity::validateArchitecture(plan.target, plan.architecture);
      InstallationSecurity::preserveProfileContract(plan.target, plan.source);
      break;
    }
    case UpdateInstallOperation::install:
      if (plan.version != plan.candidateVersion) {
        throw UpdateFailure(kVersionInvalid);
      }
      break;
    case UpdateInstallOperation::replace: {
      std::optional<std::string> installed;
      try {
        installed = shortVersion(plan.target);
      } catch (const std::exception&) {
        installed.reset();
      }
      if (!installed ||
          UpdateManifestPolicy::compareVersions(plan.candidateVersion, *installed) != 1 ||
          plan.version != plan.candidateVersion) {
        throw UpdateFailure(kNoLongerNewer);
      }
      InstallationSecurity::preserveProfileContract(plan.candidate, plan.target);
      break;
    }
  }

  handoff.applications = DescriptorFiles::openDirectory(plan.target.parent_path().string());
  if (!handoff.applications) {
    throw UpdateFailure(kFolderUnopened);
  }
  struct stat folder {};
  if (::fstat(handoff.applications.get(), &folder) != 0 ||
      UpdateDirectoryIdentity{static_cast<std::uint64_t>(folder.st_dev),
                              static_cast<std::uint64_t>(folder.st_ino)} != plan.parentIdentity) {
    throw UpdateFailure(kFolderChanged);
  }
  handoff.targetName = plan.target.filename().string();
}

bool Updater::holdsStagedCopy(const Handoff& handoff, const std::string& name) const {
  return handoff.stagedIdentity &&
         identityAt(handoff.applications.get(), name) == handoff.stagedIdentity;
}

// Only a folder this run made is removed: whatever else came to lie under the staged name stays.
void Updater::removeStaged(const Handoff& handoff) const {
  if (!handoff.stagedName || handoff.stagedName == handoff.backupName ||
      !holdsStagedCopy(handoff, *handoff.stagedName)) {
    return;
  }
  try {
    UpdateTreeFiles::remove(handoff.applications.get(), *handoff.stagedName);
  } catch (const std::exception&) {
    // A hidden copy left beside the app does not keep the app from working.
  }
}

void Updater::stageAndSwap(Handoff& handoff) {
  const UpdateLocations& locations = context_.locations;
  const UpdateInstallPlan& plan = handoff.plan;
  const UpdateTeam& team = handoff.team;
  const int applications = handoff.applications.get();
  try {
    // Phase 3, staging and announcement.
    if (plan.operation != UpdateInstallOperation::openExisting) {
      const std::string name =
          std::string(update_wire::kStagedCopyPrefix) + context_.uuids->next() + ".app";
      if (::mkdirat(applications, name.c_str(), 0755) != 0) {
        DescriptorFiles::throwErrno(errno);
      }
      handoff.stagedName = name;
      const UniqueFd staged = DescriptorFiles::openDirectory(applications, name);
      struct stat made {};
      if (!staged || ::fstat(staged.get(), &made) != 0 || ::fchmod(staged.get(), 0755) != 0) {
        DescriptorFiles::throwErrno(errno);
      }
      handoff.stagedIdentity = UpdateDirectoryIdentity{static_cast<std::uint64_t>(made.st_dev),
                                                       static_cast<std::uint64_t>(made.st_ino)};
      const UniqueFd candidate = DescriptorFiles::openDirectory(plan.candidate.string());
      try {
        if (!candidate) {
          DescriptorFiles::throwErrno(errno);
        }
        UpdateTreeFiles::copyContents(candidate.get(), staged.get());
      } catch (const std::system_error&) {
        throw UpdateFailure(kSecurityCheck);
      }
      // On disk before it can take the app's name, so a power loss after the swap never leaves
      // an empty or partial app at the target.
      context_.files->syncTree(staged.get());
      const std::filesystem::path stagedPath = plan.target.parent_path() / name;
      InstallationSecurity::validateCandidate(stagedPath, plan.candidateVersion, team, locations);
      InstallationSecurity::validateArchitecture(stagedPath, plan.architecture);
      InstallationSecurity::preserveProfileContract(stagedPath, plan.source);
    }
    checkCancellation(handoff);
    InstallationSecurity::validatePlanDestination(plan, team, locations);
    InstallationSecurity::refuseOtherApplicationInstances(plan.parentPID, locations);
    UpdateWorkRoot::writeMarker(handoff.root, UpdateMarker::prepared,
                                UpdateWorkRoot::processIdText(context_.ownPid));

    // Phase 4, the handover.
    const auto deadline = std::chrono::steady_clock::now() + context_.timings.exitDeadline;
    if (!handoff.exitWatch->wait(deadline, [&] { checkCancellation(handoff); })) {
      throw UpdateFailure(kNotClosed);
    }
    handoff.applicationExited = true;
    if (!UpdateCancellationAuthorization::isCommitted(handoff.root, context_.ownPid, locations)) {
      throw UpdateFailure(kNotCommitted);
    }
    checkCancellation(handoff);
    InstallationSecurity::validatePlanDestination(plan, team, locations);
    InstallationSecurity::refuseOtherApplicationInstances(plan.parentPID, locations);

    // Phase 5, the move.
    if (plan.operation != UpdateInstallOperation::openExisting) {
      const std::filesystem::path stagedPath = plan.target.parent_path() / *handoff.stagedName;
      InstallationSecurity::validateCandidate(stagedPath, plan.candidateVersion, team, locations);
      checkCancellation(handoff);
      InstallationSecurity::validatePlanDestination(plan, team, locations);
      if (!holdsStagedCopy(handoff, *handoff.stagedName)) {
        throw UpdateFailure(kChangedDuring);
      }
      const unsigned flags =
          plan.operation == UpdateInstallOperation::install ? RENAME_NOREPLACE : RENAME_EXCHANGE;
      if (!context_.files->renameWithin(applications, *handoff.stagedName, handoff.targetName,
                                        flags)) {
        throw UpdateFailure(kSwapFailed);
      }
      handoff.putAtTarget = true;
      syncApplications(applications);
      if (plan.operation == UpdateInstallOperation::replace) {
        if (identityAt(applications, *handoff.stagedName) != plan.targetIdentity) {
          throw UpdateFailure(kChangedDuring);
        }
        const std::string backup =
            std::string(update_wire::kPreviousCopyPrefix) + context_.uuids->next() + ".app";
        if (!context_.files->renameWithin(applications, *handoff.stagedName, backup,
                                          RENAME_NOREPLACE)) {
          throw UpdateFailure(kBackupFailed);
        }
        handoff.backupName = backup;
        syncApplications(applications);
      }
      if (InstallationSecurity::validateApplicationsParent(plan.target, WritableCheck::writable,
                                                           locations) != plan.parentIdentity) {
        throw UpdateFailure(kFolderChangedAfter);
      }
      InstallationSecurity::validateCandidate(plan.target, plan.candidateVersion, team, locations);
      InstallationSecurity::validateArchitecture(plan.target, plan.architecture);
      if (!holdsStagedCopy(handoff, handoff.targetName)) {
        throw UpdateFailure(kChangedAfter);
      }
    }

    // Phase 6, the launch.
    checkCancellation(handoff);
    launchVerifiedApplication(plan.target, plan.version, plan.parentPID, team);
  } catch (const UpdateLaunchFailure& failure) {
    undoAfterFailure(handoff, failure.applicationMayBeRunning());
    throw;
  } catch (...) {
    undoAfterFailure(handoff, false);
    throw;
  }
  removeStaged(handoff);
}

void Updater::undoAfterFailure(Handoff& handoff, bool applicationMayBeRunning) {
  const UpdateInstallPlan& plan = handoff.plan;
  const int applications = handoff.applications.get();
  if (!handoff.applicationExited && handoff.exitWatch) {
    try {
      handoff.applicationExited = handoff.exitWatch->wait(
          std::chrono::steady_clock::now() + std::chrono::milliseconds(1), [] {});
    } catch (const std::exception&) {
      handoff.applicationExited = false;
    }
  }
  const bool committed = UpdateCancellationAuthorization::isCommitted(handoff.root, context_.ownPid,
                                                                      context_.locations);
  bool undone = false;
  if (handoff.putAtTarget && !applicationMayBeRunning &&
      holdsStagedCopy(handoff, handoff.targetName)) {
    if (handoff.backupName) {
      undone = context_.files->renameWithin(applications, *handoff.backupName, handoff.targetName,
                                            RENAME_EXCHANGE);
      if (undone && holdsStagedCopy(handoff, *handoff.backupName)) {
        try {
          UpdateTreeFiles::remove(applications, *handoff.backupName);
        } catch (const std::exception&) {
          // The failed copy stays hidden beside the restored app.
        }
      }
    } else if (plan.operation == UpdateInstallOperation::replace) {
      // The swap happened but the previous app was never named as the backup: it still lies
      // under the staged name, and only a swap back keeps it from being lost.
      if (identityAt(applications, *handoff.stagedName) == plan.targetIdentity) {
        undone = context_.files->renameWithin(applications, *handoff.stagedName, handoff.targetName,
                                              RENAME_EXCHANGE);
      }
    } else {
      try {
        undone = InstallationSecurity::bundleFingerprint(plan.target) ==
                     InstallationSecurity::bundleFingerprint(plan.candidate) &&
                 context_.files->renameWithin(applications, handoff.targetName, *handoff.stagedName,
                                              RENAME_NOREPLACE);
      } catch (const std::exception&) {
        undone = false;
      }
    }
  }
  if (handoff.applicationExited && committed && !applicationMayBeRunning &&
      (!handoff.putAtTarget || undone)) {
    recoverOriginal(handoff);
  }
  removeStaged(handoff);
}

void Updater::launchVerifiedApplication(const std::filesystem::path& application,
                                        const std::string& version, pid_t sourcePID,
                                        const UpdateTeam& team) const {
  InstallationSecurity::validateCandidate(application, version, team, context_.locations);
  struct Box {
    std::mutex mutex;
    std::condition_variable signalled;
    bool done = false;
    std::exception_ptr outcome;  // null for success
  };
  auto box = std::make_shared<Box>();
  auto launcher = context_.launcher;
  LaunchRequest request;
  request.bundle = application;
  request.identifier = std::string(update_wire::kApplicationIdentifier);
  request.settle = context_.timings.settle;
  auto launch = [box, launcher, request, version, sourcePID, team] {
    std::exception_ptr outcome;
    std::optional<PinnedProcess> process;
    try {
      process = launcher->launch(request, team);
      if (!process) {
        throw UpdateLaunchFailure(kCouldNotLaunch, ApplicationMayBeRunning::no);
      }
    } catch (const UpdateLaunchFailure&) {
      outcome = std::current_exception();
    } catch (const std::exception& error) {
      outcome =
          std::make_exception_ptr(UpdateLaunchFailure(error.what(), ApplicationMayBeRunning::no));
    }
    if (!outcome) {
      try {
        const auto bundle = ProcessTable::bundleOf(*process);
        const auto resolved = bundle ? UpdatePath::resolvingSymlinks(*bundle) : std::nullopt;
        if (process->pid() <= 0 || process->pid() == sourcePID || process->isTerminated() ||
            !resolved || resolved != UpdatePath::resolvingSymlinks(request.bundle) ||
            shortVersion(*resolved) != version) {
          throw UpdateLaunchFailure(kNotConfirmed, ApplicationMayBeRunning::yes);
        }
        InstallationSecurity::validateRunningSource(request.bundle, *process, team);
      } catch (const UpdateLaunchFailure&) {
        outcome = std::current_exception();
      } catch (const std::exception& error) {
        outcome = std::make_exception_ptr(
            UpdateLaunchFailure(error.what(), ApplicationMayBeRunning::yes));
      }
    }
    const std::lock_guard lock(box->mutex);
    box->done = true;
    box->outcome = outcome;
    box->signalled.notify_all();
  };
  std::thread worker(std::move(launch));
  std::unique_lock lock(box->mutex);
  const bool answered =
      box->signalled.wait_for(lock, context_.timings.launchConfirmation, [&] { return box->done; });
  lock.unlock();
  if (!answered) {
    // The launch thread keeps its own share of the box and ends on its own.
    worker.detach();
    throw UpdateLaunchFailure(kConfirmationTimedOut, ApplicationMayBeRunning::yes);
  }
  worker.join();
  if (box->outcome) {
    std::rethrow_exception(box->outcome);
  }
}

// After a rename has happened there is nothing to undo on a failed sync: the names stand, and
// only their durability is left to the file system's own writeback.
void Updater::syncApplications(int applications) const {
  try {
    context_.files->syncFolder(applications);
  } catch (const std::system_error&) {
    // See above: reported by nothing, as the rename it follows has succeeded.
  }
}

void Updater::recoverOriginal(const Handoff& handoff) const {
  const UpdateInstallPlan& plan = handoff.plan;
  if (!InstallationSecurity::runningApplications(context_.locations).empty()) {
    return;
  }
  if (plan.targetIdentity) {
    std::optional<std::string> version;
    try {
      if (InstallationSecurity::directoryIdentity(plan.target) == *plan.targetIdentity) {
        version = shortVersion(plan.target);
      }
    } catch (const std::exception&) {
      version.reset();
    }
    if (version) {
      try {
        launchVerifiedApplication(plan.target, *version, plan.parentPID, handoff.team);
        return;
      } catch (const UpdateLaunchFailure& failure) {
        if (failure.applicationMayBeRunning()) {
          return;
        }
      } catch (const std::exception&) {
        // The previous app did not pass its checks; the source is the last resort.
      }
    }
  }
  try {
    if (InstallationSecurity::directoryIdentity(plan.source) == plan.sourceIdentity) {
      launchVerifiedApplication(plan.source, plan.sourceVersion, plan.parentPID, handoff.team);
    }
  } catch (const std::exception&) {
    // Nothing is left to try; the failure that brought us here is the one reported.
  }
}

}  // namespace orlith
