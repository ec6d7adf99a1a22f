// The signed-in workspace window on the real toolkit and engine against the stand-in: chrome
// over the selected tab, the start-up cover, the error view, tab switching without reloads, the
// account's tabs after a relaunch, recovery and renderer-crash behaviour, and page zoom.
#include <gmock/gmock.h>

#include <fstream>
#include <iterator>
#include <string>

#include "WorkspaceWindowFixture.h"
#include "platform/glib/GObjectPtr.h"
#include "support/FakeBeep.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using testing::evaluate;
using testing::spinUntil;
using testing::waitFor;

class WorkspaceWindow : public testing::WorkspaceWindowFixture {
 protected:
  MainWindow& signedInWindow() {
    launch();
    signIn(testing::kDemoAccount);
    return openWindow();
  }

  std::vector<WorkspaceTabRecoveryWindow> record(const std::string& account) {
    return WorkspaceTabRecoveryStore::make(account, environment(), context_->preferences())->load();
  }

  std::string pathOf(WebKitWebView* view) {
    auto path = evaluate(view, "location.pathname");
    return path.is_string() ? path.get<std::string>() : std::string();
  }
};

TEST_F(WorkspaceWindow, ShowsTheChromeOverTheSelectedTabOnlyAndSwitchingNeverReloads) {
  MainWindow& window = signedInWindow();
  auto first = window.tabs()->selectedTab();
  ASSERT_TRUE(waitReady(window, first));
  WorkspaceView& workspace = *window.workspace();
  WebKitWebView* firstView = webViewOf(window, first);
  ASSERT_EQ(evaluate(firstView, "window.__counter = 41"), 41);

  auto second = window.tabs()->newTab();
  ASSERT_TRUE(waitReady(window, second));
  WebKitWebView* secondView = webViewOf(window, second);
  auto* firstContainer = workspace.surfaces().container(first->id());
  auto* secondContainer = workspace.surfaces().container(second->id());
  EXPECT_FALSE(firstContainer->widget().get_visible());
  EXPECT_TRUE(secondContainer->widget().get_mapped());
  EXPECT_FALSE(first->isActiveForRendering());
  EXPECT_TRUE(second->isActiveForRendering());
  ASSERT_TRUE(waitFor(firstView, "document.hidden === true"))
      << "a hidden tab's page is told that it is hidden";
  EXPECT_EQ(evaluate(secondView, "document.hidden"), false);

  // The chrome stands above the tab, with the shadow between them.
  graphene_point_t origin{0, 0}, chromeTop{}, surfacesTop{};
  ASSERT_TRUE(gtk_widget_compute_point(GTK_WIDGET(workspace.chrome().gobj()),
                                       GTK_WIDGET(workspace.gobj()), &origin, &chromeTop));
  ASSERT_TRUE(gtk_widget_compute_point(GTK_WIDGET(workspace.surfaces().gobj()),
                                       GTK_WIDGET(workspace.gobj()), &origin, &surfacesTop));
  EXPECT_EQ(chromeTop.y, 0);
  EXPECT_EQ(surfacesTop.y, workspace.chrome().get_height() + 1);
  EXPECT_EQ(workspace.shadow().get_height(), 1);
  EXPECT_EQ(workspace.chrome().tabStrip().get_mapped(), true);

  testing::saveScreen("workspace-window-two-tabs");
  testing::saveSnapshot(secondView, "workspace-window-second-tab");

  // In the active window the keyboard follows the selection into the page.
  ASSERT_TRUE(testing::activate(GTK_WINDOW(window.gobj()), 10s));
  window.tabs()->select(first->id());
  EXPECT_TRUE(spinUntil([&] { return gtk_widget_has_focus(GTK_WIDGET(firstView)) == TRUE; }, 5s));
  ASSERT_TRUE(waitFor(firstView, "document.hidden === false"));
  EXPECT_EQ(evaluate(firstView, "window.__counter"), 41) << "the page was not loaded again";
  EXPECT_TRUE(firstContainer->widget().get_mapped());
  EXPECT_FALSE(secondContainer->widget().get_visible());
  EXPECT_TRUE(first->isActiveForRendering());
  EXPECT_FALSE(second->isActiveForRendering());

  // Closing a tab takes only its own container away.
  window.tabs()->closeTab(second->id());
  ASSERT_TRUE(spinUntil([&] { return workspace.surfaces().containerCount() == 1; }, 5s));
  EXPECT_EQ(workspace.surfaces().container(first->id()), firstContainer);
  EXPECT_EQ(evaluate(firstView, "window.__counter"), 41);
}

