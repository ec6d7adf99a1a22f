// The installation the service hands to the updater, and its JSON form "InstallPlan.json".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "update/trust/UpdateDirectoryIdentity.h"
#include "update/trust/UpdateInstallOperation.h"

namespace orlith {

struct UpdateInstallPlan {
  std::filesystem::path candidate;  // bundle folders: candidate, target, source
  std::filesystem::path target;
  std::filesystem::path source;
  std::optional<std::filesystem::path> package;  // a file in the work root
  std::optional<std::string> manifest;           // the signed manifest's raw bytes
  std::optional<std::string> localSourceFingerprint;
  std::string sourceVersion;
  std::string candidateVersion;
  std::string version;
  std::string architecture;
  std::int32_t parentPID = 0;
  UpdateDirectoryIdentity sourceIdentity;
  std::optional<UpdateDirectoryIdentity> targetIdentity;
  UpdateDirectoryIdentity parentIdentity;
  UpdateInstallOperation operation = UpdateInstallOperation::install;

  // Compact JSON in field order; absent optional fields are left out.
  std::string encode() const;
  // Throws JsonDecodeError for text that is not a JSON object, a missing required key, a wrong
  // type, an identity that is not an exact uint64, a process id outside 1 to INT32_MAX, an unknown
  // operation, a URL that is not a file URL of the right kind or a manifest that is not strict
  // base64.
  static UpdateInstallPlan decode(std::string_view json);

  bool operator==(const UpdateInstallPlan&) const = default;
};

}  // namespace orlith
