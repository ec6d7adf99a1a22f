// The session store: state changes, the operation frame, sign-in completion, the cookie
// reconciliation, recovery, the local clear and sign-out.
#include "session/SessionStore.h"

#include <span>
#include <utility>

#include "base/Cancellation.h"
#include "base/Text.h"
#include "session/OrlithWire.h"
#include "session/SessionCookiePolicy.h"

namespace orlith {
namespace {

constexpr std::span<const std::string_view> kSessionNames(wire::kSessionCookieNames);
constexpr const char* kProviderMode = "signup";

std::size_t codePointCount(std::string_view utf8) {
  std::size_t count = 0;
  for (char byte : utf8) {
    if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80)
      ++count;
  }
  return count;
}

}  // namespace

std::shared_ptr<SessionStore> SessionStore::create(Dependencies dependencies) {
  return std::shared_ptr<SessionStore>(new SessionStore(std::move(dependencies)));
}

SessionStore::SessionStore(Dependencies dependencies)
    : environment_(std::move(dependencies.environment)),
      transport_(std::move(dependencies.transport)),
      identity_(std::move(dependencies.identity)),
      clock_(std::move(dependencies.clock)),
      vault_(std::move(dependencies.vault)),
      cookieCoordinator_(std::move(dependencies.cookieCoordinator)),
      webCookies_(std::move(dependencies.webCookies)),
      ids_(std::move(dependencies.ids)),
      client_(makeClient()) {}

SessionStore::~SessionStore() = default;

template <class T>
void SessionStore::publish(T& field, T value, SessionField name) {
  if (field == value)
    return;
  field = std::move(value);
  changed_.emit(name);
}

void SessionStore::setSignupCode(std::string code) {
  publish(signupCode_, std::move(code), SessionField::signupCode);
}

void SessionStore::setShowingError(bool showing) {
  publish(showingError_, showing, SessionField::showingError);
}

void SessionStore::clearSignupChallenge() {
  signupEmail_.reset();
  publish(signupChallengeId_, std::optional<std::string>(), SessionField::signupChallengeId);
  publish(signupCode_, std::string(), SessionField::signupCode);
}

void SessionStore::clearTwoFactorError() {
  publish(twoFactorError_, std::optional<std::string>(), SessionField::twoFactorError);
}

bool SessionStore::isProviderAttemptCurrent(const ProviderSignInGate::Ticket& ticket) const {
  return providerAttempts_.isCurrent(ticket);
}

bool SessionStore::finishProviderAttempt(const ProviderSignInGate::Ticket& ticket) {
  return providerAttempts_.finish(ticket);
}

std::unique_ptr<OrlithAuthClient> SessionStore::makeClient() const {
  return std::make_unique<OrlithAuthClient>(environment_, transport_, identity_, clock_);
}

std::string SessionStore::originHost() const {
  return environment_.origin().lowercasedHost().value_or(environment_.hosts().host);
}

// Launch restore and entering a session.

void SessionStore::prefetchStoredSession() {
  vault_->prefetch();
}

Task<void> SessionStore::restoreStoredSession() {
  std::shared_ptr<SessionStore> self = shared_from_this();
  const std::int64_t revision = sessionRevision_;
  std::shared_ptr<SessionVault> vault = vault_;
  Task<SessionVaultLoadResult> loading = vault->load();
  SessionVaultLoadResult result = co_await std::move(loading);
  // A session entered or ended while the keyring was read is newer than what it held.
  if (revision != sessionRevision_)
    co_return;
  switch (result.kind) {
    case SessionVaultLoadResult::Kind::value: {
      StoredSession session = std::move(*result.session);
      // An expired cookie is still entered: the service decides on the first request, and the
      // page's 401 starts a recovery.
      if (!session.isUsable(clock_->wallNow()))
        session.cookie.expiresAt.reset();
      activate(std::move(session));
      break;
    }
    case SessionVaultLoadResult::Kind::missing:
      publish(currentSession_, std::optional<StoredSession>(), SessionField::currentSession);
      publish(state_, SessionState::unauthenticated(), SessionField::state);
      break;
    case SessionVaultLoadResult::Kind::unavailable:
    case SessionVaultLoadResult::Kind::corrupt:
      publish(currentSession_, std::optional<StoredSession>(), SessionField::currentSession);
      publish(state_, SessionState::recoveryUnavailable(), SessionField::state);
      break;
  }
}

