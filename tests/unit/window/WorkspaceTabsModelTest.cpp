// A window's tabs: opening, closing, selection, routing of window commands, parking across
// windows, adoption of recovery entries, per-account save and restore, and reset.
#include "workspace/window/WorkspaceTabsModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/FakePreferences.h"
#include "support/FakeWebEngineView.h"
#include "support/TabsModelServices.h"
#include "unit/surface/SurfaceEnvironments.h"
#include "workspace/window/WorkspaceTabRecoveryStore.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using testing::FakeWebEngineView;
using testing::url;

const std::string kOrigin = "https://orlith.example";
const std::string kAlice = "alice@example.com";

StoredSession sessionOf(const std::string& email) {
  StoredSession session;
  session.email = email;
  session.cookie.name = "orlith_session";
  session.cookie.value = "v";
  return session;
}

// The process-wide pieces every window of one process shares.
class TabsFixture : public ::testing::Test, protected testing::TabsModelServices {
 protected:
  std::shared_ptr<WorkspaceTabsModel> makeWindow() {
    return makeTabsModel(testing::productionEnvironment());
  }

  // Gives a tab a web view showing `uri` (none: not loaded yet).
  std::shared_ptr<FakeWebEngineView> attachView(const std::shared_ptr<WorkspaceModel>& tab,
                                                std::optional<std::string> uri) {
    auto view = std::make_shared<FakeWebEngineView>();
    view->uri = std::move(uri);
    tab->setWebView(view);
    views.push_back(view);
    return view;
  }

  std::vector<WorkspaceTabRecoveryWindow> record(const std::string& account = kAlice) {
    return WorkspaceTabRecoveryStore::make(account, testing::productionEnvironment(), preferences)
        ->load();
  }

  void storeRecord(const std::vector<WorkspaceTabRecoveryWindow>& windows,
                   const std::string& account = kAlice) {
    auto store =
        WorkspaceTabRecoveryStore::make(account, testing::productionEnvironment(), preferences);
    for (const auto& window : windows) {
      std::vector<Url> urls;
      for (const auto& text : window.urls)
        urls.push_back(url(text.c_str()));
      store->save(window.id, urls, window.selectedIndex);
    }
  }

  static std::vector<std::string> ids(const WorkspaceTabsModel& model) {
    std::vector<std::string> result;
    for (const auto& tab : model.tabs())
      result.push_back(tab->id());
    return result;
  }

  static std::vector<std::string> initialURLs(const WorkspaceTabsModel& model) {
    std::vector<std::string> result;
    for (const auto& tab : model.tabs())
      result.push_back(tab->initialURL().absoluteString());
    return result;
  }

  static void expectOneSelected(const WorkspaceTabsModel& model) {
    int selected = 0;
    for (const auto& tab : model.tabs()) {
      EXPECT_EQ(tab->isSelectedTab(), tab->id() == model.selectedID());
      selected += tab->isSelectedTab() ? 1 : 0;
    }
    EXPECT_EQ(selected, 1);
  }

  static void openTabs(WorkspaceTabsModel& model, std::size_t count) {
    while (model.tabs().size() < count)
      model.newTab();
  }

  FakePreferences preferences;
  std::vector<std::shared_ptr<FakeWebEngineView>> views;
};

TEST_F(TabsFixture, StartsWithOneSelectedBlankTabUnprepared) {
  auto model = makeWindow();
  ASSERT_EQ(model->tabs().size(), 1u);
  EXPECT_EQ(model->selectedTab(), model->tabs().front());
  EXPECT_FALSE(model->isSessionPrepared());
  EXPECT_EQ(model->tabs().front()->initialURL().absoluteString(), kOrigin + "/app");
  expectOneSelected(*model);
}

struct CloseCase {
  const char* name;
  std::size_t selected;
  std::size_t closed;
  std::size_t expectedSelected;  // index in the original five
};

class CloseTest : public TabsFixture, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, SelectsTheAdjacentTab) {
  auto model = makeWindow();
  openTabs(*model, 5);
  auto before = ids(*model);
  model->select(before[GetParam().selected]);
  model->closeTab(before[GetParam().closed]);
  EXPECT_EQ(model->tabs().size(), 4u);
  EXPECT_EQ(model->selectedID(), before[GetParam().expectedSelected]);
  expectOneSelected(*model);
}

