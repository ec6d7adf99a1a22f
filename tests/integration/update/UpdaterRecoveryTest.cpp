// The updater's failure paths after staging, on real processes and a real Applications folder: a
// running sealed app as the caller, the real renames, and a launcher that starts the real
// programs or stands in for a launch that fails. Whatever fails, a working app stays in place.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>

#include "PeerListener.h"
#include "support/SequentialUuidSource.h"
#include "support/TemporaryDirectory.h"
#include "unit/update/FakeUserDatabase.h"
#include "unit/update/SealedBundles.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateTreeFiles.h"
#include "update/trust/UpdateWire.h"
#include "update/trust/UpdateWorkRoot.h"
#include "update/updater/UpdateLaunchFailure.h"
#include "update/updater/Updater.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

// The second UUID the updater takes names the backup.
constexpr const char* kBackupName = ".Orlith-previous-00000000-0000-4000-8000-000000000002.app";

// The real file operations, each recorded with the name of the folder it touched.
class RecordingFileOperations final : public UpdateFileOperations {
 public:
  void syncTree(int folder) override {
    record("sync tree " + nameOf(folder));
    real_.syncTree(folder);
  }
  void syncFolder(int folder) override {
    record("sync folder " + nameOf(folder));
    real_.syncFolder(folder);
  }
  bool renameWithin(int folder, const std::string& from, const std::string& to,
                    unsigned flags) override {
    record("rename " + from + " " + to);
    return real_.renameWithin(folder, from, to, flags);
  }
  std::vector<std::string> log() const {
    const std::lock_guard lock(mutex_);
    return log_;
  }

 private:
  static std::string nameOf(int fd) {
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename();
  }
  void record(std::string entry) {
    const std::lock_guard lock(mutex_);
    log_.push_back(std::move(entry));
  }
  SystemUpdateFileOperations real_;
  mutable std::mutex mutex_;
  std::vector<std::string> log_;
};

enum class LaunchBehaviour { start, nothingStarts, startsTheSource };
enum class Caller { quits, keepsRunning };

// Starts the real sealed program (the peer, pointed at the test's listener), or fails as asked
// for the first launch; every later launch starts the program.
class TestLauncher final : public AppLauncher {
 public:
  TestLauncher(std::string listener, LaunchBehaviour first, std::filesystem::path source)
      : listener_(std::move(listener)), first_(first), source_(std::move(source)) {}

  std::optional<PinnedProcess> launch(const LaunchRequest& request,
                                      const UpdateTeam& team) override {
    LaunchRequest real = request;
    real.arguments = {listener_};
    LaunchBehaviour behaviour = LaunchBehaviour::start;
    {
      const std::lock_guard lock(mutex_);
      behaviour = requests_.empty() ? first_ : LaunchBehaviour::start;
      requests_.push_back(request.bundle);
    }
    if (behaviour == LaunchBehaviour::nothingStarts) {
      return std::nullopt;
    }
    if (behaviour == LaunchBehaviour::startsTheSource) {
      real.bundle = source_;
    }
    auto process = SystemAppLauncher().launch(real, team);
    if (process) {
      const std::lock_guard lock(mutex_);
      started_.push_back(process->pid());
    }
    return process;
  }

  std::vector<std::filesystem::path> requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
  }
  std::vector<pid_t> started() const {
    const std::lock_guard lock(mutex_);
    return started_;
  }

 private:
  std::string listener_;
  LaunchBehaviour first_;
  std::filesystem::path source_;
  mutable std::mutex mutex_;
  std::vector<std::filesystem::path> requests_;
  std::vector<pid_t> started_;
};

class UpdaterRecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const bool root = ::geteuid() == 0;
    locations_ = test::testLocations(tree_.path(), ::geteuid(), (tree_.path() / "home").string());
    // Root has no user Applications folder, and only root owns the system one.
    applications_ = root ? tree_.path() / "opt/Applications" : tree_.path() / "home/Applications";
    std::filesystem::create_directories(applications_);
    std::filesystem::create_directories(tree_.path() / "tmp");
    ::chmod(applications_.c_str(), 0755);
    target_ = applications_ / "Orlith.app";
    source_ = tree_.path() / "home/Downloads/Orlith.app";
    makeApp(target_, "0.9.0");
    makeApp(source_, "1.0.0");
    locations_.ownBundle = source_ / "Contents/Helpers/OrlithUpdater.app";
  }

  void TearDown() override {
    if (launcher_) {
      for (const pid_t pid : launcher_->started()) {
        listener_.stop(pid);
      }
    }
  }

  void makeApp(const std::filesystem::path& app, const std::string& version) {
    test::BundleSpec spec;
    spec.version = version;
    spec.pinnedKey = manifestKey_.publicKeyText();
    spec.program = test::readFile(ORLITH_TEST_PEER_PATH);
    team_.makeApplication(app, spec);
  }

  // Starts the caller from the source bundle and writes the plan the service would have written
  // for it, already committed.
  std::filesystem::path prepare() {
    parent_ = listener_.start(source_);
    EXPECT_GT(parent_, 0);
    RandomUuidSource rootNames;
    root_ = UpdateWorkRoot::create(locations_, rootNames).path;
    const auto candidate = root_ / "Orlith.app";
    UpdateTreeFiles::copy(source_.string(), candidate.string());
    UpdateInstallPlan plan;
    const auto destination = InstallationSecurity::resolveDestination(
        source_, candidate, "1.0.0", "x64", team_.team(), locations_);
    EXPECT_EQ(destination.operation, UpdateInstallOperation::replace);
    plan.candidate = candidate;
    plan.target = destination.target;
    plan.source = source_;
    plan.localSourceFingerprint = InstallationSecurity::bundleFingerprint(source_);
    plan.sourceVersion = plan.candidateVersion = plan.version = "1.0.0";
    plan.architecture = "x64";
    plan.parentPID = parent_;
    plan.sourceIdentity = InstallationSecurity::directoryIdentity(source_);
    plan.targetIdentity = destination.targetIdentity;
    plan.parentIdentity = destination.parentIdentity;
    plan.operation = destination.operation;
    targetIdentity_ = *destination.targetIdentity;
    UpdateWorkRoot::writePlan(root_, plan);
    if (committedAtStart_) {
      commit();
    }
    return UpdateWorkRoot::planFile(root_);
  }

  void commit() const {
    UpdateWorkRoot::writeMarker(root_, UpdateMarker::committed,
                                UpdateWorkRoot::processIdText(kUpdaterPid));
  }

  // Runs the updater; once it has announced itself, `onPrepared` runs and then the caller quits
  // or keeps running. Returns the failure text, empty on success.
  std::string run(
      LaunchBehaviour firstLaunch, const std::function<void()>& onPrepared = [] {},
      Caller caller = Caller::quits) {
    const auto plan = prepare();
    launcher_ = std::make_shared<TestLauncher>(listener_.path().string(), firstLaunch, source_);
    UpdaterTimings timings;
    timings.exitDeadline = 2s;
    timings.launchConfirmation = 10s;
    timings.settle = 300ms;
    UpdaterContext context{locations_, launcher_,   std::make_shared<SequentialUuidSource>(),
                           timings,    kUpdaterPid, files_};
    std::thread handover([&] {
      const auto deadline = std::chrono::steady_clock::now() + 10s;
      while (!std::filesystem::exists(root_ / "Prepared") &&
             std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
      }
      onPrepared();
      if (caller == Caller::quits) {
        listener_.stop(parent_);
      }
    });
    std::string failure;
    try {
      Updater(std::move(context)).run({plan.string()});
    } catch (const UpdateFailure& error) {
      failure = error.message();
    } catch (const std::exception& error) {
      failure = error.what();
    }
    handover.join();
    return failure;
  }

  std::vector<std::string> applicationsFolder() const {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(applications_)) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string versionAt(const std::filesystem::path& app) const {
    return InstallationSecurity::bundleMetadata(app)
        .find("CFBundleShortVersionString")
        ->string()
        ->c_str();
  }

  // The user's previous copy is back at the target, unchanged, and still passes its checks.
  void expectPreviousCopyInPlace() const {
    EXPECT_EQ(InstallationSecurity::directoryIdentity(target_), targetIdentity_);
    EXPECT_EQ(versionAt(target_), "0.9.0");
    EXPECT_NO_THROW(
        InstallationSecurity::validateCandidate(target_, "0.9.0", team_.team(), locations_));
  }

  static constexpr pid_t kUpdaterPid = 424242;

  TemporaryDirectory tree_;
  UpdateLocations locations_;
  test::TestTeam team_;
  SealingKey manifestKey_ = SealingKey::generate();
  std::filesystem::path applications_;
  std::filesystem::path target_;
  std::filesystem::path source_;
  std::filesystem::path root_;
  test::PeerListener listener_{tree_.path() / "listener"};
  pid_t parent_ = -1;
  bool committedAtStart_ = true;
  UpdateDirectoryIdentity targetIdentity_;
  std::shared_ptr<TestLauncher> launcher_;
  std::shared_ptr<RecordingFileOperations> files_ = std::make_shared<RecordingFileOperations>();
};

TEST_F(UpdaterRecoveryTest, BackupNameTakenAfterTheSwapSwapsBackAndRelaunchesThePreviousCopy) {
  // Someone else's item under the backup name makes the rename after the swap fail: the
  // previous app then lies under the staged name while the new copy holds the target.
  test::writeFile(applications_ / kBackupName / "keep", "another installer's");

  EXPECT_EQ(run(LaunchBehaviour::start), "The previous signed application could not be preserved.");
  expectPreviousCopyInPlace();
  EXPECT_EQ(applicationsFolder(), (std::vector<std::string>{kBackupName, "Orlith.app"}));
  EXPECT_EQ(test::readFile(applications_ / kBackupName / "keep"), "another installer's");
  EXPECT_EQ(launcher_->requests(), std::vector<std::filesystem::path>{target_});
  EXPECT_FALSE(std::filesystem::exists(root_));
}

