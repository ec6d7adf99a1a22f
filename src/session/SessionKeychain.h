// The keyring item that holds the signed-in session. A call starts when its task is awaited and
// then runs on a thread of its own after every call started before it, so a sign-out's delete
// always follows an earlier save; results come back on the main queue.
//
// On Linux the item lives in the Secret Service's default collection, which the desktop unlocks
// at login. There is no counterpart of a data-protection keychain or of "this device only".
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Task.h"
#include "base/WorkerPool.h"
#include "session/SecretStore.h"

namespace orlith {

class SessionKeychain {
 public:
  static constexpr std::string_view kAccount = "current-session";

  // The bundle identifier, or the fallback when there is none, followed by ".session".
  static std::string serviceFor(const std::optional<std::string>& bundleIdentifier);

  SessionKeychain(std::shared_ptr<SecretStore> store, std::string service);

  const SecretItemKey& key() const { return key_; }

  // An exception of the store counts as a failure.
  Task<SecretReadResult> read();
  // Update, then add when there is no item, then update once more when another writer added it
  // meanwhile. All three steps run as one call, so nothing queued comes in between.
  Task<bool> write(std::string data);
  // True when no item is left: removed, or there was none.
  Task<bool> remove();

  // The write steps themselves, blocking; exposed for the tests of each branch.
  static bool writeItem(SecretStore& store, const SecretItemKey& key, const std::string& data);

 private:
  std::shared_ptr<SecretStore> store_;
  SecretItemKey key_;
  std::shared_ptr<WorkerPool> thread_;
};

}  // namespace orlith
