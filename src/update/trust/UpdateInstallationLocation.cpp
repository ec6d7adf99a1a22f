// Standard installation locations.
#include "update/trust/UpdateInstallationLocation.h"

#include "update/trust/UpdatePath.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

std::filesystem::path UpdateInstallationLocation::systemApplication(
    const UpdateLocations& locations) {
  return UpdatePath::standardized(locations.systemApplicationsFolder /
                                  update_wire::kApplicationFileName);
}

std::optional<std::filesystem::path> UpdateInstallationLocation::realUserHome(
    const UpdateLocations& locations) {
  const uid_t user = locations.users->effectiveUserId();
  if (user == 0) {
    return std::nullopt;
  }
  const auto home = locations.users->homeDirectory(user);
  if (!home || home->empty() || home->front() != '/') {
    return std::nullopt;
  }
  // "//" or "/." name the root folder as surely as "/" does.
  std::filesystem::path standard = UpdatePath::standardized(*home);
  if (standard == "/") {
    return std::nullopt;
  }
  return standard;
}

std::optional<std::filesystem::path> UpdateInstallationLocation::userApplication(
    const UpdateLocations& locations) {
  const auto home = realUserHome(locations);
  if (!home) {
    return std::nullopt;
  }
  return *home / update_wire::kApplicationsFolderName / update_wire::kApplicationFileName;
}

bool UpdateInstallationLocation::isStandardApplication(const std::filesystem::path& bundle,
                                                       const UpdateLocations& locations) {
  if (bundle.empty() || !bundle.is_absolute()) {
    return false;
  }
  const std::filesystem::path standard = UpdatePath::standardized(bundle);
  if (!UpdatePath::isFreeOfLinks(standard)) {
    return false;
  }
  if (standard == systemApplication(locations)) {
    return true;
  }
  const auto user = userApplication(locations);
  return user && standard == *user;
}

}  // namespace orlith
