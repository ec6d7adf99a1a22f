// Tickets of the account operation gate.
#include "session/SessionOperationGate.h"

namespace orlith {

std::optional<SessionOperationGate::Ticket> SessionOperationGate::begin(UuidSource& ids) {
  if (active_)
    return std::nullopt;
  active_ = Ticket{ids.next(), revision_};
  return active_;
}

bool SessionOperationGate::isCurrent(const Ticket& ticket) const {
  return active_ && *active_ == ticket && ticket.revision == revision_;
}

void SessionOperationGate::end(const Ticket& ticket) {
  if (isCurrent(ticket))
    active_.reset();
}

void SessionOperationGate::disownAll() {
  ++revision_;
  active_.reset();
}

}  // namespace orlith
