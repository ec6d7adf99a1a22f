// The installer service's plan states as one table: a sealed app really running as the caller,
// the real checks, and a launcher that starts a sealed stand-in for the updater and announces it
// as told. Each case runs calls in and reads the replies and the work root's files out.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "BundleSealer.h"
#include "PeerListener.h"
#include "base/Json.h"
#include "base/Sha256.h"
#include "support/TemporaryDirectory.h"
#include "unit/update/FakeUserDatabase.h"
#include "unit/update/SealedBundles.h"
#include "update/installer/InstallerService.h"
#include "update/trust/UpdateWire.h"
#include "update/trust/UpdateWorkRoot.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

enum class Announce { pid, pidWithLineEnd, nothingStarts, cancelledInstead };

// Starts the sealed updater bundle's program (the peer) and writes "Prepared" for it as asked,
// before the service looks.
class AnnouncingLauncher final : public AppLauncher {
 public:
  AnnouncingLauncher(test::PeerListener& listener, Announce announce)
      : listener_(listener), announce_(announce) {}
  ~AnnouncingLauncher() override { listener_.stop(updater_); }

  std::optional<PinnedProcess> launch(const LaunchRequest& request,
                                      const UpdateTeam& team) override {
    if (announce_ == Announce::nothingStarts) {
      return std::nullopt;
    }
    LaunchRequest real = request;
    real.arguments = {listener_.path().string()};
    auto process = SystemAppLauncher().launch(real, team);
    if (!process) {
      return process;
    }
    updater_ = process->pid();
    const std::filesystem::path root = std::filesystem::path(request.arguments.at(0)).parent_path();
    const std::string pid = UpdateWorkRoot::processIdText(process->pid());
    if (announce_ == Announce::cancelledInstead) {
      UpdateWorkRoot::writeMarker(root, UpdateMarker::cancelled, "");
    } else {
      UpdateWorkRoot::writeMarker(root, UpdateMarker::prepared,
                                  announce_ == Announce::pid ? pid : pid + "\n");
    }
    return process;
  }

  pid_t updater() const { return updater_; }

 private:
  test::PeerListener& listener_;
  Announce announce_;
  pid_t updater_ = -1;
};

// Takes its time before it starts the updater's stand-in (or nothing), which announces nothing.
class SlowLauncher final : public AppLauncher {
 public:
  SlowLauncher(test::PeerListener& listener, bool starts) : listener_(listener), starts_(starts) {}

  std::optional<PinnedProcess> launch(const LaunchRequest& request,
                                      const UpdateTeam& team) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    if (!starts_) {
      return std::nullopt;
    }
    LaunchRequest real = request;
    real.arguments = {listener_.path().string()};
    auto process = SystemAppLauncher().launch(real, team);
    updater_ = process ? process->pid() : -1;
    return process;
  }

  pid_t updater() const { return updater_; }

 private:
  test::PeerListener& listener_;
  bool starts_;
  std::atomic<pid_t> updater_ = -1;
};

enum class Action { install, cancel, updaterEnds, appQuits, connectionCloses };

constexpr const char* kOk = "ok";
constexpr const char* kExpired = "The prepared update expired. Check again.";
constexpr const char* kUsed = "This installation handoff was already used. Please try again.";
constexpr const char* kNotCancelled =
    "The installation could not be cancelled. Please keep Orlith open and try again.";
constexpr const char* kNotPrepared = "The verified update installer could not prepare the restart.";
constexpr const char* kNotLaunched = "Couldn't launch the verified update installer.";

struct Files {
  bool root;
  bool committed;
  bool cancelled;
  bool operator==(const Files&) const = default;
};

struct StateCase {
  const char* name;
  Announce announce;
  std::vector<Action> actions;
  std::vector<std::string> replies;  // of the installs and cancels, in order
  Files files;
};

void PrintTo(const StateCase& c, std::ostream* out) {
  *out << c.name;
}

class InstallerServiceStatesTest : public ::testing::TestWithParam<StateCase> {
 protected:
  void SetUp() override {
    locations_ = test::testLocations(tree_.path(), ::geteuid(), (tree_.path() / "home").string());
    std::filesystem::create_directories(tree_.path() / "tmp");
    std::filesystem::create_directories(tree_.path() / "home");
    if (::geteuid() == 0) {
      // Root has no user Applications folder; the system one is the target.
      std::filesystem::create_directories(tree_.path() / "opt/Applications");
    }
    source_ = tree_.path() / "home/Downloads/Orlith.app";
    makeApp(source_);
    locations_.ownBundle = source_ / "Contents/XPCServices/OrlithUpdateInstaller.xpc";
    caller_ = listener_.start(source_);
    ASSERT_GT(caller_, 0);
  }

