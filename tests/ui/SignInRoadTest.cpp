// Signing in through the window's own widgets against the stand-in over HTTPS, with the real
// keyring of the test session: the workspace replaces the sign-in view, a new launch finds the
// session in the keyring, the two-factor sheet refuses a wrong code and takes the right one,
// and a provider's callback link is consumed once, its account asked about first.
#include <gmock/gmock.h>

#include <httplib.h>

#include <nlohmann/json.hpp>

#include <fstream>

#include "RecordingBrowser.h"
#include "WorkspaceWindowFixture.h"
#include "base/BundleInfo.h"
#include "platform/secret/LibsecretSecretStore.h"
#include "session/SessionKeychain.h"
#include "signin/gtk/GtkProviderWaitingSheet.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using testing::RecordingBrowser;

class SignInRoad : public testing::WorkspaceWindowFixture {
 protected:
  static void click(Gtk::Button& button) { g_signal_emit_by_name(button.gobj(), "clicked"); }

  SignInView& signInViewOf(MainWindow& window) {
    EXPECT_TRUE(testing::spinUntil(
        [&] { return window.signInView() && window.signInView()->get_mapped(); }, 10s));
    return *window.signInView();
  }

  void typeCredentials(SignInView& view, const std::string& account) {
    click(view.emailButton());
    testing::spinUntil([] { return false; }, 100ms);
    view.emailEntry().set_text(account);
    view.passwordEntry().set_text(testing::kPassword);
    ASSERT_TRUE(testing::spinUntil([&] { return view.submitButton().get_sensitive(); }, 5s));
    click(view.submitButton());
  }

  nlohmann::json standinRequests() {
    httplib::SSLClient client("127.0.0.1", standin_.port());
    client.enable_server_certificate_verification(false);
    auto reply = client.Get("/__standin/requests");
    return reply ? nlohmann::json::parse(reply->body) : nlohmann::json::array();
  }
  // The account of the session item in the test session's keyring, read as the app reads it.
  std::optional<std::string> keyringSessionEmail() const {
    const BundleInfo& bundle = BundleInfo::main();
    auto secrets =
        std::make_shared<LibsecretSecretStore>(AppIdentity::fromBundle(bundle).bundleIdentifier);
    SessionKeychain keychain(secrets, keychainService_);
    SecretReadResult result = secrets->read(keychain.key());
    if (result.kind != SecretReadResult::Kind::data)
      return std::nullopt;
    return StoredSession::decode(result.data).email;
  }
  std::string handoffToken(const std::string& email) {
    httplib::SSLClient client("127.0.0.1", standin_.port());
    client.enable_server_certificate_verification(false);
    auto reply = client.Post("/__standin/handoff", nlohmann::json{{"email", email}}.dump(),
                             "application/json");
    return reply ? nlohmann::json::parse(reply->body).value("token", "") : "";
  }
};

TEST_F(SignInRoad, APasswordSignInReachesTheWorkspaceAndSurvivesARestart) {
  launch();
  MainWindow& window = openWindow();
  SignInView& view = signInViewOf(window);
  testing::renderWidget(GTK_WIDGET(window.gobj())).save("road-signed-out");
  typeCredentials(view, testing::kDemoAccount);

  ASSERT_TRUE(testing::spinUntil([&] { return window.workspace() != nullptr; }, 30s));
  EXPECT_EQ(window.signInView(), nullptr);
  EXPECT_FALSE(window.updateIndicator() && window.updateIndicator()->get_visible());
  auto tab = window.tabs()->selectedTab();
  ASSERT_TRUE(waitReady(window, tab, 60s));
  testing::saveSnapshot(webViewOf(window, tab), "road-workspace");

  // The keyring holds the session (it is saved right after the sign-in, in the background).
  EXPECT_TRUE(testing::spinUntil(
      [&] { return keyringSessionEmail() == std::optional<std::string>(testing::kDemoAccount); },
      30s));
  // A new launch restores the session from the keyring without signing in.
  launch();
  ASSERT_TRUE(context_->sessionStore().state().isAuthenticated())
      << static_cast<int>(context_->sessionStore().state().kind) << " keyring "
      << keyringSessionEmail().value_or("none");
  EXPECT_EQ(context_->sessionStore().currentSession()->email, testing::kDemoAccount);
  MainWindow& again = openWindow();
  EXPECT_NE(again.workspace(), nullptr);

  // Signing out returns to the sign-in view and destroys the workspace with its web views.
  context_->sessionStore().signOut();
  ASSERT_TRUE(testing::spinUntil([&] { return again.signInView() != nullptr; }, 10s));
  EXPECT_EQ(again.workspace(), nullptr);
}

