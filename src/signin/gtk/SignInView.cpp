#include "signin/gtk/SignInView.h"

#include "signin/gtk/AuthBrandLockup.h"
#include "signin/gtk/AuthLinkButtonStyle.h"
#include "signin/gtk/AuthSocialButtonStyle.h"
#include "ui/AuthFilledButtonStyle.h"

namespace orlith {

namespace {

// A window is destroyed after the handler that ended it has returned.
template <class Window>
void destroyLater(std::unique_ptr<Window> window) {
  if (!window)
    return;
  window->set_visible(false);
  Window* raw = window.release();
  Glib::signal_idle().connect_once([raw] {
    raw->destroy();
    delete raw;
  });
}

void wrapLabel(Gtk::Label& label, const char* cssClass) {
  label.add_css_class(cssClass);
  label.set_wrap(true);
  label.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
  label.set_xalign(0);
  label.set_halign(Gtk::Align::FILL);
}

void markAsHeading(Gtk::Label& title) {
  gtk_accessible_update_property(GTK_ACCESSIBLE(title.gobj()), GTK_ACCESSIBLE_PROPERTY_LEVEL, 1,
                                 -1);
}

}  // namespace

SignInView::SignInView(std::shared_ptr<AuthView> view, UriOpener& opener, Announcer& announcer)
    : view_(std::move(view)), opener_(opener), announcer_(announcer) {
  build();
  viewChanged_ = view_->changed().connect([this] { scheduleRefresh(); });
  focusRequested_ = view_->focusRequested().connect([this](AuthField field) { focusField(field); });
  // A closed window is unrealized whether or not anything deletes it; a minimized one is not.
  signal_unrealize().connect([this] { view_->close(); });
  refresh();
}

SignInView::~SignInView() {
  viewChanged_.disconnect();
  focusRequested_.disconnect();
  refreshIdle_.disconnect();
  // The view's tasks may outlive the widgets; its attempt must not outlive the window.
  view_->close();
  destroyLater(std::move(sheet_));
  destroyLater(std::move(alert_));
  destroyLater(std::move(accountQuestion_));
}

void SignInView::build() {
  add_css_class("orlith-signin");
  set_size_request(kMinimumWidth, kMinimumHeight);
  set_hexpand(true);
  set_vexpand(true);

  back_.set_label("‹");
  back_.add_css_class("orlith-back");
  back_.set_has_frame(false);
  back_.signal_clicked().connect([this] { view_->navigateBack(); });
  AuthLinkButtonStyle(OrlithPalette::ink).apply(back_);
  back_.add_css_class("orlith-back");
  backRow_.append(back_);
  backRow_.set_margin_bottom(18);

  buildWelcome();
  buildEmail();
  buildVerify();
  buildReset();
  scenes_.set_transition_type(Gtk::StackTransitionType::NONE);
  scenes_.set_vhomogeneous(false);
  scenes_.set_hhomogeneous(false);
  scenes_.add(welcome_, "welcome");
  scenes_.add(emailScene_, "email");
  scenes_.add(verifyScene_, "verifyEmail");
  scenes_.add(resetScene_, "forgotPassword");

  terms_.set_use_markup(true);
  terms_.set_markup(view_->termsNoticeMarkup());
  terms_.add_css_class("orlith-terms");
  terms_.set_wrap(true);
  terms_.set_justify(Gtk::Justification::CENTER);
  terms_.set_halign(Gtk::Align::FILL);
  terms_.signal_activate_link().connect(
      [this](const Glib::ustring& uri) {
        opener_.open(uri);
        return true;
      },
      false);

  content_.append(backRow_);
  content_.append(scenes_);
  content_.append(terms_);
  column_ = std::make_unique<SignInColumn>(content_);
  scroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  scroller_.set_child(*column_);
  set_child(scroller_);
  add_overlay(overlay_);
}

Gtk::Box& SignInView::header(Gtk::Label& title, Gtk::Label& subtitle) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
  wrapLabel(title, "orlith-scene-title");
  markAsHeading(title);
  wrapLabel(subtitle, "orlith-subtitle");
  box->append(title);
  box->append(subtitle);
  return *box;
}