void SessionStore::activate(StoredSession session) {
  publish(sessionRevision_, sessionRevision_ + 1, SessionField::sessionRevision);
  authOperations_.disownAll();
  providerAttempts_.abandon();
  publish(isBusy_, false, SessionField::isBusy);
  setPendingTwoFactor(std::nullopt, std::nullopt);
  publish(twoFactorError_, std::optional<std::string>(), SessionField::twoFactorError);
  std::optional<std::string> email = session.email;
  publish(currentSession_, std::optional<StoredSession>(std::move(session)),
          SessionField::currentSession);
  publish(state_, SessionState::authenticated(std::move(email)), SessionField::state);
  startCookieWatcher();
}

void SessionStore::setPendingTwoFactor(std::optional<std::string> token,
                                       std::optional<std::string> email) {
  pendingTwoFactorEmail_ = token ? std::move(email) : std::nullopt;
  publish(pendingTwoFactorToken_, std::move(token), SessionField::pendingTwoFactorToken);
}

// The cookie reconciliation. The keyring's copy of the session cookie and the web views' copy
// are brought to the newer of the two, and only ever within one session:
//  - a report is dropped unless a session is current and the revision it was read under is
//    still the current one, so a cookie of an earlier or later session is never adopted;
//  - the web views only ever hold a newer copy than the keyring (the page refreshes it, and the
//    store itself installs every copy it saves), so the web copy is adopted when its value
//    differs, when only one side has an expiry, or when the expiries are more than 60 s apart;
//  - a web store without the cookie changes nothing: the page's next request fails and starts a
//    recovery, which decides with the service;
//  - adopting publishes the session and saves it; a failed save keeps the session in memory,
//    and the revision stays, as this is the same session.
void SessionStore::startCookieWatcher() {
  if (cookieWatcher_)
    cookieWatcher_->stop();
  cookieWatcher_.reset();
  std::weak_ptr<SessionStore> weak = weak_from_this();
  const std::int64_t revision = sessionRevision_;
  SessionCookieWatcher::Handler handler = [weak, revision](const std::vector<HttpCookie>& cookies) {
    if (std::shared_ptr<SessionStore> self = weak.lock())
      self->reconcileCookies(revision, cookies);
  };
  cookieWatcher_ = std::make_unique<SessionCookieWatcher>(webCookies_, std::move(handler));
}

void SessionStore::reconcileCookies(std::int64_t revision, const std::vector<HttpCookie>& cookies) {
  if (!currentSession_ || revision != sessionRevision_)
    return;
  const SessionCookieSyncDecision decision = decideSessionCookieSync(
      currentSession_->cookie, cookies, environment_.hosts(), clock_->wallNow());
  if (decision.kind != SessionCookieSyncDecision::Kind::adopt)
    return;
  StoredSession adopted = *currentSession_;
  adopted.cookie = applySessionCookieSync(std::move(adopted.cookie), decision);
  publish(currentSession_, std::optional<StoredSession>(adopted), SessionField::currentSession);
  startDetached(saveForRevision(std::move(adopted), revision));
}

Task<void> SessionStore::saveForRevision(StoredSession session, std::int64_t revision) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  std::shared_ptr<SessionVault> vault = vault_;
  Task<bool> saving = vault->save(std::move(session));
  // A failed save keeps the session in memory; the next change or sign-in saves again.
  co_await std::move(saving);
  if (revision != sessionRevision_)
    repairKeyringAfterStaleSave();
}

// A save that ended after its session did has just put an older session into the keyring, and
// cleared the sign-out flag: write back what is current.
void SessionStore::repairKeyringAfterStaleSave() {
  if (currentSession_) {
    std::shared_ptr<SessionVault> vault = vault_;
    startDetached([](std::shared_ptr<SessionVault> target, StoredSession session) -> Task<void> {
      Task<bool> saving = target->save(std::move(session));
      co_await std::move(saving);
    }(vault, *currentSession_));
  } else {
    vault_->markSignedOut();
    startDetached(vault_->forget());
  }
}

