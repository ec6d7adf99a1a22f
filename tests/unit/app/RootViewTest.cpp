// The root view's rules over a fake session and tabs: the screen per state, coalescing, the
// first appearance, and the billing-return link across sign-in and sign-out.
#include <gmock/gmock.h>

#include "app/RootView.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"

namespace orlith {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FakeSession final : public RootView::Session {
 public:
  const SessionState& state() const override { return state_; }
  const std::optional<StoredSession>& currentSession() const override { return session_; }
  std::int64_t sessionRevision() const override { return revision_; }
  ChangeSignal& changed() override { return changed_; }
  void retryRecovery() override { calls.push_back("retryRecovery"); }
  void signOut() override { calls.push_back("signOut"); }

  void set(SessionState state) {
    if (state.isAuthenticated()) {
      session_ = StoredSession{state.email, StoredCookie{}};
      ++revision_;
    } else if (state.kind == SessionState::Kind::unauthenticated) {
      session_.reset();
      ++revision_;
    }
    state_ = std::move(state);
    changed_.emit();
  }

  SessionState state_ = SessionState::loading();
  std::optional<StoredSession> session_;
  std::int64_t revision_ = 0;
  ChangeSignal changed_;
  std::vector<std::string> calls;
};

class FakeTabs final : public RootView::Tabs {
 public:
  void prepareSession(const std::optional<StoredSession>& session) override {
    calls.push_back("prepare(" + (session ? session->email.value_or("?") : "none") + ")");
  }
  void deliverPendingWindowCommands(std::int64_t revision) override {
    calls.push_back("deliver(" + std::to_string(revision) + ")");
  }
  void resetSession() override { calls.push_back("reset"); }
  void routeDesktopCommand(std::string_view type, std::int64_t revision) override {
    calls.push_back("route(" + std::string(type) + "," + std::to_string(revision) + ")");
  }
  std::vector<std::string> take() { return std::exchange(calls, {}); }
  std::vector<std::string> calls;
};

class RootViewTest : public ::testing::Test {
 protected:
  void settle() { queue_.runUntilIdle(); }
  Url link(const char* text) { return *Url::parse(text); }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  testing::ManualTime time_;
  FakeSession session_;
  FakeTabs tabs_;
  PendingWorkspaceWindowCommands parked_;
  int activations_ = 0;
  RootView view_{
      RootView::Dependencies{session_, tabs_, parked_, time_, [this] { ++activations_; }}};
};

TEST_F(RootViewTest, ShowsAScreenPerStateAndTheIndicatorOffTheWorkspace) {
  const std::pair<SessionState, RootScreen> cases[] = {
      {SessionState::unauthenticated(), RootScreen::signIn},
      {SessionState::recoveryUnavailable(), RootScreen::recovery},
      {SessionState::authenticated("a@b"), RootScreen::workspace},
      {SessionState::loading(), RootScreen::launch},
  };
  EXPECT_EQ(view_.screen(), RootScreen::launch);
  std::vector<RootScreen> shown;
  view_.screenChanged().connect([&](RootScreen screen) { shown.push_back(screen); });
  for (const auto& [state, screen] : cases) {
    session_.set(state);
    settle();
    EXPECT_EQ(view_.screen(), screen);
    EXPECT_EQ(view_.showsUpdateIndicator(), screen != RootScreen::workspace);
  }
  EXPECT_THAT(shown, ElementsAre(RootScreen::signIn, RootScreen::recovery, RootScreen::workspace,
                                 RootScreen::launch));
}

TEST_F(RootViewTest, AStateThatPassesWithinOneTurnBuildsNothing) {
  session_.set(SessionState::recoveryUnavailable());
  settle();
  tabs_.take();
  std::vector<RootScreen> shown;
  view_.screenChanged().connect([&](RootScreen screen) { shown.push_back(screen); });
  // A retry with a stored session: authenticated, then loading at once.
  session_.set(SessionState::authenticated("a@b"));
  session_.set(SessionState::loading());
  settle();
  EXPECT_THAT(shown, ElementsAre(RootScreen::launch));
  EXPECT_THAT(tabs_.take(), IsEmpty());
  // A change of the e-mail alone is no change of screen.
  session_.set(SessionState::authenticated("a@b"));
  settle();
  session_.set(SessionState::authenticated("c@d"));
  settle();
  EXPECT_THAT(shown, ElementsAre(RootScreen::launch, RootScreen::workspace));
}

TEST_F(RootViewTest, TheFirstAppearancePreparesASignedInWindowOnce) {
  session_.set(SessionState::authenticated("a@b"));
  settle();
  tabs_.take();
  view_.handleAppear();
  view_.handleAppear();
  EXPECT_THAT(tabs_.take(), ElementsAre("prepare(a@b)", "deliver(1)"));
}

TEST_F(RootViewTest, ABillingReturnSignedOutIsDeliveredOnceAfterSignIn) {
  session_.set(SessionState::unauthenticated());
  settle();
  tabs_.take();
  view_.handleOpenURL(link("orlith://billing/return"));
  EXPECT_EQ(activations_, 1);
  EXPECT_TRUE(view_.pendingBillingReturn());
  EXPECT_THAT(tabs_.take(), IsEmpty());

  session_.set(SessionState::authenticated("a@b"));
  settle();
  EXPECT_THAT(tabs_.take(), ElementsAre("prepare(a@b)", "route(billing-return,2)"));
  session_.set(SessionState::loading());
  settle();
  session_.set(SessionState::authenticated("a@b"));
  settle();
  EXPECT_THAT(tabs_.take(), ElementsAre("prepare(a@b)"));
}

TEST_F(RootViewTest, ALaunchTimeLinkSurvivesTheMoveToSignedOut) {
  view_.handleOpenURL(link("orlith://billing/return"));
  session_.set(SessionState::unauthenticated());
  settle();
  EXPECT_TRUE(view_.pendingBillingReturn());
}

TEST_F(RootViewTest, SignOutDropsThePendingLinkAndTheParkedCommands) {
  session_.set(SessionState::authenticated("a@b"));
  settle();
  session_.set(SessionState::recoveryUnavailable());
  settle();
  view_.handleOpenURL(link("orlith://billing/return"));
  ASSERT_TRUE(view_.pendingBillingReturn());
  parked_.enqueue("search", session_.revision_, time_.monotonicNow());
  tabs_.take();

  session_.set(SessionState::unauthenticated());
  settle();
  EXPECT_FALSE(view_.pendingBillingReturn());
  EXPECT_THAT(parked_.commands(), IsEmpty());
  EXPECT_FALSE(parked_.sessionRevision());
  EXPECT_THAT(tabs_.take(), ElementsAre("reset"));
}

TEST_F(RootViewTest, OtherLinksDoNothing) {
  session_.set(SessionState::authenticated("a@b"));
  settle();
  tabs_.take();
  for (const char* text : {"orlith://billing/return?x=1", "orlith://auth/callback?token=t",
                           "https://orlith.example/billing/return"}) {
    view_.handleOpenURL(link(text));
  }
  EXPECT_EQ(activations_, 0);
  EXPECT_THAT(tabs_.take(), IsEmpty());
}

TEST_F(RootViewTest, TheRecoveryScreenSaysWhichCaseItIs) {
  session_.set(SessionState::recoveryUnavailable());
  EXPECT_EQ(view_.recoveryTitle(), "Couldn’t read your saved sign-in");
  EXPECT_EQ(view_.recoveryMessage(),
            "Your saved credential has been kept. Unlock your keyring and try again, or sign out "
            "to start again.");
  session_.session_ = StoredSession{"a@b", StoredCookie{}};
  EXPECT_EQ(view_.recoveryTitle(), "Couldn’t verify your connection");
  EXPECT_EQ(view_.recoveryMessage(),
            "Your saved sign-in is still on this computer. Reconnect and try again.");
  view_.retryRecovery();
  view_.signOut();
  EXPECT_THAT(session_.calls, ElementsAre("retryRecovery", "signOut"));
}

}  // namespace
}  // namespace orlith
