// One run of the updater: it checks the handoff it was given, stages the new copy beside the
// installed one, waits for the app to quit and for the service's commitment, swaps the copy into
// place, launches it with confirmation and undoes the move when that fails. No failure path may
// leave the Applications folder without a working app.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Uuid.h"
#include "update/trust/AppLauncher.h"
#include "update/trust/UniqueFd.h"
#include "update/trust/UpdateDirectoryIdentity.h"
#include "update/trust/UpdateInstallPlan.h"
#include "update/trust/UpdateLocations.h"
#include "update/trust/UpdateTeam.h"
#include "update/updater/UpdateFileOperations.h"

namespace orlith {

struct UpdaterTimings {
  std::chrono::milliseconds exitDeadline{120'000};
  std::chrono::milliseconds launchConfirmation{60'000};
  std::chrono::milliseconds settle{1000};
};

struct UpdaterContext {
  UpdateLocations locations;
  std::shared_ptr<AppLauncher> launcher;
  std::shared_ptr<UuidSource> uuids;
  UpdaterTimings timings;
  pid_t ownPid = 0;
  std::shared_ptr<UpdateFileOperations> files = std::make_shared<SystemUpdateFileOperations>();
};

class Updater {
 public:
  explicit Updater(UpdaterContext context) : context_(std::move(context)) {}

  // Throws the run's first failure (UpdateFailure, UpdateLaunchFailure or a platform error)
  // after the clean-up its phase calls for.
  void run(const std::vector<std::string>& arguments);

 private:
  struct Handoff;

  void checkCancellation(Handoff& handoff) const;
  void verify(Handoff& handoff);
  void stageAndSwap(Handoff& handoff);
  void launchVerifiedApplication(const std::filesystem::path& application,
                                 const std::string& version, pid_t sourcePID,
                                 const UpdateTeam& team) const;
  void syncApplications(int applications) const;
  void recoverOriginal(const Handoff& handoff) const;
  void undoAfterFailure(Handoff& handoff, bool applicationMayBeRunning);
  bool holdsStagedCopy(const Handoff& handoff, const std::string& name) const;
  void removeStaged(const Handoff& handoff) const;

  UpdaterContext context_;
};

}  // namespace orlith
