// The app's first window on the real stack: signed out it shows the sign-in view; with a
// session stored in the keyring it becomes the workspace of the account, whose first tab loads
// the stand-in's workspace page over HTTPS and reports ready to the native side.
#include <gmock/gmock.h>

#include "WorkspaceWindowFixture.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

class FirstWindow : public testing::WorkspaceWindowFixture {};

TEST_F(FirstWindow, SignedOutShowsTheSignInViewAndAStoredSessionTheWorkspace) {
  launch();
  ASSERT_EQ(context_->sessionStore().state().kind, SessionState::Kind::unauthenticated);
  {
    MainWindow& window = openWindow();
    int width = 0, height = 0;
    window.get_default_size(width, height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(1180, 780));
    EXPECT_EQ(window.workspace(), nullptr);
    ASSERT_TRUE(testing::spinUntil([&] { return window.signInView() != nullptr; }, 5s));
    EXPECT_TRUE(testing::spinUntil([&] { return window.signInView()->get_mapped(); }, 5s));
    EXPECT_GE(window.content().get_height(), MainWindow::kMinimumHeight);
  }

  signIn(testing::kDemoAccount);
  // A new launch finds the session in the keyring.
  launch();
  ASSERT_TRUE(context_->sessionStore().state().isAuthenticated());
  MainWindow& window = openWindow();
  ASSERT_NE(window.workspace(), nullptr);
  auto tab = window.tabs()->selectedTab();
  ASSERT_TRUE(waitReady(window, tab, 60s));
  EXPECT_TRUE(window.tabs()->isSessionPrepared());
  EXPECT_EQ(tab->pageTitle(), "Orlith Workspace");
  WebKitWebView* view = webViewOf(window, tab);
  EXPECT_EQ(testing::evaluate(view, "location.href"), standin_.origin() + "/app");
  EXPECT_EQ(testing::evaluate(view, "document.hidden"), false);

  auto snapshot = testing::saveSnapshot(view, "first-window");
  EXPECT_GT(std::filesystem::file_size(snapshot), 1000u);
}

}  // namespace
}  // namespace orlith