TEST_F(SignInRoad, TheTwoFactorSheetRefusesAWrongCodeAndTakesTheRightOne) {
  launch();
  MainWindow& window = openWindow();
  SignInView& view = signInViewOf(window);
  typeCredentials(view, testing::kTwoFactorAccount);
  ASSERT_TRUE(testing::spinUntil(
      [&] { return view.twoFactorSheet() && view.twoFactorSheet()->get_mapped(); }, 30s));
  TwoFactorChallengeSheet& sheet = *view.twoFactorSheet();

  sheet.codeEntry().set_text("000000");
  g_signal_emit_by_name(sheet.codeEntry().gobj(), "activate");
  ASSERT_TRUE(testing::spinUntil([&] { return sheet.errorLabel().get_visible(); }, 30s));
  EXPECT_EQ(std::string(sheet.errorLabel().get_text()), kTwoFactorRetryMessage);
  EXPECT_EQ(std::string(sheet.codeEntry().get_text()), "");
  testing::waitForDraw(GTK_WIDGET(sheet.gobj()));
  testing::renderWidget(GTK_WIDGET(sheet.gobj())).save("road-two-factor-wrong");

  sheet.codeEntry().set_text(" 123456 ");
  EXPECT_FALSE(sheet.errorLabel().get_visible() &&
               testing::spinUntil([&] { return !sheet.errorLabel().get_visible(); }, 2s) == false);
  click(sheet.verifyButton());
  ASSERT_TRUE(testing::spinUntil([&] { return window.workspace() != nullptr; }, 30s));
  EXPECT_TRUE(context_->sessionStore().state().isAuthenticated());
}

TEST_F(SignInRoad, AnUnreadableStoredSessionShowsTheRecoveryScreenUntilSignOut) {
  const BundleInfo& bundle = BundleInfo::main();
  auto secrets =
      std::make_shared<LibsecretSecretStore>(AppIdentity::fromBundle(bundle).bundleIdentifier);
  SessionKeychain keychain(secrets, keychainService_);
  ASSERT_TRUE(SessionKeychain::writeItem(*secrets, keychain.key(), "not a stored session"));

  launch();
  ASSERT_EQ(context_->sessionStore().state().kind, SessionState::Kind::recoveryUnavailable);
  MainWindow& window = openWindow();
  ASSERT_NE(window.recoveryView(), nullptr);
  EXPECT_EQ(std::string(window.recoveryView()->title().get_text()),
            "Couldn’t read your saved sign-in");
  EXPECT_TRUE(window.updateIndicator() == nullptr || window.updateIndicator()->get_visible());
  testing::spinUntil([] { return false; }, 200ms);
  testing::renderWidget(GTK_WIDGET(window.gobj())).save("road-recovery");

  click(window.recoveryView()->signOutButton());
  ASSERT_TRUE(testing::spinUntil([&] { return window.signInView() != nullptr; }, 10s));
  EXPECT_EQ(window.recoveryView(), nullptr);
}

