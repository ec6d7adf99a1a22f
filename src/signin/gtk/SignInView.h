// The sign-in view: the whole content of a main window while no account is signed in. It draws
// its AuthView's four scenes in one centred, scrolling column under a busy veil, and shows the
// error alert and the two-factor sheet while the store asks for them. Every decision is the
// AuthView's; this binds widgets to it.
#pragma once

#include <gtkmm.h>

#include <memory>

#include "base/UriOpener.h"
#include "signin/AuthView.h"
#include "signin/gtk/AuthConfirmationLine.h"
#include "signin/gtk/AuthInputRow.h"
#include "signin/gtk/AuthModeSwitch.h"
#include "signin/gtk/AuthPrimaryButtonLabel.h"
#include "signin/gtk/AuthSocialButtonLabel.h"
#include "signin/gtk/LoadingOverlay.h"
#include "signin/gtk/ProviderGlyph.h"
#include "signin/gtk/SignInAlert.h"
#include "signin/gtk/SignInColumn.h"
#include "signin/gtk/TwoFactorChallengeSheet.h"

namespace orlith {

class AuthBrandLockup;

class SignInView : public Gtk::Overlay {
 public:
  static constexpr int kMinimumWidth = 460;
  static constexpr int kMinimumHeight = 480;

  // `opener` opens the terms links; `announcer` is the two-factor sheet's.
  SignInView(std::shared_ptr<AuthView> view, UriOpener& opener, Announcer& announcer);
  ~SignInView() override;

  AuthView& model() { return *view_; }

  // For tests and the window: the controls by their role.
  Gtk::Button& googleButton() { return google_; }
  Gtk::Button& githubButton() { return github_; }
  Gtk::Button& emailButton() { return emailWelcome_; }
  Gtk::Button& createAccountButton() { return createAccount_; }
  Gtk::Button& backButton() { return back_; }
  Gtk::Entry& nameEntry() { return name_; }
  Gtk::Entry& emailEntry() { return email_; }
  Gtk::PasswordEntry& passwordEntry() { return password_; }
  Gtk::Button& submitButton() { return submit_; }
  Gtk::Entry& codeEntry() { return code_; }
  Gtk::Button& verifyButton() { return verify_; }
  Gtk::Button& resendButton() { return resend_; }
  Gtk::Button& changeEmailButton() { return changeEmail_; }
  Gtk::Entry& resetEmailEntry() { return resetEmail_; }
  Gtk::Button& sendResetButton() { return sendReset_; }
  Gtk::Button& forgotPasswordButton() { return forgot_; }
  Gtk::Label& termsLabel() { return terms_; }
  AuthConfirmationLine& resentConfirmation() { return resent_; }
  AuthConfirmationLine& resetSentConfirmation() { return resetSent_; }
  AuthModeSwitch& modeSwitch() { return *modeSwitch_; }
  SignInColumn& column() { return *column_; }
  LoadingOverlay& loadingOverlay() { return overlay_; }
  TwoFactorChallengeSheet* twoFactorSheet() { return sheet_.get(); }
  SignInAlert* alert() { return alert_.get(); }
  // Asks whether the account of a provider's callback is the person's own: Cancel, Continue.
  SignInAlert* accountQuestion() { return accountQuestion_.get(); }

 private:
  void build();
  void buildWelcome();
  void buildEmail();
  void buildVerify();
  void buildReset();
  Gtk::Box& header(Gtk::Label& title, Gtk::Label& subtitle);
  void linkButton(Gtk::Button& button, const std::string& key);
  std::string text(const std::string& key) const { return view_->localize(key); }

  void scheduleRefresh();
  void refresh();
  void refreshSheets();
  void focusField(AuthField field);
  Gtk::Window* toplevel();
  void presentOverWindow(Gtk::Window& dialog);
  static void setText(Gtk::Editable& entry, const std::string& value, sigc::connection& handler);