TEST_F(WorkspaceWindow, AnUnpreparedWindowHasNoWebViewAndTheCoverStaysUntilTheTabIsReady) {
  launch();
  signIn(testing::kDemoAccount);
  {
    auto services = context_->windowServices();
    testing::FakeBeep beep;
    auto tabs = WorkspaceTabsModel::create(services.tabsModelDependencies(beep));
    WorkspaceView unshown(services, tabs, WorkspaceNetworkSession::shared());
    EXPECT_EQ(unshown.stack().get_visible_child(), &unshown.cover());
    EXPECT_EQ(unshown.surfaces().containerCount(), 0u);
    EXPECT_FALSE(tabs->isSessionPrepared());
  }

  // A remembered slow page keeps the tab's cover up for about three seconds.
  auto store = WorkspaceTabRecoveryStore::make(testing::kDemoAccount, environment(),
                                               context_->preferences());
  store->save("AAAAAAAA-0000-4000-8000-000000000001",
              {*Url::parse(standin_.origin() + "/app/slow")}, 0);
  MainWindow& window = openWindow();
  auto tab = window.tabs()->selectedTab();
  ASSERT_EQ(tab->initialURL().absoluteString(), standin_.origin() + "/app/slow");
  auto* container = selectedContainer(window);
  ASSERT_NE(container, nullptr);
  EXPECT_TRUE(container->cover().get_visible());
  EXPECT_FALSE(container->errorRevealer().get_reveal_child());
  EXPECT_TRUE(container->cover().mark().get_mapped());
  ASSERT_TRUE(waitReady(window, tab, 30s));
  ASSERT_TRUE(spinUntil([&] { return !container->cover().get_visible(); }, 5s));
  EXPECT_FALSE(container->errorRevealer().get_reveal_child());
}

TEST_F(WorkspaceWindow, AnUnreachableServiceShowsTheOfflineViewAndReloadBringsTheCoverBack) {
  launch();
  signIn(testing::kDemoAccount);
  int closedPort = 0;
  {
    GObjectPtr<GSocketListener> listener(g_socket_listener_new());
    closedPort = g_socket_listener_add_any_inet_port(listener.get(), nullptr, nullptr);
  }
  launch(OrlithEnvironment(*Url::parse("https://127.0.0.1:" + std::to_string(closedPort))));
  ASSERT_TRUE(context_->sessionStore().state().isAuthenticated());
  MainWindow& window = openWindow();
  auto tab = window.tabs()->selectedTab();
  auto* container = selectedContainer(window);
  ASSERT_NE(container, nullptr);
  ASSERT_TRUE(spinUntil([&] { return container->errorRevealer().get_reveal_child(); }, 20s));
  EXPECT_FALSE(container->cover().get_visible());
  WorkspaceErrorView& error = container->errorView();
  EXPECT_EQ(error.title().get_text(), "You're offline");
  EXPECT_EQ(error.detail().get_text(), "Check your internet connection and try again.");
  EXPECT_EQ(error.reloadButton().get_label(), "Reload");
  EXPECT_EQ(error.content().iconName, "network-wireless-offline-symbolic");
  ASSERT_TRUE(spinUntil([&] { return error.get_mapped(); }, 5s));
  testing::saveScreen("workspace-window-offline");

  error.reloadButton().activate();
  ASSERT_TRUE(spinUntil([&] { return container->cover().get_visible(); }, 5s))
      << "a retry clears the failure and the cover shows while the page is not ready";
  EXPECT_FALSE(tab->didFailToLoad());
  ASSERT_TRUE(spinUntil([&] { return tab->didFailToLoad(); }, 20s));
}

