// Forwards each operation to the SessionStore, keeping the store alive while it runs.
#include "signin/AuthStore.h"

namespace orlith {

SessionAuthStore::SessionAuthStore(std::shared_ptr<SessionStore> store)
    : store_(std::move(store)) {}

Task<void> SessionAuthStore::submitEmailSignIn(std::string email, std::string password) {
  auto store = store_;
  co_await store->submitEmailSignIn(std::move(email), std::move(password));
}

Task<void> SessionAuthStore::submitTwoFactorCode(BusyIndicator busy, std::string pendingToken,
                                                 std::string code) {
  auto store = store_;
  co_await store->submitTwoFactorCode(busy, std::move(pendingToken), std::move(code));
}

Task<bool> SessionAuthStore::requestSignupCode(BusyIndicator busy, std::string name,
                                               std::string email, std::string password) {
  auto store = store_;
  co_return co_await store->requestSignupCode(busy, std::move(name), std::move(email),
                                              std::move(password));
}

Task<void> SessionAuthStore::submitSignupCode() {
  auto store = store_;
  co_await store->submitSignupCode();
}

Task<bool> SessionAuthStore::requestPasswordReset(BusyIndicator busy, std::string email) {
  auto store = store_;
  co_return co_await store->requestPasswordReset(busy, std::move(email));
}

Task<std::optional<AuthStore::ProviderStart>> SessionAuthStore::startProviderSignIn(
    BusyIndicator busy, std::string provider) {
  auto store = store_;
  co_return co_await store->startProviderSignIn(busy, std::move(provider));
}

Task<std::optional<AuthStore::ProviderHandoff>> SessionAuthStore::consumeProviderHandoff(
    std::string token, Ticket ticket) {
  auto store = store_;
  co_return co_await store->consumeProviderHandoff(std::move(token), std::move(ticket));
}

Task<void> SessionAuthStore::acceptProviderHandoff(ProviderHandoff handoff, Ticket ticket) {
  auto store = store_;
  co_await store->acceptProviderHandoff(std::move(handoff), std::move(ticket));
}

}  // namespace orlith
