// Provider sign-in from the welcome scene: the start, the session's outcomes one row each, the
// question about a hand-off's account, the attempt's expiry and its end with the view, a stale
// attempt, a second press, and the anchor of the waiting sheet.
#include "AuthViewFixture.h"

namespace orlith::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kCouldNotOpen = "Could not open sign-in. Please try again.";
constexpr const char* kInvalid = "Sign-in did not return a valid Orlith session.";

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
  store_->issueHandoff("H2", std::nullopt, "s2");
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
        FinishCase{"HandOffTheStoreRefuses",
                   "orlith://auth/callback?token=H1",
                   std::nullopt,
                   {"consumeProviderHandoff(H1,T1)", "finishProviderAttempt(T1)"}},
        FinishCase{"HandOffWithoutAnAccount",
                   "orlith://auth/callback?token=H2",
                   std::nullopt,
                   {"consumeProviderHandoff(H2,T1)", "declineProviderHandoff(s2)",
                    std::string("presentError(") + kInvalid + ")", "finishProviderAttempt(T1)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProviderSignIn, AHandOffIsKeptOnlyForAnAccountThePersonAgreesTo) {
  store_->issueHandoff("S1", "stranger@orlith.example", "s1");
  store_->issueHandoff("S2", "other@orlith.example", "s2");
  store_->issueHandoff("OWN", "me@orlith.example", "own");
  translations_["Sign in as %@?"] = "Anmelden als %@?";
  startGoogle();
  store_->takeCalls();
  auto link = [&](const char* token) {
    webAuth_.complete(std::string("orlith://auth/callback?token=") + token, std::nullopt);
  };

  // Another program's link: its account is asked about, nothing else happens.
  link("S1");
  settle();
  EXPECT_EQ(view_->accountQuestion(), "stranger@orlith.example");
  EXPECT_EQ(view_->accountQuestionTitle(), "Anmelden als stranger@orlith.example?");
  EXPECT_THAT(store_->takeCalls(), ElementsAre("consumeProviderHandoff(S1,T1)"));
  EXPECT_TRUE(view_->providerSignInInProgress());

  // Links that come meanwhile wait for the answer, and Cancel turns to the next.
  link("S2");
  settle();
  EXPECT_THAT(store_->takeCalls(), IsEmpty());
  view_->declineAccount();
  settle();
  EXPECT_THAT(store_->takeCalls(),
              ElementsAre("declineProviderHandoff(s1)", "consumeProviderHandoff(S2,T1)"));
  EXPECT_EQ(view_->accountQuestion(), "other@orlith.example");

  // With none left, the attempt waits on for the person's own callback.
  view_->declineAccount();
  settle();
  EXPECT_THAT(store_->takeCalls(), ElementsAre("declineProviderHandoff(s2)"));
  EXPECT_FALSE(view_->accountQuestion());
  EXPECT_EQ(webAuth_.records.back()->resumed, 1);
  EXPECT_FALSE(webAuth_.records.back()->cancelled);
  EXPECT_EQ(view_->providerButtonLabel("google", "Continue with Google").title, "Opening…");
  EXPECT_EQ(store_->currentTicket, AuthStore::Ticket{"T1"});

  link("OWN");
  settle();
  EXPECT_EQ(view_->accountQuestion(), "me@orlith.example");
  runOperation(&AuthView::acceptAccount);
  EXPECT_THAT(store_->takeCalls(),
              ElementsAre("consumeProviderHandoff(OWN,T1)", "acceptProviderHandoff(own,T1)",
                          "finishProviderAttempt(T1)"));
  EXPECT_TRUE(idle());
  EXPECT_TRUE(webAuth_.records.back()->cancelled);
  EXPECT_FALSE(store_->showing);
}

TEST_F(ProviderSignIn, TheAttemptExpiresAfterItsLifetimeRefusingAnAccountStillAsked) {
  store_->issueHandoff("S1", "stranger@orlith.example", "s1");
  startGoogle();
  store_->takeCalls();
  time_.advance(AuthView::kProviderAttemptLifetime - std::chrono::seconds(1));
  settle();
  webAuth_.complete("orlith://auth/callback?token=S1", std::nullopt);
  settle();
  ASSERT_TRUE(view_->accountQuestion());
  store_->takeCalls();

  time_.advance(std::chrono::seconds(1));
  settle();
  EXPECT_THAT(store_->takeCalls(),
              ElementsAre("declineProviderHandoff(s1)",
                          "presentError(That sign-in attempt expired. Please start again.)",
                          "finishProviderAttempt(T1)"));
  EXPECT_FALSE(view_->accountQuestion());
  EXPECT_TRUE(idle());
  EXPECT_TRUE(webAuth_.records.back()->cancelled);
}

TEST_F(ProviderSignIn, AStartThatReturnsAfterTheViewClosedOpensNothing) {
  store_->hold("startProviderSignIn");
  view_->runStartProviderSignIn("google");
  settle();
  view_->close();
  store_->release("startProviderSignIn");
  settle();
  EXPECT_TRUE(webAuth_.records.empty());
  EXPECT_THAT(store_->takeCalls(),
              ElementsAre("startProviderSignIn(hidden,google)", "finishProviderAttempt(T1)"));
  EXPECT_FALSE(store_->currentTicket);
  EXPECT_TRUE(idle());
  EXPECT_FALSE(store_->showing);
  // A closed view starts nothing more.
  startGoogle();
  EXPECT_THAT(store_->takeCalls(), IsEmpty());
}

TEST_F(ProviderSignIn, ClosingTheViewEndsItsAttemptAndRefusesAnAccountStillAsked) {
  store_->issueHandoff("S1", "stranger@orlith.example", "s1");
  startGoogle();
  webAuth_.complete("orlith://auth/callback?token=S1", std::nullopt);
  settle();
  ASSERT_TRUE(view_->accountQuestion());
  store_->takeCalls();
  view_->close();
  settle();
  EXPECT_THAT(store_->takeCalls(),
              ElementsAre("declineProviderHandoff(s1)", "finishProviderAttempt(T1)"));
  EXPECT_TRUE(webAuth_.records.back()->cancelled);
  EXPECT_FALSE(store_->currentTicket);
}

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
