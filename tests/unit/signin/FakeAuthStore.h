// A scripted account model for the sign-in views: published values the test sets, operations
// that record their calls and finish on a later turn (or when released), with results and
// effects the test chooses.
#pragma once

#include <coroutine>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/MainQueue.h"
#include "signin/AuthStore.h"

namespace orlith::testing {

class FakeAuthStore final : public AuthStore {
 public:
  FakeAuthStore()
      : environment_(
            *Url::parse("https://orlith.example"),
            ServiceHosts{"https://orlith.example", "orlith.example", "www.orlith.example"}) {}

  sigc::signal<void(SessionField)>& changed() override { return changed_; }
  bool isBusy() const override { return busy; }
  std::optional<std::string> errorMessage() const override { return error; }
  bool showingError() const override { return showing; }
  std::optional<std::string> pendingTwoFactorToken() const override { return pending; }
  std::optional<std::string> twoFactorError() const override { return twoFactorErrorText; }
  std::optional<std::string> signupChallengeId() const override { return challenge; }
  std::string signupCode() const override { return code; }
  const OrlithEnvironment& environment() const override { return environment_; }

  void setSignupCode(std::string value) override {
    calls.push_back("setSignupCode(" + value + ")");
    set(code, std::move(value), SessionField::signupCode);
  }
  void setShowingError(bool value) override {
    calls.push_back(value ? "setShowingError(1)" : "setShowingError(0)");
    set(showing, value, SessionField::showingError);
  }
  void clearSignupChallenge() override {
    calls.push_back("clearSignupChallenge");
    set(challenge, std::optional<std::string>(), SessionField::signupChallengeId);
    set(code, std::string(), SessionField::signupCode);
  }
  void clearTwoFactorError() override {
    calls.push_back("clearTwoFactorError");
    set(twoFactorErrorText, std::optional<std::string>(), SessionField::twoFactorError);
  }
  bool isProviderAttemptCurrent(const Ticket& ticket) const override {
    return currentTicket && *currentTicket == ticket;
  }
  bool finishProviderAttempt(const Ticket& ticket) override {
    calls.push_back("finishProviderAttempt(" + ticket.id + ")");
    if (!isProviderAttemptCurrent(ticket))
      return false;
    currentTicket.reset();
    return true;
  }

  Task<void> submitEmailSignIn(std::string email, std::string password) override {
    calls.push_back("submitEmailSignIn(" + email + "," + password + ")");
    co_await reply("submitEmailSignIn");
  }
  Task<void> submitTwoFactorCode(BusyIndicator indicator, std::string token,
                                 std::string value) override {
    calls.push_back("submitTwoFactorCode(" + token + "," + value + ")");
    if (indicator == BusyIndicator::shown)
      setBusy(true);
    co_await reply("submitTwoFactorCode");
    setBusy(false);
  }
  void cancelTwoFactor() override {
    calls.push_back("cancelTwoFactor");
    if (!pending)
      return;
    setBusy(false);
    set(pending, std::optional<std::string>(), SessionField::pendingTwoFactorToken);
    set(twoFactorErrorText, std::optional<std::string>(), SessionField::twoFactorError);
  }
  Task<bool> requestSignupCode(BusyIndicator indicator, std::string name, std::string email,
                               std::string password) override {
    calls.push_back("requestSignupCode(" + name + "," + email + "," + password + ")");
    if (indicator == BusyIndicator::shown)
      setBusy(true);
    co_await reply("requestSignupCode");
    setBusy(false);
    co_return signupResult;
  }
  Task<void> submitSignupCode() override {
    calls.push_back("submitSignupCode");
    co_await reply("submitSignupCode");
  }
  Task<bool> requestPasswordReset(BusyIndicator indicator, std::string email) override {
    calls.push_back(std::string("requestPasswordReset(") +
                    (indicator == BusyIndicator::shown ? "shown," : "hidden,") + email + ")");
    co_await reply("requestPasswordReset");
    co_return resetResult;
  }
  Task<std::optional<ProviderStart>> startProviderSignIn(BusyIndicator indicator,
                                                         std::string provider) override {
    calls.push_back(std::string("startProviderSignIn(") +
                    (indicator == BusyIndicator::shown ? "shown," : "hidden,") + provider + ")");
    Ticket ticket{"T" + std::to_string(++ticketCount)};
    currentTicket = ticket;
    co_await reply("startProviderSignIn");
    if (!providerUrl || !isProviderAttemptCurrent(ticket))
      co_return std::nullopt;
    co_return ProviderStart{*Url::parse(*providerUrl), ticket};
  }
  Task<std::optional<ProviderHandoff>> consumeProviderHandoff(std::string token,
                                                              Ticket ticket) override {
    calls.push_back("consumeProviderHandoff(" + token + "," + ticket.id + ")");
    co_await reply("consumeProviderHandoff");
    auto found = handoffs.find(token);
    if (found == handoffs.end())
      co_return std::nullopt;
    co_return found->second;
  }
  Task<void> acceptProviderHandoff(ProviderHandoff handoff, Ticket ticket) override {
    calls.push_back("acceptProviderHandoff(" + handoff.cookie.value + "," + ticket.id + ")");
    co_await reply("acceptProviderHandoff");
  }
  void declineProviderHandoff(const ProviderHandoff& handoff) override {
    calls.push_back("declineProviderHandoff(" + handoff.cookie.value + ")");
  }
  // The account and session a token names, as the service's consume reply gives them.
  void issueHandoff(const std::string& token, std::optional<std::string> email,
                    const std::string& session) {
    StoredCookie cookie;
    cookie.name = "orlith_session";
    cookie.value = session;
    handoffs[token] = ProviderHandoff{std::move(email), std::move(cookie)};
  }
  void beginProviderTwoFactor(std::string token, Ticket ticket) override {
    calls.push_back("beginProviderTwoFactor(" + token + "," + ticket.id + ")");
    if (finishProviderAttempt(ticket))
      set(pending, std::optional<std::string>(token), SessionField::pendingTwoFactorToken);
  }
  void presentError(std::string message) override {
    calls.push_back("presentError(" + message + ")");
    if (pending) {
      set(twoFactorErrorText, std::optional<std::string>(message), SessionField::twoFactorError);
      return;
    }
    set(error, std::optional<std::string>(message), SessionField::errorMessage);
    set(showing, true, SessionField::showingError);
  }

