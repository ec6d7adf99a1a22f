// The channel's calls against a peer socket that stops reading or never answers: every call ends
// within its time-out, send included, and says how it ended.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "update/trust/UpdateInstallerChannel.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using CallEnd = UpdateInstallerChannel::CallEnd;

struct Pair {
  Pair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    app.reset(fds[0]);
    service.reset(fds[1]);
  }
  UniqueFd app;
  UniqueFd service;
};

TEST(UpdateInstallerChannelTest, APrepareTheServiceDoesNotReadEndsAtItsTimeOutAndEndsTheStream) {
  Pair pair;
  UpdateInstallerChannel channel(std::move(pair.app));
  CallEnd end = CallEnd::answered;
  const auto before = std::chrono::steady_clock::now();
  const auto reply = channel.prepare(std::string(16 * 1024 * 1024, 'p'), "{}", 300ms, &end);
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_EQ(reply, UpdatePrepareReply::unanswered());
  EXPECT_EQ(end, CallEnd::sendTimedOut);
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 3s);
  EXPECT_TRUE(channel.isClosed());
  // The service's end sees the stream end once it drains what was written.
  char buffer[65536];
  ssize_t got = 0;
  while ((got = ::recv(pair.service.get(), buffer, sizeof buffer, 0)) > 0) {
  }
  EXPECT_EQ(got, 0);
  end = CallEnd::answered;
  channel.cancel("t", 1s, &end);
  EXPECT_EQ(end, CallEnd::unanswered);
}

TEST(UpdateInstallerChannelTest, AnUnansweredCallEndsAtItsTimeOutAndCloseEndsAWaitingOne) {
  Pair pair;
  UpdateInstallerChannel channel(std::move(pair.app));
  CallEnd end = CallEnd::answered;
  channel.install("t", 100ms, &end);
  EXPECT_EQ(end, CallEnd::unanswered);
  EXPECT_FALSE(channel.isClosed());

  std::thread closer([&] {
    std::this_thread::sleep_for(100ms);
    channel.close();
  });
  const auto before = std::chrono::steady_clock::now();
  channel.install("t", 30s, &end);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
  EXPECT_EQ(end, CallEnd::unanswered);
  EXPECT_TRUE(channel.isClosed());
  closer.join();
}

}  // namespace
}  // namespace orlith