  // The app, its service and its updater, all running the peer program.
  void makeApp(const std::filesystem::path& app) {
    const std::string key = manifestKey_.publicKeyText();
    const std::string peer = test::readFile(ORLITH_TEST_PEER_PATH);
    test::BundleSpec spec;
    spec.pinnedKey = key;
    spec.program = peer;
    test::makeBundle(app, spec);
    const auto installer = app / "Contents/XPCServices/OrlithUpdateInstaller.xpc";
    const auto updater = app / "Contents/Helpers/OrlithUpdater.app";
    auto service = test::helperSpec(std::string(update_wire::kServiceIdentifier),
                                    "OrlithUpdateInstaller", key);
    auto helper =
        test::helperSpec(std::string(update_wire::kHelperIdentifier), "OrlithUpdater", key);
    helper.program = peer;
    test::makeBundle(installer, service);
    test::makeBundle(updater, helper);
    team_.seal(installer);
    team_.seal(updater);
    team_.seal(app, test::applicationEntitlements(team_.id()));
  }

  std::unique_ptr<InstallerService> makeService(std::shared_ptr<AppLauncher> launcher) {
    InstallerServiceTimings timings;
    timings.preparedPoll = 5ms;
    timings.preparedDeadline = 3s;
    timings.retryInterval = 20ms;
    timings.settle = 100ms;
    InstallerServiceContext context{locations_, std::move(launcher), nullptr,
                                    std::make_shared<RandomUuidSource>(), timings};
    auto caller = PinnedProcess::open(caller_);
    return std::make_unique<InstallerService>(
        source_, std::make_shared<const PinnedProcess>(std::move(*caller)), team_.team(),
        std::move(context));
  }

  template <typename Reply, typename Call>
  static Reply await(Call call) {
    auto promise = std::make_shared<std::promise<Reply>>();
    call(UpdateReplyGuard<Reply>([promise](const Reply& reply) { promise->set_value(reply); }));
    auto future = promise->get_future();
    EXPECT_EQ(future.wait_for(10s), std::future_status::ready);
    return future.get();
  }

  static std::string text(const UpdateCompletionReply& reply) {
    return reply.ok ? kOk : reply.error.value_or("(no text)");
  }

  TemporaryDirectory tree_;
  test::PeerListener listener_{tree_.path() / "listener"};
  UpdateLocations locations_;
  test::TestTeam team_;
  SealingKey manifestKey_ = SealingKey::generate();
  std::filesystem::path source_;
  pid_t caller_ = -1;
};

TEST_P(InstallerServiceStatesTest, ActionsLeaveTheRepliesAndFilesOfTheirState) {
  const StateCase& c = GetParam();
  auto launcher = std::make_shared<AnnouncingLauncher>(listener_, c.announce);
  auto service = makeService(launcher);
  const UpdatePrepareReply prepared = await<UpdatePrepareReply>(
      [&](auto reply) { service->prepareCurrentApplication(std::move(reply)); });
  ASSERT_TRUE(prepared.token) << prepared.error.value_or("");
  const auto roots = std::filesystem::directory_iterator(tree_.path() / "tmp");
  const std::filesystem::path root = roots->path();

  std::vector<std::string> replies;
  for (const Action action : c.actions) {
    switch (action) {
      case Action::install:
        replies.push_back(text(await<UpdateCompletionReply>(
            [&](auto reply) { service->install(*prepared.token, std::move(reply)); })));
        break;
      case Action::cancel:
        replies.push_back(text(await<UpdateCompletionReply>(
            [&](auto reply) { service->cancel(*prepared.token, std::move(reply)); })));
        break;
      case Action::updaterEnds:
        listener_.stop(launcher->updater());
        break;
      case Action::appQuits:
        listener_.stop(caller_);
        break;
      case Action::connectionCloses:
        service->connectionClosed();
        EXPECT_TRUE(service->waitUntilFinished(5s));
        break;
    }
  }
  EXPECT_EQ(replies, c.replies);
  const Files files{std::filesystem::exists(root), std::filesystem::exists(root / "Committed"),
                    std::filesystem::exists(root / "Cancelled")};
  EXPECT_EQ(files, c.files) << "root " << files.root << ", committed " << files.committed
                            << ", cancelled " << files.cancelled;
  if (files.committed) {
    EXPECT_EQ(test::readFile(root / "Committed"),
              UpdateWorkRoot::processIdText(launcher->updater()));
  }
}

