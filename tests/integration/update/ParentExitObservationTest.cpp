// The exit watch on real processes, and the "Committed" marker on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/TemporaryDirectory.h"
#include "unit/update/FakeUserDatabase.h"
#include "unit/update/SealedBundles.h"
#include "update/trust/UpdateCancellationAuthorization.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateParentExitObservation.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

pid_t spawnSleeper() {
  const pid_t child = ::fork();
  if (child == 0) {
    ::pause();
    ::_exit(0);
  }
  return child;
}

void reap(pid_t child) {
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

TEST(ParentExitObservationTest, SeesAChildExitWithoutWaitingForTheDeadline) {
  const pid_t child = spawnSleeper();
  UpdateParentExitObservation watch(child);
  std::thread killer([child] {
    std::this_thread::sleep_for(150ms);
    ::kill(child, SIGTERM);
  });
  const auto started = Clock::now();
  EXPECT_TRUE(watch.wait(started + 30s, [] {}));
  EXPECT_LT(Clock::now() - started, 10s);
  killer.join();
  ::waitpid(child, nullptr, 0);
}

TEST(ParentExitObservationTest, SeesTheExitOfAProcessThatIsNotItsChild) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t middle = ::fork();
  if (middle == 0) {
    const pid_t grandchild = spawnSleeper();
    [[maybe_unused]] auto w = ::write(pipeFds[1], &grandchild, sizeof grandchild);
    ::_exit(0);
  }
  pid_t grandchild = 0;
  ASSERT_EQ(::read(pipeFds[0], &grandchild, sizeof grandchild),
            static_cast<ssize_t>(sizeof grandchild));
  ::waitpid(middle, nullptr, 0);
  UpdateParentExitObservation watch(grandchild);
  EXPECT_FALSE(watch.wait(Clock::now() + 200ms, [] {}));
  ::kill(grandchild, SIGKILL);
  EXPECT_TRUE(watch.wait(Clock::now() + 30s, [] {}));
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

TEST(ParentExitObservationTest, ReapedProcessIsExitedAfterOneCheck) {
  const pid_t child = spawnSleeper();
  reap(child);
  UpdateParentExitObservation watch(child);
  int checks = 0;
  EXPECT_TRUE(watch.wait(Clock::now() + 30s, [&] { ++checks; }));
  EXPECT_EQ(checks, 1);
}

TEST(ParentExitObservationTest, DeadlineEndsTheWaitAfterAboutTenChecks) {
  const pid_t child = spawnSleeper();
  UpdateParentExitObservation watch(child);
  int checks = 0;
  const auto started = Clock::now();
  EXPECT_FALSE(watch.wait(started + 1s, [&] { ++checks; }));
  const auto waited = Clock::now() - started;
  EXPECT_GE(waited, 1s);
  EXPECT_LT(waited, 3s);
  EXPECT_GE(checks, 9);
  EXPECT_LE(checks, 12);
  reap(child);
}

TEST(ParentExitObservationTest, ThrowingCheckEndsTheWaitAtOnceEvenForAnExitedProcess) {
  const pid_t child = spawnSleeper();
  reap(child);
  UpdateParentExitObservation gone(child);
  EXPECT_THROW(gone.wait(Clock::now() + 30s, [] { throw std::runtime_error("cancelled"); }),
               std::runtime_error);
  const pid_t running = spawnSleeper();
  UpdateParentExitObservation live(running);
  const auto started = Clock::now();
  EXPECT_THROW(live.wait(started + 30s, [] { throw std::runtime_error("cancelled"); }),
               std::runtime_error);
  EXPECT_LT(Clock::now() - started, 1s);
  reap(running);
}

TEST(ParentExitObservationTest, PidBelowOneIsAnInvalidHandoff) {
  for (const pid_t pid : {0, -1}) {
    try {
      UpdateParentExitObservation watch(pid);
      FAIL() << pid;
    } catch (const UpdateFailure& failure) {
      EXPECT_EQ(failure.message(), "The application restart handoff is invalid.");
    }
  }
}

class CommittedMarkerTest : public ::testing::Test {
 public:
  void SetUp() override {
    locations_ = test::testLocations(tree_.path(), ::geteuid(), std::nullopt);
    std::filesystem::create_directories(root_);
    ::chmod(root_.c_str(), 0700);
  }
  void writeMarker(const std::string& content, mode_t mode = 0600) {
    test::writeFile(root_ / "Committed", content, mode);
  }

  TemporaryDirectory tree_;
  UpdateLocations locations_;
  std::filesystem::path root_ = tree_.path() / "OrlithUpdate-1";
};

TEST_F(CommittedMarkerTest, OnlyAPrivateSingleLinkFileWithTheExactPidCommits) {
  struct Case {
    const char* name;
    std::function<void(CommittedMarkerTest&)> make;
    bool committed;
  };
  const std::vector<Case> cases = {
      {"exact pid", [](auto& t) { t.writeMarker("4242"); }, true},
      {"symbolic link",
       [](auto& t) {
         test::writeFile(t.root_ / "target", "4242", 0600);
         std::filesystem::create_symlink(t.root_ / "target", t.root_ / "Committed");
       },
       false},
      {"second hard link",
       [](auto& t) {
         t.writeMarker("4242");
         std::filesystem::create_hard_link(t.root_ / "Committed", t.root_ / "copy");
       },
       false},
      {"group-writable", [](auto& t) { t.writeMarker("4242", 0620); }, false},
      {"empty", [](auto& t) { t.writeMarker(""); }, false},
      {"trailing newline", [](auto& t) { t.writeMarker("4242\n"); }, false},
      {"another pid", [](auto& t) { t.writeMarker("4243"); }, false},
      {"another owner",
       [](auto& t) {
         t.writeMarker("4242");
         if (::geteuid() == 0) {
           ASSERT_EQ(::chown((t.root_ / "Committed").c_str(), 65534, 65534), 0);
         }
       },
       ::geteuid() != 0},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    c.make(*this);
    EXPECT_EQ(UpdateCancellationAuthorization::isCommitted(root_, 4242, locations_), c.committed)
        << c.name;
  }
}

TEST_F(CommittedMarkerTest, RevokeWithdrawsTheMarkerForEveryPid) {
  writeMarker("4242");
  UpdateCancellationAuthorization::revokeCommitted(root_, locations_);
  EXPECT_FALSE(std::filesystem::exists(root_ / "Committed"));
  EXPECT_FALSE(UpdateCancellationAuthorization::isCommitted(root_, 4242, locations_));
}

TEST_F(CommittedMarkerTest, RevokeOfAMissingRootOrMarkerSucceeds) {
  EXPECT_NO_THROW(UpdateCancellationAuthorization::revokeCommitted(root_, locations_));
  EXPECT_NO_THROW(UpdateCancellationAuthorization::revokeCommitted(tree_.path() / "OrlithUpdate-2",
                                                                   locations_));
}

TEST_F(CommittedMarkerTest, RevokeThroughALinkedRootFails) {
  writeMarker("4242");
  std::filesystem::create_directory_symlink(root_, tree_.path() / "OrlithUpdate-link");
  EXPECT_THROW(UpdateCancellationAuthorization::revokeCommitted(tree_.path() / "OrlithUpdate-link",
                                                                locations_),
               UpdateFailure);
  EXPECT_TRUE(std::filesystem::exists(root_ / "Committed"));
}

int refuseUnlink(int, const char*, int) {
  errno = EBUSY;
  return -1;
}

TEST_F(CommittedMarkerTest, MarkerThatCannotBeRemovedIsEmptiedInPlace) {
  writeMarker("4242");
  UpdateCancellationAuthorization::revokeCommitted(root_, locations_, refuseUnlink);
  EXPECT_EQ(std::filesystem::file_size(root_ / "Committed"), 0u);
  EXPECT_FALSE(UpdateCancellationAuthorization::isCommitted(root_, 4242, locations_));

  std::filesystem::remove(root_ / "Committed");
  writeMarker("4242");
  std::filesystem::create_hard_link(root_ / "Committed", root_ / "copy");
  try {
    UpdateCancellationAuthorization::revokeCommitted(root_, locations_, refuseUnlink);
    FAIL() << "a shared marker was emptied";
  } catch (const UpdateFailure& failure) {
    EXPECT_EQ(failure.message(), UpdateCancellationAuthorization::kFailureMessage);
  }
  EXPECT_EQ(test::readFile(root_ / "copy"), "4242");
}

}  // namespace
}  // namespace orlith
