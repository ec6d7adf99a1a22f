// Which engine cookies are the account's session cookie, and whether the stored session must
// follow a change the web application made to it.
#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "session/HttpCookie.h"
#include "session/OrlithEnvironment.h"
#include "session/StoredCookie.h"

namespace orlith {

// Expiries closer than this count as the same: engines round them, and a refresh that moves an
// expiry by less is not worth a keyring write.
inline constexpr std::chrono::seconds kSessionCookieExpiryTolerance{60};

// Lower case, one leading "." dropped (a domain beginning with two dots keeps one).
std::string normalizedCookieDomain(std::string_view domain);

// The service host and its "www." twin belong together; any other domain stands alone.
std::set<std::string> sessionCookieDomains(std::string_view domain, const ServiceHosts& hosts);

// A live session cookie of this name in these domains: path "/", secure, and no expiry or one
// later than now.
bool isSessionCookie(const HttpCookie& cookie, std::string_view name,
                     const std::set<std::string>& domains,
                     std::chrono::system_clock::time_point now);

struct SessionCookieSyncDecision {
  enum class Kind { adopt, none };

  Kind kind = Kind::none;
  // With adopt: the engine cookie whose value and expiry the stored session takes over.
  std::string name;
  std::string value;
  std::optional<double> expiresAt;  // seconds since 2001-01-01 UTC

  static SessionCookieSyncDecision none() { return {}; }
  static SessionCookieSyncDecision adopt(std::string name, std::string value,
                                         std::optional<double> expiresAt) {
    return {Kind::adopt, std::move(name), std::move(value), expiresAt};
  }
  bool operator==(const SessionCookieSyncDecision&) const = default;
};

// Whether two expiries differ enough to count as a change: one present and one absent, or more
// than the tolerance apart.
bool expiriesDiffer(std::optional<double> a, std::optional<double> b);

// The reconciliation rule. Among the engine's live session cookies of the stored cookie's name
// in its domains, the stored cookie's own domain is preferred, then the engine's order. Adopt
// when that cookie's value differs or its expiry differs; keep the stored session when it is
// still there unchanged, and also when no live session cookie is left (the engine dropping a
// cookie is no proof that the session ended; the service says so on the next request).
SessionCookieSyncDecision decideSessionCookieSync(const StoredCookie& stored,
                                                  const std::vector<HttpCookie>& engineCookies,
                                                  const ServiceHosts& hosts,
                                                  std::chrono::system_clock::time_point now);

// The stored cookie with an adopt decision applied; unchanged for none.
StoredCookie applySessionCookieSync(StoredCookie stored, const SessionCookieSyncDecision& decision);

}  // namespace orlith