TEST_F(SignInRoad, ASignUpWithTheEmailedCodeReachesTheWorkspace) {
  launch();
  MainWindow& window = openWindow();
  SignInView& view = signInViewOf(window);
  click(view.createAccountButton());
  ASSERT_TRUE(testing::spinUntil([&] { return view.nameEntry().get_mapped(); }, 5s));
  view.nameEntry().set_text("Sam Example");
  view.emailEntry().set_text("sam@orlith.test");
  view.passwordEntry().set_text("correct horse");
  ASSERT_TRUE(testing::spinUntil([&] { return view.submitButton().get_sensitive(); }, 5s));
  click(view.submitButton());
  ASSERT_TRUE(testing::spinUntil([&] { return view.codeEntry().get_mapped(); }, 30s));
  view.codeEntry().set_text("123456");
  g_signal_emit_by_name(view.codeEntry().gobj(), "activate");
  ASSERT_TRUE(testing::spinUntil([&] { return window.workspace() != nullptr; }, 30s));
  EXPECT_EQ(context_->sessionStore().currentSession()->email, "sam@orlith.test");
}

TEST_F(SignInRoad, APasswordResetShowsItsConfirmation) {
  launch();
  MainWindow& window = openWindow();
  SignInView& view = signInViewOf(window);
  click(view.emailButton());
  testing::spinUntil([] { return false; }, 100ms);
  click(view.forgotPasswordButton());
  ASSERT_TRUE(testing::spinUntil([&] { return view.resetEmailEntry().get_mapped(); }, 5s));
  view.resetEmailEntry().set_text(testing::kDemoAccount);
  g_signal_emit_by_name(view.resetEmailEntry().gobj(), "activate");
  ASSERT_TRUE(testing::spinUntil([&] { return view.model().resetEmailSent(); }, 30s));
  testing::spinUntil([] { return false; }, 200ms);
  testing::renderWidget(GTK_WIDGET(window.gobj())).save("road-reset-sent");
  int requests = 0;
  for (const auto& request : standinRequests())
    requests += request.value("path", "") == "/api/auth/forgot-password";
  EXPECT_EQ(requests, 1);
}

TEST_F(SignInRoad, AProviderCallbackIsConsumedOnceAndASecondOneIsIgnored) {
  RecordingBrowser browser;
  launch();
  auto services = std::make_shared<SignInServices>();
  MainWindow::Options options;
  options.signIn = services;
  MainWindow& window = openWindow(std::move(options));
  SignInView& view = signInViewOf(window);
  click(view.googleButton());

  std::string opened;
  ASSERT_TRUE(testing::spinUntil(
      [&] {
        opened = browser.firstOpened();
        return !opened.empty();
      },
      30s));
  EXPECT_EQ(opened.rfind("https://", 0), 0u) << opened;
  ASSERT_NE(GtkProviderWaitingSheet::openSheet(), nullptr);
  EXPECT_FALSE(view.googleButton().get_sensitive());
  testing::waitForDraw(GTK_WIDGET(GtkProviderWaitingSheet::openSheet()->gobj()));
  testing::renderWidget(GTK_WIDGET(GtkProviderWaitingSheet::openSheet()->gobj()))
      .save("road-provider-waiting");

  const std::string token = handoffToken(testing::kDemoAccount);
  ASSERT_FALSE(token.empty());
  const Url callback = *Url::parse("orlith://auth/callback?token=" + token);
  EXPECT_TRUE(services->callbackRoute().deliver(callback));
  EXPECT_TRUE(services->callbackRoute().deliver(callback));
  // The account is named and agreed to before anything of it is kept.
  ASSERT_TRUE(testing::spinUntil(
      [&] { return view.accountQuestion() && view.accountQuestion()->get_mapped(); }, 30s));
  EXPECT_EQ(std::string(view.accountQuestion()->get_title()),
            std::string("Sign in as ") + testing::kDemoAccount + "?");
  EXPECT_EQ(window.workspace(), nullptr);
  EXPECT_FALSE(keyringSessionEmail());
  click(view.accountQuestion()->button(1));
  ASSERT_TRUE(testing::spinUntil([&] { return window.workspace() != nullptr; }, 30s));
  EXPECT_EQ(GtkProviderWaitingSheet::openSheet(), nullptr);

  int consumed = 0;
  for (const auto& request : standinRequests())
    consumed += request.value("path", "") == "/api/auth/native/consume";
  EXPECT_EQ(consumed, 1);
}

}  // namespace
}  // namespace orlith
