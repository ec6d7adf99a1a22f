// The service origin and its URL policy.
#include "session/OrlithEnvironment.h"

#include <cstdlib>
#include <utility>

#include "OrlithBuildConfig.h"

namespace orlith {
namespace {

std::string asciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool isLocalHostName(std::string_view lowerHost) {
  return lowerHost == "localhost" || lowerHost == "127.0.0.1";
}

int defaultPortFor(std::string_view lowerScheme) {
  return lowerScheme == "https" ? 443 : 80;
}

}  // namespace

ServiceHosts ServiceHosts::fromBuild() {
  return {build::kServiceOrigin, build::kServiceHost, build::kServiceWwwHost};
}

OrlithEnvironment::OrlithEnvironment(Url origin, ServiceHosts hosts)
    : origin_(std::move(origin)), hosts_(std::move(hosts)) {}

const Url& OrlithEnvironment::defaultOrigin() {
  static const Url origin = [] {
    auto parsed = Url::parse(build::kServiceOrigin);
    // The origin is a build constant: a value that does not parse is a build fault.
    if (!parsed)
      std::abort();
    return *parsed;
  }();
  return origin;
}

const OrlithEnvironment& OrlithEnvironment::shared() {
  static const OrlithEnvironment environment(defaultOrigin());
  return environment;
}

std::string OrlithEnvironment::originString(const Url& url, std::string_view fallback) {
  auto origin = url.origin();
  if (!origin || url.scheme().empty() || !url.host() || url.host()->empty()) {
    return std::string(fallback);
  }
  // Url lower-cases the scheme; the text keeps it as written.
  origin->replace(0, url.scheme().size(), url.absoluteString().substr(0, url.scheme().size()));
  return *origin;
}

std::string OrlithEnvironment::originString(const Url& url) {
  return originString(url, build::kServiceOrigin);
}

std::string OrlithEnvironment::originString() const {
  return originString(origin_, hosts_.originText);
}

std::optional<std::string> OrlithEnvironment::originHost() const {
  if (!origin_.host())
    return std::nullopt;
  return asciiLower(*origin_.host());
}

bool OrlithEnvironment::isTrustedHost(std::string_view host) const {
  std::string h = asciiLower(host);
  if (isLocalHostName(h)) {
    auto own = originHost();
    return own && isLocalHostName(*own);
  }
  return h == hosts_.host || h == hosts_.wwwHost;
}

bool OrlithEnvironment::isAllowedOrigin(std::string_view scheme, std::string_view host,
                                        int port) const {
  std::string s = asciiLower(scheme);
  std::string h = asciiLower(host);
  if (!isTrustedHost(h))
    return false;
  int p = port == 0 ? defaultPortFor(s) : port;
  if (!isLocalHostName(h))
    return s == "https" && p == 443;

  std::string ownScheme = origin_.scheme().empty() ? "https" : asciiLower(origin_.scheme());
  int ownPort = origin_.port().value_or(defaultPortFor(ownScheme));
  auto ownHost = originHost();
  if (!ownHost)
    return false;
  return h == *ownHost && s == ownScheme && p == ownPort;
}

bool OrlithEnvironment::isAllowedURL(const Url& url) const {
  if (url.hasCredentials() || !url.host())
    return false;
  return isAllowedOrigin(url.scheme(), *url.host(), url.port().value_or(0));
}

bool OrlithEnvironment::isAppURL(const Url& url) const {
  if (!isAllowedURL(url))
    return false;
  std::string path = url.path();
  for (std::string_view prefix : appPathPrefixes) {
    if (path == prefix)
      return true;
    if (path.size() > prefix.size() && path.starts_with(prefix) && path[prefix.size()] == '/') {
      return true;
    }
  }
  return false;
}

}  // namespace orlith
