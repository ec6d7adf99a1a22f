// The private folder an installation is handed over in: its creation, the plan file and the
// three marker files. Whether a root is private is judged by the installation security checks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/Uuid.h"
#include "update/trust/UpdateInstallPlan.h"
#include "update/trust/UpdateLocations.h"

namespace orlith {

enum class UpdateMarker { prepared, committed, cancelled };

class UpdateWorkRoot final {
 public:
  UpdateWorkRoot() = delete;

  // "OrlithUpdate-<fresh UUID>" made exclusively, mode 0700 whatever the umask, directly in the
  // resolved temporary folder. Throws std::system_error.
  static std::filesystem::path create(const UpdateLocations& locations, UuidSource& uuids);

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