// The operation frame.

std::optional<SessionStore::Frame> SessionStore::beginOperation(BusyIndicator busy) {
  std::optional<SessionOperationGate::Ticket> ticket = authOperations_.begin(*ids_);
  if (!ticket)
    return std::nullopt;
  if (busy == BusyIndicator::shown)
    publish(isBusy_, true, SessionField::isBusy);
  return Frame{std::move(*ticket), busy, nullptr};
}

Task<bool> SessionStore::prepareOperation(Frame& frame) {
  if (sessionCleanup_.valid()) {
    SharedTask<void> cleanup = sessionCleanup_;
    co_await cleanup;
  }
  if (cookieCleanupDue_ && environment_.origin().host()) {
    SharedTask<void> cleanup(runCleanup(sessionCleanup_));
    sessionCleanup_ = cleanup;
    co_await cleanup;
  }
  if (!isCurrent(frame))
    co_return false;
  frame.client = makeClient();
  co_return true;
}

void SessionStore::endOperation(const Frame& frame) {
  if (!isCurrent(frame))
    return;
  authOperations_.end(frame.ticket);
  if (frame.busy == BusyIndicator::shown)
    publish(isBusy_, false, SessionField::isBusy);
}

void SessionStore::failOperation(const Frame& frame, std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const OrlithAuthError& authError) {
    if (isCurrent(frame) && !authError.is<OrlithAuthError::Cancelled>())
      presentError(authError.failureMessage());
  } catch (const TaskCancelled&) {
    // Cancelled work ends without a word.
  } catch (const std::exception& other) {
    if (isCurrent(frame))
      presentError(other.what());
  }
}

void SessionStore::presentError(std::string message) {
  if (pendingTwoFactorToken_) {
    publish(twoFactorError_, std::optional<std::string>(std::move(message)),
            SessionField::twoFactorError);
    return;
  }
  publish(errorMessage_, std::optional<std::string>(std::move(message)),
          SessionField::errorMessage);
  publish(showingError_, true, SessionField::showingError);
}

// Sign-in completion.

Task<void> SessionStore::completeSignIn(const Frame& frame, std::optional<std::string> email,
                                        std::optional<StoredCookie> handoffCookie) {
  std::optional<StoredCookie> cookie = std::move(handoffCookie);
  if (!cookie) {
    if (std::optional<HttpCookie> fromClient = frame.client->currentSessionCookie())
      cookie = StoredCookie::fromHttpCookie(*fromClient);
  }
  if (!isCurrent(frame))
    co_return;
  if (!cookie || cookie->value.empty()) {
    presentError(kNoSessionReturnedMessage);
    co_return;
  }
  if (!email && currentSession_)
    email = currentSession_->email;
  StoredSession session{std::move(email), std::move(*cookie)};

  // The web views install the new cookie themselves before their first load; here only the
  // cookies of an earlier session are taken away.
  std::shared_ptr<SessionCookieCoordinator> coordinator = cookieCoordinator_;
  Task<void> removal = coordinator->removeSessionCookies(originHost(), kSessionNames, webCookies_);
  co_await std::move(removal);
  if (!isCurrent(frame))
    co_return;
  // A session ended here since the last one was saved: its pages may have written again while
  // they unloaded after the sign-out's clear, and their views are long gone by now.
  if (vault_->isExplicitlySignedOut()) {
    std::shared_ptr<WebCookieStore> webCookies = webCookies_;
    Task<void> clearing = webCookies->clearNonCookieData();
    co_await std::move(clearing);
    if (!isCurrent(frame))
      co_return;
  }

  std::shared_ptr<SessionVault> vault = vault_;
  Task<bool> saving = vault->save(session);
  const bool saved = co_await std::move(saving);
  if (!isCurrent(frame)) {
    // Signed out (or another session entered) while the keyring was written.
    if (saved)
      repairKeyringAfterStaleSave();
    co_return;
  }
  if (!saved) {
    presentError(kKeyringSaveFailedMessage);
    co_return;
  }
  lastSessionRecovery_.reset();
  activate(std::move(session));
}

