// Scene moves of the sign-in view: where each control leads, the mode, the delayed or immediate
// focus, the confirmations cleared, the announcement, and the arrival of a sign-up challenge.
#include "AuthViewFixture.h"

namespace orlith::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct MoveCase {
  friend void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.name; }
  const char* name;
  AuthScene fromScene;
  EmailAuthMode fromMode;
  std::function<void(AuthView&)> act;
  AuthScene scene;
  EmailAuthMode mode;
  std::optional<AuthField> focusAfterDelay;
  const char* announced;
};

class SceneMoves : public AuthViewFixture, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(SceneMoves, LeadWhereTheyShould) {
  const MoveCase& move = GetParam();
  view_->transition(move.fromScene, move.fromMode, std::nullopt);
  settle();
  announcer_.spoken.clear();
  std::vector<AuthField> focused;
  view_->focusRequested().connect([&](AuthField field) { focused.push_back(field); });

  move.act(*view_);
  EXPECT_EQ(view_->scene(), move.scene);
  EXPECT_EQ(view_->emailMode(), move.mode);
  EXPECT_FALSE(view_->resetEmailSent());
  EXPECT_FALSE(view_->resendConfirmation());
  // Not before the delay.
  EXPECT_THAT(focused, IsEmpty());
  EXPECT_EQ(view_->focusedField(), std::nullopt);
  time_.advance(std::chrono::milliseconds(49));
  EXPECT_THAT(focused, IsEmpty());
  time_.advance(std::chrono::milliseconds(1));
  EXPECT_EQ(view_->focusedField(), move.focusAfterDelay);
  settle();
  EXPECT_THAT(announcer_.spoken, ElementsAre(move.announced));
}

