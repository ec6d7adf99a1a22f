// The "Committed" marker of a work root: the updater's proof that the service committed it to
// install, and the service's withdrawal of that commitment when an installation is cancelled.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>

#include "update/trust/UpdateLocations.h"

namespace orlith {

class UpdateCancellationAuthorization final {
 public:
  UpdateCancellationAuthorization() = delete;

  static constexpr const char* kFailureMessage =
      "The installation could not be cancelled. Please keep Orlith open and try again.";

  // unlinkat, as a seam for the branch that empties a marker it cannot remove.
  using UnlinkAt = int (*)(int folder, const char* name, int flags);

  // Removes "Committed" relative to the verified root, or empties it in place when it cannot be
  // removed. A root that does not exist has nothing to withdraw. Throws UpdateFailure with
  // kFailureMessage; the private-root check's own failure passes through.
  static void revokeCommitted(const std::filesystem::path& root,
                              const UpdateLocations& locations = UpdateLocations::system(),
                              UnlinkAt unlinkAt = nullptr);
  // Whether "Committed" is a single-link regular file of this user, writable by nobody else,
  // holding exactly the decimal pid.
  static bool isCommitted(const std::filesystem::path& root, std::int32_t helperPID,
                          const UpdateLocations& locations = UpdateLocations::system());
};

}  // namespace orlith