void SignInView::linkButton(Gtk::Button& button, const std::string& key) {
  button.set_label(text(key));
  button.add_css_class("orlith-text-13");
  AuthLinkButtonStyle(OrlithPalette::ink).apply(button);
}

void SignInView::buildWelcome() {
  lockup_ = std::make_unique<AuthBrandLockup>(text("Sign in to sync your workspace."));
  lockup_->set_margin_top(40);
  welcome_.append(*lockup_);

  struct Provider {
    Gtk::Button& button;
    std::unique_ptr<AuthSocialButtonLabel>& label;
    ProviderGlyph& glyph;
    AuthSocialButtonKind kind;
    const char* title;
  };
  Provider buttons[] = {
      {google_, googleLabel_, googleGlyph_, AuthSocialButtonKind::google, "Continue with Google"},
      {github_, githubLabel_, githubGlyph_, AuthSocialButtonKind::github, "Continue with GitHub"},
      {emailWelcome_, emailLabel_, emailGlyph_, AuthSocialButtonKind::email, "Continue with email"},
  };
  for (Provider& provider : buttons) {
    provider.label =
        std::make_unique<AuthSocialButtonLabel>(text(provider.title), false, provider.glyph);
    provider.button.set_child(*provider.label);
    AuthSocialButtonStyle(provider.kind, true).apply(provider.button);
    providers_.append(provider.button);
  }
  google_.signal_clicked().connect([this] { view_->runStartProviderSignIn("google"); });
  github_.signal_clicked().connect([this] { view_->runStartProviderSignIn("github"); });
  emailWelcome_.signal_clicked().connect(
      [this] { view_->transition(AuthScene::email, EmailAuthMode::signIn, AuthField::email); });

  newTo_.set_text(text("New to Orlith?"));
  newTo_.add_css_class("orlith-text-13");
  newTo_.add_css_class("orlith-muted");
  linkButton(createAccount_, "Create account");
  createAccount_.signal_clicked().connect(
      [this] { view_->transition(AuthScene::email, EmailAuthMode::signUp, AuthField::name); });
  createRow_.set_halign(Gtk::Align::CENTER);
  createRow_.append(newTo_);
  createRow_.append(createAccount_);
  createRow_.set_margin_top(6);
  providers_.append(createRow_);

  providers_.set_size_request(304, -1);
  providers_.set_halign(Gtk::Align::CENTER);
  providers_.set_margin_top(44);
  welcome_.append(providers_);
}

