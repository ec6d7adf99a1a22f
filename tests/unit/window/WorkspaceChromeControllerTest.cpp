// The chrome's binding: what it reads from the tabs model and the session, when it tells the
// chrome to redraw, and what its controls do to the models.
#include "workspace/window/WorkspaceChromeController.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/FakeWebEngineView.h"
#include "support/FakeWorkspaceSession.h"
#include "support/TabsModelServices.h"
#include "unit/surface/SurfaceEnvironments.h"

namespace orlith {
namespace {

using testing::FakeWebEngineView;

class ChromeControllerTest : public ::testing::Test, protected testing::TabsModelServices {
 protected:
  ChromeControllerTest() {
    tabs = makeTabsModel(testing::productionEnvironment());
    session = std::make_shared<testing::FakeWorkspaceSession>();
    controller = std::make_unique<WorkspaceChromeController>(
        tabs, session, [this] { ++windowsOpened; }, queue);
    changes = controller->changed().connect([this] { ++changeCount; });
  }

  std::shared_ptr<FakeWebEngineView> attachView(const std::shared_ptr<WorkspaceModel>& tab,
                                                std::optional<std::string> uri) {
    auto view = std::make_shared<FakeWebEngineView>();
    view->uri = std::move(uri);
    tab->setWebView(view);
    views.push_back(view);
    return view;
  }

  void openTabs(std::size_t count) {
    while (tabs->tabs().size() < count)
      tabs->newTab();
  }

