// The account model of the process: the session state and what the sign-in views show, the
// launch restore, every account operation, recovery and sign-out. Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <sigc++/sigc++.h>

#include "base/Clock.h"
#include "base/Task.h"
#include "base/Url.h"
#include "base/Uuid.h"
#include "session/HttpCookie.h"
#include "session/HttpTransport.h"
#include "session/OrlithAuthClient.h"
#include "session/OrlithEnvironment.h"
#include "session/ProviderSignInGate.h"
#include "session/SessionCookieCoordinator.h"
#include "session/SessionCookieWatcher.h"
#include "session/SessionOperationGate.h"
#include "session/SessionState.h"
#include "session/SessionVault.h"
#include "session/StoredSession.h"
#include "session/WebCookieStore.h"

namespace orlith {

// The published fields, named in the change signal.
enum class SessionField {
  state,
  currentSession,
  pendingTwoFactorToken,
  twoFactorError,
  signupChallengeId,
  signupCode,
  isBusy,
  errorMessage,
  showingError,
  sessionRevision,
};

// Whether an operation drives isBusy while it runs.
enum class BusyIndicator { shown, hidden };

inline constexpr const char* kNoSessionReturnedMessage =
    "Sign-in completed but no session was returned. Please try again.";
inline constexpr const char* kKeyringSaveFailedMessage =
    "Couldn’t save your sign-in securely. Check access to your keyring and try again.";
inline constexpr const char* kTwoFactorExpiredMessage =
    "That sign-in attempt expired. Please start again.";
inline constexpr const char* kTwoFactorRetryMessage = "That code didn't work. Please try again.";

class SessionStore : public std::enable_shared_from_this<SessionStore> {
 public:
  struct Dependencies {
    OrlithEnvironment environment;
    std::shared_ptr<HttpTransport> transport;
    AppIdentity identity;
    std::shared_ptr<const Clock> clock;
    std::shared_ptr<SessionVault> vault;
    // The process's one writer of the web views' session cookies, and the store it writes.
    std::shared_ptr<SessionCookieCoordinator> cookieCoordinator;
    std::shared_ptr<WebCookieStore> webCookies;
    std::shared_ptr<UuidSource> ids;
  };

  struct ProviderSignInStart {
    Url url;
    ProviderSignInGate::Ticket ticket;
  };

  // A consumed hand-off that the person has not agreed to yet: the account the service named
  // and the session it opened for it. Nothing of it is saved or installed before it is accepted.
  struct ProviderHandoff {
    std::optional<std::string> email;
    StoredCookie cookie;
    bool operator==(const ProviderHandoff&) const = default;
  };

  static constexpr std::chrono::seconds kRecoveryInterval{60};
  static constexpr std::size_t kSignupCodeLength = 6;
  // Reads of the web views' store that time out before a sign-out's cookies are removed.
  static constexpr int kCookieCleanupAttempts = 3;

  // In state loading; the restore is a separate step.
  static std::shared_ptr<SessionStore> create(Dependencies dependencies);
  SessionStore(const SessionStore&) = delete;
  SessionStore& operator=(const SessionStore&) = delete;
  ~SessionStore();

  // Emitted synchronously after each change of a published field, in the order of the changes.
  // A handler must not call back into the store; it posts what it needs to the main queue.
  sigc::signal<void(SessionField)>& changed() { return changed_; }

  const SessionState& state() const { return state_; }
  const std::optional<StoredSession>& currentSession() const { return currentSession_; }
  const std::optional<std::string>& pendingTwoFactorToken() const { return pendingTwoFactorToken_; }
  const std::optional<std::string>& twoFactorError() const { return twoFactorError_; }
  const std::optional<std::string>& signupChallengeId() const { return signupChallengeId_; }
  const std::string& signupCode() const { return signupCode_; }
  bool isBusy() const { return isBusy_; }
  const std::optional<std::string>& errorMessage() const { return errorMessage_; }
  bool showingError() const { return showingError_; }
  std::int64_t sessionRevision() const { return sessionRevision_; }
  const OrlithEnvironment& environment() const { return environment_; }

  // What the views write.
  void setSignupCode(std::string code);
  void setShowingError(bool showing);
  void clearSignupChallenge();
  void clearTwoFactorError();

  // The application's once-per-process launch flag.
  bool didBootstrap() const { return didBootstrap_; }
  void markBootstrapped() { didBootstrap_ = true; }

  // The provider attempt of the sign-in sheet.
  bool isProviderAttemptCurrent(const ProviderSignInGate::Ticket& ticket) const;
  bool finishProviderAttempt(const ProviderSignInGate::Ticket& ticket);

  // Keyring to state; no request. The state stays loading until the keyring has answered.
  Task<void> restoreStoredSession();
  // Starts the keyring read that the next restore takes, before it is due.
  void prefetchStoredSession();
  // Enters a session: a new revision, every running operation disowned, and the cookie watcher
  // of this session alone.
  void activate(StoredSession session);

