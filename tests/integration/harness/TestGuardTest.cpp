// The guard every test runs under: what a test leaves behind, even in a session of its own,
// ends with the test however the test ends, and the test's exit status comes through.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "support/TemporaryDirectory.h"

extern char** environ;

namespace orlith {
namespace {

using namespace std::chrono_literals;

bool alive(pid_t pid) {
  return ::kill(pid, 0) == 0;
}

bool gone(pid_t pid, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  while (alive(pid)) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

pid_t spawnGuarded(const std::string& script) {
  const char* argv[] = {ORLITH_TEST_GUARD_PATH, "/bin/sh", "-c", script.c_str(), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  return pid;
}

// The pid the script wrote, once it is there (it moves the whole file in place).
pid_t readPid(const std::filesystem::path& file) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(file);
    pid_t pid = 0;
    if (in >> pid)
      return pid;
    std::this_thread::sleep_for(20ms);
  }
  return 0;
}

enum class Ending { testExits, guardKilled, guardsStarterKilled };

std::string endingName(const ::testing::TestParamInfo<Ending>& info) {
  constexpr const char* kNames[] = {"TestExits", "GuardKilled", "GuardsStarterKilled"};
  return kNames[static_cast<int>(info.param)];
}

class TestGuardEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(TestGuardEnding, EndsWhatTheTestLeftInASessionOfItsOwn) {
  TemporaryDirectory scratch;
  const auto pidFile = scratch.path() / "left.pid";
  // A process in its own session, as the updater and the relaunched app are.
  const std::string leave = "setsid sleep 600 & echo $! > " + pidFile.string() + ".new && mv " +
                            pidFile.string() + ".new " + pidFile.string();
  // The test ends once told to, or is killed before that.
  const auto go = scratch.path() / "go";
  const std::string script = leave + "; while [ ! -e " + go.string() + " ]; do sleep 0.05; done";
  pid_t waited = 0;
  if (GetParam() == Ending::guardsStarterKilled) {
    // The test runner itself killed: the guard's starter goes, and the guard with it.
    waited = ::fork();
    if (waited == 0) {
      const pid_t guard = spawnGuarded(script);
      ::waitpid(guard, nullptr, 0);
      ::_exit(0);
    }
  } else {
    waited = spawnGuarded(script);
  }
  const pid_t left = readPid(pidFile);
  ASSERT_NE(left, 0) << "the test did not start its process";
  ASSERT_TRUE(alive(left));
  if (GetParam() == Ending::testExits)
    std::ofstream(go).flush();
  else
    ::kill(waited, SIGKILL);
  ::waitpid(waited, nullptr, 0);
  EXPECT_TRUE(gone(left, 5s)) << "process " << left << " outlived its test";
}

INSTANTIATE_TEST_SUITE_P(Endings, TestGuardEnding,
                         ::testing::Values(Ending::testExits, Ending::guardKilled,
                                           Ending::guardsStarterKilled),
                         endingName);

TEST(TestGuard, PassesTheTestsExitStatusOn) {
  int status = 0;
  ::waitpid(spawnGuarded("exit 3"), &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
  ::waitpid(spawnGuarded("kill -USR1 $$"), &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR1) << status;
}

}  // namespace
}  // namespace orlith
