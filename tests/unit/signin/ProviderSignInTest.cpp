// Provider sign-in from the welcome scene: the start, the session's outcomes one row each, a
// stale attempt, a second press, and the anchor of the waiting sheet.
#include "AuthViewFixture.h"

namespace orlith::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kCouldNotOpen = "Could not open sign-in. Please try again.";

class ProviderSignIn : public AuthViewFixture {
 protected:
  void startGoogle() {
    view_->runStartProviderSignIn("google");
    settle();
  }
  bool idle() const { return !view_->providerSignInInProgress(); }
};

TEST_F(ProviderSignIn, ShowsOpeningOnThePressedButtonOnlyWhileStarting) {
  store_->hold("startProviderSignIn");
  view_->runStartProviderSignIn("google");
  settle();
  EXPECT_EQ(view_->providerButtonLabel("google", "Continue with Google"),
            (AuthView::ProviderButtonLabel{"Opening…", true}));
  EXPECT_EQ(view_->providerButtonLabel("github", "Continue with GitHub"),
            (AuthView::ProviderButtonLabel{"Continue with GitHub", false}));
  EXPECT_TRUE(view_->providerSignInInProgress());

  // A second press, of either button, does nothing.
  view_->runStartProviderSignIn("github");
  settle();
  store_->release("startProviderSignIn");
  settle();
  EXPECT_THAT(store_->takeCalls(), ElementsAre("startProviderSignIn(hidden,google)"));
  ASSERT_EQ(webAuth_.records.size(), 1u);
  EXPECT_EQ(webAuth_.records[0]->url, "https://accounts.provider.example/start");
  EXPECT_EQ(webAuth_.records[0]->scheme, "orlith");
  EXPECT_TRUE(webAuth_.records[0]->started);
  EXPECT_TRUE(view_->providerSignInInProgress());

  view_->runStartProviderSignIn("github");
  settle();
  EXPECT_EQ(webAuth_.records.size(), 1u);
}

struct StartCase {
  friend void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }
  const char* name;
  std::optional<std::string> url;
  bool sessionStarts;
  std::vector<std::string> storeCalls;
  bool sessionOpen;
};

class ProviderStart : public ProviderSignIn, public ::testing::WithParamInterface<StartCase> {};

TEST_P(ProviderStart, EndsIdleOrWaitingAsTheStartGoes) {
  const StartCase& c = GetParam();
  store_->providerUrl = c.url;
  webAuth_.startResult = c.sessionStarts;
  startGoogle();
  EXPECT_EQ(store_->takeCalls(), c.storeCalls);
  EXPECT_EQ(view_->hasWebAuthSession(), c.sessionOpen);
  EXPECT_EQ(view_->isStartingProvider().has_value(), c.sessionOpen);
}

