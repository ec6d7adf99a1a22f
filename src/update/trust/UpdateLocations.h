// Where updates may be installed and worked on: the system Applications folder, the admin group,
// the temporary folder, the user database behind the user's own Applications folder, the
// volumes beneath them and the running program's own bundle.
// Production uses the compiled-in values; tests hand in a private tree and a fake database.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "update/trust/UpdateVolumes.h"
#include "update/trust/UserDatabase.h"

namespace orlith {

struct UpdateLocations {
  std::filesystem::path systemApplicationsFolder;
  std::string adminGroupName;
  // Not yet resolved; work roots go under its realpath.
  std::filesystem::path temporaryFolder;
  std::shared_ptr<const UserDatabase> users;
  std::shared_ptr<const UpdateVolumes> volumes;
  // The bundle whose seal and key this process trusts; nothing for a program outside a bundle.
  std::optional<std::filesystem::path> ownBundle;
  // Where other running copies of the app count: anywhere in production. Tests name their own
  // tree, so a developer's running app or another checkout's tests never fail them.
  std::optional<std::filesystem::path> instanceScope;

  // "/opt/Applications", the admin group, P_tmpdir, this machine's user database and volumes, and
  // the bundle of /proc/self/exe. Never anything from the environment.
  static const UpdateLocations& system();
};

}  // namespace orlith
