// The stand-in a test starts: it ends with the process that started it, however that ends, and
// a port someone else listens on, even one shared with SO_REUSEPORT as a stale stand-in shared
// it, is a failure at once that names the port and who holds it.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "support/StandinProcess.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

bool accepts(int port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(socket);
  return connected;
}

TEST(StandinProcess, EndsWhenItsStarterIsKilled) {
  int portPipe[2];
  ASSERT_EQ(::pipe(portPipe), 0);
  const pid_t starter = ::fork();
  if (starter == 0) {
    testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_DEV_DIR);
    const int port = standin.port();
    [[maybe_unused]] auto written = ::write(portPipe[1], &port, sizeof port);
    ::pause();
    ::_exit(0);
  }
  ::close(portPipe[1]);
  int port = 0;
  ASSERT_EQ(::read(portPipe[0], &port, sizeof port), static_cast<ssize_t>(sizeof port));
  ::close(portPipe[0]);
  ASSERT_TRUE(accepts(port));
  ::kill(starter, SIGKILL);
  ::waitpid(starter, nullptr, 0);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (accepts(port) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(accepts(port)) << "the stand-in still listens on " << port;
}

std::string ownName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

enum class Sharing { none, reusePort };

class StandinOnATakenPort : public ::testing::TestWithParam<Sharing> {};

TEST_P(StandinOnATakenPort, FailsAtOnceNamingThePortAndItsHolder) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  if (GetParam() == Sharing::reusePort)
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));

  const auto started = std::chrono::steady_clock::now();
  try {
    testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_DEV_DIR, 15s, {"--port", port});
    ADD_FAILURE() << "the stand-in listens beside another listener on " << port;
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "orlith-standin: cannot listen on 127.0.0.1:" + port +
                                             ": the port is in use by process " +
                                             std::to_string(::getpid()) + " (" + ownName() + ")");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  ::close(listener);
}

INSTANTIATE_TEST_SUITE_P(Listeners, StandinOnATakenPort,
                         ::testing::Values(Sharing::none, Sharing::reusePort),
                         [](const auto& info) {
                           return std::string(info.param == Sharing::none ? "Plain" : "ReusePort");
                         });

}  // namespace
}  // namespace orlith
