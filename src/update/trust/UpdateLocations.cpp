// The production update locations.
#include "update/trust/UpdateLocations.h"

#include <cstdio>
#include <string>

#include "base/BundleInfo.h"
#include "update/trust/SystemUserDatabase.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

// Work roots hold a package of up to 250 MB and an app of up to 2 GiB: they go to the user's own
// cache folder (home from the user database, never the environment), usually on the file system
// of the user's Applications folder, rather than a shared and often memory-backed /tmp. Without a
// home entry, a folder of the user's own in /tmp, which the work root's checks then judge.
std::filesystem::path UpdateLocations::userTemporaryFolder(const UserDatabase& users) {
  const uid_t user = users.effectiveUserId();
  const auto home = users.homeDirectory(user);
  if (home && !home->empty() && home->front() == '/') {
    return std::filesystem::path(*home) / ".cache" / "OrlithUpdates";
  }
  return std::filesystem::path(P_tmpdir) / ("orlith-updates-" + std::to_string(user));
}

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
