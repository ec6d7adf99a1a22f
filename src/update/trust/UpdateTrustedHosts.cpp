// The build's trusted update hosts.
#include "update/trust/UpdateTrustedHosts.h"

#include "OrlithBuildConfig.h"

namespace orlith {

UpdateTrustedHosts UpdateTrustedHosts::ofBuild() {
  return {build::kServiceHost, build::kServiceWwwHost};
}

UpdateTrustedHosts UpdateTrustedHosts::forHost(std::string host) {
  std::string www = "www." + host;
  return {std::move(host), std::move(www)};
}

}  // namespace orlith
