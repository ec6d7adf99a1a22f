// The update coordinator over scripted dependencies: the road through every stage and failure,
// timing, gating, the first installation and the restart road.
#include "update/client/UpdateCoordinator.h"

#include "CoordinatorFixture.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using Fixture = testing::CoordinatorFixture;
using S = UpdateStage;
using A = UpdateManualAction;

constexpr const char* kM1 =
    "The signed installer is unavailable in this build. Install Orlith manually from the "
    "downloaded archive.";
constexpr const char* kM2 = "Finish your downloads before restarting Orlith.";
constexpr const char* kM3 =
    "The installation could not be cancelled. Please keep Orlith open and try again.";
constexpr const char* kM4 = "Restart was cancelled. Save your work and try again.";
constexpr const char* kM5 = "Couldn\u2019t open the installer. Please try again.";

std::exception_ptr failure(const char* text, bool manual = false) {
  return std::make_exception_ptr(
      UpdateFailure(text, manual ? ManualInstallation::required : ManualInstallation::notRequired));
}

using CoordinatorRoadTest = Fixture;

// A fresh fixture per row of a table.
class Standalone final : public Fixture {
  void TestBody() override {}
};

TEST_F(CoordinatorRoadTest, AnUpdateIsCheckedDownloadedVerifiedAndStaged) {
  offer();
  coordinator->checkForUpdates();
  run();
  ASSERT_GE(snapshots.size(), 4u);
  EXPECT_EQ(snapshots[0].stage, S::checking);
  EXPECT_EQ(snapshots[1].stage, S::downloading);
  EXPECT_EQ(snapshots[1].version, "1.1.0");
  EXPECT_EQ(snapshots[2].stage, S::verifying);
  EXPECT_EQ(snapshots[2].progress, 100);
  EXPECT_EQ(now(), (UpdateSnapshot{S::ready, "1.1.0", 0, std::nullopt, false, A::openInstaller}));
  EXPECT_EQ(panelShown, 1);
  ASSERT_EQ(installer->preparedPackages.size(), 1u);
  EXPECT_EQ(installer->preparedPackages[0], "/cache/OrlithUpdates/1/Orlith-1.1.0.zip");

  // The staged token is the one installed; a second menu check only shows the panel.
  coordinator->checkForUpdates();
  run();
  EXPECT_EQ(checkCount, 1);
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(installer->installs, std::vector<std::string>{"token-1"});
  EXPECT_EQ(now().stage, S::restarting);
  EXPECT_EQ(terminateCalls, 1);
  EXPECT_TRUE(installer->cancels.empty()) << "quitting never withdraws the committed install";
}

TEST_F(CoordinatorRoadTest, EveryFailureEndsInItsStageWithNothingHeld) {
  struct Case {
    const char* name;
    std::function<void(Fixture&)> script;
    UpdateStage stage;
    std::optional<std::string> error;
    std::optional<std::string> version;
  };
  const Case cases[] = {
      {"check failed",
       [](Fixture& f) { f.checks.push_back(UpdateCheckResult::failed("Offline.")); }, S::failed,
       "Offline.", std::nullopt},
      {"up to date", [](Fixture& f) { f.checks.push_back(UpdateCheckResult::upToDate()); },
       S::upToDate, std::nullopt, std::nullopt},
      {"download failed",
       [](Fixture& f) {
         f.offer();
         f.downloadError = failure("The update package is too large.");
       },
       S::failed, "The update package is too large.", "1.1.0"},
      {"download threw something unexpected",
       [](Fixture& f) {
         f.offer();
         f.downloadError = std::make_exception_ptr(42);
       },
       S::failed, "An unknown error occurred.", "1.1.0"},
      {"no installer shipped",
       [](Fixture& f) {
         f.offer();
         f.installerAvailable = false;
       },
       S::manual, kM1, "1.1.0"},
      {"installer unavailable",
       [](Fixture& f) {
         f.offer();
         f.makeInstallerError =
             failure("The signed update installer is unavailable in this build.");
       },
       S::failed, "The signed update installer is unavailable in this build.", "1.1.0"},
      {"prepare needs a manual install",
       [](Fixture& f) {
         f.offer();
         f.installer->prepareError = failure("Move Orlith to Applications.", true);
       },
       S::manual, "Move Orlith to Applications.", "1.1.0"},
      {"prepare failed",
       [](Fixture& f) {
         f.offer();
         f.installer->prepareError = failure("The update package could not be verified.");
       },
       S::failed, "The update package could not be verified.", "1.1.0"},
  };
  for (const Case& c : cases) {
    auto fixture = std::make_unique<Standalone>();
    c.script(*fixture);
    fixture->coordinator->checkForUpdates();
    fixture->run();
    const UpdateSnapshot& got = fixture->now();
    EXPECT_EQ(got.stage, c.stage) << c.name;
    EXPECT_EQ(got.error, c.error) << c.name;
    EXPECT_EQ(got.version, c.version) << c.name;
    EXPECT_EQ(got.manualAction, A::openInstaller) << c.name;
    EXPECT_EQ(got.progress, 0) << c.name;
    // Nothing staged: the main button of a manual stage opens the package, never installs.
    fixture->coordinator->performPrimaryAction();
    fixture->run();
    EXPECT_TRUE(fixture->installer->installs.empty()) << c.name;
  }
}

