// Origin texts of http(s) URLs.
#include "workspace/surface/WebOrigin.h"

#include "base/Text.h"

namespace orlith {
namespace {

struct OriginParts {
  std::string scheme;
  std::string host;
  int port;
  int defaultPort;
};

std::optional<OriginParts> originParts(const Url& url) {
  if (url.hasCredentials())
    return std::nullopt;
  const std::string& scheme = url.scheme();
  if (scheme != "https" && scheme != "http")
    return std::nullopt;
  if (!url.host() || url.host()->empty())
    return std::nullopt;
  std::string host = asciiLowercase(*url.host());
  if (url.hostIsIpv6Literal())
    host = "[" + host + "]";
  int defaultPort = scheme == "https" ? 443 : 80;
  return OriginParts{scheme, std::move(host), url.port().value_or(defaultPort), defaultPort};
}

}  // namespace

std::optional<std::string> webSerialisedOrigin(const Url& url) {
  auto parts = originParts(url);
  if (!parts)
    return std::nullopt;
  std::string origin = parts->scheme + "://" + parts->host;
  if (parts->port != parts->defaultPort)
    origin += ":" + std::to_string(parts->port);
  return origin;
}

std::optional<std::string> portExplicitOrigin(const Url& url) {
  auto parts = originParts(url);
  if (!parts)
    return std::nullopt;
  return parts->scheme + "://" + parts->host + ":" + std::to_string(parts->port);
}

}  // namespace orlith
