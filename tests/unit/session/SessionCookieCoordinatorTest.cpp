// The cookie coordinator: strict order, the install that removes stale cookies first, removal
// and cancellation.
#include "session/SessionCookieCoordinator.h"

#include <gtest/gtest.h>

#include "FakeWebCookieStore.h"
#include "base/StartedTask.h"
#include "session/OrlithWire.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using testing::FakeWebCookieStore;

const ServiceHosts kHosts{"https://orlith.example", "orlith.example", "www.orlith.example"};
constexpr std::span<const std::string_view> kNames(wire::kSessionCookieNames);

HttpCookie cookie(const char* name, const char* value, const char* domain) {
  HttpCookie made;
  made.name = name;
  made.value = value;
  made.domain = domain;
  made.path = "/";
  made.secure = true;
  made.httpOnly = true;
  return made;
}

class SessionCookieCoordinatorTest : public ::testing::Test {
 protected:
  // Completes held store calls one by one, checking that never two are in flight.
  void drain() {
    queue_.runUntilIdle();
    while (store_->heldCount() > 0) {
      ASSERT_EQ(store_->heldCount(), 1u) << "two store calls in flight at once";
      store_->releaseOne();
      queue_.runUntilIdle();
    }
  }
  HttpCookie expiring(HttpCookie made, std::chrono::seconds fromNow) const {
    made.expires = time_->wallNow() + fromNow;
    return made;
  }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  std::shared_ptr<testing::ManualTime> time_ = std::make_shared<testing::ManualTime>();
  std::shared_ptr<FakeWebCookieStore> store_ = std::make_shared<FakeWebCookieStore>();
  SessionCookieCoordinator coordinator_{kHosts, time_};
};

TEST_F(SessionCookieCoordinatorTest, OperationsRunStrictlyInTheOrderEnqueued) {
  store_->holdCalls(true);
  store_->cookies = {cookie("orlith_session", "old", "www.orlith.example")};
  StartedTask<void> first(coordinator_.installSessionCookie(
      cookie("orlith_session", "one", "orlith.example"), kNames, store_));
  StartedTask<void> second(coordinator_.installSessionCookie(
      cookie("orlith_session", "two", "orlith.example"), kNames, store_));
  StartedTask<void> removal(coordinator_.removeSessionCookies("orlith.example", kNames, store_));
  drain();
  ASSERT_TRUE(first.isDone() && second.isDone() && removal.isDone());
  const std::vector<std::string> expected = {
      "read",
      "remove orlith_session=old@www.orlith.example",
      "add orlith_session=one@orlith.example",
      "read",
      "remove orlith_session=one@orlith.example",
      "add orlith_session=two@orlith.example",
      "read",
      "remove orlith_session=two@orlith.example",
  };
  EXPECT_EQ(store_->calls, expected);
  EXPECT_TRUE(store_->cookies.empty());
}

TEST_F(SessionCookieCoordinatorTest, InstallSetsTheCookieOnlyWhenTheStoreLacksItAlive) {
  const auto installed = cookie("orlith_session", "v", "orlith.example");
  struct Case {
    const char* what;
    std::optional<HttpCookie> held;
    HttpCookie installing;
    bool sets;
  };
  const Case cases[] = {
      {"identical", expiring(installed, 3600s), expiring(installed, 3600s), false},
      {"identical without expiry", installed, installed, false},
      {"held with a dot",
       [&] {
         auto c = installed;
         c.domain = ".orlith.example";
         return c;
       }(),
       installed, false},
      {"expiry a little later", expiring(installed, 3600s), expiring(installed, 3630s), false},
      {"expiry refreshed", expiring(installed, 3600s), expiring(installed, 7200s), true},
      {"expiry where the store holds none", installed, expiring(installed, 3600s), true},
      {"held one expired", expiring(installed, 0s), expiring(installed, 3600s), true},
      {"none held", std::nullopt, installed, true},
  };
  for (const auto& c : cases) {
    store_->calls.clear();
    store_->cookies.clear();
    if (c.held)
      store_->cookies.push_back(*c.held);
    StartedTask<void> install(coordinator_.installSessionCookie(c.installing, kNames, store_));
    drain();
    ASSERT_TRUE(install.isDone()) << c.what;
    std::vector<std::string> expected = {"read"};
    if (c.sets)
      expected.push_back("add " + FakeWebCookieStore::describe(c.installing));
    EXPECT_EQ(store_->calls, expected) << c.what;
  }
}

TEST_F(SessionCookieCoordinatorTest, InstallDeletesStaleSessionCookiesOfItsDomainsOnly) {
  store_->cookies = {
      cookie("orlith_session", "old", "www.orlith.example"),
      cookie("velmar_session", "legacy", ".orlith.example"),
      cookie("orlith_theme", "dark", "orlith.example"),
      cookie("orlith_session", "elsewhere", "other.example"),
  };
  StartedTask<void> install(coordinator_.installSessionCookie(
      cookie("orlith_session", "new", "orlith.example"), kNames, store_));
  drain();
  const std::vector<std::string> expected = {
      "read",
      "remove orlith_session=old@www.orlith.example",
      "remove velmar_session=legacy@.orlith.example",
      "add orlith_session=new@orlith.example",
  };
  EXPECT_EQ(store_->calls, expected);
}

TEST_F(SessionCookieCoordinatorTest, CallerCancelledWhileQueuedTouchesNothing) {
  store_->holdCalls(true);
  store_->cookies = {cookie("orlith_session", "old", "orlith.example")};
  StartedTask<void> first(coordinator_.removeSessionCookies("orlith.example", kNames, store_));
  std::stop_source cancel;
  StartedTask<void> cancelled(coordinator_.installSessionCookie(
      cookie("orlith_session", "new", "orlith.example"), kNames, store_, cancel.get_token()));
  StartedTask<void> after(coordinator_.installSessionCookie(
      cookie("orlith_session", "later", "orlith.example"), kNames, store_));
  queue_.runUntilIdle();
  cancel.request_stop();
  drain();
  ASSERT_TRUE(first.isDone() && cancelled.isDone() && after.isDone());
  cancelled.takeResult();
  const std::vector<std::string> expected = {
      "read",
      "remove orlith_session=old@orlith.example",
      "read",
      "add orlith_session=later@orlith.example",
  };
  EXPECT_EQ(store_->calls, expected);
}

TEST_F(SessionCookieCoordinatorTest, RemovalWhoseReadTimedOutFailsInsteadOfRemovingNothing) {
  store_->cookies = {cookie("orlith_session", "v", "orlith.example")};
  store_->readsTimingOut = 1;
  StartedTask<void> removal(coordinator_.removeSessionCookies("orlith.example", kNames, store_));
  drain();
  ASSERT_TRUE(removal.isDone());
  EXPECT_THROW(removal.takeResult(), WebCookieStoreTimeout);
  EXPECT_EQ(store_->cookies.size(), 1u);
}

TEST_F(SessionCookieCoordinatorTest, FailureReachesItsOwnCallerAndTheChainGoesOn) {
  StartedTask<void> failing(coordinator_.enqueue([](std::stop_token) -> Task<void> {
    throw std::runtime_error("operation failed");
    co_return;
  }));
  StartedTask<void> next(coordinator_.removeSessionCookies("orlith.example", kNames, store_));
  drain();
  ASSERT_TRUE(failing.isDone() && next.isDone());
  EXPECT_THROW(failing.takeResult(), std::runtime_error);
  EXPECT_NO_THROW(next.takeResult());
  EXPECT_EQ(store_->calls, std::vector<std::string>{"read"});
}

}  // namespace
}  // namespace orlith