// Password sign-in and two-factor.

Task<void> SessionStore::submitEmailSignIn(std::string email, std::string password) {
  std::string trimmed = trimWhitespaceAndNewlines(email);
  if (trimmed.empty() || password.empty())
    co_return;
  Task<void> signingIn = signIn(std::move(trimmed), std::move(password));
  co_await std::move(signingIn);
}

Task<void> SessionStore::signIn(std::string email, std::string password) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  std::optional<Frame> frame = beginOperation(BusyIndicator::shown);
  if (!frame)
    co_return;
  Task<bool> preparing = prepareOperation(*frame);
  if (co_await std::move(preparing)) {
    try {
      providerAttempts_.abandon();
      Task<std::optional<std::string>> login = frame->client->login(email, password);
      std::optional<std::string> pending = co_await std::move(login);
      if (isCurrent(*frame)) {
        if (pending) {
          publish(twoFactorError_, std::optional<std::string>(), SessionField::twoFactorError);
          setPendingTwoFactor(std::move(pending), email);
        } else {
          Task<void> completing = completeSignIn(*frame, email, std::nullopt);
          co_await std::move(completing);
        }
      }
    } catch (...) {
      failOperation(*frame, std::current_exception());
    }
  }
  endOperation(*frame);
}

Task<void> SessionStore::submitTwoFactorCode(BusyIndicator busy, std::string pendingToken,
                                             std::string code) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  if (!pendingTwoFactorToken_ || *pendingTwoFactorToken_ != pendingToken)
    co_return;
  std::optional<Frame> frame = beginOperation(busy);
  if (!frame)
    co_return;
  const std::optional<std::string> email = pendingTwoFactorEmail_;
  Task<bool> preparing = prepareOperation(*frame);
  if (co_await std::move(preparing)) {
    try {
      Task<TwoFactorChallengeOutcome> challenge =
          frame->client->completeTwoFactor(pendingToken, code);
      TwoFactorChallengeOutcome outcome = co_await std::move(challenge);
      if (isCurrent(*frame) && pendingTwoFactorToken_ == pendingToken) {
        switch (outcome.kind) {
          case TwoFactorChallengeOutcome::Kind::accepted: {
            publish(twoFactorError_, std::optional<std::string>(), SessionField::twoFactorError);
            setPendingTwoFactor(std::nullopt, std::nullopt);
            Task<void> completing = completeSignIn(*frame, email, std::nullopt);
            co_await std::move(completing);
            break;
          }
          case TwoFactorChallengeOutcome::Kind::expired:
            setPendingTwoFactor(std::nullopt, std::nullopt);
            presentError(kTwoFactorExpiredMessage);
            break;
          case TwoFactorChallengeOutcome::Kind::retry:
            setPendingTwoFactor(std::move(outcome.pendingToken), email);
            presentError(kTwoFactorRetryMessage);
            break;
        }
      }
    } catch (...) {
      failOperation(*frame, std::current_exception());
    }
  }
  endOperation(*frame);
}

void SessionStore::cancelTwoFactor() {
  if (!pendingTwoFactorToken_)
    return;
  authOperations_.disownAll();
  publish(isBusy_, false, SessionField::isBusy);
  setPendingTwoFactor(std::nullopt, std::nullopt);
  publish(twoFactorError_, std::optional<std::string>(), SessionField::twoFactorError);
}

// Sign-up and password reset.

