// The sign-in view's actions: the submit guard, e-mail submit, the code filter, verify, resend
// and reset, with the view's busy flags and what reaches the store.
#include "AuthViewFixture.h"

namespace orlith::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct GuardCase {
  friend void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }
  const char* name;
  EmailAuthMode mode;
  const char* signupName;
  const char* email;
  const char* password;
  bool disabled;
};

class SubmitGuard : public AuthViewFixture, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(SubmitGuard, EnablesTheSubmitOnlyForUsableInput) {
  const GuardCase& c = GetParam();
  view_->transition(AuthScene::email, c.mode, std::nullopt);
  view_->setSignupName(c.signupName);
  view_->setEmail(c.email);
  view_->setPassword(c.password);
  EXPECT_EQ(view_->isEmailSubmitDisabled(), c.disabled);
}

INSTANTIATE_TEST_SUITE_P(
    AuthView, SubmitGuard,
    ::testing::Values(
        GuardCase{"SignUpOneLetterNameBetweenSpaces", EmailAuthMode::signUp, "  A  ", "a@b",
                  "12345678", true},
        GuardCase{"SignUpTwoLetterName", EmailAuthMode::signUp, "Al", "a@b", "12345678", false},
        GuardCase{"SignUpLetterWithCombiningAccentIsOne", EmailAuthMode::signUp, "e\xCC\x81", "a@b",
                  "12345678", true},
        GuardCase{"SignUpNoAt", EmailAuthMode::signUp, "Al", "ab", "12345678", true},
        GuardCase{"SignUpSevenCharacterPassword", EmailAuthMode::signUp, "Al", "a@b", "1234567",
                  true},
        GuardCase{"SignUpEightCharactersCountedAsCharacters", EmailAuthMode::signUp, "Al", "a@b",
                  "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", false},
        GuardCase{"SignUpSevenAccentedCharactersAreSeven", EmailAuthMode::signUp, "Al", "a@b",
                  "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", true},
        GuardCase{"SignInOnlySpaces", EmailAuthMode::signIn, "", "   ", "pw", true},
        GuardCase{"SignInNoBreakSpaceOnly", EmailAuthMode::signIn, "", "\xC2\xA0", "pw", true},
        GuardCase{"SignInOneLetterAndSpacePassword", EmailAuthMode::signIn, "", "a", " ", false},
        GuardCase{"SignInEmptyPassword", EmailAuthMode::signIn, "", "a@b", "", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuthViewFixture, SubmitIsRefusedWhileBusyOrSubmitting) {
  view_->transition(AuthScene::email, EmailAuthMode::signIn, std::nullopt);
  view_->setEmail("a@b");
  view_->setPassword("pw");
  store_->setBusy(true);
  EXPECT_TRUE(view_->isEmailSubmitDisabled());
  runOperation(&AuthView::submitEmail);
  EXPECT_THAT(store_->takeCalls(), IsEmpty());

  store_->setBusy(false);
  store_->hold("submitEmailSignIn");
  view_->run(&AuthView::submitEmail);
  settle();
  EXPECT_TRUE(view_->isSubmittingEmail());
  EXPECT_TRUE(view_->isEmailSubmitDisabled());
  // Return in the password field while the first runs: the operation's guard refuses it.
  runOperation(&AuthView::submitEmail);
  store_->release("submitEmailSignIn");
  settle();
  EXPECT_FALSE(view_->isSubmittingEmail());
  EXPECT_THAT(store_->takeCalls(), ElementsAre("submitEmailSignIn(a@b,pw)"));
}

TEST_F(AuthViewFixture, SubmitSendsTheTextAsTypedForEachMode) {
  view_->transition(AuthScene::email, EmailAuthMode::signIn, std::nullopt);
  view_->setEmail(" a@b ");
  view_->setPassword(" pw ");
  runOperation(&AuthView::submitEmail);
  view_->selectEmailMode(EmailAuthMode::signUp);
  view_->setSignupName(" Ann ");
  view_->setPassword(" 12345678 ");
  runOperation(&AuthView::submitEmail);
  EXPECT_THAT(store_->takeCalls(), ElementsAre("submitEmailSignIn( a@b , pw )",
                                               "requestSignupCode( Ann , a@b , 12345678 )"));
}

TEST_F(AuthViewFixture, ASubmitThatOutlivesTheWidgetsStillClearsItsFlag) {
  view_->transition(AuthScene::email, EmailAuthMode::signIn, std::nullopt);
  view_->setEmail("a@b");
  view_->setPassword("pw");
  store_->hold("submitEmailSignIn");
  view_->run(&AuthView::submitEmail);
  settle();
  std::weak_ptr<AuthView> weak = view_;
  bool sawFlagCleared = false;
  view_->changed().connect([&] { sawFlagCleared = !weak.lock()->isSubmittingEmail(); });
  view_.reset();
  // The running task holds the view until its operation returns.
  ASSERT_FALSE(weak.expired());
  store_->release("submitEmailSignIn");
  settle();
  EXPECT_TRUE(sawFlagCleared);
  EXPECT_TRUE(weak.expired());
}

struct FilterCase {
  friend void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.name; }
  const char* name;
  const char* typed;
  const char* kept;
};

class CodeFilter : public AuthViewFixture, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(CodeFilter, KeepsDecimalDigitsAsAsciiUpToSix) {
  EXPECT_EQ(view_->filterVerificationCode(GetParam().typed), GetParam().kept);
  EXPECT_EQ(store_->signupCode(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    AuthView, CodeFilter,
    ::testing::Values(FilterCase{"Mixed", "1a2-3 4", "1234"},
                      FilterCase{"SevenDigits", "1234567", "123456"},
                      FilterCase{"ArabicIndicDigits",
                                 "\xD9\xA1\xD9\xA2\xD9\xA3\xD9\xA4\xD9\xA5\xD9\xA6", "123456"},
                      FilterCase{"FullWidthDigits", "\xEF\xBC\x97\xEF\xBC\x98", "78"},
                      FilterCase{"OtherNumeralsAreDropped",
                                 "\xC2\xBD\xC2\xB2\xE2\x85\xAB"
                                 "9",
                                 "9"},
                      FilterCase{"InvalidUtf8IsDropped",
                                 "1\xFF"
                                 "2",
                                 "12"},
                      FilterCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuthViewFixture, VerifyNeedsSixDigitsAndAnIdleStore) {
  view_->filterVerificationCode("12345");
  EXPECT_TRUE(view_->isVerifyDisabled());
  view_->filterVerificationCode("123456");
  EXPECT_FALSE(view_->isVerifyDisabled());
  store_->setBusy(true);
  EXPECT_TRUE(view_->isVerifyDisabled());
  store_->setBusy(false);
  runOperation(&AuthView::verifySignupCode);
  EXPECT_THAT(store_->takeCalls(),
              ElementsAre("setSignupCode(12345)", "setSignupCode(123456)", "submitSignupCode"));
}

TEST_F(AuthViewFixture, ResendShowsItsConfirmationOnlyOnSuccessAndEditingHidesIt) {
  view_->setSignupName("Ann");
  view_->setEmail("a@b");
  view_->setPassword("12345678");
  store_->signupResult = false;
  runOperation(&AuthView::resendSignupCode);
  EXPECT_FALSE(view_->resendConfirmation());
  EXPECT_THAT(announcer_.spoken, IsEmpty());

  store_->signupResult = true;
  runOperation(&AuthView::resendSignupCode);
  EXPECT_TRUE(view_->resendConfirmation());
  EXPECT_THAT(announcer_.spoken, ElementsAre("A new code is on its way."));

  view_->filterVerificationCode("1");
  EXPECT_FALSE(view_->resendConfirmation());
}

TEST_F(AuthViewFixture, ResetShowsItsConfirmationOnlyWhenTheServiceSaysSo) {
  view_->transition(AuthScene::forgotPassword, std::nullopt, std::nullopt);
  settle();
  announcer_.spoken.clear();
  view_->setEmail("nobody");
  EXPECT_TRUE(view_->isSendResetDisabled());
  runOperation(&AuthView::sendPasswordReset);
  EXPECT_THAT(store_->takeCalls(), IsEmpty());

  view_->setEmail(" a@b ");
  store_->resetResult = false;
  runOperation(&AuthView::sendPasswordReset);
  EXPECT_FALSE(view_->resetEmailSent());
  EXPECT_THAT(announcer_.spoken, IsEmpty());

  store_->resetResult = true;
  store_->hold("requestPasswordReset");
  view_->run(&AuthView::sendPasswordReset);
  settle();
  EXPECT_TRUE(view_->isSendingReset());
  EXPECT_TRUE(view_->isSendResetDisabled());
  runOperation(&AuthView::sendPasswordReset);
  store_->release("requestPasswordReset");
  settle();
  EXPECT_FALSE(view_->isSendingReset());
  EXPECT_TRUE(view_->resetEmailSent());
  EXPECT_THAT(announcer_.spoken, ElementsAre("If an account exists, we've emailed a reset link."));
  EXPECT_THAT(store_->takeCalls(), ElementsAre("requestPasswordReset(hidden, a@b )",
                                               "requestPasswordReset(hidden, a@b )"));

  // Leaving the scene clears the confirmation.
  view_->navigateBack();
  EXPECT_FALSE(view_->resetEmailSent());
}

TEST_F(AuthViewFixture, ChangeEmailLeavesThePendingSignUp) {
  store_->setChallenge("c");
  store_->code = "123";
  settle();
  view_->changeSignupEmail();
  settle();
  EXPECT_FALSE(store_->challenge);
  EXPECT_EQ(store_->code, "");
  EXPECT_EQ(view_->scene(), AuthScene::email);
}

}  // namespace
}  // namespace orlith::testing
