// The private folder an installation is handed over in: its creation and claim, the plan file,
// the three marker files, and the removal of roots that no live service or updater claims. Only
// this code removes work roots other than one's own. Whether a root is private is judged by the
// installation security checks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/FolderClaim.h"
#include "base/Uuid.h"
#include "update/trust/UpdateInstallPlan.h"
#include "update/trust/UpdateLocations.h"

namespace orlith {

enum class UpdateMarker { prepared, committed, cancelled };

class UpdateWorkRoot final {
 public:
  UpdateWorkRoot() = delete;

  struct Created {
    std::filesystem::path path;
    // Held for as long as the root is worked on; it keeps the root from being swept.
    FolderClaim claim;
  };

  // "OrlithUpdate-<fresh UUID>" made exclusively, mode 0700 whatever the umask, and claimed,
  // directly in the user's folder for work roots (links above it resolved). That folder is made
  // 0700 when missing; one that is a link or not private throws UpdateFailure "The updater
  // handoff is not private.". Other errors throw std::system_error.
  static Created create(const UpdateLocations& locations, UuidSource& uuids);
  // Removes every work root of the user's folder that nobody claims: those of a service or
  // updater that was killed or ended without removing its root. A claimed root, an entry of
  // another name and a folder that is a link or not private are left as they are; errors leave
  // what they concern for a later sweep.
  static void removeUnclaimed(const UpdateLocations& locations);
  // The same in another private folder of the user's: the packages folder, where earlier
  // versions made their work roots.
  static void removeUnclaimedIn(const std::filesystem::path& folder, uid_t user);
  // "OrlithUpdate-" and a canonical UUID: the names create() makes.
  static bool isRootName(std::string_view name);

  static std::filesystem::path planFile(const std::filesystem::path& root);
  // Atomically, then mode 0600. Throws std::system_error.
  static void writePlan(const std::filesystem::path& root, const UpdateInstallPlan& plan);
  // Only a plan this user's service wrote: a regular file, not a link, one link only, owned by
  // the effective user, writable by nobody else, of 1 to 1,048,575 bytes. Anything else throws
  // UpdateFailure "The updater handoff is not private."; a plan that does not decode throws the
  // decoder's error.
  static UpdateInstallPlan readPlan(const std::filesystem::path& planFile,
                                    const UserDatabase& users);

  static std::string_view markerName(UpdateMarker marker);
  // Decimal digits only: no sign, no leading zero, no line end.
  static std::string processIdText(std::int32_t pid);
  // Atomically, mode 0600. Throws std::system_error.
  static void writeMarker(const std::filesystem::path& root, UpdateMarker marker,
                          std::string_view content);
  // The content of a marker that is a regular file (not a link) of at most 64 bytes; nothing
  // when it is absent or anything else.
  static std::optional<std::string> readMarker(const std::filesystem::path& root,
                                               UpdateMarker marker);
  // Whether the marker names exactly this process.
  static bool markerNamesProcess(const std::filesystem::path& root, UpdateMarker marker,
                                 std::int32_t pid);
};

}  // namespace orlith
