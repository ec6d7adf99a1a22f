// The account state that the windows follow: signed in (with the session's e-mail), loading,
// signed out, or a session that cannot be restored or re-validated now.
#pragma once

#include <optional>
#include <string>

namespace orlith {

struct SessionState {
  enum class Kind { authenticated, loading, unauthenticated, recoveryUnavailable };

  Kind kind = Kind::loading;
  std::optional<std::string> email;  // with authenticated only

  static SessionState authenticated(std::optional<std::string> email) {
    return {Kind::authenticated, std::move(email)};
  }
  static SessionState loading() { return {Kind::loading, std::nullopt}; }
  static SessionState unauthenticated() { return {Kind::unauthenticated, std::nullopt}; }
  static SessionState recoveryUnavailable() { return {Kind::recoveryUnavailable, std::nullopt}; }

  bool isAuthenticated() const { return kind == Kind::authenticated; }
  bool operator==(const SessionState&) const = default;
};

}  // namespace orlith