TEST_F(WorkspaceWindow, TheStoredZoomIsAppliedClamped) {
  launch();
  signIn(testing::kDemoAccount);
  context_->preferences().setNumber(std::string(PageZoom::kKey), 7);
  MainWindow& window = openWindow();
  auto tab = window.tabs()->selectedTab();
  ASSERT_TRUE(waitReady(window, tab));
  EXPECT_TRUE(
      spinUntil([&] { return webkit_web_view_get_zoom_level(webViewOf(window, tab)) == 3.0; }, 5s));
}

TEST_F(WorkspaceWindow, TheAccountsTabsComeBackAfterARelaunchAndAnotherAccountsDoNot) {
  {
    MainWindow& window = signedInWindow();
    ASSERT_TRUE(waitReady(window, window.tabs()->selectedTab()));
    auto second = window.tabs()->newTab();
    ASSERT_TRUE(waitReady(window, second));
    webkit_web_view_load_uri(webViewOf(window, second),
                             (standin_.origin() + "/app/board/7").c_str());
    ASSERT_TRUE(spinUntil(
        [&] {
          auto saved = record(testing::kDemoAccount);
          return saved.size() == 1 && saved[0].urls.size() == 2 &&
                 saved[0].urls[1] == standin_.origin() + "/app/board/7";
        },
        20s));
  }

  launch();
  MainWindow& again = openWindow();
  ASSERT_EQ(again.tabs()->tabs().size(), 2u);
  auto restored = again.tabs()->tabs()[1];
  EXPECT_EQ(again.tabs()->selectedTab(), restored);
  ASSERT_TRUE(waitReady(again, restored));
  EXPECT_EQ(pathOf(webViewOf(again, restored)), "/app/board/7");

  // Another account on the same machine starts with one blank tab.
  windows_.clear();
  context_->sessionStore().clearLocalSession();
  signIn(testing::kTwoFactorAccount);
  MainWindow& other = openWindow();
  ASSERT_EQ(other.tabs()->tabs().size(), 1u);
  EXPECT_EQ(other.tabs()->selectedTab()->initialURL().absoluteString(), standin_.origin() + "/app");
  EXPECT_EQ(record(testing::kDemoAccount).size(), 1u) << "the first account's record stays";
}

TEST_F(WorkspaceWindow, ASessionRecoveryBringsTheTabBackAtThePageItShowed) {
  MainWindow& window = signedInWindow();
  auto tab = window.tabs()->selectedTab();
  ASSERT_TRUE(waitReady(window, tab));
  webkit_web_view_load_uri(webViewOf(window, tab), (standin_.origin() + "/app/x").c_str());
  ASSERT_TRUE(waitFor(webViewOf(window, tab), "location.pathname === '/app/x'"));

  SessionStore& store = context_->sessionStore();
  store.recoverSession(store.sessionRevision(), true);
  ASSERT_TRUE(spinUntil([&] { return window.workspace() == nullptr; }, 10s))
      << "the workspace goes while the session is re-validated";
  ASSERT_TRUE(spinUntil([&] { return window.workspace() != nullptr; }, 30s));
  // The rebuilt view opens the page the dismantled one showed, not the tab's first page.
  ASSERT_TRUE(spinUntil(
      [&] {
        auto* view = window.workspace() ? webViewOf(window, tab) : nullptr;
        return view && pathOf(view).starts_with("/app");
      },
      30s));
  EXPECT_EQ(pathOf(webViewOf(window, tab)), "/app/x");
  ASSERT_TRUE(spinUntil([&] { return tab->isReady(); }, 30s));
  ASSERT_EQ(record(testing::kDemoAccount).size(), 1u);
  EXPECT_EQ(record(testing::kDemoAccount)[0].urls,
            std::vector<std::string>{standin_.origin() + "/app/x"});
}