// Progress is applied only to the running download of its own operation and version.
TEST_F(CoordinatorRoadTest, LateOrForeignProgressIsDropped) {
  offer();
  holdDownloads = true;
  coordinator->checkForUpdates();
  run();
  ASSERT_EQ(downloadGate.heldCount(), 1u);
  lastProgress(40);
  run();
  EXPECT_EQ(now().progress, 40);
  const auto staleReport = lastProgress;
  downloadGate.releaseOne();
  run();
  EXPECT_EQ(now().stage, S::ready);
  staleReport(70);
  run();
  EXPECT_EQ(now().progress, 0);
}

TEST_F(CoordinatorRoadTest, ManualStageOpensThePackageOrSaysItCannot) {
  offer();
  installerAvailable = false;
  coordinator->checkForUpdates();
  run();
  ASSERT_EQ(now().stage, S::manual);
  coordinator->performPrimaryAction();
  EXPECT_EQ(opened, std::vector<std::filesystem::path>{"/cache/OrlithUpdates/1/Orlith-1.1.0.zip"});
  EXPECT_EQ(now().error, kM1);
  openAnswer = false;
  coordinator->performPrimaryAction();
  EXPECT_EQ(now().error, kM5);
  EXPECT_EQ(now().stage, S::manual);
}

TEST_F(CoordinatorRoadTest, ANewPackageRemovesThePreviousOnesFolderOnly) {
  coordinator->start();
  run();
  ASSERT_EQ(pruned.size(), 1u);
  EXPECT_EQ(pruned[0], std::nullopt);

  offer();
  installer->prepareError = failure("The update package could not be verified.");
  coordinator->checkForUpdates();
  run();
  EXPECT_EQ(pruned.size(), 1u) << "the first package replaces nothing";
  offer();
  coordinator->checkForUpdates();
  run();
  ASSERT_EQ(pruned.size(), 2u);
  EXPECT_EQ(pruned[1], std::filesystem::path("/cache/OrlithUpdates/2/Orlith-1.1.0.zip"));
}

// A removal lists the folder when it starts: a download must not make its folder before the
// removal has ended, whether the check comes from the launch or from the menu.
TEST_F(CoordinatorRoadTest, NoDownloadStartsBeforeTheLaunchRemovalOfPackagesHasEnded) {
  holdPrunes = true;
  offer();
  coordinator->start();
  run();
  EXPECT_EQ(workRootSweeps, 1);
  EXPECT_EQ(checkCount, 1);
  EXPECT_EQ(downloadCount, 0);
  EXPECT_EQ(now().stage, S::downloading);
  coordinator->checkForUpdates();
  run();
  EXPECT_EQ(downloadCount, 0);
  pruneGate.releaseOne();
  run();
  EXPECT_EQ(downloadCount, 1);
  EXPECT_EQ(now().stage, S::ready);
  ASSERT_EQ(pruned.size(), 1u);
}

