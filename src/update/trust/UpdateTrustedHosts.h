// The two hosts update packages may come from: the service host and its "www." twin, both lower
// case. Passed in, so that tests can judge addresses of a production-like host.
#pragma once

#include <string>

namespace orlith {

struct UpdateTrustedHosts {
  std::string host;
  std::string wwwHost;

  // The compiled-in service host constants.
  static UpdateTrustedHosts ofBuild();
  // For a host given in lower case, that host and its "www." twin.
  static UpdateTrustedHosts forHost(std::string host);

  // The service's download page without a scheme, as the texts name it.
  std::string downloadPage() const { return host + "/download"; }
};

}  // namespace orlith
