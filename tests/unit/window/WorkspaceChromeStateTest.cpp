// The chrome's enable rules.
#include "workspace/window/WorkspaceChromeState.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

WorkspaceChromeInputs inputs(std::size_t tabs) {
  WorkspaceChromeInputs value;
  value.tabCount = tabs;
  return value;
}

TEST(WorkspaceChromeState, NewTabIsEnabledBelowTheLimitOnly) {
  EXPECT_TRUE(WorkspaceChromeState::from(inputs(19)).newTabEnabled);
  EXPECT_FALSE(WorkspaceChromeState::from(inputs(20)).newTabEnabled);
  EXPECT_FALSE(WorkspaceChromeState::from(inputs(21)).newTabEnabled);
}

TEST(WorkspaceChromeState, ChipsCloseOnlyWhenAnotherTabRemains) {
  EXPECT_FALSE(WorkspaceChromeState::from(inputs(0)).chipsClosable);
  EXPECT_FALSE(WorkspaceChromeState::from(inputs(1)).chipsClosable);
  EXPECT_TRUE(WorkspaceChromeState::from(inputs(2)).chipsClosable);
}

struct NavigationCase {
  const char* name;
  bool selected, canGoBack, canGoForward, loading, workspacePage;
  bool shows, back, forward, reload, spinner, toggleSidebar;
};

class NavigationRulesTest : public ::testing::TestWithParam<NavigationCase> {};

TEST_P(NavigationRulesTest, FollowTheSelectedTab) {
  const auto& c = GetParam();
  WorkspaceChromeInputs given = inputs(3);
  given.hasSelectedTab = c.selected;
  given.canGoBack = c.canGoBack;
  given.canGoForward = c.canGoForward;
  given.isLoading = c.loading;
  given.selectedShowsWorkspacePage = c.workspacePage;
  const auto state = WorkspaceChromeState::from(given);
  EXPECT_EQ(state.showsNavigation, c.shows);
  EXPECT_EQ(state.backEnabled, c.back);
  EXPECT_EQ(state.forwardEnabled, c.forward);
  EXPECT_EQ(state.reloadEnabled, c.reload);
  EXPECT_EQ(state.showsSpinner, c.spinner);
  EXPECT_EQ(state.toggleSidebarEnabled, c.toggleSidebar);
  // These act on whatever is selected and simply do nothing without a tab.
  EXPECT_TRUE(state.reloadItemEnabled);
  EXPECT_TRUE(state.homeItemEnabled);
  EXPECT_TRUE(state.signOutEnabled);
}

INSTANTIATE_TEST_SUITE_P(Cases, NavigationRulesTest,
                         ::testing::Values(
                             // name, selected, back?, forward?, loading, workspace | shows, back,
                             // fwd, reload, spin, toggle
                             NavigationCase{"idleFreshTab", true, false, false, false, true,  //
                                            true, false, false, true, false, true},
                             NavigationCase{"history", true, true, true, false, false,  //
                                            true, true, true, true, false, false},
                             NavigationCase{"loadingSwapsReloadForSpinner", true, true, false, true,
                                            true,  //
                                            true, true, false, false, true, true},
                             NavigationCase{"noSelectedTab", false, true, true, true, true,  //
                                            false, false, false, false, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkspaceChromeState, EmailLineOnlyForANonEmptyEmail) {
  WorkspaceChromeInputs given = inputs(1);
  EXPECT_EQ(WorkspaceChromeState::from(given).emailItem, std::nullopt);
  given.email = "";
  EXPECT_EQ(WorkspaceChromeState::from(given).emailItem, std::nullopt);
  given.email = "ada@example.com";
  EXPECT_EQ(WorkspaceChromeState::from(given).emailItem, "ada@example.com");
}

}  // namespace
}  // namespace orlith
