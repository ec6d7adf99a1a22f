// Admits one account operation at a time and tells an operation, after each wait, whether its
// result may still be used. A plain value owned by the session store; main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/Uuid.h"

namespace orlith {

class SessionOperationGate {
 public:
  struct Ticket {
    std::string id;
    std::int64_t revision = 0;
    bool operator==(const Ticket&) const = default;
  };

  // A ticket for a new operation, or none while another one runs.
  std::optional<Ticket> begin(UuidSource& ids);
  // Current while it is the running operation's ticket and no revision step came since.
  bool isCurrent(const Ticket& ticket) const;
  // Ends the operation of `ticket` when it is still current; a stale ticket changes nothing, as a
  // newer operation may hold the gate by now.
  void end(const Ticket& ticket);
  // Disowns every running operation: their tickets stop being current for good.
  void disownAll();

  std::int64_t revision() const { return revision_; }
  const std::optional<Ticket>& active() const { return active_; }

 private:
  std::int64_t revision_ = 0;
  std::optional<Ticket> active_;
};

}  // namespace orlith