INSTANTIATE_TEST_SUITE_P(
    AuthView, SceneMoves,
    ::testing::Values(
        MoveCase{"ContinueWithEmail", AuthScene::welcome, EmailAuthMode::signUp,
                 [](AuthView& v) {
                   v.transition(AuthScene::email, EmailAuthMode::signIn, AuthField::email);
                 },
                 AuthScene::email, EmailAuthMode::signIn, AuthField::email, "Sign in"},
        MoveCase{"CreateAccount", AuthScene::welcome, EmailAuthMode::signIn,
                 [](AuthView& v) {
                   v.transition(AuthScene::email, EmailAuthMode::signUp, AuthField::name);
                 },
                 AuthScene::email, EmailAuthMode::signUp, AuthField::name, "Create account"},
        MoveCase{"ForgotPassword", AuthScene::email, EmailAuthMode::signIn,
                 [](AuthView& v) {
                   v.transition(AuthScene::forgotPassword, std::nullopt, AuthField::email);
                 },
                 AuthScene::forgotPassword, EmailAuthMode::signIn, AuthField::email,
                 "Reset password"},
        MoveCase{"OtherOptions", AuthScene::email, EmailAuthMode::signUp,
                 [](AuthView& v) { v.transition(AuthScene::welcome, std::nullopt, std::nullopt); },
                 AuthScene::welcome, EmailAuthMode::signUp, std::nullopt, "Sign in to Orlith"},
        MoveCase{"BackFromEmail", AuthScene::email, EmailAuthMode::signUp,
                 [](AuthView& v) { v.navigateBack(); }, AuthScene::welcome, EmailAuthMode::signUp,
                 std::nullopt, "Sign in to Orlith"},
        MoveCase{"BackFromVerify", AuthScene::verifyEmail, EmailAuthMode::signUp,
                 [](AuthView& v) { v.navigateBack(); }, AuthScene::email, EmailAuthMode::signUp,
                 std::nullopt, "Create account"},
        MoveCase{"BackFromReset", AuthScene::forgotPassword, EmailAuthMode::signIn,
                 [](AuthView& v) { v.navigateBack(); }, AuthScene::email, EmailAuthMode::signIn,
                 std::nullopt, "Sign in"},
        MoveCase{"BackToSignInFromReset", AuthScene::forgotPassword, EmailAuthMode::signUp,
                 [](AuthView& v) {
                   v.transition(AuthScene::email, EmailAuthMode::signIn, AuthField::email);
                 },
                 AuthScene::email, EmailAuthMode::signIn, AuthField::email, "Sign in"},
        MoveCase{"ChangeEmail", AuthScene::verifyEmail, EmailAuthMode::signIn,
                 [](AuthView& v) { v.changeSignupEmail(); }, AuthScene::email,
                 EmailAuthMode::signUp, AuthField::email, "Create account"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuthViewFixture, BackButtonNamesWhereItLeads) {
  const std::pair<AuthScene, const char*> cases[] = {
      {AuthScene::email, "Back to sign-in options"},
      {AuthScene::verifyEmail, "Back to sign in"},
      {AuthScene::forgotPassword, "Back to sign in"},
  };
  for (const auto& [scene, label] : cases) {
    view_->transition(scene, std::nullopt, std::nullopt);
    EXPECT_EQ(view_->backButtonLabel(), label);
  }
}

TEST_F(AuthViewFixture, ModeSwitchFocusesAtOnceAndKeepsTheTypedText) {
  view_->transition(AuthScene::email, EmailAuthMode::signIn, AuthField::email);
  view_->setEmail("a@b.example");
  view_->setPassword("secret");
  std::vector<AuthField> focused;
  view_->focusRequested().connect([&](AuthField field) { focused.push_back(field); });

  view_->selectEmailMode(EmailAuthMode::signUp);
  EXPECT_THAT(focused, ElementsAre(AuthField::name));
  EXPECT_EQ(view_->emailSubmitTitle(), "Send verification code");
  EXPECT_EQ(view_->passwordPlaceholder(), "At least 8 characters");
  EXPECT_EQ(view_->sceneTitle(AuthScene::email), "Create account");
  EXPECT_EQ(view_->emailSceneSubtitle(), "Use a verified email.");
  EXPECT_EQ(view_->email(), "a@b.example");
  EXPECT_EQ(view_->password(), "secret");

  view_->switchToSignIn();
  EXPECT_THAT(focused, ElementsAre(AuthField::name, AuthField::email));
  EXPECT_EQ(view_->emailSubmitTitle(), "Sign in");
  EXPECT_EQ(view_->passwordPlaceholder(), "Password");
  // The delayed focus of the earlier transition does not come after the immediate one.
  time_.advance(std::chrono::milliseconds(100));
  EXPECT_THAT(focused, ElementsAre(AuthField::name, AuthField::email));
}

TEST_F(AuthViewFixture, AChallengeMovesToVerifyAndAnnouncesOnlyFromAnotherScene) {
  view_->transition(AuthScene::email, EmailAuthMode::signUp, std::nullopt);
  settle();
  announcer_.spoken.clear();
  std::vector<AuthField> focused;
  view_->focusRequested().connect([&](AuthField field) { focused.push_back(field); });

  store_->setChallenge("c1");
  settle();
  EXPECT_EQ(view_->scene(), AuthScene::verifyEmail);
  EXPECT_EQ(view_->emailMode(), EmailAuthMode::signUp);
  EXPECT_THAT(focused, ElementsAre(AuthField::code));
  EXPECT_THAT(announcer_.spoken, ElementsAre("Check your email"));

  // A resend brings a new challenge while already there: no second announcement.
  store_->setChallenge("c2");
  settle();
  EXPECT_EQ(view_->scene(), AuthScene::verifyEmail);
  EXPECT_THAT(announcer_.spoken, ElementsAre("Check your email"));

  // Clearing it moves nothing.
  view_->transition(AuthScene::email, std::nullopt, std::nullopt);
  store_->setChallenge(std::nullopt);
  settle();
  EXPECT_EQ(view_->scene(), AuthScene::email);
}

TEST_F(AuthViewFixture, AChallengeAlreadyThereWhenTheViewIsMadeIsNotAnArrival) {
  store_->challenge = "old";
  auto view = makeView();
  store_->setBusy(true);
  settle();
  EXPECT_EQ(view->scene(), AuthScene::welcome);
}

TEST_F(AuthViewFixture, ManyStoreChangesInOneTurnDrawOnce) {
  int draws = 0;
  view_->changed().connect([&] { ++draws; });
  store_->setBusy(true);
  store_->setChallenge("c");
  store_->setBusy(false);
  EXPECT_EQ(draws, 0);
  settle();
  EXPECT_EQ(draws, 1);
}

TEST_F(AuthViewFixture, TheVerifySubtitleCarriesTheTypedAddress) {
  translations_["Enter the 6-digit code sent to %@."] = "Code an %@ gesendet.";
  view_->setEmail("  Ann@Example.test ");
  EXPECT_EQ(view_->verifySubtitle(), "Code an   Ann@Example.test  gesendet.");
}

TEST_F(AuthViewFixture, TheAlertShowsTheMessageVerbatimOrAskToTryAgain) {
  translations_["Please try again."] = "Bitte erneut versuchen.";
  translations_["Wrong"] = "looked up";
  store_->presentError("Wrong");
  EXPECT_TRUE(view_->isAlertPresented());
  EXPECT_EQ(view_->alertMessage(), "Wrong");
  store_->error.reset();
  EXPECT_EQ(view_->alertMessage(), "Bitte erneut versuchen.");
  view_->alertDismissed();
  EXPECT_FALSE(store_->showingError());
  EXPECT_FALSE(view_->isAlertPresented());
}

TEST_F(AuthViewFixture, DismissingTheTwoFactorSheetCancelsTheChallenge) {
  store_->setPending("p");
  EXPECT_TRUE(view_->isTwoFactorSheetPresented());
  view_->twoFactorSheetDismissed();
  EXPECT_FALSE(view_->isTwoFactorSheetPresented());
  // A second close after the challenge is gone changes nothing.
  view_->twoFactorSheetDismissed();
  EXPECT_THAT(store_->takeCalls(), ElementsAre("cancelTwoFactor", "cancelTwoFactor"));
  EXPECT_FALSE(store_->pending);
}

TEST_F(AuthViewFixture, TermsNoticeLinksOnlyTheServiceHost) {
  EXPECT_EQ(view_->termsNoticeMarkup(),
            "By continuing, you agree to the <a href=\"https://orlith.example/terms\">Orlith "
            "Terms</a> and <a href=\"https://orlith.example/privacy\">Privacy Policy</a>.");
}

}  // namespace
}  // namespace orlith::testing
