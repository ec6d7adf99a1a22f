// The installer service serves only the app that started it, and only what that process writes.
// A process that makes the socket pair, keeps both ends in a child and then becomes the genuine
// sealed app passes the socket's credential check; the child must still get no token.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "support/TemporaryDirectory.h"
#include "unit/update/SealedBundles.h"
#include "update/trust/UpdateFrameStream.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

enum class Order { childStartsTheService, serviceStartedBeforeTheExec };

class CallerBindingTest : public ::testing::TestWithParam<Order> {
 protected:
  void SetUp() override {
    test::writeFile(tree_.path() / "orlith-update-test-tree", "");
    std::filesystem::create_directories(tree_.path() / "tmp");
    std::filesystem::create_directories(tree_.path() / "home");
    std::filesystem::create_directories(tree_.path() / "opt/Applications");
    app_ = tree_.path() / "home/Downloads/Orlith.app";
    const std::string key = test::TestTeam().key().publicKeyText();
    test::BundleSpec spec;
    spec.pinnedKey = key;
    spec.program = test::readFile(ORLITH_TEST_PEER_PATH);
    test::makeBundle(app_, spec);
    const auto installer = app_ / "Contents/XPCServices/OrlithUpdateInstaller.xpc";
    const auto updater = app_ / "Contents/Helpers/OrlithUpdater.app";
    auto service = test::helperSpec(std::string(update_wire::kServiceIdentifier),
                                    "OrlithUpdateInstaller", key);
    service.program = test::readFile(ORLITH_TEST_INSTALLER_PATH);
    auto helper =
        test::helperSpec(std::string(update_wire::kHelperIdentifier), "OrlithUpdater", key);
    helper.program = test::readFile(ORLITH_TEST_PEER_PATH);
    test::makeBundle(installer, service);
    test::makeBundle(updater, helper);
    team_.seal(installer);
    team_.seal(updater);
    team_.seal(app_, test::applicationEntitlements(team_.id()));

    listenerPath_ = tree_.path() / "listener";
    listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, listenerPath_.c_str());
    ASSERT_EQ(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener_.get(), 4), 0);
  }

  void TearDown() override {
    if (group_ > 0) {
      ::kill(-group_, SIGKILL);
      while (::waitpid(-group_, nullptr, 0) > 0) {
      }
    }
  }

  std::string program(const std::filesystem::path& bundle, const char* name) const {
    return (bundle / "Contents/MacOS" / name).string();
  }

  TemporaryDirectory tree_;
  test::TestTeam team_;
  std::filesystem::path app_;
  std::filesystem::path listenerPath_;
  UniqueFd listener_;
  pid_t group_ = -1;
};

// Runs in the forked children only.
[[noreturn]] void startService(const std::string& service, int end) {
  if (::dup2(end, 3) < 0) {
    ::_exit(120);
  }
  ::execl(service.c_str(), service.c_str(), nullptr);
  ::_exit(127);
}

// Waits until `pid` runs `program`, then asks on `end` for a staged copy and reports the answer:
// "token", "refused", "closed" or "no answer".
[[noreturn]] void impostor(pid_t pid, const std::string& program, int end, int report) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  char target[4096];
  for (;;) {
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == program) {
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ::_exit(121);
    }
    std::this_thread::sleep_for(10ms);
  }
  // Past the exec itself: the app is up, as a real caller would be.
  std::this_thread::sleep_for(500ms);
  std::string outcome = "closed";
  try {
    UpdateFrameStream stream{UniqueFd(end)};
    UpdateInstallerRequest request;
    request.id = 1;
    request.method = UpdateInstallerMethod::prepareCurrentApplication;
    stream.writeRequest(request);
    pollfd entry{end, POLLIN, 0};
    if (::poll(&entry, 1, 20'000) != 1) {
      outcome = "no answer";
    } else if (const auto reply = stream.readReply()) {
      const auto* prepared = std::get_if<UpdatePrepareReply>(&reply->body);
      outcome = prepared && prepared->token ? "token" : "refused";
    }
  } catch (const std::exception&) {
    outcome = "closed";
  }
  [[maybe_unused]] const auto written = ::write(report, outcome.data(), outcome.size());
  ::_exit(0);
}

TEST_P(CallerBindingTest, AProcessThatKeptTheOtherEndGetsNoTokenAndNothingIsStaged) {
  int report[2];
  ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
  const std::string appProgram = program(app_, "Orlith");
  const std::string service =
      program(app_ / "Contents/XPCServices/OrlithUpdateInstaller.xpc", "OrlithUpdateInstaller");
  const std::string socketPath = listenerPath_.string();
  const Order order = GetParam();

  const pid_t maker = ::fork();
  if (maker == 0) {
    ::setpgid(0, 0);
    const pid_t self = ::getpid();
    // The pair is this process's own, so the socket's credentials name it.
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
      ::_exit(122);
    }
    if (order == Order::serviceStartedBeforeTheExec && ::fork() == 0) {
      startService(service, pair[1]);
    }
    if (::fork() == 0) {
      if (order == Order::childStartsTheService && ::fork() == 0) {
        startService(service, pair[1]);
      }
      impostor(self, appProgram, pair[0], report[1]);
    }
    // Becomes the genuine sealed app, which knows nothing of the pair it still holds.
    ::execl(appProgram.c_str(), appProgram.c_str(), socketPath.c_str(), nullptr);
    ::_exit(127);
  }
  group_ = maker;
  ::setpgid(maker, maker);
  ::close(report[1]);
  UniqueFd reportRead(report[0]);

  pollfd peer{listener_.get(), POLLIN, 0};
  ASSERT_EQ(::poll(&peer, 1, 10'000), 1) << "the app did not start";
  const UniqueFd app(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
  pollfd answer{reportRead.get(), POLLIN, 0};
  ASSERT_EQ(::poll(&answer, 1, 90'000), 1) << "no outcome";
  char buffer[64];
  const ssize_t got = ::read(reportRead.get(), buffer, sizeof buffer);
  ASSERT_GT(got, 0);
  const std::string outcome(buffer, static_cast<std::size_t>(got));
  // Other holders of the service's end keep the stream open, so a refused stream may simply
  // stay silent; what matters is that no token came back.
  EXPECT_NE(outcome, "token");
  EXPECT_TRUE(std::filesystem::is_empty(tree_.path() / "tmp"));
}

INSTANTIATE_TEST_SUITE_P(Orders, CallerBindingTest,
                         ::testing::Values(Order::childStartsTheService,
                                           Order::serviceStartedBeforeTheExec),
                         [](const auto& info) {
                           return info.param == Order::childStartsTheService
                                      ? std::string("ChildStartsTheService")
                                      : std::string("ServiceStartedBeforeTheExec");
                         });

}  // namespace
}  // namespace orlith
