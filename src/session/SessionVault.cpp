// The session vault: keyring results mapped to load results, and the sign-out flag.
#include "session/SessionVault.h"

#include <exception>
#include <string>
#include <utility>

namespace orlith {

SessionVault::SessionVault(std::shared_ptr<SessionKeychain> keychain, Preferences& preferences)
    : keychain_(std::move(keychain)), preferences_(preferences) {}

bool SessionVault::isExplicitlySignedOut(const Preferences& preferences) {
  return preferences.boolean(std::string(kExplicitlySignedOutKey)).value_or(false);
}

void SessionVault::prefetch() {
  if (prefetched_.valid() || isExplicitlySignedOut(preferences_))
    return;
  prefetched_ = SharedTask<SecretReadResult>(keychain_->read());
  prefetched_.start();
}

Task<SessionVaultLoadResult> SessionVault::load() {
  SharedTask<SecretReadResult> prefetched = std::exchange(prefetched_, {});
  if (isExplicitlySignedOut(preferences_))
    co_return SessionVaultLoadResult::missing();
  std::shared_ptr<SessionKeychain> keychain = keychain_;
  SecretReadResult read;
  if (prefetched.valid())
    read = co_await prefetched;
  else
    read = co_await keychain->read();
  switch (read.kind) {
    case SecretReadResult::Kind::notFound:
      co_return SessionVaultLoadResult::missing();
    case SecretReadResult::Kind::failure:
      co_return SessionVaultLoadResult::unavailable();
    case SecretReadResult::Kind::data:
      break;
  }
  StoredSession session;
  try {
    session = StoredSession::decode(read.data);
  } catch (const JsonDecodeError&) {
    co_return SessionVaultLoadResult::corrupt();
  }
  if (session.cookie.value.empty())
    co_return SessionVaultLoadResult::corrupt();
  co_return SessionVaultLoadResult::value(std::move(session));
}

Task<bool> SessionVault::save(StoredSession session) {
  // Read before this write: no longer what the keyring holds.
  prefetched_ = {};
  std::string data;
  try {
    data = session.encode();
  } catch (const nlohmann::json::exception&) {
    co_return false;
  }
  std::shared_ptr<SessionKeychain> keychain = keychain_;
  Task<bool> writing = keychain->write(std::move(data));
  const bool written = co_await std::move(writing);
  if (!written)
    co_return false;
  try {
    preferences_.setBoolean(std::string(kExplicitlySignedOutKey), false);
  } catch (const std::exception&) {
    co_return false;
  }
  co_return true;
}

void SessionVault::markSignedOut() {
  prefetched_ = {};
  try {
    preferences_.setBoolean(std::string(kExplicitlySignedOutKey), true);
  } catch (const std::exception&) {
    // The deletion that follows still keeps the session from coming back.
  }
}

Task<void> SessionVault::forget() {
  markSignedOut();
  std::shared_ptr<SessionKeychain> keychain = keychain_;
  co_await keychain->remove();
}

}  // namespace orlith
