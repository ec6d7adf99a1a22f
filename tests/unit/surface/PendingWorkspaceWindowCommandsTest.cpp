// Parking command types for the next window of the same session.
#include "workspace/surface/PendingWorkspaceWindowCommands.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const Clock::time_point kStart = Clock::time_point(1000s);

TEST(PendingWorkspaceWindowCommandsTest, ParksOnlySearchAndBillingReturnOnceEach) {
  PendingWorkspaceWindowCommands store;
  EXPECT_FALSE(store.enqueue("new-note", 1, kStart));
  EXPECT_FALSE(store.sessionRevision().has_value()) << "a refused type changes nothing";
  EXPECT_TRUE(store.enqueue("search", 1, kStart)) << "first parked: open a window";
  EXPECT_FALSE(store.enqueue("search", 1, kStart + 1s));
  EXPECT_FALSE(store.enqueue("billing-return", 1, kStart + 2s));
  EXPECT_EQ(store.commands(), (std::vector<std::string>{"search", "billing-return"}));
  EXPECT_EQ(store.createdAt(), kStart) << "set by the first type only";
}

TEST(PendingWorkspaceWindowCommandsTest, FullStoreKeepsItsTypesAndStoresTheRevision) {
  PendingWorkspaceWindowCommands store;
  // Only two types can be parked at all; a repeat after two keeps the list and the revision.
  ASSERT_TRUE(store.enqueue("search", 4, kStart));
  ASSERT_FALSE(store.enqueue("billing-return", 4, kStart));
  EXPECT_FALSE(store.enqueue("search", 4, kStart + 1s));
  EXPECT_EQ(store.commands().size(), 2u);
  EXPECT_EQ(store.sessionRevision(), 4);
}

TEST(PendingWorkspaceWindowCommandsTest, OtherRevisionOrThirtySecondsStartsAfresh) {
  PendingWorkspaceWindowCommands store;
  ASSERT_TRUE(store.enqueue("search", 1, kStart));
  EXPECT_TRUE(store.enqueue("billing-return", 2, kStart + 1s)) << "new revision empties first";
  EXPECT_EQ(store.commands(), (std::vector<std::string>{"billing-return"}));
  EXPECT_EQ(store.createdAt(), kStart + 1s);
  EXPECT_TRUE(store.enqueue("search", 2, kStart + 31s)) << "30 s after creation";
  EXPECT_EQ(store.commands(), (std::vector<std::string>{"search"}));
}

struct TakeCase {
  const char* name;
  std::int64_t revision;
  Clock::duration after;
  bool handsOver;
};

class TakeTest : public ::testing::TestWithParam<TakeCase> {};

TEST_P(TakeTest, HandsOverOnlyToSameRevisionWithinThirtySecondsAndAlwaysEmpties) {
  PendingWorkspaceWindowCommands store;
  ASSERT_TRUE(store.enqueue("search", 7, kStart));
  auto taken = store.take(GetParam().revision, kStart + GetParam().after);
  EXPECT_EQ(taken,
            GetParam().handsOver ? std::vector<std::string>{"search"} : std::vector<std::string>{});
  EXPECT_TRUE(store.commands().empty());
  EXPECT_FALSE(store.sessionRevision().has_value());
  EXPECT_FALSE(store.createdAt().has_value());
}

INSTANTIATE_TEST_SUITE_P(Takes, TakeTest,
                         ::testing::Values(TakeCase{"atOnce", 7, 0s, true},
                                           TakeCase{"justUnderThirty", 7, 29999ms, true},
                                           TakeCase{"atThirty", 7, 30s, false},
                                           TakeCase{"otherRevision", 8, 1s, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PendingWorkspaceWindowCommandsTest, TakeOfEmptyStoreGivesNothing) {
  PendingWorkspaceWindowCommands store;
  EXPECT_TRUE(store.take(0, kStart).empty());
}

}  // namespace
}  // namespace orlith
