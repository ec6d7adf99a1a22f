// The window's session port over the real SessionStore, and the fake that window tests use.
#include "workspace/window/WorkspaceSession.h"

#include <gtest/gtest.h>

#include "support/FakeWorkspaceSession.h"
#include "unit/session/SessionStoreFixture.h"

namespace orlith {
namespace {

class SessionStoreWorkspaceSessionTest : public testing::SessionStoreFixture {
 protected:
  SessionStoreWorkspaceSession session_{store_};
  int changes_ = 0;
  ScopedConnection counting_ = session_.changed().connect([this] { ++changes_; });
};

TEST_F(SessionStoreWorkspaceSessionTest, FollowsTheStoreAndSignalsOnlyTheWindowsFields) {
  EXPECT_EQ(session_.state().kind, SessionState::Kind::loading);
  signInWith("cookie-1", "ada@orlith.example");
  EXPECT_TRUE(session_.state().isAuthenticated());
  EXPECT_EQ(session_.state().email, "ada@orlith.example");
  ASSERT_TRUE(session_.currentSession());
  EXPECT_EQ(session_.currentSession()->cookie.value, "cookie-1");
  EXPECT_EQ(session_.sessionRevision(), store_->sessionRevision());
  // Sign-in also publishes busy and error fields, which the window does not follow.
  int windowFields = 0;
  for (const std::string& entry : takeTrail()) {
    if (entry.starts_with("state=") || entry.starts_with("session=") ||
        entry.starts_with("revision="))
      ++windowFields;
  }
  EXPECT_EQ(changes_, windowFields);

  changes_ = 0;
  store_->setShowingError(true);
  EXPECT_EQ(changes_, 0);

  const auto revision = session_.sessionRevision();
  session_.signOut();
  settle();
  EXPECT_EQ(session_.state().kind, SessionState::Kind::unauthenticated);
  EXPECT_FALSE(session_.currentSession());
  EXPECT_GT(session_.sessionRevision(), revision);
  EXPECT_GT(changes_, 0);
}

TEST_F(SessionStoreWorkspaceSessionTest, RecoveryReachesTheStore) {
  signInWith("cookie-1");
  const std::size_t requests = transport_->sent.size();
  transport_->reply(200);
  session_.recoverSession(session_.sessionRevision(), true);
  settle();
  EXPECT_EQ(transport_->sent.size(), requests + 1) << "a forced recovery asks the service";
}

TEST(FakeWorkspaceSessionTest, SignInRaisesTheRevisionAndSignals) {
  testing::FakeWorkspaceSession session;
  int changes = 0;
  ScopedConnection counting = session.changed().connect([&] { ++changes; });
  session.signIn("ada@orlith.example");
  EXPECT_TRUE(session.state().isAuthenticated());
  ASSERT_TRUE(session.currentSession());
  EXPECT_TRUE(session.currentSession()->cookie.httpCookie());
  EXPECT_EQ(session.sessionRevision(), 1);
  session.recoverSession(1, false);
  session.signOut();
  EXPECT_EQ(session.recoveries, (std::vector<testing::FakeWorkspaceSession::Recovery>{{1, false}}));
  EXPECT_EQ(session.signOuts, 1);
  EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace orlith
