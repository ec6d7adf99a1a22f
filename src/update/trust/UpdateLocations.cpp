// The production update locations.
#include "update/trust/UpdateLocations.h"

#include <cstdio>

#include "base/BundleInfo.h"
#include "update/trust/SystemUserDatabase.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

const UpdateLocations& UpdateLocations::system() {
  static const UpdateLocations locations{
      std::filesystem::path(update_wire::kSystemApplicationsFolder),
      std::string(update_wire::kAdminGroupName),
      std::filesystem::path(P_tmpdir),
      std::make_shared<SystemUserDatabase>(),
      std::make_shared<SystemUpdateVolumes>(),
      BundleInfo::mainBundlePath(),
      std::nullopt};
  return locations;
}

}  // namespace orlith
