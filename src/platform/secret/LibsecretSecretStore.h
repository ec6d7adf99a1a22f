// The keyring port on the Secret Service through libsecret: one generic item per service and
// account, in the default collection. Blocking, for at most the time-out: a call that outlasts it
// counts as a failure, and is cancelled and abandoned (unlocking may wait on a prompt the user
// never answers, and a dismissed prompt may take the daemon down without an answer); its late
// answer is dropped. No thread of the caller's is held beyond the time-out.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "session/SecretStore.h"

namespace orlith {

class LibsecretSecretStore final : public SecretStore {
 public:
  // Unlocking may prompt the user, and D-Bus activation without a running daemon can take 25 s.
  static constexpr std::chrono::milliseconds kDefaultTimeout = std::chrono::seconds(60);

  // The schema is named after the bundle identifier; its string attributes are "service" and
  // "account".
  explicit LibsecretSecretStore(std::string schemaName,
                                std::chrono::milliseconds timeout = kDefaultTimeout);
  ~LibsecretSecretStore() override;

  SecretReadResult read(const SecretItemKey& key) override;
  SecretUpdateStatus update(const SecretItemKey& key, const std::string& data) override;
  SecretAddStatus add(const SecretItemKey& key, const std::string& data) override;
  SecretRemoveStatus remove(const SecretItemKey& key) override;

 private:
  struct Schema;
  bool store(const SecretItemKey& key, const std::string& data);

  std::shared_ptr<Schema> schema_;
  std::chrono::milliseconds timeout_;
};

}  // namespace orlith
