// The sign-in view's state and operations: its four scenes, the e-mail form's mode and fields,
// validation, the sign-up code, password reset, provider sign-in and the two-factor hand-off.
// Widgets bind to it and draw what it holds; every account operation goes to the store.
// Main thread only. Tasks hold the view by shared_ptr, so one may outlive the widgets.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <sigc++/sigc++.h>

#include "base/Observable.h"
#include "base/Scheduler.h"
#include "base/Task.h"
#include "signin/Announcer.h"
#include "signin/AuthPresentationProvider.h"
#include "signin/AuthScene.h"
#include "signin/AuthStore.h"
#include "signin/EmailAuthMode.h"
#include "signin/WebAuthSession.h"

namespace orlith {

class AuthView : public std::enable_shared_from_this<AuthView> {
 public:
  // The English text is the key; the result is the text in the view's language.
  using Localizer = std::function<std::string(const std::string& key)>;

  struct Dependencies {
    std::shared_ptr<AuthStore> store;
    Scheduler& scheduler;
    Announcer& announcer;
    WebAuthSessionFactory& webAuth;
    const AuthPresentationProvider::Windows& windows;
    Localizer localize;
  };

  struct ProviderButtonLabel {
    std::string title;
    bool isLoading = false;
    bool operator==(const ProviderButtonLabel&) const = default;
  };

  static constexpr std::chrono::milliseconds kFocusDelay{50};
  static constexpr std::size_t kSignupCodeLength = 6;
  static constexpr std::string_view kCallbackScheme = "orlith";
  static constexpr std::string_view kAccountQuestionTitle = "Sign in as %@?";
  static constexpr std::string_view kAccountQuestionMessage =
      "Continue only if this is the account you chose in your browser.";
  // How long a provider attempt waits in the browser for its callback.
  static constexpr std::chrono::minutes kProviderAttemptLifetime{10};

  static std::shared_ptr<AuthView> create(Dependencies dependencies);
  AuthView(const AuthView&) = delete;
  AuthView& operator=(const AuthView&) = delete;
  ~AuthView();

  // Any change the widgets draw, the view's own or the store's (coalesced to one per turn).
  sigc::signal<void()>& changed() { return changed_; }
  // A field should take the keyboard focus.
  sigc::signal<void(AuthField)>& focusRequested() { return focusRequested_; }

  AuthScene scene() const { return scene_; }
  EmailAuthMode emailMode() const { return emailMode_; }
  const std::string& email() const { return email_; }
  const std::string& password() const { return password_; }
  const std::string& signupName() const { return signupName_; }
  std::optional<AuthField> focusedField() const { return focusedField_; }
  bool resetEmailSent() const { return resetEmailSent_; }
  bool resendConfirmation() const { return resendConfirmation_; }
  const std::optional<std::string>& isStartingProvider() const { return isStartingProvider_; }
  bool isSubmittingEmail() const { return isSubmittingEmail_; }
  bool isSendingReset() const { return isSendingReset_; }
  bool hasWebAuthSession() const { return webAuthSession_ != nullptr; }
  bool providerSignInInProgress() const;
  // The account of a consumed hand-off, asked about before anything of it is kept: any program
  // can send the app a callback link, so only the person can tell their own account.
  std::optional<std::string> accountQuestion() const;
  // The question's title, localized and naming the account.
  std::string accountQuestionTitle() const;
  AuthStore& store() const { return *store_; }
  const std::shared_ptr<AuthStore>& sharedStore() const { return store_; }
  std::string localize(const std::string& key) const { return localize_(key); }

  // Texts (keys unless said otherwise).
  static std::string sceneTitle(AuthScene scene, EmailAuthMode mode);
  std::string sceneTitle(AuthScene scene) const { return sceneTitle(scene, emailMode_); }
  // The e-mail scene's subtitle key.
  std::string emailSceneSubtitle() const;
  std::string emailSubmitTitle() const;
  std::string passwordPlaceholder() const;
  // The verify scene's subtitle, localized and formatted with the typed e-mail.
  std::string verifySubtitle() const;
  std::string backButtonLabel() const;
  ProviderButtonLabel providerButtonLabel(std::string_view provider, std::string title) const;
  // The terms line as Pango markup, localized.
  std::string termsNoticeMarkup() const;

  // Guards.
  bool isEmailSubmitDisabled() const;
  bool isVerifyDisabled() const;
  bool isSendResetDisabled() const;