INSTANTIATE_TEST_SUITE_P(
    AuthView, ProviderStart,
    ::testing::Values(
        StartCase{
            "NoStartAddress", std::nullopt, true, {"startProviderSignIn(hidden,google)"}, false},
        StartCase{"PlainHttpRefused",
                  "http://accounts.provider.example/start",
                  true,
                  {"startProviderSignIn(hidden,google)", "finishProviderAttempt(T1)",
                   std::string("presentError(") + kCouldNotOpen + ")"},
                  false},
        StartCase{"CapitalSchemeAccepted",
                  "HTTPS://accounts.provider.example/start",
                  true,
                  {"startProviderSignIn(hidden,google)"},
                  true},
        StartCase{"SessionFailsToStart",
                  "https://accounts.provider.example/start",
                  false,
                  {"startProviderSignIn(hidden,google)", "finishProviderAttempt(T1)",
                   std::string("presentError(") + kCouldNotOpen + ")"},
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

struct FinishCase {
  friend void PrintTo(const FinishCase& c, std::ostream* os) { *os << c.name; }
  const char* name;
  std::optional<std::string> callback;
  std::optional<WebAuthError> error;
  std::vector<std::string> storeCalls;
};

class ProviderFinish : public ProviderSignIn, public ::testing::WithParamInterface<FinishCase> {};

TEST_P(ProviderFinish, HandsTheOutcomeToTheStoreAndEndsTheAttempt) {
  const FinishCase& c = GetParam();
  startGoogle();
  store_->takeCalls();
  webAuth_.complete(c.callback, c.error);
  settle();
  EXPECT_EQ(store_->takeCalls(), c.storeCalls);
  EXPECT_TRUE(idle());
  EXPECT_FALSE(store_->currentTicket);
}

INSTANTIATE_TEST_SUITE_P(
    AuthView, ProviderFinish,
    ::testing::Values(
        FinishCase{
            "Cancelled", std::nullopt, WebAuthError::cancelled(), {"finishProviderAttempt(T1)"}},
        FinishCase{"Failed",
                   std::nullopt,
                   WebAuthError::failed("The browser could not start."),
                   {"presentError(The browser could not start.)", "finishProviderAttempt(T1)"}},
        FinishCase{"NoCallback",
                   std::nullopt,
                   std::nullopt,
                   {"presentError(Sign-in did not return a valid Orlith session.)",
                    "finishProviderAttempt(T1)"}},
        FinishCase{"CallbackWithoutToken",
                   "orlith://auth/callback?state=1",
                   std::nullopt,
                   {"presentError(Sign-in did not return a valid Orlith session.)",
                    "finishProviderAttempt(T1)"}},
        FinishCase{"PendingTwoFactor",
                   "orlith://auth/callback?pending=P9",
                   std::nullopt,
                   {"beginProviderTwoFactor(P9,T1)", "finishProviderAttempt(T1)",
                    "finishProviderAttempt(T1)"}},
        FinishCase{"HandOff",
                   "orlith://auth/callback?token=H1",
                   std::nullopt,
                   {"completeProviderSignIn(H1,T1)", "finishProviderAttempt(T1)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProviderSignIn, APendingTokenOpensTheTwoFactorSheetAndLeavesTheSceneAlone) {
  startGoogle();
  webAuth_.complete("orlith://auth/callback?pending=P9", std::nullopt);
  settle();
  EXPECT_TRUE(view_->isTwoFactorSheetPresented());
  EXPECT_EQ(view_->scene(), AuthScene::welcome);
}

TEST_F(ProviderSignIn, ACompletionForAnAttemptTheStoreDroppedOnlyClearsTheView) {
  startGoogle();
  // A password sign-in elsewhere replaced the attempt.
  store_->currentTicket = AuthStore::Ticket{"newer"};
  store_->takeCalls();
  webAuth_.complete("orlith://auth/callback?token=H1", std::nullopt);
  settle();
  EXPECT_TRUE(idle());
  EXPECT_THAT(store_->takeCalls(), IsEmpty());
  EXPECT_EQ(store_->currentTicket, AuthStore::Ticket{"newer"});
  EXPECT_FALSE(store_->showing);
}

TEST_F(ProviderSignIn, DestroyingTheViewCancelsItsSession) {
  startGoogle();
  auto record = webAuth_.records.back();
  view_.reset();
  EXPECT_TRUE(record->cancelled);
}

struct AnchorCase {
  friend void PrintTo(const AnchorCase& c, std::ostream* os) { *os << c.name; }
  const char* name;
  std::optional<int> active;
  std::vector<int> listed;
  std::optional<int> anchor;
};

class Anchor : public ProviderSignIn, public ::testing::WithParamInterface<AnchorCase> {};

TEST_P(Anchor, IsTheActiveWindowElseTheFirstElseNone) {
  static int windows[3];
  const AnchorCase& c = GetParam();
  if (c.active)
    windows_.active = PresentationAnchor{&windows[*c.active]};
  for (int index : c.listed)
    windows_.all.push_back(PresentationAnchor{&windows[index]});
  startGoogle();
  ASSERT_EQ(webAuth_.records.size(), 1u);
  std::optional<PresentationAnchor> expected;
  if (c.anchor)
    expected = PresentationAnchor{&windows[*c.anchor]};
  EXPECT_EQ(webAuth_.records[0]->anchor, expected);
}

INSTANTIATE_TEST_SUITE_P(AuthView, Anchor,
                         ::testing::Values(AnchorCase{"Active", 1, {0, 1, 2}, 1},
                                           AnchorCase{"FirstListed", std::nullopt, {2, 0}, 2},
                                           AnchorCase{"NoWindow", std::nullopt, {}, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orlith::testing