  std::shared_ptr<WorkspaceTabsModel> tabs;
  std::shared_ptr<testing::FakeWorkspaceSession> session;
  std::unique_ptr<WorkspaceChromeController> controller;
  std::vector<std::shared_ptr<FakeWebEngineView>> views;
  int windowsOpened = 0;
  int changeCount = 0;
  ScopedConnection changes;
};

TEST_F(ChromeControllerTest, SnapshotReadsTheTabsTheSelectionAndTheAccount) {
  openTabs(3);
  tabs->tabs()[0]->setPageTitle("Notes");
  tabs->select(tabs->tabs()[1]->id());
  tabs->tabs()[1]->setCanGoBack(true);
  tabs->tabs()[1]->setLoading(true);
  session->signIn("ada@example.com");

  const auto snapshot = controller->snapshot();
  ASSERT_EQ(snapshot.tabs.size(), 3u);
  EXPECT_EQ(snapshot.tabs[0], (WorkspaceTabStripItem{tabs->tabs()[0]->id(), "Notes"}));
  EXPECT_EQ(snapshot.tabs[2].title, "Orlith Workspace");
  EXPECT_EQ(snapshot.selectedID, tabs->tabs()[1]->id());
  EXPECT_TRUE(snapshot.state.backEnabled);
  EXPECT_FALSE(snapshot.state.forwardEnabled);
  EXPECT_TRUE(snapshot.state.showsSpinner);
  EXPECT_FALSE(snapshot.state.reloadEnabled);
  EXPECT_TRUE(snapshot.state.chipsClosable);
  EXPECT_EQ(snapshot.state.emailItem, "ada@example.com");
  // A fresh tab with no address counts as the workspace page until it has loaded once.
  EXPECT_TRUE(snapshot.state.toggleSidebarEnabled);
}

TEST_F(ChromeControllerTest, NewTabAndToggleSidebarFollowTheModels) {
  openTabs(19);
  EXPECT_TRUE(controller->snapshot().state.newTabEnabled);
  openTabs(20);
  EXPECT_FALSE(controller->snapshot().state.newTabEnabled);

  attachView(tabs->selectedTab(), "https://elsewhere.example/page");
  EXPECT_FALSE(controller->snapshot().state.toggleSidebarEnabled);
  views.back()->uri = "https://orlith.example/app/notes";
  EXPECT_TRUE(controller->snapshot().state.toggleSidebarEnabled);
}

TEST_F(ChromeControllerTest, TellsOfChangesToAnyTabTheSelectionAndTheSession) {
  openTabs(2);
  auto first = tabs->tabs()[0];
  ASSERT_NE(first, tabs->selectedTab());
  changeCount = 0;
  first->setPageTitle("Unselected tab's new title");
  EXPECT_EQ(changeCount, 1);
  tabs->newTab();
  EXPECT_GE(changeCount, 2);
  tabs->select(first->id());
  changeCount = 0;
  tabs->tabs().back()->setPageTitle("A tab opened later, not selected");
  EXPECT_EQ(changeCount, 1);
  changeCount = 0;
  session->signIn("ada@example.com");
  EXPECT_EQ(changeCount, 1);

  // A closed tab is no longer watched.
  auto closed = tabs->tabs().front();
  tabs->closeTab(closed->id());
  changeCount = 0;
  closed->setPageTitle("gone");
  EXPECT_EQ(changeCount, 0);
}

TEST_F(ChromeControllerTest, NavigationActsOnTheSelectedTabsWebView) {
  controller->back();  // no web view yet: nothing to do
  auto view = attachView(tabs->selectedTab(), "https://orlith.example/app");
  controller->back();
  controller->forward();
  controller->reload();
  EXPECT_EQ(view->backs, 1);
  EXPECT_EQ(view->forwards, 1);
  EXPECT_EQ(view->reloads, (std::vector<ReloadCache>{ReloadCache::use}));
  controller->home();
  EXPECT_EQ(view->loads, (std::vector<std::string>{"https://orlith.example/app"}));
}

TEST_F(ChromeControllerTest, ToggleSidebarQueuesTheCommandOnTheSelectedTab) {
  auto tab = tabs->selectedTab();
  attachView(tab, "https://orlith.example/app");
  controller->toggleSidebar();
  ASSERT_EQ(tab->pendingCommands().commands().size(), 1u);
  EXPECT_EQ(tab->pendingCommands().commands().front().type, "toggle-sidebar");
  EXPECT_TRUE(tab->isDeliveringCommands());
}

TEST_F(ChromeControllerTest, SearchIsRoutedWithTheSessionRevision) {
  session->signIn("ada@example.com");
  auto tab = tabs->selectedTab();
  attachView(tab, "https://orlith.example/app");
  controller->search();
  ASSERT_EQ(tab->pendingCommands().commands().size(), 1u);
  EXPECT_EQ(tab->pendingCommands().commands().front().type, "search");
  EXPECT_EQ(windowsOpened, 0);

  // No workspace tab and no room: parked for another window, which is opened once.
  openTabs(20);
  for (const auto& each : tabs->tabs())
    attachView(each, "https://elsewhere.example/");
  controller->search();
  controller->search();
  EXPECT_EQ(windowsOpened, 1);
  EXPECT_EQ(parked.take(session->sessionRevision(), time.monotonicNow()),
            (std::vector<std::string>{"search"}));
}

TEST_F(ChromeControllerTest, TabControlsReachTheTabsModel) {
  openTabs(3);
  const std::string first = tabs->tabs()[0]->id();
  controller->selectTab(first);
  EXPECT_EQ(tabs->selectedID(), first);
  controller->closeTab(first);
  EXPECT_EQ(tabs->tabs().size(), 2u);
  controller->newTab();
  EXPECT_EQ(tabs->tabs().size(), 3u);
}

TEST_F(ChromeControllerTest, SignOutWaitsForTheMainQueue) {
  controller->signOut();
  EXPECT_EQ(session->signOuts, 0);
  queue.runUntilIdle();
  EXPECT_EQ(session->signOuts, 1);

  // A session gone by then is left alone.
  controller->signOut();
  controller.reset();
  session.reset();
  EXPECT_NO_THROW(queue.runUntilIdle());
}

}  // namespace
}  // namespace orlith
