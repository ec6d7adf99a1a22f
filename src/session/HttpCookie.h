// One cookie as a cookie engine holds it. Host-only cookies keep the bare host, Domain=
// cookies a leading dot.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

struct HttpCookie {
  std::string name;
  std::string value;
  std::string domain;
  std::string path = "/";
  bool secure = false;
  bool httpOnly = false;
  std::optional<std::chrono::system_clock::time_point> expires;  // none: a session cookie

  bool isHostOnly() const { return domain.empty() || domain.front() != '.'; }
  bool isExpired(std::chrono::system_clock::time_point now) const {
    return expires && *expires <= now;
  }
  // Whether the cookie would be sent to a URL with this scheme, host and path (RFC 6265
  // domain-match, path-match, Secure only over https, not expired).
  bool appliesTo(std::string_view scheme, std::string_view host, std::string_view path,
                 std::chrono::system_clock::time_point now) const;

  bool operator==(const HttpCookie&) const = default;
};

}  // namespace orlith
