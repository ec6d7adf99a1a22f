// The menu's enabled rules, and the commands on the focused window's tabs: show tab N, zoom
// steps and their stored value, sidebar, search routing, help and update checks.
#include "app/WorkspaceCommands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/FakeWebEngineView.h"
#include "unit/app/AppFixture.h"

namespace orlith {
namespace {

using testing::FakeWebEngineView;

// The names of the enabled items, leaving out the three that are always enabled.
std::string enabledItems(const WorkspaceMenuState& state) {
  EXPECT_TRUE(state.checkForUpdates);
  EXPECT_TRUE(state.appearance);
  EXPECT_TRUE(state.help);
  std::string names;
  auto add = [&](bool on, const std::string& name) {
    if (on)
      names += (names.empty() ? "" : " ") + name;
  };
  add(state.signOut, "signOut");
  add(state.newTab, "newTab");
  add(state.closeTab, "closeTab");
  add(state.search, "search");
  add(state.toggleSidebar, "sidebar");
  add(state.showNextTab, "next");
  add(state.showPreviousTab, "previous");
  for (int n = 1; n <= 9; ++n)
    add(state.showTab[static_cast<std::size_t>(n - 1)], "tab" + std::to_string(n));
  add(state.back, "back");
  add(state.forward, "forward");
  add(state.home, "home");
  add(state.reload, "reload");
  add(state.forceReload, "forceReload");
  add(state.zoomIn, "zoomIn");
  add(state.zoomOut, "zoomOut");
  add(state.actualSize, "actualSize");
  return names;
}

TEST(WorkspaceMenuState, EnabledRules) {
  const std::string always = "home reload forceReload zoomIn zoomOut actualSize";
  struct Case {
    const char* name;
    WorkspaceMenuInputs inputs;
    std::string enabled;
  } cases[] = {
      {"signed out, window focused", {false, true, 3, true, true, true, true}, ""},
      {"signed out, no window", {false, false, 0, false, false, false, false}, ""},
      {"signed in, settings focused", {true, false, 0, false, false, false, false}, "signOut"},
      {"one tab",
       {true, true, 1, true, false, false, false},
       "signOut newTab search tab1 tab9 " + always},
      {"three tabs on a workspace page, back",
       {true, true, 3, true, true, true, false},
       "signOut newTab closeTab search sidebar next previous tab1 tab2 tab3 tab9 back " + always},
      {"three tabs, forward, no selected tab",
       {true, true, 3, false, true, true, true},
       "signOut newTab closeTab search next previous tab1 tab2 tab3 tab9 " + always},
      {"twenty tabs, forward",
       {true, true, 20, true, false, false, true},
       "signOut closeTab search next previous tab1 tab2 tab3 tab4 tab5 tab6 tab7 tab8 tab9 "
       "forward " +
           always},
  };
  for (const Case& c : cases)
    EXPECT_EQ(enabledItems(WorkspaceMenuState::from(c.inputs)), c.enabled) << c.name;
}

TEST(WorkspaceCommands, ZoomSteps) {
  struct Case {
    double current;
    double factor;
    double expected;
  } cases[] = {
      {1.0, WorkspaceCommands::kZoomInFactor, 1.1},
      {2.9, WorkspaceCommands::kZoomInFactor, 3.0},
      {3.0, WorkspaceCommands::kZoomInFactor, 3.0},
      {0.52, WorkspaceCommands::kZoomOutFactor, 0.5},
      {0.0, WorkspaceCommands::kZoomInFactor, 1.1},
      {-1.0, WorkspaceCommands::kZoomOutFactor, 1.0 / 1.1},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(WorkspaceCommands::zoomStep(c.current, c.factor), c.expected) << c.current;
  EXPECT_DOUBLE_EQ(WorkspaceCommands::kZoomOutFactor, 0.9090909090909091);
}

class WorkspaceCommandsTest : public ::testing::Test, protected testing::AppFixture {
 protected:
  WorkspaceCommandsTest() { session.signIn("alice@example.com"); }

  WorkspaceCommands commands{{session, preferences, appearance, updates,
                              [this](const std::string& uri) { opened.push_back(uri); },
                              [this] { ++windowsOpened; },
                              [this](std::function<void()> work) { posted.push_back(work); }}};
  std::vector<std::string> opened;
  int windowsOpened = 0;
  std::vector<std::function<void()>> posted;
  std::vector<std::shared_ptr<FakeWebEngineView>> views;
};

TEST_F(WorkspaceCommandsTest, ShowTabSelectsThatTabAndNineSelectsTheLast) {
  auto tabs = makeWindow();
  tabs->newTab();
  tabs->newTab();
  const auto ids = [&] {
    std::vector<std::string> result;
    for (const auto& tab : tabs->tabs())
      result.push_back(tab->id());
    return result;
  }();
  commands.showTab(tabs.get(), 1);
  EXPECT_EQ(tabs->selectedID(), ids[0]);
  commands.showTab(tabs.get(), 9);
  EXPECT_EQ(tabs->selectedID(), ids[2]);
  commands.showTab(tabs.get(), 3);
  commands.showTab(tabs.get(), 1);
  commands.showTab(tabs.get(), 4);  // no fourth tab: nothing changes
  EXPECT_EQ(tabs->selectedID(), ids[0]);
  commands.showTab(nullptr, 1);
  EXPECT_FALSE(commands.menuState(tabs.get()).showTab[3]);
  EXPECT_TRUE(commands.menuState(tabs.get()).showTab[2]);
}

TEST_F(WorkspaceCommandsTest, TabCommandsActOnTheGivenWindow) {
  auto tabs = makeWindow();
  commands.newTab(tabs.get());
  commands.newTab(tabs.get());
  ASSERT_EQ(tabs->tabs().size(), 3u);
  const std::string closing = tabs->selectedID();
  commands.closeTab(tabs.get());
  ASSERT_EQ(tabs->tabs().size(), 2u);
  EXPECT_NE(tabs->selectedID(), closing);
  const std::string second = tabs->tabs()[1]->id();
  commands.selectAdjacentTab(tabs.get(), -1);
  commands.selectAdjacentTab(tabs.get(), -1);
  EXPECT_EQ(tabs->selectedID(), second);
  commands.newTab(nullptr);
  commands.closeTab(nullptr);
  EXPECT_EQ(tabs->tabs().size(), 2u);
}

TEST_F(WorkspaceCommandsTest, ZoomChangesTheSelectedWebViewAndStoresTheResult) {
  auto tabs = makeWindow();
  commands.zoom(tabs.get(), WorkspaceCommands::kZoomInFactor);
  EXPECT_FALSE(preferences.number(WorkspaceCommands::kPageZoomKey)) << "no web view: nothing";

  auto view = std::make_shared<FakeWebEngineView>();
  view->zoom = 2.9;
  tabs->selectedTab()->setWebView(view);
  commands.zoom(tabs.get(), WorkspaceCommands::kZoomInFactor);
  EXPECT_DOUBLE_EQ(view->zoom, 3.0);
  EXPECT_EQ(preferences.number(WorkspaceCommands::kPageZoomKey), 3.0);

  preferences.setFailWrites(true);
  view->zoom = 1.0;
  commands.zoom(tabs.get(), WorkspaceCommands::kZoomOutFactor);
  EXPECT_DOUBLE_EQ(view->zoom, 1.0 / 1.1) << "a failed write still zooms the page";
  EXPECT_EQ(preferences.number(WorkspaceCommands::kPageZoomKey), 3.0);
}

TEST_F(WorkspaceCommandsTest, ActualSizeStoresOneAlsoWithoutAWebView) {
  preferences.setNumber(WorkspaceCommands::kPageZoomKey, 2.0);
  commands.resetZoom(nullptr);
  EXPECT_EQ(preferences.number(WorkspaceCommands::kPageZoomKey), 1.0);

  auto tabs = makeWindow();
  auto view = std::make_shared<FakeWebEngineView>();
  view->zoom = 2.0;
  tabs->selectedTab()->setWebView(view);
  commands.resetZoom(tabs.get());
  EXPECT_DOUBLE_EQ(view->zoom, 1.0);
}

TEST_F(WorkspaceCommandsTest, NavigationReachesTheSelectedWebView) {
  auto tabs = makeWindow();
  commands.goBack(tabs.get());  // no web view yet: nothing
  auto view = std::make_shared<FakeWebEngineView>();
  view->uri = "https://orlith.example/app/w";
  tabs->selectedTab()->setWebView(view);
  commands.goBack(tabs.get());
  commands.goForward(tabs.get());
  commands.reload(tabs.get());
  commands.forceReload(tabs.get());
  commands.home(tabs.get());
  EXPECT_EQ(view->backs, 1);
  EXPECT_EQ(view->forwards, 1);
  EXPECT_EQ(view->reloads, (std::vector<ReloadCache>{ReloadCache::use, ReloadCache::bypass}));
  EXPECT_EQ(view->loads, std::vector<std::string>{"https://orlith.example/app"});
}

TEST_F(WorkspaceCommandsTest, ToggleSidebarQueuesOneCommandOnTheSelectedTab) {
  auto tabs = makeWindow();
  commands.toggleSidebar(tabs.get());
  const auto& queued = tabs->selectedTab()->pendingCommands().commands();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].type, "toggle-sidebar");
}

TEST_F(WorkspaceCommandsTest, SearchRoutesWithTheCurrentRevisionAndOpensAWindowWhenFull) {
  auto tabs = makeWindow();
  while (tabs->tabs().size() < WorkspaceTabsModel::kMaximumTabs)
    tabs->newTab();
  // Every tab is past its first load on another page: no tab takes the command.
  for (const auto& tab : tabs->tabs()) {
    auto view = std::make_shared<FakeWebEngineView>();
    view->uri = "https://orlith.example/login";
    tab->markLoadedOnce();
    tab->setWebView(view);
    views.push_back(view);
  }
  commands.search(tabs.get());
  EXPECT_EQ(windowsOpened, 1);
  EXPECT_EQ(parked.take(session.sessionRevision(), time.monotonicNow()),
            std::vector<std::string>{"search"});
}

TEST_F(WorkspaceCommandsTest, HelpOpensTheCompiledInContactPageAndChecksArePosted) {
  commands.openHelp();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], ServiceHosts::fromBuild().originText + "/contact");

  commands.checkForUpdates();
  EXPECT_EQ(updates.checks, 0);
  ASSERT_EQ(posted.size(), 1u);
  posted[0]();
  EXPECT_EQ(updates.checks, 1);

  commands.signOut();
  EXPECT_EQ(session.signOuts, 1);
}

TEST_F(WorkspaceCommandsTest, AppearanceChoiceWritesTheStoredRawValue) {
  commands.setAppearance(OrlithAppearancePreference::light);
  EXPECT_EQ(preferences.string("orlith.appearance"), "light");
  EXPECT_EQ(WorkspaceCommands::showTabTitle(3), "Show Tab 3");
  EXPECT_EQ(WorkspaceCommands::showTabTitle(9), "Show Last Tab");
}

}  // namespace
}  // namespace orlith