void SignInView::buildEmail() {
  emailScene_.append(header(emailTitle_, emailSubtitle_));
  modeSwitch_ = std::make_unique<AuthModeSwitch>(
      view_->emailMode(), [this](EmailAuthMode mode) { view_->selectEmailMode(mode); },
      [this](const std::string& key) { return text(key); });
  emailScene_.append(modeSwitch_->widget());

  name_.set_placeholder_text(text("Sam Example"));
  email_.set_placeholder_text(text("name@company.com"));
  email_.set_input_purpose(Gtk::InputPurpose::EMAIL);
  email_.set_input_hints(Gtk::InputHints::NO_SPELLCHECK | Gtk::InputHints::LOWERCASE);
  nameRow_ = std::make_unique<AuthInputRow>(text("Name"), name_);
  emailRow_ = std::make_unique<AuthInputRow>(text("Email"), email_);
  passwordRow_ = std::make_unique<AuthInputRow>(text("Password"), password_);
  fields_.append(*nameRow_);
  fields_.append(*emailRow_);
  fields_.append(*passwordRow_);
  emailScene_.append(fields_);

  nameChanged_ = name_.signal_changed().connect([this] { view_->setSignupName(name_.get_text()); });
  emailChanged_ = email_.signal_changed().connect([this] { view_->setEmail(email_.get_text()); });
  passwordChanged_ =
      password_.signal_changed().connect([this] { view_->setPassword(password_.get_text()); });
  name_.signal_activate().connect([this] { view_->focus(AuthField::email); });
  email_.signal_activate().connect([this] { view_->focus(AuthField::password); });
  // gtkmm 4.8 has no wrapper of the password entry's activate signal.
  g_signal_connect(password_.gobj(), "activate", G_CALLBACK(+[](GtkPasswordEntry*, gpointer self) {
                     static_cast<SignInView*>(self)->view_->run(&AuthView::submitEmail);
                   }),
                   this);

  submitLabel_ = std::make_unique<AuthPrimaryButtonLabel>(text("Sign in"), false);
  submit_.set_child(*submitLabel_);
  AuthFilledButtonStyle::apply(submit_);
  submit_.signal_clicked().connect([this] { view_->run(&AuthView::submitEmail); });
  emailScene_.append(submit_);

  linkButton(forgot_, "Forgot password?");
  linkButton(otherOptions_, "Other options");
  forgot_.signal_clicked().connect(
      [this] { view_->transition(AuthScene::forgotPassword, std::nullopt, AuthField::email); });
  otherOptions_.signal_clicked().connect(
      [this] { view_->transition(AuthScene::welcome, std::nullopt, std::nullopt); });
  auto* spacer = Gtk::make_managed<Gtk::Box>();
  spacer->set_hexpand(true);
  signInFooter_.append(forgot_);
  signInFooter_.append(*spacer);
  signInFooter_.append(otherOptions_);
  emailScene_.append(signInFooter_);

  haveAccount_.set_text(text("Already have an account?"));
  haveAccount_.add_css_class("orlith-text-13");
  haveAccount_.add_css_class("orlith-muted");
  linkButton(switchToSignIn_, "Sign in");
  switchToSignIn_.signal_clicked().connect([this] { view_->switchToSignIn(); });
  signUpFooter_.set_halign(Gtk::Align::CENTER);
  signUpFooter_.append(haveAccount_);
  signUpFooter_.append(switchToSignIn_);
  emailScene_.append(signUpFooter_);
}

void SignInView::buildVerify() {
  verifyTitle_.set_text(text("Check your email"));
  verifyScene_.append(header(verifyTitle_, verifySubtitle_));
  code_.set_placeholder_text("123456");
  code_.add_css_class("orlith-code");
  code_.set_input_purpose(Gtk::InputPurpose::DIGITS);
  codeRow_ = std::make_unique<AuthInputRow>(text("Verification code"), code_);
  verifyScene_.append(*codeRow_);
  codeChanged_ = code_.signal_changed().connect([this] {
    const std::string typed = code_.get_text();
    const std::string kept = view_->filterVerificationCode(typed);
    // A refused keystroke leaves the store's value as it was, so no change comes back: the
    // field is put right here.
    if (kept != typed)
      setText(code_, kept, codeChanged_);
  });
  code_.signal_activate().connect([this] { view_->run(&AuthView::verifySignupCode); });

  verifyLabel_ = std::make_unique<AuthPrimaryButtonLabel>(text("Verify and continue"), false);
  verify_.set_child(*verifyLabel_);
  AuthFilledButtonStyle::apply(verify_);
  verify_.signal_clicked().connect([this] { view_->run(&AuthView::verifySignupCode); });
  verifyScene_.append(verify_);

  linkButton(changeEmail_, "Change email");
  linkButton(resend_, "Resend code");
  changeEmail_.signal_clicked().connect([this] { view_->changeSignupEmail(); });
  resend_.signal_clicked().connect([this] { view_->run(&AuthView::resendSignupCode); });
  auto* spacer = Gtk::make_managed<Gtk::Box>();
  spacer->set_hexpand(true);
  verifyRow_.append(changeEmail_);
  verifyRow_.append(*spacer);
  verifyRow_.append(resend_);
  verifyScene_.append(verifyRow_);

  resent_.setText(text("A new code is on its way."));
  verifyScene_.append(resent_);
}