Task<bool> SessionStore::requestSignupCode(BusyIndicator busy, std::string name, std::string email,
                                           std::string password) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  std::optional<Frame> frame = beginOperation(busy);
  if (!frame)
    co_return false;
  bool accepted = false;
  Task<bool> preparing = prepareOperation(*frame);
  if (co_await std::move(preparing)) {
    try {
      providerAttempts_.abandon();
      std::string trimmedEmail = trimWhitespaceAndNewlines(email);
      Task<SignupCodeResponse> request = frame->client->requestSignupCode(
          trimWhitespaceAndNewlines(name), trimmedEmail, std::move(password));
      SignupCodeResponse response = co_await std::move(request);
      if (isCurrent(*frame)) {
        signupEmail_ = std::move(trimmedEmail);
        publish(signupChallengeId_, std::optional<std::string>(std::move(response.challengeId)),
                SessionField::signupChallengeId);
        accepted = true;
      }
    } catch (...) {
      failOperation(*frame, std::current_exception());
    }
  }
  endOperation(*frame);
  co_return accepted;
}

Task<void> SessionStore::submitSignupCode() {
  if (!signupChallengeId_ || codePointCount(signupCode_) != kSignupCodeLength)
    co_return;
  Task<void> verifying = verifySignupCode(*signupChallengeId_, signupCode_);
  co_await std::move(verifying);
}

Task<void> SessionStore::verifySignupCode(std::string challengeId, std::string code) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  std::optional<Frame> frame = beginOperation(BusyIndicator::shown);
  if (!frame)
    co_return;
  const std::optional<std::string> email = signupEmail_;
  Task<bool> preparing = prepareOperation(*frame);
  if (co_await std::move(preparing)) {
    try {
      Task<void> verify = frame->client->verifySignupCode(challengeId, code);
      co_await std::move(verify);
      if (isCurrent(*frame) && signupChallengeId_ == challengeId) {
        clearSignupChallenge();
        Task<void> completing = completeSignIn(*frame, email, std::nullopt);
        co_await std::move(completing);
      }
    } catch (...) {
      failOperation(*frame, std::current_exception());
    }
  }
  endOperation(*frame);
}

Task<bool> SessionStore::requestPasswordReset(BusyIndicator busy, std::string email) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  std::optional<Frame> frame = beginOperation(busy);
  if (!frame)
    co_return false;
  bool sent = false;
  Task<bool> preparing = prepareOperation(*frame);
  if (co_await std::move(preparing)) {
    try {
      Task<bool> request = frame->client->forgotPassword(trimWhitespaceAndNewlines(email));
      const bool ok = co_await std::move(request);
      sent = ok && isCurrent(*frame);
    } catch (...) {
      failOperation(*frame, std::current_exception());
    }
  }
  endOperation(*frame);
  co_return sent;
}

// Provider sign-in.

Task<std::optional<SessionStore::ProviderSignInStart>> SessionStore::startProviderSignIn(
    BusyIndicator busy, std::string provider) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  std::optional<Frame> frame = beginOperation(busy);
  if (!frame)
    co_return std::nullopt;
  std::optional<ProviderSignInStart> start;
  Task<bool> preparing = prepareOperation(*frame);
  if (co_await std::move(preparing)) {
    try {
      const ProviderSignInGate::Ticket ticket = providerAttempts_.start(*ids_);
      Task<Url> request = frame->client->startProviderSignIn(provider, std::string(kProviderMode));
      Url url = co_await std::move(request);
      if (isCurrent(*frame) && providerAttempts_.isCurrent(ticket))
        start = ProviderSignInStart{std::move(url), ticket};
    } catch (...) {
      failOperation(*frame, std::current_exception());
    }
  }
  endOperation(*frame);
  co_return start;
}

