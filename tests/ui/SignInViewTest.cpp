// The sign-in view on real GTK over the fake store: its scenes as a person sees them (saved as
// pictures), the focus moves, Return in the form's fields, the alert, the two-factor sheet and a
// right-to-left layout.
#include <gmock/gmock.h>
#include <gtkmm.h>

#include "../unit/signin/FakeAuthStore.h"
#include "UiHarness.h"
#include "platform/glib/GlibScheduler.h"
#include "signin/gtk/GtkPresentationWindows.h"
#include "signin/gtk/SignInStyleSheet.h"
#include "signin/gtk/SignInView.h"
#include "support/RecordingOpener.h"

namespace orlith {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using testing::RecordingOpener;

class NoWebAuth final : public WebAuthSessionFactory {
 public:
  std::unique_ptr<WebAuthSession> makeSession(Url, std::string, std::optional<PresentationAnchor>,
                                              WebAuthSession::Completion) override {
    return nullptr;
  }
};

class SignInViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    styles_ = AppearanceStyleProvider::palette(Gdk::Display::get_default(), false);
    addSignInStyleSheets(*styles_);
  }
  void TearDown() override {
    if (window_) {
      window_->destroy();
      window_.reset();
    }
    signIn_.reset();
    gtk_widget_set_default_direction(GTK_TEXT_DIR_LTR);
    testing::spinUntil([] { return false; }, std::chrono::milliseconds(50));
  }

  void show(int width = 900, int height = 700) {
    auto view =
        AuthView::create(AuthView::Dependencies{store_, scheduler_, announcer_, webAuth_, windows_,
                                                [](const std::string& key) { return key; }});
    signIn_ = std::make_unique<SignInView>(view, opener_, announcer_);
    window_ = std::make_unique<Gtk::Window>();
    window_->set_default_size(width, height);
    window_->set_child(*signIn_);
    testing::presentAndWait(window_->gobj());
  }
  // Lets the view redraw after a change.
  void settle() {
    testing::spinUntil([] { return false; }, std::chrono::milliseconds(120));
  }
  void click(Gtk::Button& button) { g_signal_emit_by_name(button.gobj(), "clicked"); }
  bool focused(Gtk::Widget& widget) {
    Gtk::Widget* focus = window_->get_focus();
    return focus && (focus == &widget || focus->is_ancestor(widget));
  }
  // From the e-mail form: its sign-in mode, then "Forgot password?", until the field has focus.
  bool openPasswordResetFromSignIn() {
    click(signIn_->modeSwitch().tab(EmailAuthMode::signIn));
    settle();
    click(signIn_->forgotPasswordButton());
    return testing::spinUntil([&] { return focused(signIn_->resetEmailEntry()); },
                              std::chrono::seconds(5));
  }
  void picture(const std::string& name) {
    settle();
    testing::renderWidget(GTK_WIDGET(window_->gobj())).save(name);
  }

  std::unique_ptr<AppearanceStyleProvider> styles_;
  std::shared_ptr<testing::FakeAuthStore> store_ = std::make_shared<testing::FakeAuthStore>();
  GlibScheduler scheduler_;
  SilentAnnouncer announcer_;
  NoWebAuth webAuth_;
  GtkPresentationWindows windows_;
  RecordingOpener opener_;
  std::unique_ptr<SignInView> signIn_;
  std::unique_ptr<Gtk::Window> window_;
};

TEST_F(SignInViewTest, WalksThroughTheScenesWithTheFocusWhereItBelongs) {
  show();
  EXPECT_FALSE(signIn_->backButton().get_mapped());
  EXPECT_TRUE(signIn_->googleButton().get_mapped());
  picture("signin-welcome");

  click(signIn_->emailButton());
  ASSERT_TRUE(
      testing::spinUntil([&] { return focused(signIn_->emailEntry()); }, std::chrono::seconds(5)));
  EXPECT_TRUE(signIn_->backButton().get_mapped());
  EXPECT_FALSE(signIn_->nameEntry().get_mapped());
  EXPECT_FALSE(signIn_->submitButton().get_sensitive());
  signIn_->emailEntry().set_text("demo@orlith.test");
  signIn_->passwordEntry().set_text("pw");
  settle();
  EXPECT_TRUE(signIn_->submitButton().get_sensitive());
  picture("signin-email");

  click(signIn_->modeSwitch().tab(EmailAuthMode::signUp));
  ASSERT_TRUE(
      testing::spinUntil([&] { return focused(signIn_->nameEntry()); }, std::chrono::seconds(5)));
  EXPECT_EQ(std::string(signIn_->emailEntry().get_text()), "demo@orlith.test");
  EXPECT_FALSE(signIn_->submitButton().get_sensitive());
  picture("signin-create");

  store_->setChallenge("c1");
  ASSERT_TRUE(
      testing::spinUntil([&] { return focused(signIn_->codeEntry()); }, std::chrono::seconds(5)));
  // Typing letters and more than six digits keeps six digits.
  signIn_->codeEntry().set_text("12a3-4567");
  EXPECT_EQ(std::string(signIn_->codeEntry().get_text()), "123456");
  EXPECT_EQ(store_->code, "123456");
  settle();
  EXPECT_TRUE(signIn_->verifyButton().get_sensitive());
  picture("signin-verify");

  click(signIn_->backButton());
  settle();
  click(signIn_->forgotPasswordButton());
  settle();
  ASSERT_TRUE(openPasswordResetFromSignIn());
  EXPECT_EQ(std::string(signIn_->resetEmailEntry().get_text()), "demo@orlith.test");
  picture("signin-reset");
}

