// The production update locations, in an object of their own: a test copy of the programs links
// its test tree's locations in their place, and so can never reach the machine's.
#include "base/BundleInfo.h"
#include "update/trust/SystemUserDatabase.h"
#include "update/trust/UpdateLocations.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

const UpdateLocations& UpdateLocations::system() {
  static const auto users = std::make_shared<SystemUserDatabase>();
  static const UpdateLocations locations{
      std::filesystem::path(update_wire::kSystemApplicationsFolder),
      std::string(update_wire::kAdminGroupName),
      userTemporaryFolder(*users),
      users,
      std::make_shared<SystemUpdateVolumes>(),
      BundleInfo::mainBundlePath(),
      std::nullopt};
  return locations;
}

}  // namespace orlith