void SignInView::buildReset() {
  resetTitle_.set_text(text("Reset password"));
  resetSubtitle_.set_text(text("Enter the email for your Orlith account."));
  resetScene_.append(header(resetTitle_, resetSubtitle_));
  resetEmail_.set_placeholder_text(text("name@company.com"));
  resetEmail_.set_input_purpose(Gtk::InputPurpose::EMAIL);
  resetEmail_.set_input_hints(Gtk::InputHints::NO_SPELLCHECK | Gtk::InputHints::LOWERCASE);
  resetRow_ = std::make_unique<AuthInputRow>(text("Email"), resetEmail_);
  resetScene_.append(*resetRow_);
  resetChanged_ =
      resetEmail_.signal_changed().connect([this] { view_->setEmail(resetEmail_.get_text()); });
  resetEmail_.signal_activate().connect([this] { view_->run(&AuthView::sendPasswordReset); });

  resetSent_.setText(text("If an account exists, we've emailed a reset link."));
  resetScene_.append(resetSent_);

  sendResetLabel_ = std::make_unique<AuthPrimaryButtonLabel>(text("Send reset link"), false);
  sendReset_.set_child(*sendResetLabel_);
  AuthFilledButtonStyle::apply(sendReset_);
  sendReset_.signal_clicked().connect([this] { view_->run(&AuthView::sendPasswordReset); });
  resetScene_.append(sendReset_);

  linkButton(backToSignIn_, "Back to sign in");
  backToSignIn_.set_halign(Gtk::Align::CENTER);
  backToSignIn_.signal_clicked().connect(
      [this] { view_->transition(AuthScene::email, EmailAuthMode::signIn, AuthField::email); });
  resetScene_.append(backToSignIn_);
}

void SignInView::scheduleRefresh() {
  if (refreshPending_)
    return;
  refreshPending_ = true;
  // Before the next frame is laid out, so a change is drawn in the frame that follows it.
  refreshIdle_ = Glib::signal_idle().connect(
      [this] {
        if (refreshPending_)
          refresh();
        return false;
      },
      Glib::PRIORITY_HIGH_IDLE);
}

void SignInView::setText(Gtk::Editable& entry, const std::string& value,
                         sigc::connection& handler) {
  if (std::string(entry.get_text()) == value)
    return;
  handler.block();
  entry.set_text(value);
  handler.unblock();
}

