// The notification hub: synchronous delivery, and registration that ends with its token.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/NotificationHub.h"

namespace orlith {
namespace {

TEST(NotificationHubTest, PostRunsEveryObserverOfTheNameInOrderBeforeItReturns) {
  NotificationHub hub;
  std::vector<std::string> runs;
  auto a =
      hub.addObserver(std::string(kWillRestartForUpdateNotification), [&] { runs.push_back("a"); });
  auto other = hub.addObserver("other", [&] { runs.push_back("other"); });
  auto b = hub.addObserver("orlithWillRestartForUpdate", [&] { runs.push_back("b"); });
  hub.post(kWillRestartForUpdateNotification);
  EXPECT_EQ(runs, (std::vector<std::string>{"a", "b"}));
  hub.post("nobody");
  EXPECT_EQ(runs.size(), 2u);
}

TEST(NotificationHubTest, TokenEndsTheRegistrationWhenDestroyedResetOrMovedOver) {
  NotificationHub hub;
  int runs = 0;
  {
    auto token = hub.addObserver("n", [&] { ++runs; });
    EXPECT_TRUE(token.isActive());
    NotificationHub::Token moved = std::move(token);
    EXPECT_FALSE(token.isActive());
    hub.post("n");
  }
  hub.post("n");
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(hub.observerCount("n"), 0u);

  auto kept = hub.addObserver("n", [&] { runs += 10; });
  kept = hub.addObserver("n", [&] { runs += 100; });
  EXPECT_EQ(hub.observerCount("n"), 1u);
  hub.post("n");
  EXPECT_EQ(runs, 101);
  kept.reset();
  hub.post("n");
  EXPECT_EQ(runs, 101);
}

TEST(NotificationHubTest, ChangesMadeDuringAPostAreSane) {
  NotificationHub hub;
  std::vector<std::string> runs;
  NotificationHub::Token late;
  NotificationHub::Token second;
  std::optional<NotificationHub::Token> self;
  auto first = hub.addObserver("n", [&] {
    runs.push_back("first");
    // Removing a later observer stops it in this post; an added one waits for the next.
    second.reset();
    late = hub.addObserver("n", [&] { runs.push_back("late"); });
  });
  second = hub.addObserver("n", [&] { runs.push_back("second"); });
  self = hub.addObserver("n", [&] {
    runs.push_back("self");
    self.reset();
  });
  hub.post("n");
  EXPECT_EQ(runs, (std::vector<std::string>{"first", "self"}));
  runs.clear();
  first.reset();
  hub.post("n");
  EXPECT_EQ(runs, (std::vector<std::string>{"late"}));
}

TEST(NotificationHubTest, APostFromAnObserverIsDeliveredInside) {
  NotificationHub hub;
  std::vector<std::string> runs;
  auto outer = hub.addObserver("outer", [&] {
    runs.push_back("outer");
    hub.post("inner");
    runs.push_back("outer done");
  });
  auto inner = hub.addObserver("inner", [&] { runs.push_back("inner"); });
  hub.post("outer");
  EXPECT_EQ(runs, (std::vector<std::string>{"outer", "inner", "outer done"}));
}

TEST(NotificationHubTest, AThrowingObserverDoesNotStopTheOthers) {
  NotificationHub hub;
  int runs = 0;
  auto a = hub.addObserver("n", [] { throw std::runtime_error("first"); });
  auto b = hub.addObserver("n", [&] { ++runs; });
  auto c = hub.addObserver("n", [] { throw std::logic_error("second"); });
  try {
    hub.post("n");
    ADD_FAILURE() << "expected the first failure";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "first");
  }
  EXPECT_EQ(runs, 1);
}

TEST(NotificationHubTest, TokensOutlivingTheHubAreHarmless) {
  auto hub = std::make_unique<NotificationHub>();
  auto token = hub->addObserver("n", [] {});
  hub.reset();
  EXPECT_FALSE(token.isActive());
  token.reset();
}

}  // namespace
}  // namespace orlith
