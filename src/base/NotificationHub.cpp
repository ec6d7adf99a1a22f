// Synchronous notifications with RAII registration.
#include "base/NotificationHub.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace orlith {

struct NotificationHub::Entry {
  std::string name;
  std::function<void()> action;
  bool removed = false;
};

struct NotificationHub::State {
  std::vector<std::shared_ptr<Entry>> entries;
};

NotificationHub::Token::Token(std::weak_ptr<State> state, std::shared_ptr<Entry> entry)
    : state_(std::move(state)), entry_(std::move(entry)) {}

NotificationHub::Token::Token(Token&& other) noexcept
    : state_(std::move(other.state_)), entry_(std::move(other.entry_)) {}

NotificationHub::Token& NotificationHub::Token::operator=(Token&& other) noexcept {
  if (this != &other) {
    reset();
    state_ = std::move(other.state_);
    entry_ = std::move(other.entry_);
  }
  return *this;
}

void NotificationHub::Token::reset() {
  std::shared_ptr<Entry> entry = std::exchange(entry_, nullptr);
  std::shared_ptr<State> state = std::exchange(state_, {}).lock();
  if (!entry)
    return;
  // Marked first: a post that already took its list skips the entry.
  entry->removed = true;
  if (state)
    std::erase(state->entries, entry);
}

bool NotificationHub::Token::isActive() const {
  return entry_ && !entry_->removed && !state_.expired();
}

NotificationHub::NotificationHub() : state_(std::make_shared<State>()) {}

NotificationHub::~NotificationHub() {
  for (auto& entry : state_->entries)
    entry->removed = true;
}

NotificationHub::Token NotificationHub::addObserver(std::string name,
                                                    std::function<void()> action) {
  auto entry = std::make_shared<Entry>(Entry{std::move(name), std::move(action), false});
  state_->entries.push_back(entry);
  return Token(state_, std::move(entry));
}

void NotificationHub::post(std::string_view name) {
  std::vector<std::shared_ptr<Entry>> due;
  for (const auto& entry : state_->entries) {
    if (entry->name == name)
      due.push_back(entry);
  }
  std::exception_ptr firstFailure;
  for (const auto& entry : due) {
    if (entry->removed)
      continue;
    // A copy: the observer may remove itself, and with it the entry's function.
    std::function<void()> action = entry->action;
    try {
      action();
    } catch (...) {
      if (!firstFailure)
        firstFailure = std::current_exception();
    }
  }
  if (firstFailure)
    std::rethrow_exception(firstFailure);
}

std::size_t NotificationHub::observerCount(std::string_view name) const {
  return static_cast<std::size_t>(std::ranges::count_if(
      state_->entries, [&](const auto& entry) { return entry->name == name; }));
}

}  // namespace orlith
