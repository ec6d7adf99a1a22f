// The user's own folder for update work roots.
#include "update/trust/UpdateLocations.h"

#include <cstdio>
#include <string>

namespace orlith {
namespace {

constexpr const char* kFolderName = "OrlithUpdateWork";

}  // namespace

// Work roots hold a package of up to 250 MB and an app of up to 2 GiB: they go to the user's own
// cache folder (home from the user database, never the environment), usually on the file system
// of the user's Applications folder, rather than a shared and often memory-backed /tmp. The
// folder is not the app's packages folder (<XDG cache>/OrlithUpdates), so the app's clean-up of
// its packages never meets a root an updater still uses. Without a home entry, a folder of the
// user's own in /tmp, which the work root's checks then judge.
std::filesystem::path UpdateLocations::userTemporaryFolder(const UserDatabase& users) {
  const uid_t user = users.effectiveUserId();
  const auto home = users.homeDirectory(user);
  if (home && !home->empty() && home->front() == '/') {
    return std::filesystem::path(*home) / ".cache" / kFolderName;
  }
  return std::filesystem::path(P_tmpdir) / ("orlith-updates-" + std::to_string(user));
}

}  // namespace orlith