  // The alert and the two-factor sheet follow the store.
  bool isAlertPresented() const { return store_->showingError(); }
  // The store's message verbatim, or the localized "Please try again.".
  std::string alertMessage() const;
  void alertDismissed();
  bool isTwoFactorSheetPresented() const { return store_->pendingTwoFactorToken().has_value(); }
  // Any close of the sheet from the user's side.
  void twoFactorSheetDismissed();

  // Edits.
  void setEmail(std::string text);
  void setPassword(std::string text);
  void setSignupName(std::string text);
  // The code field's setter: keeps decimal digits of any script as ASCII, at most six, writes
  // the store and returns what the field should show.
  std::string filterVerificationCode(std::string_view typed);
  static std::string filteredVerificationCode(std::string_view typed);

  // Scene moves.
  void transition(AuthScene scene, std::optional<EmailAuthMode> mode,
                  std::optional<AuthField> focus);
  void selectEmailMode(EmailAuthMode mode);
  void switchToSignIn();
  void focus(AuthField field);
  void changeSignupEmail();
  void navigateBack();

  // Account operations; each awaited operation may outlive the widgets.
  Task<void> submitEmail();
  Task<void> verifySignupCode();
  Task<void> resendSignupCode();
  Task<void> sendPasswordReset();
  Task<void> startProviderSignIn(std::string provider);
  Task<void> finishProviderSignIn(std::optional<Url> callbackUrl, std::optional<WebAuthError> error,
                                  AuthStore::Ticket ticket);

  // The person's answer to the account question. Continue enters that account; Cancel ends its
  // session at the service and waits on for the person's own callback.
  Task<void> acceptAccount();
  void declineAccount();

  // The window or its sign-in view went away: its provider attempt ends with it, and a start
  // that comes back afterwards opens nothing.
  void close();

  // Starts one of the operations above as a detached main-thread task that holds the view.
  using Operation = Task<void> (AuthView::*)();
  void run(Operation operation);
  void runStartProviderSignIn(std::string provider);

 private:
  explicit AuthView(Dependencies dependencies);
  void attach();
  void storeChanged();
  void announce(std::string key);
  void emitChanged() { changed_.emit(); }
  void setFocusNow(std::optional<AuthField> field);
  // User-perceived characters.
  static std::size_t graphemes(std::string_view text);
  void providerFailed(const AuthStore::Ticket& ticket);
  Task<void> handleHandoff(std::string token, AuthStore::Ticket ticket);
  bool isAttemptOpen(const AuthStore::Ticket& ticket) const;
  // Forgets the view's side of the attempt: its session, queued links and expiry.
  void dropProviderSession();
  // Ends the attempt in the store too, refusing an account still asked about; the message, if
  // any, is presented before.
  void endProviderAttempt(std::optional<std::string> message);
  void providerAttemptExpired(const AuthStore::Ticket& ticket);

  std::shared_ptr<AuthStore> store_;
  Scheduler& scheduler_;
  Announcer& announcer_;
  WebAuthSessionFactory& webAuth_;
  AuthPresentationProvider presentationProvider_;
  Localizer localize_;

  std::optional<AuthField> focusedField_;
  AuthScene scene_ = AuthScene::welcome;
  EmailAuthMode emailMode_ = EmailAuthMode::signIn;
  std::string email_;
  std::string password_;
  std::string signupName_;
  bool resetEmailSent_ = false;
  bool resendConfirmation_ = false;
  std::optional<std::string> isStartingProvider_;
  bool isSubmittingEmail_ = false;
  bool isSendingReset_ = false;
  std::unique_ptr<WebAuthSession> webAuthSession_;
  // Tells the completion of the session held now from that of an earlier one.
  std::uint64_t webAuthGeneration_ = 0;
  // The attempt whose session is open: its ticket and provider, the links that came while one
  // was being handled, the hand-off asked about, and its expiry.
  std::optional<AuthStore::Ticket> providerTicket_;
  std::string provider_;
  std::deque<Url> queuedCallbacks_;
  bool handlingCallback_ = false;
  std::optional<AuthStore::ProviderHandoff> accountQuestion_;
  TimerHandle providerExpiry_;
  bool closed_ = false;

  TimerHandle focusTimer_;
  std::optional<std::string> lastChallengeId_;
  sigc::connection storeConnection_;
  std::unique_ptr<CoalescedCallback> storeChange_;
  sigc::signal<void()> changed_;
  sigc::signal<void(AuthField)> focusRequested_;
};

}  // namespace orlith