  std::shared_ptr<AuthView> view_;
  UriOpener& opener_;
  Announcer& announcer_;

  Gtk::ScrolledWindow scroller_;
  Gtk::Box content_{Gtk::Orientation::VERTICAL, 0};
  std::unique_ptr<SignInColumn> column_;
  LoadingOverlay overlay_;
  Gtk::Box backRow_{Gtk::Orientation::HORIZONTAL, 0};
  Gtk::Button back_;
  Gtk::Stack scenes_;
  Gtk::Label terms_;

  // Welcome.
  Gtk::Box welcome_{Gtk::Orientation::VERTICAL, 0};
  std::unique_ptr<AuthBrandLockup> lockup_;
  Gtk::Box providers_{Gtk::Orientation::VERTICAL, 10};
  ProviderGlyph googleGlyph_{AuthSocialButtonKind::google};
  ProviderGlyph githubGlyph_{AuthSocialButtonKind::github};
  ProviderGlyph emailGlyph_{AuthSocialButtonKind::email};
  Gtk::Button google_, github_, emailWelcome_;
  std::unique_ptr<AuthSocialButtonLabel> googleLabel_, githubLabel_, emailLabel_;
  Gtk::Box createRow_{Gtk::Orientation::HORIZONTAL, 4};
  Gtk::Label newTo_;
  Gtk::Button createAccount_;

  // E-mail form.
  Gtk::Box emailScene_{Gtk::Orientation::VERTICAL, 20};
  Gtk::Label emailTitle_, emailSubtitle_;
  std::unique_ptr<AuthModeSwitch> modeSwitch_;
  Gtk::Box fields_{Gtk::Orientation::VERTICAL, 0};
  Gtk::Entry name_, email_;
  Gtk::PasswordEntry password_;
  std::unique_ptr<AuthInputRow> nameRow_, emailRow_, passwordRow_;
  Gtk::Button submit_;
  std::unique_ptr<AuthPrimaryButtonLabel> submitLabel_;
  Gtk::Box signInFooter_{Gtk::Orientation::HORIZONTAL, 0};
  Gtk::Button forgot_, otherOptions_;
  Gtk::Box signUpFooter_{Gtk::Orientation::HORIZONTAL, 4};
  Gtk::Label haveAccount_;
  Gtk::Button switchToSignIn_;

  // Verify.
  Gtk::Box verifyScene_{Gtk::Orientation::VERTICAL, 20};
  Gtk::Label verifyTitle_, verifySubtitle_;
  Gtk::Entry code_;
  std::unique_ptr<AuthInputRow> codeRow_;
  Gtk::Button verify_;
  std::unique_ptr<AuthPrimaryButtonLabel> verifyLabel_;
  Gtk::Box verifyRow_{Gtk::Orientation::HORIZONTAL, 0};
  Gtk::Button changeEmail_, resend_;
  AuthConfirmationLine resent_;

  // Forgot password.
  Gtk::Box resetScene_{Gtk::Orientation::VERTICAL, 20};
  Gtk::Label resetTitle_, resetSubtitle_;
  Gtk::Entry resetEmail_;
  std::unique_ptr<AuthInputRow> resetRow_;
  AuthConfirmationLine resetSent_;
  Gtk::Button sendReset_;
  std::unique_ptr<AuthPrimaryButtonLabel> sendResetLabel_;
  Gtk::Button backToSignIn_;

  std::unique_ptr<TwoFactorChallengeSheet> sheet_;
  std::optional<std::string> sheetToken_;
  std::unique_ptr<SignInAlert> alert_;
  std::unique_ptr<SignInAlert> accountQuestion_;

  sigc::connection nameChanged_, emailChanged_, passwordChanged_, codeChanged_, resetChanged_;
  sigc::connection viewChanged_, focusRequested_, refreshIdle_;
  bool refreshPending_ = false;
};

}  // namespace orlith
