// The two hosts update packages may come from: the service host and its "www." twin, both lower
// case. Passed in, so that tests can judge addresses of a production-like host. A build whose
// origin is local also trusts the origin's own explicit port, on the origin's host alone.
#pragma once

#include <optional>
#include <string>

namespace orlith {

struct UpdateTrustedHosts {
  std::string host;
  std::string wwwHost;
  // Set only when the compiled-in origin is local and names a port.
  std::optional<int> localOriginPort;

  // The compiled-in service host constants.
  static UpdateTrustedHosts ofBuild();
  // For a host given in lower case, that host and its "www." twin.
  static UpdateTrustedHosts forHost(std::string host);
  // As a build with the local origin https://<host>:<port> trusts.
  static UpdateTrustedHosts forLocalOrigin(std::string host, int port);

  // The service's download page without a scheme, as the texts name it.
  std::string downloadPage() const { return host + "/download"; }
};

}  // namespace orlith
