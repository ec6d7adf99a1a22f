// The build's trusted update hosts.
#include "update/trust/UpdateTrustedHosts.h"

#include "OrlithBuildConfig.h"
#include "base/Url.h"

namespace orlith {

UpdateTrustedHosts UpdateTrustedHosts::ofBuild() {
  UpdateTrustedHosts hosts{build::kServiceHost, build::kServiceWwwHost, std::nullopt};
  if constexpr (build::kOriginIsLocal) {
    if (const auto origin = Url::parse(build::kServiceOrigin))
      hosts.localOriginPort = origin->port();
  }
  return hosts;
}

UpdateTrustedHosts UpdateTrustedHosts::forHost(std::string host) {
  std::string www = "www." + host;
  return {std::move(host), std::move(www), std::nullopt};
}

UpdateTrustedHosts UpdateTrustedHosts::forLocalOrigin(std::string host, int port) {
  UpdateTrustedHosts hosts = forHost(std::move(host));
  hosts.localOriginPort = port;
  return hosts;
}

}  // namespace orlith
