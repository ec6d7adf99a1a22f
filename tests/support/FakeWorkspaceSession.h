// A session for window logic: state, session and revision set by the test, and a record of the
// recoveries and sign-outs asked of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workspace/window/WorkspaceSession.h"

namespace orlith::testing {

class FakeWorkspaceSession final : public WorkspaceSession {
 public:
  struct Recovery {
    std::int64_t revision;
    bool force;
    friend bool operator==(const Recovery&, const Recovery&) = default;
  };

  const SessionState& state() const override { return state_; }
  const std::optional<StoredSession>& currentSession() const override { return session_; }
  std::int64_t sessionRevision() const override { return revision_; }
  void recoverSession(std::int64_t revision, bool force) override {
    recoveries.push_back({revision, force});
  }
  void signOut() override { ++signOuts; }

  // Signs in as `email` with a new revision, as the store's activation does.
  void signIn(std::string email, std::string cookieValue = "session-cookie") {
    StoredSession session;
    session.email = email;
    session.cookie.name = "orlith_session";
    session.cookie.value = std::move(cookieValue);
    session.cookie.domain = "orlith.example";
    session.cookie.path = "/";
    session.cookie.isSecure = true;
    session_ = std::move(session);
    state_ = SessionState::authenticated(std::move(email));
    ++revision_;
    changed_.emit();
  }
  void setState(SessionState state) {
    state_ = std::move(state);
    changed_.emit();
  }
  // Ends the session locally, as sign-out or a cleared session does: a new revision.
  void clearSession() {
    session_.reset();
    state_ = SessionState::unauthenticated();
    ++revision_;
    changed_.emit();
  }

  std::vector<Recovery> recoveries;
  int signOuts = 0;

 private:
  SessionState state_ = SessionState::loading();
  std::optional<StoredSession> session_;
  std::int64_t revision_ = 0;
};

}  // namespace orlith::testing