TEST_F(SignInViewTest, ReturnInTheFormSubmitsOnlyFromThePassword) {
  show();
  click(signIn_->createAccountButton());
  ASSERT_TRUE(
      testing::spinUntil([&] { return focused(signIn_->nameEntry()); }, std::chrono::seconds(5)));
  signIn_->nameEntry().set_text("Sam Example");
  g_signal_emit_by_name(signIn_->nameEntry().gobj(), "activate");
  EXPECT_TRUE(
      testing::spinUntil([&] { return focused(signIn_->emailEntry()); }, std::chrono::seconds(5)));
  g_signal_emit_by_name(signIn_->emailEntry().gobj(), "activate");
  EXPECT_TRUE(testing::spinUntil([&] { return focused(signIn_->passwordEntry()); },
                                 std::chrono::seconds(5)));
  // Empty password: the operation's own guard refuses.
  g_signal_emit_by_name(signIn_->passwordEntry().gobj(), "activate");
  settle();
  EXPECT_THAT(store_->calls, IsEmpty());

  signIn_->emailEntry().set_text("sam@orlith.test");
  signIn_->passwordEntry().set_text("12345678");
  g_signal_emit_by_name(signIn_->passwordEntry().gobj(), "activate");
  ASSERT_TRUE(testing::spinUntil([&] { return !store_->calls.empty(); }, std::chrono::seconds(5)));
  EXPECT_THAT(store_->calls,
              ElementsAre("requestSignupCode(Sam Example,sam@orlith.test,12345678)"));
}

TEST_F(SignInViewTest, ShowsTheAlertAndTheTwoFactorSheetWhileTheStoreAsks) {
  show();
  store_->presentError("Incorrect e-mail or password.");
  ASSERT_TRUE(testing::spinUntil([&] { return signIn_->alert() && signIn_->alert()->get_mapped(); },
                                 std::chrono::seconds(5)));
  EXPECT_EQ(std::string(signIn_->alert()->messageLabel().get_text()),
            "Incorrect e-mail or password.");
  testing::waitForDraw(GTK_WIDGET(signIn_->alert()->gobj()));
  testing::renderWidget(GTK_WIDGET(signIn_->alert()->gobj())).save("signin-alert");
  click(signIn_->alert()->button(0));
  ASSERT_TRUE(testing::spinUntil([&] { return !signIn_->alert(); }, std::chrono::seconds(5)));
  EXPECT_FALSE(store_->showing);

  store_->setPending("p1");
  ASSERT_TRUE(testing::spinUntil(
      [&] { return signIn_->twoFactorSheet() && signIn_->twoFactorSheet()->get_mapped(); },
      std::chrono::seconds(5)));
  TwoFactorChallengeSheet* sheet = signIn_->twoFactorSheet();
  // A wrong code brings a new token: the same sheet stays.
  store_->setPending("p2");
  settle();
  EXPECT_EQ(signIn_->twoFactorSheet(), sheet);
  testing::waitForDraw(GTK_WIDGET(sheet->gobj()));
  testing::renderWidget(GTK_WIDGET(sheet->gobj())).save("signin-two-factor");
  click(sheet->cancelButton());
  ASSERT_TRUE(
      testing::spinUntil([&] { return !signIn_->twoFactorSheet(); }, std::chrono::seconds(5)));
  EXPECT_FALSE(store_->pending);
}

TEST_F(SignInViewTest, TermsLinksGoToTheOpener) {
  show();
  g_signal_emit_by_name(signIn_->termsLabel().gobj(), "activate-link",
                        "https://orlith.example/terms", nullptr);
  gboolean handled = FALSE;
  g_signal_emit_by_name(signIn_->termsLabel().gobj(), "activate-link",
                        "https://orlith.example/privacy", &handled);
  EXPECT_THAT(opener_.opened,
              ElementsAre("https://orlith.example/terms", "https://orlith.example/privacy"));
}

