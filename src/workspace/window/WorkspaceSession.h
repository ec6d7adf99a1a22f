// What a workspace window needs of the account session: its state, the session and its revision,
// a change signal, recovery and sign-out. Window logic talks to this port, so its tests use a
// fake; production uses the adapter over the process's SessionStore.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "base/Observable.h"
#include "session/SessionState.h"
#include "session/StoredSession.h"

namespace orlith {

class SessionStore;

class WorkspaceSession {
 public:
  virtual ~WorkspaceSession() = default;

  virtual const SessionState& state() const = 0;
  virtual const std::optional<StoredSession>& currentSession() const = 0;
  virtual std::int64_t sessionRevision() const = 0;
  // Emitted synchronously after the state, the session or the revision changed. A handler must
  // not call back into the session; it posts what it needs.
  ChangeSignal& changed() { return changed_; }

  // Re-validates the session of `revision` with the service; nothing without a session.
  virtual void recoverSession(std::int64_t revision, bool force) = 0;
  virtual void signOut() = 0;

 protected:
  ChangeSignal changed_;
};

// The port over the process's SessionStore; the store's other fields are not the window's.
class SessionStoreWorkspaceSession final : public WorkspaceSession {
 public:
  explicit SessionStoreWorkspaceSession(std::shared_ptr<SessionStore> store);

  const SessionState& state() const override;
  const std::optional<StoredSession>& currentSession() const override;
  std::int64_t sessionRevision() const override;
  void recoverSession(std::int64_t revision, bool force) override;
  void signOut() override;

 private:
  std::shared_ptr<SessionStore> store_;
  ScopedConnection storeChanged_;
};

}  // namespace orlith
