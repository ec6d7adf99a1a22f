// The session's keyring item, its calls serialised on one thread.
#include "session/SessionKeychain.h"

#include <exception>
#include <functional>

#include "base/MainQueue.h"
#include "session/OrlithWire.h"

namespace orlith {
namespace {

// Runs one job on the keychain's thread and resumes the awaiter through the main queue.
template <class R>
class KeychainThreadAwaiter {
 public:
  KeychainThreadAwaiter(std::shared_ptr<WorkerPool> thread, std::function<R()> job)
      : thread_(std::move(thread)), job_(std::move(job)) {}

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> awaiting) {
    pending_.arm(awaiting);
    thread_->submit([job = std::move(job_), result = result_, slot = pending_.slot()] {
      result->emplace(job());
      // With no queue installed the program is shutting down and nothing is left to resume.
      if (MainQueue* queue = MainQueue::installed())
        queue->post([slot] { detail::resumeSlot(slot); });
    });
  }
  R await_resume() { return std::move(**result_); }

 private:
  std::shared_ptr<WorkerPool> thread_;
  std::function<R()> job_;
  std::shared_ptr<std::optional<R>> result_ = std::make_shared<std::optional<R>>();
  detail::PendingResume pending_;
};

template <class R>
Task<R> onKeychainThread(std::shared_ptr<WorkerPool> thread, std::function<R()> job) {
  KeychainThreadAwaiter<R> awaiter(std::move(thread), std::move(job));
  co_return co_await awaiter;
}

}  // namespace

std::string SessionKeychain::serviceFor(const std::optional<std::string>& bundleIdentifier) {
  std::string service = bundleIdentifier ? *bundleIdentifier : std::string(wire::kBundleIdFallback);
  return service + ".session";
}

SessionKeychain::SessionKeychain(std::shared_ptr<SecretStore> store, std::string service)
    : store_(std::move(store)),
      key_{std::move(service), std::string(kAccount)},
      thread_(std::make_shared<WorkerPool>(1)) {}

Task<SecretReadResult> SessionKeychain::read() {
  std::function<SecretReadResult()> job = [store = store_, key = key_] {
    try {
      return store->read(key);
    } catch (const std::exception&) {
      return SecretReadResult::failed();
    }
  };
  return onKeychainThread(thread_, std::move(job));
}

Task<bool> SessionKeychain::write(std::string data) {
  std::function<bool()> job = [store = store_, key = key_, data = std::move(data)] {
    try {
      return writeItem(*store, key, data);
    } catch (const std::exception&) {
      return false;
    }
  };
  return onKeychainThread(thread_, std::move(job));
}

Task<bool> SessionKeychain::remove() {
  std::function<bool()> job = [store = store_, key = key_] {
    try {
      return store->remove(key) != SecretRemoveStatus::failed;
    } catch (const std::exception&) {
      return false;
    }
  };
  return onKeychainThread(thread_, std::move(job));
}

bool SessionKeychain::writeItem(SecretStore& store, const SecretItemKey& key,
                                const std::string& data) {
  switch (store.update(key, data)) {
    case SecretUpdateStatus::updated:
      return true;
    case SecretUpdateStatus::failed:
      return false;
    case SecretUpdateStatus::notFound:
      break;
  }
  switch (store.add(key, data)) {
    case SecretAddStatus::added:
      return true;
    case SecretAddStatus::failed:
      return false;
    case SecretAddStatus::duplicate:
      return store.update(key, data) == SecretUpdateStatus::updated;
  }
  return false;
}

}  // namespace orlith
