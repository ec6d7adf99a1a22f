// One connection's installer service: it re-verifies and stages an update or the running app
// behind a token, launches the updater, runs the marker handshake, and cancels what the
// connection leaves behind. All its state lives on its own serial queue.
#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/FolderClaim.h"
#include "base/Uuid.h"
#include "update/installer/InstallerQueue.h"
#include "update/trust/AppLauncher.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/PinnedProcess.h"
#include "update/trust/UpdateArchiveReader.h"
#include "update/trust/UpdateInstallPlan.h"
#include "update/trust/UpdateInstallerHandler.h"
#include "update/trust/UpdateLocations.h"
#include "update/trust/UpdateParentExitObservation.h"
#include "update/trust/UpdateTeam.h"

namespace orlith {

struct InstallerServiceTimings {
  std::chrono::milliseconds preparedPoll{50};
  std::chrono::milliseconds preparedDeadline{120'000};
  std::chrono::milliseconds exitWait{250};
  std::chrono::milliseconds retryInterval{250};
  std::chrono::milliseconds settle{1000};
};

struct InstallerServiceContext {
  UpdateLocations locations;
  std::shared_ptr<AppLauncher> launcher;
  std::shared_ptr<const UpdateArchiveReader> archives;
  std::shared_ptr<UuidSource> uuids;
  InstallerServiceTimings timings;
};

class InstallerService final : public UpdateInstallerHandler {
 public:
  // source: the caller's bundle, links resolved. Throws UpdateFailure when the caller's exit
  // cannot be watched.
  InstallerService(std::filesystem::path source, std::shared_ptr<const PinnedProcess> caller,
                   UpdateTeam team, InstallerServiceContext context);
  ~InstallerService() override;

  void prepare(std::string package, std::string manifest,
               UpdateReplyGuard<UpdatePrepareReply> reply) override;
  void prepareCurrentApplication(UpdateReplyGuard<UpdatePrepareReply> reply) override;
  void install(std::string token, UpdateReplyGuard<UpdateCompletionReply> reply) override;
  void cancel(std::string token, UpdateReplyGuard<UpdateCompletionReply> reply) override;

  // The connection has ended: clean up on the queue.
  void connectionClosed();
  // True once the connection has closed, its clean-up has run and no install or retry is left;
  // false when the limit passed first.
  bool waitUntilFinished(std::chrono::milliseconds limit);

 private:
  std::filesystem::path makeRoot();
  std::string preparePackage(const std::string& package, const std::string& manifest,
                             std::optional<std::filesystem::path>& root);
  std::string prepareRunningCopy(std::optional<std::filesystem::path>& root);
  UpdateInstallPlan planFor(const std::filesystem::path& candidate,
                            const ResolvedDestination& destination,
                            const std::string& sourceVersion, const std::string& candidateVersion,
                            const std::string& architecture) const;
  std::string registerPlan(const std::filesystem::path& root, const UpdateInstallPlan& plan);
  void startInstall(const std::string& token, UpdateReplyGuard<UpdateCompletionReply> reply);
  void watchInstall(std::string token, std::filesystem::path plan, std::filesystem::path updater,
                    UpdateReplyGuard<UpdateCompletionReply> reply);
  void commit(const std::string& token, const std::filesystem::path& plan,
              const std::shared_ptr<const PinnedProcess>& updater,
              const UpdateReplyGuard<UpdateCompletionReply>& reply);
  void failLaunched(const std::filesystem::path& root, const char* message,
                    const UpdateReplyGuard<UpdateCompletionReply>& reply);
  void markCancelled(const std::filesystem::path& root);
  void forgetCancelledPlan(const std::string& token, const std::filesystem::path& root);
  void scheduleCancellationRetry();
  void retryCancellations();
  bool updaterEnded(const std::filesystem::path& root) const;
  bool nothingCanAnswer(const std::filesystem::path& root) const;
  // A root whose plan was forgotten while its updater was launching: removed once that updater
  // has ended, or at once when none started.
  void orphanRoot(const std::filesystem::path& root,
                  const std::shared_ptr<const PinnedProcess>& updater);
  void sweepOrphans();
  // Removes a root this service made, errors ignored, and lets go of its claim.
  void removeRoot(const std::filesystem::path& root);
  void cleanup();
  void updateFinished();
  // From a watcher thread; false once the service is stopping.
  bool postFromWatcher(InstallerQueue::Job job);
  bool isStopping();

  std::filesystem::path source_;
  std::shared_ptr<const PinnedProcess> caller_;
  UpdateTeam team_;
  InstallerServiceContext context_;
  UpdateParentExitObservation sourceExit_;

  // Touched on the queue only.
  std::map<std::string, std::filesystem::path> plans_;
  std::set<std::filesystem::path> committed_;
  std::set<std::filesystem::path> launched_;
  std::set<std::filesystem::path> cancellationRequested_;
  // A null process: the launch left no updater running.
  std::map<std::filesystem::path, std::shared_ptr<const PinnedProcess>> updaters_;
  // Forgotten while the launch was in flight; the launch's end decides.
  std::set<std::filesystem::path> abandoned_;
  std::map<std::filesystem::path, std::shared_ptr<const PinnedProcess>> orphans_;
  // The roots this service made and has not removed; a root handed to its updater stays
  // claimed until the service ends, which the updater's own claim outlasts.
  std::map<std::filesystem::path, FolderClaim> rootClaims_;
  bool orphanSweepScheduled_ = false;
  bool cancellationRetryScheduled_ = false;
  bool closed_ = false;
  int activeInstalls_ = 0;

  std::mutex finishedMutex_;
  std::condition_variable finishedChanged_;
  bool finished_ = false;
  // Guards stopping_, watchers_ and posting from a watcher, so none posts to a stopped queue.
  std::mutex watchersMutex_;
  bool stopping_ = false;
  std::vector<std::thread> watchers_;
  std::unique_ptr<InstallerQueue> queue_ = std::make_unique<InstallerQueue>();
};

}  // namespace orlith
