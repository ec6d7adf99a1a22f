// A tab's desktop-command queue: validation, absorption, capacity, and the choice of tab.
#include "workspace/surface/PendingDesktopCommands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orlith {
namespace {

using CommandTarget = PendingDesktopCommands::CommandTarget;

Json command(const char* type) {
  return Json{{"type", type}};
}

Json navigate(const std::string& href) {
  return Json{{"type", "navigate"}, {"href", href}};
}

struct PayloadCase {
  const char* name;
  Json payload;
  bool accepted;
};

class PayloadValidationTest : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(PayloadValidationTest, AcceptsOnlyKnownTypesWithValidMembers) {
  PendingDesktopCommands queue;
  EXPECT_EQ(queue.enqueue(GetParam().payload), GetParam().accepted);
  EXPECT_EQ(queue.size(), GetParam().accepted ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, PayloadValidationTest,
    ::testing::Values(
        PayloadCase{"search", command("search"), true},
        PayloadCase{"billingReturn", command("billing-return"), true},
        PayloadCase{"newNote", command("new-note"), true},
        PayloadCase{"newBoard", command("new-board"), true},
        PayloadCase{"toggleSidebar", command("toggle-sidebar"), true},
        PayloadCase{"navigate", navigate("/app/notes/1"), true},
        PayloadCase{"searchWithExtraMembers",
                    Json{{"type", "search"}, {"query", "ünïcode"}, {"n", 1}}, true},
        PayloadCase{"unknownType", command("delete-all"), false},
        PayloadCase{"typeCaseDiffers", command("Search"), false},
        PayloadCase{"typeNotString", Json{{"type", 1}}, false},
        PayloadCase{"noType", Json{{"href", "/app"}}, false},
        PayloadCase{"notAnObject", Json::array({"search"}), false},
        PayloadCase{"navigateWithoutHref", command("navigate"), false},
        PayloadCase{"navigateHrefNotString", Json{{"type", "navigate"}, {"href", 3}}, false},
        PayloadCase{"invalidUtf8", Json{{"type", "search"}, {"query", "\xff\xfe"}}, false},
        PayloadCase{"notFiniteNumber",
                    Json{{"type", "search"}, {"score", std::numeric_limits<double>::infinity()}},
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

struct HrefCase {
  std::string href;
  bool accepted;
};

class NavigateHrefTest : public ::testing::TestWithParam<HrefCase> {};

TEST_P(NavigateHrefTest, AcceptsOnlyUnambiguousPathsUnderApp) {
  PendingDesktopCommands queue;
  EXPECT_EQ(queue.enqueue(navigate(GetParam().href)), GetParam().accepted) << GetParam().href;
}

const std::string kPrefix = "/app/";

INSTANTIATE_TEST_SUITE_P(
    Hrefs, NavigateHrefTest,
    ::testing::Values(HrefCase{"/app", true}, HrefCase{"/app/", true},
                      HrefCase{"/app/board/7?view=list#top", true}, HrefCase{"/app?tab=2", true},
                      HrefCase{"/app/%C3%A9t%C3%A9", true},
                      HrefCase{kPrefix + std::string(4096 - kPrefix.size(), 'a'), true},
                      HrefCase{kPrefix + std::string(4097 - kPrefix.size(), 'a'), false},
                      HrefCase{"/apps", false}, HrefCase{"/application/x", false},
                      HrefCase{"/", false}, HrefCase{"", false}, HrefCase{"app/x", false},
                      HrefCase{"/app/./x", false}, HrefCase{"/app/../admin", false},
                      HrefCase{"/app/%2e%2e/x", false}, HrefCase{"/app/%2E/x", false},
                      HrefCase{"/app/a%2Fb", false}, HrefCase{"/app/%5cx", false},
                      HrefCase{"/app\\x", false}, HrefCase{"/app/%00", false},
                      HrefCase{"/app/%0A", false}, HrefCase{"/app/%C2%85", false},
                      HrefCase{"https://orlith.example/app", false},
                      HrefCase{"//evil.example/app", false}, HrefCase{"javascript:/app", false},
                      HrefCase{"/app/a b", false}));

TEST(PendingDesktopCommandsTest, QueuedCommandKeepsPayloadAsAsciiJsonWithFreshId) {
  PendingDesktopCommands queue;
  ASSERT_TRUE(queue.enqueue(Json{{"type", "search"}, {"query", "é</script>"}}));
  ASSERT_TRUE(queue.enqueue(command("new-note")));
  const auto& commands = queue.commands();
  EXPECT_EQ(commands[0].type, "search");
  EXPECT_EQ(parseJson(commands[0].json), (Json{{"type", "search"}, {"query", "é</script>"}}));
  EXPECT_EQ(commands[0].json.find("\xc3"), std::string::npos) << commands[0].json;
  EXPECT_EQ(commands[0].id.size(), 36u);
  EXPECT_NE(commands[0].id, commands[1].id);
}

TEST(PendingDesktopCommandsTest, SecondSearchOrBillingReturnIsAbsorbedOthersQueueTwice) {
  PendingDesktopCommands queue;
  for (const char* type : {"search", "search", "billing-return", "billing-return", "new-note",
                           "new-note", "navigate"}) {
    Json payload = std::string(type) == "navigate" ? navigate("/app") : command(type);
    EXPECT_TRUE(queue.enqueue(payload)) << type;
  }
  std::vector<std::string> types;
  for (const auto& queued : queue.commands())
    types.push_back(queued.type);
  EXPECT_EQ(types, (std::vector<std::string>{"search", "billing-return", "new-note", "new-note",
                                             "navigate"}));
}

TEST(PendingDesktopCommandsTest, KeepsTheLastPlaceForBillingReturn) {
  PendingDesktopCommands queue;
  for (int i = 0; i < 31; ++i)
    ASSERT_TRUE(queue.enqueue(command("new-note")));
  EXPECT_FALSE(queue.enqueue(command("new-board")));
  EXPECT_FALSE(queue.enqueue(command("search")));
  EXPECT_TRUE(queue.enqueue(command("billing-return")));
  EXPECT_EQ(queue.size(), 32u);
  EXPECT_FALSE(queue.enqueue(command("new-note")));
  EXPECT_TRUE(queue.enqueue(command("billing-return"))) << "absorbed even when full";
  EXPECT_EQ(queue.size(), 32u);
}

TEST(PendingDesktopCommandsTest, WithBillingReturnQueuedOthersFillAllThirtyTwoPlaces) {
  PendingDesktopCommands queue;
  ASSERT_TRUE(queue.enqueue(command("billing-return")));
  for (int i = 0; i < 31; ++i)
    ASSERT_TRUE(queue.enqueue(command("toggle-sidebar")));
  EXPECT_FALSE(queue.enqueue(command("toggle-sidebar")));
  EXPECT_EQ(queue.size(), 32u);
}

TEST(PendingDesktopCommandsTest, RemoveFirstDropsOnlyAMatchingHead) {
  PendingDesktopCommands queue;
  queue.removeFirst("anything");
  ASSERT_TRUE(queue.enqueue(command("new-note")));
  ASSERT_TRUE(queue.enqueue(command("new-board")));
  const std::string second = queue.commands()[1].id;
  queue.removeFirst(second);
  EXPECT_EQ(queue.size(), 2u);
  queue.removeFirst(queue.commands()[0].id);
  ASSERT_EQ(queue.size(), 1u);
  EXPECT_EQ(queue.commands()[0].id, second);
}

struct TargetCase {
  const char* name;
  std::vector<bool> eligible;
  std::optional<std::size_t> selected;
  std::size_t maximumTabs;
  CommandTarget expected;
};

class CommandTargetTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(CommandTargetTest, PrefersSelectedThenFirstEligibleThenNewTab) {
  const TargetCase& c = GetParam();
  EXPECT_EQ(PendingDesktopCommands::commandTarget(c.eligible, c.selected, c.maximumTabs),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, CommandTargetTest,
    ::testing::Values(
        TargetCase{"selectedEligible", {true, true, true}, 2, 20, CommandTarget::tab(2)},
        TargetCase{"selectedNotEligible", {false, true, true}, 0, 20, CommandTarget::tab(1)},
        TargetCase{"noSelection", {false, false, true}, std::nullopt, 20, CommandTarget::tab(2)},
        TargetCase{"selectionOutOfRange", {false, true}, 5, 20, CommandTarget::tab(1)},
        TargetCase{"noneEligibleRoomLeft", {false, false}, 0, 3, CommandTarget::newTab()},
        TargetCase{"noTabs", {}, std::nullopt, 20, CommandTarget::newTab()},
        TargetCase{"noneEligibleAtLimit", {false, false, false}, 1, 3, CommandTarget::tabLimit()}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orlith
