// The cookie watcher: one read at a time, one more read for a burst, nothing after stop.
#include "session/SessionCookieWatcher.h"

#include <gtest/gtest.h>

#include "FakeWebCookieStore.h"
#include "support/ManualMainQueue.h"

namespace orlith {
namespace {

class SessionCookieWatcherTest : public ::testing::Test {
 protected:
  SessionCookieWatcherTest() { store_->holdCalls(true); }
  // Reads the store never answered would keep their frames, and the store, forever.
  ~SessionCookieWatcherTest() override {
    while (store_->heldCount() > 0)
      store_->releaseOne();
    queue_.runUntilIdle();
  }

  std::size_t reads() const {
    return std::count(store_->calls.begin(), store_->calls.end(), "read");
  }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  std::shared_ptr<testing::FakeWebCookieStore> store_ =
      std::make_shared<testing::FakeWebCookieStore>();
  std::vector<std::vector<HttpCookie>> reports_;
  SessionCookieWatcher watcher_{store_,
                                [this](const auto& cookies) { reports_.push_back(cookies); }};
};

TEST_F(SessionCookieWatcherTest, BurstDuringOneReadCausesExactlyOneMoreRead) {
  HttpCookie cookie;
  cookie.name = "orlith_session";
  cookie.value = "v";
  cookie.domain = "orlith.example";
  store_->cookies = {cookie};

  store_->changed().emit();
  queue_.runUntilIdle();
  ASSERT_EQ(reads(), 1u);
  for (int i = 0; i < 3; ++i)
    store_->changed().emit();
  queue_.runUntilIdle();
  EXPECT_EQ(reads(), 1u) << "no second read while one is in flight";

  store_->releaseOne();
  queue_.runUntilIdle();
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_.front(), store_->cookies);
  EXPECT_EQ(reads(), 2u);

  store_->releaseOne();
  queue_.runUntilIdle();
  EXPECT_EQ(reports_.size(), 2u);
  EXPECT_EQ(reads(), 2u);
  EXPECT_EQ(store_->heldCount(), 0u);

  store_->changed().emit();
  queue_.runUntilIdle();
  EXPECT_EQ(reads(), 3u) << "an idle watcher reads again on the next change";
}

TEST_F(SessionCookieWatcherTest, ReadThatTimedOutIsNoReportOfAnEmptyStore) {
  HttpCookie cookie;
  cookie.name = "orlith_session";
  cookie.value = "v";
  cookie.domain = "orlith.example";
  store_->cookies = {cookie};
  store_->holdCalls(false);
  store_->readsTimingOut = 1;
  store_->changed().emit();
  queue_.runUntilIdle();
  EXPECT_TRUE(reports_.empty());
  store_->changed().emit();
  queue_.runUntilIdle();
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].size(), 1u);
}

TEST_F(SessionCookieWatcherTest, ReadFinishingAfterStopReportsNothing) {
  store_->changed().emit();
  store_->changed().emit();
  queue_.runUntilIdle();
  watcher_.stop();
  store_->releaseOne();
  queue_.runUntilIdle();
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(reads(), 1u) << "the change during the read is not followed either";

  store_->changed().emit();
  queue_.runUntilIdle();
  EXPECT_EQ(reads(), 1u);
}

TEST_F(SessionCookieWatcherTest, HandlerMayStopTheWatcher) {
  std::unique_ptr<SessionCookieWatcher> watcher;
  watcher = std::make_unique<SessionCookieWatcher>(store_, [&](const auto&) { watcher.reset(); });
  store_->changed().emit();
  store_->changed().emit();
  queue_.runUntilIdle();
  // Two reads are in flight: one for each watcher.
  store_->releaseOne();
  store_->releaseOne();
  queue_.runUntilIdle();
  EXPECT_EQ(watcher, nullptr);
  EXPECT_EQ(store_->heldCount(), 1u) << "only the fixture's watcher reads again";
}

}  // namespace
}  // namespace orlith