void SignInView::refresh() {
  refreshPending_ = false;
  AuthView& view = *view_;
  const AuthScene scene = view.scene();
  const EmailAuthMode mode = view.emailMode();
  const bool busy = view.store().isBusy();
  const char* sceneNames[] = {"welcome", "email", "verifyEmail", "forgotPassword"};
  scenes_.set_visible_child(sceneNames[static_cast<int>(scene)]);
  backRow_.set_visible(scene != AuthScene::welcome);
  const std::string backLabel = text(view.backButtonLabel());
  back_.set_tooltip_text(backLabel);
  gtk_accessible_update_property(GTK_ACCESSIBLE(back_.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 backLabel.c_str(), -1);
  terms_.set_margin_top(scene == AuthScene::welcome ? 22 : 28);

  // Welcome.
  const bool providerBusy = view.providerSignInInProgress();
  const std::pair<AuthSocialButtonLabel*, std::pair<const char*, const char*>> labels[] = {
      {googleLabel_.get(), {"google", "Continue with Google"}},
      {githubLabel_.get(), {"github", "Continue with GitHub"}},
  };
  for (const auto& [label, provider] : labels) {
    AuthView::ProviderButtonLabel shown =
        view.providerButtonLabel(provider.first, text(provider.second));
    label->title().label().set_text(shown.isLoading ? text(shown.title) : shown.title);
    label->setLoading(shown.isLoading);
  }
  google_.set_sensitive(!providerBusy);
  github_.set_sensitive(!providerBusy);
  emailWelcome_.set_sensitive(!providerBusy);

  // E-mail form.
  emailTitle_.set_text(text(view.sceneTitle(AuthScene::email)));
  emailSubtitle_.set_text(text(view.emailSceneSubtitle()));
  modeSwitch_->setSelection(mode);
  nameRow_->set_visible(mode == EmailAuthMode::signUp);
  setText(name_, view.signupName(), nameChanged_);
  setText(email_, view.email(), emailChanged_);
  setText(password_, view.password(), passwordChanged_);
  password_.set_property("placeholder-text", Glib::ustring(text(view.passwordPlaceholder())));
  submitLabel_->title().label().set_text(text(view.emailSubmitTitle()));
  submitLabel_->setLoading(view.isSubmittingEmail());
  submit_.set_sensitive(!view.isEmailSubmitDisabled());
  signInFooter_.set_visible(mode == EmailAuthMode::signIn);
  signUpFooter_.set_visible(mode == EmailAuthMode::signUp);

  // Verify.
  verifySubtitle_.set_text(view.verifySubtitle());
  setText(code_, view.store().signupCode(), codeChanged_);
  verifyLabel_->setLoading(busy);
  verify_.set_sensitive(!view.isVerifyDisabled());
  resent_.set_visible(view.resendConfirmation());

  // Forgot password.
  setText(resetEmail_, view.email(), resetChanged_);
  resetSent_.set_visible(view.resetEmailSent());
  sendResetLabel_->setLoading(view.isSendingReset() || busy);
  sendReset_.set_sensitive(!view.isSendResetDisabled());

  overlay_.setLoading(busy);
  refreshSheets();
}

Gtk::Window* SignInView::toplevel() {
  return dynamic_cast<Gtk::Window*>(get_root());
}

void SignInView::presentOverWindow(Gtk::Window& dialog) {
  if (Gtk::Window* window = toplevel())
    dialog.set_transient_for(*window);
  dialog.present();
}

void SignInView::refreshSheets() {
  const bool sheetWanted = view_->isTwoFactorSheetPresented();
  if (sheetWanted && !sheet_) {
    sheet_ = std::make_unique<TwoFactorChallengeSheet>(
        TwoFactorChallengeView::create(view_->sharedStore(), announcer_),
        [this](const std::string& key) { return text(key); },
        [this] {
          // Any close of the sheet, also one after the store ended the challenge itself.
          view_->twoFactorSheetDismissed();
          destroyLater(std::move(sheet_));
        });
    presentOverWindow(*sheet_);
  } else if (!sheetWanted && sheet_) {
    sheet_->dismiss();
  }

  const bool questionWanted = view_->accountQuestion().has_value();
  if (questionWanted && !accountQuestion_) {
    auto accepted = std::make_shared<bool>(false);
    accountQuestion_ = std::make_unique<SignInAlert>(
        view_->accountQuestionTitle(), text(std::string(AuthView::kAccountQuestionMessage)),
        std::vector<SignInAlert::Button>{{text("Cancel"), nullptr, false},
                                         {text("Continue"),
                                          [this, accepted] {
                                            *accepted = true;
                                            view_->run(&AuthView::acceptAccount);
                                          },
                                          true}},
        text("OK"), [this, accepted] {
          // Cancel, Escape and the window's close button all refuse the account.
          if (!*accepted)
            view_->declineAccount();
          destroyLater(std::move(accountQuestion_));
        });
    presentOverWindow(*accountQuestion_);
  } else if (!questionWanted && accountQuestion_) {
    destroyLater(std::move(accountQuestion_));
  }

  const bool alertWanted = view_->isAlertPresented() && !sheet_ && !accountQuestion_;
  if (alertWanted && !alert_) {
    alert_ = std::make_unique<SignInAlert>(text("Something went wrong"), view_->alertMessage(),
                                           std::vector<SignInAlert::Button>{}, text("OK"), [this] {
                                             view_->alertDismissed();
                                             destroyLater(std::move(alert_));
                                           });
    presentOverWindow(*alert_);
  } else if (alertWanted && alert_) {
    alert_->messageLabel().set_text(view_->alertMessage());
  } else if (!view_->isAlertPresented() && alert_) {
    destroyLater(std::move(alert_));
  }
}

void SignInView::focusField(AuthField field) {
  // The field must be shown before it can take the focus.
  if (refreshPending_)
    refresh();
  switch (field) {
    case AuthField::name:
      name_.grab_focus();
      break;
    case AuthField::email:
      if (view_->scene() == AuthScene::forgotPassword)
        resetEmail_.grab_focus();
      else
        email_.grab_focus();
      break;
    case AuthField::password:
      password_.grab_focus();
      break;
    case AuthField::code:
      code_.grab_focus();
      break;
  }
}

}  // namespace orlith
