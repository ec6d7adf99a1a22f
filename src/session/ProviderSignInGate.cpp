// Tickets of the provider sign-in gate.
#include "session/ProviderSignInGate.h"

namespace orlith {

ProviderSignInGate::Ticket ProviderSignInGate::start(UuidSource& ids) {
  active_ = Ticket{ids.next()};
  return *active_;
}

bool ProviderSignInGate::isCurrent(const Ticket& ticket) const {
  return active_ && active_->id == ticket.id;
}

bool ProviderSignInGate::finish(const Ticket& ticket) {
  if (!isCurrent(ticket))
    return false;
  active_.reset();
  return true;
}

}  // namespace orlith
