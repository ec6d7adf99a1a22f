// The two-factor sheet's verify and cancel against the fake store: what is sent, when the sheet
// closes, and what the field and error line show afterwards.
#include "AuthViewFixture.h"
#include "signin/TwoFactorChallengeView.h"

namespace orlith::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kWrongCode = "That code didn't work. Please try again.";

struct VerifyCase {
  friend void PrintTo(const VerifyCase& c, std::ostream* os) { *os << c.name; }
  const char* name;
  const char* typed;
  bool busy;
  std::optional<std::string> pending;
  // What the reply does to the store.
  std::function<void(FakeAuthStore&)> reply;
  std::vector<std::string> calls;
  bool dismissed;
  const char* fieldAfter;
  std::vector<std::string> spoken;
};

class Verify : public AuthViewFixture, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(Verify, SendsTheTrimmedCodeAndDecidesByWhatIsPendingAfterwards) {
  const VerifyCase& c = GetParam();
  store_->pending = c.pending;
  store_->busy = c.busy;
  if (c.reply)
    store_->effects["submitTwoFactorCode"] = [this, reply = c.reply] { reply(*store_); };
  auto sheet = TwoFactorChallengeView::create(store_, announcer_);
  bool dismissed = false;
  sheet->dismissRequested().connect([&] { dismissed = true; });
  sheet->setCode(c.typed);
  store_->takeCalls();

  sheet->verify();
  settle();
  EXPECT_EQ(store_->takeCalls(), c.calls);
  EXPECT_EQ(dismissed, c.dismissed);
  EXPECT_EQ(sheet->code(), c.fieldAfter);
  EXPECT_EQ(announcer_.spoken, c.spoken);
  EXPECT_FALSE(store_->isBusy() && !c.busy);
}

INSTANTIATE_TEST_SUITE_P(
    TwoFactorChallengeView, Verify,
    ::testing::Values(
        VerifyCase{"OnlySpaces", "   ", false, "p", nullptr, {}, false, "   ", {}},
        VerifyCase{"PaddedCode",
                   " 123456\n",
                   false,
                   "p",
                   [](FakeAuthStore& s) { s.setPending(std::nullopt); },
                   {"clearTwoFactorError", "submitTwoFactorCode(p,123456)"},
                   true,
                   " 123456\n",
                   {}},
        VerifyCase{"RecoveryCodeUnfiltered",
                   "ab12-CD34-ef56",
                   false,
                   "p",
                   [](FakeAuthStore& s) { s.setPending(std::nullopt); },
                   {"clearTwoFactorError", "submitTwoFactorCode(p,ab12-CD34-ef56)"},
                   true,
                   "ab12-CD34-ef56",
                   {}},
        VerifyCase{"WhileBusy", "123456", true, "p", nullptr, {}, false, "123456", {}},
        VerifyCase{
            "NoTokenPending", "123456", false, std::nullopt, nullptr, {}, true, "123456", {}},
        VerifyCase{"WrongCode",
                   "111111",
                   false,
                   "p",
                   [](FakeAuthStore& s) {
                     s.setPending("p2");
                     s.presentError(kWrongCode);
                   },
                   {"clearTwoFactorError", "submitTwoFactorCode(p,111111)",
                    std::string("presentError(") + kWrongCode + ")"},
                   false,
                   "",
                   {kWrongCode}},
        VerifyCase{"Expired",
                   "123456",
                   false,
                   "p",
                   [](FakeAuthStore& s) {
                     s.setPending(std::nullopt);
                     s.presentError("That sign-in attempt expired. Please start again.");
                   },
                   {"clearTwoFactorError", "submitTwoFactorCode(p,123456)",
                    "presentError(That sign-in attempt expired. Please start again.)"},
                   true,
                   "123456",
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuthViewFixture, TwoFactorExpiryShowsTheAlertInTheSignInView) {
  store_->pending = "p";
  store_->effects["submitTwoFactorCode"] = [this] {
    store_->setPending(std::nullopt);
    store_->presentError("That sign-in attempt expired. Please start again.");
  };
  auto sheet = TwoFactorChallengeView::create(store_, announcer_);
  sheet->setCode("123456");
  sheet->verify();
  settle();
  EXPECT_FALSE(view_->isTwoFactorSheetPresented());
  EXPECT_TRUE(view_->isAlertPresented());
  EXPECT_EQ(view_->alertMessage(), "That sign-in attempt expired. Please start again.");
}

TEST_F(AuthViewFixture, TheFirstKeystrokeClearsTheErrorLine) {
  store_->pending = "p";
  store_->twoFactorErrorText = kWrongCode;
  auto sheet = TwoFactorChallengeView::create(store_, announcer_);
  EXPECT_EQ(sheet->errorLine(), kWrongCode);
  sheet->setCode("1");
  EXPECT_EQ(sheet->errorLine(), std::nullopt);
  sheet->setCode("12");
  EXPECT_THAT(store_->takeCalls(), ElementsAre("clearTwoFactorError"));
}

TEST_F(AuthViewFixture, VerifyIsDisabledForBlankCodesAndWhileBusy) {
  store_->pending = "p";
  auto sheet = TwoFactorChallengeView::create(store_, announcer_);
  EXPECT_TRUE(sheet->isVerifyDisabled());
  sheet->setCode(" \t");
  EXPECT_TRUE(sheet->isVerifyDisabled());
  sheet->setCode("1234567");
  EXPECT_FALSE(sheet->isVerifyDisabled());
  store_->setBusy(true);
  EXPECT_TRUE(sheet->isVerifyDisabled());
}

TEST_F(AuthViewFixture, CancelEndsTheChallengeAndALateReplyChangesNothing) {
  store_->pending = "p";
  store_->hold("submitTwoFactorCode");
  auto sheet = TwoFactorChallengeView::create(store_, announcer_);
  int dismissals = 0;
  sheet->dismissRequested().connect([&] { ++dismissals; });
  sheet->setCode("123456");
  sheet->verify();
  settle();
  EXPECT_TRUE(store_->isBusy());

  sheet->cancel();
  EXPECT_EQ(dismissals, 1);
  EXPECT_FALSE(store_->isBusy());
  EXPECT_FALSE(store_->pending);
  // The presenter's own dismissal handler runs too; with nothing pending it does nothing.
  view_->twoFactorSheetDismissed();
  EXPECT_FALSE(store_->pending);

  store_->release("submitTwoFactorCode");
  settle();
  // The late reply finds no challenge: the sheet asks to close again, which is harmless.
  EXPECT_EQ(dismissals, 2);
  EXPECT_FALSE(store_->pending);
}

}  // namespace
}  // namespace orlith::testing