  // What tests change from the outside, announced like the store does.
  template <class T>
  void set(T& field, T value, SessionField name) {
    if (field == value)
      return;
    field = std::move(value);
    changed_.emit(name);
  }
  void setBusy(bool value) { set(busy, value, SessionField::isBusy); }
  void setChallenge(std::optional<std::string> value) {
    set(challenge, std::move(value), SessionField::signupChallengeId);
  }
  void setPending(std::optional<std::string> value) {
    set(pending, std::move(value), SessionField::pendingTwoFactorToken);
  }
  void setTwoFactorError(std::optional<std::string> value) {
    set(twoFactorErrorText, std::move(value), SessionField::twoFactorError);
  }

  // Operations named here wait for release() instead of the next turn.
  void hold(const std::string& operation) { held_[operation]; }
  void release(const std::string& operation) {
    auto found = held_.find(operation);
    if (found == held_.end())
      return;
    std::vector<std::coroutine_handle<>> waiting = std::move(found->second);
    held_.erase(found);
    for (std::coroutine_handle<> handle : waiting)
      MainQueue::shared().post([handle] { handle.resume(); });
  }

  std::vector<std::string> takeCalls() { return std::exchange(calls, {}); }

  bool busy = false;
  std::optional<std::string> error;
  bool showing = false;
  std::optional<std::string> pending;
  std::optional<std::string> twoFactorErrorText;
  std::optional<std::string> challenge;
  std::string code;
  bool signupResult = true;
  bool resetResult = true;
  std::optional<std::string> providerUrl = "https://accounts.provider.example/start";
  std::optional<Ticket> currentTicket;
  int ticketCount = 0;
  std::map<std::string, ProviderHandoff> handoffs;
  // Runs when an operation's reply arrives, before it returns: the store's own effects.
  std::map<std::string, std::function<void()>> effects;
  std::vector<std::string> calls;

 private:
  struct Reply {
    FakeAuthStore& store;
    std::string operation;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) {
      auto found = store.held_.find(operation);
      if (found != store.held_.end()) {
        found->second.push_back(handle);
        return;
      }
      MainQueue::shared().post([handle] { handle.resume(); });
    }
    void await_resume() const {
      auto effect = store.effects.find(operation);
      if (effect != store.effects.end() && effect->second)
        effect->second();
    }
  };
  Reply reply(std::string operation) { return Reply{*this, std::move(operation)}; }

  OrlithEnvironment environment_;
  std::map<std::string, std::vector<std::coroutine_handle<>>> held_;
  sigc::signal<void(SessionField)> changed_;
};

}  // namespace orlith::testing