using CoordinatorTimingTest = Fixture;

TEST_F(CoordinatorTimingTest,
       ChecksRunAtOnceThenSixHoursAfterOneEndsOrFifteenMinutesAfterAFailure) {
  coordinator->start();
  coordinator->start();
  run();
  EXPECT_EQ(checkCount, 1);
  time.advance(21'600s - 1ms);
  run();
  EXPECT_EQ(checkCount, 1);
  checks.push_back(UpdateCheckResult::failed("Offline."));
  time.advance(1ms);
  run();
  EXPECT_EQ(checkCount, 2);
  time.advance(899s);
  run();
  EXPECT_EQ(checkCount, 2);
  time.advance(1s);
  run();
  EXPECT_EQ(checkCount, 3);
  // The wait counts the time the system spends asleep.
  time.suspend(21'600s);
  run();
  EXPECT_EQ(checkCount, 4);
}

TEST_F(CoordinatorTimingTest, TheNextWaitStartsWhenTheCheckEnds) {
  holdChecks = true;
  coordinator->start();
  run();
  ASSERT_EQ(checkGate.heldCount(), 1u);
  time.advance(1000s);
  holdChecks = false;
  checkGate.releaseOne();
  run();
  time.advance(21'599s);
  run();
  EXPECT_EQ(checkCount, 1);
  time.advance(1s);
  run();
  EXPECT_EQ(checkCount, 2);
}

using CoordinatorGatingTest = Fixture;

TEST_F(CoordinatorGatingTest, APendingDecisionStopsEveryCheckButShowsThePanel) {
  coordinator->setInitialDecisionPending(true);
  coordinator->start();
  coordinator->checkForUpdates();
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(checkCount, 0);
  EXPECT_EQ(panelShown, 1);
  EXPECT_TRUE(snapshots.empty());
  coordinator->completeInitialDecision(false);
  run();
  EXPECT_EQ(checkCount, 1);
}

TEST_F(CoordinatorGatingTest, DecliningBeforeStartLeavesTheFirstCheckToStart) {
  coordinator->setInitialDecisionPending(true);
  coordinator->completeInitialDecision(false);
  run();
  EXPECT_EQ(checkCount, 0);
  coordinator->start();
  run();
  EXPECT_EQ(checkCount, 1);
}

TEST_F(CoordinatorGatingTest, AnInstallAskedForWhileCheckingWaitsForTheCheckToFinish) {
  holdChecks = true;
  coordinator->checkForUpdates();
  run();
  coordinator->completeInitialDecision(true);
  run();
  EXPECT_EQ(installer->preparedCurrent, 0);
  checkGate.releaseOne();
  run();
  EXPECT_EQ(installer->preparedCurrent, 1);
  EXPECT_EQ(installer->installs, std::vector<std::string>{"token-1"});
  EXPECT_EQ(now(),
            (UpdateSnapshot{S::restarting, "1.0.0", 0, std::nullopt, true, A::openInstaller}));
  // During the first installation's restart a second request is ignored.
  coordinator->completeInitialDecision(true);
  run();
  EXPECT_EQ(installer->preparedCurrent, 1);
}

TEST_F(CoordinatorGatingTest, FirstInstallationWithRunningDownloadsWaitsAndRetriesWhole) {
  activeDownloads = true;
  coordinator->completeInitialDecision(true);
  run();
  EXPECT_EQ(now(), (UpdateSnapshot{S::ready, "1.0.0", 0, kM2, true, A::openInstaller}));
  EXPECT_EQ(installer->preparedCurrent, 0);
  activeDownloads = false;
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(installer->preparedCurrent, 1);
  EXPECT_EQ(now().stage, S::restarting);
}

TEST_F(CoordinatorGatingTest, FirstInstallationWithoutTheServiceAsksToRevealTheCopy) {
  installerAvailable = false;
  coordinator->completeInitialDecision(true);
  run();
  EXPECT_EQ(now(), (UpdateSnapshot{S::manual, "1.0.0", 0, kM1, true, A::revealApplication}));
  coordinator->performPrimaryAction();
  EXPECT_EQ(revealed, 1);

  installerAvailable = true;
  installer->prepareError = failure("Cannot write to Applications.", true);
  coordinator->completeInitialDecision(true);
  run();
  EXPECT_EQ(now(), (UpdateSnapshot{S::manual, "1.0.0", 0, "Cannot write to Applications.", true,
                                   A::revealApplication}));
}

using CoordinatorRestartTest = Fixture;

TEST_F(CoordinatorRestartTest, RunningDownloadsBlockTheRestartBeforeAndAfterTheInstall) {
  offer();
  coordinator->checkForUpdates();
  run();
  activeDownloads = true;
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(now().stage, S::ready);
  EXPECT_EQ(now().error, kM2);
  EXPECT_TRUE(installer->installs.empty());

  activeDownloads = false;
  activeDownloadAnswers = {false, false, true};
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(installer->installs.size(), 1u);
  EXPECT_EQ(installer->cancels, std::vector<std::string>{"token-1"});
  EXPECT_EQ(now(), (UpdateSnapshot{S::failed, "1.1.0", 0, kM2, false, A::openInstaller}));
  EXPECT_EQ(terminateCalls, 0);
}

TEST_F(CoordinatorRestartTest, ARefusedQuitWithdrawsTheInstall) {
  offer();
  coordinator->checkForUpdates();
  run();
  terminateAnswer = TerminateAnswer::refused;
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(terminateCalls, 1);
  EXPECT_EQ(installer->cancels, std::vector<std::string>{"token-1"});
  EXPECT_EQ(now(), (UpdateSnapshot{S::failed, "1.1.0", 0, kM4, false, A::openInstaller}));
}

TEST_F(CoordinatorRestartTest, AFailedInstallWhoseCancelFailsKeepsM3UntilACancelSucceeds) {
  offer();
  coordinator->checkForUpdates();
  run();
  installer->installError = failure("Couldn't restart. Please try again.");
  installer->cancelAnswers = {false, false};
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(now(), (UpdateSnapshot{S::failed, "1.1.0", 0, kM3, false, A::openInstaller}));

  // The next check retries the cancel first and stops while it keeps failing.
  coordinator->checkForUpdates();
  run();
  EXPECT_EQ(installer->cancels.size(), 2u);
  EXPECT_EQ(checkCount, 1);
  EXPECT_EQ(now().error, kM3);
  coordinator->checkForUpdates();
  run();
  EXPECT_EQ(installer->cancels.size(), 3u);
  EXPECT_EQ(checkCount, 2);
  EXPECT_EQ(now().stage, S::upToDate);
}

TEST_F(CoordinatorRestartTest, AFailedInstallWithAWorkingCancelShowsTheInstallError) {
  offer();
  coordinator->checkForUpdates();
  run();
  installer->installError = failure("The update installer disconnected. Please check again.");
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(now(), (UpdateSnapshot{S::failed, "1.1.0", 0,
                                   "The update installer disconnected. Please check again.", false,
                                   A::openInstaller}));
  // Nothing is held any more: "Try again" runs a fresh road with a fresh installer.
  offer("1.1.0");
  coordinator->performPrimaryAction();
  run();
  EXPECT_EQ(now().stage, S::ready);
  EXPECT_EQ(installersMade, 2);
}

TEST_F(CoordinatorRestartTest, AFirstInstallationWithdrawsAStagedUpdateFirst) {
  offer();
  coordinator->checkForUpdates();
  run();
  installer->token = "token-2";
  coordinator->completeInitialDecision(true);
  run();
  EXPECT_EQ(installer->cancels, std::vector<std::string>{"token-1"});
  EXPECT_EQ(installer->installs, std::vector<std::string>{"token-2"});
  EXPECT_TRUE(now().isInitialInstallation);
}

}  // namespace
}  // namespace orlith
