// The service's answers that need no prepared plan, and the end of its life once the
// connection has closed.
#include "update/installer/InstallerService.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <future>

#include "FakeUserDatabase.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

class InstallerServiceTest : public ::testing::Test {
 protected:
  InstallerServiceTest() {
    InstallerServiceContext context{test::testLocations(tree_.path(), ::geteuid(), std::nullopt),
                                    nullptr,
                                    nullptr,
                                    std::make_shared<RandomUuidSource>(),
                                    {}};
    context.timings.exitWait = 10ms;
    auto self = PinnedProcess::open(::getpid());
    service_ = std::make_unique<InstallerService>(
        tree_.path() / "Orlith.app", std::make_shared<const PinnedProcess>(std::move(*self)),
        UpdateTeam{"ABCDE12345", "key"}, std::move(context));
  }

  template <typename Call>
  UpdateCompletionReply completion(Call call) {
    auto promise = std::make_shared<std::promise<UpdateCompletionReply>>();
    call(UpdateReplyGuard<UpdateCompletionReply>(
        [promise](const UpdateCompletionReply& reply) { promise->set_value(reply); }));
    auto future = promise->get_future();
    EXPECT_EQ(future.wait_for(5s), std::future_status::ready);
    return future.get();
  }

  TemporaryDirectory tree_;
  std::unique_ptr<InstallerService> service_;
};

TEST_F(InstallerServiceTest, TokenTheConnectionDidNotIssueIsUnknown) {
  EXPECT_EQ(completion([&](auto reply) { service_->install("other-connection", reply); }),
            (UpdateCompletionReply{false, "The prepared update expired. Check again."}));
  EXPECT_EQ(completion([&](auto reply) { service_->cancel("other-connection", reply); }),
            UpdateCompletionReply::success());
}

TEST_F(InstallerServiceTest, FinishesOnlyAfterTheConnectionHasClosed) {
  EXPECT_FALSE(service_->waitUntilFinished(100ms));
  service_->connectionClosed();
  EXPECT_TRUE(service_->waitUntilFinished(5s));
}

}  // namespace
}  // namespace orlith