TEST_F(WorkspaceWindow, TabsShareOneWebProcessAndAllComeBackWhenItEnds) {
  MainWindow& window = signedInWindow();
  auto first = window.tabs()->selectedTab();
  ASSERT_TRUE(waitReady(window, first));
  auto second = window.tabs()->newTab();
  ASSERT_TRUE(waitReady(window, second));
  WebKitWebView* firstView = webViewOf(window, first);
  WebKitWebView* secondView = webViewOf(window, second);
  ASSERT_EQ(evaluate(firstView, "window.__counter = 1"), 1);
  ASSERT_EQ(evaluate(secondView, "window.__counter = 2"), 2);

  webkit_web_view_terminate_web_process(firstView);
  // The process both pages lived in is gone: each tab recovers by its own rule (a reload of
  // the page it showed), the hidden one as well as the shown one.
  ASSERT_TRUE(waitFor(secondView,
                      "document.readyState === 'complete' && window.__counter === undefined", 30s));
  ASSERT_TRUE(waitFor(firstView,
                      "document.readyState === 'complete' && window.__counter === undefined", 30s));
  ASSERT_TRUE(spinUntil([&] { return second->isReady(); }, 30s));
  EXPECT_FALSE(first->didFailToLoad());
  EXPECT_FALSE(second->didFailToLoad());
  // A hidden page reports ready once it is shown.
  window.tabs()->select(first->id());
  ASSERT_TRUE(spinUntil([&] { return first->isReady(); }, 30s));
}

// Once the pages have loaded nothing on screen changes, so the window draws no frame: a spinner
// turning on a page that is not shown, or a layout that asks for another, would keep the frame
// clock ticking for as long as the window is open.
TEST_F(WorkspaceWindow, AtRestTheWindowDrawsNoFrames) {
  // Animations on, as people have them: without, no spinner turns.
  const testing::AnimationsOn animations;
  launch();
  signIn(testing::kDemoAccount);
  for (std::size_t count : {std::size_t{1}, WorkspaceTabsModel::kMaximumTabs}) {
    SCOPED_TRACE(count);
    // As the app starts: the window shows its launch screen until the stored session is read.
    windows_.clear();
    context_.reset();
    context_ = makeProductionApplicationContext(environment(), WorkspaceNetworkSession::shared(),
                                                keychainService_);
    auto store = WorkspaceTabRecoveryStore::make(testing::kDemoAccount, environment(),
                                                 context_->preferences());
    store->remove();
    store->save(makeRandomUuid(), std::vector<Url>(count, *Url::parse(standin_.origin() + "/app")),
                0);
    MainWindow& window = openWindow();
    ASSERT_TRUE(spinUntil([&] { return window.launchScreen().get_mapped(); }, 5s));
    testing::awaitOnLoop(context_->sessionStore().restoreStoredSession());
    ASSERT_TRUE(spinUntil(
        [&] { return window.tabs()->isSessionPrepared() && window.tabs()->tabs().size() == count; },
        10s));
    ASSERT_TRUE(waitReady(window, window.tabs()->selectedTab(), 60s));
    // The tabs behind have loaded their pages too; they report ready only once shown.
    ASSERT_TRUE(spinUntil(
        [&] {
          if (window.workspace()->surfaces().containerCount() != count)
            return false;
          for (const auto& tab : window.tabs()->tabs()) {
            WebKitWebView* view = webViewOf(window, tab);
            if (!view || webkit_web_view_is_loading(view) || !webkit_web_view_get_uri(view))
              return false;
          }
          return true;
        },
        60s));
    // The screens' crossfade and the cover's going are long over by then.
    spinUntil([] { return false; }, 1500ms);
    GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(window.gobj()));
    ASSERT_NE(clock, nullptr);
    int frames = 0;
    const gulong handler = g_signal_connect_swapped(
        clock, "after-paint", G_CALLBACK(+[](int* counted) { ++*counted; }), &frames);
    spinUntil([] { return false; }, 2s);
    g_signal_handler_disconnect(clock, handler);
    EXPECT_EQ(frames, 0);
  }
  // Nothing the launch and the signed-in window show is drawn from SVG: that decoder alone is
  // several megabytes of the app's memory.
  std::ifstream maps("/proc/self/maps");
  const std::string mapped((std::istreambuf_iterator<char>(maps)),
                           std::istreambuf_iterator<char>());
  EXPECT_EQ(mapped.find("librsvg"), std::string::npos);
}

}  // namespace
}  // namespace orlith
