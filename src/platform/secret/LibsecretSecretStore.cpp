// Secret Service calls for the session item, each bounded by a cancellable on a timer thread.
#include "platform/secret/LibsecretSecretStore.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/glib/GObjectPtr.h"

namespace orlith {
namespace {

constexpr const char* kItemLabel = "Orlith session";
constexpr const char* kContentType = "application/json";

struct SecretValueUnref {
  void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

// A cancellable that fires when the call it guards has not ended within the limit.
class CancelAfter {
 public:
  explicit CancelAfter(std::chrono::milliseconds limit)
      : cancellable_(g_cancellable_new()), timer_([this, limit] {
          std::unique_lock lock(mutex_);
          if (!finished_.wait_for(lock, limit, [this] { return done_; }))
            g_cancellable_cancel(cancellable_.get());
        }) {}
  ~CancelAfter() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    finished_.notify_one();
    timer_.join();
  }
  CancelAfter(const CancelAfter&) = delete;
  CancelAfter& operator=(const CancelAfter&) = delete;

  GCancellable* get() const { return cancellable_.get(); }

 private:
  GObjectPtr<GCancellable> cancellable_;
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  std::thread timer_;
};

}  // namespace

struct LibsecretSecretStore::Schema {
  explicit Schema(const std::string& name)
      : schema(secret_schema_new(name.c_str(), SECRET_SCHEMA_NONE, "service",
                                 SECRET_SCHEMA_ATTRIBUTE_STRING, "account",
                                 SECRET_SCHEMA_ATTRIBUTE_STRING, nullptr)) {}
  ~Schema() { secret_schema_unref(schema); }
  Schema(const Schema&) = delete;
  Schema& operator=(const Schema&) = delete;

  SecretSchema* schema;
};

LibsecretSecretStore::LibsecretSecretStore(std::string schemaName,
                                           std::chrono::milliseconds timeout)
    : schema_(std::make_unique<Schema>(schemaName)), timeout_(timeout) {}

LibsecretSecretStore::~LibsecretSecretStore() = default;

SecretReadResult LibsecretSecretStore::read(const SecretItemKey& key) {
  CancelAfter deadline(timeout_);
  GError* rawError = nullptr;
  SecretValuePtr value(secret_password_lookup_binary_sync(schema_->schema, deadline.get(),
                                                          &rawError, "service", key.service.c_str(),
                                                          "account", key.account.c_str(), nullptr));
  GErrorPtr error(rawError);
  if (error)
    return SecretReadResult::failed();
  if (!value)
    return SecretReadResult::missing();
  gsize length = 0;
  const gchar* bytes = secret_value_get(value.get(), &length);
  return SecretReadResult::found(std::string(bytes, length));
}

SecretUpdateStatus LibsecretSecretStore::update(const SecretItemKey& key, const std::string& data) {
  // A lookup rather than a search: searching builds item proxies that GIO 2.74 leaks.
  switch (read(key).kind) {
    case SecretReadResult::Kind::failure:
      return SecretUpdateStatus::failed;
    case SecretReadResult::Kind::notFound:
      return SecretUpdateStatus::notFound;
    case SecretReadResult::Kind::data:
      break;
  }
  return store(key, data) ? SecretUpdateStatus::updated : SecretUpdateStatus::failed;
}

SecretAddStatus LibsecretSecretStore::add(const SecretItemKey& key, const std::string& data) {
  // The Secret Service replaces an item with the same attributes, so adding never meets a
  // duplicate.
  return store(key, data) ? SecretAddStatus::added : SecretAddStatus::failed;
}

SecretRemoveStatus LibsecretSecretStore::remove(const SecretItemKey& key) {
  CancelAfter deadline(timeout_);
  GError* rawError = nullptr;
  const gboolean removed =
      secret_password_clear_sync(schema_->schema, deadline.get(), &rawError, "service",
                                 key.service.c_str(), "account", key.account.c_str(), nullptr);
  GErrorPtr error(rawError);
  if (error)
    return SecretRemoveStatus::failed;
  return removed ? SecretRemoveStatus::removed : SecretRemoveStatus::notFound;
}

bool LibsecretSecretStore::store(const SecretItemKey& key, const std::string& data) {
  CancelAfter deadline(timeout_);
  SecretValuePtr value(
      secret_value_new(data.data(), static_cast<gssize>(data.size()), kContentType));
  GError* rawError = nullptr;
  const gboolean stored = secret_password_store_binary_sync(
      schema_->schema, SECRET_COLLECTION_DEFAULT, kItemLabel, value.get(), deadline.get(),
      &rawError, "service", key.service.c_str(), "account", key.account.c_str(), nullptr);
  GErrorPtr error(rawError);
  return stored && !error;
}

}  // namespace orlith
