#include "signin/TwoFactorChallengeView.h"

#include "base/MainQueue.h"
#include "base/Text.h"

namespace orlith {

namespace {

Task<void> runVerify(std::shared_ptr<TwoFactorChallengeView> view) {
  co_await view->verifyCode();
}

}  // namespace

std::shared_ptr<TwoFactorChallengeView> TwoFactorChallengeView::create(
    std::shared_ptr<AuthStore> store, Announcer& announcer) {
  std::shared_ptr<TwoFactorChallengeView> view(
      new TwoFactorChallengeView(std::move(store), announcer));
  view->attach();
  return view;
}

TwoFactorChallengeView::~TwoFactorChallengeView() {
  storeConnection_.disconnect();
}

void TwoFactorChallengeView::attach() {
  storeChange_ = std::make_unique<CoalescedCallback>([weak = weak_from_this()] {
    if (std::shared_ptr<TwoFactorChallengeView> view = weak.lock())
      view->changed_.emit();
  });
  storeConnection_ = store_->changed().connect([this](SessionField) { storeChange_->schedule(); });
}

void TwoFactorChallengeView::setCode(std::string text) {
  if (text != code_) {
    code_ = std::move(text);
    changed_.emit();
  }
  if (store_->twoFactorError())
    store_->clearTwoFactorError();
}

bool TwoFactorChallengeView::isVerifyDisabled() const {
  return trimWhitespaceAndNewlines(code_).empty() || store_->isBusy();
}

void TwoFactorChallengeView::verify() {
  startDetached(runVerify(shared_from_this()));
}

Task<void> TwoFactorChallengeView::verifyCode() {
  const std::string code = trimWhitespaceAndNewlines(code_);
  if (code.empty() || store_->isBusy())
    co_return;
  if (std::optional<std::string> token = store_->pendingTwoFactorToken()) {
    store_->clearTwoFactorError();
    co_await store_->submitTwoFactorCode(BusyIndicator::shown, *token, code);
  }
  // The outcome is read from whether a challenge is still pending, whatever the reply was.
  if (!store_->pendingTwoFactorToken()) {
    dismissRequested_.emit();
    co_return;
  }
  code_.clear();
  changed_.emit();
  if (std::optional<std::string> error = store_->twoFactorError()) {
    MainQueue::shared().post([weak = weak_from_this(), message = *error] {
      if (std::shared_ptr<TwoFactorChallengeView> view = weak.lock())
        view->announcer_.announce(message);
    });
  }
}

void TwoFactorChallengeView::cancel() {
  store_->cancelTwoFactor();
  dismissRequested_.emit();
}

}  // namespace orlith
