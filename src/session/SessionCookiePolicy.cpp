// The session cookie's domains, the live-cookie test and the reconciliation decision.
#include "session/SessionCookiePolicy.h"

#include <cmath>

#include "base/Text.h"
#include "session/ReferenceDate.h"

namespace orlith {

std::string normalizedCookieDomain(std::string_view domain) {
  if (domain.starts_with('.'))
    domain.remove_prefix(1);
  return asciiLowercase(domain);
}

std::set<std::string> sessionCookieDomains(std::string_view domain, const ServiceHosts& hosts) {
  std::string normalized = normalizedCookieDomain(domain);
  if (normalized == hosts.host || normalized == hosts.wwwHost)
    return {hosts.host, hosts.wwwHost};
  return {std::move(normalized)};
}

bool isSessionCookie(const HttpCookie& cookie, std::string_view name,
                     const std::set<std::string>& domains,
                     std::chrono::system_clock::time_point now) {
  return cookie.name == name && domains.contains(normalizedCookieDomain(cookie.domain)) &&
         cookie.path == "/" && cookie.secure && !cookie.isExpired(now);
}

bool expiriesDiffer(std::optional<double> a, std::optional<double> b) {
  if (!a || !b)
    return a.has_value() != b.has_value();
  return std::fabs(*a - *b) > static_cast<double>(kSessionCookieExpiryTolerance.count());
}

SessionCookieSyncDecision decideSessionCookieSync(const StoredCookie& stored,
                                                  const std::vector<HttpCookie>& engineCookies,
                                                  const ServiceHosts& hosts,
                                                  std::chrono::system_clock::time_point now) {
  const auto domains = sessionCookieDomains(stored.domain, hosts);
  const std::string storedDomain = normalizedCookieDomain(stored.domain);
  const HttpCookie* chosen = nullptr;
  for (const HttpCookie& cookie : engineCookies) {
    if (!isSessionCookie(cookie, stored.name, domains, now))
      continue;
    if (!chosen || (normalizedCookieDomain(cookie.domain) == storedDomain &&
                    normalizedCookieDomain(chosen->domain) != storedDomain)) {
      chosen = &cookie;
    }
  }
  if (!chosen)
    return SessionCookieSyncDecision::none();
  std::optional<double> expiresAt;
  if (chosen->expires)
    expiresAt = referenceSecondsFrom(*chosen->expires);
  if (chosen->value == stored.value && !expiriesDiffer(expiresAt, stored.expiresAt))
    return SessionCookieSyncDecision::none();
  return SessionCookieSyncDecision::adopt(chosen->name, chosen->value, expiresAt);
}

StoredCookie applySessionCookieSync(StoredCookie stored,
                                    const SessionCookieSyncDecision& decision) {
  if (decision.kind == SessionCookieSyncDecision::Kind::adopt) {
    stored.name = decision.name;
    stored.value = decision.value;
    stored.expiresAt = decision.expiresAt;
  }
  return stored;
}

}  // namespace orlith
