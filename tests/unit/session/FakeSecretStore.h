// An in-memory keyring item with switches for each way the keyring can answer. Called on the
// keychain's thread, so every member is guarded.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "session/SecretStore.h"

namespace orlith::testing {

class FakeSecretStore final : public SecretStore {
 public:
  enum class Answer { normally, fails, duplicate };

  void setItem(std::optional<std::string> data) {
    std::lock_guard lock(mutex_);
    item_ = std::move(data);
  }
  std::optional<std::string> item() const {
    std::lock_guard lock(mutex_);
    return item_;
  }
  std::vector<std::string> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  void setReads(Answer answer) { set(reads_, answer); }
  void setUpdates(Answer answer) { set(updates_, answer); }
  // duplicate: another writer adds the item just before this add, with other data.
  void setAdds(Answer answer) { set(adds_, answer); }
  void setRemoves(Answer answer) { set(removes_, answer); }

  SecretReadResult read(const SecretItemKey& key) override {
    std::lock_guard lock(mutex_);
    record("read", key);
    if (reads_ == Answer::fails)
      return SecretReadResult::failed();
    return item_ ? SecretReadResult::found(*item_) : SecretReadResult::missing();
  }
  SecretUpdateStatus update(const SecretItemKey& key, const std::string& data) override {
    std::lock_guard lock(mutex_);
    record("update", key);
    if (updates_ == Answer::fails)
      return SecretUpdateStatus::failed;
    if (!item_)
      return SecretUpdateStatus::notFound;
    item_ = data;
    return SecretUpdateStatus::updated;
  }
  SecretAddStatus add(const SecretItemKey& key, const std::string& data) override {
    std::lock_guard lock(mutex_);
    record("add", key);
    if (adds_ == Answer::fails)
      return SecretAddStatus::failed;
    if (adds_ == Answer::duplicate) {
      item_ = "added by another writer";
      return SecretAddStatus::duplicate;
    }
    if (item_)
      return SecretAddStatus::duplicate;
    item_ = data;
    return SecretAddStatus::added;
  }
  SecretRemoveStatus remove(const SecretItemKey& key) override {
    std::lock_guard lock(mutex_);
    record("remove", key);
    if (removes_ == Answer::fails)
      return SecretRemoveStatus::failed;
    if (!item_)
      return SecretRemoveStatus::notFound;
    item_.reset();
    return SecretRemoveStatus::removed;
  }

 private:
  void set(Answer& slot, Answer answer) {
    std::lock_guard lock(mutex_);
    slot = answer;
  }
  void record(const char* call, const SecretItemKey& key) {
    calls_.push_back(std::string(call) + " " + key.service + "/" + key.account);
  }

  mutable std::mutex mutex_;
  std::optional<std::string> item_;
  std::vector<std::string> calls_;
  Answer reads_ = Answer::normally;
  Answer updates_ = Answer::normally;
  Answer adds_ = Answer::normally;
  Answer removes_ = Answer::normally;
};

}  // namespace orlith::testing
