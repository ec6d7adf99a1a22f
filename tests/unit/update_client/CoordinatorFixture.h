// Scripted dependencies for the update coordinator, a manual clock and a manual main queue.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <exception>
#include <memory>
#include <variant>
#include <vector>

#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/SequentialUuidSource.h"
#include "update/client/UpdateCoordinator.h"
#include "update/trust/UpdateFailure.h"

namespace orlith::testing {

// Holds coroutines until the test opens it; each waits for one release.
class Gate {
 public:
  class Awaiter {
   public:
    explicit Awaiter(Gate& gate) : gate_(gate) {}
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> awaiting) {
      pending_.arm(awaiting);
      gate_.held_.push_back(pending_.slot());
    }
    void await_resume() const noexcept {}

   private:
    Gate& gate_;
    detail::PendingResume pending_;
  };

  Awaiter wait() { return Awaiter(*this); }
  std::size_t heldCount() const { return held_.size(); }
  void releaseOne() {
    detail::ResumeSlot slot = held_.front();
    held_.pop_front();
    detail::resumeOnMainQueue(std::move(slot));
  }

 private:
  std::deque<detail::ResumeSlot> held_;
};

class FakeInstaller final : public UpdateInstalling {
 public:
  Task<std::string> prepare(std::filesystem::path packageURL, VerifiedUpdateRelease) override {
    preparedPackages.push_back(packageURL);
    if (prepareError)
      std::rethrow_exception(prepareError);
    co_return token;
  }
  Task<std::string> prepareCurrentApplication() override {
    ++preparedCurrent;
    if (prepareError)
      std::rethrow_exception(prepareError);
    co_return token;
  }
  Task<void> install(std::string sent) override {
    installs.push_back(sent);
    if (installError)
      std::rethrow_exception(installError);
    co_return;
  }
  Task<bool> cancel(std::string sent) override {
    cancels.push_back(sent);
    bool answer = cancelAnswers.empty() ? true : cancelAnswers.front();
    if (!cancelAnswers.empty())
      cancelAnswers.pop_front();
    co_return answer;
  }

  std::string token = "token-1";
  std::exception_ptr prepareError;
  std::exception_ptr installError;
  std::deque<bool> cancelAnswers;
  std::vector<std::filesystem::path> preparedPackages;
  int preparedCurrent = 0;
  std::vector<std::string> installs;
  std::vector<std::string> cancels;
};

class CoordinatorFixture : public ::testing::Test {
 public:
  CoordinatorFixture() {
    UpdateCoordinator::Dependencies d;
    d.check = [this]() -> Task<UpdateCheckResult> { return check(); };
    d.download = [this](const VerifiedUpdateRelease& release,
                        UpdateCoordinator::Dependencies::DownloadProgress progress) {
      return download(release, std::move(progress));
    };
    d.installerAvailable = [this] { return installerAvailable; };
    d.makeInstaller = [this]() { return makeInstaller(); };
    d.hasActiveDownloads = [this] {
      if (activeDownloadAnswers.empty())
        return activeDownloads;
      const bool answer = activeDownloadAnswers.front();
      activeDownloadAnswers.pop_front();
      return answer;
    };
    d.showPanel = [this] { ++panelShown; };
    d.openInstaller = [this](const std::filesystem::path& path) {
      opened.push_back(path);
      return openAnswer;
    };
    d.revealApplication = [this] { ++revealed; };
    d.persistAndTerminate = [this] {
      ++terminateCalls;
      return terminateAnswer;
    };
    d.removePackagesExcept = [this](std::optional<std::filesystem::path> keep) {
      pruned.push_back(keep);
      return prune();
    };
    d.removeUnclaimedWorkRoots = [this] { ++workRootSweeps; };
    coordinator = std::make_shared<UpdateCoordinator>(std::move(d), time, uuids, "1.0.0");
    coordinator->changed().connect([this] { snapshots.push_back(coordinator->snapshot()); });
  }

  // Ends the periodic task's sleep, so its frame is freed rather than left suspended.
  ~CoordinatorFixture() override {
    coordinator.reset();
    queue.runUntilIdle();
  }

  static VerifiedUpdateRelease release(const std::string& version = "1.1.0") {
    return {version, *Url::parse("https://127.0.0.1/downloads/Orlith-" + version + ".zip"),
            std::string(64, 'a'), "{}"};
  }
  void offer(const std::string& version = "1.1.0") {
    checks.push_back(UpdateCheckResult::available(release(version)));
  }

  Task<UpdateCheckResult> check() {
    ++checkCount;
    if (holdChecks)
      co_await checkGate.wait();
    if (checks.empty())
      co_return UpdateCheckResult::upToDate();
    UpdateCheckResult next = std::move(checks.front());
    checks.pop_front();
    co_return next;
  }

  Task<std::filesystem::path> download(VerifiedUpdateRelease wanted,
                                       UpdateCoordinator::Dependencies::DownloadProgress progress) {
    ++downloadCount;
    lastProgress = progress;
    if (holdDownloads)
      co_await downloadGate.wait();
    if (downloadError)
      std::rethrow_exception(downloadError);
    co_return std::filesystem::path("/cache/OrlithUpdates") / std::to_string(downloadCount) /
        ("Orlith-" + wanted.version + ".zip");
  }

  Task<void> prune() {
    if (holdPrunes)
      co_await pruneGate.wait();
  }

  Task<std::shared_ptr<UpdateInstalling>> makeInstaller() {
    ++installersMade;
    if (makeInstallerError)
      std::rethrow_exception(makeInstallerError);
    co_return installer;
  }

  void run() { queue.runUntilIdle(); }
  const UpdateSnapshot& now() const { return coordinator->snapshot(); }

  ManualMainQueue queue;
  MainQueue::Installation installation{queue};
  ManualTime time;
  SequentialUuidSource uuids;

  std::deque<UpdateCheckResult> checks;
  bool holdChecks = false;
  Gate checkGate;
  int checkCount = 0;
  bool holdDownloads = false;
  Gate downloadGate;
  std::exception_ptr downloadError;
  int downloadCount = 0;
  UpdateCoordinator::Dependencies::DownloadProgress lastProgress;
  bool installerAvailable = true;
  std::exception_ptr makeInstallerError;
  int installersMade = 0;
  std::shared_ptr<FakeInstaller> installer = std::make_shared<FakeInstaller>();
  bool activeDownloads = false;
  std::deque<bool> activeDownloadAnswers;
  int panelShown = 0;
  bool openAnswer = true;
  std::vector<std::filesystem::path> opened;
  int revealed = 0;
  TerminateAnswer terminateAnswer = TerminateAnswer::quitting;
  int terminateCalls = 0;
  std::vector<std::optional<std::filesystem::path>> pruned;
  bool holdPrunes = false;
  Gate pruneGate;
  int workRootSweeps = 0;

  std::shared_ptr<UpdateCoordinator> coordinator;
  std::vector<UpdateSnapshot> snapshots;
};

}  // namespace orlith::testing