Task<std::optional<SessionStore::ProviderHandoff>> SessionStore::consumeProviderHandoff(
    std::string token, ProviderSignInGate::Ticket ticket) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  if (!providerAttempts_.isCurrent(ticket) || consumedHandoffTokens_.contains(token))
    co_return std::nullopt;
  std::optional<Frame> frame = beginOperation(BusyIndicator::shown);
  if (!frame)
    co_return std::nullopt;
  // Recorded only once the operation holds the gate: a callback refused by a busy gate may come
  // again.
  consumedHandoffTokens_.insert(token);
  std::optional<ProviderHandoff> handoff;
  Task<bool> preparing = prepareOperation(*frame);
  if (co_await std::move(preparing)) {
    try {
      Task<NativeHandoffResponse> consuming = frame->client->consumeNativeHandoff(token);
      NativeHandoffResponse response = co_await std::move(consuming);
      std::optional<StoredCookie> cookie;
      if (response.cookie)
        cookie = StoredCookie::fromHandoff(*response.cookie, originHost());
      // Without a usable cookie in the reply, the one the reply set in the jar is taken.
      if (!cookie || cookie->value.empty()) {
        cookie.reset();
        if (std::optional<HttpCookie> fromClient = frame->client->currentSessionCookie())
          cookie = StoredCookie::fromHttpCookie(*fromClient);
      }
      const bool usable = cookie && !cookie->value.empty();
      if (usable)
        handoff = ProviderHandoff{std::move(response.email), std::move(*cookie)};
      if (!isCurrent(*frame) || !providerAttempts_.isCurrent(ticket)) {
        // Nobody will be asked about it: the session the service opened ends there.
        if (handoff)
          declineProviderHandoff(*handoff);
        handoff.reset();
      } else if (!usable) {
        presentError(kNoSessionReturnedMessage);
      }
    } catch (...) {
      failOperation(*frame, std::current_exception());
    }
  }
  endOperation(*frame);
  co_return handoff;
}

Task<void> SessionStore::acceptProviderHandoff(ProviderHandoff handoff,
                                               ProviderSignInGate::Ticket ticket) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  std::optional<Frame> frame;
  if (providerAttempts_.isCurrent(ticket))
    frame = beginOperation(BusyIndicator::shown);
  if (!frame) {
    declineProviderHandoff(handoff);
    co_return;
  }
  Task<bool> preparing = prepareOperation(*frame);
  if (co_await std::move(preparing) && providerAttempts_.isCurrent(ticket)) {
    try {
      Task<void> completing = completeSignIn(*frame, handoff.email, handoff.cookie);
      co_await std::move(completing);
    } catch (...) {
      failOperation(*frame, std::current_exception());
    }
  } else {
    declineProviderHandoff(handoff);
  }
  endOperation(*frame);
}

void SessionStore::declineProviderHandoff(const ProviderHandoff& handoff) {
  logOutAtService(handoff.cookie.name + "=" + handoff.cookie.value);
}

void SessionStore::beginProviderTwoFactor(std::string pendingToken,
                                          ProviderSignInGate::Ticket ticket) {
  if (!providerAttempts_.finish(ticket))
    return;
  publish(twoFactorError_, std::optional<std::string>(), SessionField::twoFactorError);
  setPendingTwoFactor(std::move(pendingToken), std::nullopt);
}

// Recovery, the local clear and sign-out.

void SessionStore::recoverSession(std::int64_t revision, bool force) {
  if (!currentSession_)
    return;
  if (!force && (revision != sessionRevision_ || !state_.isAuthenticated()))
    return;
  const auto now = clock_->monotonicNow();
  if (lastSessionRecovery_ && now - *lastSessionRecovery_ < kRecoveryInterval) {
    publish(state_, SessionState::recoveryUnavailable(), SessionField::state);
    return;
  }
  lastSessionRecovery_ = now;
  publish(state_, SessionState::loading(), SessionField::state);
  startDetached(runRecovery(sessionRevision_, *currentSession_));
}

Task<void> SessionStore::runRecovery(std::int64_t revision, StoredSession session) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  BootstrapCheck check;
  if (std::optional<HttpCookie> cookie = session.cookie.httpCookie()) {
    Task<BootstrapCheck> asking = client_->bootstrap(std::move(*cookie));
    check = co_await std::move(asking);
  }
  if (revision != sessionRevision_)
    co_return;
  switch (check.kind) {
    case BootstrapCheck::Kind::rejected:
      clearLocalSession();
      publish(state_, SessionState::unauthenticated(), SessionField::state);
      co_return;
    case BootstrapCheck::Kind::unknown:
      publish(state_, SessionState::recoveryUnavailable(), SessionField::state);
      co_return;
    case BootstrapCheck::Kind::valid:
      break;
  }
  StoredSession renewed = session;
  if (check.cookie)
    renewed.cookie = StoredCookie::fromHttpCookie(*check.cookie);
  // The renewed expiry goes to the web views too, or they would keep sending a cookie that
  // the engine drops at the old expiry.
  if (std::optional<HttpCookie> install = renewed.cookie.httpCookie()) {
    std::shared_ptr<SessionCookieCoordinator> coordinator = cookieCoordinator_;
    Task<void> installing =
        coordinator->installSessionCookie(std::move(*install), kSessionNames, webCookies_);
    co_await std::move(installing);
    if (revision != sessionRevision_)
      co_return;
  }
  const bool changed = renewed != session;
  activate(renewed);
  if (changed)
    startDetached(saveForRevision(std::move(renewed), sessionRevision_));
}

