// The keyring port: blocking calls on one generic secret item, named by service and account.
// The session keychain makes every call on its own worker thread; an implementation bounds each
// call with a time-out of its own and reports running out of time as a failure.
#pragma once

#include <string>

namespace orlith {

struct SecretItemKey {
  std::string service;
  std::string account;
  bool operator==(const SecretItemKey&) const = default;
};

struct SecretReadResult {
  enum class Kind { data, failure, notFound };
  Kind kind = Kind::failure;
  std::string data;  // with data only

  static SecretReadResult found(std::string bytes) { return {Kind::data, std::move(bytes)}; }
  static SecretReadResult failed() { return {Kind::failure, {}}; }
  static SecretReadResult missing() { return {Kind::notFound, {}}; }
  bool operator==(const SecretReadResult&) const = default;
};

enum class SecretUpdateStatus { updated, notFound, failed };
enum class SecretAddStatus { added, duplicate, failed };
enum class SecretRemoveStatus { removed, notFound, failed };

class SecretStore {
 public:
  virtual ~SecretStore() = default;

  virtual SecretReadResult read(const SecretItemKey& key) = 0;
  // Replaces the data of an existing item only.
  virtual SecretUpdateStatus update(const SecretItemKey& key, const std::string& data) = 0;
  // Creates the item; duplicate when it exists already.
  virtual SecretAddStatus add(const SecretItemKey& key, const std::string& data) = 0;
  virtual SecretRemoveStatus remove(const SecretItemKey& key) = 0;
};

}  // namespace orlith
