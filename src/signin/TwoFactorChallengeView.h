// The two-factor sheet's state and actions: the typed code (an authenticator code or a recovery
// code, never filtered), verify and cancel. The sheet closes when no challenge is pending after
// a verify, or on cancel. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <sigc++/sigc++.h>

#include "base/Observable.h"
#include "base/Task.h"
#include "signin/Announcer.h"
#include "signin/AuthStore.h"

namespace orlith {

class TwoFactorChallengeView : public std::enable_shared_from_this<TwoFactorChallengeView> {
 public:
  ~TwoFactorChallengeView();
  static std::shared_ptr<TwoFactorChallengeView> create(std::shared_ptr<AuthStore> store,
                                                        Announcer& announcer);

  // The code, or what the sheet shows of the store, changed (coalesced to one per turn for the
  // store).
  sigc::signal<void()>& changed() { return changed_; }
  // The sheet should close.
  sigc::signal<void()>& dismissRequested() { return dismissRequested_; }

  const std::string& code() const { return code_; }
  // The field's setter: a shown error goes at the first keystroke.
  void setCode(std::string text);

  bool isVerifyDisabled() const;
  bool isBusy() const { return store_->isBusy(); }
  std::optional<std::string> errorLine() const { return store_->twoFactorError(); }

  // Starts the verification as a task and returns at once.
  void verify();
  Task<void> verifyCode();
  void cancel();

 private:
  TwoFactorChallengeView(std::shared_ptr<AuthStore> store, Announcer& announcer)
      : store_(std::move(store)), announcer_(announcer) {}
  void attach();

  std::shared_ptr<AuthStore> store_;
  Announcer& announcer_;
  std::string code_;
  std::unique_ptr<CoalescedCallback> storeChange_;
  sigc::connection storeConnection_;
  sigc::signal<void()> changed_;
  sigc::signal<void()> dismissRequested_;
};

}  // namespace orlith
