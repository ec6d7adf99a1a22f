// The service origin and the URL policy built on it: which hosts, page origins and URLs the
// app trusts, and which paths belong to the web application.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/Url.h"

namespace orlith {

// The fixed service host constants. They come from the build and do not follow a changed
// origin; tests inject other values.
struct ServiceHosts {
  std::string originText;  // the compiled-in origin, as written
  std::string host;        // lower case
  std::string wwwHost;     // "www." + host

  static ServiceHosts fromBuild();
  bool operator==(const ServiceHosts&) const = default;
};

class OrlithEnvironment {
 public:
  static constexpr std::array<std::string_view, 4> appPathPrefixes = {"/app", "/logout", "/api",
                                                                      "/share"};

  explicit OrlithEnvironment(Url origin, ServiceHosts hosts = ServiceHosts::fromBuild());

  // The compiled-in origin; aborts the program when the build's value does not parse.
  static const Url& defaultOrigin();
  // The process's environment, made on first use from the compiled-in origin.
  static const OrlithEnvironment& shared();

  // "scheme://host[:port]" of a URL, case as written and an explicit port kept; the fallback
  // text when the URL has no scheme or no host.
  static std::string originString(const Url& url, std::string_view fallback);
  // The same with the compiled-in origin as the fallback.
  static std::string originString(const Url& url);

  const Url& origin() const { return origin_; }
  const ServiceHosts& hosts() const { return hosts_; }
  std::string originString() const;

  bool isTrustedHost(std::string_view host) const;
  // port 0 means no port given.
  bool isAllowedOrigin(std::string_view scheme, std::string_view host, int port) const;
  bool isAllowedURL(const Url& url) const;
  bool isAppURL(const Url& url) const;

  friend bool operator==(const OrlithEnvironment& a, const OrlithEnvironment& b) {
    return a.origin_ == b.origin_;
  }

 private:
  std::optional<std::string> originHost() const;

  Url origin_;
  ServiceHosts hosts_;
};

}  // namespace orlith
