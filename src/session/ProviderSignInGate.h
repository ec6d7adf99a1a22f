// Remembers the one provider sign-in attempt whose callback may still be accepted. A plain value
// owned by the session store; main thread only.
#pragma once

#include <optional>
#include <string>

#include "base/Uuid.h"

namespace orlith {

class ProviderSignInGate {
 public:
  struct Ticket {
    std::string id;
    bool operator==(const Ticket&) const = default;
  };

  // Starts an attempt; any earlier attempt's ticket stops being current at once.
  Ticket start(UuidSource& ids);
  bool isCurrent(const Ticket& ticket) const;
  // True once, for the current attempt's ticket, which it then retires: a callback is honoured at
  // most once and only for the newest attempt.
  bool finish(const Ticket& ticket);
  void abandon() { active_.reset(); }

  const std::optional<Ticket>& active() const { return active_; }

 private:
  std::optional<Ticket> active_;
};

}  // namespace orlith
