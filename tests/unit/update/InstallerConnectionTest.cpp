// The service's read loop: a second package is not taken in while the first is unanswered.
#include "update/installer/InstallerConnection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace orlith {
namespace {

using namespace std::chrono_literals;

class HoldingHandler final : public UpdateInstallerHandler {
 public:
  void prepare(std::string package, std::string,
               UpdateReplyGuard<UpdatePrepareReply> reply) override {
    const std::lock_guard lock(mutex_);
    sizes_.push_back(package.size());
    replies_.push_back(std::move(reply));
    changed_.notify_all();
  }
  void prepareCurrentApplication(UpdateReplyGuard<UpdatePrepareReply> reply) override {
    reply(UpdatePrepareReply::success("current"));
  }
  void install(std::string, UpdateReplyGuard<UpdateCompletionReply> reply) override {
    reply(UpdateCompletionReply::success());
  }
  void cancel(std::string, UpdateReplyGuard<UpdateCompletionReply> reply) override {
    reply(UpdateCompletionReply::success());
  }

  // How many prepares arrived once `count` have, or the wait ran out.
  std::size_t waitForPrepares(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return sizes_.size() >= count; });
    return sizes_.size();
  }
  void answer(std::size_t index, const std::string& token) {
    UpdateReplyGuard<UpdatePrepareReply> reply = [&] {
      const std::lock_guard lock(mutex_);
      return replies_.at(index);
    }();
    reply(UpdatePrepareReply::success(token));
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::size_t> sizes_;
  std::vector<UpdateReplyGuard<UpdatePrepareReply>> replies_;
};

TEST(InstallerConnectionTest, ASecondPackageWaitsUntilTheFirstIsAnswered) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  UpdateFrameStream app{UniqueFd(fds[0])};
  UpdateFrameStream service{UniqueFd(fds[1])};
  HoldingHandler handler;
  std::thread loop([&] { InstallerConnection::serve(service, handler); });

  const auto prepare = [](std::uint64_t id) {
    return UpdateInstallerRequest{id, UpdateInstallerMethod::prepare, std::nullopt, 0,
                                  0,  std::string(8 << 20, 'p'),      "{}"};
  };
  app.writeRequest(prepare(1));
  ASSERT_EQ(handler.waitForPrepares(1, 10s), 1u);
  std::thread second([&] { app.writeRequest(prepare(2)); });
  EXPECT_EQ(handler.waitForPrepares(2, 300ms), 1u);

  handler.answer(0, "first");
  const auto firstReply = app.readReply();
  ASSERT_TRUE(firstReply);
  EXPECT_EQ(firstReply->id, 1u);
  EXPECT_EQ(handler.waitForPrepares(2, 10s), 2u);
  second.join();
  handler.answer(1, "second");
  const auto secondReply = app.readReply();
  ASSERT_TRUE(secondReply);
  EXPECT_EQ(secondReply->body,
            (UpdateInstallerReply{2, UpdatePrepareReply::success("second")}.body));

  ::shutdown(app.descriptor(), SHUT_RDWR);
  loop.join();
}

}  // namespace
}  // namespace orlith
