// Matching of a cookie against a URL.
#include "session/HttpCookie.h"

#include "session/HttpHeaders.h"

namespace orlith {
namespace {

bool domainMatches(std::string_view cookieDomain, std::string_view host, bool hostOnly) {
  if (hostOnly)
    return equalsIgnoringAsciiCase(cookieDomain, host);
  std::string_view domain = cookieDomain.substr(1);
  if (equalsIgnoringAsciiCase(domain, host))
    return true;
  return host.size() > domain.size() &&
         equalsIgnoringAsciiCase(host.substr(host.size() - domain.size()), domain) &&
         host[host.size() - domain.size() - 1] == '.';
}

bool pathMatches(std::string_view cookiePath, std::string_view path) {
  if (path.empty())
    path = "/";
  if (path == cookiePath)
    return true;
  if (path.substr(0, cookiePath.size()) != cookiePath)
    return false;
  return cookiePath.ends_with('/') || path[cookiePath.size()] == '/';
}

}  // namespace

bool HttpCookie::appliesTo(std::string_view scheme, std::string_view host, std::string_view path,
                           std::chrono::system_clock::time_point now) const {
  if (domain.empty() || isExpired(now))
    return false;
  if (secure && !equalsIgnoringAsciiCase(scheme, "https"))
    return false;
  return domainMatches(domain, host, isHostOnly()) && pathMatches(this->path, path);
}

}  // namespace orlith
