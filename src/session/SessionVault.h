// Loads and saves the signed-in session in the keyring as the JSON of StoredSession, and honours
// the explicit sign-out flag. Main thread; the keyring calls are awaited.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "base/Preferences.h"
#include "base/Task.h"
#include "session/SessionKeychain.h"
#include "session/StoredSession.h"

namespace orlith {

inline constexpr std::string_view kExplicitlySignedOutKey = "orlith.session.explicitlySignedOut";

struct SessionVaultLoadResult {
  enum class Kind { value, missing, unavailable, corrupt };
  Kind kind = Kind::missing;
  std::optional<StoredSession> session;  // with value only

  static SessionVaultLoadResult value(StoredSession session) {
    return {Kind::value, std::move(session)};
  }
  static SessionVaultLoadResult missing() { return {Kind::missing, std::nullopt}; }
  static SessionVaultLoadResult unavailable() { return {Kind::unavailable, std::nullopt}; }
  static SessionVaultLoadResult corrupt() { return {Kind::corrupt, std::nullopt}; }
  bool operator==(const SessionVaultLoadResult&) const = default;
};

class SessionVault {
 public:
  SessionVault(std::shared_ptr<SessionKeychain> keychain, Preferences& preferences);

  // missing without reading the keyring while the sign-out flag is set; unavailable when the
  // keyring is locked, refuses or does not answer in time; corrupt for JSON that does not decode
  // or a cookie without a value. An unavailable or corrupt item is left as it is. Expiry is not
  // examined here.
  Task<SessionVaultLoadResult> load();
  // Starts reading the keyring now, for the next load(), so the keyring's answer overlaps the
  // window's making at launch. A save or forget in between drops it; nothing is read while the
  // sign-out flag is set.
  void prefetch();
  // False when the session cannot be encoded, the keyring refuses it, or the sign-out flag cannot
  // be cleared afterwards (the next launch would not restore the session). A failed save leaves
  // the flag as it was. Nothing is ever written anywhere but the keyring.
  Task<bool> save(StoredSession session);
  // Sets the sign-out flag at once; a failure to store it is ignored, as forget() explains.
  void markSignedOut();
  // Sets the sign-out flag, then deletes the item; neither outcome is reported, as the local
  // state is signed out either way and the flag alone keeps a left-over item from loading.
  Task<void> forget();

  // Whether the sign-out flag is set, so a load would find nothing without asking the keyring.
  static bool isExplicitlySignedOut(const Preferences& preferences);
  // The same for this vault's preferences: a session ended here since the last save.
  bool isExplicitlySignedOut() const { return isExplicitlySignedOut(preferences_); }

 private:
  std::shared_ptr<SessionKeychain> keychain_;
  Preferences& preferences_;
  SharedTask<SecretReadResult> prefetched_;
};

}  // namespace orlith