TEST_F(UpdaterRecoveryTest, NewCopyThatDoesNotStartIsSwappedBackAndItsCopyDeleted) {
  EXPECT_EQ(run(LaunchBehaviour::nothingStarts),
            "The system could not launch the installed application.");
  expectPreviousCopyInPlace();
  EXPECT_EQ(applicationsFolder(), std::vector<std::string>{"Orlith.app"});
  // The new copy first, then the previous one at the same place.
  EXPECT_EQ(launcher_->requests(), (std::vector<std::filesystem::path>{target_, target_}));
  EXPECT_EQ(launcher_->started().size(), 1u);
}

TEST_F(UpdaterRecoveryTest, UnconfirmedLaunchLeavesTheNewCopyAndKeepsTheBackup) {
  // Another program answered the launch: the new copy may be running, so nothing moves back.
  EXPECT_EQ(run(LaunchBehaviour::startsTheSource),
            "The system did not confirm the installed application launch. The signed backup was "
            "preserved.");
  EXPECT_EQ(versionAt(target_), "1.0.0");
  const auto names = applicationsFolder();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(names[0].starts_with(update_wire::kPreviousCopyPrefix)) << names[0];
  EXPECT_EQ(InstallationSecurity::directoryIdentity(applications_ / names[0]), targetIdentity_);
  EXPECT_EQ(launcher_->requests().size(), 1u);
}

TEST_F(UpdaterRecoveryTest, SuccessfulReplaceLeavesTheNewCopyAndThePreviousAsBackup) {
  EXPECT_EQ(run(LaunchBehaviour::start), "");
  EXPECT_EQ(versionAt(target_), "1.0.0");
  const auto names = applicationsFolder();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], ".Orlith-previous-00000000-0000-4000-8000-000000000002.app");
  EXPECT_EQ(InstallationSecurity::directoryIdentity(applications_ / names[0]), targetIdentity_);
  EXPECT_FALSE(std::filesystem::exists(root_));
}

// The staged copy is on disk before it takes the app's name, and the folder's new names are on
// disk after the swap and after the backup is named.
TEST_F(UpdaterRecoveryTest, SwapIsSyncedBeforeAndAfterInOrder) {
  ASSERT_EQ(run(LaunchBehaviour::start), "");
  const std::string staged = ".Orlith-update-00000000-0000-4000-8000-000000000001.app";
  const std::string backup = ".Orlith-previous-00000000-0000-4000-8000-000000000002.app";
  const std::string folder = applications_.filename();
  EXPECT_EQ(files_->log(), (std::vector<std::string>{
                               "sync tree " + staged,
                               "rename " + staged + " Orlith.app",
                               "sync folder " + folder,
                               "rename " + staged + " " + backup,
                               "sync folder " + folder,
                           }));
}

TEST_F(UpdaterRecoveryTest, AppThatDoesNotQuitLeavesTheTargetAndRemovesTheStagedCopy) {
  EXPECT_EQ(run(
                LaunchBehaviour::start, [] {}, Caller::keepsRunning),
            "The application did not finish closing. Installation was cancelled.");
  expectPreviousCopyInPlace();
  EXPECT_EQ(applicationsFolder(), std::vector<std::string>{"Orlith.app"});
  EXPECT_TRUE(launcher_->requests().empty());
  EXPECT_FALSE(std::filesystem::exists(root_));
}

TEST_F(UpdaterRecoveryTest, ForeignItemUnderTheStagedNameIsNeverDeleted) {
  const std::string staged = ".Orlith-update-00000000-0000-4000-8000-000000000001.app";
  // Another installer takes the staged name while the updater waits for the app to quit.
  const auto replaceStaged = [&] {
    std::filesystem::rename(applications_ / staged, tree_.path() / "moved-away");
    test::writeFile(applications_ / staged / "keep", "another installer's");
  };

  const std::string failure = run(LaunchBehaviour::start, replaceStaged);
  EXPECT_FALSE(failure.empty());
  expectPreviousCopyInPlace();
  EXPECT_EQ(applicationsFolder(), (std::vector<std::string>{staged, "Orlith.app"}));
  EXPECT_EQ(test::readFile(applications_ / staged / "keep"), "another installer's");
  EXPECT_FALSE(std::filesystem::exists(root_));
}

TEST_F(UpdaterRecoveryTest, CommittedThatAppearsAndVanishesDuringTheExitWaitCancels) {
  committedAtStart_ = false;
  const auto commitThenWithdraw = [&] {
    commit();
    std::this_thread::sleep_for(300ms);
    std::filesystem::remove(root_ / "Committed");
  };

  // The app never quits: only the withdrawal can end the wait before its deadline.
  EXPECT_EQ(run(LaunchBehaviour::start, commitThenWithdraw, Caller::keepsRunning),
            "The installation was cancelled.");
  expectPreviousCopyInPlace();
  EXPECT_EQ(applicationsFolder(), std::vector<std::string>{"Orlith.app"});
  EXPECT_TRUE(launcher_->requests().empty());
}

}  // namespace
}  // namespace orlith
