// The two places the app may be installed, the system's and the user's own Applications folder,
// and whether a bundle path is exactly one of them.
#pragma once

#include <filesystem>
#include <optional>

#include "update/trust/UpdateLocations.h"

namespace orlith {

class UpdateInstallationLocation final {
 public:
  UpdateInstallationLocation() = delete;

  static std::filesystem::path systemApplication(
      const UpdateLocations& locations = UpdateLocations::system());
  // The effective user's home from the user database, standardized: nothing for root, for a
  // missing entry and for a home that is empty, relative or the root folder.
  static std::optional<std::filesystem::path> realUserHome(
      const UpdateLocations& locations = UpdateLocations::system());
  static std::optional<std::filesystem::path> userApplication(
      const UpdateLocations& locations = UpdateLocations::system());
  // False for any path reached through a symbolic link, so a linked home is never standard.
  static bool isStandardApplication(const std::filesystem::path& bundle,
                                    const UpdateLocations& locations = UpdateLocations::system());
};

}  // namespace orlith