  Task<void> submitEmailSignIn(std::string email, std::string password);
  // Acts only while `pendingToken` is the pending token.
  Task<void> submitTwoFactorCode(BusyIndicator busy, std::string pendingToken, std::string code);
  void cancelTwoFactor();
  Task<bool> requestSignupCode(BusyIndicator busy, std::string name, std::string email,
                               std::string password);
  Task<void> submitSignupCode();
  Task<bool> requestPasswordReset(BusyIndicator busy, std::string email);
  Task<std::optional<ProviderSignInStart>> startProviderSignIn(BusyIndicator busy,
                                                               std::string provider);
  // The callback of a provider attempt: a hand-off token, consumed at most once. Gives the
  // account to ask the person about, or nothing (a failure was presented, or the attempt ended).
  // A link of the app's scheme may come from anyone, so the session is not entered here.
  Task<std::optional<ProviderHandoff>> consumeProviderHandoff(std::string token,
                                                              ProviderSignInGate::Ticket ticket);
  // Enters the session of a hand-off the person agreed to, while its attempt is current; one
  // that cannot be entered is declined.
  Task<void> acceptProviderHandoff(ProviderHandoff handoff, ProviderSignInGate::Ticket ticket);
  // Ends the session of a hand-off the person refused at the service; nothing else changes.
  void declineProviderHandoff(const ProviderHandoff& handoff);
  void beginProviderTwoFactor(std::string pendingToken, ProviderSignInGate::Ticket ticket);
  void presentError(std::string message);

  // Re-validates the current session with the service in a task of its own; without a current
  // session it does nothing, forced or not.
  void recoverSession(std::int64_t revision, bool force);
  // Only in recoveryUnavailable: restores again without a session, re-validates with one.
  void retryRecovery();
  void clearLocalSession();
  void signOut();

 private:
  struct Frame {
    SessionOperationGate::Ticket ticket;
    BusyIndicator busy;
    std::unique_ptr<OrlithAuthClient> client;
  };

  explicit SessionStore(Dependencies dependencies);

  template <class T>
  void publish(T& field, T value, SessionField name);

  std::unique_ptr<OrlithAuthClient> makeClient() const;
  std::optional<Frame> beginOperation(BusyIndicator busy);
  Task<bool> prepareOperation(Frame& frame);
  void endOperation(const Frame& frame);
  void failOperation(const Frame& frame, std::exception_ptr error);
  bool isCurrent(const Frame& frame) const { return authOperations_.isCurrent(frame.ticket); }

  Task<void> signIn(std::string email, std::string password);
  Task<void> verifySignupCode(std::string challengeId, std::string code);
  Task<void> completeSignIn(const Frame& frame, std::optional<std::string> email,
                            std::optional<StoredCookie> handoffCookie);
  void setPendingTwoFactor(std::optional<std::string> token, std::optional<std::string> email);

  std::string originHost() const;
  void startCookieWatcher();
  void reconcileCookies(std::int64_t revision, const std::vector<HttpCookie>& cookies);
  Task<void> saveForRevision(StoredSession session, std::int64_t revision);
  void repairKeyringAfterStaleSave();
  Task<void> runRecovery(std::int64_t revision, StoredSession session);
  Task<void> runCleanup(SharedTask<void> previous);
  void logOutAtService(std::string cookieHeader);

  // Published.
  SessionState state_ = SessionState::loading();
  std::optional<StoredSession> currentSession_;
  std::optional<std::string> pendingTwoFactorToken_;
  std::optional<std::string> twoFactorError_;
  std::optional<std::string> signupChallengeId_;
  std::string signupCode_;
  bool isBusy_ = false;
  std::optional<std::string> errorMessage_;
  bool showingError_ = false;
  std::int64_t sessionRevision_ = 0;

  OrlithEnvironment environment_;
  std::shared_ptr<HttpTransport> transport_;
  AppIdentity identity_;
  std::shared_ptr<const Clock> clock_;
  std::shared_ptr<SessionVault> vault_;
  std::shared_ptr<SessionCookieCoordinator> cookieCoordinator_;
  std::shared_ptr<WebCookieStore> webCookies_;
  std::shared_ptr<UuidSource> ids_;
  // Carries the store's own requests: the recovery check and the logout.
  std::unique_ptr<OrlithAuthClient> client_;

  bool didBootstrap_ = false;
  SessionOperationGate authOperations_;
  ProviderSignInGate providerAttempts_;
  SharedTask<void> sessionCleanup_;
  // The web views may still hold a signed-out session's cookie: their store did not answer.
  bool cookieCleanupDue_ = false;
  std::set<std::string> consumedHandoffTokens_;
  std::unique_ptr<SessionCookieWatcher> cookieWatcher_;
  std::optional<std::chrono::steady_clock::time_point> lastSessionRecovery_;
  // The e-mail typed for the pending two-factor challenge and for the sign-up challenge, so that
  // the session saved after them still names its account.
  std::optional<std::string> pendingTwoFactorEmail_;
  std::optional<std::string> signupEmail_;

  sigc::signal<void(SessionField)> changed_;
};

}  // namespace orlith
