#include "signin/AuthView.h"

#include <glib.h>

#include "base/MainQueue.h"
#include "base/Text.h"
#include "platform/icu/UnicodeText.h"
#include "session/DeepLinks.h"
#include "signin/TermsNotice.h"

namespace orlith {

namespace {

constexpr const char* kCouldNotOpenMessage = "Could not open sign-in. Please try again.";
constexpr const char* kInvalidSessionMessage = "Sign-in did not return a valid Orlith session.";

// Clears a flag however the awaiting coroutine leaves its scope.
class FlagReset {
 public:
  explicit FlagReset(bool& flag, std::function<void()> after) : flag_(flag), after_(after) {}
  ~FlagReset() {
    flag_ = false;
    after_();
  }
  FlagReset(const FlagReset&) = delete;
  FlagReset& operator=(const FlagReset&) = delete;

 private:
  bool& flag_;
  std::function<void()> after_;
};

Task<void> runHeld(std::shared_ptr<AuthView> view, AuthView::Operation operation) {
  co_await (view.get()->*operation)();
}

Task<void> runProviderStart(std::shared_ptr<AuthView> view, std::string provider) {
  co_await view->startProviderSignIn(std::move(provider));
}

Task<void> runProviderFinish(std::shared_ptr<AuthView> view, std::optional<Url> url,
                             std::optional<WebAuthError> error, AuthStore::Ticket ticket) {
  co_await view->finishProviderSignIn(std::move(url), std::move(error), std::move(ticket));
}

}  // namespace

std::shared_ptr<AuthView> AuthView::create(Dependencies dependencies) {
  std::shared_ptr<AuthView> view(new AuthView(std::move(dependencies)));
  view->attach();
  return view;
}

AuthView::AuthView(Dependencies dependencies)
    : store_(std::move(dependencies.store)),
      scheduler_(dependencies.scheduler),
      announcer_(dependencies.announcer),
      webAuth_(dependencies.webAuth),
      presentationProvider_(dependencies.windows),
      localize_(std::move(dependencies.localize)) {}

AuthView::~AuthView() {
  storeConnection_.disconnect();
  // Destroying the session cancels it: its completion never comes.
  endProviderAttempt(std::nullopt);
}

void AuthView::attach() {
  lastChallengeId_ = store_->signupChallengeId();
  std::weak_ptr<AuthView> weak = weak_from_this();
  storeChange_ = std::make_unique<CoalescedCallback>([weak] {
    if (std::shared_ptr<AuthView> view = weak.lock())
      view->storeChanged();
  });
  storeConnection_ = store_->changed().connect([this](SessionField) { storeChange_->schedule(); });
}

void AuthView::storeChanged() {
  std::optional<std::string> challenge = store_->signupChallengeId();
  if (challenge != lastChallengeId_) {
    lastChallengeId_ = challenge;
    if (challenge) {
      if (scene_ != AuthScene::verifyEmail)
        announce("Check your email");
      scene_ = AuthScene::verifyEmail;
      // The verify scene takes the focus to its code field when shown.
      setFocusNow(AuthField::code);
    }
  }
  emitChanged();
}

std::size_t AuthView::graphemes(std::string_view text) {
  // Text from the entries is UTF-8; anything else is counted by bytes rather than refused.
  return graphemeClusterCount(text).value_or(text.size());
}

bool AuthView::providerSignInInProgress() const {
  return isStartingProvider_.has_value() || webAuthSession_ != nullptr;
}

std::string AuthView::sceneTitle(AuthScene scene, EmailAuthMode mode) {
  switch (scene) {
    case AuthScene::welcome:
      return "Sign in to Orlith";
    case AuthScene::email:
      return mode == EmailAuthMode::signIn ? "Sign in" : "Create account";
    case AuthScene::verifyEmail:
      return "Check your email";
    case AuthScene::forgotPassword:
      return "Reset password";
  }
  return {};
}

std::string AuthView::emailSceneSubtitle() const {
  return emailMode_ == EmailAuthMode::signIn ? "Use your Orlith email." : "Use a verified email.";
}

std::string AuthView::emailSubmitTitle() const {
  return emailMode_ == EmailAuthMode::signIn ? "Sign in" : "Send verification code";
}

std::string AuthView::passwordPlaceholder() const {
  return emailMode_ == EmailAuthMode::signIn ? "Password" : "At least 8 characters";
}

std::string AuthView::verifySubtitle() const {
  return formatTemplate(localize_("Enter the 6-digit code sent to %@."), email_);
}

std::string AuthView::backButtonLabel() const {
  return scene_ == AuthScene::email ? "Back to sign-in options" : "Back to sign in";
}

AuthView::ProviderButtonLabel AuthView::providerButtonLabel(std::string_view provider,
                                                            std::string title) const {
  if (isStartingProvider_ && *isStartingProvider_ == provider)
    return {"Opening…", true};
  return {std::move(title), false};
}

std::string AuthView::termsNoticeMarkup() const {
  const OrlithEnvironment& environment = store_->environment();
  const std::string markdown =
      formatTemplate(localize_(std::string(kTermsNoticeKey)), environment.originString());
  return orlith::termsNoticeMarkup(markdown, environment.hosts().host);
}

bool AuthView::isEmailSubmitDisabled() const {
  if (store_->isBusy() || isSubmittingEmail_)
    return true;
  if (emailMode_ == EmailAuthMode::signUp) {
    if (graphemes(trimWhitespaceAndNewlines(signupName_)) < 2)
      return true;
    if (email_.find('@') == std::string::npos)
      return true;
    return graphemes(password_) < 8;
  }
  if (trimWhitespaceAndNewlines(email_).empty())
    return true;
  return password_.empty();
}

bool AuthView::isVerifyDisabled() const {
  return graphemes(store_->signupCode()) != kSignupCodeLength || store_->isBusy();
}

bool AuthView::isSendResetDisabled() const {
  return email_.find('@') == std::string::npos || isSendingReset_ || store_->isBusy();
}

std::string AuthView::alertMessage() const {
  if (std::optional<std::string> message = store_->errorMessage())
    return *message;
  return localize_("Please try again.");
}

void AuthView::alertDismissed() {
  if (store_->showingError())
    store_->setShowingError(false);
}

void AuthView::twoFactorSheetDismissed() {
  store_->cancelTwoFactor();
}

void AuthView::setEmail(std::string text) {
  if (text == email_)
    return;
  email_ = std::move(text);
  emitChanged();
}

void AuthView::setPassword(std::string text) {
  if (text == password_)
    return;
  password_ = std::move(text);
  emitChanged();
}

void AuthView::setSignupName(std::string text) {
  if (text == signupName_)
    return;
  signupName_ = std::move(text);
  emitChanged();
}

std::string AuthView::filteredVerificationCode(std::string_view typed) {
  std::string digits;
  std::size_t kept = 0;
  const char* at = typed.data();
  const char* const end = typed.data() + typed.size();
  while (at < end && kept < kSignupCodeLength) {
    const gunichar character = g_utf8_get_char_validated(at, static_cast<gssize>(end - at));
    if (character == static_cast<gunichar>(-1) || character == static_cast<gunichar>(-2)) {
      ++at;  // not UTF-8: dropped like any other non-digit
      continue;
    }
    // Only decimal digits (Nd) can be typed back as the e-mailed code; other numerals can
    // never verify.
    if (g_unichar_isdigit(character)) {
      digits += static_cast<char>('0' + g_unichar_digit_value(character));
      ++kept;
    }
    at = g_utf8_next_char(at);
  }
  return digits;
}

std::string AuthView::filterVerificationCode(std::string_view typed) {
  std::string filtered = filteredVerificationCode(typed);
  store_->setSignupCode(filtered);
  if (resendConfirmation_) {
    resendConfirmation_ = false;
    emitChanged();
  }
  return filtered;
}

void AuthView::transition(AuthScene scene, std::optional<EmailAuthMode> mode,
                          std::optional<AuthField> focus) {
  setFocusNow(std::nullopt);
  resetEmailSent_ = false;
  resendConfirmation_ = false;
  if (mode)
    emailMode_ = *mode;
  scene_ = scene;
  announce(sceneTitle(scene));
  if (focus) {
    std::weak_ptr<AuthView> weak = weak_from_this();
    focusTimer_ = scheduler_.scheduleAfter(kFocusDelay, [weak, field = *focus] {
      if (std::shared_ptr<AuthView> view = weak.lock())
        view->setFocusNow(field);
    });
  }
  emitChanged();
}

void AuthView::selectEmailMode(EmailAuthMode mode) {
  emailMode_ = mode;
  emitChanged();
  setFocusNow(mode == EmailAuthMode::signUp ? AuthField::name : AuthField::email);
}

void AuthView::switchToSignIn() {
  emailMode_ = EmailAuthMode::signIn;
  emitChanged();
  setFocusNow(AuthField::email);
}

void AuthView::focus(AuthField field) {
  setFocusNow(field);
}

void AuthView::setFocusNow(std::optional<AuthField> field) {
  focusTimer_.cancel();
  focusedField_ = field;
  if (field)
    focusRequested_.emit(*field);
}

void AuthView::changeSignupEmail() {
  store_->clearSignupChallenge();
  transition(AuthScene::email, EmailAuthMode::signUp, AuthField::email);
}

void AuthView::navigateBack() {
  transition(scene_ == AuthScene::email ? AuthScene::welcome : AuthScene::email, std::nullopt,
             std::nullopt);
}

void AuthView::announce(std::string key) {
  MainQueue::shared().post([weak = weak_from_this(), key = std::move(key)] {
    if (std::shared_ptr<AuthView> view = weak.lock())
      view->announcer_.announce(view->localize_(key));
  });
}

Task<void> AuthView::submitEmail() {
  if (isEmailSubmitDisabled())
    co_return;
  isSubmittingEmail_ = true;
  emitChanged();
  FlagReset reset(isSubmittingEmail_, [this] { emitChanged(); });
  if (emailMode_ == EmailAuthMode::signIn) {
    co_await store_->submitEmailSignIn(email_, password_);
  } else {
    // The move to the verify scene follows the store's challenge, not this result.
    co_await store_->requestSignupCode(BusyIndicator::shown, signupName_, email_, password_);
  }
}

Task<void> AuthView::verifySignupCode() {
  co_await store_->submitSignupCode();
}

Task<void> AuthView::resendSignupCode() {
  const bool sent =
      co_await store_->requestSignupCode(BusyIndicator::shown, signupName_, email_, password_);
  if (!sent)
    co_return;
  resendConfirmation_ = true;
  emitChanged();
  announce("A new code is on its way.");
}

Task<void> AuthView::sendPasswordReset() {
  if (email_.find('@') == std::string::npos || isSendingReset_)
    co_return;
  isSendingReset_ = true;
  emitChanged();
  FlagReset reset(isSendingReset_, [this] { emitChanged(); });
  resetEmailSent_ = co_await store_->requestPasswordReset(BusyIndicator::hidden, email_);
  if (resetEmailSent_)
    announce("If an account exists, we've emailed a reset link.");
}

Task<void> AuthView::startProviderSignIn(std::string provider) {
  if (closed_ || providerSignInInProgress())
    co_return;
  isStartingProvider_ = provider;
  emitChanged();

  std::optional<AuthStore::ProviderStart> start =
      co_await store_->startProviderSignIn(BusyIndicator::hidden, provider);
  if (start && closed_) {
    // The window went away meanwhile: nothing is opened for it.
    store_->finishProviderAttempt(start->ticket);
    start.reset();
  }
  if (!start) {
    isStartingProvider_.reset();
    emitChanged();
    co_return;
  }
  // The store checks the start address too; this keeps a plain-http page out whatever it said.
  if (start->url.scheme() != "https") {
    providerFailed(start->ticket);
    co_return;
  }

  const std::uint64_t generation = ++webAuthGeneration_;
  std::weak_ptr<AuthView> weak = weak_from_this();
  webAuthSession_ = webAuth_.makeSession(
      start->url, std::string(kCallbackScheme), presentationProvider_.presentationAnchor(),
      [weak, generation, ticket = start->ticket](std::optional<Url> url,
                                                 std::optional<WebAuthError> error) {
        std::shared_ptr<AuthView> view = weak.lock();
        if (!view || view->webAuthGeneration_ != generation)
          return;
        startDetached(runProviderFinish(view, std::move(url), std::move(error), ticket));
      });
  emitChanged();
  if (!webAuthSession_->start()) {
    webAuthSession_.reset();
    providerFailed(start->ticket);
    co_return;
  }
  providerTicket_ = start->ticket;
  provider_ = std::move(provider);
  // Time asleep counts: a sign-in left waiting overnight has expired by the morning.
  providerExpiry_ = scheduler_.scheduleAfter(
      kProviderAttemptLifetime,
      [weak, ticket = start->ticket] {
        if (std::shared_ptr<AuthView> view = weak.lock())
          view->providerAttemptExpired(ticket);
      },
      TimerClock::continuous);
}

void AuthView::providerFailed(const AuthStore::Ticket& ticket) {
  store_->finishProviderAttempt(ticket);
  store_->presentError(localize_(kCouldNotOpenMessage));
  isStartingProvider_.reset();
  emitChanged();
}

bool AuthView::isAttemptOpen(const AuthStore::Ticket& ticket) const {
  return !closed_ && providerTicket_ == ticket && store_->isProviderAttemptCurrent(ticket);
}

void AuthView::dropProviderSession() {
  ++webAuthGeneration_;
  webAuthSession_.reset();
  isStartingProvider_.reset();
  providerTicket_.reset();
  queuedCallbacks_.clear();
  providerExpiry_.cancel();
}

void AuthView::endProviderAttempt(std::optional<std::string> message) {
  if (std::optional<AuthStore::ProviderHandoff> asked = std::exchange(accountQuestion_, {}))
    store_->declineProviderHandoff(*asked);
  std::optional<AuthStore::Ticket> ticket = providerTicket_;
  dropProviderSession();
  if (message)
    store_->presentError(std::move(*message));
  if (ticket)
    store_->finishProviderAttempt(*ticket);
}

void AuthView::providerAttemptExpired(const AuthStore::Ticket& ticket) {
  if (providerTicket_ != ticket)
    return;
  endProviderAttempt(localize_(kTwoFactorExpiredMessage));
  emitChanged();
}

void AuthView::close() {
  if (closed_)
    return;
  closed_ = true;
  focusTimer_.cancel();
  endProviderAttempt(std::nullopt);
  emitChanged();
}

Task<void> AuthView::finishProviderSignIn(std::optional<Url> callbackUrl,
                                          std::optional<WebAuthError> error,
                                          AuthStore::Ticket ticket) {
  // The attempt ended meanwhile (a newer sign-in, a sign-out): the store is left alone, but
  // the view's own waiting state goes, so its buttons do not stay disabled.
  if (!isAttemptOpen(ticket)) {
    if (providerTicket_ == ticket) {
      if (std::optional<AuthStore::ProviderHandoff> asked = std::exchange(accountQuestion_, {}))
        store_->declineProviderHandoff(*asked);
      dropProviderSession();
      emitChanged();
    }
    co_return;
  }
  if (error) {
    endProviderAttempt(error->kind == WebAuthError::Kind::cancelled
                           ? std::nullopt
                           : std::optional<std::string>(error->message));
    emitChanged();
    co_return;
  }
  // One link at a time: the next waits until the person has answered about this one.
  if (handlingCallback_ || accountQuestion_) {
    if (callbackUrl)
      queuedCallbacks_.push_back(std::move(*callbackUrl));
    co_return;
  }
  std::optional<NativeAuthCallback> callback =
      callbackUrl ? nativeAuthCallbackToken(*callbackUrl) : std::nullopt;
  if (!callback) {
    endProviderAttempt(localize_(kInvalidSessionMessage));
    emitChanged();
    co_return;
  }
  if (callback->isPending) {
    dropProviderSession();
    emitChanged();
    store_->beginProviderTwoFactor(callback->value, ticket);
    store_->finishProviderAttempt(ticket);
    co_return;
  }
  co_await handleHandoff(std::move(callback->value), std::move(ticket));
}

Task<void> AuthView::handleHandoff(std::string token, AuthStore::Ticket ticket) {
  handlingCallback_ = true;
  isStartingProvider_.reset();
  emitChanged();
  std::optional<AuthStore::ProviderHandoff> handoff =
      co_await store_->consumeProviderHandoff(std::move(token), ticket);
  handlingCallback_ = false;
  if (!isAttemptOpen(ticket)) {
    if (handoff)
      store_->declineProviderHandoff(*handoff);
    if (providerTicket_ == ticket)
      dropProviderSession();
    emitChanged();
    co_return;
  }
  if (!handoff) {
    // The store has said why.
    endProviderAttempt(std::nullopt);
    emitChanged();
    co_return;
  }
  if (!handoff->email || handoff->email->empty()) {
    // An account that cannot be named cannot be agreed to.
    store_->declineProviderHandoff(*handoff);
    endProviderAttempt(localize_(kInvalidSessionMessage));
    emitChanged();
    co_return;
  }
  accountQuestion_ = std::move(handoff);
  emitChanged();
}

std::optional<std::string> AuthView::accountQuestion() const {
  if (!accountQuestion_)
    return std::nullopt;
  return accountQuestion_->email;
}

std::string AuthView::accountQuestionTitle() const {
  return formatTemplate(localize_(std::string(kAccountQuestionTitle)),
                        accountQuestion().value_or(""));
}

Task<void> AuthView::acceptAccount() {
  if (!accountQuestion_ || !providerTicket_)
    co_return;
  AuthStore::ProviderHandoff handoff = *std::exchange(accountQuestion_, {});
  const AuthStore::Ticket ticket = *providerTicket_;
  // Links still queued are someone else's, or the person's own for this same account.
  dropProviderSession();
  emitChanged();
  co_await store_->acceptProviderHandoff(std::move(handoff), ticket);
  store_->finishProviderAttempt(ticket);
}

void AuthView::declineAccount() {
  if (!accountQuestion_)
    return;
  store_->declineProviderHandoff(*std::exchange(accountQuestion_, {}));
  emitChanged();
  if (!providerTicket_ || !webAuthSession_)
    return;
  if (!queuedCallbacks_.empty()) {
    Url next = std::move(queuedCallbacks_.front());
    queuedCallbacks_.pop_front();
    startDetached(
        runProviderFinish(shared_from_this(), std::move(next), std::nullopt, *providerTicket_));
    return;
  }
  isStartingProvider_ = provider_;
  webAuthSession_->resumeWaiting();
  emitChanged();
}

void AuthView::run(Operation operation) {
  startDetached(runHeld(shared_from_this(), operation));
}

void AuthView::runStartProviderSignIn(std::string provider) {
  startDetached(runProviderStart(shared_from_this(), std::move(provider)));
}

}  // namespace orlith
