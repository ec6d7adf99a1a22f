// What the sign-in views read and do of the account model. SessionAuthStore forwards to the
// process's SessionStore; tests use a fake. Main thread only.
#pragma once

#include <optional>
#include <string>

#include <sigc++/sigc++.h>

#include "base/Task.h"
#include "session/OrlithEnvironment.h"
#include "session/ProviderSignInGate.h"
#include "session/SessionStore.h"

namespace orlith {

class AuthStore {
 public:
  using Ticket = ProviderSignInGate::Ticket;
  using ProviderStart = SessionStore::ProviderSignInStart;
  using ProviderHandoff = SessionStore::ProviderHandoff;

  virtual ~AuthStore() = default;

  // Emitted synchronously after each change; a handler must not call back into the store.
  virtual sigc::signal<void(SessionField)>& changed() = 0;

  virtual bool isBusy() const = 0;
  virtual std::optional<std::string> errorMessage() const = 0;
  virtual bool showingError() const = 0;
  virtual std::optional<std::string> pendingTwoFactorToken() const = 0;
  virtual std::optional<std::string> twoFactorError() const = 0;
  virtual std::optional<std::string> signupChallengeId() const = 0;
  virtual std::string signupCode() const = 0;
  virtual const OrlithEnvironment& environment() const = 0;

  virtual void setSignupCode(std::string code) = 0;
  virtual void setShowingError(bool showing) = 0;
  virtual void clearSignupChallenge() = 0;
  virtual void clearTwoFactorError() = 0;

  virtual bool isProviderAttemptCurrent(const Ticket& ticket) const = 0;
  virtual bool finishProviderAttempt(const Ticket& ticket) = 0;

  virtual Task<void> submitEmailSignIn(std::string email, std::string password) = 0;
  virtual Task<void> submitTwoFactorCode(BusyIndicator busy, std::string pendingToken,
                                         std::string code) = 0;
  virtual void cancelTwoFactor() = 0;
  virtual Task<bool> requestSignupCode(BusyIndicator busy, std::string name, std::string email,
                                       std::string password) = 0;
  virtual Task<void> submitSignupCode() = 0;
  virtual Task<bool> requestPasswordReset(BusyIndicator busy, std::string email) = 0;
  virtual Task<std::optional<ProviderStart>> startProviderSignIn(BusyIndicator busy,
                                                                 std::string provider) = 0;
  virtual Task<std::optional<ProviderHandoff>> consumeProviderHandoff(std::string token,
                                                                      Ticket ticket) = 0;
  virtual Task<void> acceptProviderHandoff(ProviderHandoff handoff, Ticket ticket) = 0;
  virtual void declineProviderHandoff(const ProviderHandoff& handoff) = 0;
  virtual void beginProviderTwoFactor(std::string pendingToken, Ticket ticket) = 0;
  virtual void presentError(std::string message) = 0;
};

class SessionAuthStore final : public AuthStore {
 public:
  explicit SessionAuthStore(std::shared_ptr<SessionStore> store);

  sigc::signal<void(SessionField)>& changed() override { return store_->changed(); }

  bool isBusy() const override { return store_->isBusy(); }
  std::optional<std::string> errorMessage() const override { return store_->errorMessage(); }
  bool showingError() const override { return store_->showingError(); }
  std::optional<std::string> pendingTwoFactorToken() const override {
    return store_->pendingTwoFactorToken();
  }
  std::optional<std::string> twoFactorError() const override { return store_->twoFactorError(); }
  std::optional<std::string> signupChallengeId() const override {
    return store_->signupChallengeId();
  }
  std::string signupCode() const override { return store_->signupCode(); }
  const OrlithEnvironment& environment() const override { return store_->environment(); }

  void setSignupCode(std::string code) override { store_->setSignupCode(std::move(code)); }
  void setShowingError(bool showing) override { store_->setShowingError(showing); }
  void clearSignupChallenge() override { store_->clearSignupChallenge(); }
  void clearTwoFactorError() override { store_->clearTwoFactorError(); }

  bool isProviderAttemptCurrent(const Ticket& ticket) const override {
    return store_->isProviderAttemptCurrent(ticket);
  }
  bool finishProviderAttempt(const Ticket& ticket) override {
    return store_->finishProviderAttempt(ticket);
  }

  Task<void> submitEmailSignIn(std::string email, std::string password) override;
  Task<void> submitTwoFactorCode(BusyIndicator busy, std::string pendingToken,
                                 std::string code) override;
  void cancelTwoFactor() override { store_->cancelTwoFactor(); }
  Task<bool> requestSignupCode(BusyIndicator busy, std::string name, std::string email,
                               std::string password) override;
  Task<void> submitSignupCode() override;
  Task<bool> requestPasswordReset(BusyIndicator busy, std::string email) override;
  Task<std::optional<ProviderStart>> startProviderSignIn(BusyIndicator busy,
                                                         std::string provider) override;
  Task<std::optional<ProviderHandoff>> consumeProviderHandoff(std::string token,
                                                              Ticket ticket) override;
  Task<void> acceptProviderHandoff(ProviderHandoff handoff, Ticket ticket) override;
  void declineProviderHandoff(const ProviderHandoff& handoff) override {
    store_->declineProviderHandoff(handoff);
  }
  void beginProviderTwoFactor(std::string pendingToken, Ticket ticket) override {
    store_->beginProviderTwoFactor(std::move(pendingToken), std::move(ticket));
  }
  void presentError(std::string message) override { store_->presentError(std::move(message)); }

 private:
  std::shared_ptr<SessionStore> store_;
};

}  // namespace orlith