// A cancel while the updater is being launched forgets the plan; once the launch has ended (and
// the updater it started has stopped) nothing owns the work root, and it is removed.
TEST_F(InstallerServiceStatesTest, CancelDuringTheLaunchLeavesNoWorkRoot) {
  for (const bool starts : {false, true}) {
    auto launcher = std::make_shared<SlowLauncher>(listener_, starts);
    auto service = makeService(launcher);
    const UpdatePrepareReply prepared = await<UpdatePrepareReply>(
        [&](auto reply) { service->prepareCurrentApplication(std::move(reply)); });
    ASSERT_TRUE(prepared.token) << prepared.error.value_or("");
    const std::filesystem::path root =
        std::filesystem::directory_iterator(tree_.path() / "tmp")->path();

    auto installed = std::make_shared<std::promise<UpdateCompletionReply>>();
    service->install(*prepared.token,
                     UpdateReplyGuard<UpdateCompletionReply>(
                         [installed](const auto& reply) { installed->set_value(reply); }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(text(await<UpdateCompletionReply>(
                  [&](auto reply) { service->cancel(*prepared.token, std::move(reply)); })),
              kOk);
    auto installReply = installed->get_future();
    ASSERT_EQ(installReply.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(installReply.get().ok);
    if (starts) {
      // It would stop on "Cancelled" by itself; the stand-in is stopped.
      ASSERT_GT(launcher->updater(), 0);
      listener_.stop(launcher->updater());
    }
    service->connectionClosed();
    EXPECT_TRUE(service->waitUntilFinished(5s)) << "updater started: " << starts;
    EXPECT_FALSE(std::filesystem::exists(root)) << "updater started: " << starts;
    service.reset();
  }
}

// A signed, valid manifest for a newer version, and a running app whose own Info.plist no longer
// reads: the package is not a newer update, in the fixed text, never the reader's error.
TEST_F(InstallerServiceStatesTest, UnreadableRunningVersionMeansThePackageIsNotNewer) {
  const std::string package = "not a zip";
  const Json inner{{"ok", true},
                   {"version", "9.0.0"},
                   {"downloadUrl", "https://127.0.0.1/updates/Orlith-9.0.0.zip"},
                   {"sha256", sha256Hex(package)},
                   {"platform", std::string(update_wire::kPlatform)},
                   {"arch", std::string(update_wire::kOwnArchitecture)}};
  const std::string manifest = BundleSealer::signManifest(inner.dump(), manifestKey_);
  test::writeFile(source_ / "Contents/Info.plist", "<plist><dict><key>broken");
  auto service = makeService(std::make_shared<SlowLauncher>(listener_, false));
  const UpdatePrepareReply reply = await<UpdatePrepareReply>(
      [&](auto guard) { service->prepare(package, manifest, std::move(guard)); });
  EXPECT_EQ(reply,
            (UpdatePrepareReply{std::nullopt, "This package is not a newer update.", false}));
  EXPECT_TRUE(std::filesystem::is_empty(tree_.path() / "tmp"));
}

using A = Action;

INSTANTIATE_TEST_SUITE_P(
    States, InstallerServiceStatesTest,
    ::testing::Values(
        StateCase{"PreparedPlanStaysUntouched", Announce::pid, {}, {}, {true, false, false}},
        StateCase{"CancelledPreparedPlanIsForgottenAndRemoved",
                  Announce::pid,
                  {A::cancel, A::install},
                  {kOk, kExpired},
                  {false, false, false}},
        StateCase{"AnnouncedUpdaterIsCommittedOnce",
                  Announce::pid,
                  {A::install, A::install},
                  {kOk, kUsed},
                  {true, true, false}},
        StateCase{"AnnouncementWithALineEndIsRefusedAndCancelled",
                  Announce::pidWithLineEnd,
                  {A::install, A::install},
                  {kNotPrepared, kNotCancelled},
                  {true, false, true}},
        StateCase{"CancelledMarkerDuringTheWaitFailsTheInstall",
                  Announce::cancelledInstead,
                  {A::install},
                  {kNotPrepared},
                  {true, false, true}},
        StateCase{"UpdaterThatDoesNotStartIsALaunchFailure",
                  Announce::nothingStarts,
                  {A::install, A::install},
                  {kNotLaunched, kNotCancelled},
                  {true, false, true}},
        StateCase{"CancelAfterCommitWithdrawsItAndLeavesTheRootToTheUpdater",
                  Announce::pid,
                  {A::install, A::cancel, A::install},
                  {kOk, kOk, kExpired},
                  {true, false, true}},
        StateCase{"ConnectionLostWhileTheAppRunsCancelsTheCommittedPlan",
                  Announce::pid,
                  {A::install, A::connectionCloses},
                  {kOk},
                  {true, false, true}},
        StateCase{"ConnectionLostAfterTheAppQuitHandsTheCommittedPlanOver",
                  Announce::pid,
                  {A::install, A::appQuits, A::connectionCloses},
                  {kOk},
                  {true, true, false}},
        StateCase{"PlanOfAnEndedUpdaterIsCancelledAndRemovedInsteadOfHandedOver",
                  Announce::pid,
                  {A::install, A::updaterEnds, A::appQuits, A::connectionCloses},
                  {kOk},
                  {false, false, false}},
        StateCase{"RootOfAnUpdaterThatNeverStartedIsRemovedAtTheEnd",
                  Announce::nothingStarts,
                  {A::install, A::connectionCloses},
                  {kNotLaunched},
                  {false, false, false}},
        StateCase{"ConnectionLostBeforeAnyInstallRemovesThePreparedRoot",
                  Announce::pid,
                  {A::connectionCloses},
                  {},
                  {false, false, false}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orlith
