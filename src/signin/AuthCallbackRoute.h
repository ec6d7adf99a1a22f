// Where links of the app's own scheme that come back from a provider's sign-in page
// ("orlith://auth/…") are handed to the waiting browser sign-in. One per process, owned by the
// application. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "base/Url.h"

namespace orlith {

class AuthCallbackRoute {
 public:
  using Receiver = std::function<void(const Url&)>;

  // Removes the registration when destroyed.
  class Registration {
   public:
    Registration() = default;
    Registration(Registration&&) noexcept = default;
    Registration& operator=(Registration&& other) noexcept;
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration() { reset(); }
    void reset();
    explicit operator bool() const { return static_cast<bool>(entry_); }

   private:
    friend class AuthCallbackRoute;
    struct Entry;
    Registration(std::weak_ptr<AuthCallbackRoute*> route, std::shared_ptr<Entry> entry)
        : route_(std::move(route)), entry_(std::move(entry)) {}
    std::weak_ptr<AuthCallbackRoute*> route_;
    std::shared_ptr<Entry> entry_;
  };

  AuthCallbackRoute();
  AuthCallbackRoute(const AuthCallbackRoute&) = delete;
  AuthCallbackRoute& operator=(const AuthCallbackRoute&) = delete;
  ~AuthCallbackRoute();

  // Whether the link belongs here: scheme "orlith", host "auth".
  static bool isAuthCallbackLink(const Url& url);

  // The newest waiting receiver gets the next callback link.
  [[nodiscard]] Registration waitForCallback(Receiver receiver);
  // Hands the link to the newest waiting receiver, which is removed first; false when nobody
  // waits (the link is then dropped).
  bool deliver(const Url& url);
  bool hasWaitingReceiver() const { return !waiting_.empty(); }

 private:
  void remove(const std::shared_ptr<Registration::Entry>& entry);

  std::shared_ptr<AuthCallbackRoute*> self_;
  std::vector<std::shared_ptr<Registration::Entry>> waiting_;
};

}  // namespace orlith
