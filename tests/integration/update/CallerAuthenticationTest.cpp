// Caller authentication on real processes: a sealed test program in a fixture app bundle
// connects to a listener in the test, and the checks judge the process behind the socket.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "support/TemporaryDirectory.h"
#include "unit/update/SealedBundles.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/ProcessTable.h"
#include "update/trust/UniqueFd.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

constexpr const char* kCallerInvalid = "The update caller's signature is invalid.";

std::string failureOf(const std::function<void()>& check) {
  try {
    check();
  } catch (const UpdateFailure& failure) {
    return failure.message();
  }
  return "";
}

class CallerAuthenticationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    socketPath_ = tree_.path() / "listener";
    listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, socketPath_.c_str());
    ASSERT_EQ(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener_.get(), 4), 0);
  }
  void TearDown() override {
    for (const pid_t child : children_) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
  }

  std::filesystem::path makeApp(const std::string& folder) {
    const auto app = tree_.path() / folder / "Orlith.app";
    test::BundleSpec spec;
    spec.program = test::readFile(ORLITH_TEST_PEER_PATH);
    team_.makeApplication(app, spec);
    return app;
  }

  // Starts the app's program and accepts its connection.
  std::pair<pid_t, UniqueFd> launch(const std::filesystem::path& app) {
    const std::string program = (app / "Contents/MacOS/Orlith").string();
    const pid_t child = ::fork();
    if (child == 0) {
      ::execl(program.c_str(), program.c_str(), socketPath_.c_str(), nullptr);
      ::_exit(127);
    }
    children_.push_back(child);
    pollfd entry{listener_.get(), POLLIN, 0};
    if (::poll(&entry, 1, 10'000) != 1) {
      ADD_FAILURE() << "the peer did not connect";
      return {child, UniqueFd()};
    }
    return {child, UniqueFd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC))};
  }

  TemporaryDirectory tree_;
  test::TestTeam team_;
  std::filesystem::path socketPath_;
  UniqueFd listener_;
  std::vector<pid_t> children_;
};

TEST_F(CallerAuthenticationTest, SealedCallerIsAcceptedWithItsBundle) {
  const auto app = makeApp("a");
  const auto [pid, connection] = launch(app);
  const AuthenticatedCaller caller =
      InstallationSecurity::authenticatedCaller(connection.get(), team_.team());
  EXPECT_EQ(caller.bundle, app);
  EXPECT_EQ(caller.process.pid(), pid);
  EXPECT_NO_THROW(InstallationSecurity::validateRunningSource(app, caller.process, team_.team()));
  EXPECT_EQ(InstallationSecurity::callerArchitecture(pid), "x64");
}

TEST_F(CallerAuthenticationTest, RefusesCallersThatAreNotTheSealedProgram) {
  struct Case {
    const char* name;
    // Runs after the program started and before the check.
    std::function<void(const std::filesystem::path& app, pid_t pid)> spoil;
    std::function<UpdateTeam(const test::TestTeam&)> team;
  };
  const auto sameTeam = [](const test::TestTeam& team) { return team.team(); };
  const test::TestTeam otherKey(team_.id());
  const std::vector<Case> cases = {
      {"unsealed",
       [](const auto& app, pid_t) {
         std::filesystem::remove(app / "Contents/_CodeSignature/CodeSignature");
       },
       sameTeam},
      {"sealed with another key", [](const auto&, pid_t) {},
       [&](const test::TestTeam&) { return otherKey.team(); }},
      {"program renamed over after launch",
       [](const auto& app, pid_t) {
         test::writeFile(app / "Contents/MacOS/.replacement", test::readFile(ORLITH_TEST_PEER_PATH),
                         0755);
         std::filesystem::rename(app / "Contents/MacOS/.replacement",
                                 app / "Contents/MacOS/Orlith");
       },
       sameTeam},
      {"killed before the accept",
       [](const auto&, pid_t pid) {
         ::kill(pid, SIGKILL);
         ::waitpid(pid, nullptr, 0);
       },
       sameTeam},
  };
  int index = 0;
  for (const Case& c : cases) {
    const auto app = makeApp("case" + std::to_string(index++));
    auto [pid, connection] = launch(app);
    c.spoil(app, pid);
    EXPECT_EQ(failureOf([&, fd = connection.get()] {
                InstallationSecurity::authenticatedCaller(fd, c.team(team_));
              }),
              kCallerInvalid)
        << c.name;
  }
}

TEST_F(CallerAuthenticationTest, SecondLiveCopyBlocksTheInstallation) {
  const auto [first, firstConnection] = launch(makeApp("a"));
  const auto [second, secondConnection] = launch(makeApp("b"));
  EXPECT_EQ(failureOf([&] { InstallationSecurity::refuseOtherApplicationInstances(first); }),
            "Close the other running Orlith copy before installing this update.");
  // Other tests may run copies of their own, so the table is asked about these two only: a
  // terminated copy (a zombie, not yet reaped) is no running copy.
  ::kill(second, SIGKILL);
  siginfo_t info{};
  ::waitid(P_PID, static_cast<id_t>(second), &info, WEXITED | WNOWAIT);
  const auto running = ProcessTable::processesOfBundle("com.tolvik.orlith.mac", ::geteuid());
  EXPECT_NE(std::find(running.begin(), running.end(), first), running.end());
  EXPECT_EQ(std::find(running.begin(), running.end(), second), running.end());
}

TEST_F(CallerAuthenticationTest, TestsScopeTheRunningCopyCheckToTheirOwnTree) {
  const auto [first, firstConnection] = launch(makeApp("mine/a"));
  const auto [other, otherConnection] = launch(makeApp("elsewhere/b"));
  UpdateLocations locations;
  locations.instanceScope = tree_.path() / "mine";
  EXPECT_EQ(
      failureOf([&] { InstallationSecurity::refuseOtherApplicationInstances(first, locations); }),
      "");
  const auto [second, secondConnection] = launch(makeApp("mine/c"));
  EXPECT_EQ(
      failureOf([&] { InstallationSecurity::refuseOtherApplicationInstances(first, locations); }),
      "Close the other running Orlith copy before installing this update.");
}

TEST_F(CallerAuthenticationTest, RunningSourceMustBeTheBundleAtTheGivenPath) {
  const auto app = makeApp("a");
  const auto copy = makeApp("b");
  const auto [pid, connection] = launch(app);
  EXPECT_NO_THROW(InstallationSecurity::validateRunningSource(app, pid, team_.team()));
  EXPECT_EQ(
      failureOf([&] { InstallationSecurity::validateRunningSource(copy, pid, team_.team()); }),
      "The application restart handoff is invalid.");
}

}  // namespace
}  // namespace orlith