TEST_F(SignInViewTest, ConfirmationsShowTheCheckAsAnIconBesideTheTextThatScreenReadersSkip) {
  // Shown: the exact text, and before it the icon, which assistive technology skips.
  const auto expectConfirmation = [&](AuthConfirmationLine& line, const std::string& text) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(testing::spinUntil([&] { return line.get_mapped(); }, std::chrono::seconds(5)));
    EXPECT_EQ(std::string(line.label().get_text()), text);
    EXPECT_EQ(line.get_first_child(), &line.icon());
    EXPECT_TRUE(line.icon().get_mapped());
    EXPECT_EQ(std::string(line.icon().get_icon_name()), "emblem-ok-symbolic");
    EXPECT_TRUE(gtk_test_accessible_has_role(GTK_ACCESSIBLE(line.icon().gobj()),
                                             GTK_ACCESSIBLE_ROLE_PRESENTATION));
    char* failure = gtk_test_accessible_check_state(GTK_ACCESSIBLE(line.icon().gobj()),
                                                    GTK_ACCESSIBLE_STATE_HIDDEN, TRUE);
    EXPECT_EQ(failure, nullptr) << failure;
    g_free(failure);
    EXPECT_TRUE(gtk_test_accessible_has_role(GTK_ACCESSIBLE(line.label().gobj()),
                                             GTK_ACCESSIBLE_ROLE_LABEL));
  };

  show();
  click(signIn_->createAccountButton());
  ASSERT_TRUE(
      testing::spinUntil([&] { return focused(signIn_->nameEntry()); }, std::chrono::seconds(5)));
  store_->setChallenge("c1");
  ASSERT_TRUE(
      testing::spinUntil([&] { return focused(signIn_->codeEntry()); }, std::chrono::seconds(5)));
  EXPECT_FALSE(signIn_->resentConfirmation().get_mapped());
  click(signIn_->resendButton());
  expectConfirmation(signIn_->resentConfirmation(), "A new code is on its way.");
  picture("signin-verify-resent");

  click(signIn_->backButton());
  settle();
  ASSERT_TRUE(openPasswordResetFromSignIn());
  EXPECT_FALSE(signIn_->resetSentConfirmation().get_mapped());
  signIn_->resetEmailEntry().set_text("sam@orlith.test");
  click(signIn_->sendResetButton());
  expectConfirmation(signIn_->resetSentConfirmation(),
                     "If an account exists, we've emailed a reset link.");
  picture("signin-reset-sent");
}

TEST_F(SignInViewTest, LaysOutRightToLeftForARightToLeftLanguage) {
  gtk_widget_set_default_direction(GTK_TEXT_DIR_RTL);
  show();
  click(signIn_->emailButton());
  settle();
  graphene_point_t origin = GRAPHENE_POINT_INIT(0, 0), inWindow;
  ASSERT_TRUE(gtk_widget_compute_point(GTK_WIDGET(signIn_->backButton().gobj()),
                                       GTK_WIDGET(window_->gobj()), &origin, &inWindow));
  EXPECT_GT(inWindow.x, window_->get_width() / 2);
  picture("signin-email-rtl");
}

TEST_F(SignInViewTest, DrawsWithTheDarkPalette) {
  styles_->setDark(true);
  show();
  settle();
  testing::WidgetPixels pixels = testing::renderWidget(GTK_WIDGET(window_->gobj()));
  pixels.save("signin-welcome-dark");
  // The canvas in a corner; the provider buttons stay white.
  EXPECT_TRUE(pixels.at(5, pixels.height() - 5).near({18, 18, 18, 255}, 4));
  graphene_point_t origin = GRAPHENE_POINT_INIT(0, 0), inWindow;
  ASSERT_TRUE(gtk_widget_compute_point(GTK_WIDGET(signIn_->googleButton().gobj()),
                                       GTK_WIDGET(window_->gobj()), &origin, &inWindow));
  EXPECT_TRUE(pixels.at(static_cast<int>(inWindow.x) + 40, static_cast<int>(inWindow.y) + 6)
                  .near({255, 255, 255, 255}, 4));
}

TEST_F(SignInViewTest, TheColumnLiftsAboveTheCentreAsTheWindowGrows) {
  EXPECT_EQ(SignInColumn::extraBottomPadding(480), 44);
  EXPECT_EQ(SignInColumn::extraBottomPadding(800), 140);
  EXPECT_EQ(SignInColumn::extraBottomPadding(200), 0);
  show(460, 480);
  EXPECT_GE(signIn_->get_width(), SignInView::kMinimumWidth);
  picture("signin-welcome-small");
}

}  // namespace
}  // namespace orlith
