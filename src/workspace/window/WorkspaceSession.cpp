// The window's session port over SessionStore.
#include "workspace/window/WorkspaceSession.h"

#include <utility>

#include "session/SessionStore.h"

namespace orlith {

SessionStoreWorkspaceSession::SessionStoreWorkspaceSession(std::shared_ptr<SessionStore> store)
    : store_(std::move(store)) {
  storeChanged_ = store_->changed().connect([this](SessionField field) {
    switch (field) {
      case SessionField::state:
      case SessionField::currentSession:
      case SessionField::sessionRevision:
        changed_.emit();
        return;
      default:
        return;
    }
  });
}

const SessionState& SessionStoreWorkspaceSession::state() const {
  return store_->state();
}

const std::optional<StoredSession>& SessionStoreWorkspaceSession::currentSession() const {
  return store_->currentSession();
}

std::int64_t SessionStoreWorkspaceSession::sessionRevision() const {
  return store_->sessionRevision();
}

void SessionStoreWorkspaceSession::recoverSession(std::int64_t revision, bool force) {
  store_->recoverSession(revision, force);
}

void SessionStoreWorkspaceSession::signOut() {
  store_->signOut();
}

}  // namespace orlith
