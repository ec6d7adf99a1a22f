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
  // The user's own folder for work roots, and for nothing else: only the work-root code removes
  // anything in it. Links above it are resolved; the folder itself must be no link, the user's
  // and writable by nobody else. Made (with its parents) mode 0700 when missing.
  std::filesystem::path temporaryFolder;
  std::shared_ptr<const UserDatabase> users;
  std::shared_ptr<const UpdateVolumes> volumes;
  // The bundle whose seal and key this process trusts; nothing for a program outside a bundle.
  std::optional<std::filesystem::path> ownBundle;
  // Where other running copies of the app count: anywhere in production. Tests name their own
  // tree, so a developer's running app or another checkout's tests never fail them.
  std::optional<std::filesystem::path> instanceScope;

  // "/opt/Applications", the admin group, <home>/.cache/OrlithUpdateWork of the user database's
  // home, this machine's user database and volumes, and the bundle of /proc/self/exe. Never
  // anything from the environment.
  static const UpdateLocations& system();
  // <home>/.cache/OrlithUpdateWork of the effective user's entry; /tmp/orlith-updates-<uid> for
  // a user without a home.
  static std::filesystem::path userTemporaryFolder(const UserDatabase& users);
};

}  // namespace orlith