INSTANTIATE_TEST_SUITE_P(Tabs, CloseTest,
                         ::testing::Values(CloseCase{"selectedMiddle", 2, 2, 3},
                                           CloseCase{"selectedLast", 4, 4, 3},
                                           CloseCase{"selectedFirst", 0, 0, 1},
                                           CloseCase{"unselected", 1, 3, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TabsFixture, TheLastTabAndUnknownIdsDoNotClose) {
  auto model = makeWindow();
  model->closeTab(model->selectedID());
  EXPECT_EQ(model->tabs().size(), 1u);
  model->newTab();
  model->closeTab("00000000-0000-4000-8000-00000000FFFF");
  EXPECT_EQ(model->tabs().size(), 2u);
  EXPECT_EQ(beep.beeps, 0);
}

TEST_F(TabsFixture, ClosingStopsTheTabAndDropsItsCommands) {
  auto model = makeWindow();
  auto first = model->tabs().front();
  model->newTab();
  auto view = attachView(first, kOrigin + "/app");
  first->pendingCommands().enqueue(Json{{"type", "new-note"}});
  model->closeTab(first->id());
  EXPECT_EQ(view->stops, 1);
  EXPECT_TRUE(first->pendingCommands().empty());
}

TEST_F(TabsFixture, TheTwentiethTabOpensAndTheTwentyFirstBeeps) {
  auto model = makeWindow();
  openTabs(*model, 19);
  auto twentieth = model->newTab();
  EXPECT_EQ(model->tabs().size(), 20u);
  EXPECT_EQ(model->selectedTab(), twentieth);
  EXPECT_EQ(beep.beeps, 0);

  model->select(model->tabs()[3]->id());
  auto before = ids(*model);
  auto result = model->newTab();
  EXPECT_EQ(beep.beeps, 1);
  EXPECT_EQ(ids(*model), before);
  EXPECT_EQ(result, model->tabs()[3]);
  EXPECT_EQ(model->selectedID(), before[3]);
}

TEST_F(TabsFixture, AdjacentSelectionWrapsAround) {
  auto model = makeWindow();
  model->selectAdjacentTab(1);
  EXPECT_EQ(model->selectedID(), model->tabs()[0]->id());  // one tab: nothing
  openTabs(*model, 3);
  model->selectAdjacentTab(1);  // from the last
  EXPECT_EQ(model->selectedID(), model->tabs()[0]->id());
  model->selectAdjacentTab(-1);  // from the first
  EXPECT_EQ(model->selectedID(), model->tabs()[2]->id());
  model->selectAdjacentTab(-1);
  EXPECT_EQ(model->selectedID(), model->tabs()[1]->id());
  expectOneSelected(*model);
}

TEST_F(TabsFixture, SelectionCallsEachChangedTabOnceAndIgnoresUnknownIds) {
  auto model = makeWindow();
  openTabs(*model, 3);
  std::vector<int> calls(3, 0);
  for (std::size_t i = 0; i < 3; ++i)
    model->tabs()[i]->onSelectionChanged = [&calls, i] { ++calls[i]; };
  model->select(model->tabs()[0]->id());
  EXPECT_EQ(calls, (std::vector<int>{1, 0, 1}));
  model->select("nope");
  EXPECT_EQ(model->selectedID(), model->tabs()[0]->id());
  EXPECT_EQ(calls, (std::vector<int>{1, 0, 1}));
}

TEST_F(TabsFixture, SelectingAnotherTabFocusesItsViewOnlyInAnActiveWindow) {
  auto model = makeWindow();
  model->newTab();
  queue.runUntilIdle();
  auto first = model->tabs()[0];
  auto second = model->tabs()[1];
  auto shown = attachView(first, kOrigin + "/app");
  auto other = attachView(second, kOrigin + "/app");

  model->select(first->id());
  EXPECT_EQ(shown->focuses, 0);  // posted, after the views have been refreshed
  queue.runUntilIdle();
  EXPECT_EQ(shown->focuses, 1);

  other->shownInActiveWindow = false;
  model->select(second->id());
  queue.runUntilIdle();
  EXPECT_EQ(other->focuses, 0);

  // A selection that moved on before the post ran does not focus the old tab.
  model->select(first->id());
  model->select(second->id());
  queue.runUntilIdle();
  EXPECT_EQ(shown->focuses, 1);
}

TEST_F(TabsFixture, ReselectingNeitherSavesNorFocusesButStartsDelivery) {
  auto model = makeWindow();
  model->prepareSession(sessionOf(kAlice), preferences);
  auto tab = model->selectedTab();
  auto view = attachView(tab, kOrigin + "/app");
  queue.runUntilIdle();
  int writes = preferences.writeCount();
  ASSERT_TRUE(tab->pendingCommands().enqueue(Json{{"type", "new-note"}}));
  ASSERT_FALSE(tab->isDeliveringCommands());

  model->select(tab->id());
  queue.runUntilIdle();
  EXPECT_EQ(preferences.writeCount(), writes);
  EXPECT_EQ(view->focuses, 0);
  EXPECT_TRUE(tab->isDeliveringCommands() || tab->pendingCommands().empty());
  EXPECT_GT(view->evaluations.size(), 0u);
  // The delivery waits to retry on the hand-driven clock; end it so nothing outlives the test.
  tab->cancelCommandDelivery();
  queue.runUntilIdle();
}

TEST_F(TabsFixture, SelectedTabChangesReachTheWindowsObservers) {
  auto model = makeWindow();
  model->newTab();
  int changes = 0;
  auto connection = model->changed().connect([&] { ++changes; });
  model->tabs()[0]->setLoading(true);  // not selected
  EXPECT_EQ(changes, 0);
  model->selectedTab()->setLoading(true);
  EXPECT_EQ(changes, 1);
  connection.disconnect();
}

TEST_F(TabsFixture, WorkspacePageTest) {
  auto model = makeWindow();
  auto tab = model->selectedTab();
  EXPECT_TRUE(model->showsWorkspacePage(*tab));  // blank, not loaded once
  tab->markLoadedOnce();
  EXPECT_FALSE(model->showsWorkspacePage(*tab));  // loaded once, still no address

  struct Case {
    const char* uri;
    bool shows;
  };
  for (const Case& c :
       {Case{"https://orlith.example/app", true}, Case{"https://orlith.example/app/board/1", true},
        Case{"https://orlith.example/apps", false}, Case{"https://orlith.example/login", false},
        Case{"https://evil.example/app", false}, Case{"https://u:p@orlith.example/app", false},
        Case{"about:blank", false}}) {
    auto view = attachView(tab, c.uri);
    EXPECT_EQ(model->showsWorkspacePage(*tab), c.shows) << c.uri;
  }
}

// Eligibility per tab (a web view at the workspace or elsewhere), the selected index, and where
// the command lands.
struct RouteCase {
  const char* name;
  std::vector<bool> eligible;
  std::size_t selected;
  std::size_t expectedTabs;
  std::size_t expectedTarget;  // index of the tab that is selected and holds the command
};

class RouteTest : public TabsFixture, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(RouteTest, DeliversToTheRightTab) {
  auto model = makeWindow();
  openTabs(*model, GetParam().eligible.size());
  for (std::size_t i = 0; i < GetParam().eligible.size(); ++i)
    attachView(model->tabs()[i], GetParam().eligible[i] ? kOrigin + "/app/x" : kOrigin + "/login");
  model->select(model->tabs()[GetParam().selected]->id());
  int opened = 0;
  model->routeDesktopCommand("search", 7, [&] { ++opened; });

  ASSERT_EQ(model->tabs().size(), GetParam().expectedTabs);
  auto target = model->tabs()[GetParam().expectedTarget];
  EXPECT_EQ(model->selectedTab(), target);
  ASSERT_FALSE(target->pendingCommands().empty() && !target->isDeliveringCommands());
  for (const auto& tab : model->tabs()) {
    if (tab != target) {
      EXPECT_TRUE(tab->pendingCommands().empty());
    }
  }
  EXPECT_EQ(opened, 0);
  EXPECT_TRUE(parked.commands().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, RouteTest,
    ::testing::Values(RouteCase{"selectedEligible", {true, true, true}, 1, 3, 1},
                      RouteCase{"firstEligibleOtherwise", {false, false, true, true}, 0, 4, 2},
                      RouteCase{
                          "newTabWhenNoneEligible", {false, false, false, false, false}, 2, 6, 5},
                      RouteCase{"newTabAtNineteen", std::vector<bool>(19, false), 0, 20, 19}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TabsFixture, CommandsOfOtherTypesAreIgnored) {
  auto model = makeWindow();
  int opened = 0;
  for (const char* type : {"navigate", "new-note", "", "Search"})
    model->routeDesktopCommand(type, 1, [&] { ++opened; });
  EXPECT_TRUE(model->selectedTab()->pendingCommands().empty());
  EXPECT_EQ(model->tabs().size(), 1u);
  EXPECT_EQ(opened, 0);
}

class ParkingTest : public TabsFixture {
 protected:
  // A window full of tabs none of which shows the workspace.
  std::shared_ptr<WorkspaceTabsModel> fullWindow() {
    auto model = makeWindow();
    openTabs(*model, 20);
    for (const auto& tab : model->tabs())
      attachView(tab, kOrigin + "/settings");
    return model;
  }
};

TEST_F(ParkingTest, AFullWindowParksAndOpensOneWindowThatTakesBoth) {
  auto full = fullWindow();
  int opened = 0;
  full->routeDesktopCommand("billing-return", 4, [&] { ++opened; });
  time.advance(10s);
  full->routeDesktopCommand("search", 4, [&] { ++opened; });
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(full->tabs().size(), 20u);
  EXPECT_EQ(parked.commands(), (std::vector<std::string>{"billing-return", "search"}));

  time.advance(19s);
  auto next = makeWindow();
  next->prepareSession(sessionOf(kAlice), preferences);
  next->deliverPendingWindowCommands(4);
  const auto& commands = next->selectedTab()->pendingCommands().commands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].type, "billing-return");
  EXPECT_EQ(commands[1].type, "search");
  EXPECT_TRUE(parked.commands().empty());
}

TEST_F(ParkingTest, TakenOnlyUnderTheSameRevisionAndWithinThirtySeconds) {
  struct Case {
    const char* name;
    std::int64_t takenAt;
    std::chrono::milliseconds after;
    std::size_t delivered;
  };
  for (const Case& c : {Case{"sameRevision", 4, 29'999ms, 1}, Case{"thirtySeconds", 4, 30s, 0},
                        Case{"otherRevision", 5, 1s, 0}}) {
    auto full = fullWindow();
    full->routeDesktopCommand("billing-return", 4, [] {});
    time.advance(c.after);
    auto next = makeWindow();
    next->deliverPendingWindowCommands(c.takenAt);
    EXPECT_EQ(next->selectedTab()->pendingCommands().size(), c.delivered) << c.name;
    EXPECT_TRUE(parked.commands().empty()) << c.name;
  }
}

TEST_F(ParkingTest, ParkedTypesStayWhileTheSelectedTabShowsAnotherPage) {
  auto full = fullWindow();
  full->routeDesktopCommand("search", 2, [] {});
  auto next = makeWindow();
  attachView(next->selectedTab(), kOrigin + "/login");
  next->deliverPendingWindowCommands(2);
  EXPECT_TRUE(next->selectedTab()->pendingCommands().empty());
  EXPECT_EQ(parked.commands(), (std::vector<std::string>{"search"}));
}

TEST_F(TabsFixture, PreparingRestoresTheAccountsWindowAndClampsTheSelection) {
  storeRecord({{"AAAAAAAA-0000-4000-8000-000000000001",
                {kOrigin + "/app/a", kOrigin + "/app/b", kOrigin + "/app/c"},
                7}});
  auto model = makeWindow();
  model->prepareSession(sessionOf(kAlice), preferences);
  EXPECT_TRUE(model->isSessionPrepared());
  EXPECT_EQ(initialURLs(*model),
            (std::vector<std::string>{kOrigin + "/app/a", kOrigin + "/app/b", kOrigin + "/app/c"}));
  EXPECT_EQ(model->selectedTab(), model->tabs()[2]);
  EXPECT_EQ(model->recoveryWindowID(), "AAAAAAAA-0000-4000-8000-000000000001");
  expectOneSelected(*model);
  EXPECT_TRUE(claimed.isClaimed(model->recoveryStore()->key(), model->recoveryWindowID()));
}

TEST_F(TabsFixture, WindowsOfOneProcessAdoptDistinctEntries) {
  storeRecord({{"AAAAAAAA-0000-4000-8000-000000000001", {kOrigin + "/app/one"}, 0},
               {"BBBBBBBB-0000-4000-8000-000000000002", {kOrigin + "/app/two"}, 0}});
  auto first = makeWindow();
  first->prepareSession(sessionOf(kAlice), preferences);
  auto second = makeWindow();
  second->prepareSession(sessionOf(kAlice), preferences);
  EXPECT_EQ(initialURLs(*first), std::vector<std::string>{kOrigin + "/app/one"});
  EXPECT_EQ(initialURLs(*second), std::vector<std::string>{kOrigin + "/app/two"});

  // A third window keeps its blank tab and adds an entry of its own.
  auto third = makeWindow();
  third->prepareSession(sessionOf(kAlice), preferences);
  EXPECT_EQ(initialURLs(*third), std::vector<std::string>{kOrigin + "/app"});
  EXPECT_EQ(record().size(), 3u);

  // A closed window's entry stays claimed for the life of the process...
  first.reset();
  auto fourth = makeWindow();
  fourth->prepareSession(sessionOf(kAlice), preferences);
  EXPECT_EQ(initialURLs(*fourth), std::vector<std::string>{kOrigin + "/app"});

  // ...and is offered again after a relaunch (a fresh registry).
  ClaimedRecoveryWindows relaunched;
  auto afterRelaunch = WorkspaceTabsModel::create(
      {testing::productionEnvironment(), time, time, uuids, beep, hub, relaunched, parked});
  afterRelaunch->prepareSession(sessionOf(kAlice), preferences);
  EXPECT_EQ(initialURLs(*afterRelaunch), std::vector<std::string>{kOrigin + "/app/one"});
}

TEST_F(TabsFixture, AnotherAccountsTabsAreNotRestored) {
  storeRecord({{"AAAAAAAA-0000-4000-8000-000000000001", {kOrigin + "/app/alice"}, 0}});
  auto model = makeWindow();
  model->prepareSession(sessionOf("bob@example.com"), preferences);
  EXPECT_EQ(initialURLs(*model), std::vector<std::string>{kOrigin + "/app"});
  EXPECT_EQ(record().size(), 1u);
  EXPECT_EQ(record("bob@example.com").size(), 1u);
}

TEST_F(TabsFixture, SavesCurrentPagesAndInitialPagesOfTabsWithoutAView) {
  auto model = makeWindow();
  model->prepareSession(sessionOf(kAlice), preferences);
  attachView(model->selectedTab(), kOrigin + "/app/board/9");
  model->newTab();  // no web view yet: saved with its first page
  auto saved = record();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].id, model->recoveryWindowID());
  EXPECT_EQ(saved[0].urls, (std::vector<std::string>{kOrigin + "/app/board/9", kOrigin + "/app"}));
  EXPECT_EQ(saved[0].selectedIndex, 1);

  // A location change of a tab saves through the hook the model attached.
  views[0]->uri = kOrigin + "/app/board/10";
  model->tabs()[0]->onRecoveryLocationChanged();
  EXPECT_EQ(record()[0].urls[0], kOrigin + "/app/board/10");
}

TEST_F(TabsFixture, WillRestartSavesOnlyAPreparedWindow) {
  auto unprepared = makeWindow();
  attachView(unprepared->selectedTab(), kOrigin + "/app/u");
  auto prepared = makeWindow();
  prepared->prepareSession(sessionOf(kAlice), preferences);
  auto view = attachView(prepared->selectedTab(), kOrigin + "/app/p");
  int writes = preferences.writeCount();

  hub.post(kWillRestartForUpdateNotification);
  EXPECT_EQ(preferences.writeCount(), writes + 1);
  ASSERT_EQ(record().size(), 1u);
  EXPECT_EQ(record()[0].urls, std::vector<std::string>{kOrigin + "/app/p"});

  // A released window no longer listens.
  prepared.reset();
  hub.post(kWillRestartForUpdateNotification);
  EXPECT_EQ(preferences.writeCount(), writes + 1);
}

TEST_F(TabsFixture, ASecondPrepareChangesNothingEvenForAnotherAccount) {
  auto model = makeWindow();
  model->prepareSession(sessionOf(kAlice), preferences);
  auto key = model->recoveryStore()->key();
  auto tabs = ids(*model);
  storeRecord({{"AAAAAAAA-0000-4000-8000-000000000001", {kOrigin + "/app/bob"}, 0}},
              "bob@example.com");
  model->prepareSession(sessionOf("bob@example.com"), preferences);
  EXPECT_EQ(model->recoveryStore()->key(), key);
  EXPECT_EQ(ids(*model), tabs);
}

TEST_F(TabsFixture, PreparingWithoutASessionRestoresAndSavesNothing) {
  storeRecord({{"AAAAAAAA-0000-4000-8000-000000000001", {kOrigin + "/app/a"}, 0}});
  int writes = preferences.writeCount();
  auto model = makeWindow();
  model->prepareSession(std::nullopt, preferences);
  EXPECT_TRUE(model->isSessionPrepared());
  EXPECT_EQ(model->recoveryStore(), nullptr);
  model->newTab();
  EXPECT_EQ(initialURLs(*model), (std::vector<std::string>{kOrigin + "/app", kOrigin + "/app"}));
  EXPECT_EQ(preferences.writeCount(), writes);
}

TEST_F(TabsFixture, ResetErasesTheRecordAndClaimsAndLeavesOneBlankTab) {
  storeRecord(
      {{"AAAAAAAA-0000-4000-8000-000000000001", {kOrigin + "/app/a", kOrigin + "/app/b"}, 1}});
  auto model = makeWindow();
  model->prepareSession(sessionOf(kAlice), preferences);
  auto key = model->recoveryStore()->key();
  auto views0 = attachView(model->tabs()[0], kOrigin + "/app/a");
  auto oldWindowID = model->recoveryWindowID();

  model->resetSession();
  EXPECT_FALSE(preferences.value(key).has_value());
  EXPECT_TRUE(claimed.claimedIDs(key).empty());
  EXPECT_FALSE(model->isSessionPrepared());
  EXPECT_EQ(model->recoveryStore(), nullptr);
  EXPECT_NE(model->recoveryWindowID(), oldWindowID);
  EXPECT_EQ(views0->stops, 1);
  ASSERT_EQ(model->tabs().size(), 1u);
  EXPECT_EQ(model->tabs()[0]->initialURL().absoluteString(), kOrigin + "/app");
  expectOneSelected(*model);
  EXPECT_FALSE(preferences.value(key).has_value());  // its own save did nothing

  // Preparing again restores nothing: the record is gone; the window saves itself anew.
  model->prepareSession(sessionOf(kAlice), preferences);
  EXPECT_EQ(initialURLs(*model), std::vector<std::string>{kOrigin + "/app"});
  EXPECT_EQ(record().size(), 1u);
}

TEST_F(TabsFixture, AnUnsafeRememberedAddressComesBackAsTheWorkspacePage) {
  auto store =
      WorkspaceTabRecoveryStore::make(kAlice, testing::productionEnvironment(), preferences);
  const char* json =
      R"({"schemaVersion":1,"windows":[{"id":"AAAAAAAA-0000-4000-8000-000000000001",)"
      R"("urls":["https://orlith.example/app/../logout","https://orlith.example/app%2F..%2Flogout",)"
      R"("https://orlith.example/app/ok"],"selectedIndex":0}]})";
  preferences.setData(store->key(), PreferenceData(json, json + std::strlen(json)));
  auto model = makeWindow();
  model->prepareSession(sessionOf(kAlice), preferences);
  for (const auto& text : initialURLs(*model))
    EXPECT_EQ(text.find("logout"), std::string::npos) << text;
}

}  // namespace
}  // namespace orlith