void SessionStore::retryRecovery() {
  if (state_.kind != SessionState::Kind::recoveryUnavailable)
    return;
  if (!currentSession_) {
    publish(state_, SessionState::loading(), SessionField::state);
    startDetached(restoreStoredSession());
    return;
  }
  lastSessionRecovery_.reset();
  publish(state_, SessionState::authenticated(currentSession_->email), SessionField::state);
  recoverSession(0, true);
}

void SessionStore::clearLocalSession() {
  publish(sessionRevision_, sessionRevision_ + 1, SessionField::sessionRevision);
  authOperations_.disownAll();
  providerAttempts_.abandon();
  publish(isBusy_, false, SessionField::isBusy);
  if (cookieWatcher_)
    cookieWatcher_->stop();
  cookieWatcher_.reset();
  publish(currentSession_, std::optional<StoredSession>(), SessionField::currentSession);
  setPendingTwoFactor(std::nullopt, std::nullopt);
  publish(twoFactorError_, std::optional<std::string>(), SessionField::twoFactorError);
  clearSignupChallenge();
  vault_->markSignedOut();
  // Started now, so that the deletion is queued on the keyring behind every earlier save.
  SharedTask<void> forgetting(vault_->forget());
  forgetting.start();
  if (environment_.origin().host()) {
    SharedTask<void> cleanup(runCleanup(sessionCleanup_));
    sessionCleanup_ = cleanup;
    cleanup.start();
  }
}

Task<void> SessionStore::runCleanup(SharedTask<void> previous) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  if (previous.valid())
    co_await previous;
  // A store that did not answer has removed nothing: the removal is tried again, and when it
  // still fails it stays due, so the next operation tries it before it starts.
  cookieCleanupDue_ = true;
  for (int attempt = 0; attempt < kCookieCleanupAttempts && cookieCleanupDue_; ++attempt) {
    std::shared_ptr<SessionCookieCoordinator> coordinator = cookieCoordinator_;
    Task<void> removal =
        coordinator->removeSessionCookies(originHost(), kSessionNames, webCookies_);
    try {
      co_await std::move(removal);
      cookieCleanupDue_ = false;
    } catch (const WebCookieStoreTimeout&) {
      continue;
    }
  }
  client_->clearSessionCookies();
  // The account's local storage, caches, databases and service workers go after its cookies, so
  // the next account's pages find none of them; a sign-in waits for this whole clean-up.
  std::shared_ptr<WebCookieStore> webCookies = webCookies_;
  Task<void> clearing = webCookies->clearNonCookieData();
  co_await std::move(clearing);
}

void SessionStore::signOut() {
  std::optional<std::string> header;
  if (currentSession_)
    header = currentSession_->cookie.name + "=" + currentSession_->cookie.value;
  clearLocalSession();
  publish(state_, SessionState::unauthenticated(), SessionField::state);
  if (header)
    logOutAtService(std::move(*header));
}

void SessionStore::logOutAtService(std::string cookieHeader) {
  std::shared_ptr<SessionStore> self = shared_from_this();
  startDetached([](std::shared_ptr<SessionStore> store, std::string cookie) -> Task<void> {
    Task<void> logout = store->client_->logout(std::move(cookie));
    co_await std::move(logout);
  }(self, std::move(cookieHeader)));
}

}  // namespace orlith
