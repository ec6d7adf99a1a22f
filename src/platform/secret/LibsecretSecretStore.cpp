// Secret Service calls for the session item. Every call starts and answers on one thread of the
// process that runs a main context of its own; the caller waits for the answer up to the
// time-out and then abandons the call, however the daemon or its prompt behaves.
#include "platform/secret/LibsecretSecretStore.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
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

// The thread where libsecret's calls run. One for the process, never stopped: libsecret keeps
// one connection to the service for the process, whose signals (the daemon going away among
// them) arrive in the context it was made in, so that context must keep running; and a call
// abandoned there may still answer at any time.
class SecretServiceThread {
 public:
  static SecretServiceThread& shared() {
    static SecretServiceThread* const thread = new SecretServiceThread();
    return *thread;
  }

  void invoke(std::function<void()> job) {
    g_main_context_invoke_full(
        context_, G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
          (*static_cast<std::function<void()>*>(data))();
          return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(job)),
        [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
  }

 private:
  SecretServiceThread() : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
    std::thread([this] {
      g_main_context_push_thread_default(context_);
      g_main_loop_run(loop_);
    }).detach();
  }

  GMainContext* context_;
  GMainLoop* loop_;
};

// One asynchronous libsecret call, waited for up to a limit by the calling thread. A call that
// does not answer in time is cancelled and abandoned: its late answer is finished and dropped.
template <class R>
class BoundedCall {
 public:
  using Start = std::function<void(GCancellable*, GAsyncReadyCallback, gpointer)>;
  using Finish = std::function<R(GAsyncResult*)>;

  static std::optional<R> run(std::chrono::milliseconds limit, Start start, Finish finish) {
    auto state = std::make_shared<State>();
    state->finish = std::move(finish);
    SecretServiceThread::shared().invoke([state, start = std::move(start)] {
      start(state->cancellable.get(), &BoundedCall::answered, new std::shared_ptr<State>(state));
    });
    {
      std::unique_lock lock(state->mutex);
      if (state->answered.wait_for(lock, limit, [&] { return state->result.has_value(); }))
        return std::move(state->result);
      state->abandoned = true;
    }
    SecretServiceThread::shared().invoke([state] {
      g_cancellable_cancel(state->cancellable.get());
      // A daemon that does not answer may have gone away (gnome-keyring aborts when an unlock
      // prompt is dismissed); the next call then connects afresh rather than through what is
      // left of this connection.
      secret_service_disconnect();
    });
    return std::nullopt;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable answered;
    std::optional<R> result;
    bool abandoned = false;
    Finish finish;
    GObjectPtr<GCancellable> cancellable{g_cancellable_new()};
  };

  static void answered(GObject*, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::shared_ptr<State>> owned(static_cast<std::shared_ptr<State>*>(data));
    State& state = **owned;
    // Finished even when late, so that libsecret's result is freed.
    R value = state.finish(result);
    std::lock_guard lock(state.mutex);
    if (state.abandoned)
      return;
    state.result.emplace(std::move(value));
    state.answered.notify_one();
  }
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
    : schema_(std::make_shared<Schema>(schemaName)), timeout_(timeout) {}

LibsecretSecretStore::~LibsecretSecretStore() = default;

SecretReadResult LibsecretSecretStore::read(const SecretItemKey& key) {
  BoundedCall<SecretReadResult>::Start start =
      [schema = schema_, key](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
        secret_password_lookup(schema->schema, cancellable, done, data, "service",
                               key.service.c_str(), "account", key.account.c_str(), nullptr);
      };
  BoundedCall<SecretReadResult>::Finish finish = [](GAsyncResult* result) {
    GError* rawError = nullptr;
    SecretValuePtr value(secret_password_lookup_binary_finish(result, &rawError));
    GErrorPtr error(rawError);
    if (error)
      return SecretReadResult::failed();
    if (!value)
      return SecretReadResult::missing();
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.get(), &length);
    return SecretReadResult::found(std::string(bytes, length));
  };
  return BoundedCall<SecretReadResult>::run(timeout_, std::move(start), std::move(finish))
      .value_or(SecretReadResult::failed());
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
  BoundedCall<SecretRemoveStatus>::Start start =
      [schema = schema_, key](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
        secret_password_clear(schema->schema, cancellable, done, data, "service",
                              key.service.c_str(), "account", key.account.c_str(), nullptr);
      };
  BoundedCall<SecretRemoveStatus>::Finish finish = [](GAsyncResult* result) {
    GError* rawError = nullptr;
    const gboolean removed = secret_password_clear_finish(result, &rawError);
    GErrorPtr error(rawError);
    if (error)
      return SecretRemoveStatus::failed;
    return removed ? SecretRemoveStatus::removed : SecretRemoveStatus::notFound;
  };
  return BoundedCall<SecretRemoveStatus>::run(timeout_, std::move(start), std::move(finish))
      .value_or(SecretRemoveStatus::failed);
}

bool LibsecretSecretStore::store(const SecretItemKey& key, const std::string& data) {
  auto value = std::make_shared<SecretValuePtr>(
      secret_value_new(data.data(), static_cast<gssize>(data.size()), kContentType));
  BoundedCall<bool>::Start start = [schema = schema_, key, value](GCancellable* cancellable,
                                                                  GAsyncReadyCallback done,
                                                                  gpointer callData) {
    secret_password_store_binary(schema->schema, SECRET_COLLECTION_DEFAULT, kItemLabel,
                                 value->get(), cancellable, done, callData, "service",
                                 key.service.c_str(), "account", key.account.c_str(), nullptr);
  };
  BoundedCall<bool>::Finish finish = [](GAsyncResult* result) {
    GError* rawError = nullptr;
    const gboolean stored = secret_password_store_finish(result, &rawError);
    GErrorPtr error(rawError);
    return stored && !error;
  };
  return BoundedCall<bool>::run(timeout_, std::move(start), std::move(finish)).value_or(false);
}

}  // namespace orlith
