// Named notifications within the process: observers register under a name and every post of that
// name runs them at once, in registration order, before post returns. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orlith {

// Posted just before the app quits to install an update; windows save their tabs when it arrives.
inline constexpr std::string_view kWillRestartForUpdateNotification = "orlithWillRestartForUpdate";

class NotificationHub {
  struct Entry;
  struct State;

 public:
  // Keeps its observer registered while it lives; destroying or resetting it removes the
  // observer, also from within a post, and also after the hub itself is gone.
  class Token {
   public:
    Token() = default;
    ~Token() { reset(); }
    Token(const Token&) = delete;
    Token& operator=(const Token&) = delete;
    Token(Token&& other) noexcept;
    Token& operator=(Token&& other) noexcept;

    void reset();
    bool isActive() const;

   private:
    friend class NotificationHub;
    Token(std::weak_ptr<State> state, std::shared_ptr<Entry> entry);

    std::weak_ptr<State> state_;
    std::shared_ptr<Entry> entry_;
  };

  NotificationHub();
  ~NotificationHub();
  NotificationHub(const NotificationHub&) = delete;
  NotificationHub& operator=(const NotificationHub&) = delete;

  [[nodiscard]] Token addObserver(std::string name, std::function<void()> action);

  // Runs every observer of `name` that is registered when the post starts and still registered
  // when its turn comes; observers added during the post wait for the next one. When observers
  // throw, the rest still run and the first exception is then rethrown.
  void post(std::string_view name);

  std::size_t observerCount(std::string_view name) const;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace orlith
